// `zrhost eval "expression" [--var name=value ...]`: evaluates one formula with the module
// library's expression evaluator and prints the value, or the evaluator's error.
#pragma once

#include <CLI/CLI.hpp>

#include <string>
#include <vector>

namespace zrhost {

struct EvalArguments {
    std::string expression;
    std::vector<std::string> variables; // "name=value"
};

// Adds the subcommand to `app`; the parsed arguments land in `args`.
CLI::App* addEvalCommand(CLI::App& app, EvalArguments& args);

// Prints the value on standard output, or one error line on standard error. Returns the exit
// status: 0, or 2 for an evaluator error or a malformed --var.
int runEvalCommand(const EvalArguments& args);

} // namespace zrhost
