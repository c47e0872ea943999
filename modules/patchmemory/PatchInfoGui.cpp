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
    initializePin(4, commandOut, &G::onNothing); // written only by the command handler
    initializePin(5, program, &G::onProgram);
    initializePin(6, programName, &G::onNothing);
    initializePin(7, category, &G::onCategory);
    initializePin(8, channel, &G::onChannel);
    initializePin(9, channelMenu, &G::onNothing);
    initializePin(10, command, &G::onCommand);
    initializePin(11, commentIn, &G::onNothing);
    initializePin(12, comment, &G::onCommentText);
}

gmpi::int32 PatchInfoGui::initialize() {
    channelMenu.setValue(kChannelMenu);
    return MpGuiBase::initialize();
}

void PatchInfoGui::onProgramIn() {
    relay(programIn, program);
}
void PatchInfoGui::onProgramNameIn() {
    relay(programNameIn, programName);
}
void PatchInfoGui::onCategoryIn() {
    relay(categoryIn, category);
}
void PatchInfoGui::onChannelIn() {
    relay(channelIn, channel);
}
void PatchInfoGui::onProgram() {
    relay(program, programIn);
}
void PatchInfoGui::onCategory() {
    relay(category, categoryIn);
}
void PatchInfoGui::onChannel() {
    relay(channel, channelIn);
}
void PatchInfoGui::onCommentText() {
    relay(comment, commentIn);
}

// A momentary command: the value reaches the host field, then both pins return to 0 within
// the same call, so a positive value gives exactly one pulse and a button wired to pin 10 is
// ready for the next press. Zero and negative values are only passed on.
void PatchInfoGui::onCommand() {
    relay(command, commandOut);
    if (command.getValue() > 0) {
        command.setValue(0);
        if (commandOut.getValue() != 0) commandOut.setValue(0);
    }
}

} // namespace zr

namespace {
const gmpi::int32 registeredGui =
    gmpi::registerGuiModule(u"VL Patch Info", &gmpi::createGui<zr::PatchInfoGui>);
const gmpi::int32 described = gmpi::catalogDescribe(u"VL Patch Info", "Patch Info", "Sub-Controls");
} // namespace
