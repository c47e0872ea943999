// Output buffers shared by liveness: every patch renders the same bits with the pool as with a
// buffer of its own per output, and the pool of a long chain does not grow with its length.
// The engine's input sums give the same bits however many lanes they take at a time.
#include "support.h"

#include "host/engine_lanes.h"
#include "tools/zrhost/wavetable_cache.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <limits>

namespace {

using zrtest::kTablesModule;

std::vector<std::vector<float>> renderWith(const zrhost::Patch& patch, bool pool,
                                           std::size_t* buffers = nullptr) {
    // Every output that can share the pool does, however small the patch, and the modules'
    // memory is prefetched however little there is of it.
    zrhost::Engine engine(zrtest::library(), patch, zrhost::EngineOptions{pool, 0, 0});
    if (buffers) *buffers = engine.outputBuffers();
    return zrtest::render(engine);
}

bool sameBits(const std::vector<std::vector<float>>& a, const std::vector<std::vector<float>>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t c = 0; c < a.size(); ++c)
        if (a[c].size() != b[c].size() ||
            std::memcmp(a[c].data(), b[c].data(), a[c].size() * sizeof(float)) != 0)
            return false;
    return true;
}

std::string withTables(const std::string& body) {
    return R"({"standardWavetables": true, "blockSize": 48, "modules": {)" +
           std::string(kTablesModule) + ", " + body + "}";
}

// A fan-out (the oscillator feeds two filters and, read as values, a third one's mode), a loop
// back into the oscillator, and a sum. In the second row a mixer of constants goes static and
// sleeps, wakes for a glide and sleeps again at its new level, while a module that runs before
// it writes into the same buffer: its reader (kept awake by another glide) must still see the
// level it last wrote. Meanwhile an envelope streams and sleeps, so that there are stretches
// with and without static outputs to keep.
const std::string kFanOutAndLoop = withTables(R"(
    "osc": {"id": "Osc ZRPM", "values": {"Pitch": 0.45, "Gate": 1, "Wave": 2, "Saw Level": 0.4}},
    "a": {"id": "ZR-LPF over CS", "values": {"Mode": 1, "Pitch": 0.6}},
    "b": {"id": "ZR-LPF over CS", "values": {"Mode": 12, "Pitch": 0.5, "Resonance": 0.3}},
    "c": {"id": "ZR-LPF over CS", "values": {"Pitch": 0.7}}},
  "seconds": 0.4,
  "connections": [["osc.Audio Out", "a.Input"], ["osc.Audio Out", "b.Input"],
                  ["osc.Audio Out", "c.Mode"], ["a.Output", "c.Input"],
                  ["b.Output", "c.Aux In"], ["c.Output", "osc.Phase Mod"]],
  "output": [["a.Output", "c.Output"], "b.Output"])");
const std::string kSleepAndWake = withTables(R"(
    "early": {"id": "ZR-LPF over CS", "values": {"Mode": 0}},
    "unread": {"id": "ZR-LPF over CS", "values": {"Mode": 0}},
    "env": {"id": "QORVALIS ZR-ADSR D",
            "values": {"Enable": 1, "Level": 1, "Attack": 0.1, "Decay": 0.1, "Sustain": 0.6,
                       "Release": 0.2}},
    "f1": {"id": "ZR-LPF over CS", "values": {"Mode": 0}},
    "steady": {"id": "ZR MixM",
               "values": {"On": 1, "Input": 0.3, "Amount": 0.5, "Multiplier": 1}},
    "f2": {"id": "ZR-LPF over CS", "values": {"Mode": 0}}},
  "seconds": 0.6,
  "connections": [["env.Envelope", "f1.Input"], ["early.Output", "f1.Input"],
                  ["steady.Output", "f2.Input"], ["early.Output", "f2.Input"]],
  "automation": [{"at": 0.0, "pin": "early.Input", "value": 0.3, "ramp": 0.6},
                 {"at": 0.0, "pin": "unread.Input", "value": 0.5, "ramp": 0.6},
                 {"at": 0.01, "pin": "env.Gate", "value": 1},
                 {"at": 0.2, "pin": "steady.Input", "value": 0.4, "ramp": 0.1},
                 {"at": 0.4, "pin": "env.Gate", "value": 0}],
  "output": ["f1.Output", "f2.Output"])");

TEST(ZrhostPool, PooledBuffersRenderTheSameBits) {
    struct Row {
        std::string name;
        zrhost::Patch patch;
    };
    std::vector<Row> rows{{"fan-out and loop", zrtest::patchOf(kFanOutAndLoop)},
                          {"sleep and wake", zrtest::patchOf(kSleepAndWake)}};
    for (const auto& entry : std::filesystem::directory_iterator(ZRHOST_EXAMPLES_DIR)) {
        if (entry.path().extension() != ".json") continue;
        zrhost::Patch patch = zrhost::loadPatchFile(entry.path(), zrtest::catalog());
        zrhost::prepareWavetables(patch);
        rows.push_back({entry.path().filename().string(), std::move(patch)});
    }
    for (const Row& row : rows) {
        std::size_t pooled = 0, own = 0;
        const auto a = renderWith(row.patch, true, &pooled);
        const auto b = renderWith(row.patch, false, &own);
        EXPECT_TRUE(sameBits(a, b)) << row.name;
        EXPECT_LE(pooled, own) << row.name;
    }
}

// An oscillator into a chain of filters (each read by the next only): its five outputs and two
// links of the chain are all that is ever live at once, however long the chain. Unpooled, every
// output has a buffer: the table loader's one, the oscillator's five and one per filter.
TEST(ZrhostPool, LongChainNeedsAFewBuffers) {
    for (const int length : {8, 64, 400}) {
        std::string modules = R"("osc": {"id": "Osc ZRPM", "values": {"Gate": 1, "Wave": 2}})";
        std::string connections = R"(["osc.Audio Out", "m0.Input"])";
        for (int i = 0; i < length; ++i) {
            const std::string m = "m" + std::to_string(i);
            modules += ", \"" + m + R"(": {"id": "ZR-LPF over CS", "values": {"Mode": 1}})";
            if (i)
                connections += ", [\"m" + std::to_string(i - 1) + ".Output\", \"" + m + ".Input\"]";
        }
        const zrhost::Patch patch = zrtest::patchOf(
            withTables(modules + R"(}, "seconds": 0.05, "connections": [)" + connections +
                       "], \"output\": [\"m" + std::to_string(length - 1) + ".Output\"]"));
        std::size_t pooled = 0, own = 0;
        EXPECT_TRUE(sameBits(renderWith(patch, true, &pooled), renderWith(patch, false, &own)));
        EXPECT_EQ(own, static_cast<std::size_t>(6 + length)) << length;
        EXPECT_LE(pooled, 8u) << length; // 5 + 2 live links + the output channel's own
    }
}

} // namespace

// Output channels sum their sources in the order listed, whether those come in run order (added
// turn by turn) or not (added after all turns): [a, b] and [b, a] give the same bits, as does a
// channel of a alone plus a channel of b alone.
TEST(ZrhostPool, OutputChannelsSumInAnyOrder) {
    zrhost::Engine engine(zrtest::library(), zrtest::patchOf(withTables(R"(
        "a": {"id": "Osc ZRPM", "values": {"Pitch": 0.45, "Gate": 1, "Wave": 2, "Saw Level": 0.4}},
        "b": {"id": "ZR-LPF over CS", "values": {"Mode": 1, "Pitch": 0.6}}},
      "seconds": 0.1,
      "connections": [["a.Audio Out", "b.Input"]],
      "output": [["a.Audio Out", "b.Output"], ["b.Output", "a.Audio Out"], "a.Audio Out",
                 "b.Output"])")));
    const auto out = zrtest::render(engine);
    ASSERT_EQ(out.size(), 4u);
    EXPECT_TRUE(sameBits({out[0]}, {out[1]}));
    std::vector<float> sum(out[2].size());
    for (std::size_t i = 0; i < sum.size(); ++i)
        sum[i] = out[2][i] + out[3][i];
    EXPECT_TRUE(sameBits({out[0]}, {sum}));
    EXPECT_GT(zrtest::peakOf(out[0]), 0.1f);
}

// The engine's sums of an input's constant and its sources, four and (where the processor has
// them) eight lanes at a time, against one sample at a time: level + first, then each further
// source added in turn; and an output channel's scaled sum (0 + g * first, then + g * each). Block
// lengths that leave every kind of remainder; values that tell the order apart (NaN, infinities,
// -0, denormals, a rounding case).
TEST(ZrhostPool, InputAndChannelSumsMatchOneSampleAtATime) {
    const float values[] = {1.0f,        -0.0f, 1e-40f, std::numeric_limits<float>::infinity(),
                            -1e30f,      3.0f,  0.1f,   std::numeric_limits<float>::quiet_NaN(),
                            16777216.0f, 1.0f,  -2.5f};
    std::vector<std::vector<float>> sources(3, std::vector<float>(64));
    for (std::size_t s = 0; s < sources.size(); ++s)
        for (std::size_t f = 0; f < 64; ++f)
            sources[s][f] = values[(f * (s + 2) + s) % std::size(values)];
    const float* rest[] = {sources[1].data(), sources[2].data()};
    for (const int frames : {1, 7, 8, 37, 64})
        for (const std::uint32_t more : {0u, 1u, 2u}) {
            std::vector<float> expected(frames);
            for (int f = 0; f < frames; ++f) {
                expected[f] = 0.75f + sources[0][f];
                for (std::uint32_t s = 0; s < more; ++s)
                    expected[f] += rest[s][f];
            }
            std::vector<float> out(frames);
            const zrhost::lanes::SumJob job{out.data(), sources[0].data(), rest, more, 0.75f};
            zrhost::lanes::sums(&job, &job + 1, frames);
            EXPECT_TRUE(sameBits({out}, {expected})) << frames << " frames, " << more;
#if ZR_HAS_WIDE_LANES
            if (!zr::dsp::wideLanesAvailable()) continue;
            std::fill(out.begin(), out.end(), 5.0f);
            zrhost::lanes::sums8(&job, &job + 1, frames);
            EXPECT_TRUE(sameBits({out}, {expected})) << frames << " frames, " << more << ", 8";
#endif
        }
    for (const int frames : {1, 7, 8, 37, 64}) {
        std::vector<float> expected(frames), out(frames, 5.0f);
        for (int f = 0; f < frames; ++f)
            expected[f] = (0.0f + 0.3f * sources[0][f]) + 0.3f * sources[1][f];
        const zrhost::lanes::MixTurn turns[] = {{out.data(), sources[0].data(), 0.3f, true},
                                                {out.data(), sources[1].data(), 0.3f, false}};
        zrhost::lanes::mixTurns(turns, turns + 2, frames);
        EXPECT_TRUE(sameBits({out}, {expected})) << frames << " frames, channel";
#if ZR_HAS_WIDE_LANES
        if (!zr::dsp::wideLanesAvailable()) continue;
        std::fill(out.begin(), out.end(), 5.0f);
        zrhost::lanes::mixTurns8(turns, turns + 2, frames);
        EXPECT_TRUE(sameBits({out}, {expected})) << frames << " frames, channel, 8";
#endif
    }
}
