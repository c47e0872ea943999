// GDI drawing on Windows: the oscilloscope's GUI half paints with the system's pens and
// brushes into the memory device context that the host library hands to paint (a DIB
// section it reads back), and the picture follows the GDI rules the software layer of other
// systems copies: lines leave out their end point, rectangles their right and bottom edges.
#include "host/gui_module.h"
#include "host/host_context.h"
#include "host/module_library.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

constexpr std::uint32_t kBackground = 0x00102030; // COLORREF of the "tty" style
constexpr std::uint32_t kStem = 0x008D877A;       // RGB(122, 135, 141)
constexpr std::uint32_t kTrace = 0x00D2C8BA;      // RGB(186, 200, 210)
constexpr std::uint32_t kClear = 0x00FFFFFF;

class ScopePaint : public ::testing::Test {
  protected:
    void SetUp() override {
        gui = std::make_unique<zrhost::GuiModule>(*library, u"ZR SCOPE V4", context);
        if (gui->createResult() == gmpi::ResultNoSupport)
            GTEST_SKIP() << "the oscilloscope's GUI half is not in this build";
        ASSERT_TRUE(gui->valid());
        ASSERT_NE(gui->graphics(), nullptr);
        gui->options().styleBackground = static_cast<gmpi::int32>(kBackground);
    }

    std::unique_ptr<zrhost::ModuleLibrary> library =
        zrhost::ModuleLibrary::load(ZR_MODULE_LIBRARY_PATH);
    zrhost::HostContext context;
    std::unique_ptr<zrhost::GuiModule> gui;
};

TEST_F(ScopePaint, BackgroundAndCentreLineWithoutCapture) {
    // rect (0, 20, 0, 30): height 20, width 30.
    ASSERT_EQ(gui->arrange(0, 20, 0, 30), gmpi::ResultOk);
    ASSERT_EQ(gui->paint(30, 20, kClear), gmpi::ResultOk);
    // The fill covers (0, 0)-(31, 21), beyond the surface: every pixel but the centre row.
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 30; ++x)
            ASSERT_EQ(gui->pixel(x, y), y == 10 ? kStem : kBackground) << x << "," << y;
}

TEST_F(ScopePaint, FullScaleCaptureDrawsStemsAndTraceWithoutEndPoints) {
    // Eleven points at +127: scale = 10 × 0.007874016, 127 × scale truncates to 10, so every
    // point is at y = 0. x(i) = i × 30 / 11 = 0 2 5 8 10 13 16 19 21 24 27.
    std::vector<std::uint8_t> capture(4800, 127);
    std::uint8_t info[8] = {};
    const std::int32_t count = 11;
    const std::int32_t rate = 48000;
    std::memcpy(info, &count, 4);
    std::memcpy(info + 4, &rate, 4);
    ASSERT_EQ(gui->deliverBlob(1, info), gmpi::ResultOk);
    ASSERT_EQ(gui->deliverBlob(0, capture), gmpi::ResultOk);
    ASSERT_EQ(gui->arrange(0, 20, 0, 30), gmpi::ResultOk);
    ASSERT_EQ(gui->paint(30, 20, kClear), gmpi::ResultOk);

    const std::vector<int> stems = {0, 2, 5, 8, 10, 13, 16, 19, 21, 24}; // the last point has none
    const auto isStem = [&](int x) {
        for (int s : stems)
            if (s == x) return true;
        return false;
    };
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 30; ++x) {
            std::uint32_t expected = kBackground;
            if (y == 0 && x < 27)
                expected = kTrace; // (0,0) to (27,0), end left out
            else if (y >= 1 && y <= 9 && isStem(x))
                expected = kStem; // (x,0) to (x,10), end left out
            else if (y == 10)
                expected = kStem; // centre line
            ASSERT_EQ(gui->pixel(x, y), expected) << x << "," << y;
        }
    }
}

} // namespace
