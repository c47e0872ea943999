// Test-only modules, each with one fault the validator must name: allocating with operator
// new or malloc, taking a lock, writing before its output buffer, sending NaN, hanging and
// crashing inside process; and one that does nothing wrong. Built into a library of their own,
// never into the shipped one.
#include "framework/mp_base.h"
#include "framework/mp_factory.h"
#include "framework/mp_pins.h"

#include <cstdlib>
#include <limits>
#include <mutex>
#include <vector>

namespace {

using gmpi::int32;

enum class Fault { None, Allocates, Mallocs, Locks, WritesBefore, SendsNaN, Hangs, Crashes };

template <Fault F>
class Faulty final : public gmpi::MpBase {
  public:
    explicit Faulty(gmpi::IMpUnknown* host) : MpBase(host) {
        initializePin(0, in);
        initializePin(1, out);
    }
    ~Faulty() override { std::free(block); }
    int32 MP_STDCALL open() override {
        setBlockRoutine(&Faulty::subProcess);
        return MpBase::open();
    }
    void subProcess(int32 offset, int32 frames) {
        const float* x = in.getBuffer() + offset;
        float* y = out.getBuffer() + offset;
        if constexpr (F == Fault::Allocates) history.assign(history.size() + frames, 0.0f);
        if constexpr (F == Fault::Mallocs) {
            std::free(block); // kept in a member, so that the pair cannot be optimised away
            block = std::malloc(static_cast<std::size_t>(frames) * sizeof(float));
        }
        if constexpr (F == Fault::Locks) const std::lock_guard<std::mutex> hold(mutex);
        if constexpr (F == Fault::WritesBefore) y[-offset - 1] = 0.0f;
        if constexpr (F == Fault::Hangs) {
            volatile int spin = 0;
            while (spin >= 0)
                spin = spin % 2;
        }
        if constexpr (F == Fault::Crashes) std::abort();
        for (int32 i = 0; i < frames; ++i)
            y[i] = F == Fault::SendsNaN ? std::numeric_limits<float>::quiet_NaN() : x[i];
    }

  private:
    gmpi::AudioInPin in{"In"};
    gmpi::AudioOutPin out{"Out"};
    std::vector<float> history;
    void* block = nullptr;
    std::mutex mutex;
};

template <Fault F>
gmpi::IMpUnknown* create(gmpi::IMpUnknown* host) {
    return gmpi::createAudio<Faulty<F>>(host);
}

const int32 registered[] = {
    gmpi::registerAudioModule(u"ZR Test Clean", &create<Fault::None>),
    gmpi::registerAudioModule(u"ZR Test Allocates", &create<Fault::Allocates>),
    gmpi::registerAudioModule(u"ZR Test Mallocs", &create<Fault::Mallocs>),
    gmpi::registerAudioModule(u"ZR Test Locks", &create<Fault::Locks>),
    gmpi::registerAudioModule(u"ZR Test Writes Before", &create<Fault::WritesBefore>),
    gmpi::registerAudioModule(u"ZR Test Sends NaN", &create<Fault::SendsNaN>),
    gmpi::registerAudioModule(u"ZR Test Hangs", &create<Fault::Hangs>),
    gmpi::registerAudioModule(u"ZR Test Crashes", &create<Fault::Crashes>),
};

} // namespace
