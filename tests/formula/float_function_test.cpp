// "VL Float Function DSP" and "VL Float Function GUI" driven through the host library: the
// formula pins, the variables a and b, persistence, NaN and errors, and the two-way link.
#include "host/audio_module.h"
#include "host/gui_module.h"
#include "host/module_library.h"
#include "modules/formula/Evaluator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

using namespace zrhost;

long formulaTestAllocations(); // evaluator_input_test.cpp

namespace {

constexpr gmpi::int32 kA = 0, kB = 1, kFormulaA = 2, kFormulaB = 3; // GUI pins
constexpr gmpi::int32 kDspFormula = 2;

// One pin event of a block: a float for pins A/B, else a formula text.
struct Ev {
    gmpi::int32 time;
    gmpi::int32 pin;
    float value = 0.0f;
    std::u16string text = {};
};
// What B sent in one block: time and value.
struct Sent {
    gmpi::int32 time;
    float value;
    bool operator==(const Sent& o) const {
        return time == o.time && (value == o.value || (value != value && o.value != o.value));
    }
};
std::ostream& operator<<(std::ostream& os, const Sent& s) {
    return os << "{" << s.time << ", " << s.value << "}";
}

class FloatFunction : public ::testing::Test {
  protected:
    std::unique_ptr<ModuleLibrary> lib = ModuleLibrary::load(ZR_MODULE_LIBRARY_PATH);
    HostContext context;

    std::unique_ptr<AudioModule> dsp() {
        auto m = std::make_unique<AudioModule>(*lib, u"VL Float Function DSP", context);
        EXPECT_EQ(m->createResult(), gmpi::ResultOk);
        m->open();
        m->processBlock(EventList().addGraphStart(0));
        m->clearCalls();
        return m;
    }
    // Runs one block with `events` and returns what B sent during it.
    static std::vector<Sent> block(AudioModule& m, const std::vector<Ev>& events) {
        EventList list;
        for (const Ev& e : events) {
            if (e.pin == kDspFormula)
                list.addText(e.time, e.pin, e.text);
            else
                list.addFloat(e.time, e.pin, e.value);
        }
        m.clearCalls();
        m.processBlock(list);
        std::vector<Sent> out;
        for (const auto& c : m.valuesSent(kB)) {
            float v;
            EXPECT_EQ(c.bytes.size(), 4u);
            std::memcpy(&v, c.bytes.data(), 4);
            out.push_back({c.time, v});
        }
        return out;
    }

    std::unique_ptr<GuiModule> gui() {
        auto m = std::make_unique<GuiModule>(*lib, u"VL Float Function GUI", context);
        EXPECT_EQ(m->createResult(), gmpi::ResultOk);
        m->initialize();
        return m;
    }
};

// Each row is one block of the script and what B sends in it.
TEST_F(FloatFunction, DspScript) {
    const std::u16string tooLong = u"1" + std::u16string(600, u' ');
    const struct {
        const char* what;
        std::vector<Ev> events;
        std::vector<Sent> sent;
    } script[] = {
        {"formula and A in one group", {{0, kDspFormula, 0, u"A*2"}, {0, kA, 1.5f}}, {{0, 3.0f}}},
        {"A at time 10", {{10, kA, 4.0f}}, {{10, 8.0f}}},
        {"an equal result sends nothing", {{3, kA, 4.0f}}, {}},
        {"a changing input, sample by sample",
         {{0, kA, 0.1f}, {1, kA, 0.2f}, {2, kA, 0.2f}, {3, kA, -1.0f}},
         {{0, 0.2f}, {1, 0.4f}, {3, -2.0f}}},
        {"the single-precision input is widened",
         {{0, kDspFormula, 0, u"a - 0.1"}, {0, kA, 0.1f}},
         {{0, static_cast<float>(static_cast<double>(0.1f) - 0.1)}}},
        {"empty formula is 0", {{5, kDspFormula, 0, u""}}, {{5, 0.0f}}},
        {"new formula, same A", {{0, kDspFormula, 0, u"sqrt(a*100)"}, {0, kA, 4.0f}}, {{0, 20.0f}}},
        {"NaN is sent as 0", {{0, kDspFormula, 0, u"sqrt(-1)"}}, {{0, 0.0f}}},
        {"infinity is sent", {{0, kDspFormula, 0, u"log(a-4)"}}, {{0, -HUGE_VALF}}},
        {"an error is sent as 0", {{0, kDspFormula, 0, u"1/(a-4)"}}, {{0, 0.0f}}},
        {"variables persist", {{0, kDspFormula, 0, u"n=a"}}, {{0, 4.0f}}},
        {"... and accumulate",
         {{0, kDspFormula, 0, u"n=n+1"}, {1, kA, 4.0f}, {2, kA, 5.0f}},
         {{0, 5.0f}, {1, 6.0f}, {2, 7.0f}}},
        {"text after a zero is not read",
         {{0, kDspFormula, 0, std::u16string(u"9\0+1", 4)}},
         {{0, 9.0f}}},
        {"an overlong text is refused", {{0, kDspFormula, 0, tooLong}}, {{0, 0.0f}}},
        {"non-ASCII text is a syntax error",
         {{0, kDspFormula, 0, u"2"}, {1, kDspFormula, 0, u"\u00e9\U0001F600"}},
         {{0, 2.0f}, {1, 0.0f}}},
        {"no exponents: e300 is trailing text", {{0, kDspFormula, 0, u"1e300*a"}}, {{0, 1.0f}}},
        {"double to float overflow", {{0, kDspFormula, 0, u"10^300"}}, {{0, HUGE_VALF}}},
    };
    auto m = dsp();
    for (const auto& row : script) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(block(*m, row.events), row.sent);
    }
}

// Each instance has its own variables.
TEST_F(FloatFunction, DspInstancesDoNotShareVariables) {
    auto first = dsp();
    auto second = dsp();
    EXPECT_EQ(block(*first, {{0, kDspFormula, 0, u"q=5"}}), (std::vector<Sent>{{0, 5.0f}}));
    block(*second, {{0, kDspFormula, 0, u"q+1"}, {0, kA, 1.0f}});
    EXPECT_EQ(block(*second, {{0, kDspFormula, 0, u"q=q+1"}}), std::vector<Sent>{});
    EXPECT_EQ(block(*first, {{0, kDspFormula, 0, u"q=q+1"}}), (std::vector<Sent>{{0, 6.0f}}));
}

// With the formula parsed, blocks whose input changes on every frame do not allocate.
TEST_F(FloatFunction, DspBlocksDoNotAllocate) {
    auto m = dsp();
    m->setRecording(false);
    block(*m, {{0, kDspFormula, 0, u"sin(a)*2 + hypot(a, 3)^2 - max(-a, 1) % 0.3 / deg(a)"}});
    std::vector<std::unique_ptr<EventList>> blocks;
    for (int b = 0; b < 4; ++b) {
        blocks.push_back(std::make_unique<EventList>());
        for (int i = 0; i < 64; ++i)
            blocks.back()->addFloat(i, kA, 0.01f * static_cast<float>(b * 64 + i));
    }
    const long before = formulaTestAllocations();
    for (int repeat = 0; repeat < 10; ++repeat)
        for (const auto& events : blocks)
            m->processBlock(*events);
    EXPECT_EQ(formulaTestAllocations(), before);
}

TEST_F(FloatFunction, GuiLinksBothWays) {
    auto m = gui();
    const struct {
        const char* what;
        gmpi::int32 pin;
        float value;
        std::u16string text;
        std::vector<gmpi::int32> sentPins;
        std::vector<float> sentValues;
    } script[] = {
        {"A with the initial formula 0: B stays 0", kA, 3.0f, u"", {}, {}},
        {"formula for B", kFormulaB, 0, u"A/2", {kB}, {1.5f}},
        {"B echoed back with formula 0 for A", kB, 1.5f, u"", {kA}, {0.0f}},
        {"formula for A", kFormulaA, 0, u"B*2", {kA}, {3.0f}},
        {"A", kA, 10.0f, u"", {kB}, {5.0f}},
        {"B echoed back: A is already 10", kB, 5.0f, u"", {}, {}},
        {"B from the panel", kB, -1.0f, u"", {kA}, {-2.0f}},
        {"A echoed back: B is already -1", kA, -2.0f, u"", {}, {}},
        // "a" keeps its last value (-2) while the formula for A runs
        {"formula for A reads a and b", kFormulaA, 0, u"a*100+b", {kA}, {-201.0f}},
        {"formula for B reads b", kFormulaB, 0, u"b*3", {kB}, {-3.0f}},
        {"empty formula is 0", kFormulaA, 0, u"", {kA}, {0.0f}},
        {"NaN is 0", kFormulaB, 0, u"acos(5)", {kB}, {0.0f}},
        {"error is 0", kFormulaB, 0, u"1+", {}, {}},
        {"variables persist", kFormulaB, 0, u"k=7", {kB}, {7.0f}},
        {"... across formulas", kFormulaA, 0, u"k*2", {kA}, {14.0f}},
    };
    for (const auto& row : script) {
        SCOPED_TRACE(row.what);
        m->clearRecord();
        if (row.pin == kA || row.pin == kB)
            m->deliverFloat(row.pin, row.value);
        else
            m->deliverText(row.pin, row.text);
        std::vector<gmpi::int32> pins;
        std::vector<float> values;
        for (const auto& t : m->transmits()) {
            pins.push_back(t.pinId);
            float v;
            std::memcpy(&v, t.bytes.data(), 4);
            values.push_back(v);
        }
        EXPECT_EQ(pins, row.sentPins);
        EXPECT_EQ(values, row.sentValues);
    }
    EXPECT_NE(m->deliverFloat(4, 1.0f), gmpi::ResultOk); // four pins only
}

} // namespace
