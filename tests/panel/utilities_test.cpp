// The panel utilities through the host library: Command Trigger's press/release pairs, the
// radio group of Int to Bools, Spring's release, Image to Frame's two directions, dB to
// Animation's segments and List to Text's lookups, with the host's pin counts, value sizes and
// numbers that a broken host or patch may send.
#include "panel_rig.h"

#include <cmath>
#include <limits>

using namespace paneltest;
using Bools = std::vector<std::pair<int32, bool>>;

namespace {

constexpr int32 kMax = std::numeric_limits<int32>::max();
constexpr int32 kMin = std::numeric_limits<int32>::min();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// Start-up clears every button the host has (pins 1 .. count - 1), whatever the count.
TEST_F(PanelRig, CommandTriggerClearsEveryButtonAtStartUp) {
    for (int32 count : {-3, 0, 1, 2, 5}) {
        SCOPED_TRACE(count);
        auto m = make(u"VL Command Trigger", count, false);
        m->initialize();
        Bools expected;
        for (int32 i = 1; i < count; ++i)
            expected.emplace_back(i, false);
        EXPECT_EQ(boolsSent(*m), expected);
    }
}

// Each step: a bool value (1 or 4 bytes) on a pin; the "Command" values it must send.
struct Step {
    int32 pin, value, size;
    std::vector<int32> commands;
};
struct TriggerCase {
    const char* name;
    int32 pinCount;
    std::vector<Step> steps;
};

TEST_F(PanelRig, CommandTriggerSendsTheButtonOnReleaseOnly) {
    const std::vector<TriggerCase> cases = {
        {"press and release pin 3", 5, {{3, 1, 1, {}}, {3, 0, 1, {3, 0}}}},
        {"release without press", 5, {{2, 0, 1, {}}, {2, 0, 4, {}}}},
        {"second release is no release", 5, {{1, 1, 1, {}}, {1, 0, 1, {1, 0}}, {1, 0, 1, {}}}},
        {"4-byte values: non-zero with a zero first byte is true",
         5,
         {{4, 0x100, 4, {}}, {4, 0, 4, {4, 0}}}},
        {"1-byte value 2 is true", 5, {{2, 2, 1, {}}, {2, 0, 1, {2, 0}}}},
        {"buttons are independent",
         5,
         {{1, 1, 1, {}}, {2, 1, 1, {}}, {2, 0, 1, {2, 0}}, {1, 0, 4, {1, 0}}}},
        {"pins added after start-up are ignored", 3, {{3, 1, 1, {}}, {3, 0, 1, {}}}},
        {"far pins", 3, {{kMax, 1, 4, {}}, {kMax, 0, 4, {}}, {-1, 1, 1, {}}, {-1, 0, 1, {}}}},
        {"no pins known", 0, {{1, 1, 1, {}}, {1, 0, 1, {}}}},
        {"only the command pin known", 1, {{1, 1, 1, {}}, {1, 0, 1, {}}}},
        {"empty values carry nothing", 5, {{2, 1, 1, {}}, {2, 0, 0, {}}, {2, 0, 1, {2, 0}}}},
        {"the command pin reacts to nothing", 5, {{0, 7, 4, {}}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto m = make(u"VL Command Trigger", c.pinCount);
        for (const auto& s : c.steps) {
            m->clearRecord();
            deliverBool(*m, s.pin, s.value, s.size);
            EXPECT_EQ(m->intsSent(0), s.commands) << "pin " << s.pin << " value " << s.value;
            EXPECT_EQ(m->transmits().size(), s.commands.size());
        }
    }
}

// A button's value is accepted by the module; a pin the host never announced is not.
TEST_F(PanelRig, CommandTriggerAcceptsTheButtonsItKnows) {
    auto m = make(u"VL Command Trigger", 4);
    EXPECT_EQ(deliverBool(*m, 3, 1, 1), gmpi::ResultOk);
    EXPECT_EQ(deliverBool(*m, 4, 1, 1), gmpi::ResultFail);
    EXPECT_EQ(m->deliverInt(0, 3), gmpi::ResultOk);
}

// A pin count beyond any panel is capped: start-up sends a bounded number of values.
TEST_F(PanelRig, HostilePinCountsAreBounded) {
    for (const char16_t* id : {u"VL Command Trigger", u"VL Int to Bools"}) {
        auto m = make(id, kMax, false);
        m->initialize();
        EXPECT_EQ(m->transmits().size(), 4095u);
    }
}

// Int to Bools with 4 buttons (pins 1-4): Value v lights pin v + 1.
TEST_F(PanelRig, IntToBoolsLightsOnePinAndClearsTheLastOne) {
    for (const char16_t* id : {u"VL Int to Bools", u"VL Bools to Int"}) {
        SCOPED_TRACE(zrhost::toUtf8(id));
        auto m = make(id, 5, false);
        m->deliverInt(0, 1); // before start-up: only remembered
        EXPECT_TRUE(m->transmits().empty());
        m->initialize();
        EXPECT_EQ(boolsSent(*m), (Bools{{1, false}, {2, true}, {3, false}, {4, false}}));
        const struct {
            int32 value;
            Bools sent;
        } steps[] = {
            {2, {{2, false}, {3, true}}}, {2, {}},    {7, {{3, false}}}, {-1, {}}, {0, {{1, true}}},
            {kMax, {{1, false}}},         {kMin, {}}, {3, {{4, true}}},
        };
        for (const auto& s : steps) {
            m->clearRecord();
            m->deliverInt(0, s.value);
            EXPECT_EQ(boolsSent(*m), s.sent) << "Value " << s.value;
        }
    }
}

// A button pressed on the panel selects its value; the lit pin follows the value's echo.
TEST_F(PanelRig, IntToBoolsButtonsSetTheValue) {
    auto m = make(u"VL Int to Bools", 5);
    deliverBool(*m, 3, 1, 1);
    EXPECT_EQ(m->intsSent(0), std::vector<int32>{2});
    EXPECT_TRUE(boolsSent(*m).empty());
    m->deliverInt(0, 2); // the host's echo
    EXPECT_EQ(boolsSent(*m), (Bools{{1, false}, {3, true}}));
    m->clearRecord();
    deliverBool(*m, 3, 0, 1);     // released: ignored
    deliverBool(*m, 3, 1, 4);     // the selected value again: nothing to send
    deliverBool(*m, 2, 0x100, 4); // 4-byte true
    EXPECT_EQ(m->intsSent(0), std::vector<int32>{1});
    m->clearRecord();
    deliverBool(*m, 9, 1, 1); // a pin added later selects value 8, which lights nothing
    m->deliverInt(0, 8);
    EXPECT_EQ(m->intsSent(0), std::vector<int32>{8});
    EXPECT_EQ(boolsSent(*m), (Bools{{3, false}}));
}

TEST_F(PanelRig, IntToBoolsWithoutButtonsSendsNoBool) {
    for (int32 count : {0, 1}) {
        auto m = make(u"VL Int to Bools", count, false);
        m->initialize();
        for (int32 v : {0, 1, -1, 5})
            m->deliverInt(0, v);
        deliverBool(*m, 1, 1, 1);
        EXPECT_TRUE(boolsSent(*m).empty());
    }
}

TEST_F(PanelRig, SpringReturnsToRestWhenTheMouseLetsGo) {
    for (const char16_t* id : {u"VL Spring2", u"VL Spring"}) {
        SCOPED_TRACE(zrhost::toUtf8(id));
        auto m = make(id);
        m->deliverFloat(2, 0.25f);
        m->deliverFloat(0, 0.9f); // moved on the panel
        deliverBool(*m, 1, 0, 1); // no press before: no release
        EXPECT_TRUE(m->transmits().empty());
        deliverBool(*m, 1, 1, 1);
        deliverBool(*m, 1, 0x100, 4); // still down
        EXPECT_TRUE(m->transmits().empty());
        deliverBool(*m, 1, 0, 4);
        EXPECT_EQ(m->floatsSent(0), std::vector<float>{0.25f});
        deliverBool(*m, 1, 0, 1);
        EXPECT_EQ(m->floatsSent(0).size(), 1u);
    }
}

// Position <-> frame: frame = trunc((count - 1) * position + 0.5); position = frame /
// (count - 1), with 1 for a divisor of 0. A count below 1 counts as one frame.
TEST_F(PanelRig, ImageToFrameBothWays) {
    const struct {
        int32 count;
        float position;
        int32 frame;
    } toFrame[] = {{10, 0.5f, 5},  {10, 1.0f, 9},    {10, 0.0f, 0},     {10, 0.05f, 0},
                   {10, 0.06f, 1}, {2, 0.75f, 1},    {1, 0.7f, 0},      {0, 0.7f, 0},
                   {-5, 0.7f, 0},  {10, kInf, kMax}, {10, -kInf, kMin}, {kMax, 2.0f, kMax},
                   {10, -0.5f, -4}};
    for (const char16_t* id : {u"Veloran Image to Frame", u"Veloran Image to Frame (old)"}) {
        for (const auto& c : toFrame) {
            SCOPED_TRACE(zrhost::toUtf8(id) + " count " + std::to_string(c.count));
            auto m = make(id);
            m->deliverInt(2, 12345);
            m->deliverInt(1, c.count);
            m->clearRecord();
            m->deliverFloat(0, c.position);
            EXPECT_EQ(m->intsSent(2), std::vector<int32>{c.frame}) << c.position;
        }
    }
    const struct {
        int32 count, frame;
        float position;
    } toPosition[] = {{10, 9, 1.0f}, {10, 3, 3.0f / 9.0f}, {1, 4, 4.0f},    {0, 4, 4.0f},
                      {-7, 4, 4.0f}, {kMin, 3, 3.0f},      {11, -5, -0.5f}, {kMax, kMax, 1.0f}};
    for (const auto& c : toPosition) {
        SCOPED_TRACE("count " + std::to_string(c.count) + " frame " + std::to_string(c.frame));
        auto m = make(u"Veloran Image to Frame");
        m->deliverInt(1, c.count);
        m->deliverInt(2, c.frame);
        ASSERT_FALSE(m->floatsSent(0).empty());
        EXPECT_FLOAT_EQ(m->floatsSent(0).back(), c.position);
    }
}

// A position that gives no frame number leaves the frame as it is.
TEST_F(PanelRig, ImageToFrameIgnoresPositionsWithoutANumber) {
    auto m = make(u"Veloran Image to Frame");
    m->deliverInt(2, 3);
    m->clearRecord();
    m->deliverFloat(0, kNaN);
    m->deliverInt(1, 1);
    m->clearRecord();
    m->deliverFloat(0, kInf); // zero steps times infinity
    EXPECT_TRUE(m->intsSent(2).empty());
}

// p = (d + 3) * 0.1 + 0.4 from -3 dB, (d + 7) * 0.05 + 0.2 from -8.75 dB, (d + 20) * 0.01
// below, clamped to 0 .. 1.
TEST_F(PanelRig, DbToAnimationSegments) {
    const struct {
        float db, position;
    } cases[] = {{0.0f, 0.7f},    {-3.0f, 0.4f}, {-8.75f, 0.1125f}, {-20.0f, 0.0f}, {3.0f, 1.0f},
                 {-100.0f, 0.0f}, {10.0f, 1.0f}, {-1.0f, 0.6f},     {-6.0f, 0.25f}, {-10.0f, 0.1f},
                 {kNaN, 0.0f},    {kInf, 1.0f},  {-kInf, 0.0f}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.db);
        auto m = make(u"VL dBToAnimation");
        m->deliverFloat(1, -5.0f); // 0.3, differing from every case
        m->clearRecord();
        m->deliverFloat(1, c.db);
        const auto sent = m->floatsSent(0);
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_FLOAT_EQ(sent[0], c.position);
    }
    auto m = make(u"VL dBToAnimation");
    m->deliverFloat(0, 0.5f); // the position pin has no reaction
    EXPECT_TRUE(m->transmits().empty());
}

// The Choice arrives first, then the list; "" = the text is left unchanged.
TEST_F(PanelRig, ListToTextLooksTheChoiceUp) {
    const struct {
        const char16_t* list;
        int32 choice;
        const char16_t* text;
    } cases[] = {
        {u"Off, Low=5, High", 6, u"High"},
        {u"Off, Low=5, High", 0, u"Off"},
        {u"Off, Low=5, High", 5, u"Low"},
        {u"Off, Low=5, High", 1, u""},
        {u"range 1,4", 3, u"3"},
        {u"range 1,4", 5, u""},
        {u"range -2147483648,2147483647", kMax, u"2147483647"},
        {u"range -2147483648,2147483647", kMin, u"-2147483648"},
        {u"a=99999999999, b", kMax, u"a"},
        {u"a=99999999999, b", kMin, u""},
        {u"a=4, b=, c", 0, u"b"},
        {u"a=4, b=, c", 1, u"c"},
        {u"a, b,", 2, u""},
        {u"range 1 4", 1, u""},
        {u"range 5,1", 3, u""},
        {u" \t ", 0, u""},
        {u"", 0, u""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(zrhost::toUtf8(c.list) + " / " + std::to_string(c.choice));
        auto m = make(u"VL ListToText");
        m->deliverInt(0, c.choice);
        m->deliverText(1, c.list);
        const std::u16string expected = c.text;
        EXPECT_EQ(m->textsSent(2), expected.empty() ? std::vector<std::u16string>{}
                                                    : std::vector<std::u16string>{expected});
    }
}

// A later choice outside the list keeps the text; a new list re-reads the choice.
TEST_F(PanelRig, ListToTextKeepsItsTextForUnknownChoices) {
    auto m = make(u"VL ListToText");
    m->deliverText(1, u"Off, Low=5, High");
    m->deliverInt(0, 6);
    m->deliverInt(0, 1);
    m->deliverText(1, u"Zero, One");
    m->deliverText(2, u"typed"); // the output pin has no reaction
    EXPECT_EQ(m->textsSent(2), (std::vector<std::u16string>{u"Off", u"High", u"One"}));
}

} // namespace
