// Sample-exact output of the effect routines that are tuned for speed: each row drives one
// routine with fixed, deterministic inputs (steady controls, and controls that change every
// sample and cross their limits) in odd block sizes, and compares a hash of every output bit
// with the one the straightforward per-sample form of the routine produced. A faster routine
// must give the same samples, bit for bit.
#include "tests/filters/effects_rig.h"
#include "tests/rig/output_hash.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>

namespace effectstest {
namespace {

using Fill = std::function<float(gmpi::int32 pin, long t)>;

// Uniform in -1..1 from an integer hash of (t, salt): the same on every platform.
float noise(long t, std::uint32_t salt) {
    std::uint32_t x = static_cast<std::uint32_t>(t) * 2654435761u ^ salt * 0x9E3779B9u;
    x ^= x >> 15;
    x *= 0x2C1B3C6Du;
    x ^= x >> 12;
    return static_cast<float>(x >> 8) * (1.0f / 8388608.0f) - 1.0f;
}

// Triangle from 0 up to 1 and back over `period` samples.
float tri(long t, long period) {
    const float x = static_cast<float>(t % period) / static_cast<float>(period);
    return x < 0.5f ? 2.0f * x : 2.0f - 2.0f * x;
}

struct Row {
    const char* name;
    const char16_t* id;
    std::vector<gmpi::int32> ins, outs;
    std::vector<std::pair<gmpi::int32, gmpi::int32>> ints; // int pins set at the start
    gmpi::int32 block;
    Fill fill;
    std::uint64_t hash;
    float rate = 44100.0f;
};

std::uint64_t render(const Row& row) {
    EffectRig rig(row.id, row.ins, row.outs, row.rate, row.block);
    for (gmpi::int32 pin : row.ins) {
        rig.signal(pin, [&row, pin](long t) { return row.fill(pin, t); });
        rig.stream(pin, true);
    }
    for (auto [pin, v] : row.ints)
        rig.setInt(pin, v);
    auto out = rig.run(4000);
    std::uint64_t h = rig::kHashStart;
    for (gmpi::int32 pin : row.outs)
        h = rig::hashSamples(out[pin], h);
    return h;
}

// ---- "ZR-SVF-02": Input 0, Pitch 1, Resonance 2, Output 3, Mode 4, Blend 6, On 7. The input
// is loud enough (x 3) for the modes whose damping follows the output level to use it.
// Stepped controls hold each value for a few samples (pitch 3, resonance 5) and pass through
// NaN now and then, so that only some samples of a stretch take new coefficients.
enum class Controls { Steady, Changing, Stepped };

Fill svf(Controls kind) {
    return [kind](gmpi::int32 pin, long t) {
        const bool steady = kind == Controls::Steady;
        const long held = kind == Controls::Stepped ? t - t % (pin == 1 ? 3 : 5) : t;
        switch (pin) {
        case 0:
            return 3.0f * noise(t, 1);
        case 1: // sweeps below 0 and above 1
            if (kind == Controls::Stepped && t % 1000 < 2) return std::nanf("");
            return steady ? 0.62f : -0.1f + 1.2f * tri(held, 1500) + 0.001f * noise(held, 2);
        case 2: // sweeps below 0 and above 1/0.996
            if (kind == Controls::Stepped && t % 1300 == 7) return std::nanf("");
            return steady ? 0.97f : -0.2f + 1.5f * tri(held, 1100);
        case 6:
            return steady ? 0.3f : tri(t, 700);
        default:
            return 0.0f;
        }
    };
}

Row svfRow(const char* name, int mode, Controls kind, std::uint64_t hash) {
    static constexpr gmpi::int32 kBlock[] = {37, 61, 30};
    return {name,
            u"ZR-SVF-02",
            {0, 1, 2, 5, 6},
            {3},
            {{4, mode}, {7, 1}},
            kBlock[static_cast<int>(kind)],
            svf(kind),
            hash};
}

// ---- "ZR Delay v3": Delay In 0, Feedback 1, Time 2, Spread 3, Delay Level 4, Pan 5, Output
// Level 7; Left 8, Right 9, Delayed 10; On 11, Interpolation 12. `Time` 1 is 441 samples.
// Wrapping: at 300 Hz (a line of 3000 samples) a moving time of 150-240 samples, so the write
// index wraps in the middle of a stretch.
enum class DelayTime { Fixed, Modulated, Extremes, Stepped, Held, Wrapping };

Fill delay(DelayTime kind) {
    return [kind](gmpi::int32 pin, long t) {
        const bool fixed = kind == DelayTime::Fixed;
        // Stepped: a modulated time under feedback, pan and spread that hold for a while and
        // then jump, so their recomputation starts in the middle of a block.
        if (kind == DelayTime::Stepped && pin != 0 && pin != 2 && pin != 6) {
            const float step = static_cast<float>((t / (97 + 13 * pin)) % 4);
            return pin == 4 || pin == 7 ? 0.9f : -0.3f + 0.4f * step;
        }
        switch (pin) {
        case 0:
            return noise(t, 3);
        case 1: // beyond unity both ways
            return fixed ? 0.7f : -1.3f + 2.6f * tri(t, 1300);
        case 2:
            if (kind == DelayTime::Fixed) return 0.3f;
            if (kind == DelayTime::Wrapping) return 50.0f + 30.0f * tri(t, 900);
            // Held: moves for 120 samples, then holds for 30.
            if (kind == DelayTime::Held)
                return 0.3f + 0.002f * static_cast<float>(std::min(t % 150, 120L));
            if (kind != DelayTime::Extremes) return 0.2f + 0.15f * tri(t, 900);
            // Near zero, then around L, 2L (= 2000) and -L and beyond, where the read
            // position wraps or is held.
            {
                static constexpr float kCentre[] = {0.0f, 1000.0f, 2000.0f, -1000.0f, 2500.0f};
                return kCentre[(t / 800) % 5] - 0.01f + 0.03f * tri(t, 170);
            }
        case 3:
            if (kind == DelayTime::Held) return 0.1f;
            return fixed ? 0.0f : -0.6f + 1.2f * tri(t, 1700);
        case 4:
            return fixed ? 0.9f : 0.5f + 0.5f * tri(t, 500);
        case 5:
            return fixed ? 0.25f : -0.2f + 1.4f * tri(t, 600);
        case 7:
            return fixed ? 0.8f : tri(t, 400);
        default:
            return 0.0f;
        }
    };
}

Row delayRow(const char* name, bool cubic, DelayTime kind, std::uint64_t hash) {
    return {name,
            u"ZR Delay v3",
            {0, 1, 2, 3, 4, 5, 6, 7},
            {8, 9, 10},
            {{11, 1}, {12, cubic}},
            61,
            delay(kind),
            hash,
            kind == DelayTime::Wrapping ? 300.0f : 44100.0f};
}

// ---- "ZR PanST CS": In A 0, In B 1, Pan 2, Left 3, Right 4, Mode 5. The changing pan leaves
// 0..1 both ways.
Row panRow(const char* name, int mode, bool changing, std::uint64_t hash) {
    Fill f = [changing](gmpi::int32 pin, long t) {
        if (pin == 2) return changing ? -0.2f + 1.4f * tri(t, 900) : 0.3f;
        return noise(t, 4 + static_cast<std::uint32_t>(pin));
    };
    return {name, u"ZR PanST CS", {0, 1, 2}, {3, 4}, {{5, mode}}, 61, f, hash};
}

// ---- "ZR MATRICE 12": Common 0, inputs 1..12, outputs 13..24, On 25.
Row matrixRow(std::uint64_t hash) {
    std::vector<gmpi::int32> ins, outs;
    for (gmpi::int32 p = 0; p <= 12; ++p)
        ins.push_back(p);
    for (gmpi::int32 p = 13; p <= 24; ++p)
        outs.push_back(p);
    Fill f = [](gmpi::int32 pin, long t) {
        return pin == 0 ? -1.5f + 3.0f * tri(t, 300)
                        : noise(t, 10 + static_cast<std::uint32_t>(pin));
    };
    return {"matrix", u"ZR MATRICE 12", ins, outs, {{25, 1}}, 61, f, hash};
}

TEST(EffectsIdentity, TunedRoutinesGiveTheSameSamples) {
    const Row rows[] = {
        svfRow("svf low steady", 1, Controls::Steady, 0x7b026a46e2b138e8),
        svfRow("svf low changing", 1, Controls::Changing, 0xbcf9e785e12513df),
        svfRow("svf high steady", 2, Controls::Steady, 0x884b78a91ead6617),
        svfRow("svf high changing", 2, Controls::Changing, 0xd3a3da7ef7ff8b2e),
        svfRow("svf band steady", 3, Controls::Steady, 0x8700416221ef8638),
        svfRow("svf band changing", 3, Controls::Changing, 0xe6567450f264d18c),
        svfRow("svf notch steady", 4, Controls::Steady, 0xe4293b244ec52d74),
        svfRow("svf notch changing", 4, Controls::Changing, 0x4ca1dece1cbdce8d),
        svfRow("one-pole low steady", 5, Controls::Steady, 0xc28c7cddbe9bbf10),
        svfRow("one-pole low changing", 5, Controls::Changing, 0x9b6e00c5466625f2),
        svfRow("one-pole high steady", 6, Controls::Steady, 0x6c17d764dad50ab2),
        svfRow("one-pole high changing", 6, Controls::Changing, 0x71ac4b7f75075b8a),
        svfRow("one-pole band steady", 7, Controls::Steady, 0xde2e76610bb84a79),
        svfRow("one-pole band changing", 7, Controls::Changing, 0x2138601033244c97),
        svfRow("all-pass steady", 8, Controls::Steady, 0x9d945a3796848077),
        svfRow("all-pass changing", 8, Controls::Changing, 0x3ad102b4dd73656),
        svfRow("svf low stepped", 1, Controls::Stepped, 0x424cbd6435d03481),
        svfRow("svf high stepped", 2, Controls::Stepped, 0xeb53aeb3ea092002),
        svfRow("svf band stepped", 3, Controls::Stepped, 0x4255ba150b518713),
        svfRow("svf notch stepped", 4, Controls::Stepped, 0xc935bd10999c65e2),
        svfRow("one-pole low stepped", 5, Controls::Stepped, 0xc04a3101537be510),
        svfRow("one-pole high stepped", 6, Controls::Stepped, 0x192d5845d4b6b494),
        svfRow("one-pole band stepped", 7, Controls::Stepped, 0xf0a3751439f49019),
        svfRow("all-pass stepped", 8, Controls::Stepped, 0x3f467d973c5f8db7),
        delayRow("delay linear fixed", false, DelayTime::Fixed, 0xa54b2189595e8974),
        delayRow("delay linear modulated", false, DelayTime::Modulated, 0x8b5c042c423733e4),
        delayRow("delay linear extremes", false, DelayTime::Extremes, 0x9e2e6c752914fe1d),
        delayRow("delay cubic fixed", true, DelayTime::Fixed, 0xa9273282adfebd83),
        delayRow("delay cubic modulated", true, DelayTime::Modulated, 0x4571f2d566fe01f3),
        delayRow("delay cubic extremes", true, DelayTime::Extremes, 0x48669408b38dde65),
        delayRow("delay linear stepped", false, DelayTime::Stepped, 0x234948f86b7986c9),
        delayRow("delay cubic stepped", true, DelayTime::Stepped, 0x7cd8ca0d6aab35e0),
        delayRow("delay linear held", false, DelayTime::Held, 0x88920a1b042dcc80),
        delayRow("delay cubic held", true, DelayTime::Held, 0x2f87ea1239812893),
        delayRow("delay linear wrapping", false, DelayTime::Wrapping, 0xd524c93d93851759),
        delayRow("delay cubic wrapping", true, DelayTime::Wrapping, 0x2d035b84307b39fc),
        panRow("pan sum steady", 0, false, 0xf1da965351175d32),
        panRow("pan sum changing", 0, true, 0xfd72809fd7c0a5e3),
        panRow("cross-mix steady", 1, false, 0x64f551a2a49eb77a),
        panRow("cross-mix changing", 1, true, 0xce53c0ea82d76eb6),
        matrixRow(0xccbb21d064932ad1),
    };
    for (const Row& row : rows) {
        const std::uint64_t h = render(row);
        EXPECT_EQ(h, row.hash) << row.name << std::hex << ": 0x" << h;
    }
}

} // namespace
} // namespace effectstest
