// The software drawing layer on its own: which pixels lines and fills cover, clipping, and
// the rules that keep deleted objects out of a context.
#include "framework/platform/gdi.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

using namespace zrgdi;

namespace {

constexpr std::uint32_t kGuard = 0xDEADBEEF;
constexpr COLORREF kRed = rgb(255, 0, 0);
constexpr COLORREF kBlue = rgb(0, 0, 255);

// A w × h surface inside a buffer with a guard border of `border` pixels on every side.
struct Canvas {
    Canvas(int w, int h, int border = 0)
        : stride(w + 2 * border), border(border),
          memory(static_cast<std::size_t>(stride * (h + 2 * border)), kGuard),
          surface{w, h, stride, memory.data() + border * stride + border} {
        for (int y = 0; y < h; ++y)
            std::fill(surface.pixels + y * stride, surface.pixels + y * stride + w, 0u);
    }
    std::uint32_t& at(int x, int y) { return surface.pixels[y * stride + x]; }
    int count(std::uint32_t colour) {
        int n = 0;
        for (int y = 0; y < surface.height; ++y)
            for (int x = 0; x < surface.width; ++x)
                n += at(x, y) == colour;
        return n;
    }
    int guardsTouched() const {
        return static_cast<int>(memory.size()) - surface.width * surface.height -
               static_cast<int>(std::count(memory.begin(), memory.end(), kGuard));
    }
    int stride, border;
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
    const HGDIOBJ stock = SelectObject(dc, pen);

    line(dc, 0, 5, 10, 5);
    line(dc, 15, 10, 15, 2); // upwards
    line(dc, 0, 19, 5, 14);
    line(dc, 3, 3, 3, 3); // zero length: nothing
    EXPECT_EQ(c.count(kRed), 10 + 8 + 5);
    EXPECT_EQ(c.at(9, 5), kRed);
    EXPECT_EQ(c.at(10, 5), 0u);
    EXPECT_EQ(c.at(15, 3), kRed);
    EXPECT_EQ(c.at(15, 2), 0u);
    EXPECT_EQ(c.at(4, 15), kRed);
    EXPECT_EQ(c.at(5, 14), 0u);

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

    // A selected object is not deleted; once replaced it is, and its handle is dead.
    EXPECT_EQ(DeleteObject(pen), 0);
    EXPECT_EQ(SelectObject(dc, stock), static_cast<HGDIOBJ>(pen));
    SelectObject(shallow.get(), stock);
    EXPECT_EQ(DeleteObject(pen), 1);
    EXPECT_EQ(SelectObject(dc, pen), nullptr);
    line(dc, 0, 0, 5, 0); // the stock pen is black
    EXPECT_EQ(c.at(0, 0), 0u);
}

TEST(SoftGdi, FillsAndLinesStayOnTheSurface) {
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
        MoveToEx(dc, 0, 2, nullptr);
        EXPECT_EQ(LineTo(dc, 1 << 28, 2), 0); // beyond the 27-bit drawing range: refused
        EXPECT_EQ(c.at(0, 2), 0u);

        const HBRUSH brush = CreateSolidBrush(kBlue);
        const RECT corner{-5, -5, 3, 4}, inverted{5, 5, 2, 2}, far{8, 8, 100, 100};
        EXPECT_NE(FillRect(dc, &corner, brush), 0);
        FillRect(dc, &inverted, brush);
        FillRect(dc, &far, brush);
        EXPECT_EQ(c.count(kBlue), 3 * 4 + 2 * 2); // right and bottom edges left out
        SelectObject(dc, old);
        DeleteObject(pen);
        DeleteObject(brush);
    }
    EXPECT_EQ(c.guardsTouched(), 0);
}

} // namespace
