// GUI halves: value delivery and change suppression, the drawing interface, the shared
// timer driven through the library's exported software timer.
#include "probe.h"

#include "host/gui_module.h"

using namespace gmpi;
using probe::testLibrary;

namespace {

enum GuiPin {
    In = 0,
    Out = 1,
    Flag = 2,
    Text = 3,
    Blob = 4,
    Number = 5,
    Timer = 6,
    Ticks = 7,
    Changed = 8
};

struct GuiProbe {
    zrhost::HostContext context;
    zrhost::GuiModule gui{testLibrary(), u"ZR Test Gui Probe", context};
    GuiProbe() {
        EXPECT_TRUE(gui.valid());
        gui.initialize();
    }
    int32 lastChanged() const { return gui.intsSent(Changed).back(); }
};

} // namespace

TEST(GuiPins, EqualValuesAreNoChangeAndOutputsSendOnlyChanges) {
    GuiProbe p;
    p.gui.deliverFloat(In, 1.5f);
    EXPECT_EQ(p.lastChanged(), 1);
    p.gui.deliverFloat(In, 1.5f);
    EXPECT_EQ(p.lastChanged(), 0);
    p.gui.deliverFloat(In, -4.0f);
    // The handler ran after every delivery; the output went out only for changes.
    EXPECT_EQ(p.gui.floatsSent(Out), (std::vector<float>{3.0f, -8.0f}));

    p.gui.deliverText(Text, u"abc");
    EXPECT_EQ(p.lastChanged(), 1);
    p.gui.deliverText(Text, u"abc");
    EXPECT_EQ(p.lastChanged(), 0);
    p.gui.deliverText(Text, u"abd");
    EXPECT_EQ(p.lastChanged(), 1);

    const std::uint8_t blob[] = {9, 8, 7};
    p.gui.deliverBlob(Blob, blob);
    p.gui.deliverBlob(Blob, blob);
    EXPECT_EQ(p.lastChanged(), 0);
    p.gui.deliverBlob(Blob, std::span<const std::uint8_t>(blob, 2));
    EXPECT_EQ(p.lastChanged(), 1);
}

TEST(GuiPins, OnlyOneByteBoolsAreComparedWithTheStoredValue) {
    GuiProbe p;
    p.gui.deliverBool(Flag, true);
    EXPECT_EQ(p.lastChanged(), 1);
    p.gui.deliverBool(Flag, true);
    EXPECT_EQ(p.lastChanged(), 0);
    const int32 one = 1;
    p.gui.deliver(Flag, &one, 4);
    EXPECT_EQ(p.lastChanged(), 1);
}

TEST(GuiPins, MalformedAndMisaddressedValues) {
    GuiProbe p;
    const float f = 1.0f;
    EXPECT_EQ(p.gui.ui()->receivePinValue(77, 0, 4, &f), ResultFail);
    EXPECT_EQ(p.gui.ui()->notifyPin(77, 0), ResultFail);
    // Two bytes for a float pin: nothing stored, no change reported.
    const std::uint8_t two[] = {1, 2};
    p.gui.deliver(In, two, 2);
    EXPECT_EQ(p.lastChanged(), 0);
    // Odd byte counts for text: the trailing byte is dropped.
    const char odd[] = {'x', 0, 'y'};
    p.gui.deliver(Text, odd, 3);
    EXPECT_EQ(p.lastChanged(), 1);
    p.gui.deliverText(Text, u"x");
    EXPECT_EQ(p.lastChanged(), 0);
    p.gui.deliver(Number, nullptr, -3);
    EXPECT_EQ(p.lastChanged(), 0);
}

TEST(GuiDrawing, MeasureClampsEachDimensionAndTheInterfaceSharesTheObject) {
    GuiProbe p;
    ASSERT_NE(p.gui.graphics(), nullptr);
    MpSize size{};
    struct Case {
        int32 w, h, ew, eh;
    };
    for (const Case& c : {Case{500, 8, 100, 15}, Case{50, 60, 50, 60}, Case{-3, 100, 15, 100},
                          Case{15, 101, 15, 100}}) {
        EXPECT_EQ(p.gui.measure(c.w, c.h, size), ResultOk);
        EXPECT_EQ(size.width, c.ew);
        EXPECT_EQ(size.height, c.eh);
    }
    // The drawing interface answers for the whole object, with one reference count.
    void* ui = nullptr;
    ASSERT_EQ(p.gui.graphics()->queryInterface(MP_IID_USER_INTERFACE, &ui), ResultOk);
    EXPECT_EQ(ui, p.gui.ui());
    const int32 count = p.gui.ui()->addRef();
    EXPECT_EQ(p.gui.graphics()->addRef(), count + 1);
    p.gui.graphics()->release();
    p.gui.ui()->release();
    static_cast<IMpUserInterface*>(ui)->release();
}

TEST(GuiTimer, SharedTimerTicksClientsUntilTheyLeave) {
#ifdef _WIN32
    GTEST_SKIP() << "drives the exported software timer; Windows has SetTimer (tests/windows)";
#endif
    zrhost::ModuleLibrary& lib = testLibrary();
    ASSERT_EQ(lib.timerInterval(), 0);
    {
        GuiProbe a;
        GuiProbe b;
        a.gui.deliverInt(Timer, 1);
        EXPECT_EQ(lib.timerInterval(), 50);
        // A second start of the same client neither duplicates it nor restarts the timer.
        a.gui.deliverInt(Timer, 0);
        a.gui.deliverInt(Timer, 1);
        b.gui.deliverInt(Timer, 1);
        EXPECT_TRUE(lib.timerTick());
        EXPECT_EQ(a.gui.intsSent(Ticks), (std::vector<int32>{1}));
        EXPECT_EQ(b.gui.intsSent(Ticks), (std::vector<int32>{1}));

        // A new interval applies to the running timer of every client.
        a.gui.deliverInt(Timer, 2);
        EXPECT_EQ(lib.timerInterval(), 20);
        EXPECT_EQ(lib.advanceTimer(100), 5);
        EXPECT_EQ(a.gui.intsSent(Ticks).back(), 6);

        // A client whose onTimer returns false gets that tick and no further one.
        b.gui.deliverInt(Timer, 3);
        lib.timerTick();
        lib.timerTick();
        EXPECT_EQ(b.gui.intsSent(Ticks).back(), 7);
        EXPECT_EQ(a.gui.intsSent(Ticks).back(), 8);
        EXPECT_GT(lib.timerInterval(), 0);
        a.gui.deliverInt(Timer, 4);
        EXPECT_EQ(lib.timerInterval(), 50);
    }
    // Destroying the last client stopped the timer.
    EXPECT_EQ(lib.timerInterval(), 0);
    EXPECT_FALSE(lib.timerTick());
}
