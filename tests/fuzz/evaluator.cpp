// Fuzz target for the expression evaluator. The input is split at line breaks into formulas
// evaluated in turn by one evaluator (so assignments meet later lines), and each line is also
// parsed once and run twice. Any broken promise of the evaluator aborts.
#include "modules/formula/Evaluator.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace {

void check(bool promise) {
    if (!promise) std::abort();
}

void checkOutcome(const zr::Evaluator& ev, int code, double result) {
    check(code >= 0 && code <= 9);
    check(ev.lastError().code == code);
    check(code == 0 || result == 0.0);
    check(ev.lastError().position >= 0 && ev.lastError().position <= zr::Formula::kMaxLength);
    check(std::memchr(ev.lastError().token, '\0', sizeof ev.lastError().token) != nullptr);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    zr::Evaluator ev;
    zr::Formula formula;
    std::size_t start = 0;
    while (start <= input.size()) {
        std::size_t end = input.find('\n', start);
        if (end == std::string_view::npos) end = input.size();
        const std::string_view line = input.substr(start, end - start);
        double result = 1.0;
        int assigned = -1;
        const int code = ev.evaluate(line, result, assigned);
        checkOutcome(ev, code, result);
        check(code == 0 ? (assigned == 0 || assigned == 1) : assigned == -1);
        formula.compile(line);
        for (int i = 0; i < 2; ++i) {
            const int again = ev.run(formula, result);
            checkOutcome(ev, again, result);
        }
        start = end + 1;
    }
    return 0;
}
