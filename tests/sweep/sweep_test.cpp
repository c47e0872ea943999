// One sweep over the whole catalog: every registered module half is created, opened and fed
// silence, denormals, NaN, infinities, huge values and random signals, with hostile control
// values, at several sample rates and block sizes. Nothing may crash or read out of bounds.
#include "host/audio_module.h"
#include "host/event_list.h"
#include "host/gui_module.h"
#include "host/host_context.h"
#include "host/module_catalog.h"
#include "host/module_library.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <random>

using namespace gmpi;

namespace {

zrhost::ModuleLibrary& library() {
    return zrhost::ModuleLibrary::shared(ZR_MODULE_LIBRARY_PATH);
}

const zrhost::ModuleCatalog& catalog() {
    return zrhost::sharedModuleCatalog(ZR_MODULE_LIBRARY_PATH);
}

std::vector<std::string> moduleIds() {
    std::vector<std::string> ids;
    for (const auto& m : catalog().modules)
        ids.push_back(m.id);
    return ids;
}

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kDenormal = 1.0e-41f;

enum class Signal { Silence, Denormal, NaN, Infinite, Huge, Noise };

void fill(std::span<float> buffer, Signal signal, std::mt19937& rng) {
    std::uniform_real_distribution<float> noise(-2.0f, 2.0f);
    for (float& x : buffer) {
        switch (signal) {
        case Signal::Silence:
            x = 0.0f;
            break;
        case Signal::Denormal:
            x = kDenormal;
            break;
        case Signal::NaN:
            x = kNaN;
            break;
        case Signal::Infinite:
            x = (rng() & 1) ? kInf : -kInf;
            break;
        case Signal::Huge:
            x = (rng() & 1) ? 1.0e9f : -1.0e9f;
            break;
        case Signal::Noise:
            x = noise(rng);
            break;
        }
    }
}

const float hostileFloats[] = {0.0f,    1.0f, -1.0f, 0.5f,  1.0e9f,
                               -1.0e9f, kNaN, kInf,  -kInf, kDenormal};
const int32 hostileInts[] = {0,
                             1,
                             -1,
                             2,
                             3,
                             4,
                             5,
                             6,
                             7,
                             10,
                             31,
                             32,
                             100,
                             4800,
                             100000,
                             std::numeric_limits<int32>::min(),
                             std::numeric_limits<int32>::max()};

// A hostile value of the pin's type, in raw form, appended to `events`.
void addHostileValue(zrhost::EventList& events, int32 time, const zrhost::PinInfo& pin,
                     std::mt19937& rng) {
    switch (pin.datatype) {
    case DatatypeFloat:
        events.addFloat(time, pin.id, hostileFloats[rng() % std::size(hostileFloats)]);
        break;
    case DatatypeInt:
    case DatatypeList:
        events.addInt(time, pin.id, hostileInts[rng() % std::size(hostileInts)]);
        break;
    case DatatypeBool:
        events.addBool(time, pin.id, rng() & 1);
        break;
    case DatatypeText: {
        static const std::u16string texts[] = {
            u"", u"x", u"base.zrw", u"C:/nowhere/base.zrw", std::u16string(300, u'a'), u"\xD800"};
        events.addText(time, pin.id, texts[rng() % std::size(texts)]);
        break;
    }
    case DatatypeBlob: {
        std::vector<std::uint8_t> bytes(std::array<std::size_t, 5>{0, 1, 7, 8, 4800}[rng() % 5]);
        for (auto& b : bytes)
            b = static_cast<std::uint8_t>(rng());
        events.addBlob(time, pin.id, bytes);
        break;
    }
    case DatatypeMidi: {
        std::vector<std::uint8_t> bytes(1 + rng() % 4);
        for (auto& b : bytes)
            b = static_cast<std::uint8_t>(rng());
        bytes[0] |= 0x80;
        events.addMidi(time, pin.id, bytes);
        break;
    }
    default:
        break;
    }
    // Now and then a value of the wrong size for the pin.
    if (rng() % 8 == 0) {
        const std::uint8_t junk[3] = {0xFF, 0x7F, 0x80};
        events.addBytes(time, EventPinValue, pin.id, junk, static_cast<int32>(rng() % 4));
    }
}

class Sweep : public ::testing::TestWithParam<std::string> {};

TEST_P(Sweep, AudioHalfSurvivesHostileInput) {
    const zrhost::ModuleInfo& info = *catalog().find(GetParam());
    std::mt19937 rng(12345);
    for (float rate : {22050.0f, 44100.0f, 96000.0f}) {
        for (int32 blockSize : {1, 13, 64, 256}) {
            for (Signal signal : {Signal::Silence, Signal::Denormal, Signal::NaN, Signal::Infinite,
                                  Signal::Huge, Signal::Noise}) {
                zrhost::HostContext context;
                context.setFileFolder(u"" ZR_TEST_SCRATCH_DIR);
                zrhost::AudioModule module(library(), zrhost::toUtf16(info.id), context,
                                           {blockSize, rate});
                if (module.createResult() == ResultNoSupport) return; // GUI-only module
                ASSERT_TRUE(module.valid()) << info.id;
                module.setRecording(false);
                for (const auto& pin : info.audioPins)
                    if (pin.datatype == DatatypeAudio) module.attachOwnBuffer(pin.id);
                module.open();
                for (int block = 0; block < 12; ++block) {
                    for (const auto& pin : info.audioPins)
                        if (pin.datatype == DatatypeAudio && pin.direction == DirectionIn)
                            fill(module.buffer(pin.id), signal, rng);
                    zrhost::EventList events;
                    if (block == 0) {
                        events.addGraphStart(0);
                        for (const auto& pin : info.audioPins)
                            if (pin.datatype == DatatypeAudio && pin.direction == DirectionIn)
                                events.addStreamingStart(0, pin.id);
                    }
                    for (const auto& pin : info.audioPins) {
                        if (pin.direction != DirectionIn || pin.datatype == DatatypeAudio) continue;
                        if (block == 0 || rng() % 3 == 0)
                            addHostileValue(events, static_cast<int32>(rng() % blockSize), pin,
                                            rng);
                    }
                    if (block == 8)
                        for (const auto& pin : info.audioPins)
                            if (pin.datatype == DatatypeAudio && pin.direction == DirectionIn)
                                events.addStreamingStop(0, pin.id);
                    module.processBlock(events, blockSize);
                }
            }
        }
    }
}

// A host may leave unconnected audio pins without buffers; the module must still run.
TEST_P(Sweep, AudioHalfRunsWithoutBuffers) {
    const zrhost::ModuleInfo& info = *catalog().find(GetParam());
    std::mt19937 rng(99);
    zrhost::HostContext context;
    zrhost::AudioModule module(library(), zrhost::toUtf16(info.id), context);
    if (module.createResult() == ResultNoSupport) return; // GUI-only module
    ASSERT_TRUE(module.valid()) << info.id;
    module.setRecording(false);
    module.open();
    for (int block = 0; block < 8; ++block) {
        zrhost::EventList events;
        if (block == 0) events.addGraphStart(0);
        for (const auto& pin : info.audioPins)
            if (pin.direction == DirectionIn && pin.datatype != DatatypeAudio)
                addHostileValue(events, static_cast<int32>(rng() % 64), pin, rng);
        module.processBlock(events);
    }
}

TEST_P(Sweep, GuiHalfSurvivesHostileInput) {
    const zrhost::ModuleInfo& info = *catalog().find(GetParam());
    std::mt19937 rng(777);
    for (auto background :
         {std::optional<int32>{0x00204060}, std::optional<int32>{-1}, std::optional<int32>{}}) {
        zrhost::HostContext context;
        context.setFileFolder(u"" ZR_TEST_SCRATCH_DIR);
        zrhost::GuiHostOptions options;
        options.styleBackground = background;
        options.pinCount = static_cast<int32>(info.guiPins.size());
        zrhost::GuiModule gui(library(), zrhost::toUtf16(info.id), context, options);
        if (gui.createResult() == ResultNoSupport) return; // audio-only module
        ASSERT_TRUE(gui.valid()) << info.id;
        gui.initialize();
        for (int round = 0; round < 20; ++round) {
            for (const auto& pin : info.guiPins) {
                zrhost::EventList value; // reuse the typed encoders
                addHostileValue(value, 0, pin, rng);
                for (const MpEvent* e : value.events())
                    gui.deliver(pin.id, e->extraData ? e->extraData : e->inlineData, e->size);
            }
            library().timerTick();
        }
        MpSize size{};
        gui.measure(-5, 100000, size);
        for (auto [w, h] :
             {std::pair{0, 0}, std::pair{1, 1}, std::pair{3, 200}, std::pair{100, 50}}) {
            gui.arrange(0, h, 0, w);
            gui.paint(w, h);
            gui.arrange(h, 0, w, 0); // inverted rectangle
            gui.paint(w, h);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllModules, Sweep, ::testing::ValuesIn(moduleIds()),
                         [](const ::testing::TestParamInfo<std::string>& p) {
                             std::string name;
                             for (char c : p.param)
                                 name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             return name + "_" + std::to_string(p.index);
                         });

} // namespace
