// "ZR Full Path Memory-x16", GUI half: file name relays and the resolved path.
#include "modules/patchmemory/FullPathXGui.h"

#include "framework/mp_factory.h"
#include "framework/mp_full_path.h"

namespace zr {

FullPathXGui::FullPathXGui(gmpi::IMpUnknown* host) : MpGuiBase(host) {
    using G = FullPathXGui;
    initializePin(0, fileName, &G::publish);
    initializePin(1, textA, &G::onTextA);
    initializePin(2, textAOther, &G::onTextAOther);
    initializePin(3, fullPath, &G::onNothing);
    initializePin(4, panelFileName, &G::onPanelFileName);
    initializePin(5, fileNameCopy, &G::onNothing);
}

gmpi::int32 FullPathXGui::initialize() {
    publish();
    return MpGuiBase::initialize();
}

void FullPathXGui::publish() {
    fileNameCopy.setValue(fileName.getValue());
    panelFileName.setValue(fileName.getValue());
    gmpi::FullPathBuffer buffer;
    fullPath.setValue(std::u16string(gmpi::resolveFullPath(host, fileName.getValue(), buffer)));
}

// An edit on the panel reaches the host side first; publishing then finds pin 4 up to date.
void FullPathXGui::onPanelFileName() {
    fileName.setValue(panelFileName.getValue());
    publish();
}

void FullPathXGui::onTextA() {
    textAOther.setValue(textA.getValue());
}

void FullPathXGui::onTextAOther() {
    textA.setValue(textAOther.getValue());
}

} // namespace zr

namespace {
const gmpi::int32 registeredGui =
    gmpi::registerGuiModule(u"ZR Full Path Memory-x16", &gmpi::createGui<zr::FullPathXGui>);
} // namespace
