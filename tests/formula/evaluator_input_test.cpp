// Hostile input for the evaluator: overlong and deeply nested texts, long chains, extreme
// numbers, embedded zeros; evaluators on two threads; and runs that must not allocate.
#include "modules/formula/Evaluator.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <new>
#include <string>
#include <thread>

using namespace zr;

namespace {

std::atomic<long> allocations{0};

std::string repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i)
        out += s;
    return out;
}

struct Outcome {
    int code;
    double value;
};
Outcome eval(const std::string& text) {
    Evaluator ev;
    double r = 123.0;
    const int code = ev.evaluate(text, r);
    return {code, r};
}

// 499 characters is the longest expression; one more is refused as a syntax error at index
// 499 rather than evaluated in part.
TEST(EvaluatorInput, LengthLimit) {
    const std::string longest = "1" + repeat("+1", 249);
    ASSERT_EQ(longest.size(), 499u);
    EXPECT_EQ(eval(longest).code, EvalOk);
    EXPECT_EQ(eval(longest).value, 250);
    EXPECT_EQ(eval(longest + " ").code, EvalSyntax);
    Evaluator ev;
    double r = 1;
    EXPECT_EQ(ev.evaluate(repeat("(", 10000), r), EvalSyntax);
    EXPECT_EQ(ev.lastError().position, Formula::kMaxLength);
    EXPECT_EQ(r, 0.0);
}

// Nesting that fits in 499 characters is evaluated whole; an unclosable depth stops with
// "Unbalanced parenthesis" instead of running the parser's recursion further.
TEST(EvaluatorInput, DeepNesting) {
    const struct {
        std::string text;
        int code;
        double value;
    } cases[] = {
        {repeat("(", 249) + "7" + repeat(")", 249), EvalOk, 7}, // the deepest closable
        {repeat("abs(", 124) + "-2", EvalOk, 2},                // closed by the end of text
        {repeat("-(", 166) + "1" + repeat(")", 166), EvalOk, 1},
        {repeat("(", 499), EvalUnbalanced, 0},
        {repeat("(", 300) + "1", EvalUnbalanced, 0},
        {repeat("sin(", 124) + ")", EvalMissingArgument, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 12) + "... length " + std::to_string(c.text.size()));
        const Outcome o = eval(c.text);
        EXPECT_EQ(o.code, c.code);
        EXPECT_EQ(o.value, c.value);
    }
}

TEST(EvaluatorInput, LongChainsAndExtremeNumbers) {
    const std::string digits40 = "1234567890123456789012345678901234567890";
    const struct {
        std::string text;
        int code;
        double value;
    } cases[] = {
        {"1" + repeat("-1", 249), EvalOk, -248},
        {"2" + repeat("*1", 248), EvalOk, 2},
        {"1" + repeat("/2", 249), EvalOk, std::ldexp(1.0, -249)},
        {repeat("2^", 249) + "2", EvalOk, 4},
        {"1" + repeat("%1", 10) + "/0", EvalDivisionByZero, 0},
        {"1e999", EvalOk, 1}, // no exponents in the language: "e999" is trailing text
        {"1e-999", EvalOk, 1},
        {digits40, EvalOk, 1234567890123456789012345678901234567890.0},
        {"3.141592653589793238462643383279502884197", EvalOk, 3.141592653589793},
        {"1" + repeat("0", 400), EvalOk, HUGE_VAL},
        {"-1" + repeat("0", 400), EvalOk, -HUGE_VAL},
        {"0." + repeat("0", 330) + "1", EvalOk, 0.0},
        {"0." + repeat("0", 307) + "1", EvalOk, 1e-308},
        {repeat("9", 320) + "*0", EvalOk, std::nan("")}, // inf * 0
        {"exp(710)*0", EvalOk, std::nan("")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 24) + "... length " + std::to_string(c.text.size()));
        const Outcome o = eval(c.text);
        EXPECT_EQ(o.code, c.code);
        if (std::isnan(c.value))
            EXPECT_TRUE(std::isnan(o.value));
        else
            EXPECT_EQ(o.value, c.value);
    }
}

// A formula ends at its first zero character; what follows is never read.
TEST(EvaluatorInput, EmbeddedZerosEndTheText) {
    EXPECT_EQ(eval(std::string("1+2\0+5", 6)).value, 3);
    EXPECT_EQ(eval(std::string("\0"
                               "1",
                               2))
                  .code,
              EvalEmpty);
    EXPECT_EQ(eval(std::string("1+\0"
                               "2",
                               4))
                  .code,
              EvalSyntax);
    EXPECT_EQ(eval(std::string("1") + std::string(600, '\0')).value, 1); // not too long
    Evaluator ev;
    EXPECT_EQ(ev.setVariable(std::string("ab\0cd", 5), 4.0), 1);
    double r = 0;
    EXPECT_EQ(ev.evaluate("ab", r), EvalOk);
    EXPECT_EQ(r, 4.0);
}

// Each evaluator keeps its own error record: two threads evaluating different formulas, one
// failing and one not, always read their own code, value and offending token.
TEST(EvaluatorInput, EvaluatorsOnTwoThreadsShareNothing) {
    auto worker = [](const char* failing, int failCode, const char* token, const char* good,
                     double value, std::atomic<int>* wrong) {
        Evaluator ev;
        for (int i = 0; i < 20000; ++i) {
            double r = 0;
            if (ev.evaluate(failing, r) != failCode || std::string(ev.lastError().token) != token ||
                r != 0.0)
                ++*wrong;
            if (ev.evaluate(good, r) != EvalOk || r != value || ev.lastError().code != 0) ++*wrong;
        }
    };
    std::atomic<int> wrong{0};
    std::thread audio(worker, "1 + nosuch", EvalUnknownVariable, "nosuch", "2*(3+4)", 14.0, &wrong);
    std::thread gui(worker, "foo(1)", EvalUnknownFunction, "foo", "max(1,2)^2", 4.0, &wrong);
    audio.join();
    gui.join();
    EXPECT_EQ(wrong.load(), 0);
}

// Running a parsed formula never allocates, whatever its outcome; parsing a correct one
// does not either.
TEST(EvaluatorInput, RunsDoNotAllocate) {
    Evaluator ev;
    ev.setVariable("a", 0.5);
    Formula formulas[4];
    const long before = allocations.load();
    formulas[0].compile("y = sin(a)*2 + hypot(a, 3)^2 - max(-a, 1) % 0.3 / deg(a)");
    formulas[1].compile("1/(a-0.5)");
    formulas[2].compile("unknown + 1");
    formulas[3].compile("_zr_not_in_environment");
    for (int i = 0; i < 1000; ++i) {
        for (const Formula& f : formulas) {
            double r;
            ev.run(f, r);
        }
        ev.setVariable("a", 0.001 * i);
    }
    EXPECT_EQ(allocations.load(), before);
}

} // namespace

// Allocations so far, for the module tests.
long formulaTestAllocations() {
    return allocations.load();
}

// Counts every allocation of the test program: the evaluator is linked into it, and on Linux
// the module library loaded by the tests resolves operator new to this one too.
void* operator new(std::size_t size) {
    ++allocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
