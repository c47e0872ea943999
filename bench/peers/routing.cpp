// Effect and routing rows: the state-variable filter "ZR-SVF-02", the delay "ZR Delay v3" with
// a modulated time, the panner "ZR PanST CS" with a moving pan and the gain matrix
// "ZR MATRICE 12" (per channel pair), each beside a Faust peer checked for what it computes:
// gain at the cutoff, echo time in samples, the equal-power law, the products.
#include "bench/peers/units.h"

#include <cmath>
#include <numbers>
#include <string>
#include <utility>

#if defined(ZR_HAVE_FAUST)
#include "bench/peers/faust_runner.h"
#include "faust_delay.h"
#include "faust_matrix.h"
#include "faust_pan.h"
#include "faust_svf.h"
#endif

namespace peers {
// Every row here has a Faust peer: without Faust there are none.
#if defined(ZR_HAVE_FAUST)
namespace {

using Fill = std::function<float(int pin, int i)>;

struct Setup {
    const char16_t* id;
    std::vector<int> ins, outs;
    std::vector<std::pair<int, int>> ints; // int pin values at the start
    std::vector<int> streaming;            // inputs declared streaming
    Fill fill;
};

Make unit(Setup s) {
    return [s] {
        std::vector<int> pins = s.ins;
        pins.insert(pins.end(), s.outs.begin(), s.outs.end());
        auto r = std::make_unique<ModuleRunner>(s.id, pins, s.outs.front());
        for (int pin : s.ins)
            r->fill(pin, [&](int i) { return s.fill(pin, i); });
        r->start([&](zrhost::EventList& ev) {
            for (int pin : s.streaming)
                ev.addStreamingStart(0, pin);
            for (auto [pin, value] : s.ints)
                ev.addInt(0, pin, value);
        });
        return std::unique_ptr<Runner>(std::move(r));
    };
}

// "ZR-SVF-02" mode 1 (two low-pass sections): Input 0, Pitch 1, Resonance 2, Output 3, Mode 4,
// Blend 6, On 7.
Setup svf(bool changing) {
    return {u"ZR-SVF-02",
            {0, 1, 2, 5, 6},
            {3},
            {{4, 1}, {7, 1}},
            {0, 1, 2},
            [changing](int pin, int i) {
                if (pin == 1) return ramp(changing, 0.5f, 0.0005f, i);
                if (pin == 2) return ramp(changing, 0.5f, 0.001f, i);
                if (pin == 6) return 0.3f;
                return pin == 0 ? noise(pin, i) : 0.0f;
            }};
}

// "ZR Delay v3", cubic: Delay In 0, Feedback 1, Time 2, Spread 3, Delay Level 4, Pan 5, Clear 6,
// Output Level 7, outputs 8-10, On 11, Interpolation 12. Time moves every sample.
Setup delay() {
    return {u"ZR Delay v3",
            {0, 1, 2, 3, 4, 5, 6, 7},
            {8, 9, 10},
            {{11, 1}, {12, 1}},
            {0, 2, 5},
            [](int pin, int i) {
                switch (pin) {
                case 0:
                    return noise(pin, i);
                case 1:
                    return 0.5f;
                case 2:
                    return ramp(true, 1.0f, 0.001f, i);
                case 4:
                    return 0.9f;
                case 5:
                    return ramp(true, 0.3f, 0.001f, i);
                case 7:
                    return 1.0f;
                default:
                    return 0.0f;
                }
            }};
}

// "ZR PanST CS" mode 0: In A 0, In B 1, Pan 2, Left 3, Right 4, Mode 5. Pan moves every sample.
Setup panner() {
    return {u"ZR PanST CS", {0, 1, 2}, {3, 4}, {{5, 0}}, {0, 1, 2}, [](int pin, int i) {
                return pin == 2 ? ramp(true, 0.2f, 0.002f, i) : noise(pin, i);
            }};
}

// "ZR MATRICE 12": Common 0, inputs 1-12, outputs 13-24, On 25.
Setup matrix() {
    Setup s{u"ZR MATRICE 12", {}, {},
            {{25, 1}},        {}, [](int pin, int i) {
                return pin == 0 ? 0.7f : noise(pin, i); }};
    for (int p = 0; p <= 12; ++p)
        s.ins.push_back(p);
    for (int p = 13; p <= 24; ++p)
        s.outs.push_back(p);
    s.streaming = s.ins;
    return s;
}

// The state-variable low-pass is Q = 0.5 / (1 - 0.996 res) above its pass band at the cutoff.
Check svfGain() {
    return [] {
        const double g = gainAtCutoff<Faust_svf>(1000.0, 0.5f, 1.0f);
        const double expected = 20.0 * std::log10(0.5 / (1.0 - 0.5 * 0.996));
        return failIf(!(std::fabs(g - expected) <= 0.1),
                      "gain at the cutoff " + std::to_string(g) + " dB");
    };
}

// An impulse comes back after 10 ms (Time 1.0) plus 2 samples: 482 samples at 48 kHz.
Check echoTime() {
    return [] {
        FaustRunner<Faust_delay> r(
            [](int c, long long i) {
                const float in[] = {i == 0 ? 1.0f : 0.0f, 0.0f, 1.0f, 1.0f, 0.5f, 1.0f};
                return in[c];
            },
            true, 2);
        const std::vector<float> x = render(r, 10);
        std::size_t peak = 0;
        for (std::size_t i = 0; i < x.size(); ++i)
            if (std::fabs(x[i]) > std::fabs(x[peak])) peak = i;
        return failIf(peak != 482 || std::fabs(x[peak] - 1.0f) > 1e-4f,
                      "echo at sample " + std::to_string(peak));
    };
}

// Left² + right² is the squared sum of the inputs at every pan; pan 0 is all left.
Check equalPower() {
    return [] {
        for (float pan : {0.0f, 0.25f, 0.7f, 1.0f}) {
            FaustRunner<Faust_pan> r([=](int c, long long) {
                return c == 0 ? 0.3f : c == 1 ? 0.2f : pan;
            });
            r.block();
            const double l = r.output(0)[0], rr = r.output(1)[0];
            if (!(std::fabs(l * l + rr * rr - 0.25) < 1e-6) ||
                (pan == 0.0f && !(std::fabs(rr) < 1e-6)))
                return "pan " + std::to_string(pan) + ": left " + std::to_string(l) + ", right " +
                       std::to_string(rr);
        }
        return std::string();
    };
}

// Every output is its input times the common input.
Check products() {
    return [] {
        FaustRunner<Faust_matrix> r(
            [](int c, long long i) { return c == 0 ? 0.7f : noise(c, static_cast<int>(i)); });
        r.block();
        for (int k = 0; k < 12; ++k)
            for (int i = 0; i < kBlock; ++i)
                if (r.output(k)[i] != 0.7f * noise(k + 1, i)) return "output " + std::to_string(k);
        return std::string();
    };
}

// Peer inputs in .dsp order, fed as the module's pins are.
Make svfPeer(bool changing) {
    const Setup s = svf(changing);
    return faust<Faust_svf>([s](int c, long long i) { return s.fill(c, static_cast<int>(i)); });
}

} // namespace
#endif

std::vector<Row> effectRows() {
    std::vector<Row> rows;
#if defined(ZR_HAVE_FAUST)
    for (bool changing : {false, true})
        rows.push_back({changing ? "svf changing" : "svf steady", unit(svf(changing)),
                        "faust: state-variable low-pass", svfPeer(changing), svfGain()});
    // x, feedback, time, level, pan, output level
    rows.push_back(
        {"delay modulated", unit(delay()), "faust: 4-point delay, feedback, pan",
         faust<Faust_delay>([](int c, long long i) {
             const int n = static_cast<int>(i);
             const float in[] = {
                 noise(0, n), 0.5f, ramp(true, 1.0f, 0.001f, n), 0.9f, ramp(true, 0.3f, 0.001f, n),
                 1.0f};
             return in[c];
         }),
         echoTime()});
    rows.push_back({"panner changing", unit(panner()), "faust: equal-power panner",
                    faust<Faust_pan>([](int c, long long i) {
                        const int n = static_cast<int>(i);
                        return c == 2 ? ramp(true, 0.2f, 0.002f, n) : noise(c, n);
                    }),
                    equalPower()});
    Row m{"matrix per pair", unit(matrix()), "faust: twelve products",
          faust<Faust_matrix>(
              [](int c, long long i) { return c == 0 ? 0.7f : noise(c, static_cast<int>(i)); }),
          products()};
    m.perUnit = 12.0;
    rows.push_back(std::move(m));
#endif
    return rows;
}

} // namespace peers
