// "VL System Command": a trigger release runs the selected shell verb on the resolved file.
#include "modules/panel/SystemCommandGui.h"

#include "framework/mp_factory.h"
#include "framework/mp_full_path.h"
#include "framework/platform/shell_open.h"

#include <array>
#include <string_view>

namespace zr {

namespace {
constexpr std::array<std::u16string_view, 6> kVerbs = {u"edit", u"explore", u"find",
                                                       u"open", u"print",   u"properties"};
constexpr char16_t kVerbList[] = u"edit,explore,find,open,print,properties";
} // namespace

SystemCommandGui::SystemCommandGui(gmpi::IMpUnknown* host) : MpGuiBase(host) {
    using G = SystemCommandGui;
    initializePin(0, trigger, &G::onTrigger);
    initializePin(1, verb, &G::onNothing);
    initializePin(2, verbList, &G::onNothing);
    initializePin(3, fileName, &G::onNothing);
}

gmpi::int32 SystemCommandGui::initialize() {
    verbList.setValue(kVerbList);
    return MpGuiBase::initialize();
}

// The previous trigger value follows every call, whatever the verb index: were an unknown
// index to leave it true, a later false (without a new press) would count as a release and
// run whatever verb is selected by then.
void SystemCommandGui::onTrigger() {
    const bool released = !trigger.getValue() && previous;
    previous = trigger.getValue();
    if (!released) return;
    gmpi::FullPathBuffer buffer;
    const std::u16string_view path = gmpi::resolveFullPath(host, fileName.getValue(), buffer);
    const gmpi::int32 k = verb.getValue();
    if (k < 0 || k >= static_cast<gmpi::int32>(kVerbs.size())) return;
    gmpi::platform::shellExecute(kVerbs[static_cast<std::size_t>(k)], path);
}

} // namespace zr

namespace {
const gmpi::int32 registeredGui =
    gmpi::registerGuiModule(u"VL System Command", &gmpi::createGui<zr::SystemCommandGui>);
const gmpi::int32 described =
    gmpi::catalogDescribe(u"VL System Command", "System Command", "Sub-Controls");
} // namespace
