// Patches rendered through the engine, checked on what they sound like: pitch measured on the
// output, loops, sleep, relays between modules and between halves, sample-accurate automation.
#include "tests/zrhost/support.h"
#include "tools/zrhost/wavetable_cache.h"

#include <gtest/gtest.h>
#include <pthread.h>

#include <cmath>
#include <string>

using zrtest::kTablesModule;
using zrtest::patchOf;
using zrtest::render;

namespace {

std::string oscPatch(double pitch, int rate, const std::string& extra = "") {
    return R"({"sampleRate": )" + std::to_string(rate) +
           R"(, "seconds": 1.2, "standardWavetables": true, "modules": {)" + kTablesModule +
           R"(, "osc": {"id": "Osc ZRPM", "values": {"Pitch": )" + std::to_string(pitch) +
           R"(, "Gate": 1, "Wave": 0, "Sine Level": 1}}}, "output": ["osc.Audio Out"])" + extra +
           "}";
}

// 1 volt per octave, 1.0 standing for 10 volts, 5 volts at 440 Hz.
double expectedFrequency(double pitch) {
    return 440.0 * std::pow(2.0, pitch * 10.0 - 5.0);
}

} // namespace

TEST(ZrhostPitch, OscillatorFrequencyMeasuredOnTheOutput) {
    for (const int rate : {44100, 48000}) {
        for (const double pitch : {0.5, 0.6, 0.3}) {
            const auto out = render(oscPatch(pitch, rate));
            const double measured = zrtest::frequencyOf(out[0], rate);
            EXPECT_NEAR(measured, expectedFrequency(pitch), expectedFrequency(pitch) * 2e-5)
                << "pitch " << pitch << " at " << rate << " Hz";
        }
    }
}

// Two copies of a signal (the filter's mode 0 copies its input) in a loop: the first adds a
// constant 0.25 to what the second gave it one block earlier, so its block k holds
// 0.25 × (k + 1) throughout, whichever module the patch names first.
TEST(ZrhostFeedback, LoopClosingConnectionReadsThePreviousBlock) {
    const char* copyA = R"("a": {"id": "ZR-LPF over CS", "values": {"Mode": 0, "Input": 0.25}})";
    const char* copyB = R"("b": {"id": "ZR-LPF over CS", "values": {"Mode": 0}})";
    for (const bool aFirst : {true, false}) {
        const std::string json =
            std::string(R"({"seconds": 0.02, "blockSize": 32, "modules": {)") +
            (aFirst ? copyA : copyB) + ", " + (aFirst ? copyB : copyA) +
            R"(}, "connections": [["a.Output", "b.Input"], ["b.Output", "a.Input"]],
                 "output": ["a.Output"]})";
        zrhost::Engine engine(zrtest::library(), patchOf(json));
        // The connection back to the module that runs first is the one delayed.
        EXPECT_EQ(engine.delayed(0), !aFirst);
        EXPECT_EQ(engine.delayed(1), aFirst);
        const auto out = render(engine);
        ASSERT_EQ(out[0].size(), 882u);
        for (std::size_t f = 0; f < out[0].size(); ++f) {
            const float expected = 0.25f * static_cast<float>(f / 32 + 1);
            ASSERT_EQ(out[0][f], expected) << "frame " << f << (aFirst ? "" : " (b first)");
        }
    }
}

TEST(ZrhostFeedback, SelfLoopRendersAndStaysFinite) {
    const auto out = render(R"({"seconds": 1, "standardWavetables": true, "modules": {)" +
                            std::string(kTablesModule) + R"(,
        "osc": {"id": "Osc ZRPM", "values": {"Pitch": 0.45, "Gate": 1, "Wave": 0,
                                             "Sine Level": 0.4}}},
        "connections": [["osc.Audio Out", "osc.Phase Mod"]], "output": ["osc.Audio Out"]})");
    for (float x : out[0])
        ASSERT_TRUE(std::isfinite(x));
    EXPECT_GT(zrtest::peakOf(out[0]), 0.3f);
}

TEST(ZrhostSleep, ASleepingModuleCostsNoProcessCalls) {
    const std::string gateOff = oscPatch(0.5, 44100);
    std::string json = gateOff;
    json.replace(json.find("\"Gate\": 1"), 9, "\"Gate\": 0");
    zrhost::Engine engine(zrtest::library(), patchOf(json));
    std::vector<float> block(64);
    for (int i = 0; i < 10; ++i)
        engine.renderBlock(block.data());
    const int afterTen = engine.audio("osc")->processCount();
    EXPECT_LE(afterTen, 3); // the block that stops it and one more block of silence
    for (int i = 0; i < 300; ++i)
        engine.renderBlock(block.data());
    EXPECT_EQ(engine.audio("osc")->processCount(), afterTen);
    EXPECT_EQ(zrtest::peakOf(block), 0.0f);
    // The loader keeps a streaming output and never sleeps: every block calls it.
    EXPECT_EQ(engine.audio("tables")->processCount(), 310);
}

TEST(ZrhostSleep, AnEventWakesASleepingModuleOnItsSample) {
    std::string json = oscPatch(0.5, 44100, R"(, "automation": [
        {"at": 0.5, "pin": "osc.Gate", "value": 1}])");
    json.replace(json.find("\"Gate\": 1"), 9, "\"Gate\": 0");
    zrhost::Engine engine(zrtest::library(), patchOf(json));
    const auto out = render(engine);
    const std::size_t on = 22050; // 0.5 s
    EXPECT_EQ(zrtest::peakOf(std::span(out[0]).first(on)), 0.0f);
    EXPECT_GT(zrtest::peakOf(std::span(out[0]).subspan(on, 200)), 0.9f);
    // Asleep until the block holding 0.5 s, then called for every block to the end.
    const int blocks = static_cast<int>((out[0].size() + 63) / 64);
    const int awake = blocks - static_cast<int>(on / 64);
    EXPECT_GE(engine.audio("osc")->processCount(), awake);
    EXPECT_LE(engine.audio("osc")->processCount(), awake + 3);
}

// An envelope feeds a copying module: its streaming changes arrive as events, so the copy
// runs exactly while the envelope moves and, once the envelope has gone quiet and static,
// stops and sleeps (and so does the envelope).
TEST(ZrhostStreaming, StreamingChangesFollowTheSource) {
    const auto json = R"({"seconds": 1.5, "modules": {
        "env": {"id": "QORVALIS ZR-ADSR D", "values": {"Enable": 1, "Level": 1, "Attack": 0.5,
                 "Decay": 0.5, "Sustain": 0.5, "Release": 0.5, "Attack Shape": 2,
                 "Decay Shape": 2, "Release Shape": 2}},
        "copy": {"id": "ZR-LPF over CS", "values": {"Mode": 0}}},
        "connections": [["env.Envelope", "copy.Input"]],
        "automation": [{"at": 0.2, "pin": "env.Gate", "value": 1},
                       {"at": 0.6, "pin": "env.Gate", "value": 0}],
        "output": ["copy.Output", "env.Envelope"]})";
    zrhost::Engine engine(zrtest::library(), patchOf(json));
    const auto out = render(engine);
    ASSERT_EQ(out[0].size(), out[1].size());
    for (std::size_t f = 0; f < out[0].size(); ++f)
        ASSERT_EQ(out[0][f], out[1][f]) << "frame " << f;
    // Attack 0.5 reaches full level in 2^(5 - 10) s; decay to the sustain level 0.5.
    EXPECT_EQ(zrtest::peakOf(std::span(out[0]).first(8820)), 0.0f);
    EXPECT_NEAR(out[0][8820 + 4410], 0.5f, 1e-6f);
    // Released at 0.6 s over 2^(5 - 10) s: silent well before 1 s.
    EXPECT_EQ(zrtest::peakOf(std::span(out[0]).subspan(44100)), 0.0f);
    const int blocks = static_cast<int>((out[0].size() + 63) / 64);
    const int quiet = blocks - 44100 / 64;
    EXPECT_LT(engine.audio("copy")->processCount(), blocks - quiet + 4);
    EXPECT_LT(engine.audio("env")->processCount(), blocks - quiet + 4);
}

// Control outputs reach connected inputs in the same block: the loaders' status (1 for a
// loaded slot, 0.000001 for a file that is not there) sets two oscillators' levels.
TEST(ZrhostValues, ControlOutputsReachConnectedInputs) {
    const auto json = R"({"seconds": 0.5, "standardWavetables": true, "modules": {)" +
                      std::string(kTablesModule) + R"(,
        "missing": {"id": "INIT Osc ZRPM", "values": {"File": "nope.zrw",
                    "Sine Slot Type": 0, "Sine Slot Number": 7}},
        "loud": {"id": "Osc ZRPM", "values": {"Pitch": 0.5, "Gate": 1, "Wave": 0}},
        "quiet": {"id": "Osc ZRPM", "values": {"Pitch": 0.5, "Gate": 1, "Wave": 0}}},
        "connections": [["tables.Sine Slot Status", "loud.Sine Level"],
                        ["missing.Sine Slot Status", "quiet.Sine Level"]],
        "output": ["loud.Audio Out", "quiet.Audio Out"]})";
    const auto out = render(json);
    EXPECT_NEAR(zrtest::peakOf(out[0]), 1.0f, 0.02f);
    EXPECT_GT(zrtest::peakOf(out[1]), 0.5e-6f);
    EXPECT_LT(zrtest::peakOf(out[1]), 1.5e-6f);
}

// A glide on an audio input follows the straight line sample by sample (mode 0 of the filter
// copies it to the output), and a step lands on its own sample.
TEST(ZrhostAutomation, AudioInputGlidesAndStepsOnTheirSamples) {
    const auto out = render(R"({"seconds": 0.1, "sampleRate": 10000, "blockSize": 48,
        "modules": {"copy": {"id": "ZR-LPF over CS", "values": {"Mode": 0}}},
        "automation": [{"at": 0.01, "pin": "copy.Input", "value": 1, "ramp": 0.02},
                       {"at": 0.05, "pin": "copy.Input", "value": -0.5}],
        "output": ["copy.Output"]})");
    const auto& y = out[0];
    ASSERT_EQ(y.size(), 1000u);
    for (std::size_t n = 0; n < 100; ++n)
        ASSERT_EQ(y[n], 0.0f) << n;
    for (std::size_t n = 100; n < 300; ++n) // 200 samples from 0 to 1
        ASSERT_NEAR(y[n], static_cast<double>(n - 99) / 200.0, 1e-6) << n;
    for (std::size_t n = 300; n < 500; ++n)
        ASSERT_EQ(y[n], 1.0f) << n;
    for (std::size_t n = 500; n < 1000; ++n)
        ASSERT_EQ(y[n], -0.5f) << n;
}

TEST(ZrhostAutomation, ControlChangeLandsOnItsSample) {
    const auto out = render(oscPatch(0.5, 44100, R"(, "automation": [
        {"at": 0.0, "pin": "osc.Sine Level", "value": 0},
        {"at": 0.25, "pin": "osc.Sine Level", "value": 1}])"));
    const std::size_t on = 11025;
    EXPECT_EQ(zrtest::peakOf(std::span(out[0]).first(on)), 0.0f);
    EXPECT_GT(zrtest::peakOf(std::span(out[0]).subspan(on, 120)), 0.9f);
}

// Events keep their sample positions whatever the block size, so the same patch renders the
// same samples in blocks of 64, 37 and 1.
TEST(ZrhostBlocks, OutputDoesNotDependOnTheBlockSize) {
    std::vector<std::vector<float>> reference;
    for (const int block : {64, 37, 1}) {
        zrhost::Patch patch =
            zrhost::loadPatchFile(ZRHOST_EXAMPLES_DIR "/notes.json", zrtest::catalog());
        zrhost::setBlockSize(patch, block, "test");
        zrhost::setSeconds(patch, 1.2, "test");
        zrhost::prepareWavetables(patch);
        zrhost::Engine engine(zrtest::library(), std::move(patch));
        const auto out = render(engine);
        if (reference.empty()) {
            reference = out;
            EXPECT_GT(zrtest::peakOf(out[0]), 0.1f);
            continue;
        }
        ASSERT_EQ(out[0].size(), reference[0].size());
        for (std::size_t f = 0; f < out[0].size(); ++f)
            ASSERT_EQ(out[0][f], reference[0][f]) << "frame " << f << ", block " << block;
    }
}

TEST(ZrhostBlocks, RendersExactlyTheLengthAsked) {
    zrhost::Engine engine(zrtest::library(),
                          patchOf(R"({"seconds": 0.01, "blockSize": 64, "modules": {
        "copy": {"id": "ZR-LPF over CS", "values": {"Input": 0.5}}}, "output": ["copy.Output"]})"));
    EXPECT_EQ(engine.totalFrames(), 441);
    std::vector<float> block(64);
    int blocks = 0, frames = 0;
    while (const int n = engine.renderBlock(block.data())) {
        ++blocks;
        frames += n;
    }
    EXPECT_EQ(blocks, 7);
    EXPECT_EQ(frames, 441);
    EXPECT_TRUE(engine.finished());
}

// Several outputs into one input add up, together with the input's constant.
TEST(ZrhostMixing, AnAudioInputSumsItsSourcesAndConstant) {
    const auto out = render(R"({"seconds": 0.01, "modules": {
        "a": {"id": "ZR-LPF over CS", "values": {"Mode": 0, "Input": 0.125}},
        "b": {"id": "ZR-LPF over CS", "values": {"Mode": 0, "Input": 0.5}},
        "sum": {"id": "ZR-LPF over CS", "values": {"Mode": 0, "Input": 0.25}}},
        "connections": [["a.Output", "sum.Input"], ["b.Output", "sum.Input"]],
        "output": ["sum.Output", [{"pin": "a.Output", "gain": 2}, {"pin": "b.Output"}]]})");
    for (float x : out[0])
        ASSERT_EQ(x, 0.875f);
    for (float x : out[1])
        ASSERT_EQ(x, 0.75f);
}

// The oscilloscope's audio half publishes captures; the host relays them to its GUI half,
// which then draws a trace. Without captures only the centre line is drawn.
TEST(ZrhostGui, ScopeCapturesReachTheGuiHalf) {
    const auto countTrace = [](const std::string& run) {
        const auto json = R"({"seconds": 0.3, "standardWavetables": true, "modules": {)" +
                          std::string(kTablesModule) + R"(,
            "osc": {"id": "Osc ZRPM", "values": {"Pitch": 0.5, "Gate": 1, "Wave": 0,
                                                 "Sine Level": 0.8}},
            "scope": {"id": "ZR SCOPE V4", "gui": true, "values": {"Time": 0.5, "Run": )" +
                          run + R"(}}},
            "connections": [["osc.Audio Out", "scope.Signal"]]})";
        zrhost::Engine engine(zrtest::library(), patchOf(json));
        render(engine);
        zrhost::GuiModule* gui = engine.gui("scope");
        EXPECT_NE(gui, nullptr);
        if (!gui) return -1;
        gui->arrange(0, 100, 0, 200);
        EXPECT_EQ(gui->paint(200, 100), gmpi::ResultOk);
        int trace = 0;
        for (std::uint32_t p : gui->pixels())
            trace += p == 0xD2C8BA ? 1 : 0;
        return trace;
    };
    EXPECT_GT(countTrace("1"), 200);
    EXPECT_EQ(countTrace("0"), 0);
}

TEST(ZrhostOrder, SourcesRunBeforeTheModulesTheyFeed) {
    zrhost::Engine engine(zrtest::library(), patchOf(R"({"seconds": 0.01, "modules": {
        "last": {"id": "ZR-LPF over CS"}, "middle": {"id": "ZR-LPF over CS"},
        "first": {"id": "ZR-LPF over CS"}, "alone": {"id": "ZR-LPF over CS"}},
        "connections": [["middle.Output", "last.Input"], ["first.Output", "middle.Input"]]})"));
    // Patch order among modules free to run: "alone" (index 3) after "first" (index 2).
    EXPECT_EQ(engine.runOrder(), (std::vector<int>{2, 1, 0, 3}));
    EXPECT_FALSE(engine.delayed(0));
    EXPECT_FALSE(engine.delayed(1));
}

// Times beyond any render: a change that far away never comes, a glide that long creeps (the
// filter's mode 0 copies the input, so the output is the input's constant).
TEST(ZrhostAutomation, FarTimesNeverFireAndLongGlidesCreep) {
    struct Case {
        const char* name;
        const char* automation;
        double slope; // output per sample of a glide from 0 (0: silent throughout)
    };
    const Case cases[] = {
        {"step at 1e300 s", R"({"at": 1e300, "pin": "copy.Input", "value": 1})", 0.0},
        {"step at the largest time", R"({"at": 1.7e308, "pin": "copy.Input", "value": 1})", 0.0},
        {"glide of 1e300 s", R"({"at": 0, "pin": "copy.Input", "value": 1, "ramp": 1e300})", 0.0},
        {"glide of 10 s", R"({"at": 0, "pin": "copy.Input", "value": 1, "ramp": 10})", 1e-5},
    };
    for (const auto& c : cases) {
        const auto out = render(std::string(R"({"seconds": 0.1, "sampleRate": 10000,
            "modules": {"copy": {"id": "ZR-LPF over CS", "values": {"Mode": 0}}},
            "automation": [)") + c.automation +
                                R"(], "output": ["copy.Output"]})");
        ASSERT_EQ(out[0].size(), 1000u) << c.name;
        for (std::size_t n = 0; n < out[0].size(); ++n)
            ASSERT_NEAR(out[0][n], c.slope * static_cast<double>(n + 1), 1e-7)
                << c.name << " " << n;
    }
}

// A chain of 20,000 copies renders on a thread with 1 MiB of stack: ordering it takes no stack
// in proportion to the chain (a recursive walk needs more than that here).
TEST(ZrhostOrder, LongChainRendersOnASmallStack) {
    constexpr int kLength = 20000;
    std::string modules, connections;
    for (int i = 0; i < kLength; ++i) {
        const std::string name = "c" + std::to_string(i);
        modules += (i ? ", \"" : "\"") + name +
                   R"(": {"id": "ZR-LPF over CS", "values": {"Mode": 0)" +
                   (i ? "" : R"(, "Input": 0.25)") + "}}";
        if (i)
            connections += (i > 1 ? ", [\"c" : "[\"c") + std::to_string(i - 1) + ".Output\", \"" +
                           name + ".Input\"]";
    }
    const zrhost::Patch patch = patchOf(
        R"({"seconds": 0.002, "modules": {)" + modules + R"(}, "connections": [)" + connections +
        R"(], "output": ["c)" + std::to_string(kLength - 1) + R"(.Output"]})");
    struct Job {
        const zrhost::Patch* patch;
        std::vector<std::vector<float>> out;
    } job{&patch, {}};
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, 1 << 20);
    pthread_t thread;
    ASSERT_EQ(pthread_create(
                  &thread, &attr,
                  [](void* p) -> void* {
                      auto& j = *static_cast<Job*>(p);
                      zrhost::Engine engine(zrtest::library(), *j.patch);
                      j.out = render(engine);
                      return nullptr;
                  },
                  &job),
              0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attr);
    ASSERT_EQ(job.out.size(), 1u);
    ASSERT_FALSE(job.out[0].empty());
    for (float y : job.out[0])
        ASSERT_EQ(y, 0.25f);
}
