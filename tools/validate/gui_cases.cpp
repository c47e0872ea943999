// The GUI-half cases: creation in a loop, hostile values on every pin with timer ticks in
// between, and painting at degenerate sizes (nothing, one pixel, one-pixel strips, and a
// surface far smaller than the rectangle the module was arranged in).
#include "host/gui_module.h"
#include "host/text.h"
#include "tools/validate/cases.h"

namespace zrvalidate {

using namespace gmpi;

namespace {

zrhost::GuiHostOptions optionsFor(const Subject& subject) {
    zrhost::GuiHostOptions options;
    options.pinCount = static_cast<int32>(subject.info.guiPins.size());
    return options;
}

std::string createDestroy(zrhost::ModuleLibrary& library, const Subject& subject) {
    zrhost::HostContext context;
    const std::u16string id = zrhost::toUtf16(subject.info.id);
    for (int i = 0; i < 200; ++i)
        if (!zrhost::GuiModule(library, id, context, optionsFor(subject)).valid())
            return "createInstance failed on round " + std::to_string(i);
    for (int i = 0; i < 20; ++i) {
        zrhost::GuiModule gui(library, id, context, optionsFor(subject));
        gui.initialize();
    }
    return {};
}

std::string values(zrhost::ModuleLibrary& library, const Subject& subject, Random& rng) {
    zrhost::HostContext context;
    zrhost::GuiModule gui(library, zrhost::toUtf16(subject.info.id), context, optionsFor(subject));
    if (!gui.valid()) return "createInstance failed";
    gui.initialize();
    for (int round = 0; round < 20; ++round) {
        for (const auto& pin : subject.info.guiPins) {
            zrhost::EventList value; // the typed encoders of the event list
            addHostileValue(value, 0, pin, subject.blind, false, rng);
            for (const MpEvent* e : value.events())
                gui.deliver(pin.id, e->extraData ? e->extraData : e->inlineData, e->size);
        }
        library.timerTick();
        if (round % 5 == 4) {
            gui.arrange(0, 50, 0, 100);
            gui.paint(100, 50);
        }
    }
    return {};
}

std::string paint(zrhost::ModuleLibrary& library, const Subject& subject) {
    zrhost::HostContext context;
    zrhost::GuiModule gui(library, zrhost::toUtf16(subject.info.id), context, optionsFor(subject));
    if (!gui.valid()) return "createInstance failed";
    gui.initialize();
    constexpr int32 kHuge = 1 << 30;
    for (auto [w, h] : {std::pair{0, 0}, std::pair{-1, -1}, std::pair{kHuge, kHuge}}) {
        MpSize size{};
        gui.measure(w, h, size);
    }
    struct Shape {
        int32 width, height, arrangedWidth, arrangedHeight;
    };
    const Shape shapes[] = {{0, 0, 0, 0},       {1, 1, 1, 1},         {1, 2048, 1, 2048},
                            {2048, 1, 2048, 1}, {0, 0, kHuge, kHuge}, {1024, 1024, kHuge, kHuge}};
    for (const Shape& s : shapes) {
        gui.arrange(0, s.arrangedHeight, 0, s.arrangedWidth);
        gui.paint(s.width, s.height);
        gui.arrange(s.arrangedHeight, 0, s.arrangedWidth, 0); // inverted rectangle
        gui.paint(s.width, s.height);
    }
    return {};
}

} // namespace

std::string runGuiCase(zrhost::ModuleLibrary& library, const Subject& subject, Case c,
                       Random& rng) {
    switch (c) {
    case Case::CreateDestroy:
        return createDestroy(library, subject);
    case Case::GuiValues:
        return values(library, subject, rng);
    case Case::GuiPaint:
        return paint(library, subject);
    default:
        return {};
    }
}

} // namespace zrvalidate
