// "VL Patch Info": relays of the patch-information fields and the command pulse.
#include "modules/patchmemory/PatchInfoGui.h"

#include "framework/mp_factory.h"
#include "modules/patchmemory/PatchMemoryLayouts.h"

namespace zr {

namespace {
// Menu list of MIDI channels: "All" (-1), then 1 to 16.
constexpr char16_t kChannelMenu[] = u"All=-1,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16";
} // namespace

PatchInfoGui::PatchInfoGui(gmpi::IMpUnknown* host) : MpGuiBase(host) {
    using G = PatchInfoGui;
    initializePin(0, programIn, &G::onProgramIn);
    initializePin(1, programNameIn, &G::onProgramNameIn);
    initializePin(2, categoryIn, &G::onCategoryIn);
    initializePin(3, channelIn, &G::onChannelIn);
    initializePin(4, patchCommandIn, &G::onNothing); // written only by the command handler
    initializePin(5, programOut, &G::onProgram);
    initializePin(6, programNameOut, &G::onNothing);
    initializePin(7, categoryOut, &G::onCategory);
    initializePin(8, channelOut, &G::onChannel);
    initializePin(9, channelMenuOut, &G::onNothing);
    initializePin(10, commandOut, &G::onCommand);
    initializePin(11, commentIn, &G::onNothing);
    initializePin(12, commentOut, &G::onCommentText);
}

gmpi::int32 PatchInfoGui::initialize() {
    channelMenuOut.setValue(kChannelMenu);
    return MpGuiBase::initialize();
}

void PatchInfoGui::onProgramIn() {
    relay(programIn, programOut);
}
void PatchInfoGui::onProgramNameIn() {
    relay(programNameIn, programNameOut);
}
void PatchInfoGui::onCategoryIn() {
    relay(categoryIn, categoryOut);
}
void PatchInfoGui::onChannelIn() {
    relay(channelIn, channelOut);
}
void PatchInfoGui::onProgram() {
    relay(programOut, programIn);
}
void PatchInfoGui::onCategory() {
    relay(categoryOut, categoryIn);
}
void PatchInfoGui::onChannel() {
    relay(channelOut, channelIn);
}
void PatchInfoGui::onCommentText() {
    relay(commentOut, commentIn);
}

// A momentary command: the value reaches the host field, then both pins return to 0 within
// the same call, so a positive value gives exactly one pulse and a button wired to pin 10 is
// ready for the next press. Zero and negative values are only passed on.
void PatchInfoGui::onCommand() {
    relay(commandOut, patchCommandIn);
    if (commandOut.getValue() > 0) {
        commandOut.setValue(0);
        if (patchCommandIn.getValue() != 0) patchCommandIn.setValue(0);
    }
}

} // namespace zr

namespace {
const gmpi::int32 registeredGui =
    gmpi::registerGuiModule(u"VL Patch Info", &gmpi::createGui<zr::PatchInfoGui>);
const gmpi::int32 described = gmpi::catalogDescribe(u"VL Patch Info", "Patch Info", "Sub-Controls");
} // namespace
