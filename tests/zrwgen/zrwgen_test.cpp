// The wavetable generator: every zone free of aliasing where the oscillator plays it, far
// below the table's own Nyquist, level-matched with its neighbours; free waves from WAV files;
// damaged files refused by the checker and the command.
#include "tools/zrwgen/zrw.h"

#include <gtest/gtest.h>
#include <kissfft/kissfft.hh>

#include <cmath>
#include <complex>
#include <cstdlib>
#include <fstream>
#if !defined(_WIN32)
#include <sys/wait.h>
#endif
#include <limits>
#include <numbers>
#include <sstream>

namespace {

namespace fs = std::filesystem;
namespace wt = zr::wavetables;
using std::numbers::pi;
using Cycle = std::vector<std::complex<double>>;

fs::path scratch(const std::string& name) {
    auto p = fs::path(ZR_TEST_SCRATCH_DIR) / name;
    fs::remove_all(p);
    fs::create_directories(p);
    return p;
}

// Harmonic k of zone z as c_k with x(t) = sum of 2 Re(c_k e^{i 2 pi k t}).
Cycle zoneHarmonics(const zrw::Table& t, int z) {
    Cycle in(2048), out(2048);
    for (int n = 0; n < 2048; ++n)
        in[n] = t[wt::kZoneStart + z * 2048 + n];
    kissfft<double>(2048, false).transform(in.data(), out.data());
    for (auto& c : out)
        c /= 2048.0;
    out.resize(1024);
    return out;
}

int highestHarmonic(const Cycle& c, double floor) {
    for (int k = 1023; k >= 1; --k)
        if (std::abs(c[k]) > floor) return k;
    return 0;
}

// The highest frequency at which the oscillator plays zone z: zone z is the lower of the two
// crossfaded zones up to (z + 1)/6 V; zone 59 plays alone up to the 10.333333 V clamp.
double topHertz(int z) {
    const double volts = z == 59 ? 10.333333 : (z + 1) / 6.0;
    return 440.0 * std::pow(2.0, volts - 5.0);
}

class StandardTables : public ::testing::TestWithParam<zrw::Wave> {};

TEST_P(StandardTables, EveryZoneIsBandLimitedWhereItPlays) {
    const zrw::Table t = zrw::makeStandardTable(GetParam(), 1);
    ASSERT_EQ(t.size(), 127240u);
    int widest = 0;
    for (int z = 0; z < 60; ++z) {
        const Cycle c = zoneHarmonics(t, z);
        // Anything 120 dB below full scale counts as present.
        const int top = highestHarmonic(c, 1e-6);
        widest = std::max(widest, top);
        EXPECT_LT(top * topHertz(z), 22050.0) << "zone " << z;
        // Far below the table's own 1024 harmonics, so interpolation images stay small.
        EXPECT_LE(top, 512) << "zone " << z;
    }
    // And not needlessly dull: the saw's lowest zones reach the cap.
    if (GetParam() == zrw::Wave::Saw) {
        EXPECT_EQ(widest, 512);
        // Zone 30 (5-5.33 V, up to 493.9 Hz) holds what fits below 22.05 kHz: 44.
        EXPECT_EQ(highestHarmonic(zoneHarmonics(t, 30), 1e-6), 44);
    }
}

TEST_P(StandardTables, NeighbouringZonesShareLevelAndPhase) {
    const zrw::Table t = zrw::makeStandardTable(GetParam(), 1);
    float peak = 0.0f;
    for (int n = wt::kZoneStart; n < wt::kFileEntries; ++n)
        peak = std::max(peak, std::abs(t[n]));
    EXPECT_NEAR(peak, 1.0f, 1e-6f);
    for (int z = 0; z + 1 < 60; ++z) {
        const Cycle a = zoneHarmonics(t, z), b = zoneHarmonics(t, z + 1);
        const int common = std::min(highestHarmonic(a, 1e-6), highestHarmonic(b, 1e-6));
        for (int k = 1; k <= common; ++k)
            ASSERT_LT(std::abs(a[k] - b[k]), 1e-6) << "zones " << z << "/" << z + 1 << " k " << k;
        // Every zone starts its cycle at 0, so reading past a zone's end meets the same value.
        EXPECT_NEAR(t[wt::kZoneStart + z * 2048], 0.0f, 1e-6f);
    }
}

TEST_P(StandardTables, HarmonicsAreThoseOfTheWave) {
    const zrw::Wave w = GetParam();
    const zrw::Table t = zrw::makeStandardTable(w, 1);
    const Cycle c = zoneHarmonics(t, 0);
    // Each wave in sine phase: c_k = -i b_k / 2 with the Fourier sine coefficients b_k.
    const auto expected = [w](int k) -> double {
        const bool odd = k % 2;
        switch (w) {
        case zrw::Wave::Sine:
            return k == 1 ? 1.0 : 0.0;
        case zrw::Wave::Triangle: // 8/pi^2 (-1)^((k-1)/2) / k^2, odd k
            return odd ? std::pow(-1.0, (k - 1) / 2) / (k * k) : 0.0;
        case zrw::Wave::Saw: // 2/pi (-1)^(k+1) / k
            return (odd ? 1.0 : -1.0) / k;
        default: // square: 4/pi / k, odd k
            return odd ? 1.0 / k : 0.0;
        }
    };
    const double b1 = -2.0 * c[1].imag();
    for (int k = 1; k <= 40; ++k) {
        EXPECT_NEAR(c[k].real(), 0.0, 1e-7) << k;
        EXPECT_NEAR(-2.0 * c[k].imag() / b1, expected(k), 1e-6) << k;
    }
    EXPECT_EQ(t[3], 2.0f);
    EXPECT_EQ(t[4], static_cast<float>(static_cast<int>(w)));
}

std::string waveName(const ::testing::TestParamInfo<zrw::Wave>& info) {
    static const char* const names[] = {"Sine", "Triangle", "Saw", "Square"};
    return names[static_cast<int>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(Waves, StandardTables,
                         ::testing::Values(zrw::Wave::Sine, zrw::Wave::Triangle, zrw::Wave::Saw,
                                           zrw::Wave::Square),
                         waveName);

// A 32-bit float WAV file.
void writeWav(const fs::path& file, const std::vector<float>& samples, int channels = 1) {
    std::ofstream out(file, std::ios::binary);
    const auto u32 = [&](std::uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
    const auto u16 = [&](std::uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
    const auto bytes = static_cast<std::uint32_t>(samples.size() * 4);
    out.write("RIFF", 4);
    u32(36 + bytes);
    out.write("WAVEfmt ", 8);
    u32(16);
    u16(3); // IEEE float
    u16(static_cast<std::uint16_t>(channels));
    u32(44100);
    u32(44100 * 4 * channels);
    u16(static_cast<std::uint16_t>(4 * channels));
    u16(32);
    out.write("data", 4);
    u32(bytes);
    out.write(reinterpret_cast<const char*>(samples.data()), bytes);
}

// One cycle: DC 0.2, a sine, a third harmonic at half with a phase, harmonic 300 at a tenth.
double testCycle(double t) {
    return 0.2 + std::sin(2 * pi * t) + 0.5 * std::sin(2 * pi * 3 * t + 0.3) +
           0.1 * std::cos(2 * pi * 300 * t);
}

TEST(FreeTables, ResampleAndBandLimitACycleOfAnyLength) {
#if defined(ZRW_NO_SOUND_FILES)
    GTEST_SKIP() << "this build reads no sound files";
#endif
    const fs::path dir = scratch("free");
    // 1000 samples (FFT), 2053 (a prime: Bluestein's transform), and a stereo file whose channels
    // mix to the cycle.
    for (int length : {1000, 2053, 777}) {
        const int channels = length == 777 ? 2 : 1;
        std::vector<float> samples;
        for (int n = 0; n < length; ++n) {
            const double x = testCycle(static_cast<double>(n) / length);
            const double y = 0.3 * std::sin(2 * pi * 7 * n / length);
            if (channels == 1) {
                samples.push_back(static_cast<float>(x));
            } else {
                samples.push_back(static_cast<float>(x + y));
                samples.push_back(static_cast<float>(x - y));
            }
        }
        const fs::path wav = dir / ("cycle" + std::to_string(length) + ".wav");
        writeWav(wav, samples, channels);
        const fs::path file = zrw::writeFreeTable(dir, length, wav);
        EXPECT_EQ(file.filename(), "osc-free-" + std::to_string(length) + ".zrw");
        const zrw::TableInfo info = zrw::inspectTable(file);
        EXPECT_EQ(info.header[4], 4.0f);

        std::ifstream in(file, std::ios::binary);
        zrw::Table t(wt::kFileEntries);
        in.read(reinterpret_cast<char*>(t.data()), wt::kFileBytes);
        const Cycle z0 = zoneHarmonics(t, 0);
        const double a1 = std::abs(z0[1]);
        EXPECT_NEAR(std::abs(z0[3]) / a1, 0.5, 1e-4) << length;
        EXPECT_NEAR(std::arg(z0[3]) - std::arg(z0[1]), 0.3, 1e-4) << length; // phase kept
        EXPECT_NEAR(std::abs(z0[300]) / a1, 0.1, 1e-4) << length;
        EXPECT_LT(std::abs(z0[7]) / a1, 1e-5) << length;
        // No DC.
        double sum = 0;
        for (int n = 0; n < 2048; ++n)
            sum += t[wt::kZoneStart + n];
        EXPECT_NEAR(sum / 2048, 0.0, 1e-6);
        // Harmonic 300 passes 22.05 kHz above 73.5 Hz (2.418 V): zone 13 plays up to 14/6 V
        // and keeps it, zone 14 plays up to 2.5 V and must not.
        EXPECT_NEAR(std::abs(zoneHarmonics(t, 13)[300]) / a1, 0.1, 1e-4);
        EXPECT_LT(std::abs(zoneHarmonics(t, 14)[300]) / a1, 1e-6);
    }
}

TEST(FreeTables, RefuseWhatHoldsNoWaveform) {
    const fs::path dir = scratch("free-bad");
    writeWav(dir / "silent.wav", std::vector<float>(600, 0.25f)); // DC only
    writeWav(dir / "two.wav", {0.5f, -0.5f});
    { std::ofstream(dir / "text.wav") << "not a sound file"; }
    std::vector<float> inf(600, 0.5f);
    inf[300] = std::numeric_limits<float>::infinity(); // would make every harmonic NaN
    writeWav(dir / "inf.wav", inf);
    for (const char* name : {"silent.wav", "two.wav", "text.wav", "missing.wav", "inf.wav"})
        EXPECT_THROW(zrw::writeFreeTable(dir, 1, dir / name), zrw::Error) << name;
    EXPECT_FALSE(fs::exists(dir / "osc-free-1.zrw"));
}

TEST(StandardFiles, AreWrittenUnderTheNamesTheLoaderReads) {
    const fs::path dir = scratch("standard-names") / "new";
    const auto written = zrw::writeStandardTables(dir, -3);
    for (const char* name :
         {"osc-sine--3.zrw", "osc-tri--3.zrw", "osc-saw--3.zrw", "osc-sqr--3.zrw", "base.zrw"}) {
        ASSERT_TRUE(fs::exists(dir / name)) << name;
        EXPECT_EQ(fs::file_size(dir / name), 508960u) << name;
        EXPECT_NO_THROW(zrw::inspectTable(dir / name)) << name;
    }
    EXPECT_EQ(written.size(), 5u);
}

// Runs the command; returns its exit status and what it wrote to stderr.
bool hasCommand() {
    return !std::string(ZRWGEN_COMMAND).empty();
}

std::pair<int, std::string> runCommand(const std::string& args, const fs::path& dir) {
    const fs::path err = dir / "stderr.txt";
    const std::string cmd = std::string("\"") + ZRWGEN_COMMAND + "\" " + args + " >\"" +
                            (dir / "stdout.txt").string() + "\" 2>\"" + err.string() + "\"";
    const int status = std::system(cmd.c_str());
    std::stringstream text;
    text << std::ifstream(err).rdbuf();
    return {status, text.str()};
}

TEST(Checker, RefusesDamagedFiles) {
    const fs::path dir = scratch("damaged");
    const zrw::Table good = zrw::makeStandardTable(zrw::Wave::Saw, 1);
    const auto write = [&](const std::string& name, const zrw::Table& t, std::size_t bytes) {
        std::ofstream out(dir / name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(t.data()), static_cast<std::streamsize>(bytes));
    };
    write("good.zrw", good, 508960);
    write("short.zrw", good, 508956);
    zrw::Table longer = good;
    longer.push_back(0.0f);
    write("long.zrw", longer, 508964);
    zrw::Table format = good;
    format[3] = 1.99f;
    write("format.zrw", format, 508960);
    zrw::Table nan = good;
    nan[wt::kZoneStart + 5 * 2048 + 17] = std::nanf("");
    write("nan.zrw", nan, 508960);

    const struct {
        const char* name;
        const char* says;
    } bad[] = {{"short.zrw", "508956 bytes"},
               {"long.zrw", "508964 bytes"},
               {"format.zrw", "format"},
               {"nan.zrw", "zone 5 sample 17"},
               {"missing.zrw", "no such file"}};
    for (const auto& b : bad) {
        try {
            zrw::inspectTable(dir / b.name);
            ADD_FAILURE() << b.name << " was accepted";
        } catch (const zrw::Error& e) {
            EXPECT_NE(std::string(e.what()).find(b.says), std::string::npos) << e.what();
        }
        if (!hasCommand()) continue;
        const auto [status, message] =
            runCommand(std::string("info \"") + (dir / b.name).string() + "\"", dir);
        EXPECT_NE(status, 0) << b.name;
        EXPECT_NE(message.find(b.says), std::string::npos) << message;
    }
    const zrw::TableInfo info = zrw::inspectTable(dir / "good.zrw");
    EXPECT_EQ(info.fileBytes, 508960u);
    EXPECT_EQ(info.zones[0].highestHarmonic, 512);
    EXPECT_EQ(info.zones[59].highestHarmonic, 1);
    if (!hasCommand()) return;
    EXPECT_EQ(runCommand("info \"" + (dir / "good.zrw").string() + "\"", dir).first, 0);
    // The command writes what the library writes.
    EXPECT_EQ(runCommand("standard -n 4 -o \"" + (dir / "cmd").string() + "\"", dir).first, 0);
    std::ifstream in(dir / "cmd" / "osc-saw-4.zrw", std::ios::binary);
    zrw::Table fromCommand(wt::kFileEntries);
    in.read(reinterpret_cast<char*>(fromCommand.data()), wt::kFileBytes);
    EXPECT_EQ(fromCommand, zrw::makeStandardTable(zrw::Wave::Saw, 4));
}

// Bluestein's transform against the defining sum, on lengths that are prime (small, and above
// the mixed-radix limit), even, and trivial.
TEST(Transforms, BluesteinMatchesTheDirectSum) {
    for (std::size_t n : {1u, 2u, 7u, 12u, 101u, 1031u}) {
        std::vector<std::complex<double>> x(n);
        for (std::size_t j = 0; j < n; ++j)
            x[j] = {std::sin(0.7 * j * j + 1.0), std::cos(1.3 * j)};
        const auto fast = zrw::bluesteinDft(x);
        ASSERT_EQ(fast.size(), n);
        for (std::size_t k = 0; k < n; ++k) {
            std::complex<double> direct = 0.0;
            for (std::size_t j = 0; j < n; ++j)
                direct += x[j] * std::polar(1.0, -2 * pi * static_cast<double>(j * k % n) / n);
            EXPECT_LT(std::abs(fast[k] - direct), 1e-9 * static_cast<double>(n)) << n << " " << k;
        }
    }
}

// The command's exit status: 2 for a bad command line or an unusable WAV, 1 when `info`
// finds a file missing or not a wavetable; nothing is written for refused input.
TEST(Command, ExitStatusNamesTheFault) {
    if (!hasCommand()) GTEST_SKIP() << "this build has no zrwgen command";
    const fs::path dir = scratch("command");
    std::vector<float> inf(600, 0.5f);
    inf[10] = -std::numeric_limits<float>::infinity();
    writeWav(dir / "inf.wav", inf);
    { std::ofstream(dir / "text.wav") << "not a sound file"; }
    const std::string out = " -o \"" + (dir / "out").string() + "\"";
    const std::string in = "\"" + dir.string() + "/";
    const struct {
        std::string args;
        int status;
        const char* says;
    } cases[] = {
        {"standard -n -1" + out, 2, "--number"},
        {"standard -n 1.5" + out, 2, "--number"},
        {"standard -n 99999999999" + out, 2, "--number"},
        {"frobnicate", 2, "subcommand"},
        {"free" + out, 2, "wav"},
        {"free " + in + "missing.wav\"" + out, 2, "no such file"},
        {"free " + in + "text.wav\"" + out, 2, "not a sound file"},
        {"free " + in + "inf.wav\"" + out, 2, "frame 10 is not a finite number"},
        {"info " + in + "missing.zrw\"", 1, "no such file"},
        {"info " + in + "text.wav\"", 1, "not a wavetable"},
    };
    for (const auto& c : cases) {
        const auto [status, message] = runCommand(c.args, dir);
#if !defined(_WIN32)
        EXPECT_EQ(WEXITSTATUS(status), c.status) << c.args;
#endif
        EXPECT_NE(message.find(c.says), std::string::npos) << c.args << ": " << message;
    }
    EXPECT_FALSE(fs::exists(dir / "out")) << "refused input wrote files";
}

} // namespace
