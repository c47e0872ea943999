// `zrhost validate [--library PATH] [--only ID] [--seed N]`: every half of every module in the
// library's catalog through the validator's cases (tools/validate/validator.h), each case in a
// child process with a time limit, with the allocator and lock hooks of this program armed
// while process runs. One line per half; exit status 1 when any case fails.
#pragma once

#include <CLI/CLI.hpp>

#include <cstdint>
#include <string>

namespace zrhost {

struct ValidateArguments {
    std::string library; // empty: the program's --library
    std::string only;    // empty: every module
    std::uint64_t seed = 1;
    double timeoutSeconds = 60.0;
};

CLI::App* addValidateCommand(CLI::App& app, ValidateArguments& args);

// Runs the validation; returns the exit status (0 all pass, 1 a failure, 2 bad input).
int runValidateCommand(const ValidateArguments& args, const std::string& defaultLibrary);

} // namespace zrhost
