// The audio-half cases: a rig that gives every audio pin a buffer between two guard zones,
// feeds the inputs, sends hostile control values at random times, runs process with the
// audio-thread watch armed and checks guards, watch and outputs after every block.
#include "host/audio_module.h"
#include "host/text.h"
#include "tools/validate/audio_thread_watch.h"
#include "tools/validate/cases.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>

namespace zrvalidate {

using namespace gmpi;

namespace {

enum class Signal { Silence, Denormal, NaN, Infinite, Huge, Noise };

// A signalling NaN with a payload no arithmetic produces: a guard word that still holds it
// was not written.
constexpr std::uint32_t kCanary = 0x7FA5A5A5u;
constexpr std::size_t kGuardWords = 16;
constexpr int32 kMaxBlock = 4096;

bool isCanary(float x) {
    std::uint32_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    return bits == kCanary;
}

float canary() {
    float x;
    std::memcpy(&x, &kCanary, sizeof x);
    return x;
}

bool finiteSignal(Signal s) {
    return s != Signal::NaN && s != Signal::Infinite;
}

float sample(Signal signal, Random& rng) {
    switch (signal) {
    case Signal::Silence:
        return 0.0f;
    case Signal::Denormal:
        return (rng() & 1) ? 1.0e-41f : -1.0e-41f;
    case Signal::NaN:
        return std::numeric_limits<float>::quiet_NaN();
    case Signal::Infinite:
        return (rng() & 1) ? std::numeric_limits<float>::infinity()
                           : -std::numeric_limits<float>::infinity();
    case Signal::Huge:
        return (rng() & 1) ? 1.0e9f : -1.0e9f;
    case Signal::Noise:
        return static_cast<float>(rng() % 20001) / 10000.0f - 1.0f;
    }
    return 0.0f;
}

struct GuardedBuffer {
    const zrhost::PinInfo* pin = nullptr;
    std::vector<float> storage;
    float* data() { return storage.data() + kGuardWords; }
    bool input() const { return pin->direction == DirectionIn; }
};

// One audio half with guarded buffers. Also the sink of its output values: a float output that
// is not finite is remembered (without allocating: the sink runs inside process).
class AudioRig final : public zrhost::AudioCallSink {
  public:
    AudioRig(zrhost::ModuleLibrary& library, const Subject& subject, zrhost::HostContext& context,
             float rate, int32 blockSize)
        : subject_(subject), rate_(rate), blockSize_(blockSize),
          module_(library, zrhost::toUtf16(subject.info.id), context, {blockSize, rate}) {
        module_.setRecording(false);
        module_.setSink(this);
        for (const auto& pin : subject.info.audioPins) {
            if (pin.direction == DirectionOut &&
                (pin.datatype == DatatypeText || pin.datatype == DatatypeBlob))
                textOutput_ = true;
            if (pin.datatype != DatatypeAudio) continue;
            GuardedBuffer b;
            b.pin = &pin;
            b.storage.assign(static_cast<std::size_t>(blockSize) + 2 * kGuardWords, canary());
            std::fill_n(b.data(), blockSize, 0.0f);
            buffers_.push_back(std::move(b));
        }
    }

    // Attaches the buffers and opens; a message when the half cannot be built.
    std::string open() {
        if (!module_.valid()) return "createInstance failed";
        for (auto& b : buffers_)
            module_.attachBuffer(b.pin->id, b.data());
        module_.open();
        return {};
    }
    std::string reopen() {
        variableValue_ = false;
        resetAudioThreadWatch();
        module_.open();
        return check(0, true, "after a second open");
    }

    // One block of `frames` samples: inputs filled with `signal`, control values at random
    // times (finite ones when `signal` is finite).
    std::string run(int32 frames, Signal signal, Random& rng) {
        const bool finite = finiteSignal(signal);
        for (auto& b : buffers_)
            if (b.input() || subject_.blind)
                for (int32 i = 0; i < frames; ++i)
                    b.data()[i] = sample(signal, rng);
        zrhost::EventList events;
        variableValue_ = false;
        anyValue_ = false;
        buildEvents(events, frames, finite, rng);
        if (anyValue_ && (textOutput_ || allowance_.allocatesOnValues)) variableValue_ = true;
        badOutputPin_ = -1;
        resetAudioThreadWatch();
        {
            AudioThreadScope watch;
            module_.processBlock(events, frames);
        }
        ++blocks_;
        return check(frames, finite, "");
    }

    void pinValue(zrhost::AudioModule&, int32, int32 pinId, int32 size, const void* data) override {
        if (subject_.blind) return;
        // A loop rather than ModuleInfo::audioPin, which builds only with the catalog.
        const zrhost::PinInfo* pin = nullptr;
        for (const auto& p : subject_.info.audioPins)
            if (p.id == pinId) pin = &p;
        if (pin && (pin->datatype == DatatypeText || pin->datatype == DatatypeBlob))
            variableValue_ = true; // built as a string on the audio thread
        if (size != 4 || !data || !pin || pin->datatype != DatatypeFloat) return;
        float x;
        std::memcpy(&x, data, 4);
        if (!std::isfinite(x) && badOutputPin_ < 0) badOutputPin_ = pinId;
    }
    void pinStreaming(zrhost::AudioModule&, int32, int32, bool) override {}

  private:
    void buildEvents(zrhost::EventList& events, int32 frames, bool finite, Random& rng) {
        auto when = [&] {
            return static_cast<int32>(below(rng, static_cast<std::uint32_t>(frames)));
        };
        if (blocks_ == 0) events.addGraphStart(0);
        for (const auto& b : buffers_) {
            // Pins of unknown type start streaming once, as a host's connected inputs do.
            if (subject_.blind && blocks_ == 0) events.addStreamingStart(0, b.pin->id);
            if (!b.input() || subject_.blind) continue;
            if (blocks_ == 0 || below(rng, 8) == 0)
                events.addStreamingStart(when(), b.pin->id);
            else if (below(rng, 8) == 0)
                events.addStreamingStop(when(), b.pin->id);
        }
        for (const auto& pin : subject_.info.audioPins) {
            if (pin.direction != DirectionIn) continue;
            if (pin.datatype == DatatypeAudio && !subject_.blind) continue;
            if (blocks_ == 0 || below(rng, 3) == 0) {
                variableValue_ |= addHostileValue(events, when(), pin, subject_.blind, finite, rng);
                anyValue_ = true;
            }
        }
    }

    std::string where(const char* note) const {
        return "block " + std::to_string(blocks_) + " at " +
               std::to_string(static_cast<long>(rate_)) + " Hz" +
               (*note ? std::string(" ") + note : std::string());
    }

    std::string check(int32 frames, bool finite, const char* note) {
        for (auto& b : buffers_) {
            const float* s = b.storage.data();
            const std::size_t end = kGuardWords + static_cast<std::size_t>(blockSize_);
            for (std::size_t i = 0; i < kGuardWords; ++i) {
                if (!isCanary(s[i]))
                    return where(note) + ": write before the buffer of pin " +
                           std::to_string(b.pin->id);
                if (!isCanary(s[end + i]))
                    return where(note) + ": write after the end of the buffer of pin " +
                           std::to_string(b.pin->id);
            }
        }
        // A text or byte value is copied into its pin on the audio thread, and a value longer
        // than any before needs storage; a module with a text output builds the string when an
        // input changes. Blocks that deliver such values, or any value to such a module (or to
        // one allowed to, see allowanceFor), may allocate; they may not lock. Blocks of audio
        // alone are held to no allocation at all.
        const char* allocation = variableValue_ ? nullptr : firstAudioThreadAllocation();
        for (const char* what : {allocation, firstAudioThreadLock()})
            if (what) return where(note) + ": " + what + " on the audio thread while process ran";
        if (!finite || allowance_.nonFinite) return {};
        if (badOutputPin_ >= 0)
            return where(note) + ": output pin " + std::to_string(badOutputPin_) +
                   " sent a value that is not finite, from finite input";
        for (auto& b : buffers_) {
            if (b.input() && !subject_.blind) continue;
            for (int32 i = 0; i < frames; ++i)
                if (!std::isfinite(b.data()[i]))
                    return where(note) + ": pin " + std::to_string(b.pin->id) + " sample " +
                           std::to_string(i) + " is " +
                           (std::isnan(b.data()[i]) ? "NaN" : "infinite") + " from finite input";
        }
        return {};
    }

    const Subject& subject_;
    float rate_;
    int32 blockSize_;
    zrhost::AudioModule module_;
    std::vector<GuardedBuffer> buffers_;
    int blocks_ = 0;
    int32 badOutputPin_ = -1;
    const ModuleAllowance allowance_ = allowanceFor(subject_.info.id);
    bool textOutput_ = false;    // the module sends text or bytes: built when an input changes
    bool variableValue_ = false; // this block may allocate (see check)
    bool anyValue_ = false;      // this block delivers a control value
};

int32 randomFrames(Random& rng) {
    // Now and then the extremes, otherwise any size.
    switch (below(rng, 8)) {
    case 0:
        return 1;
    case 1:
        return kMaxBlock;
    default:
        return 1 + static_cast<int32>(below(rng, kMaxBlock));
    }
}

std::string runBlocks(AudioRig& rig, int count, Signal signal, Random& rng) {
    for (int i = 0; i < count; ++i)
        if (auto failure = rig.run(randomFrames(rng), signal, rng); !failure.empty())
            return failure;
    return {};
}

std::string createDestroy(zrhost::ModuleLibrary& library, const Subject& subject) {
    zrhost::HostContext context;
    const std::u16string id = zrhost::toUtf16(subject.info.id);
    for (int i = 0; i < 200; ++i)
        if (!zrhost::AudioModule(library, id, context).valid())
            return "createInstance failed on round " + std::to_string(i);
    // Opened and destroyed without ever processing.
    for (int i = 0; i < 20; ++i) {
        AudioRig rig(library, subject, context, 44100.0f, 64);
        if (auto failure = rig.open(); !failure.empty()) return failure;
    }
    return {};
}

std::string reopen(zrhost::ModuleLibrary& library, const Subject& subject, Random& rng) {
    // The shared memory (tables computed once) outlives the first instance, as in a host.
    zrhost::HostContext context;
    for (int instance = 0; instance < 2; ++instance) {
        AudioRig rig(library, subject, context, 48000.0f, kMaxBlock);
        if (auto failure = rig.open(); !failure.empty()) return failure;
        if (auto failure = runBlocks(rig, 4, Signal::Noise, rng); !failure.empty()) return failure;
        if (auto failure = rig.reopen(); !failure.empty()) return failure;
        if (auto failure = runBlocks(rig, 4, Signal::Noise, rng); !failure.empty())
            return "after a second open, " + failure;
    }
    return {};
}

std::optional<Signal> signalOf(Case c) {
    switch (c) {
    case Case::Silence:
        return Signal::Silence;
    case Case::Denormals:
        return Signal::Denormal;
    case Case::NaN:
        return Signal::NaN;
    case Case::Infinities:
        return Signal::Infinite;
    case Case::HugeValues:
        return Signal::Huge;
    case Case::RandomValues:
        return Signal::Noise;
    default:
        return std::nullopt;
    }
}

} // namespace

std::string runAudioCase(zrhost::ModuleLibrary& library, const Subject& subject, Case c,
                         Random& rng) {
    if (c == Case::CreateDestroy) return createDestroy(library, subject);
    if (c == Case::Reopen) return reopen(library, subject, rng);
    zrhost::HostContext context;
    if (c == Case::SampleRates) {
        for (float rate : {22050.0f, 44100.0f, 48000.0f, 96000.0f, 192000.0f}) {
            AudioRig rig(library, subject, context, rate, kMaxBlock);
            if (auto failure = rig.open(); !failure.empty()) return failure;
            if (auto failure = runBlocks(rig, 6, Signal::Noise, rng); !failure.empty())
                return failure;
        }
        return {};
    }
    const Signal signal = signalOf(c).value_or(Signal::Noise);
    AudioRig rig(library, subject, context, 44100.0f, kMaxBlock);
    if (auto failure = rig.open(); !failure.empty()) return failure;
    return runBlocks(rig, c == Case::BlockSizes ? 40 : 16, signal, rng);
}

} // namespace zrvalidate
