// `zrhost eval`: the evaluator on the command line. Variables given with --var are set, in
// order, before the expression is evaluated; values print in their shortest exact form.
#include "tools/zrhost/eval_command.h"

#include "modules/formula/Evaluator.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <system_error>

namespace zrhost {

namespace {

constexpr int kExitBadInput = 2;

bool validName(const std::string& name) {
    if (name.empty()) return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char c = name[i];
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
        if (!letter && !(i > 0 && c >= '0' && c <= '9')) return false;
    }
    return true;
}

// "name=value" into the evaluator; false (with the error printed) when malformed.
bool setVariable(zr::Evaluator& ev, const std::string& assignment) {
    const auto eq = assignment.find('=');
    if (eq == std::string::npos || !validName(assignment.substr(0, eq))) {
        std::fprintf(stderr,
                     "zrhost: error: --var %s: expected NAME=VALUE, the name made of letters, "
                     "digits and _ and not starting with a digit\n",
                     assignment.c_str());
        return false;
    }
    const char* first = assignment.data() + eq + 1;
    const char* last = assignment.data() + assignment.size();
    double value = 0.0;
    const auto [end, ec] = std::from_chars(first, last, value);
    if (first == last || ec != std::errc() || end != last) {
        std::fprintf(stderr, "zrhost: error: --var %s: the value is not a number\n",
                     assignment.c_str());
        return false;
    }
    if (!ev.setVariable(assignment.substr(0, eq), value)) {
        std::fprintf(stderr, "zrhost: error: --var %s: %s\n", assignment.c_str(),
                     zr::evaluatorMessage(zr::EvalTooManyVariables));
        return false;
    }
    return true;
}

} // namespace

CLI::App* addEvalCommand(CLI::App& app, EvalArguments& args) {
    auto* eval = app.add_subcommand("eval", "evaluate a formula as the float-function modules do");
    eval->add_option("expression", args.expression, "the formula, e.g. \"sin(pi/4)*x\"")
        ->required();
    // One value per --var, so that the expression may follow it.
    eval->add_option("--var", args.variables, "set a variable first (NAME=VALUE; repeatable)")
        ->expected(1)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    return eval;
}

int runEvalCommand(const EvalArguments& args) {
    zr::Evaluator ev;
    for (const std::string& v : args.variables)
        if (!setVariable(ev, v)) return kExitBadInput;
    double result = 0.0;
    const int code = ev.evaluate(args.expression, result);
    if (code != zr::EvalOk) {
        const zr::EvaluatorErrorRecord& e = ev.lastError();
        std::fprintf(stderr, "zrhost: error: %s (error %d", zr::evaluatorMessage(code), code);
        if (e.token[0]) std::fprintf(stderr, ", at \"%s\"", e.token);
        std::fprintf(stderr, ")\n");
        return kExitBadInput;
    }
    if (std::isnan(result)) {
        std::printf("nan\n"); // whatever its sign bit
        return 0;
    }
    char text[64];
    const auto [end, ec] = std::to_chars(text, text + sizeof text, result);
    std::printf("%.*s\n", static_cast<int>(end - text), text);
    return 0;
}

} // namespace zrhost
