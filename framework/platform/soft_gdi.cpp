// Software drawing calls on an MpSoftSurface, for systems without GDI: solid pens, solid
// brushes, 1-pixel lines that leave out their end point, and filled rectangles, all clipped
// to the surface. Pens and brushes are process-wide objects looked up by handle, so a stale
// or foreign handle is refused instead of followed. The registry is locked, so GUI halves
// painting on different threads (two scopes, say) may create and use their own pens at once.
#include "framework/platform/gdi.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace zrgdi {
namespace {

enum class Kind { Pen, Brush };

struct Object {
    Kind kind;
    COLORREF color;
    int style;
    bool stock;
    int selections = 0; // contexts that have it selected
};

// Windows keeps GDI coordinates within 27 bits; so does this layer, which keeps every
// product in the line arithmetic inside 64 bits.
constexpr std::int64_t kCoordinateLimit = std::int64_t{1} << 27;

Object& stockBlackPen() {
    static Object pen{Kind::Pen, 0x000000, kPenSolid, true};
    return pen;
}
Object& stockWhiteBrush() {
    static Object brush{Kind::Brush, 0xFFFFFF, kPenSolid, true};
    return brush;
}

// Guards the registry and the objects' selection counts; held only for lookups, never while
// pixels are drawn.
std::mutex& registryLock() {
    static std::mutex lock;
    return lock;
}

std::unordered_map<const void*, std::unique_ptr<Object>>& registry() {
    static std::unordered_map<const void*, std::unique_ptr<Object>> objects;
    return objects;
}

// Callers hold registryLock().
Object* find(const void* handle) {
    if (!handle) return nullptr;
    if (handle == &stockBlackPen()) return &stockBlackPen();
    if (handle == &stockWhiteBrush()) return &stockWhiteBrush();
    const auto it = registry().find(handle);
    return it == registry().end() ? nullptr : it->second.get();
}

void* make(Kind kind, COLORREF color, int style) {
    auto object = std::make_unique<Object>(Object{kind, color & 0x00FFFFFF, style, false});
    void* handle = object.get();
    const std::lock_guard<std::mutex> hold(registryLock());
    registry().emplace(handle, std::move(object));
    return handle;
}

void plot(SoftDc& dc, std::int64_t x, std::int64_t y, COLORREF color) {
    if (x < 0 || y < 0 || x >= dc.width || y >= dc.height) return;
    dc.pixels[y * dc.stride + x] = color;
}

// Pixels k = 0 .. n-1 of the line from (x0, y0) to (x1, y1), n being the longer of the two
// extents: along the major axis one pixel per step, across it the exact offset rounded to
// the nearest pixel (halves away from the start), which is the pixel Bresenham's error term
// picks. Only the steps whose major coordinate lies on the surface are visited, so the cost
// is bounded by the surface, not by the line.
void drawLine(SoftDc& dc, std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1,
              COLORREF color) {
    const bool xMajor = std::abs(x1 - x0) >= std::abs(y1 - y0);
    // Work in (major, minor) coordinates.
    const std::int64_t a0 = xMajor ? x0 : y0, b0 = xMajor ? y0 : x0;
    const std::int64_t a1 = xMajor ? x1 : y1, b1 = xMajor ? y1 : x1;
    const std::int64_t majorExtent = xMajor ? dc.width : dc.height;
    const std::int64_t n = std::abs(a1 - a0);
    const std::int64_t m = std::abs(b1 - b0);
    if (n == 0) return;
    const std::int64_t sa = a1 > a0 ? 1 : -1;
    const std::int64_t sb = b1 > b0 ? 1 : -1;

    // Steps k with 0 <= a0 + sa*k < majorExtent.
    std::int64_t kBegin, kEnd;
    if (sa > 0) {
        kBegin = -a0;
        kEnd = majorExtent - a0;
    } else {
        kBegin = a0 - majorExtent + 1;
        kEnd = a0 + 1;
    }
    kBegin = std::max<std::int64_t>(kBegin, 0);
    kEnd = std::min(kEnd, n);

    for (std::int64_t k = kBegin; k < kEnd; ++k) {
        const std::int64_t a = a0 + sa * k;
        const std::int64_t b = b0 + sb * ((2 * k * m + n) / (2 * n));
        if (xMajor)
            plot(dc, a, b, color);
        else
            plot(dc, b, a, color);
    }
}

bool inDrawingRange(std::int64_t v) {
    return v >= -kCoordinateLimit && v < kCoordinateLimit;
}

} // namespace

HPEN CreatePen(int style, int /*width*/, COLORREF color) {
    return static_cast<HPEN>(make(Kind::Pen, color, style));
}

HBRUSH CreateSolidBrush(COLORREF color) {
    return static_cast<HBRUSH>(make(Kind::Brush, color, kPenSolid));
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ handle) {
    const std::lock_guard<std::mutex> hold(registryLock());
    Object* object = find(handle);
    if (!dc || !object) return nullptr;
    HGDIOBJ& slot = object->kind == Kind::Pen ? dc->pen : dc->brush;
    HGDIOBJ previous = slot;
    if (Object* old = find(previous)) --old->selections;
    ++object->selections;
    slot = handle;
    return previous;
}

BOOL MoveToEx(HDC dc, int x, int y, POINT* previous) {
    if (!dc) return 0;
    if (previous) *previous = POINT{dc->x, dc->y};
    dc->x = x;
    dc->y = y;
    return 1;
}

BOOL LineTo(HDC dc, int x, int y) {
    if (!dc) return 0;
    if (!inDrawingRange(dc->x) || !inDrawingRange(dc->y) || !inDrawingRange(x) ||
        !inDrawingRange(y))
        return 0;
    bool visible = false;
    COLORREF color = 0;
    {
        const std::lock_guard<std::mutex> hold(registryLock());
        if (const Object* pen = find(dc->pen)) {
            visible = pen->style != kPenNull;
            color = pen->color;
        }
    }
    if (visible && dc->pixels) drawLine(*dc, dc->x, dc->y, x, y, color);
    dc->x = x;
    dc->y = y;
    return 1;
}

int FillRect(HDC dc, const RECT* rect, HBRUSH brush) {
    COLORREF color = 0;
    {
        const std::lock_guard<std::mutex> hold(registryLock());
        const Object* object = find(brush);
        if (!object || object->kind != Kind::Brush) return 0;
        color = object->color;
    }
    if (!dc || !rect) return 0;
    const gmpi::int32 left = std::max(rect->left, 0);
    const gmpi::int32 top = std::max(rect->top, 0);
    const gmpi::int32 right = std::min(rect->right, dc->width);
    const gmpi::int32 bottom = std::min(rect->bottom, dc->height);
    if (left >= right || top >= bottom) return 1;
    for (gmpi::int32 y = top; y < bottom; ++y) {
        std::uint32_t* row = dc->pixels + static_cast<std::int64_t>(y) * dc->stride;
        std::fill(row + left, row + right, color);
    }
    return 1;
}

BOOL DeleteObject(HGDIOBJ handle) {
    const std::lock_guard<std::mutex> hold(registryLock());
    Object* object = find(handle);
    if (!object) return 0;
    if (object->stock) return 1;
    if (object->selections > 0) return 0;
    registry().erase(handle);
    return 1;
}

DeviceContext::DeviceContext(void* drawingContext) {
    const auto* surface = static_cast<const MpSoftSurface*>(drawingContext);
    if (surface && surface->pixels && surface->width > 0 && surface->height > 0 &&
        surface->stride > 0) {
        dc_.pixels = surface->pixels;
        dc_.stride = surface->stride;
        dc_.width = std::min(surface->width, surface->stride);
        dc_.height = surface->height;
    }
    SelectObject(&dc_, &stockBlackPen());
    SelectObject(&dc_, &stockWhiteBrush());
}

DeviceContext::~DeviceContext() {
    // Whatever is still selected is free to be deleted once the context is gone.
    const std::lock_guard<std::mutex> hold(registryLock());
    if (Object* pen = find(dc_.pen)) --pen->selections;
    if (Object* brush = find(dc_.brush)) --brush->selections;
}

} // namespace zrgdi
