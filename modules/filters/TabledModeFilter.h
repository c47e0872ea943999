// The pins, block routines and pin logic shared by the multi-mode filters whose coefficients
// come from shared tables ("ZR-LPF over CS", "ZR-SVF-02"). A mode is a kernel type with
// `kComparesResonance`, `update(core, pitch, res, blend)` (or, for subProcessGrouped, `Coefs`,
// `coefs` and `apply`, and optionally `lightTick` and `lightFits`) and `tick(core, in, blend)`,
// and optionally `State`, the base of the core it works on; one block routine template turns
// each kernel into the routine installed for that mode.
#pragma once

#include "dsp/lanes4.h"
#include "dsp/state_variable_pair.h"
#include "framework/mp_base.h"
#include "framework/mp_pins.h"

#include <cstring>
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
        // The host may hand one buffer to both pins; memmove copies either way, a block at a time.
        if (sampleFrames > 0 && in != out)
            std::memmove(out, in, static_cast<std::size_t>(sampleFrames) * sizeof(float));
    }

    template <class Mode>
    void subProcessMode(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames) {
        runMode<Mode>(bufferOffset, sampleFrames);
    }

    // The routine of a kernel that computes its coefficients four samples at a time:
    // `coefs(core, pitch4, res4, k)` fills `Coefs k` for four samples side by side from the
    // control inputs alone, and `apply(core, k, lane)` installs one lane's. A sample takes new
    // coefficients exactly where runMode would recompute them: where its controls differ from
    // the previous sample's (the first from the cached ones), since an unchanged sample equals
    // the value last computed from. The lanes of the next four samples are computed before
    // the current four play, so that their work, which does not wait for the filter's
    // output, overlaps the sample-to-sample chain instead of lengthening it. Compiled without
    // straight-line (SLP) vectorisation, which would otherwise pack the copied filter state
    // into vector registers and unpack it around the updates, on that chain.
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
        if (sampleFrames <= 0) return;
        // The first and the last group read their controls from copies: the first with the
        // cached controls before it, the last padded to four lanes with its last sample,
        // which changes nothing. Every other group reads the buffers, the sample before it
        // included.
        float firstPitch[5], firstRes[5], lastPitch[5], lastRes[5];
        const float cachedPitch = c.cachedPitch, cachedRes = c.cachedRes;
        const auto copy = [=](gmpi::int32 i, float* p, float* r) {
            p[0] = i > 0 ? pitch[i - 1] : cachedPitch;
            r[0] = i > 0 ? res[i - 1] : cachedRes;
            for (gmpi::int32 j = 0; j < 4; ++j) {
                const gmpi::int32 at = i + j < sampleFrames ? i + j : sampleFrames - 1;
                p[j + 1] = pitch[at];
                r[j + 1] = res[at];
            }
        };
        const gmpi::int32 lastGroup = (sampleFrames - 1) & ~3;
        copy(0, firstPitch, firstRes);
        if (lastGroup > 0) copy(lastGroup, lastPitch, lastRes);
        Group<Mode> groups[2];
        prepare<Mode>(core, groups[0], firstPitch, firstRes);
        int changes = 0;
        for (gmpi::int32 i = 0, g = 0; i < sampleFrames; i += 4, g ^= 1) {
            const gmpi::int32 next = i + 4;
            if (next < lastGroup)
                prepare<Mode>(core, groups[g ^ 1], pitch + next - 1, res + next - 1);
            else if (next == lastGroup)
                prepare<Mode>(core, groups[g ^ 1], lastPitch, lastRes);
            changes |= groups[g].changes;
            if (next <= sampleFrames)
                playGroup<Mode, 4>(c, groups[g], in + i, blend + i, out + i);
            else
                playGroup<Mode, 0>(c, groups[g], in + i, blend + i, out + i, sampleFrames - i);
        }
        // The last sample's controls equal those last computed from: every sample after the
        // last change compares equal to it.
        if (changes != 0) {
            c.cachedPitch = pitch[sampleFrames - 1];
            if constexpr (Mode::kComparesResonance) c.cachedRes = res[sampleFrames - 1];
        }
        kept = c;
    }

  private:
    // Four samples' coefficients and which of them take new ones (bit j for lane j).
    template <class Mode>
    struct Group {
        typename Mode::Coefs k;
        int changes;
    };

    // The group of the four lanes at pitch + 1 and res + 1, the sample before them at pitch
    // and res. The lanes read the member core (its tables), never the routine's copy, which
    // can then stay in registers.
    template <class Mode>
    [[gnu::always_inline]] static inline void prepare(const Core& c, Group<Mode>& group,
                                                      const float* pitch, const float* res) {
        const dsp::Float4 p4 = dsp::load4(pitch + 1);
        const dsp::Float4 r4 = dsp::load4(res + 1);
        group.changes = dsp::laneChanges(p4, dsp::load4(pitch));
        if constexpr (Mode::kComparesResonance)
            group.changes |= dsp::laneChanges(r4, dsp::load4(res));
        if (group.changes != 0) Mode::coefs(c, p4, r4, group.k);
    }

    // The samples of a group: `Count` of them, or `count` when it is 0. A kernel with a
    // lighter tick for some coefficients (`lightTick`) says per group whether all its
    // samples may take it (`lightFits`).
    template <class Mode, int Count, class State>
    [[gnu::always_inline]] static inline void playGroup(State& c, const Group<Mode>& group,
                                                        const float* in, const float* blend,
                                                        float* out, gmpi::int32 count = Count) {
        if constexpr (hasLightTick<Mode>) {
            if (Mode::lightFits(c, group.k, group.changes)) {
                playLanes<Mode, Count, true>(c, group, in, blend, out, count);
                return;
            }
        }
        playLanes<Mode, Count, false>(c, group, in, blend, out, count);
    }

    template <class Mode>
    static constexpr bool hasLightTick = requires {
        Mode::lightTick;
    };

    template <class Mode, bool Light, class State>
    [[gnu::always_inline]] static inline float tickOf(State& c, float in, float blend) {
        if constexpr (Light)
            return Mode::lightTick(c, in, blend);
        else
            return Mode::tick(c, in, blend);
    }

    // Controls that change on every sample or on none take paths without per-sample tests.
    template <class Mode, int Count, bool Light, class State>
    [[gnu::always_inline]] static inline void playLanes(State& c, const Group<Mode>& group,
                                                        const float* in, const float* blend,
                                                        float* out, gmpi::int32 count) {
        if (group.changes == 0) {
#pragma GCC unroll 4
            for (gmpi::int32 j = 0; j < (Count ? Count : count); ++j)
                out[j] = tickOf<Mode, Light>(c, in[j], blend[j]);
        } else if (Count == 4 && group.changes == 0xF) {
#pragma GCC unroll 4
            for (gmpi::int32 j = 0; j < 4; ++j) {
                Mode::apply(c, group.k, j);
                out[j] = tickOf<Mode, Light>(c, in[j], blend[j]);
            }
        } else {
#pragma GCC unroll 4
            for (gmpi::int32 j = 0; j < (Count ? Count : count); ++j) {
                if (group.changes & (1 << j)) Mode::apply(c, group.k, j);
                out[j] = tickOf<Mode, Light>(c, in[j], blend[j]);
            }
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
