// "Osc ZRPM Sync" measured on its output: without sync it is the ZRPM oscillator; synced to an
// external "Osc ZRPM" or to its internal master it repeats with the master's period; 8 times
// oversampling aliases less than 2 times; odd Sync Mode values and hostile inputs.
#include "source_driver.h"

namespace osctest {
namespace {

// clang-format off
enum SyncPin : int {
    YPitch, YPhaseMod, YShape, YGate, YSync, YMasterPitch, YMasterWrap, YMasterIncrement,
    YMasterZoneFade, YMasterZoneBase, YAudio, YSyncOn, YSyncMode, YWave = 14, YResetMode,
    YSineLevel = 17, YSawLevel, YTriLevel, YReset, YSyncAmount
};
// clang-format on
const std::vector<int> kSyncInputs = {
    YPitch,      YPhaseMod,        YShape,          YGate,           YSync, YMasterPitch,
    YMasterWrap, YMasterIncrement, YMasterZoneFade, YMasterZoneBase, 16,    YSyncAmount};

// Blocks the internal master passes unfiltered after open.
constexpr int kBypassSamples = 102 * 64;

struct OscSync : ::testing::Test {
    void SetUp() override { rig.loadStandardTables(); }

    Driver sync(float rate, int wave, int syncOn, int syncMode, int resetMode = 0) {
        Driver d(rig, u"Osc ZRPM Sync", rate, kSyncInputs, {YAudio});
        d.constant(YGate, 1.0f);
        d.setInt(YWave, wave);
        d.setInt(YSyncOn, syncOn);
        d.setInt(YSyncMode, syncMode);
        d.setInt(YResetMode, resetMode);
        for (int pin : {YSineLevel, YSawLevel, YTriLevel})
            d.setFloat(pin, 0.8f);
        return d;
    }
    Rig rig;
};

// Without sync, every wave and both reset families sound exactly as the ZRPM oscillator fed
// the same pins; so does the external family while the master's zone base is 0 (idle master).
TEST_F(OscSync, UnsyncedItIsTheZrpmOscillator) {
    const auto pitch = [](std::int64_t n) { return 0.35f + 0.05f * ((n / 500) % 4); };
    const auto shape = [](std::int64_t n) { return -0.8f + 0.1f * ((n / 300) % 15); };
    const auto pm = [](std::int64_t n) { return 0.2f * ((n / 200) % 3); };
    for (int wave = 0; wave < 5; ++wave) {
        for (const auto& [syncOn, resetMode] : {std::pair{0, 0}, {0, 10}, {1, 0}}) {
            Driver d = sync(44100.0f, wave, syncOn, 3, resetMode);
            Osc zrpm(rig, 44100.0f);
            d.signal(YPitch, pitch);
            d.signal(YShape, shape);
            d.signal(YPhaseMod, pm);
            zrpm.signal(Pitch, pitch);
            zrpm.signal(Shape, shape);
            zrpm.signal(PhaseMod, pm);
            zrpm.start(wave, resetMode, 0.8f, 0.8f, 0.8f);
            d.signal(YSync, [](std::int64_t n) { return (n / 1000) % 2 ? 1.0f : 0.0f; });
            zrpm.signal(Sync, [](std::int64_t n) { return (n / 1000) % 2 ? 1.0f : 0.0f; });
            const auto edges = [](zrhost::EventList& ev, std::int64_t start, int) {
                if (start % 1024 == 960) ev.addStreamingStop(40, YSync); // sample 1000 + 2048k
            };
            const auto a = d.render(6000, edges)[YAudio];
            const auto b =
                zrpm.render(6000, [&](zrhost::EventList& ev, std::int64_t s) { edges(ev, s, 64); })
                    .audio;
            // The external family forms the pulse as the difference of two scaled paths,
            // which rounds differently from the scaled difference.
            const float tolerance = syncOn == 0 ? 0.0f : 1e-6f;
            for (std::size_t i = 0; i < a.size(); ++i)
                ASSERT_NEAR(a[i], b[i], tolerance) << "wave " << wave << ", sync on " << syncOn
                                                   << ", reset mode " << resetMode << " at " << i;
        }
    }
}

// Slave a fifth and a bit above an external master at 220 Hz: the output repeats with the
// master's period. Without sync it does not.
TEST_F(OscSync, ExternalMasterSetsThePeriod) {
    for (const float rate : {44100.0f, 48000.0f}) {
        for (const int wave : {0, 2, 4}) {
            Osc master(rig, rate, 64);
            master.constant(Pitch, 0.4f);
            master.start(2);
            Driver slave = sync(rate, wave, 1, 0);
            slave.constant(YPitch, 0.463f);
            slave.constant(YMasterPitch, 0.4f);
            slave.setFloat(YSyncAmount, 0.5f);
            std::vector<float> out;
            const std::int64_t count = (1 << 16) + 4096;
            for (std::int64_t done = 0; done < count; done += 64) {
                const Output m = master.render(64);
                const std::vector<float>* sig[] = {&m.wrap, &m.increment, &m.zoneFade, &m.zoneBase};
                const int pins[] = {YMasterWrap, YMasterIncrement, YMasterZoneFade,
                                    YMasterZoneBase};
                for (int k = 0; k < 4; ++k) {
                    const std::vector<float> v = *sig[k];
                    slave.signal(pins[k], [v, done](std::int64_t n) { return v[n - done]; });
                }
                const auto o = slave.render(64)[YAudio];
                out.insert(out.end(), o.begin(), o.end());
            }
            const double f0 = hertz(4.0);
            EXPECT_GT(harmonicShare(out, out.size() - (1 << 16), rate, f0), 0.99)
                << "wave " << wave << " at " << rate;
            EXPECT_LT(harmonicShare(out, out.size() - (1 << 16), rate, hertz(4.63)), 0.9);
        }
    }
}

// The internal master at 2, 4 and 8 times: the period is the master's, and the components
// that are not harmonics of it (aliases) are weaker at 8 times than at 2 times.
TEST_F(OscSync, InternalMasterSetsThePeriodAndOversamplingCutsAliasing) {
    for (const float rate : {44100.0f, 48000.0f}) {
        std::map<int, double> alias;
        for (const int n : {2, 4, 8}) {
            Driver d = sync(rate, 2, 1, -n);
            d.constant(YPitch, 0.78f);       // about 3.1 kHz
            d.constant(YMasterPitch, 0.55f); // about 622 Hz
            d.constant(YSyncAmount, 0.005f); // hard restart, no crossfade: the most aliasing
            const auto out = d.render(kBypassSamples + (1 << 16) + 2048)[YAudio];
            const double share = harmonicShare(out, out.size() - (1 << 16), rate, hertz(5.5));
            EXPECT_GT(share, 0.99) << n << "x at " << rate;
            alias[n] = 1.0 - share;
        }
        EXPECT_LT(dB(std::sqrt(alias[8] / alias[2])), -6.0)
            << "aliasing 2x " << alias[2] << ", 8x " << alias[8] << " at " << rate;
        EXPECT_LE(alias[4], alias[2]);
    }
}

// Sync Mode below -1 other than -2, -4 and -8 runs as -2.
TEST_F(OscSync, OddInternalModesRunAsTwoTimes) {
    std::vector<float> reference;
    for (const int mode : {-2, -3, -5, -100, std::numeric_limits<int>::min()}) {
        Driver d = sync(44100.0f, 1, 1, mode);
        d.constant(YPitch, 0.6f);
        d.constant(YMasterPitch, 0.45f);
        d.constant(YSyncAmount, 0.4f);
        const auto out = d.render(kBypassSamples + 4096)[YAudio];
        if (reference.empty())
            reference = out;
        else
            EXPECT_EQ(out, reference) << "Sync Mode " << mode;
    }
}

// Hostile pitch, phase modulation and master signals (a master wired from something else: a
// wrap with no increment, zone bases outside the slots, NaN) at four rates, in every family:
// the output stays finite and bounded.
TEST_F(OscSync, HostileInputsAtEveryRate) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const std::vector<float> bad = {nan, inf, -inf, 1e30f, -1e30f, 7.0f, -3.0f, 0.0f};
    for (const float rate : {22050.0f, 44100.0f, 48000.0f, 96000.0f}) {
        for (const auto& [syncOn, mode, reset] :
             {std::tuple{0, 0, 0}, {0, 0, 10}, {1, 2, 0}, {1, -2, 0}, {1, -4, 0}, {1, -8, 0}}) {
            for (int wave : {1, 4}) {
                Driver d = sync(rate, wave, syncOn, mode, reset);
                const auto pick = [bad](int salt) {
                    return [bad, salt](std::int64_t n) {
                        return n % 5 == salt % 5 ? bad[(n / 5 + salt) % bad.size()] : 0.62f;
                    };
                };
                for (int pin : {YPitch, YPhaseMod, YMasterPitch, YMasterWrap, YMasterIncrement,
                                YMasterZoneFade, YMasterZoneBase, YSyncAmount})
                    d.signal(pin, pick(pin));
                d.signal(YSyncAmount, [bad](std::int64_t n) {
                    return n % 7 == 0 ? bad[(n / 7) % bad.size()] : 1.5f;
                });
                const auto out = d.render(4096)[YAudio];
                for (std::size_t i = 0; i < out.size(); ++i)
                    ASSERT_TRUE(std::isfinite(out[i]) && std::abs(out[i]) < 10.0f)
                        << rate << " Hz, family " << syncOn << "/" << mode << ", wave " << wave
                        << ", sample " << i << ": " << out[i];
            }
        }
    }
}

// An infinite Shape sample makes an infinite morph (the morph extrapolates beyond +-1); in the
// oversampled families it enters the decimation filter as 0, so the output recovers at once
// instead of staying NaN.
TEST_F(OscSync, OversampledMorphRecoversFromAnInfiniteShape) {
    for (const int mode : {-2, -4, -8}) {
        Driver d = sync(44100.0f, 1, 1, mode);
        d.constant(YPitch, 0.5f);
        d.constant(YMasterPitch, 0.45f);
        d.signal(YShape, [](std::int64_t n) {
            return n == 100 ? std::numeric_limits<float>::infinity() : 0.2f;
        });
        const auto out = d.render(kBypassSamples + 4096)[YAudio];
        for (std::size_t i = kBypassSamples; i < out.size(); ++i)
            ASSERT_TRUE(std::isfinite(out[i])) << mode << " at " << i;
    }
}

} // namespace
} // namespace osctest
