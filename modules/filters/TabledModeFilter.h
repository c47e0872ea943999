// The pins, block routines and pin logic shared by the multi-mode filters whose coefficients
// come from shared tables ("ZR-LPF over CS", "ZR-SVF-02"). A mode is a kernel type with
// `kComparesResonance`, `update(core, pitch, res, blend)` and `tick(core, in, blend)`, and
// optionally `State`, the base of the core it works on; one block routine template turns each
// kernel into the routine installed for that mode.
#pragma once

#include "dsp/lanes4.h"
#include "dsp/state_variable_pair.h"
#include "framework/mp_base.h"
#include "framework/mp_pins.h"

#include <type_traits>

#if defined(__GNUC__) && !defined(__clang__)
#define ZR_WITHOUT_SLP_VECTORISING __attribute__((optimize("no-tree-slp-vectorize")))
#else
#define ZR_WITHOUT_SLP_VECTORISING
#endif

namespace zr {

// The samples of the two state-variable pairs both filters play. `c` carries the sections
// sv1 and sv2 and their coefficients f1, q1, f2, q2.
namespace svpair {

// The pair with the second section's level limit, section 1's output tapped at `Feed`; the
// pre-gain output is kept in lastOut for the next damping and scaled by gainB.
template <dsp::ChamberlinTap Feed, class Core>
inline float limitedTick(Core& c, float in, float blend) {
    const float pre =
        dsp::chamberlinPairLimited<Feed>(c.sv1, c.sv2, in, c.f1, c.q1, c.f2, c.q2, blend, c.gainA);
    c.lastOut = pre;
    return pre * 4.0f * c.gainB;
}

// The undamped double notch.
template <class Core>
inline float notchTick(Core& c, float in, float blend) {
    return dsp::chamberlinNotchPair(c.sv1, c.sv2, in, c.f1, c.q1, c.f2, c.q2, blend);
}

} // namespace svpair

// The part of the core a mode kernel reads and writes: its `State` if it names one (a base of
// the core), else the whole core.
template <class Core, class Mode, class = void>
struct KernelState {
    using type = Core;
};
template <class Core, class Mode>
struct KernelState<Core, Mode, std::void_t<typename Mode::State>> {
    using type = typename Mode::State;
    static_assert(std::is_base_of_v<type, Core>);
};

template <class Core>
class TabledModeFilter : public gmpi::MpBase {
  public:
    using Routine = void (TabledModeFilter::*)(gmpi::int32, gmpi::int32);

    explicit TabledModeFilter(gmpi::IMpUnknown* host) : MpBase(host) {}

    // Block routines: silence, the copy of mode 0, and one per filter mode.
    void subProcessSilence(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames) {
        float* out = outputOut.getBuffer() + bufferOffset;
        for (gmpi::int32 i = 0; i < sampleFrames; ++i)
            out[i] = 0.0f;
    }

    void subProcessCopy(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames) {
        const float* in = inputIn.getBuffer() + bufferOffset;
        float* out = outputOut.getBuffer() + bufferOffset;
        for (gmpi::int32 i = 0; i < sampleFrames; ++i)
            out[i] = in[i];
    }

    template <class Mode>
    void subProcessMode(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames) {
        runMode<Mode>(bufferOffset, sampleFrames);
    }

    // The same routine compiled without straight-line (SLP) vectorisation. For kernels whose
    // coefficient update sits on the sample-to-sample chain (the level-damped pairs), GCC
    // otherwise packs the copied state into vector registers and unpacks and repacks it
    // around every update, which lengthens that chain. Same operations, same samples.
    template <class Mode>
    ZR_WITHOUT_SLP_VECTORISING void subProcessModeScalar(gmpi::int32 bufferOffset,
                                                         gmpi::int32 sampleFrames) {
        runMode<Mode>(bufferOffset, sampleFrames);
    }

    // The routine of a kernel that computes its coefficients four samples at a time:
    // `coefs(core, pitch4, res4, k)` fills `Coefs k` for four samples side by side from the
    // control inputs alone, and `apply(core, k, lane)` installs one lane's. A sample takes new
    // coefficients exactly where runMode would recompute them: where its controls differ from
    // the previous sample's (the first from the cached ones), since an unchanged sample equals
    // the value last computed from. The lanes of the next four samples are computed before
    // the current four play, so that their work, which does not wait for the filter's
    // output, overlaps the sample-to-sample chain instead of lengthening it.
    template <class Mode>
    ZR_WITHOUT_SLP_VECTORISING void subProcessGrouped(gmpi::int32 bufferOffset,
                                                      gmpi::int32 sampleFrames) {
        const float* in = inputIn.getBuffer() + bufferOffset;
        const float* pitch = pitchIn.getBuffer() + bufferOffset;
        const float* res = resonanceIn.getBuffer() + bufferOffset;
        const float* blend = blendIn.getBuffer() + bufferOffset;
        float* out = outputOut.getBuffer() + bufferOffset;
        using State = typename KernelState<Core, Mode>::type;
        State& kept = core;
        State c = kept;
        // The controls of the group at i: the last group's padded to four lanes with its last
        // sample, which changes nothing.
        float padPitch[4], padRes[4];
        const auto controls = [&](gmpi::int32 i, const float*& p, const float*& r) {
            p = pitch + i;
            r = res + i;
            if (i + 4 <= sampleFrames) return;
            for (gmpi::int32 j = 0; j < 4; ++j) {
                const gmpi::int32 at = i + j < sampleFrames ? i + j : sampleFrames - 1;
                padPitch[j] = pitch[at];
                padRes[j] = res[at];
            }
            p = padPitch;
            r = padRes;
        };
        Group<Mode> groups[2];
        const float *p, *r;
        if (sampleFrames > 0) {
            controls(0, p, r);
            prepare<Mode>(c, groups[0], p, r, c.cachedPitch, c.cachedRes);
        }
        for (gmpi::int32 i = 0, g = 0; i < sampleFrames; i += 4, g ^= 1) {
            if (i + 4 < sampleFrames) {
                controls(i + 4, p, r);
                prepare<Mode>(c, groups[g ^ 1], p, r, pitch[i + 3], res[i + 3]);
            }
            const gmpi::int32 count = sampleFrames - i < 4 ? sampleFrames - i : 4;
            playGroup<Mode>(c, groups[g], in + i, blend + i, out + i, count);
        }
        kept = c;
    }

  private:
    // Four samples' coefficients, which of them take new ones (bit j for lane j) and the
    // controls of the last lane.
    template <class Mode>
    struct Group {
        typename Mode::Coefs k;
        int changes;
        float lastPitch, lastRes;
    };

    // The group of the four lanes at `pitch` and `res`, the lane before them `before...`.
    template <class Mode, class State>
    [[gnu::always_inline]] static inline void prepare(const State& c, Group<Mode>& group,
                                                      const float* pitch, const float* res,
                                                      float beforePitch, float beforeRes) {
        const dsp::Float4 p4 = dsp::load4(pitch);
        const dsp::Float4 r4 = dsp::load4(res);
        group.changes = dsp::laneChanges(p4, beforePitch);
        if constexpr (Mode::kComparesResonance) group.changes |= dsp::laneChanges(r4, beforeRes);
        group.lastPitch = p4[3];
        group.lastRes = r4[3];
        if (group.changes != 0) Mode::coefs(c, p4, r4, group.k);
    }

    // The `count` samples of a group. Controls that change on every sample or on none take
    // paths without per-sample tests.
    template <class Mode, class State>
    [[gnu::always_inline]] static inline void playGroup(State& c, const Group<Mode>& group,
                                                        const float* in, const float* blend,
                                                        float* out, gmpi::int32 count) {
        if (group.changes == 0) {
            for (gmpi::int32 j = 0; j < count; ++j)
                out[j] = Mode::tick(c, in[j], blend[j]);
            return;
        }
        // The last lane's controls equal those last computed from.
        c.cachedPitch = group.lastPitch;
        if constexpr (Mode::kComparesResonance) c.cachedRes = group.lastRes;
        if (group.changes == 0xF) { // four samples: padded lanes never change
            for (gmpi::int32 j = 0; j < 4; ++j) {
                Mode::apply(c, group.k, j);
                out[j] = Mode::tick(c, in[j], blend[j]);
            }
            return;
        }
        for (gmpi::int32 j = 0; j < count; ++j) {
            if (group.changes & (1 << j)) Mode::apply(c, group.k, j);
            out[j] = Mode::tick(c, in[j], blend[j]);
        }
    }

    // The loop of every mode routine, inlined into each so that it is compiled with that
    // routine's options.
    template <class Mode>
    [[gnu::always_inline]] inline void runMode(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames) {
        const float* in = inputIn.getBuffer() + bufferOffset;
        const float* pitch = pitchIn.getBuffer() + bufferOffset;
        const float* res = resonanceIn.getBuffer() + bufferOffset;
        const float* blend = blendIn.getBuffer() + bufferOffset;
        float* out = outputOut.getBuffer() + bufferOffset;
        // A local copy lets the compiler keep the filter state in registers: the output
        // buffer cannot alias it. Only the kernel's part is copied, in and back out.
        using State = typename KernelState<Core, Mode>::type;
        State& kept = core;
        State c = kept;
        for (gmpi::int32 i = 0; i < sampleFrames; ++i) {
            const bool changed = Mode::kComparesResonance
                                     ? pitch[i] != c.cachedPitch || res[i] != c.cachedRes
                                     : pitch[i] != c.cachedPitch;
            if (changed) Mode::update(c, pitch[i], res[i], blend[i]);
            out[i] = Mode::tick(c, in[i], blend[i]);
        }
        kept = c;
    }

  protected:
    // Forces the next sample to recompute its coefficients and zeroes the filter state.
    virtual void clearState() = 0;

    // The pin logic of pinsChanged: `routines` holds one routine per mode in mode order.
    // `enabled` false passes nothing, as silent input does.
    void routeModes(bool enabled, const Routine* routines, gmpi::int32 modeCount) {
        if (clearIn.isUpdated() && clearIn.getValue() > 0.0f) clearState();

        if (enabled && (inputIn.isStreaming() || inputIn.getValue() != 0.0f)) {
            if (modeIn.isUpdated()) clearState();
            outputOut.setStreaming(true);
            // A mode outside the table keeps the last valid mode's routine (also after a
            // silent stretch, when the installed routine is the silence routine).
            const gmpi::int32 mode = modeIn.getValue();
            if (mode >= 0 && mode < modeCount) modeRoutine = routines[mode];
            // Without its tables no filter mode can run; the copy still can.
            setBlockRoutine(tablesReady || modeRoutine == &TabledModeFilter::subProcessCopy
                                ? modeRoutine
                                : &TabledModeFilter::subProcessSilence);
            allowSleep(false);
        } else {
            clearState();
            outputOut.setStreaming(false);
            setBlockRoutine(&TabledModeFilter::subProcessSilence);
            allowSleep(true);
        }
    }

    gmpi::AudioInPin inputIn{"Input"};
    gmpi::AudioInPin pitchIn{"Pitch"};
    gmpi::AudioInPin resonanceIn{"Resonance"};
    gmpi::AudioOutPin outputOut{"Output"};
    gmpi::IntInPin modeIn{"Mode", &Core::kModeDoc};
    gmpi::AudioInPin auxIn{"Aux In"};
    gmpi::AudioInPin blendIn{"Blend"};
    gmpi::FloatInPin clearIn{"Clear"};

    Core core;
    bool tablesReady = false;
    // The routine of the last valid mode, kept when `Mode` leaves the table.
    Routine modeRoutine = &TabledModeFilter::subProcessCopy;
};

} // namespace zr
