// The software drawing layer on its own: which pixels lines and fills cover, clipping, and
// the selection and deletion rules of pens and brushes.
#include "framework/gdi.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace zrgdi;

namespace {

constexpr std::uint32_t kGuard = 0xDEADBEEF;
constexpr COLORREF kRed = rgb(255, 0, 0);

// A w × h surface inside a buffer with a guard border of `border` pixels on every side.
struct Canvas {
    Canvas(int w, int h, int border = 0)
        : stride(w + 2 * border), rows(h + 2 * border), border(border),
          memory(static_cast<std::size_t>(stride * rows), kGuard), surface{w, h, stride,
                                                                           memory.data() +
                                                                               border * stride +
                                                                               border} {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                at(x, y) = 0;
    }
    std::uint32_t& at(int x, int y) { return surface.pixels[y * stride + x]; }
    int count(std::uint32_t colour) {
        int n = 0;
        for (int y = 0; y < surface.height; ++y)
            for (int x = 0; x < surface.width; ++x)
                n += at(x, y) == colour;
        return n;
    }
    bool guardsIntact() const {
        for (int y = 0; y < rows; ++y)
            for (int x = 0; x < stride; ++x) {
                const bool inside =
                    x >= border && x < stride - border && y >= border && y < rows - border;
                if (!inside && memory[y * stride + x] != kGuard) return false;
            }
        return true;
    }
    int stride, rows, border;
    std::vector<std::uint32_t> memory;
    MpSoftSurface surface;
};

void line(HDC dc, int x0, int y0, int x1, int y1) {
    MoveToEx(dc, x0, y0, nullptr);
    LineTo(dc, x1, y1);
}

TEST(SoftGdi, LinesLeaveOutTheirEndPoint) {
    Canvas c(20, 20);
    DeviceContext context(&c.surface);
    const HDC dc = context.get();
    const HPEN pen = CreatePen(kPenSolid, 1, kRed);
    SelectObject(dc, pen);

    line(dc, 0, 5, 10, 5);
    for (int x = 0; x < 10; ++x)
        EXPECT_EQ(c.at(x, 5), kRed) << x;
    EXPECT_EQ(c.at(10, 5), 0u);
    line(dc, 15, 10, 15, 2); // upwards
    for (int y = 3; y <= 10; ++y)
        EXPECT_EQ(c.at(15, y), kRed) << y;
    EXPECT_EQ(c.at(15, 2), 0u);
    line(dc, 0, 19, 5, 14);
    for (int k = 0; k < 5; ++k)
        EXPECT_EQ(c.at(k, 19 - k), kRed) << k;
    line(dc, 3, 3, 3, 3); // zero length: nothing
    EXPECT_EQ(c.count(kRed), 10 + 8 + 5);
    POINT previous{};
    MoveToEx(dc, 0, 0, &previous);
    EXPECT_EQ(previous.x, 3); // LineTo moved the current position to its end
    EXPECT_EQ(previous.y, 3);

    // A shallow line: one pixel per column, each within half a pixel of the exact line.
    Canvas s(12, 5);
    DeviceContext shallow(&s.surface);
    SelectObject(shallow.get(), pen);
    line(shallow.get(), 0, 0, 10, 3);
    for (int x = 0; x < 12; ++x) {
        int hits = 0;
        for (int y = 0; y < 5; ++y)
            if (s.at(x, y) == kRed) {
                ++hits;
                EXPECT_LE(std::abs(y - 0.3 * x), 0.5) << x << "," << y;
            }
        EXPECT_EQ(hits, x < 10 ? 1 : 0) << x;
    }
}

TEST(SoftGdi, EverythingIsClippedToTheSurface) {
    Canvas c(10, 10, 8);
    {
        DeviceContext context(&c.surface);
        const HDC dc = context.get();
        const HPEN pen = CreatePen(kPenSolid, 1, kRed);
        const HGDIOBJ old = SelectObject(dc, pen);
        line(dc, -1000000, 5, 1000000, 5);
        line(dc, 5, -10, 5, 100);
        line(dc, -5, -5, 20, 20);
        EXPECT_EQ(c.count(kRed), 10 + 9 + 9); // row 5, column 5 and diagonal share (5, 5)
        EXPECT_EQ(c.at(0, 0), kRed);
        EXPECT_EQ(c.at(9, 9), kRed);
        // Beyond the 27-bit drawing range a line is refused.
        MoveToEx(dc, 0, 2, nullptr);
        EXPECT_EQ(LineTo(dc, 1 << 28, 2), 0);
        EXPECT_EQ(c.at(0, 2), 0u);

        const HBRUSH brush = CreateSolidBrush(rgb(0, 0, 255));
        const RECT corner{-5, -5, 3, 4}, inverted{5, 5, 2, 2}, far{8, 8, 100, 100};
        EXPECT_NE(FillRect(dc, &corner, brush), 0);
        FillRect(dc, &inverted, brush);
        FillRect(dc, &far, brush);
        EXPECT_EQ(c.count(0xFF0000), 3 * 4 + 2 * 2); // right and bottom edges left out
        EXPECT_EQ(c.at(2, 3), 0xFF0000u);
        EXPECT_NE(c.at(3, 3), 0xFF0000u);
        EXPECT_EQ(FillRect(dc, &corner, reinterpret_cast<HBRUSH>(pen)), 0); // not a brush
        SelectObject(dc, old);
        DeleteObject(pen);
        DeleteObject(brush);
    }
    EXPECT_TRUE(c.guardsIntact());

    // Surfaces with nothing drawable take every call without writing.
    for (MpSoftSurface bad :
         {MpSoftSurface{0, 10, 10, c.memory.data()}, MpSoftSurface{10, -1, 10, c.memory.data()},
          MpSoftSurface{10, 10, -10, c.memory.data()}, MpSoftSurface{10, 10, 10, nullptr}}) {
        std::vector<std::uint32_t> before = c.memory;
        DeviceContext context(&bad);
        const HBRUSH brush = CreateSolidBrush(kRed);
        const RECT all{-100, -100, 100, 100};
        FillRect(context.get(), &all, brush);
        line(context.get(), -50, -50, 50, 50);
        DeleteObject(brush);
        EXPECT_EQ(c.memory, before);
    }
}

TEST(SoftGdi, PensAndBrushesFollowSelectionRules) {
    Canvas c(10, 10);
    DeviceContext context(&c.surface);
    const HDC dc = context.get();
    std::fill(c.memory.begin(), c.memory.end(), 0x00FFFFFF);
    line(dc, 0, 0, 5, 0); // a fresh context draws with the black stock pen
    EXPECT_EQ(c.at(0, 0), 0u);

    const HPEN red = CreatePen(kPenSolid, 1, kRed);
    const HPEN green = CreatePen(kPenSolid, 1, rgb(0, 255, 0));
    const HGDIOBJ stock = SelectObject(dc, red);
    ASSERT_NE(stock, nullptr);
    EXPECT_EQ(SelectObject(dc, green), static_cast<HGDIOBJ>(red));
    const HBRUSH brush = CreateSolidBrush(kRed);
    EXPECT_NE(SelectObject(dc, brush), nullptr); // replaces the brush, not the pen
    EXPECT_EQ(DeleteObject(green), 0);           // still selected: kept
    EXPECT_EQ(DeleteObject(red), 1);
    EXPECT_EQ(DeleteObject(red), 0); // already gone
    EXPECT_EQ(SelectObject(dc, red), nullptr);
    line(dc, 0, 1, 5, 1);
    EXPECT_EQ(c.at(0, 1), 0x00FF00u); // green stayed selected

    const HPEN none = CreatePen(kPenNull, 1, kRed);
    SelectObject(dc, none);
    line(dc, 0, 2, 5, 2);
    EXPECT_EQ(c.at(0, 2), 0x00FFFFFFu);
    EXPECT_EQ(DeleteObject(green), 1);
    SelectObject(dc, stock);
    EXPECT_EQ(DeleteObject(none), 1);
    EXPECT_EQ(DeleteObject(stock), 1); // stock objects survive deletion
    line(dc, 0, 3, 5, 3);
    EXPECT_EQ(c.at(0, 3), 0u);
    {
        DeviceContext other(&c.surface);
        SelectObject(other.get(), brush);
    }
    SelectObject(dc, SelectObject(dc, none)); // `none` is gone: nothing changes
    EXPECT_EQ(DeleteObject(brush), 0);        // `dc` still holds it
}

} // namespace
