// "ZR Osc SINE". Per sample: pitch to increment and zone pair through the pitch table, a
// pending reset, the phase advance, the two-zone read of the sine slot at the phase and, in
// the reset family, the crossfade from the old phase; the output is -(Sine Level x read).
#include "modules/oscillators/OscZrpmSine.h"

#include "dsp/cache_forcing.h"
#include "dsp/sample_rate.h"
#include "framework/mp_factory.h"

namespace zr {

using namespace wavetables;

namespace {
// Added to the pitch cache to force the next sample to recompute what derives from it.
constexpr float kForceOffset = 0.000001f;
} // namespace

OscZrpmSine::OscZrpmSine(gmpi::IMpUnknown* host) : gmpi::MpBase(host) {
    initializePin(0, pitchIn);
    initializePin(1, gateIn);
    initializePin(2, syncIn);
    initializePin(3, audioOut);
    initializePin(4, spareIn);
    initializePin(5, resetModeIn);
    initializePin(6, spareAudioIn);
    initializePin(7, sineLevelIn);
    initializePin(8, resetIn);
}

gmpi::int32 OscZrpmSine::open() {
    const float* block = requestSlot(getHost(), SineSlot);
    sineTable = block ? block : silentSlot();
    syncLatch = 0;
    zrpm::restartPhase(core);
    running = 0;
    // A host rate of 0, NaN or infinity plays as at 44.1 kHz (see dsp/sample_rate.h).
    const float sampleRate = dsp::hostSampleRateOrDefault(getHost());
    samplesPerMs = zrpm::samplesPerMs(sampleRate);
    core.lastPitch = -100.0f;
    // No phase modulation: the read position is the phase, wrapped as it already is.
    core.phaseModOffset = 0.0f;
    geometry = zrpm::geometry();
    pitchTable.attach(getHost(), sampleRate, geometry.lengthF);
    audioOut.setStreaming(false);
    setBlockRoutine(&OscZrpmSine::subProcessSilence);
    return MpBase::open();
}

// A stretch at a steady pitch with no crossfade running, four samples at a time: the phase
// lies in (0, 2048] and is the read position as it stands.
void OscZrpmSine::steadyStretch(OscZrpm::Core& c, float* __restrict audio, float level,
                                int count) const {
    using zrpm::Float4;
    const zrpm::ZonePair z{c.zoneBase, c.zoneStep, c.zoneMix};
    const float* table = sineTable;
    const float length = geometry.lengthF;
    const float increment = c.increment;
    const Float4 level4 = zrpm::splat4(level);
    float phase = c.phase;
    float wraps[4]; // the sine has no wrap output
    int n = 0;
    for (; n + 4 <= count; n += 4) {
        const Float4 phases = zrpm::advance4(phase, increment, length, wraps);
        const Float4 r = zrpm::readZone4(table, z, phases);
        zrpm::store4(audio + n, -(level4 * r));
    }
    for (; n < count; ++n) {
        zrpm::advancePhase(phase, increment, length);
        audio[n] = -(level * zrpm::readZone(table, z, phase));
    }
    c.phase = phase;
}

// A stretch whose pitch changes, none of it ignored, with no crossfade running: the pitch
// steps, phases and reads four samples at a time.
void OscZrpmSine::movingCleanly(OscZrpm::Core& c, const float* pitch, float* __restrict audio,
                                float level, int count) const {
    using zrpm::Float4;
    const float length = geometry.lengthF;
    const Float4 level4 = zrpm::splat4(level);
    float phase = c.phase;
    float wraps[4]; // the sine has no wrap output
    int n = 0;
    for (; n + 4 <= count; n += 4) {
        const zrpm::Zones4 z = zrpm::setPitch4(zrpm::load4(pitch + n), geometry, pitchTable.data());
        const Float4 phases = zrpm::advance4(phase, z.increment, length, wraps);
        const Float4 r = zrpm::readZone4(sineTable, z, phases);
        zrpm::store4(audio + n, -(level4 * r));
    }
    c.phase = phase;
    // The cached pitch state as the last sample left it; the rest sample by sample.
    if (n > 0) zrpm::setPitch(c, pitch[n - 1], geometry, pitchTable.data());
    if (n < count) movingStretch<false>(c, pitch + n, audio + n, level, count - n);
}

#if ZR_HAS_WIDE_LANES
// steadyStretch eight samples at a time; the rest of the stretch as steadyStretch plays it.
void OscZrpmSine::steadyStretchWide(OscZrpm::Core& c, float* __restrict audio, float level,
                                    int count) const {
    using zrpm::Float8;
    const zrpm::ZonePair z{c.zoneBase, c.zoneStep, c.zoneMix};
    const float* table = sineTable;
    const float length = geometry.lengthF;
    const float increment = c.increment;
    const Float8 level8 = zrpm::splat8(level);
    float phase = c.phase;
    float wraps[8]; // the sine has no wrap output
    int n = 0;
    for (; n + 8 <= count; n += 8) {
        const Float8 phases = zrpm::advance8(phase, increment, length, wraps);
        zrpm::store8(audio + n, -(level8 * zrpm::readZone8(table, z, phases)));
    }
    c.phase = phase;
    if (n < count) steadyStretch(c, audio + n, level, count - n);
}

// movingCleanly eight samples at a time. Every pitch sample recomputes its zones, which is
// what the cached steps do for a new sample and gives the same for a repeated one, so the
// rest of the stretch may start afresh in movingCleanly.
void OscZrpmSine::movingCleanlyWide(OscZrpm::Core& c, const float* pitch, float* __restrict audio,
                                    float level, int count) const {
    using zrpm::Float8;
    const float length = geometry.lengthF;
    const Float8 level8 = zrpm::splat8(level);
    float phase = c.phase;
    float wraps[8]; // the sine has no wrap output
    int n = 0;
    for (; n + 8 <= count; n += 8) {
        const zrpm::Zones8 z = zrpm::setPitch8(zrpm::load8(pitch + n), geometry, pitchTable.data());
        const Float8 phases = zrpm::advance8(phase, z.increment, length, wraps);
        zrpm::store8(audio + n, -(level8 * zrpm::readZone8(sineTable, z, phases)));
    }
    c.phase = phase;
    if (n > 0) zrpm::setPitch(c, pitch[n - 1], geometry, pitchTable.data());
    if (n < count) movingCleanly(c, pitch + n, audio + n, level, count - n);
}
#endif

// A stretch with a changing pitch or a running crossfade: every step for every sample.
template <bool ResetFamily>
void OscZrpmSine::movingStretch(OscZrpm::Core& c, const float* pitch, float* audio, float level,
                                int count) const {
    const float length = geometry.lengthF;
    const zrpm::Slots slots{sineTable, sineTable};
    for (gmpi::int32 n = 0; n < count; ++n) {
        // Pitch: recomputed only when the sample changes; below -1 (-10 V) it is ignored.
        const float p = pitch[n];
        if (p != c.lastPitch && p >= -1.0f) zrpm::setPitch(c, p, geometry, pitchTable.data());
        zrpm::advancePhase(c.phase, c.increment, length);
        zrpm::Reads r{zrpm::readZone(sineTable, c, c.phase), 0.0f};
        if constexpr (ResetFamily) {
            if (c.fade != -1.0f) zrpm::crossfade<0>(c, r, slots, length);
        }
        audio[n] = -(level * r.first);
    }
}

template <bool ResetFamily, bool Wide>
void OscZrpmSine::subProcessSine(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames) {
    const float* pitch = pitchIn.getBuffer() + bufferOffset;
    float* audio = audioOut.getBuffer() + bufferOffset;
    const float level = sineLevelIn.getValue();

    OscZrpm::Core c = core;
    // A reset is requested only between blocks, and its start does not depend on the pitch:
    // taken before the first sample, as if after that sample's pitch step.
    if constexpr (ResetFamily) {
        if (c.resetRequest && sampleFrames > 0)
            zrpm::startReset(c, resetModeIn.getValue(), samplesPerMs);
    }
    for (gmpi::int32 done = 0; done < sampleFrames;) {
        const int count =
            sampleFrames - done < zrpm::kStretch ? sampleFrames - done : zrpm::kStretch;
        const bool fading = ResetFamily && c.fade != -1.0f;
        if (!fading && zrpm::pitchHolds(c, pitch + done, count)) {
            if constexpr (Wide && ZR_HAS_WIDE_LANES)
                steadyStretchWide(c, audio + done, level, count);
            else
                steadyStretch(c, audio + done, level, count);
        } else if (!fading && zrpm::pitchMovesCleanly(c, pitch + done, count)) {
            if constexpr (Wide && ZR_HAS_WIDE_LANES)
                movingCleanlyWide(c, pitch + done, audio + done, level, count);
            else
                movingCleanly(c, pitch + done, audio + done, level, count);
        } else
            movingStretch<ResetFamily>(c, pitch + done, audio + done, level, count);
        done += count;
    }
    core = c;
}

void OscZrpmSine::subProcessSilence(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames) {
    float* out = audioOut.getBuffer() + bufferOffset;
    for (gmpi::int32 n = 0; n < sampleFrames; ++n)
        out[n] = 0.0f;
}

void OscZrpmSine::pinsChanged() {
    const gmpi::int32 resetMode = resetModeIn.getValue();

    // 1. Reset pin, then a rising Sync edge.
    zrpm::resetAndSync(core, running, syncLatch, resetIn.isUpdated() && resetIn.getValue() > 0.0f,
                       syncIn.getValue(), resetMode);

    // 2. Start, or a new reset family while running; the phase carries on.
    const float gate = gateIn.getValue();
    if (gate > 0.0f && (running == 0 || resetModeIn.isUpdated())) {
        running = 1;
        core.lastPitch = dsp::forcedCacheValue(pitchIn.getValue(), kForceOffset);
        audioOut.setStreaming(true);
        // By reset family, then by lane width (eight where the processor has AVX2).
        static constexpr void (OscZrpmSine::*routines[2][2])(gmpi::int32, gmpi::int32) = {
            {&OscZrpmSine::subProcessSine<false, false>, &OscZrpmSine::subProcessSine<false, true>},
            {&OscZrpmSine::subProcessSine<true, false>, &OscZrpmSine::subProcessSine<true, true>}};
        setBlockRoutine(routines[resetMode > 0][dsp::wideLanesAvailable()]);
        allowSleep(false);
    }

    // 3. Stop, whether or not the gate streams.
    if (gate <= 0.0f && running == 1) {
        zrpm::restartPhase(core);
        running = 0;
        audioOut.setStreaming(false);
        setBlockRoutine(&OscZrpmSine::subProcessSilence);
        allowSleep(true);
    }
}

namespace {
const gmpi::int32 registered =
    gmpi::registerAudioModule(u"ZR Osc SINE", &gmpi::createAudio<OscZrpmSine>);
const gmpi::int32 described =
    gmpi::catalogDescribe(u"ZR Osc SINE", "ZRPM Sine Oscillator", "ZR/Oscillators");
} // namespace

} // namespace zr
