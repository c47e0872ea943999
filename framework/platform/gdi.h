// The drawing calls used by GUI halves that paint: pens, solid brushes, lines and filled
// rectangles. On Windows they are the system's GDI functions on the host's device context;
// elsewhere they draw on the host's software surface (MpSoftSurface) with the same semantics:
// 1-pixel lines that leave out their end point, rectangles filled up to but excluding their
// right and bottom edges, everything clipped to the surface.
//
// Threads: pens and brushes are process-wide objects, as on Windows; the software layer locks
// their registry, so contexts on different threads may paint at once. Ownership: objects made by
// CreatePen/CreateSolidBrush belong to the caller until DeleteObject; a DeviceContext lives for one
// paint call.
#pragma once

#include "framework/mp_interfaces.h"

#include <cstdint>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace zrgdi {

#if defined(_WIN32)

using HDC = ::HDC;
using HGDIOBJ = ::HGDIOBJ;
using HPEN = ::HPEN;
using HBRUSH = ::HBRUSH;
using COLORREF = ::COLORREF;
using RECT = ::RECT;
using POINT = ::POINT;
using BOOL = ::BOOL;

// The system's own functions, so that code using this namespace calls them directly.
using ::CreatePen;
using ::CreateSolidBrush;
using ::DeleteObject;
using ::FillRect;
using ::LineTo;
using ::MoveToEx;
using ::SelectObject;

// The device context the host hands to `paint`.
class DeviceContext {
  public:
    explicit DeviceContext(void* drawingContext) : dc_(static_cast<HDC>(drawingContext)) {}
    HDC get() const { return dc_; }

  private:
    HDC dc_;
};

#else

using COLORREF = std::uint32_t;
using BOOL = int;
struct SoftDc;
struct SoftPen;
struct SoftBrush;
// Handles are opaque: the layer only compares them with the objects it made, so a handle
// that was deleted or never made is refused rather than followed.
using HDC = SoftDc*;
using HGDIOBJ = void*;
using HPEN = SoftPen*;
using HBRUSH = SoftBrush*;

struct RECT {
    gmpi::int32 left, top, right, bottom;
};
struct POINT {
    gmpi::int32 x, y;
};

// A drawing context over one software surface: its clip area, current position and the
// selected pen and brush. A fresh context has the stock black pen and white brush selected
// and the current position at (0, 0), as a Windows device context has.
struct SoftDc {
    std::uint32_t* pixels = nullptr;
    gmpi::int32 stride = 0;
    gmpi::int32 width = 0;  // drawable width: 0 when nothing may be drawn
    gmpi::int32 height = 0; // drawable height
    gmpi::int32 x = 0;      // current position
    gmpi::int32 y = 0;
    HGDIOBJ pen = nullptr;
    HGDIOBJ brush = nullptr;
};

// Pen styles: a solid line, or no line at all. Pens draw 1 pixel wide whatever their width.
HPEN CreatePen(int style, int width, COLORREF color);
HBRUSH CreateSolidBrush(COLORREF color);
// Selects a pen or brush and returns the one of the same kind it replaces; null for an
// unknown handle or a null context.
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
// Moves the current position; `previous` (optional) receives the old one.
BOOL MoveToEx(HDC dc, int x, int y, POINT* previous);
// Draws from the current position up to, but not including, (x, y) and moves there.
// Coordinates beyond ±2^27 are outside the drawing range: the call fails and draws nothing.
BOOL LineTo(HDC dc, int x, int y);
// Fills [left, right) × [top, bottom); an empty or inverted rectangle fills nothing.
int FillRect(HDC dc, const RECT* rect, HBRUSH brush);
// Deletes a pen or brush. A stock object is kept; an object still selected into a context
// is kept and the call fails, so a context never holds a deleted object.
BOOL DeleteObject(HGDIOBJ object);

// Binds a context to the surface the host hands to `paint` for the time of the call. A null
// surface, null pixels, a size of zero or less, or a stride smaller than the width leave
// nothing drawable (the stride bounds the width so that rows never overlap).
class DeviceContext {
  public:
    explicit DeviceContext(void* drawingContext);
    ~DeviceContext();
    DeviceContext(const DeviceContext&) = delete;
    DeviceContext& operator=(const DeviceContext&) = delete;
    HDC get() { return &dc_; }

  private:
    SoftDc dc_;
};

#endif

inline constexpr int kPenSolid = 0; // PS_SOLID
inline constexpr int kPenNull = 5;  // PS_NULL
#if defined(_WIN32)
static_assert(kPenSolid == PS_SOLID && kPenNull == PS_NULL);
#endif

inline constexpr COLORREF rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return static_cast<COLORREF>(r) | (static_cast<COLORREF>(g) << 8) |
           (static_cast<COLORREF>(b) << 16);
}

} // namespace zrgdi
