// The filter's shared coefficient tables, read from the host's shared-memory pool after open:
// their sizes, their contents at chosen entries (worked out here from the closed forms), and
// how instances share them.
#include "tests/filters/filter_rig.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>

namespace filtertest {
namespace {

std::vector<float> table(const zrhost::HostContext& context, std::u16string_view name, float rate) {
    const auto bytes = context.sharedMemory().find(name, rate);
    std::vector<float> t(bytes.size() / sizeof(float));
    if (!t.empty()) std::memcpy(t.data(), bytes.data(), t.size() * sizeof(float));
    return t;
}

// Closed forms. Entry i stands for the pin value i / 10000 (i x 0.001 V).
double ladderHz(int i) {
    return 440.0 * std::pow(2.0, i * 0.001 - 0.152999 - 5.0);
}
double kOf(double c) {
    return c * 3.516399 - c * 0.52505 * c - 1.0;
}
double ok0(int i, double sr) {
    return kOf(2.0 * ladderHz(i) / sr);
}
double ok0x2(int i, double sr) {
    return kOf(2.0 * ladderHz(i) / (2.0 * sr));
}
double w18(int i) {
    return i * 0.001 - 0.4;
}
double hz18(int i) {
    const double x = std::clamp(w18(i) + (w18(i) - 9.1) * 0.093, 0.0, 10.0);
    return 440.0 * std::pow(2.0, x - 5.0);
}
double level18(int i) {
    return std::max(0.0, (20.8 - (2.0 * w18(i) - 7.8)) * 0.102);
}
double k18(double c) {
    return c * 3.2 - c * 0.71 * c - 0.9987;
}

struct Expectation {
    const char16_t* name;
    int entries;
    std::function<double(int, double)> value;
};

std::vector<Expectation> expectations() {
    return {
        {u"QORV_CS_ok0-pitch", 10551, ok0},
        {u"QORV_CS_os0-pitch", 10551,
         [](int i, double sr) {
             return std::exp((1.449986 - (ok0(i, sr) + 1.0) * 0.5) * 1.229991) - 0.930001;
         }},
        {u"QORV_CS_osloo1-pitch", 10551,
         [](int i, double sr) { return std::exp(3.15 - (ok0(i, sr) + 1.0) * 0.5 * 1.75); }},
        {u"QORV_CS_ohp-pitch", 10551,
         [](int i, double sr) {
             const double c = (sr * 0.5 - ladderHz(i)) * 2.0 / sr;
             return c * 3.6 - c * 1.5999 * c - 1.0;
         }},
        {u"QORV_CS_ok0_2-pitch", 10551, ok0x2},
        {u"QORV_CS_oslo-pitch", 10551,
         [](int i, double sr) {
             const double g2 = (ok0x2(i, sr) + 1.0) * 0.5;
             return std::exp((g2 * 0.5 - 0.78) * -2.2) - 1.3;
         }},
        {u"QORV_CS_oslo1-pitch", 10551,
         [](int i, double sr) { return std::exp(3.15 - (ok0x2(i, sr) + 1.0) * 0.5 * 1.75); }},
        {u"QORV_CS_ok0_18_b", 10401, [](int i, double sr) { return k18(2.0 * hz18(i) / sr); }},
        {u"QORV_CS_or0_18_b", 10401,
         [](int i, double sr) {
             return level18(i) * std::exp(3.15 - (k18(2.0 * hz18(i) / sr) + 1.0) * 0.5 * 1.75);
         }},
        {u"QORV_CS_ok0_18_bo", 10401, [](int i, double sr) { return k18(hz18(i) / sr); }},
        {u"QORV_CS_or0_18_bo", 10401,
         [](int i, double sr) {
             return level18(i) * std::exp(3.15 - (k18(hz18(i) / sr) + 1.0) * 0.5 * 1.75);
         }},
        {u"QORV_CS_o_Tanh", 20001, [](int i, double) { return std::tanh(i * 0.0001 - 1.0); }},
        {u"QORV_CS_SV-volt", 10001,
         [](int i, double sr) {
             return 2.0 * std::sin(3.1415927 * 440.0 * std::pow(2.0, i * 0.001 - 5.0) / sr);
         }},
        {u"QORV_CS_SV-res", 10001,
         [](int i, double) {
             const double x = i * 0.0512;
             return (x * (x * 0.000025 + 0.009) + 7.8) * 0.1;
         }},
    };
}

std::string utf8(std::u16string_view s) {
    return std::string(s.begin(), s.end());
}

TEST(FilterTables, HoldTheirValuesAtChosenEntries) {
    for (float rate : {44100.0f, 48000.0f}) {
        zrhost::HostContext context;
        FilterRig rig(1, rate, 64, &context);
        for (const auto& e : expectations()) {
            SCOPED_TRACE(utf8(e.name) + " at " + std::to_string(rate));
            const auto t = table(context, e.name, rate);
            // Room for one entry more than filled, so the top interpolated read stays inside.
            ASSERT_EQ(t.size(), static_cast<std::size_t>(e.entries + 1));
            // First, last and a few inside; the ladder entries stop at 9.9 V, where the
            // coefficient still describes a stable pole at these rates.
            const int top = e.entries == 10551 ? 9900 : e.entries - 1;
            for (int i : {0, 1, 777, 2500, 5000, 7321, top}) {
                const double expected = e.value(i, rate);
                EXPECT_NEAR(t[static_cast<std::size_t>(i)], expected,
                            2e-6 + 2e-6 * std::fabs(expected))
                    << "entry " << i;
            }
        }
    }
}

TEST(FilterTables, InstancesAtOneRateShareOneFilling) {
    zrhost::HostContext context;
    FilterRig first(1, 44100.0f, 64, &context);
    const std::size_t blocks = context.sharedMemory().blockCount();
    EXPECT_EQ(blocks, 14u);

    // Mark one entry through the pool; a second instance must neither refill nor reallocate.
    void* p = nullptr;
    gmpi::int32 needInit = -1;
    ASSERT_EQ(
        context.sharedMemory().allocate(u"QORV_CS_ok0-pitch", &p, 44100.0f, 4 * 10552, needInit),
        gmpi::ResultOk);
    EXPECT_EQ(needInit, 0);
    static_cast<float*>(p)[123] = 42.0f;
    FilterRig second(5, 44100.0f, 64, &context);
    EXPECT_EQ(context.sharedMemory().blockCount(), blocks);
    EXPECT_EQ(table(context, u"QORV_CS_ok0-pitch", 44100.0f)[123], 42.0f);

    // Another rate gets its own tables, with coefficients of that rate.
    FilterRig third(1, 96000.0f, 64, &context);
    EXPECT_EQ(context.sharedMemory().blockCount(), 2 * blocks);
    EXPECT_NEAR(table(context, u"QORV_CS_ok0-pitch", 96000.0f)[5000], ok0(5000, 96000.0), 1e-6);
}

// White noise, at most 1 in magnitude.
FilterRig::Signal noise(unsigned seed) {
    auto rng = std::make_shared<std::mt19937>(seed);
    return [rng](long) { return std::uniform_real_distribution<float>(-1.0f, 1.0f)(*rng); };
}

float peak(const std::vector<float>& y) {
    float m = 0.0f;
    for (float v : y)
        m = std::isfinite(v) ? std::max(m, std::fabs(v)) : std::numeric_limits<float>::infinity();
    return m;
}

TEST(FilterTables, CoefficientsStayStableAtUnusualRates) {
    // At 22.05 kHz the top of the low-pass pitch range lies near the Nyquist frequency, where
    // the coefficient fit passes 1; at 192 kHz the high-pass fit does so at the lowest pitches.
    // The filters must stay bounded all the same.
    for (int mode : {1, 4, 9, 12}) {
        SCOPED_TRACE(mode);
        FilterRig rig(mode, 22050.0f);
        rig.controls = {0.99f, 0.0f, 0.0f};
        EXPECT_LT(peak(rig.run(noise(1), 44100)), 4.0f);
    }
    for (int mode : {10, 18}) {
        SCOPED_TRACE(mode);
        FilterRig rig(mode, 192000.0f);
        rig.controls = {0.0f, 0.0f, 0.0f};
        EXPECT_LT(peak(rig.run(noise(2), 4 * 192000)), 4.0f);
    }
}

} // namespace
} // namespace filtertest
