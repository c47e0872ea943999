// The evaluator's language: precedence and associativity, every function against the C
// library, variables and constants, and every error code with the point where it is found.
// Expected values are written as the C++ expressions they must equal.
#include "modules/formula/Evaluator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using namespace zr;

namespace {

struct Case {
    std::string text;
    int code;
    double value; // ignored unless code is 0
};

const double kNan = std::nan("");

// Runs each case on a fresh evaluator with a = 1.5 and b = -2.
void expectCases(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        Evaluator ev;
        ev.setVariable("a", 1.5);
        ev.setVariable("b", -2.0);
        double result = 123.0;
        const int code = ev.evaluate(c.text, result);
        EXPECT_EQ(code, c.code) << evaluatorMessage(code);
        if (c.code != EvalOk) {
            EXPECT_EQ(result, 0.0);
        } else if (std::isnan(c.value)) {
            EXPECT_TRUE(std::isnan(result)) << result;
        } else {
            EXPECT_DOUBLE_EQ(result, c.value);
        }
    }
}

TEST(Evaluator, PrecedenceAssociativityAndSigns) {
    expectCases({
        {"2+3*4", 0, 14},
        {"(2+3)*4", 0, 20},
        {"10-4-3", 0, 3},
        {"64/4/2", 0, 8},
        {"2*3%4", 0, 2},
        {"2*3^2", 0, 18},
        {"-2^2", 0, 4}, // the sign binds tighter than ^
        {"2^-1", 0, 0.5},
        {"2^3^2", 0, 8}, // one ^ per operand; the rest is ignored
        {"(2^3)^2", 0, 64},
        {"2^(3^2)", 0, 512},
        {"-(1+2)^2", 0, 9},
        {"2^-(1+1)", 0, 0.25},
        {"10%3", 0, 1},
        {"-7%3", 0, std::fmod(-7.0, 3.0)},
        {"7%-3", 0, std::fmod(7.0, -3.0)},
        {"5.5%2", 0, 1.5},
        {"2--3", 0, 5},
        {"2*-3", 0, -6},
        {"+5", 0, 5},
        {"-3*-3", 0, 9},
        {"1/3", 0, 1.0 / 3.0},
        {"0.1+0.2", 0, 0.1 + 0.2},
        {"A*2", 0, 3}, // upper case is read as lower case
        {"a*b", 0, -3},
        {" \t 42 \t", 0, 42},
        {"3 4", 0, 3},  // trailing text ignored
        {"1+2)", 0, 3}, // a stray bracket too
        {"1.5.5", 0, 1.5},
        {".5", 0, 0.5},
        {"5.", 0, 5},
        {".", 0, 0},
        {"1e3", 0, 1}, // no exponents: "e3" is trailing text
        {"pi", 0, 3.141592653589793},
        {"e", 0, 2.718281828459045},
        {"PI*2", 0, 2 * 3.141592653589793},
        {"max(2,3) * -min(4,5)", 0, -12},
        {"sin (0)", 0, 0}, // blanks before the bracket
    });
}

TEST(Evaluator, FunctionsAreTheCLibrarys) {
    const double x = 0.3;
    expectCases({
        {"sin(0.3)", 0, std::sin(x)},
        {"cos(0.3)", 0, std::cos(x)},
        {"tan(0.3)", 0, std::tan(x)},
        {"asin(0.3)", 0, std::asin(x)},
        {"acos(0.3)", 0, std::acos(x)},
        {"atan(0.3)", 0, std::atan(x)},
        {"sinh(0.3)", 0, std::sinh(x)},
        {"cosh(0.3)", 0, std::cosh(x)},
        {"tanh(0.3)", 0, std::tanh(x)},
        {"exp(0.3)", 0, std::exp(x)},
        {"log(0.3)", 0, std::log(x)},
        {"log10(0.3)", 0, std::log10(x)},
        {"sqrt(0.3)", 0, std::sqrt(x)},
        {"floor(-0.3)", 0, -1},
        {"ceil(0.3)", 0, 1},
        {"abs(-0.3)", 0, 0.3},
        {"hypot(3,4)", 0, 5},
        // "e200" closes the call after one argument
        {"hypot(1e200,1e200)", EvalWrongArgumentCount, 0},
        {"deg(pi)", 0, 180},
        {"rad(180)", 0, 3.141592653589793},
        {"deg(rad(33))", 0, 33},
        {"sgn(-0.1)", 0, -1},
        {"sgn(0)", 0, 1},
        {"sgn(-0)", 0, 1},
        {"min(2,3)", 0, 2},
        {"max(2,3)", 0, 3},
        {"sin(pi/2)", 0, 1},
        {"max(2,3", 0, 3}, // the token after the arguments closes the call, here the end
        {"sin(1 2)", 0, std::sin(1.0)},
        // Domain errors are the library's results, not evaluator errors.
        {"sqrt(-1)", 0, kNan},
        {"asin(2)", 0, kNan},
        {"log(0)", 0, -HUGE_VAL},
        {"exp(1000)", 0, HUGE_VAL},
        {"0^-1", 0, HUGE_VAL},
    });
}

// NaN fails every comparison: min and max keep their first argument, sgn gives -1.
TEST(Evaluator, NanInMinMaxAndSgnFollowsTheComparisons) {
    expectCases({
        {"min(sqrt(-1),1)", 0, kNan},
        {"min(1,sqrt(-1))", 0, 1},
        {"max(sqrt(-1),1)", 0, kNan},
        {"max(1,sqrt(-1))", 0, 1},
        {"sgn(sqrt(-1))", 0, -1},
        {"1/sqrt(-1)", 0, kNan}, // a NaN divisor is divided by
    });
}

TEST(Evaluator, EveryErrorCode) {
    expectCases({
        {"", EvalEmpty, 0},
        {"  \t ", EvalEmpty, 0},
        {"1+", EvalSyntax, 0},
        {"2#3", EvalSyntax, 0},
        {")", EvalSyntax, 0},
        {"2^^3", EvalSyntax, 0},
        {"--1", EvalSyntax, 0},
        {"x==1", EvalSyntax, 0},
        {"2\xC3\xA9", EvalSyntax, 0},
        {"(1+2", EvalUnbalanced, 0},
        {"((1)", EvalUnbalanced, 0},
        {"1/0", EvalDivisionByZero, 0},
        {"1/-0", EvalDivisionByZero, 0},
        {"1%0", EvalDivisionByZero, 0},
        {"1/(a-1.5)", EvalDivisionByZero, 0},
        {"x", EvalUnknownVariable, 0},
        {"a=x=3", EvalUnknownVariable, 0}, // a receives x, which must exist
        {"_zr_no_such_variable", EvalUnknownVariable, 0},
        {"foo(1)", EvalUnknownFunction, 0},
        {"foo(1/0)", EvalUnknownFunction, 0}, // found before the arguments
        {"min(2)", EvalWrongArgumentCount, 0},
        {"sin(1,2)", EvalWrongArgumentCount, 0},
        {"sin(1,2,3,4,5)", EvalWrongArgumentCount, 0},
        {"max(1,2,3,4)", EvalWrongArgumentCount, 0},
        {"min(1/0)", EvalDivisionByZero, 0}, // arguments are evaluated before the count
        {"sin()", EvalMissingArgument, 0},
        {"max(1,)", EvalMissingArgument, 0},
        {"max(,1)", EvalMissingArgument, 0},
        {"()", EvalMissingArgument, 0},
        {"x + (1", EvalUnknownVariable, 0}, // the first error in reading order wins
        {"1/0 + (", EvalDivisionByZero, 0},
    });
    // Code 5 needs a full table: see the variable tests.
    EXPECT_STREQ(evaluatorMessage(EvalSyntax), "Syntax error");
    EXPECT_STREQ(evaluatorMessage(EvalUnbalanced), "Unbalanced parenthesis");
    EXPECT_STREQ(evaluatorMessage(EvalDivisionByZero), "Division by zero");
    EXPECT_STREQ(evaluatorMessage(EvalUnknownVariable), "Unknown variable");
    EXPECT_STREQ(evaluatorMessage(EvalTooManyVariables), "Maximum variables exceeded");
    EXPECT_STREQ(evaluatorMessage(EvalUnknownFunction), "Unrecognised function");
    EXPECT_STREQ(evaluatorMessage(EvalWrongArgumentCount), "Wrong number of arguments to function");
    EXPECT_STREQ(evaluatorMessage(EvalMissingArgument), "Missing an argument");
    EXPECT_STREQ(evaluatorMessage(EvalEmpty), "Empty expression");
    EXPECT_STREQ(evaluatorMessage(0), "");
    EXPECT_STREQ(evaluatorMessage(10), "");
}

// The record says where: the index before the scan position and the offending token (the
// function's name for a wrong argument count).
TEST(Evaluator, ErrorRecordNamesPositionAndToken) {
    struct Where {
        const char* text;
        int code, position;
        const char* token;
    };
    const Where cases[] = {
        {"2#3", EvalSyntax, 1, "#"},
        {"1+", EvalSyntax, 1, ""},
        {"x+1", EvalUnknownVariable, 0, "x"},
        {"1 + Foo(2)", EvalUnknownFunction, 6, "foo"},
        {"min(2)", EvalWrongArgumentCount, 5, "min"},
        {"4/0", EvalDivisionByZero, 2, ""},
        {"4/0 +1", EvalDivisionByZero, 4, "+"},
        {"(1", EvalUnbalanced, 1, ""},
        {"   ", EvalEmpty, 2, ""},
    };
    Evaluator ev;
    for (const Where& w : cases) {
        SCOPED_TRACE(w.text);
        double r = 0;
        EXPECT_EQ(ev.evaluate(w.text, r), w.code);
        EXPECT_EQ(ev.lastError().code, w.code);
        EXPECT_EQ(ev.lastError().position, w.position);
        EXPECT_STREQ(ev.lastError().token, w.token);
    }
    double r = 0;
    EXPECT_EQ(ev.evaluate("1+1", r), EvalOk);
    EXPECT_EQ(ev.lastError().code, EvalOk);
}

// A sequence of evaluations on one evaluator: {text, code, value, assigned flag}.
struct Step {
    const char* text;
    int code;
    double value;
    int assigned = -1; // -1: the flag must stay as it was (written on success only)
};

void expectSteps(Evaluator& ev, const std::vector<Step>& steps) {
    for (const Step& s : steps) {
        SCOPED_TRACE(s.text);
        double result = 123.0;
        int assigned = -1;
        EXPECT_EQ(ev.evaluate(s.text, result, assigned), s.code);
        EXPECT_DOUBLE_EQ(result, s.code == EvalOk ? s.value : 0.0);
        EXPECT_EQ(assigned, s.code == EvalOk ? s.assigned : -1);
    }
}

TEST(Evaluator, AssignmentsPersistAndClear) {
    Evaluator ev;
    expectSteps(ev, {
                        {"x", EvalUnknownVariable, 0},
                        {"x=5", 0, 5, 1},
                        {"X*2", 0, 10, 0},
                        {"x = x + 1", 0, 6, 1},
                        {"x=", 0, 0, 1}, // clears x
                        {"x", EvalUnknownVariable, 0},
                        {"n=n+1", EvalUnknownVariable, 0}, // n never comes to exist
                        {"n=1", 0, 1, 1},
                        {"n=n+1", 0, 2, 1},
                        {"n=n+1", 0, 3, 1},
                        {"(y=3)+y", 0, 6, 0}, // assignments inside brackets
                        {"a=y=7", 0, 3, 1},   // a receives y; "=7" is ignored
                        {"a", 0, 3, 0},
                        {"max(z=1,2,3)", EvalWrongArgumentCount, 0},
                        {"z", 0, 1, 0}, // made before the count was checked
                        {"(w=4)+(1", EvalUnbalanced, 0},
                        {"w", 0, 4, 0},
                        {"pi=3", 0, 3, 1}, // a variable hides the constant
                        {"pi", 0, 3, 0},
                        {"pi=", 0, 0, 1},
                        {"pi", 0, 3.141592653589793, 0},
                        {"sin=2", 0, 2, 1}, // a function's name is free as a variable
                        {"sin+sin(0)", 0, 2, 0},
                        {"sin(x=", 0, 0, 0}, // a cleared variable's value is 0
                    });
}

// A name keeps its first 15 characters for lookup, assignment and function search.
TEST(Evaluator, NamesAreCutTo15Characters) {
    Evaluator ev;
    expectSteps(ev, {
                        {"abcdefghijklmnopqrst=4", 0, 4, 1},
                        {"abcdefghijklmnoXYZ", 0, 4, 0},
                        {"abcdefghijklmno", 0, 4, 0},
                        {"abcdefghijklmn", EvalUnknownVariable, 0},
                        {"sinxxxxxxxxxxxxxxxxxxxxx(1)", EvalUnknownFunction, 0},
                        // 40 characters: cut the same way
                        {"q123456789012345678901234567890123456789=2", 0, 2, 1},
                        {"q12345678901234", 0, 2, 0},
                    });
    EXPECT_EQ(ev.lastError().code, EvalOk);
    double r = 0;
    ev.evaluate("abcdefghijklmnopqrstuvwxyz0123456789(1)", r);
    EXPECT_STREQ(ev.lastError().token, "abcdefghijklmno");
}

// The 51st name fails with code 5 and leaves the other 50 as they were.
TEST(Evaluator, FiftyVariablesAtMost) {
    Evaluator ev;
    for (int i = 0; i < Evaluator::kVariableCount; ++i) {
        double r = 0;
        ASSERT_EQ(ev.evaluate("v" + std::to_string(i) + "=" + std::to_string(i), r), EvalOk);
    }
    expectSteps(ev, {
                        {"v50=1", EvalTooManyVariables, 0},
                        {"v50", EvalUnknownVariable, 0},
                        {"v49=v0+v49", 0, 49, 1}, // existing names still take values
                        {"v3=", 0, 0, 1},
                        {"v50=1", 0, 1, 1}, // the freed entry is reused
                    });
    EXPECT_EQ(ev.setVariable("v51", 1.0), 0);
    EXPECT_EQ(ev.setVariable("V50", 2.0), 1);
    ev.clearAllVariables();
    double r = 0;
    EXPECT_EQ(ev.getValue("v50", r), 0);
    EXPECT_EQ(ev.evaluate("v51=1", r), EvalOk);
}

// A free entry is taken before a later entry of the same name is reached, so a name can
// occupy two entries; clearing the first brings the older value back.
TEST(Evaluator, ReusedEntryCanHideAnOlderOneOfTheSameName) {
    Evaluator ev;
    EXPECT_EQ(ev.setVariable("x", 1.0), 1);
    EXPECT_EQ(ev.setVariable("y", 2.0), 1);
    EXPECT_EQ(ev.clearVariable("x"), 1);
    EXPECT_EQ(ev.clearVariable("x"), 0);
    expectSteps(ev, {
                        {"y=5", 0, 5, 1}, // lands in x's old entry, before the older y
                        {"y", 0, 5, 0},
                        {"y=", 0, 0, 1}, // clears the first y only
                        {"y", 0, 2, 0},
                        {"y=", 0, 0, 1},
                        {"y", EvalUnknownVariable, 0},
                    });
}

TEST(Evaluator, UnderscoreNamesReadTheEnvironment) {
#if defined(_WIN32)
    _putenv_s("zrformulatest", "2.5");
#else
    setenv("zrformulatest", "2.5", 1);
#endif
    Evaluator ev;
    expectSteps(ev, {
                        {"_ZRFORMULATEST*2", 0, 5, 0},
                        {"_zrformulatestx", EvalUnknownVariable, 0},
                    });
}

// A formula parsed once runs with the variables of the moment, as often as needed.
TEST(Evaluator, ParsedFormulaRunsAgainWithNewValues) {
    Evaluator ev;
    Formula f;
    f.compile("a*a - 1");
    EXPECT_FALSE(f.assigns());
    for (double a : {0.0, 1.0, -3.0, 0.25, 1e100}) {
        ev.setVariable("a", a);
        double r = 0;
        EXPECT_EQ(ev.run(f, r), EvalOk);
        EXPECT_DOUBLE_EQ(r, a * a - 1);
    }
    Formula g;
    double r = 1;
    EXPECT_EQ(ev.run(g, r), EvalEmpty) << "a default formula is empty";
    g.compile("k = 2");
    EXPECT_TRUE(g.assigns());
}

} // namespace
