// "QORVALIS VOICE ID": the random gain drawn on a trigger, and the scaling routine.
#include "modules/midi/RndVoice.h"

#include "framework/mp_factory.h"

#include <atomic>
#include <cstring>

namespace zr {

namespace {
// Instances are seeded 1, 2, 3, ... in creation order: distinct voices draw distinct gains, and
// a host that builds a patch the same way each time hears the same gains.
std::atomic<std::uint32_t> instanceCount{0};
} // namespace

RndVoice::RndVoice(gmpi::IMpUnknown* host)
    : MpBase(host), draw(instanceCount.fetch_add(1, std::memory_order_relaxed) + 1) {
    initializePin(0, trigger);
    initializePin(1, auxIn);
    initializePin(2, output);
    initializePin(3, random);
    initializePin(4, input);
    initializePin(5, range);
    initializePin(6, enable);
    initializePin(7, offset);
}

int32 RndVoice::receiveGuiMessage(int32 id, int32 size, const void* data) {
    if (id == kSeedMessage && size >= 4 && data) {
        unsigned char b[4];
        std::memcpy(b, data, 4);
        draw.seed(b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<std::uint32_t>(b[3]) << 24));
    }
    return gmpi::ResultOk;
}

void RndVoice::pinsChanged() {
    if (enable == 1 && !trigger.isUpdated()) return;
    if (enable == 1 && trigger > 0.0f) {
        // r is uniform over the 32768 values k / 32767, both ends included.
        const float r = static_cast<float>(draw.next()) / static_cast<float>(RandomDraw::kMax);
        gain = random == 1 ? range * r + offset : 0.1f;
        output.setStreaming(true);
        setBlockRoutine(&RndVoice::subProcessScale);
        allowSleep(false);
        return;
    }
    gain = 0.0f;
    output.setStreaming(false);
    setBlockRoutine(&RndVoice::subProcessScale);
    allowSleep(true);
}

void RndVoice::subProcessScale(int32 bufferOffset, int32 sampleFrames) {
    const float* in = input.getBuffer() + bufferOffset;
    float* out = output.getBuffer() + bufferOffset;
    const float g = gain;
    for (int32 i = 0; i < sampleFrames; ++i)
        out[i] = g * in[i];
}

} // namespace zr

namespace {
const gmpi::int32 registered =
    gmpi::registerAudioModule(u"QORVALIS VOICE ID", &gmpi::createAudio<zr::RndVoice>);
const gmpi::int32 described = gmpi::catalogDescribe(u"QORVALIS VOICE ID", "Voice ID", "ZR/MIDI");
} // namespace
