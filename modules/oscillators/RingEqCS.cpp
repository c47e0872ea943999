// "ZR-RING ZRPM CS". Per sample each input passes its band filter (coefficients looked up in a
// shared pitch-to-coefficient table when its control changes); the plain routine multiplies
// the two bands, the oversampled one spreads each band over two sub-samples, low-passes both,
// multiplies and low-passes the product, keeping the first sub-sample.
#include "modules/oscillators/RingEqCS.h"

#include "dsp/clamp.h"
#include "dsp/sample_rate.h"
#include "dsp/shared_table.h"
#include "dsp/table_read.h"
#include "framework/mp_factory.h"

#include <cmath>

namespace zr {

namespace {

// Adding and removing this flushes a state that decays towards zero to exactly zero before
// it reaches the slow denormal range.
constexpr float kFlush = 1e-18f;

// Zero-filled stand-in when the host cannot share the table: every coefficient 0, so each
// stage passes its input through and every band reads 0.
const float* silentTable() {
    static const float zeros[RingEqCS::kTableEntries + 1] = {};
    return zeros;
}

// Coefficient for a band control: its first half (0..0.5) sweeps stage 1, its second half
// stage 2; outside, the control holds at the ends (NaN at the low end).
inline void updateBand(RingEqCS::Band& b, float control, const float* table) {
    if (control == b.lastControl) return;
    b.lastControl = control;
    const float c = control * 2.0f;
    b.k1 = dsp::readInterpolated(table, dsp::clampNanToLow(c, 0.0f, 1.0f) * 10000.0f);
    b.k2 = dsp::readInterpolated(table, dsp::clampNanToLow(c - 1.0f, 0.0f, 1.0f) * 10000.0f);
}

// Both one-pole stages on one input sample; returns the band value (stage 1 - stage 2).
inline float filterBand(RingEqCS::Band& b, float x) {
    b.s1 = (b.s1 - x) * b.k1 + x;
    b.s1 += kFlush;
    b.s1 -= kFlush;
    b.s2 = (b.s2 - b.s1) * b.k2 + b.s1;
    b.s2 += kFlush;
    b.s2 -= kFlush;
    return b.s1 - b.s2;
}

} // namespace

RingEqCS::RingEqCS(gmpi::IMpUnknown* host) : gmpi::MpBase(host) {
    initializePin(0, inputA);
    initializePin(1, inputB);
    initializePin(2, audioOut);
    initializePin(3, spareAudioIn);
    initializePin(4, enable1In);
    initializePin(5, enable2In);
    initializePin(6, qualityIn);
    initializePin(7, spareAudio2In);
    initializePin(8, bandAIn);
    initializePin(9, bandBIn);
    initializePin(10, clearIn);
}

gmpi::int32 RingEqCS::open() {
    // One table per sample rate; a host rate of 0, NaN or infinity counts as 44.1 kHz.
    const float sampleRate = dsp::hostSampleRateOrDefault(getHost());
    const dsp::SharedTable t =
        dsp::SharedTable::request(getHost(), u"QORV_VL_RING_P6", sampleRate, kTableEntries);
    t.fillIfNew([&](float* e) {
        const float perSample = 1.0f / sampleRate;
        for (int i = 0; i < kTableEntries; ++i) {
            const float x = static_cast<float>(i) * 0.001f - 5.0f;
            const float hz = static_cast<float>(std::pow(2.0, static_cast<double>(x)));
            e[i] = std::exp(-6.2831855f * 440.0f * hz * perSample);
        }
    });
    table = t ? t.data : silentTable();
    bandA.lastControl = -100.0f;
    bandB.lastControl = -100.0f;
    clearStates();
    return MpBase::open();
}

void RingEqCS::clearStates() {
    for (Band* b : {&bandA, &bandB}) {
        b->s1 = 0.0f;
        b->s2 = 0.0f;
        b->previous = 0.0f;
    }
    filterA.clear();
    filterB.clear();
    filterProduct.clear();
}

template <bool Oversampled>
void RingEqCS::subProcessRing(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames) {
    const float* a = inputA.getBuffer() + bufferOffset;
    const float* b = inputB.getBuffer() + bufferOffset;
    const float* controlA = bandAIn.getBuffer() + bufferOffset;
    const float* controlB = bandBIn.getBuffer() + bufferOffset;
    float* out = audioOut.getBuffer() + bufferOffset;
    Band bA = bandA;
    Band bB = bandB;
    for (gmpi::int32 n = 0; n < sampleFrames; ++n) {
        updateBand(bA, controlA[n], table);
        updateBand(bB, controlB[n], table);
        const float dA = filterBand(bA, a[n]);
        const float dB = filterBand(bB, b[n]);
        if constexpr (Oversampled) {
            // Each band moves in a straight line from its previous value over two sub-samples.
            float first = 0.0f;
            for (int j = 1; j <= 2; ++j) {
                const float step = static_cast<float>(j);
                const float uA = filterA.process(bA.previous + step * (dA - bA.previous) * 0.5f);
                const float uB = filterB.process(bB.previous + step * (dB - bB.previous) * 0.5f);
                const float product = filterProduct.process(uA * uB);
                if (j == 1) first = product;
            }
            out[n] = first;
            bA.previous = dA;
            bB.previous = dB;
        } else {
            out[n] = dB * dA;
        }
    }
    bandA = bA;
    bandB = bB;
}

void RingEqCS::subProcessSilence(gmpi::int32 bufferOffset, gmpi::int32 sampleFrames) {
    float* out = audioOut.getBuffer() + bufferOffset;
    for (gmpi::int32 n = 0; n < sampleFrames; ++n)
        out[n] = 0.0f;
}

void RingEqCS::pinsChanged() {
    if (clearIn.isUpdated() && clearIn.getValue() > 0.0f) clearStates();
    if (enable1In.getValue() > 0 && enable2In.getValue() > 0) {
        if (qualityIn.isUpdated()) clearStates();
        audioOut.setStreaming(true);
        // Any other Quality leaves the routine in place.
        const gmpi::int32 quality = qualityIn.getValue();
        if (quality == 0) setBlockRoutine(&RingEqCS::subProcessRing<false>);
        if (quality == 1) setBlockRoutine(&RingEqCS::subProcessRing<true>);
        allowSleep(false);
    } else {
        clearStates();
        audioOut.setStreaming(false);
        setBlockRoutine(&RingEqCS::subProcessSilence);
        allowSleep(true);
    }
}

namespace {
const gmpi::int32 registered =
    gmpi::registerAudioModule(u"ZR-RING ZRPM CS", &gmpi::createAudio<RingEqCS>);
const gmpi::int32 described =
    gmpi::catalogDescribe(u"ZR-RING ZRPM CS", "Ring Modulator", "ZR/Oscillators");
} // namespace

} // namespace zr
