// Live playback and command-line pin values: the queue between render thread and audio callback
// delivers every frame in order whatever the block and callback sizes; `zrhost play` against
// JACK's dummy server delivers a whole patch without an underrun, and without a server says so;
// `--set` changes what renders and names what it cannot set.
#include "tests/zrhost/support.h"
#include "tools/zrhost/patch_overrides.h"
#include "tools/zrhost/play_stream.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>

namespace fs = std::filesystem;

namespace {

std::string oscPatch(double seconds, int rate) {
    return R"({"seconds": )" + std::to_string(seconds) + R"(, "sampleRate": )" +
           std::to_string(rate) + R"(, "standardWavetables": true, "modules": {)" +
           zrtest::kTablesModule + R"(,
        "osc": {"id": "Osc ZRPM", "values": {"Pitch": 0.5, "Gate": 1, "Sine Level": 0.5}}},
        "output": ["osc.Audio Out"]})";
}
const std::string kOsc = oscPatch(0.5, 48000);

// 1 volt per octave, 1.0 standing for 10 volts, 5 volts at 440 Hz.
double hzOf(double pitch) {
    return 440.0 * std::pow(2.0, pitch * 10.0 - 5.0);
}

struct Outcome {
    int status = -1;
    std::string err;
};

// zrhost with `args` in the scratch folder; standard error kept, standard output dropped.
Outcome zrhost(const std::string& args) {
    const fs::path folder = zrtest::scratch() / "play", err = folder / "stderr.txt";
    fs::create_directories(folder);
    const int raw = std::system(("cd '" + folder.string() + "' && '" ZRHOST_BINARY "' " + args +
                                 " >/dev/null 2>'" + err.string() + "' </dev/null")
                                    .c_str());
    std::ostringstream s;
    s << std::ifstream(err).rdbuf();
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, s.str()};
}

fs::path patchFile(const std::string& json) {
    const fs::path p = zrtest::scratch() / "play" / "patch.json";
    fs::create_directories(p.parent_path());
    std::ofstream(p) << json;
    return p;
}

TEST(PlayStream, DeliversEveryFrameInOrderAndCountsUnderruns) {
    struct Case {
        int block, callback;
    } cases[] = {{64, 256}, {256, 64}, {100, 37}, {1, 3}};
    for (const auto& c : cases) {
        SCOPED_TRACE("block " + std::to_string(c.block) + ", callback " +
                     std::to_string(c.callback));
        constexpr int kTotal = 3000;
        zrhost::PlayStream stream(2, c.block, 4);
        std::vector<float> left(static_cast<std::size_t>(c.callback)), right(left);
        float* outs[] = {left.data(), right.data()};
        int produced = 0, expected = 0;
        // The producer tops the queue up before each callback, as the render thread keeps
        // ahead; channel 0 carries the frame number, channel 1 its negative.
        while (expected < kTotal) {
            while (produced < kTotal)
                if (float* slot = stream.queue().writeSlot()) {
                    const int n = std::min(c.block, kTotal - produced);
                    for (int i = 0; i < n; ++i) {
                        slot[2 * i] = static_cast<float>(produced + i);
                        slot[2 * i + 1] = -static_cast<float>(produced + i);
                    }
                    stream.queue().publish(n);
                    produced += n;
                } else {
                    break;
                }
            if (produced == kTotal) stream.finish();
            stream.fill(outs, c.callback);
            for (int i = 0; i < c.callback && expected < kTotal; ++i, ++expected) {
                ASSERT_EQ(left[static_cast<std::size_t>(i)], static_cast<float>(expected));
                ASSERT_EQ(right[static_cast<std::size_t>(i)], -static_cast<float>(expected));
            }
        }
        EXPECT_EQ(stream.stats().underruns, 0);
        EXPECT_EQ(stream.stats().frames, kTotal);
        stream.fill(outs, c.callback); // past the end: silence, not an underrun
        EXPECT_TRUE(stream.drained());
        EXPECT_EQ(left.back(), 0.0f);
        EXPECT_EQ(stream.stats().underruns, 0);
    }
    // A queue that runs dry before the end is an underrun, and sounds as silence.
    zrhost::PlayStream starved(1, 64, 2);
    std::vector<float> out(64, 1.0f);
    float* outs[] = {out.data()};
    starved.fill(outs, 64);
    EXPECT_EQ(starved.stats().underruns, 1);
    EXPECT_FALSE(starved.drained());
    EXPECT_EQ(zrtest::peakOf(out), 0.0f);
}

TEST(PinOverrides, SetValuesRenderAndBadOnesAreNamed) {
    const struct {
        std::vector<std::string> settings;
        double pitch;
    } good[] = {{{"osc.Pitch=0.6"}, 0.6},
                {{"osc.pitch=.4"}, 0.4},
                {{"osc.Pitch=0.3", "osc.Pitch=0.55"}, 0.55}};
    for (const auto& g : good) {
        zrhost::Patch patch = zrtest::patchOf(kOsc);
        zrhost::applyPinOverrides(patch, g.settings);
        zrhost::Engine engine(zrtest::library(), std::move(patch));
        EXPECT_NEAR(zrtest::frequencyOf(zrtest::render(engine)[0], 48000), hzOf(g.pitch),
                    hzOf(g.pitch) * 1e-3)
            << g.settings.back();
    }
    const struct {
        const char *setting, *says;
    } bad[] = {{"osc.Pitch", "expected module.pin=value"},
               {"os.Pitch=1", "no module named \"os\""},
               {"osc.Pich=1", "has no pin \"Pich\""},
               {"osc.Audio Out=1", "is an output"},
               {"osc.Pitch=abc", "expects a number"},
               {"osc.Pitch=1e99", "finite single-precision"},
               {"osc.gui.Pitch=1", "GUI half"}};
    for (const auto& b : bad) {
        zrhost::Patch patch = zrtest::patchOf(kOsc);
        try {
            zrhost::applyPinOverrides(patch, {b.setting});
            ADD_FAILURE() << b.setting << " was accepted";
        } catch (const zrhost::PatchError& e) {
            EXPECT_NE(std::string(e.what()).find(b.setting), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find(b.says), std::string::npos) << e.what();
        }
    }
}

TEST(PinOverrides, RenderCommandTakesSet) {
    const fs::path patch = patchFile(kOsc), wav = patch.parent_path() / "set.wav";
    ASSERT_EQ(
        zrhost("render '" + patch.string() + "' -o '" + wav.string() + "' --set osc.Pitch=0.6")
            .status,
        0);
    SF_INFO info{};
    SNDFILE* f = sf_open(wav.c_str(), SFM_READ, &info);
    ASSERT_NE(f, nullptr);
    std::vector<float> samples(static_cast<std::size_t>(info.frames));
    sf_readf_float(f, samples.data(), info.frames);
    sf_close(f);
    EXPECT_NEAR(zrtest::frequencyOf(samples, 48000), hzOf(0.6), hzOf(0.6) * 1e-3);

    const Outcome r = zrhost("render '" + patch.string() + "' -o x.wav --set osc.Nothing=1");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_NE(r.err.find("osc.Nothing=1"), std::string::npos) << r.err;
}

// A JACK server on the dummy driver (no sound card), under a name of its own so that it
// disturbs no other server; zrhost finds it through JACK_DEFAULT_SERVER.
class DummyJack {
  public:
    DummyJack() : name_("zrtest-" + std::to_string(::getpid())) {
        ::setenv("JACK_DEFAULT_SERVER", name_.c_str(), 1);
        posix_spawn_file_actions_t quiet;
        posix_spawn_file_actions_init(&quiet);
        posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&quiet, 2, "/dev/null", O_WRONLY, 0);
        std::string args[] = {"jackd", "-n", name_, "-d", "dummy", "-r", "48000", "-p", "256"};
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawnp(&pid_, "jackd", &quiet, nullptr, argv.data(), environ) != 0) pid_ = 0;
        posix_spawn_file_actions_destroy(&quiet);
        ready_ = pid_ > 0 &&
                 std::system(("jack_wait -w -t 10 -s " + name_ + " >/dev/null 2>&1").c_str()) == 0;
    }
    ~DummyJack() {
        ::unsetenv("JACK_DEFAULT_SERVER");
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
    bool ready() const { return ready_; }

  private:
    std::string name_;
    pid_t pid_ = 0;
    bool ready_ = false;
};

TEST(PlayCommand, PlaysThroughDummyServerWithoutUnderrun) {
    if (std::system("command -v jackd >/dev/null 2>&1") != 0) GTEST_SKIP() << "jackd not installed";
    DummyJack server;
    ASSERT_TRUE(server.ready()) << "the dummy JACK server did not start";
    // The patch asks for 44.1 kHz; it plays at the server's 48 kHz, for its 2 seconds.
    const fs::path patch = patchFile(oscPatch(2, 44100));
    const Outcome r = zrhost("play '" + patch.string() + "' --set osc.Pitch=0.6");
    if (r.err.find("built without JACK") != std::string::npos) GTEST_SKIP() << r.err;
    ASSERT_EQ(r.status, 0) << r.err;
    std::smatch m;
    ASSERT_TRUE(std::regex_search(r.err, m,
                                  std::regex(R"(played (\d+) frames in (\d+) callbacks, (\d+) )"
                                             R"(underruns, worst callback ([\d.]+) µs of ([\d.]+) )"
                                             R"(µs period\n$)")))
        << r.err;
    EXPECT_EQ(std::stoll(m[1]), 2 * 48000);
    EXPECT_GE(std::stoll(m[2]), 2 * 48000 / 256);
    EXPECT_EQ(std::stoll(m[3]), 0);
    EXPECT_NEAR(std::stod(m[5]), 1e6 * 256 / 48000, 0.1);
}

TEST(PlayCommand, WithoutServerSaysSoInOneLine) {
    ::setenv("JACK_DEFAULT_SERVER", ("zrtest-none-" + std::to_string(::getpid())).c_str(), 1);
    const Outcome r = zrhost("play '" + patchFile(kOsc).string() + "'");
    ::unsetenv("JACK_DEFAULT_SERVER");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_NE(r.err.find("JACK"), std::string::npos) << r.err;
}

} // namespace
