// "Osc ZRPM" plays the shared wavetables at a pitch, with phase modulation and resets.
// Per sample, each wave routine turns the pitch into a phase increment
// through the pitch table, advances the phase, and reads every slot it plays at two
// neighbouring zones, crossfaded by where the pitch lies between them. The wave mode and the
// reset family are template parameters, so the sample loop carries no mode tests.
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

// Highest pitch played, in volts (about 17.7 kHz).
constexpr float kTopVolts = 10.333333f;

// Added to the control caches to force the next sample to recompute what derives from them.
constexpr float kForceOffset = 0.000001f;

// Wraps a read position into (0, 2048]: subtract a cycle at or above it, add one at or
// below 0.
inline float wrapPosition(float p, float length) {
    if (p >= length) p -= length;
    if (p <= 0.0f) p += length;
    return p;
}

// The shape read adds two offsets of up to a cycle each, so one added cycle can leave it at
// or below 0, which would read the previous zone (or, below zone 0, the file's unused area).
// It gets a second chance to wrap.
inline float wrapShapePosition(float p, float length) {
    p = wrapPosition(p, length);
    if (p <= 0.0f) p += length;
    return p;
}

// Linear interpolation inside the zone, then the crossfade to the next zone up.
inline float readZone(const float* table, const OscZrpm::Core& c, float position) {
    const float x = c.zoneBase + position;
    const float a = dsp::readInterpolated(table, x);
    const float b = dsp::readInterpolated(table + c.zoneStep, x);
    return a + (b - a) * c.zoneMix;
}

// The morph and the pulse read the saw slot a second time, at the shape position.
template <int Wave>
constexpr bool kUsesShape = Wave == 1 || Wave == 4;

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
    const float** slots[SlotCount] = {&sineTable, &sawTable, &triTable};
    for (int slot = 0; slot < SlotCount; ++slot) {
        // A host that cannot share the slot leaves the oscillator reading silence.
        const float* block = requestSlot(getHost(), static_cast<Slot>(slot));
        *slots[slot] = block ? block : silentSlot();
    }
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
    // Truncated, within what an int32 holds.
    const float perMs = sampleRate * 0.001f;
    samplesPerMs = perMs < 2147483520.0f ? static_cast<gmpi::int32>(perMs) : 2147483520;
    if (samplesPerMs < 1) samplesPerMs = 1;
    // 4. Caches far outside the inputs' range, so the first sample computes everything.
    core.lastPitch = -100.0f;
    core.lastPhaseMod = -100.0f;
    core.lastShape = -100.0f;
    // 5. Pitch table.
    tableRatio = 2048.0f / sampleRate;
    buildPitchTable();
    return MpBase::open();
}

void OscZrpm::buildPitchTable() {
    tableLength = kZoneLength;
    tableLengthF = static_cast<float>(kZoneLength);
    zoneCount = static_cast<float>(kZoneCount);
    zoneWidth = 1.0f / (12.0f / (120.0f / zoneCount)); // two semitones: 1/6 volt
    zonesPerVolt = 1.0f / zoneWidth;
    topZoneVolts = 10.0f - zoneWidth;
    topZoneBase =
        static_cast<float>(static_cast<gmpi::int32>(topZoneVolts * zonesPerVolt)) * tableLengthF +
        static_cast<float>(kZoneStart);
    // 5 V is 440 Hz and each volt an octave; the power is taken once here, never per sample.
    // Below about 17.7 kHz of sample rate the top pitches ask for more than one cycle per
    // sample; one subtraction of a cycle would then no longer bring the phase back into
    // (0, 2048] and it would run on past the slots. Such a pitch plays as one whole cycle per
    // sample (what it aliases to anyway at the rate itself); at usual rates nothing is cut.
    for (int i = -10000; i <= 10340; ++i) {
        const float x = static_cast<float>(i) * 0.001f - 5.0f;
        const float increment =
            static_cast<float>(std::pow(2.0, static_cast<double>(x))) * 440.0f * tableRatio;
        pitchTable[i + 10000] = increment < tableLengthF ? increment : tableLengthF;
    }
}

// Pitch: the zone pair that encloses it, their crossfade, and the phase increment.
void OscZrpm::updatePitch(Core& c, float p) const {
    c.lastPitch = p;
    c.volts = dsp::pinToVolts(p);
    if (c.volts >= kTopVolts) c.volts = kTopVolts;
    const float scaled = c.volts * zonesPerVolt;
    const float zone = static_cast<float>(static_cast<gmpi::int32>(scaled));
    c.zoneFraction = scaled - zone;
    if (c.volts >= topZoneVolts)
        c.zoneBase = topZoneBase;
    else
        c.zoneBase = zone * tableLengthF + static_cast<float>(kZoneStart);
    if (c.volts < 0.0f) c.zoneBase = static_cast<float>(kZoneStart);
    // Between 0 V and the top zone two zones are crossfaded; elsewhere one zone plays
    // alone, which reading the same zone twice with no crossfade gives exactly.
    const bool twoZones = c.volts >= 0.0f && c.volts < topZoneVolts;
    c.zoneStep = twoZones ? tableLength : 0;
    c.zoneMix = twoZones ? c.zoneFraction : 0.0f;
    c.increment = dsp::readInterpolated(pitchTable, c.volts * 1000.0f + 10000.0f);
}

// A requested reset: at once (Reset Mode 0 or 1) or as a crossfade from the old phase.
void OscZrpm::startReset(Core& c) const {
    c.resetRequest = false;
    const gmpi::int32 mode = resetModeIn.getValue();
    if (mode <= 1) {
        c.phase = 0.0f;
    } else {
        c.secondaryPhase = 0.0f;
        c.fade = 1.0f;
        // Reset Mode tenths of a millisecond, in whole samples per millisecond.
        const auto samples = static_cast<long long>(samplesPerMs) * mode;
        c.fadeStep = 10.0f / static_cast<float>(samples);
    }
}

// Phase Mod and Shape offsets, each recomputed only when its sample changes.
template <int Wave>
void OscZrpm::updateOffsets(Core& c, float pm, float s) const {
    if (pm != c.lastPhaseMod) {
        c.lastPhaseMod = pm;
        // 0 shifts by half a cycle, +1 not at all, -1 by a whole cycle.
        c.phaseModOffset = (dsp::clampNanToLow(pm, -1.0f, 1.0f) * 0.5f - 0.5f) * tableLengthF;
    }
    if constexpr (kUsesShape<Wave>) {
        if (s != c.lastShape) {
            c.lastShape = s;
            const float centred = Wave == 1 ? s + 1.0f : s;
            // Never a whole cycle apart: the two pulse reads must not coincide.
            c.shapeOffset =
                (dsp::clampNanToLow(centred, -0.99f, 0.99f) * 0.5f - 0.5f) * tableLengthF;
        }
    }
}

// Advances the phase by one increment, wrapping into (0, 2048]; `wrap` shows where it landed.
void OscZrpm::advancePhase(Core& c) const {
    const float length = tableLengthF;
    c.wrap = 0.0f;
    c.phase += c.increment;
    if (c.phase >= length) {
        c.phase -= length;
        c.wrap = c.phase;
    }
    if (c.phase <= 0.0f) {
        c.phase += length;
        c.wrap = c.phase;
    }
}

// The reads r1 (first slot) and r2 (saw slot at the shape position) at `phase`.
template <int Wave>
OscZrpm::Reads OscZrpm::readWave(const Core& c, float phase, const float* first) const {
    const float length = tableLengthF;
    Reads r{readZone(first, c, wrapPosition(phase + c.phaseModOffset, length)), 0.0f};
    if constexpr (kUsesShape<Wave>)
        r.second = readZone(sawTable, c,
                            wrapShapePosition(phase + c.shapeOffset + c.phaseModOffset, length));
    return r;
}

// During a reset crossfade the old phase fades out while the restarted one fades in; when
// the fade has run out, the restarted phase takes over.
template <int Wave>
void OscZrpm::crossfadeReset(Core& c, Reads& r, const float* first) const {
    const float length = tableLengthF;
    c.secondaryPhase += c.increment;
    if (c.secondaryPhase >= length) c.secondaryPhase -= length;
    if (c.secondaryPhase <= 0.0f) c.secondaryPhase += length;
    const Reads old = readWave<Wave>(c, c.secondaryPhase, first);
    r.first = old.first + (r.first - old.first) * c.fade;
    if constexpr (kUsesShape<Wave>) r.second = old.second + (r.second - old.second) * c.fade;
    if (c.fade > 0.0f && c.fade <= 1.0f) {
        c.fade -= c.fadeStep;
    } else {
        c.phase = c.secondaryPhase;
        c.fade = -1.0f;
    }
}

template <int Wave, bool ResetFamily>
void OscZrpm::subProcessWave(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames) {
    const float* pitch = pitchIn.getBuffer() + bufferOffset;
    const float* phaseMod = phaseModIn.getBuffer() + bufferOffset;
    const float* shape = shapeIn.getBuffer() + bufferOffset;
    float* audio = audioOut.getBuffer() + bufferOffset;
    float* wrapped = wrapOut.getBuffer() + bufferOffset;
    float* incrementSignal = incrementOut.getBuffer() + bufferOffset;
    float* zoneFade = zoneFadeOut.getBuffer() + bufferOffset;
    float* zoneBaseSignal = zoneBaseOut.getBuffer() + bufferOffset;

    // The first read of each wave: the sine slot, the tri slot (morph and tri) or the saw
    // slot (saw and pulse). The second read, at the shape position, is always the saw slot.
    const float* first = Wave == 0 ? sineTable : (Wave == 1 || Wave == 3) ? triTable : sawTable;
    const float firstLevel = Wave == 0                  ? sineLevelIn.getValue()
                             : (Wave == 1 || Wave == 3) ? triLevelIn.getValue()
                                                        : sawLevelIn.getValue();
    const float sawLevel = sawLevelIn.getValue();

    Core c = core;
    for (gmpi::int32 n = 0; n < sampleFrames; ++n) {
        // Pitch: recomputed only when the sample changes; below -1 (-10 V) it is ignored.
        const float p = pitch[n];
        if (p != c.lastPitch && p >= -1.0f) updatePitch(c, p);
        if constexpr (ResetFamily) {
            if (c.resetRequest) startReset(c);
        }
        updateOffsets<Wave>(c, phaseMod[n], shape[n]);
        advancePhase(c);

        Reads r = readWave<Wave>(c, c.phase, first);
        if constexpr (ResetFamily) {
            if (c.fade != -1.0f) crossfadeReset<Wave>(c, r, first);
        }

        float out;
        if constexpr (Wave == 1) {
            // The morph factor takes the unclamped Shape sample: beyond +-1 it extrapolates.
            const float t = firstLevel * r.first;
            const float a = sawLevel * r.second;
            out = t + (shape[n] + 1.0f) * 0.5f * (a - t);
        } else if constexpr (Wave == 4) {
            out = sawLevel * (r.first - r.second);
        } else {
            out = firstLevel * r.first;
        }
        audio[n] = out;
        wrapped[n] = c.wrap;
        incrementSignal[n] = c.increment;
        zoneFade[n] = c.zoneFraction;
        zoneBaseSignal[n] = c.zoneBase;
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

    // 2. Reset pin.
    if (resetIn.isUpdated() && resetIn.getValue() > 0.0f && resetMode >= 0) {
        core.phase = 0.0f;
        running = 0;
        core.resetRequest = false;
        core.fade = -1.0f;
    }

    // 3. Sync: a rising edge requests a reset, once until the input falls to 0 or below.
    const float sync = syncIn.getValue();
    if (sync > 0.0f && syncLatch == 0 && resetMode > 0) {
        core.resetRequest = true;
        syncLatch = 1;
    }
    if (sync <= 0.0f) syncLatch = 0;

    // 4. Start, or a new wave or reset family while running.
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

    // 5. Stop: a static gate at 0 or below.
    if (gate <= 0.0f && gateStatic) {
        core.phase = 0.0f;
        running = 0;
        wasActive = 0;
        core.resetRequest = false;
        core.fade = -1.0f;
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
