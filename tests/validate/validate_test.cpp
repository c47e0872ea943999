// `zrhost validate` run as a user runs it: each test-only module with one fault fails in the
// case that shows it, naming the fault, with exit status 1; the clean one passes; the same
// seed gives the same report.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace {

struct Result {
    int status = -1;
    std::string out;
};

Result validate(const std::string& args) {
    const std::string command = std::string("'") + ZRHOST_BINARY + "' validate --library '" +
                                ZR_FAULTY_LIBRARY_PATH + "' " + args + " 2>/dev/null";
    Result r;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return r;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe))
        r.out += buffer;
    const int raw = ::pclose(pipe);
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return r;
}

TEST(Validate, EachFaultIsNamedWithItsCase) {
    const struct {
        const char* id;
        int status;
        const char* expected;
    } cases[] = {
        {"ZR Test Clean", 0, "ZR Test Clean [audio]: pass"},
        {"ZR Test Allocates", 1,
         "FAIL in sample-rates: block 1 at 22050 Hz: an allocation "
         "(operator new) on the audio thread while process ran"},
        {"ZR Test Mallocs", 1, "an allocation (malloc) on the audio thread"},
        {"ZR Test Locks", 1, "a lock (pthread_mutex_lock) on the audio thread"},
        {"ZR Test Writes Before", 1, "block 1 at 22050 Hz: write before the buffer of pin 1"},
        {"ZR Test Sends NaN", 1, "pin 1 sample 0 is NaN from finite input"},
        {"ZR Test Hangs", 1, "FAIL in sample-rates: no answer within 1 s (hangs)"},
        {"ZR Test Crashes", 1, "FAIL in sample-rates: crashed (signal 6"},
    };
    for (const auto& c : cases) {
        const Result r = validate(std::string("--timeout 1 --only '") + c.id + "'");
        EXPECT_EQ(r.status, c.status) << c.id << "\n" << r.out;
        EXPECT_NE(r.out.find(c.expected), std::string::npos) << c.id << "\n" << r.out;
        if (c.status) {
            EXPECT_NE(r.out.find("--seed 1)"), std::string::npos) << r.out;
        }
    }
}

TEST(Validate, TheSeedReproducesTheReport) {
    const Result a = validate("--only 'ZR Test Sends NaN' --seed 77");
    const Result b = validate("--only 'ZR Test Sends NaN' --seed 77");
    EXPECT_EQ(a.out.substr(0, a.out.find('\n')), b.out.substr(0, b.out.find('\n')));
    EXPECT_NE(a.out.find("--seed 77)"), std::string::npos) << a.out;
}

TEST(Validate, UnknownModuleIsBadInput) {
    EXPECT_EQ(validate("--only 'ZR Test Nothing'").status, 2);
}

} // namespace
