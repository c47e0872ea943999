// "Osc ZRPM" plays the shared wavetables at a pitch, with phase modulation and resets.
// Per sample, each wave routine turns the pitch into a phase increment
// through the pitch table, advances the phase, and reads every slot it plays at two
// neighbouring zones, crossfaded by where the pitch lies between them. The wave mode and the
// reset family are template parameters, so the sample loop carries no mode tests. A block is
// rendered in stretches: one whose controls hold still, or whose pitch alone moves, is read
// four samples at a time; any other takes every step sample by sample.
#include "modules/oscillators/OscZrpm.h"

#include "dsp/cache_forcing.h"
#include "dsp/clamp.h"
#include "dsp/sample_rate.h"
#include "dsp/shared_table.h"
#include "dsp/table_read.h"
#include "dsp/units.h"
#include "framework/mp_factory.h"

#include <cmath>

namespace zr {

using namespace wavetables;

namespace {

// Added to the control caches to force the next sample to recompute what derives from them.
constexpr float kForceOffset = 0.000001f;

} // namespace

OscZrpm::OscZrpm(gmpi::IMpUnknown* host) : gmpi::MpBase(host) {
    initializePin(0, pitchIn);
    initializePin(1, phaseModIn);
    initializePin(2, shapeIn);
    initializePin(3, gateIn);
    initializePin(4, syncIn);
    initializePin(5, audioOut);
    initializePin(6, wrapOut);
    initializePin(7, incrementOut);
    initializePin(8, zoneFadeOut);
    initializePin(9, zoneBaseOut);
    initializePin(10, spareIn);
    initializePin(11, waveIn);
    initializePin(12, resetModeIn);
    initializePin(13, spareAudioIn);
    initializePin(14, sineLevelIn);
    initializePin(15, sawLevelIn);
    initializePin(16, triLevelIn);
    initializePin(17, resetIn);
}

gmpi::int32 OscZrpm::open() {
    // 1. The slots, sine first; the loader fills them, never this module.
    attachSlots(getHost(), {&sineTable, &sawTable, &triTable});
    // 2. State.
    running = 0;
    wasActive = 0;
    core.resetRequest = false;
    syncLatch = 0;
    core.phase = 0.0f;
    core.fade = -1.0f;
    // 3. Samples per millisecond.
    // A rate of 0 would divide by zero, and NaN or infinity has no whole number of samples
    // per millisecond: such a host plays as at 44.1 kHz.
    const float sampleRate = dsp::hostSampleRateOrDefault(getHost());
    samplesPerMs = zrpm::samplesPerMs(sampleRate);
    // 4. Caches far outside the inputs' range, so the first sample computes everything.
    core.lastPitch = -100.0f;
    core.lastPhaseMod = -100.0f;
    core.lastShape = -100.0f;
    // 5. Pitch table.
    buildPitchTable(sampleRate);
    return MpBase::open();
}

void OscZrpm::buildPitchTable(float sampleRate) {
    const zrpm::Geometry g = zrpm::geometry();
    tableLength = g.length;
    tableLengthF = g.lengthF;
    zoneCount = static_cast<float>(kZoneCount);
    zoneWidth = g.zoneWidth;
    zonesPerVolt = g.zonesPerVolt;
    topZoneVolts = g.topZoneVolts;
    topZoneBase = g.topZoneBase;
    pitchTable.attach(getHost(), sampleRate, tableLengthF);
}

// A requested reset: at once (Reset Mode 0 or 1) or as a crossfade from the old phase.
void OscZrpm::startReset(Core& c) const {
    zrpm::startReset(c, resetModeIn.getValue(), samplesPerMs);
}

// Phase Mod and Shape offsets, each recomputed only when its sample changes.
template <int Wave>
void OscZrpm::updateOffsets(Core& c, float pm, float s) const {
    zrpm::updateOffsets<Wave>(c, pm, s, tableLengthF);
}

// Advances the phase by one increment, wrapping into (0, 2048]; `wrap` shows where it landed.
void OscZrpm::advancePhase(Core& c) const {
    c.wrap = zrpm::advancePhase(c.phase, c.increment, tableLengthF);
}

// The reads r1 (first slot) and r2 (saw slot at the shape position) at `phase`.
template <int Wave>
OscZrpm::Reads OscZrpm::readWave(const Core& c, float phase, const float* first) const {
    return zrpm::readWave<Wave>(c, c, phase, {first, sawTable}, tableLengthF);
}

// During a reset crossfade the old phase fades out while the restarted one fades in; when
// the fade has run out, the restarted phase takes over.
template <int Wave>
void OscZrpm::crossfadeReset(Core& c, Reads& r, const float* first) const {
    zrpm::crossfade<Wave>(c, r, {first, sawTable}, tableLengthF);
}

namespace {

// Four output samples at the given phases, from one zone pair (zrpm::ZonePair) or one per
// lane (zrpm::Zones4).
template <int Wave, class Zone>
inline zrpm::Float4 output4(zrpm::Slots slots, const Zone& zone, zrpm::Float4 phases,
                            zrpm::Float4 phaseMod, zrpm::Float4 shapeOffset, zrpm::Float4 length,
                            zrpm::Float4 firstLevel, zrpm::Float4 sawLevel, const float* shape) {
    using zrpm::Float4;
    const Float4 r1 =
        zrpm::readZone4(slots.first, zone, zrpm::wrapPosition4(phases + phaseMod, length));
    if constexpr (zrpm::kUsesShape<Wave>) {
        const Float4 r2 = zrpm::readZone4(
            slots.saw, zone, zrpm::wrapShapePosition4(phases + shapeOffset + phaseMod, length));
        if constexpr (Wave == 1) {
            const Float4 t = firstLevel * r1;
            const Float4 a = sawLevel * r2;
            return t + (zrpm::load4(shape) + 1.0f) * 0.5f * (a - t);
        } else {
            return sawLevel * (r1 - r2);
        }
    } else {
        return firstLevel * r1;
    }
}

// The phase advances, reads and output of a stretch whose zones and offsets hold still, four
// samples at a time. Returns the last sample's wrap.
template <int Wave>
float renderSteady(const zrpm::ZonePair z, float& phase, float increment, float phaseModOffset,
                   float shapeOffset, const float* __restrict shape, zrpm::Slots slots,
                   float length, float firstLevel, float sawLevel, float* __restrict audio,
                   float* __restrict wraps, int count) {
    using zrpm::Float4;
    const Float4 length4 = zrpm::splat4(length);
    const Float4 phaseMod4 = zrpm::splat4(phaseModOffset);
    const Float4 shape4 = zrpm::splat4(shapeOffset);
    const Float4 first4 = zrpm::splat4(firstLevel);
    const Float4 saw4 = zrpm::splat4(sawLevel);
    float p = phase;
    int n = 0;
    for (; n + 4 <= count; n += 4) {
        const Float4 phases = zrpm::advance4(p, increment, length, wraps + n);
        const Float4 out =
            output4<Wave>(slots, z, phases, phaseMod4, shape4, length4, first4, saw4, shape + n);
        zrpm::store4(audio + n, out);
    }
    for (; n < count; ++n) {
        wraps[n] = zrpm::advancePhase(p, increment, length);
        zrpm::Reads r{
            zrpm::readZone(slots.first, z, zrpm::wrapPosition(p + phaseModOffset, length)), 0.0f};
        if constexpr (zrpm::kUsesShape<Wave>)
            r.second = zrpm::readZone(
                slots.saw, z, zrpm::wrapShapePosition(p + shapeOffset + phaseModOffset, length));
        audio[n] = zrpm::waveOutput<Wave>(r, firstLevel, sawLevel, shape[n]);
    }
    phase = p;
    return wraps[count - 1];
}

// Fills three outputs with their constant values.
void fillConstant(float* __restrict a, float va, float* __restrict b, float vb, float* __restrict c,
                  float vc, int count) {
    for (int n = 0; n < count; ++n) {
        a[n] = va;
        b[n] = vb;
        c[n] = vc;
    }
}

} // namespace

// A stretch over which no control changes and no crossfade runs: the auxiliary outputs are
// constant, and the reads of four samples overlap the phase advances of the next four.
template <int Wave>
[[gnu::always_inline]] inline void OscZrpm::steadyStretch(Core& c, const Stretch& s,
                                                          int count) const {
    const float increment = c.increment;
    const float fraction = c.zoneFraction;
    const float base = c.zoneBase;
    fillConstant(s.increment, increment, s.zoneFade, fraction, s.zoneBase, base, count);
    c.wrap = renderSteady<Wave>({c.zoneBase, c.zoneStep, c.zoneMix}, c.phase, increment,
                                c.phaseModOffset, c.shapeOffset, s.shape, {s.first, sawTable},
                                tableLengthF, s.firstLevel, s.sawLevel, s.audio, s.wrap, count);
}

// A stretch whose pitch changes, none of it ignored, with steady offsets and no crossfade
// running: the pitch steps, phases and reads four samples at a time.
template <int Wave>
void OscZrpm::movingCleanly(Core& c, const Stretch& s, int count) const {
    using zrpm::Float4;
    const zrpm::Geometry g{tableLength,  tableLengthF, zoneWidth,
                           zonesPerVolt, topZoneVolts, topZoneBase};
    const Float4 length4 = zrpm::splat4(tableLengthF);
    const Float4 phaseMod4 = zrpm::splat4(c.phaseModOffset);
    const Float4 shape4 = zrpm::splat4(c.shapeOffset);
    const Float4 first4 = zrpm::splat4(s.firstLevel);
    const Float4 saw4 = zrpm::splat4(s.sawLevel);
    const zrpm::Slots slots{s.first, sawTable};
    float phase = c.phase;
    int n = 0;
    for (; n + 4 <= count; n += 4) {
        const zrpm::Zones4 z = zrpm::setPitch4(zrpm::load4(s.pitch + n), g, pitchTable.data());
        zrpm::store4(s.increment + n, z.increment);
        zrpm::store4(s.zoneFade + n, z.zoneFraction);
        zrpm::store4(s.zoneBase + n, z.zoneBase);
        const Float4 phases = zrpm::advance4(phase, z.increment, tableLengthF, s.wrap + n);
        zrpm::store4(s.audio + n, output4<Wave>(slots, z, phases, phaseMod4, shape4, length4,
                                                first4, saw4, s.shape + n));
    }
    c.phase = phase;
    if (n > 0) {
        // The cached pitch state as the last sample left it; the rest sample by sample.
        zrpm::setPitch(c, s.pitch[n - 1], g, pitchTable.data());
        c.wrap = s.wrap[n - 1];
    }
    if (n < count) {
        Stretch rest = s;
        rest.advance(n);
        movingStretch<Wave, false>(c, rest, count - n);
    }
}

// A stretch with changing controls or a running crossfade: every step for every sample.
template <int Wave, bool ResetFamily>
void OscZrpm::movingStretch(Core& c, const Stretch& s, int count) const {
    const zrpm::Geometry g{tableLength,  tableLengthF, zoneWidth,
                           zonesPerVolt, topZoneVolts, topZoneBase};
    for (gmpi::int32 n = 0; n < count; ++n) {
        // Pitch: recomputed only when the sample changes; below -1 (-10 V) it is ignored.
        const float p = s.pitch[n];
        if (p != c.lastPitch && p >= -1.0f) zrpm::setPitch(c, p, g, pitchTable.data());
        updateOffsets<Wave>(c, s.phaseMod[n], s.shape[n]);
        advancePhase(c);

        Reads r = readWave<Wave>(c, c.phase, s.first);
        if constexpr (ResetFamily) {
            if (c.fade != -1.0f) crossfadeReset<Wave>(c, r, s.first);
        }
        s.audio[n] = zrpm::waveOutput<Wave>(r, s.firstLevel, s.sawLevel, s.shape[n]);
        s.wrap[n] = c.wrap;
        s.increment[n] = c.increment;
        s.zoneFade[n] = c.zoneFraction;
        s.zoneBase[n] = c.zoneBase;
    }
}

template <int Wave, bool ResetFamily>
[[gnu::always_inline]] inline void OscZrpm::renderStretch(Core& c, const Stretch& s,
                                                          int count) const {
    const bool fading = ResetFamily && c.fade != -1.0f;
    if (!fading && zrpm::controlsHold<Wave>(c, s.pitch, s.phaseMod, s.shape, count))
        steadyStretch<Wave>(c, s, count);
    else if (!fading && zrpm::pitchMovesCleanly(c, s.pitch, count) &&
             zrpm::offsetsHold<Wave>(c, s.phaseMod, s.shape, count))
        movingCleanly<Wave>(c, s, count);
    else
        movingStretch<Wave, ResetFamily>(c, s, count);
}

template <int Wave, bool ResetFamily>
void OscZrpm::subProcessWave(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames) {
    // The first read of each wave: the sine slot, the tri slot (morph and tri) or the saw
    // slot (saw and pulse). The second read, at the shape position, is always the saw slot.
    Stretch s{pitchIn.getBuffer() + bufferOffset,
              phaseModIn.getBuffer() + bufferOffset,
              shapeIn.getBuffer() + bufferOffset,
              audioOut.getBuffer() + bufferOffset,
              wrapOut.getBuffer() + bufferOffset,
              incrementOut.getBuffer() + bufferOffset,
              zoneFadeOut.getBuffer() + bufferOffset,
              zoneBaseOut.getBuffer() + bufferOffset,
              Wave == 0                  ? sineTable
              : (Wave == 1 || Wave == 3) ? triTable
                                         : sawTable,
              Wave == 0                  ? sineLevelIn.getValue()
              : (Wave == 1 || Wave == 3) ? triLevelIn.getValue()
                                         : sawLevelIn.getValue(),
              sawLevelIn.getValue()};

    Core c = core;
    // A reset is requested only between blocks, and its start does not depend on the pitch:
    // taken before the first sample, as if after that sample's pitch step.
    if constexpr (ResetFamily) {
        if (c.resetRequest && sampleFrames > 0) startReset(c);
    }
    for (gmpi::int32 done = 0; done < sampleFrames;) {
        const int count =
            sampleFrames - done < zrpm::kStretch ? sampleFrames - done : zrpm::kStretch;
        // A whole stretch has a length known at compile time: its checks and fills vectorise.
        if (count == zrpm::kStretch)
            renderStretch<Wave, ResetFamily>(c, s, zrpm::kStretch);
        else
            renderStretch<Wave, ResetFamily>(c, s, count);
        s.advance(count);
        done += count;
    }
    core = c;
}

void OscZrpm::subProcessSilence(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames) {
    for (gmpi::AudioOutPin* pin :
         {&audioOut, &wrapOut, &incrementOut, &zoneFadeOut, &zoneBaseOut}) {
        float* out = pin->getBuffer() + bufferOffset;
        for (gmpi::int32 n = 0; n < sampleFrames; ++n)
            out[n] = 0.0f;
    }
}

const OscZrpm::Routine OscZrpm::waveRoutines[2][5] = {
    {&OscZrpm::subProcessWave<0, false>, &OscZrpm::subProcessWave<1, false>,
     &OscZrpm::subProcessWave<2, false>, &OscZrpm::subProcessWave<3, false>,
     &OscZrpm::subProcessWave<4, false>},
    {&OscZrpm::subProcessWave<0, true>, &OscZrpm::subProcessWave<1, true>,
     &OscZrpm::subProcessWave<2, true>, &OscZrpm::subProcessWave<3, true>,
     &OscZrpm::subProcessWave<4, true>},
};

void OscZrpm::pinsChanged() {
    // 1. A gate that streams never stops the oscillator.
    const bool gateStatic = !gateIn.isStreaming();
    const gmpi::int32 resetMode = resetModeIn.getValue();

    // 2. Reset pin, then a rising Sync edge.
    zrpm::resetAndSync(core, running, syncLatch, resetIn.isUpdated() && resetIn.getValue() > 0.0f,
                       syncIn.getValue(), resetMode);

    // 3. Start, or a new wave or reset family while running.
    const float gate = gateIn.getValue();
    if (gate > 0.0f && (running == 0 || resetModeIn.isUpdated() || waveIn.isUpdated())) {
        // Just off the current inputs, so that the next sample recomputes every derived value.
        core.lastPitch = dsp::forcedCacheValue(pitchIn.getValue(), kForceOffset);
        core.lastPhaseMod = dsp::forcedCacheValue(phaseModIn.getValue(), kForceOffset);
        core.lastShape = dsp::forcedCacheValue(shapeIn.getValue(), kForceOffset);
        running = 1;
        if (wasActive != 1) core.phase = 0.0f;
        wasActive = 1;
        for (gmpi::AudioOutPin* pin :
             {&audioOut, &wrapOut, &incrementOut, &zoneFadeOut, &zoneBaseOut})
            pin->setStreaming(true);
        const gmpi::int32 wave = waveIn.getValue();
        if (wave >= 0 && wave <= 4) setBlockRoutine(waveRoutines[resetMode > 0 ? 1 : 0][wave]);
        allowSleep(false);
    }

    // 4. Stop: a static gate at 0 or below.
    if (gate <= 0.0f && gateStatic) {
        zrpm::restartPhase(core);
        running = 0;
        wasActive = 0;
        for (gmpi::AudioOutPin* pin :
             {&audioOut, &wrapOut, &incrementOut, &zoneFadeOut, &zoneBaseOut})
            pin->setStreaming(false);
        setBlockRoutine(&OscZrpm::subProcessSilence);
        allowSleep(true);
    }
}

namespace {
const gmpi::int32 registered = gmpi::registerAudioModule(u"Osc ZRPM", &gmpi::createAudio<OscZrpm>);
const gmpi::int32 described =
    gmpi::catalogDescribe(u"Osc ZRPM", "ZRPM Oscillator", "ZR/Oscillators");
} // namespace

} // namespace zr
