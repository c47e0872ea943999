// `zrhost eval` run as a user runs it: the value on standard output and status 0, or one error
// line naming the evaluator's message and status 2.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace {

struct Outcome {
    int status;
    std::string out;
};

// Standard error is folded into the captured output.
Outcome zrhost(const std::string& args) {
    const std::string command = std::string("'") + ZRHOST_BINARY + "' eval " + args + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    Outcome r{-1, {}};
    if (!pipe) return r;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe))
        r.out += buffer;
    const int raw = pclose(pipe);
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return r;
}

TEST(ZrhostEval, PrintsTheValueOrTheError) {
    const struct {
        const char* args;
        int status;
        const char* out;
    } cases[] = {
        {"'2+3*4'", 0, "14\n"},
        {"'0.1+0.2'", 0, "0.30000000000000004\n"},
        {"'x*y' --var x=3 --var Y=-0.5", 0, "-1.5\n"},
        {"--var n=41 'n=n+1'", 0, "42\n"},
        {"'sqrt(-1)'", 0, "nan\n"},
        {"'log(0)'", 0, "-inf\n"},
        {"'1/0'", 2, "zrhost: error: Division by zero (error 3)\n"},
        {"'foo(2)'", 2, "zrhost: error: Unrecognised function (error 6, at \"foo\")\n"},
        {"'  '", 2, "zrhost: error: Empty expression (error 9)\n"},
        {"x --var x=one", 2, "zrhost: error: --var x=one: the value is not a number\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        const Outcome r = zrhost(c.args);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.out, c.out);
    }
    EXPECT_EQ(zrhost("'1' --var 2x=1").status, 2);
    EXPECT_EQ(zrhost("").status, 2);
}

} // namespace
