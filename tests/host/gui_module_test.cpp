#include "fake_library.h"
#include "host/gui_module.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace zrhost;
using gmpi::int32;

namespace {

class GuiModuleTest : public ::testing::Test {
  protected:
    std::unique_ptr<ModuleLibrary> lib = test::loadFake();
    HostContext context;
};

TEST_F(GuiModuleTest, HostInterfacesCanBeWithheld) {
    GuiModule full(*lib, test::kEcho, context);
    EXPECT_EQ(full.createResult(), gmpi::ResultOk);
    EXPECT_NE(full.graphics(), nullptr);
    EXPECT_EQ(full.hostReferences(), 2); // GuiHost and composited host

    GuiHostOptions noComposited;
    noComposited.offerCompositedHost = false;
    GuiModule a(*lib, test::kEcho, context, noComposited);
    EXPECT_EQ(a.createResult(), gmpi::ResultFail);
    EXPECT_FALSE(a.valid());
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(a.guiHost().queryInterface(gmpi::MP_IID_COMPOSITED_HOST, &out),
              gmpi::ResultNoSupport);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(a.hostReferences(), 0); // the failed module gave back what it took

    GuiHostOptions noGui;
    noGui.offerGuiHost = false;
    GuiModule b(*lib, test::kEcho, context, noGui);
    EXPECT_EQ(b.createResult(), gmpi::ResultFail);
    EXPECT_EQ(b.compositedHost().queryInterface(gmpi::MP_IID_GUI_HOST, &out),
              gmpi::ResultNoSupport);

    // Both interfaces of one host object lead back to the same object.
    void* gui = nullptr;
    void* composited = nullptr;
    full.compositedHost().queryInterface(gmpi::MP_IID_GUI_HOST, &gui);
    full.guiHost().queryInterface(gmpi::MP_IID_COMPOSITED_HOST, &composited);
    EXPECT_EQ(gui, static_cast<void*>(&full.guiHost()));
    EXPECT_EQ(composited, static_cast<void*>(&full.compositedHost()));
    static_cast<gmpi::GuiHost*>(gui)->release();
    static_cast<gmpi::CompositedGfxHost*>(composited)->release();
}

TEST_F(GuiModuleTest, DeliversValuesAndRecordsWhatTheModuleSends) {
    GuiHostOptions options;
    options.pinCount = 5;
    GuiModule m(*lib, test::kEcho, context, options);
    ASSERT_EQ(m.initialize(), gmpi::ResultOk);
    EXPECT_EQ(m.intsSent(99), std::vector<int32>{5});

    EXPECT_EQ(m.deliverFloat(0, 1.5f), gmpi::ResultOk);
    EXPECT_EQ(m.deliverInt(1, -9), gmpi::ResultOk);
    EXPECT_EQ(m.deliverBool(2, true), gmpi::ResultOk);
    EXPECT_EQ(m.deliverText(3, u"h\u00e9llo"), gmpi::ResultOk);
    EXPECT_EQ(m.deliverText(3, u""), gmpi::ResultOk);
    EXPECT_EQ(m.deliverInt(9, 1), gmpi::ResultFail); // the fake has pins 0..7 only

    EXPECT_EQ(m.floatsSent(100), std::vector<float>{1.5f});
    EXPECT_EQ(m.intsSent(101), std::vector<int32>{-9});
    ASSERT_EQ(m.transmitsOn(102).size(), 1u);
    EXPECT_EQ(m.transmitsOn(102)[0].bytes, std::vector<std::uint8_t>{1});
    EXPECT_EQ(m.textsSent(103), (std::vector<std::u16string>{u"h\u00e9llo", u""}));
    EXPECT_EQ(m.transmitsOn(103)[0].voice, 0);
    ASSERT_EQ(m.invalidations().size(), 5u);
    EXPECT_FALSE(m.invalidations()[0].has_value());

    m.clearRecord();
    EXPECT_TRUE(m.transmits().empty());
    EXPECT_TRUE(m.invalidations().empty());
}

#ifndef _WIN32
TEST_F(GuiModuleTest, TimerTicksFollowTheLibrarysInterval) {
    GuiModule m(*lib, test::kEcho, context);
    EXPECT_EQ(lib->advanceTimer(500), 0); // no timer set yet
    m.initialize();
    EXPECT_EQ(lib->timerInterval(), 50);
    EXPECT_EQ(lib->advanceTimer(120), 2);
    EXPECT_EQ(lib->advanceTimer(30), 1); // 20 ms carried over from before
    EXPECT_EQ(lib->timerInterval(), 0);  // the fake stops after three ticks
    EXPECT_EQ(lib->advanceTimer(1000), 0);
    EXPECT_FALSE(lib->timerTick());
    EXPECT_EQ(m.intsSent(98), (std::vector<int32>{1, 2, 3}));
}
#endif

TEST_F(GuiModuleTest, StyleLookupWritesTheBackgroundOrNothing) {
    GuiModule m(*lib, test::kEcho, context);
    unsigned char record[gmpi::kStyleRecordBytes];
    std::memset(record, 0x5A, sizeof record);
    void* handle = reinterpret_cast<void*>(1);
    m.options().styleBackground = 0x00123456;
    EXPECT_EQ(m.compositedHost().getStyle(u"tty", record, &handle), gmpi::ResultOk);
    int32 third = 0;
    std::memcpy(&third, record + 8, 4);
    EXPECT_EQ(third, 0x00123456);

    std::memset(record, 0x5A, sizeof record);
    m.options().styleBackground.reset();
    EXPECT_EQ(m.compositedHost().getStyle(u"tty", record, &handle), gmpi::ResultFail);
    EXPECT_EQ(record[8], 0x5A);
    EXPECT_EQ(m.styleRequests(), (std::vector<std::u16string>{u"tty", u"tty"}));
}

#ifndef _WIN32
TEST_F(GuiModuleTest, MeasuresAndPaintsIntoTheSoftwareSurface) {
    GuiModule m(*lib, test::kEcho, context);
    gmpi::MpSize desired{};
    ASSERT_EQ(m.measure(500, 8, desired), gmpi::ResultOk);
    EXPECT_EQ(desired.width, 100);
    EXPECT_EQ(desired.height, 15);
    EXPECT_EQ(m.arrange(0, 4, 0, 6), gmpi::ResultOk);

    m.options().styleBackground = 0x00102030;
    ASSERT_EQ(m.paint(6, 4), gmpi::ResultOk);
    EXPECT_EQ(m.surface().width, 6);
    EXPECT_EQ(m.surface().stride, 6);
    EXPECT_EQ(m.pixels().size(), 24u);
    EXPECT_EQ(m.pixel(0, 0), 0x00FFFFFFu);
    EXPECT_EQ(m.pixel(3, 3), 0x00FFFFFFu);
    EXPECT_EQ(m.pixel(5, 0), 0x00102030u);
    EXPECT_EQ(m.pixel(6, 0), 0xFFFFFFFFu); // outside

    // A negative background leaves the host's clear colour in place.
    m.options().styleBackground = -1;
    ASSERT_EQ(m.paint(3, 3, 0x00ABCDEF), gmpi::ResultOk);
    EXPECT_EQ(m.pixel(2, 0), 0x00ABCDEFu);
    EXPECT_EQ(m.pixel(2, 2), 0x00FFFFFFu);
}
#endif

} // namespace
