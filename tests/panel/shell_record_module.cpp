// A test module library: the framework and "VL System Command" built on their own, with the
// shell operations going to a recorder instead of the desktop. "ZR Test Shell Record" hands
// the record to the test: at each initialize it sends every recorded operation as the text
// "verb|path" on its pin 0, oldest first, and forgets them.
#include "framework/mp_factory.h"
#include "framework/mp_gui.h"
#include "framework/platform/shell_open.h"

#include <string>
#include <vector>

namespace {

class Recorder final : public gmpi::platform::ShellRecorder {
  public:
    void record(std::u16string_view verb, std::u16string_view path) override {
        std::u16string entry(verb);
        entry += u'|';
        entry += path;
        entries.push_back(std::move(entry));
    }
    std::vector<std::u16string> entries;
};

Recorder& recorder() {
    static Recorder r;
    return r;
}

class ShellRecordGui final : public gmpi::MpGuiBase {
  public:
    explicit ShellRecordGui(gmpi::IMpUnknown* host) : MpGuiBase(host) { initializePin(0, entry); }
    gmpi::int32 MP_STDCALL initialize() override {
        for (const auto& e : recorder().entries) // equal entries are separate operations
            host->transmitPin(0, static_cast<gmpi::int32>(e.size() * 2), e.data(), 0);
        recorder().entries.clear();
        return gmpi::ResultOk;
    }

  private:
    gmpi::GuiTextPin entry{"Entry", gmpi::DirectionOut};
};

const bool installed = (gmpi::platform::setShellRecorder(&recorder()), true);
const gmpi::int32 registered =
    gmpi::registerGuiModule(u"ZR Test Shell Record", &gmpi::createGui<ShellRecordGui>);

} // namespace
