// The oscilloscope's GUI half seen from a host: repaint requests and the pixels it paints,
// for windows captured by the audio half and for malformed values and surfaces.
#include "scope_rig.h"

#include "host/gui_module.h"

#include <gtest/gtest.h>
#ifndef _WIN32 // no libpng in the Windows build: the picture is written on Linux only
#include <png.h>
#endif

#include <climits>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <string>

using namespace scopetest;

namespace {

constexpr gmpi::int32 kGuiCapturePin = 0, kGuiInfoPin = 1;
constexpr std::uint32_t kBackground = 0x00302010; // the "tty" style's colour in these tests
constexpr std::uint32_t kClear = 0x00FFFFFF;      // the surface before painting
constexpr std::uint32_t kStem = 0x008D877A;       // RGB(122, 135, 141)
constexpr std::uint32_t kTrace = 0x00D2C8BA;      // RGB(186, 200, 210)

std::vector<std::uint8_t> infoBytes(gmpi::int32 count, gmpi::int32 rate = 48000) {
    std::vector<std::uint8_t> b(8);
    std::memcpy(b.data(), &count, 4);
    std::memcpy(b.data() + 4, &rate, 4);
    return b;
}

struct Scope {
    explicit Scope(std::optional<gmpi::int32> background = kBackground) {
        zrhost::GuiHostOptions options;
        options.styleBackground = background;
        gui = std::make_unique<zrhost::GuiModule>(rig::library(), kScope, context, options);
    }
    zrhost::HostContext context;
    std::unique_ptr<zrhost::GuiModule> gui;
};

#ifndef _WIN32
bool writePng(const std::string& path, const zrhost::GuiModule& gui) {
    const MpSoftSurface& s = gui.surface();
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, s.width, s.height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<png_byte> row(static_cast<std::size_t>(s.width) * 3);
    for (int y = 0; y < s.height; ++y) {
        for (int x = 0; x < s.width; ++x) {
            const std::uint32_t c = gui.pixel(x, y); // COLORREF 0x00BBGGRR
            row[x * 3 + 0] = c & 0xFF;
            row[x * 3 + 1] = (c >> 8) & 0xFF;
            row[x * 3 + 2] = (c >> 16) & 0xFF;
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0;
}
#endif

TEST(ScopeGui, PaintsACapturedSine) {
    // A 400 Hz sine at 0.9 of full scale, captured by the audio half: the second window is
    // triggered, so it starts at a rise through zero. 480 samples hold four cycles.
    ScopeRig rig(48000.0f, 64);
    rig.signal = [](std::int64_t t) {
        return static_cast<float>(0.9 * std::sin(2 * std::numbers::pi * 400 * (t + 11.7) / 48000));
    };
    rig.setRun(1);
    rig.runTo(20000);
    const auto windows = rig.windows();
    ASSERT_GE(windows.size(), 2u);
    const std::vector<std::uint8_t> capture(windows[1].data.begin(), windows[1].data.end());

    Scope scope;
    zrhost::GuiModule& gui = *scope.gui;
    constexpr int W = 400, H = 160, yc = H / 2;
    gui.arrange(0, H, 0, W);
    gui.deliverBlob(kGuiInfoPin, infoBytes(windows[1].length, windows[1].rate));
    EXPECT_TRUE(gui.invalidations().empty()); // the header alone asks for nothing
    gui.deliverBlob(kGuiCapturePin, capture);
    ASSERT_EQ(gui.invalidations().size(), 1u);
    EXPECT_FALSE(gui.invalidations()[0].has_value()); // the whole area
    ASSERT_EQ(gui.paint(W, H, kClear), gmpi::ResultOk);
    EXPECT_EQ(gui.styleRequests(), std::vector<std::u16string>{u"tty"});

    // Full scale reaches yc pixels from the centre: 0.9 × yc for this sine.
    const auto ideal = [&](double sample) {
        return yc - 0.9 * yc * std::sin(2 * std::numbers::pi * 400 * sample / 48000);
    };
    for (int x = 0; x < W; ++x) {
        EXPECT_NE(gui.pixel(x, yc), kBackground) << "centre line at x " << x;
        int traced = 0;
        for (int y = 0; y < H; ++y) {
            const std::uint32_t c = gui.pixel(x, y);
            ASSERT_TRUE(c == kBackground || c == kStem || c == kTrace) << x << "," << y;
            if (c != kTrace) continue;
            ++traced;
            // Some sample drawn into this column (±1 sample of trigger phase) lies within
            // two pixels of this point.
            bool near = false;
            for (double t = x * 480.0 / W - 2; t <= (x + 1) * 480.0 / W + 2 && !near; t += 0.1)
                near = std::abs(y - ideal(t)) <= 2.0;
            EXPECT_TRUE(near) << "trace pixel " << x << "," << y;
        }
        if (x < W - 1) {
            EXPECT_GT(traced, 0) << "column " << x;
        }
    }
    // 120 samples per cycle = 100 pixels: the first half cycle is drawn above the line only,
    // the second below only.
    for (int x = 3; x < 48; ++x)
        for (int y = yc + 1; y < H; ++y)
            EXPECT_EQ(gui.pixel(x, y), kBackground) << x << "," << y;
    for (int x = 53; x < 98; ++x)
        for (int y = 0; y < yc; ++y)
            EXPECT_EQ(gui.pixel(x, y), kBackground) << x << "," << y;
    // Stems fill the space between the trace and the line at a crest (x = 25) and a trough
    // (x = 75).
    for (int y = yc - static_cast<int>(0.9 * yc) + 3; y < yc; ++y)
        EXPECT_EQ(gui.pixel(25, y), kStem) << y;
    for (int y = yc + 1; y < yc + static_cast<int>(0.9 * yc) - 3; ++y)
        EXPECT_EQ(gui.pixel(75, y), kStem) << y;

#ifndef _WIN32
    EXPECT_TRUE(writePng(std::string(ZR_TEST_SCRATCH_DIR) + "/scope-sine.png", gui));
#endif
}

TEST(ScopeGui, PointCountComesFromAWellFormedHeaderOnly) {
    // The first 100 samples high, the rest low: only a count of 100 or less keeps the whole
    // drawing above the centre line.
    std::vector<std::uint8_t> capture(4800, static_cast<std::uint8_t>(-100));
    std::fill(capture.begin(), capture.begin() + 100, 100);
    auto shortHeader = infoBytes(100);
    shortHeader.pop_back();
    const std::pair<std::vector<std::uint8_t>, bool> cases[] = {
        {infoBytes(100), false}, {infoBytes(11), false},
        {infoBytes(4800), true}, {infoBytes(10), true},
        {infoBytes(4801), true}, {infoBytes(-5), true},
        {shortHeader, true},     {std::vector<std::uint8_t>{}, true}};
    for (const auto& [info, drawsBelow] : cases) {
        Scope scope;
        scope.gui->arrange(0, 100, 0, 200);
        scope.gui->deliverBlob(kGuiInfoPin, info);
        scope.gui->deliverBlob(kGuiCapturePin, capture);
        scope.gui->paint(200, 100);
        bool below = false;
        for (int y = 51; y < 100; ++y)
            for (int x = 0; x < 200; ++x)
                below = below || scope.gui->pixel(x, y) != kBackground;
        EXPECT_EQ(below, drawsBelow) << "header of " << info.size() << " bytes";
    }
}

// Paints into a surface larger than the arranged 60 × 40 area and checks every pixel.
void expectBackgroundAndLineOnly(zrhost::GuiModule& gui, std::uint32_t fill) {
    ASSERT_EQ(gui.paint(80, 50, kClear), gmpi::ResultOk);
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 80; ++x) {
            // Background over (0, 0)–(W + 1, H + 1), the line from x 0 up to W at H / 2.
            std::uint32_t expected = x <= 60 && y <= 40 ? fill : kClear;
            if (y == 20 && x < 60) expected = kStem;
            ASSERT_EQ(gui.pixel(x, y), expected) << x << "," << y;
        }
}

TEST(ScopeGui, MalformedCaptureDrawsBackgroundAndCentreLine) {
    for (std::size_t size : {0u, 4799u, 4801u, 9600u}) {
        Scope scope;
        scope.gui->arrange(0, 40, 0, 60);
        scope.gui->deliverBlob(kGuiCapturePin, std::vector<std::uint8_t>(size, 100));
        expectBackgroundAndLineOnly(*scope.gui, kBackground);
    }
    // No "tty" style, or one without background: nothing is filled.
    for (std::optional<gmpi::int32> style : {std::optional<gmpi::int32>{}, std::optional{-1}}) {
        Scope scope(style);
        scope.gui->arrange(0, 40, 0, 60);
        expectBackgroundAndLineOnly(*scope.gui, kClear);
    }
}

TEST(ScopeGui, NeverDrawsOutsideTheSurface) {
#ifdef _WIN32
    GTEST_SKIP() << "hands the module software surfaces; Windows paints into device contexts";
#endif
    std::vector<std::uint8_t> loud(4800);
    for (std::size_t i = 0; i < loud.size(); ++i)
        loud[i] = static_cast<std::uint8_t>(i % 2 ? 127 : -127);
    constexpr std::uint32_t kGuard = 0xDEADBEEF;
    const gmpi::int32 rects[][4] = {{-50, 500, -70, 900},
                                    {100, 0, 100, 0},
                                    {INT_MIN, INT_MAX, INT_MIN, INT_MAX},
                                    {0, 20, 0, 30}};
    for (const auto& r : rects) {
        Scope scope;
        scope.gui->arrange(r[0], r[1], r[2], r[3]);
        scope.gui->deliverBlob(kGuiCapturePin, loud);
        // 30 × 20 pixels in rows of 40, with four guard rows above and below; and a surface
        // claiming more width than its rows have.
        std::vector<std::uint32_t> memory(40 * 28, kGuard);
        MpSoftSurface surface{30, 20, 40, memory.data() + 4 * 40};
        ASSERT_EQ(scope.gui->graphics()->paint(&surface), gmpi::ResultOk);
        MpSoftSurface tooWide{50, 20, 40, memory.data() + 4 * 40};
        ASSERT_EQ(scope.gui->graphics()->paint(&tooWide), gmpi::ResultOk);
        for (int row = 0; row < 28; ++row)
            for (int col = 0; col < 40; ++col)
                if (row < 4 || row >= 24) {
                    ASSERT_EQ(memory[row * 40 + col], kGuard) << row << "," << col;
                }
        // Empty and missing surfaces draw nothing and still succeed.
        EXPECT_EQ(scope.gui->paint(0, 0), gmpi::ResultOk);
        EXPECT_EQ(scope.gui->paint(-3, 5), gmpi::ResultOk);
        MpSoftSurface negative{-30, -20, -40, memory.data()};
        EXPECT_EQ(scope.gui->graphics()->paint(&negative), gmpi::ResultOk);
        EXPECT_EQ(scope.gui->graphics()->paint(nullptr), gmpi::ResultOk);
    }
}

} // namespace
