// The validator's case list, seeds, subjects and hostile values; the cases themselves are in
// audio_cases.cpp and gui_cases.cpp.
#include "tools/validate/validator.h"

#include "host/audio_module.h"
#include "host/gui_module.h"
#include "host/text.h"
#include "tools/validate/cases.h"

#include <array>
#include <limits>

namespace zrvalidate {

using namespace gmpi;

const char* caseName(Case c) {
    switch (c) {
    case Case::CreateDestroy:
        return "create-destroy";
    case Case::SampleRates:
        return "sample-rates";
    case Case::BlockSizes:
        return "block-sizes";
    case Case::Silence:
        return "silence";
    case Case::Denormals:
        return "denormals";
    case Case::NaN:
        return "nan";
    case Case::Infinities:
        return "infinities";
    case Case::HugeValues:
        return "huge-values";
    case Case::RandomValues:
        return "random-values";
    case Case::Reopen:
        return "reopen";
    case Case::GuiValues:
        return "gui-values";
    case Case::GuiPaint:
        return "gui-paint";
    }
    return "?";
}

const char* halfName(Half h) {
    return h == Half::Audio ? "audio" : "gui";
}

std::vector<Case> casesFor(Half half) {
    if (half == Half::Gui) return {Case::CreateDestroy, Case::GuiValues, Case::GuiPaint};
    return {Case::CreateDestroy, Case::SampleRates, Case::BlockSizes, Case::Silence,
            Case::Denormals,     Case::NaN,         Case::Infinities, Case::HugeValues,
            Case::RandomValues,  Case::Reopen};
}

std::uint64_t caseSeed(std::uint64_t runSeed, std::string_view id, Case c) {
    // FNV-1a over the identifier, then one splitmix64 step to spread the bits.
    std::uint64_t h = 0xcbf29ce484222325ull;
    for (char ch : id)
        h = (h ^ static_cast<unsigned char>(ch)) * 0x100000001b3ull;
    std::uint64_t z = runSeed ^ h ^ (static_cast<std::uint64_t>(c) + 1) * 0x9e3779b97f4a7c15ull;
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
}

bool hasHalf(zrhost::ModuleLibrary& library, std::string_view id, Half half) {
    zrhost::HostContext context;
    if (half == Half::Audio)
        return zrhost::AudioModule(library, zrhost::toUtf16(id), context).valid();
    return zrhost::GuiModule(library, zrhost::toUtf16(id), context).valid();
}

Subject probeSubject(zrhost::ModuleLibrary& library, std::string_view id) {
    Subject s;
    s.blind = true;
    s.info.id = std::string(id);
    zrhost::HostContext context;
    zrhost::AudioModule module(library, zrhost::toUtf16(id), context);
    std::array<float, 64> scratch{};
    for (int32 pin = 0; module.valid() && pin < 64; ++pin) {
        if (module.attachBuffer(pin, scratch.data()) != ResultOk) continue;
        zrhost::PinInfo info;
        info.id = pin;
        info.datatype = DatatypeAudio;
        info.audioRate = true;
        s.info.audioPins.push_back(info);
    }
    for (int32 pin = 0; pin < 16; ++pin) {
        zrhost::PinInfo info;
        info.id = pin;
        s.info.guiPins.push_back(info);
    }
    return s;
}

Subject catalogSubject(const zrhost::ModuleInfo& info) {
    return Subject{info, false};
}

std::string runCase(zrhost::ModuleLibrary& library, const Subject& subject, Half half, Case c,
                    std::uint64_t seed) {
    Random rng(seed);
    return half == Half::Audio ? runAudioCase(library, subject, c, rng)
                               : runGuiCase(library, subject, c, rng);
}

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// Ints whose bits, read as a float, are finite too (blind subjects may read them as floats).
const int32 finiteInts[] = {0, 1, 2, 3, 4, 5, 7, 10, 31, 32, 100, 4800, 100000};
const int32 hostileInts[] = {-1, std::numeric_limits<int32>::min(),
                             std::numeric_limits<int32>::max()};
const float finiteFloats[] = {0.0f, 1.0f, -1.0f, 0.5f, 1.0e9f, -1.0e9f, 1.0e-41f, 0.001f};
const float hostileFloats[] = {kNaN, kInf, -kInf};

float floatValue(bool finite, Random& rng) {
    if (!finite && below(rng, 3) == 0) return hostileFloats[below(rng, std::size(hostileFloats))];
    if (below(rng, 4) == 0) return static_cast<float>(rng() % 4001) / 1000.0f - 2.0f;
    return finiteFloats[below(rng, std::size(finiteFloats))];
}

int32 intValue(bool finite, Random& rng) {
    if (!finite && below(rng, 3) == 0) return hostileInts[below(rng, std::size(hostileInts))];
    return finiteInts[below(rng, std::size(finiteInts))];
}

void addBytes(zrhost::EventList& events, int32 time, int32 pinId, std::size_t maxCount,
              Random& rng) {
    std::vector<std::uint8_t> bytes(below(rng, static_cast<std::uint32_t>(maxCount) + 1));
    for (auto& b : bytes)
        b = static_cast<std::uint8_t>(rng());
    events.addBlob(time, pinId, bytes);
}

} // namespace

bool addHostileValue(zrhost::EventList& events, int32 time, const zrhost::PinInfo& pin, bool blind,
                     bool finite, Random& rng) {
    static const std::u16string texts[] = {
        u"", u"x", u"base.zrw", u"C:/nowhere/base.zrw", std::u16string(300, u'a'), u"\xD800"};
    // A blind pin gets floats, ints (both finite when read either way) or, when not held to
    // finite outputs, texts and bytes of any length.
    PinDatatype type = pin.datatype;
    if (blind) {
        const PinDatatype any[] = {DatatypeFloat, DatatypeInt, DatatypeText, DatatypeBlob};
        type = any[below(rng, finite ? 2 : 4)];
    }
    switch (type) {
    case DatatypeFloat:
        events.addFloat(time, pin.id, floatValue(finite, rng));
        break;
    case DatatypeInt:
    case DatatypeList:
        events.addInt(time, pin.id, intValue(finite, rng));
        break;
    case DatatypeBool:
        events.addBool(time, pin.id, rng() & 1);
        break;
    case DatatypeText:
        events.addText(time, pin.id, texts[below(rng, std::size(texts))]);
        break;
    case DatatypeBlob:
        addBytes(events, time, pin.id, below(rng, 2) ? 8 : 4800, rng);
        break;
    case DatatypeMidi: {
        std::vector<std::uint8_t> bytes(1 + below(rng, 4));
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
    if (!finite && below(rng, 8) == 0) {
        const std::uint8_t junk[3] = {0xFF, 0x7F, 0x80};
        events.addBytes(time, EventPinValue, pin.id, junk, static_cast<int32>(below(rng, 4)));
    }
    return type == DatatypeText || type == DatatypeBlob;
}

ModuleAllowance allowanceFor(std::string_view id) {
    struct Rule {
        const char* id;
        ModuleAllowance allowance;
    };
    static constexpr Rule rules[] = {
        // Its conversions are the units' formulas outright: 0 V is minus infinity on the
        // decibel curve, 0 Hz is minus infinity volts, and 2^(volts) overflows for large volts.
        {"VL Unit Converter", {"unit formulas with infinite limits", nullptr}},
        // Resonance is nominally 0..1; beyond it the linear ladders and state-variable modes
        // (19-25 above 1, 6 below 0) grow without bound by their own equations, and the module
        // promises only table reads that stay inside their tables. Within 0..1 every mode
        // stays finite.
        {"ZR-LPF over CS", {"resonance outside 0..1 is unstable by design", nullptr}},
        // A slot whose type or number changes reads its wavetable file at once, inside
        // process, as the module is built: the path lookup and the file reads allocate.
        {"INIT Osc ZRPM", {nullptr, "reads wavetable files when a slot changes"}},
    };
    for (const Rule& r : rules)
        if (id == r.id) return r.allowance;
    return {};
}

} // namespace zrvalidate
