// Reset and sync: the phase restarts at once or through a crossfade of Reset Mode tenths of
// a millisecond; the Reset pin and the Sync input obey Reset Mode.
#include "osc_rig.h"

namespace osctest {
namespace {

using zrhost::EventList;

class OscZrpmReset : public ::testing::Test {
  protected:
    void SetUp() override { rig.loadStandardTables(); }

    // Sine at `volts` with the given reset mode; `sync` rises to 1 at sample `at` (a static
    // change, as the host reports it) unless `at` is negative; `resetAt` sends Reset = 1.
    Output run(float rate, int resetMode, std::int64_t at, std::int64_t count,
               std::int64_t resetAt = -1, double volts = 4.2, std::int64_t syncFallAt = -1) {
        Osc osc(rig, rate, 64);
        osc.constant(Pitch, static_cast<float>(volts / 10.0));
        osc.signal(Sync, [=](std::int64_t n) {
            return at >= 0 && n >= at && (syncFallAt < 0 || n < syncFallAt) ? 1.0f : 0.0f;
        });
        osc.start(0, resetMode);
        return osc.render(count, [=](EventList& ev, std::int64_t start) {
            for (std::int64_t t : {at, syncFallAt})
                if (t >= start && t < start + 64)
                    ev.addStreamingStop(static_cast<gmpi::int32>(t - start), Sync);
            if (resetAt >= start && resetAt < start + 64)
                ev.addFloat(static_cast<gmpi::int32>(resetAt - start), Reset, 1.0f);
        });
    }
    Rig rig;
};

TEST_F(OscZrpmReset, ResetModeOneRestartsThePhaseAtTheSyncEdge) {
    for (float rate : {44100.0f, 48000.0f}) {
        const Output fresh = run(rate, 1, -1, 600);
        const std::int64_t at = 1000 + 37;
        const Output synced = run(rate, 1, at, at + 600);
        // Before the edge the oscillator runs on; from the edge it plays as if just started.
        EXPECT_EQ(std::vector<float>(synced.audio.begin(), synced.audio.begin() + at),
                  std::vector<float>(run(rate, 1, -1, at).audio));
        for (int j = 0; j < 600; ++j)
            ASSERT_EQ(synced.audio[at + j], fresh.audio[j]) << "sample " << j;
    }
}

TEST_F(OscZrpmReset, ASyncThatStaysHighTriggersOnce) {
    // Sync rises at 1037; a later change of another input re-runs the pin hook at 1500 while
    // Sync is still high: no second reset. After Sync falls and rises again, it resets again.
    Osc osc(rig, 44100.0f);
    osc.constant(Pitch, 0.42f);
    osc.signal(Sync,
               [](std::int64_t n) { return (n >= 1037 && n < 2000) || n >= 2500 ? 1.0f : 0.0f; });
    osc.start(0, 1);
    const Output out = osc.render(3200, [](EventList& ev, std::int64_t start) {
        for (std::int64_t t : {1037, 2000, 2500})
            if (t >= start && t < start + 64)
                ev.addStreamingStop(static_cast<gmpi::int32>(t - start), Sync);
        if (start == 1472) ev.addStreamingStop(28, PhaseMod);
    });
    const Output fresh = run(44100.0f, 1, -1, 1000);
    for (int j = 0; j < 700; ++j)
        ASSERT_EQ(out.audio[1037 + j], fresh.audio[j]) << j;
    for (int j = 0; j < 700; ++j)
        ASSERT_EQ(out.audio[2500 + j], fresh.audio[j]) << j;
}

TEST_F(OscZrpmReset, ResetModeZeroIgnoresSyncButNotTheResetPin) {
    const Output plain = run(44100.0f, 0, -1, 2000);
    EXPECT_EQ(run(44100.0f, 0, 1037, 2000).audio, plain.audio);
    // The Reset pin restarts the phase in mode 0, not in mode -1.
    const Output fresh = run(44100.0f, 0, -1, 600);
    const Output reset = run(44100.0f, 0, -1, 1700, 1100);
    for (int j = 0; j < 600; ++j)
        ASSERT_EQ(reset.audio[1100 + j], fresh.audio[j]) << j;
    EXPECT_EQ(run(44100.0f, -1, 1037, 2000, 1100).audio, run(44100.0f, -1, -1, 2000).audio);
}

// The crossfade weight G of each sample from the reset on: out = new + (old - new) G, where
// old is the phase running on and new the restarted one. G starts at 1 and falls by
// 1 / `steps` a sample; the first sample at which it is 0 or below is still blended (with that
// G), and the restarted phase plays alone from the next sample on.
void checkCrossfade(const Output& synced, const Output& old, const Output& fresh, std::int64_t at,
                    double steps) {
    const int lastBlend = static_cast<int>(std::floor(steps)) + 1;
    for (int j = 0; j < lastBlend; ++j) {
        const double o = old.audio[at + j], f = fresh.audio[j], s = synced.audio[at + j];
        if (std::abs(o - f) < 0.2) continue; // G is not measurable where the two agree
        const double g = (s - f) / (o - f);
        EXPECT_NEAR(g, 1.0 - j / steps, 2e-3) << "sample " << j;
    }
    for (int j = lastBlend + 1; j < lastBlend + 400; ++j)
        ASSERT_EQ(synced.audio[at + j], fresh.audio[j]) << "sample " << j;
}

TEST_F(OscZrpmReset, CrossfadeLastsResetModeTenthsOfAMillisecond) {
    // Mode 10 at 44.1 kHz: 1 ms of 44 whole samples; G falls by 1/44 a sample.
    {
        const std::int64_t at = 1037;
        const Output old = run(44100.0f, 10, -1, at + 600);
        const Output fresh = run(44100.0f, 10, -1, 600);
        const Output synced = run(44100.0f, 10, at, at + 600);
        checkCrossfade(synced, old, fresh, at, 44.0);
        // In single precision G is still above 0 after 44 steps and first drops below after
        // the 45th: the 46th sample (j = 45) blends with G = 1 - 45/44, overshooting a
        // little; the restarted phase alone plays from the 47th on.
        const double o = old.audio[at + 45], f = fresh.audio[45];
        EXPECT_NEAR(synced.audio[at + 45], f + (o - f) * (1.0 - 45.0 / 44.0), 1e-5);
        EXPECT_EQ(synced.audio[at + 46], fresh.audio[46]);
    }
    // Mode 2 at 48 kHz: 0.2 ms of 48 samples per millisecond, 9.6 samples.
    {
        const std::int64_t at = 777;
        const Output synced = run(48000.0f, 2, at, at + 600, -1, 6.1);
        checkCrossfade(synced, run(48000.0f, 2, -1, at + 600, -1, 6.1),
                       run(48000.0f, 2, -1, 600, -1, 6.1), at, 9.6);
    }
    // Mode 25 at 48 kHz: 2.5 ms, 120 samples.
    {
        const std::int64_t at = 1500;
        const Output synced = run(48000.0f, 25, at, at + 700, -1, 2.9);
        checkCrossfade(synced, run(48000.0f, 25, -1, at + 700, -1, 2.9),
                       run(48000.0f, 25, -1, 700, -1, 2.9), at, 120.0);
    }
}

TEST_F(OscZrpmReset, TheResetPinCutsACrossfadeShort) {
    // A Reset during a crossfade restarts the phase at once and ends the fade.
    const std::int64_t at = 1037;
    const Output out = run(44100.0f, 10, at, at + 600, at + 10);
    const Output fresh = run(44100.0f, 10, -1, 600);
    for (int j = 0; j < 500; ++j)
        ASSERT_EQ(out.audio[at + 10 + j], fresh.audio[j]) << j;
}

} // namespace
} // namespace osctest
