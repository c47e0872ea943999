// "ZR Full Path Memory-x16": both halves resolve their file name through the host's
// getFullPath (the host library resolves against its file folder) and publish only changes.
#include "host/audio_module.h"
#include "host/event_list.h"
#include "host/gui_module.h"
#include "host/host_context.h"

#include "pm_layouts.h"

#include <gtest/gtest.h>

using namespace zrhost;
using Texts = std::vector<std::u16string>;

namespace {

constexpr char16_t kId[] = u"ZR Full Path Memory-x16";
const std::u16string kTooLong(300, u'n'); // its full path does not fit 260 characters

class FullPath : public ::testing::Test {
  protected:
    std::unique_ptr<ModuleLibrary> lib = pmtest::loadLibrary();
    HostContext context;
    void SetUp() override { context.setFileFolder(u"/data"); }

    // (pin, text) of every GUI transmission, in order.
    static std::vector<std::pair<gmpi::int32, std::u16string>> sent(const GuiModule& m) {
        std::vector<std::pair<gmpi::int32, std::u16string>> out;
        for (const auto& t : m.transmits())
            out.emplace_back(t.pinId, t.asText());
        return out;
    }
};

// Each name: the text pin 1 must send (nullptr: nothing, the path is unchanged), at the time
// of the name's event.
TEST_F(FullPath, AudioHalfPublishesChangedPaths) {
    AudioModule m(*lib, kId, context);
    ASSERT_TRUE(m.valid());
    m.open();
    const struct {
        const char16_t* name;
        const char16_t* path;
    } steps[] = {
        {u"", nullptr}, // empty resolves to empty: no change
        {u"song.wav", u"/data/song.wav"},
        {u"song.wav", nullptr},       // the same name again
        {u"/data/song.wav", nullptr}, // another name, the same path
        {u"sub/x y;$(z).wav", u"/data/sub/x y;$(z).wav"},
        {kTooLong.c_str(), u""}, // no resolution: empty, never a cut-off path
        {u"", nullptr},
    };
    gmpi::int32 time = 0;
    for (const auto& s : steps) {
        SCOPED_TRACE(toUtf8(s.name));
        m.clearCalls();
        EventList events;
        time = (time + 7) % 64;
        events.addText(time, 0, s.name);
        m.processBlock(events);
        const auto values = m.valuesSent(1);
        ASSERT_EQ(values.size(), s.path ? 1u : 0u);
        if (s.path) {
            EXPECT_EQ(values[0].asText(), s.path);
            EXPECT_EQ(values[0].time, time);
        }
        const auto asked = m.callsOf(AudioCallKind::GetFullPath);
        ASSERT_EQ(asked.size(), 1u);
        EXPECT_EQ(asked[0].text, s.name);
    }
    m.clearCalls();
    m.processBlocks(3); // no new name: no resolution
    EXPECT_TRUE(m.callsOf(AudioCallKind::GetFullPath).empty());
}

TEST_F(FullPath, GuiHalfPublishesTheNameAndItsPath) {
    GuiModule m(*lib, kId, context);
    ASSERT_TRUE(m.valid());
    m.initialize(); // empty name, empty path: nothing to send
    EXPECT_TRUE(m.transmits().empty());

    using Sent = std::vector<std::pair<gmpi::int32, std::u16string>>;
    m.deliverText(0, u"a.zrw"); // from the host
    EXPECT_EQ(sent(m), (Sent{{5, u"a.zrw"}, {4, u"a.zrw"}, {3, u"/data/a.zrw"}}));
    for (const auto& [pin, text] : sent(m)) // echoes change nothing
        m.deliverText(pin, text);
    EXPECT_EQ(m.transmits().size(), 3u);

    m.clearRecord();
    m.deliverText(4, u"b.zrw"); // edited on the panel
    EXPECT_EQ(sent(m), (Sent{{0, u"b.zrw"}, {5, u"b.zrw"}, {3, u"/data/b.zrw"}}));
    m.deliverText(0, u"b.zrw"); // the host's echo
    EXPECT_EQ(m.transmits().size(), 3u);

    m.clearRecord();
    m.deliverText(0, u"");
    EXPECT_EQ(sent(m), (Sent{{5, u""}, {4, u""}, {3, u""}}));

    m.clearRecord();
    m.deliverText(0, kTooLong);
    EXPECT_EQ(sent(m), (Sent{{5, kTooLong}, {4, kTooLong}}));

    m.clearRecord();
    m.deliverText(1, u"one");
    m.deliverText(2, u"two");
    m.deliverText(1, u"two"); // the echo of the relay
    EXPECT_EQ(sent(m), (Sent{{2, u"one"}, {1, u"two"}}));
}

// A name delivered before start-up is published then; start-up publishes it once.
TEST_F(FullPath, GuiHalfPublishesAtStartUp) {
    GuiModule m(*lib, kId, context);
    m.ui()->receivePinValue(0, 0, 10, u"x.txt"); // stored, not yet notified
    m.initialize();
    using Sent = std::vector<std::pair<gmpi::int32, std::u16string>>;
    EXPECT_EQ(sent(m), (Sent{{5, u"x.txt"}, {4, u"x.txt"}, {3, u"/data/x.txt"}}));
}

} // namespace
