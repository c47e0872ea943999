// "ZR SCOPE V4" (GUI half) draws the last captured window.
// Repaints when a new window arrives and draws it with pens
// and a brush through the drawing layer.
#include "modules/panel/ZrScopeQuatreGui.h"

#include "framework/mp_factory.h"
#include "framework/platform/gdi.h"
#include "modules/panel/ScopeCaptureFormat.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace zr {

using namespace scope;

namespace {

constexpr zrgdi::COLORREF kCentreAndStemColour = zrgdi::rgb(122, 135, 141);
constexpr zrgdi::COLORREF kTraceColour = zrgdi::rgb(186, 200, 210);

// The arranged area is clamped to ±2^26 pixels, far beyond any panel, so that W + 1 and
// every coordinate below stay inside the range the drawing calls accept.
constexpr std::int64_t kAreaLimit = std::int64_t{1} << 26;

int clampExtent(std::int64_t v) {
    return static_cast<int>(std::clamp(v, -kAreaLimit, kAreaLimit));
}

} // namespace

ZrScopeQuatreGui::ZrScopeQuatreGui(gmpi::IMpUnknown* host) : gmpi::VlGuiCompositedGfxBase(host) {
    initializePin(0, captureIn, &ZrScopeQuatreGui::onCaptureChanged);
    initializePin(1, infoIn);
}

void ZrScopeQuatreGui::onCaptureChanged() {
    invalidateRect(nullptr);
}

gmpi::int32 ZrScopeQuatreGui::pointCount() const {
    const gmpi::MpBlob& info = infoIn.getValue();
    if (info.size() != kInfoBytes) return kCaptureBytes;
    const gmpi::int32 count = readInt32LittleEndian(info.data());
    return count >= kShortestWindow && count <= kCaptureBytes ? count : kCaptureBytes;
}

gmpi::int32 ZrScopeQuatreGui::paint(void* drawingContext) {
    using namespace zrgdi;
    DeviceContext context(drawingContext);
    const HDC dc = context.get();

    const gmpi::int32 n = pointCount();
    // Height from the first two arranged values, width from the last two.
    const int width = clampExtent(std::int64_t{rect.r3} - rect.r2);
    const int height = clampExtent(std::int64_t{rect.r1} - rect.r0);

    // Background of the "tty" style. A host that has no such style (the lookup fails) gives
    // no colour, so nothing is filled, as for a style without background.
    alignas(4) char style[gmpi::kStyleRecordBytes] = {};
    void* styleHandle = nullptr;
    if (compositedHost && compositedHost->getStyle(u"tty", style, &styleHandle) == gmpi::ResultOk) {
        gmpi::int32 background;
        std::memcpy(&background, style + 8, sizeof background);
        if (background >= 0) {
            const HBRUSH brush = CreateSolidBrush(static_cast<COLORREF>(background));
            const RECT all{0, 0, width + 1, height + 1};
            FillRect(dc, &all, brush);
            DeleteObject(brush);
        }
    }

    const int yc = height / 2;
    const float scale = static_cast<float>(yc) * 0.007874016f; // full scale ±127 → ±yc pixels

    HPEN pen = CreatePen(kPenSolid, 1, kCentreAndStemColour);
    const HGDIOBJ previousPen = SelectObject(dc, pen);
    MoveToEx(dc, 0, yc, nullptr);
    LineTo(dc, width, yc);

    const gmpi::MpBlob& capture = captureIn.getValue();
    if (capture.size() == kCaptureBytes) {
        const auto* d = reinterpret_cast<const std::int8_t*>(capture.data());
        const auto y = [&](gmpi::int32 i) { return yc - static_cast<int>(d[i] * scale); };

        const HPEN stemPen = CreatePen(kPenSolid, 1, kCentreAndStemColour);
        SelectObject(dc, stemPen);
        DeleteObject(pen);
        pen = stemPen;
        std::int64_t xAccumulator = 0; // i × W, so that x(i) = (i × W) / N without overflow
        for (gmpi::int32 i = 0; i < n - 1; ++i) {
            const int x = static_cast<int>(xAccumulator / n);
            MoveToEx(dc, x, y(i), nullptr);
            LineTo(dc, x, yc);
            xAccumulator += width;
        }

        const HPEN tracePen = CreatePen(kPenSolid, 1, kTraceColour);
        SelectObject(dc, tracePen);
        DeleteObject(pen);
        pen = tracePen;
        xAccumulator = 0;
        for (gmpi::int32 i = 0; i < n - 1; ++i) {
            const int x = static_cast<int>(xAccumulator / n);
            xAccumulator += width;
            const int xNext = static_cast<int>(xAccumulator / n);
            MoveToEx(dc, x, y(i), nullptr);
            LineTo(dc, xNext, y(i + 1));
        }
    }

    SelectObject(dc, previousPen);
    DeleteObject(pen);
    return gmpi::ResultOk;
}

} // namespace zr

namespace {
const gmpi::int32 registeredGui =
    gmpi::registerGuiModule(u"ZR SCOPE V4", &gmpi::createGui<zr::ZrScopeQuatreGui>);
} // namespace
