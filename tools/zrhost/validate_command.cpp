// `zrhost validate`: the case loop around the validator. Each case runs in a child made with
// fork, which reports on a pipe; the parent waits with poll for the report or the time limit,
// then reaps the child. A child that crashes, aborts (a sanitizer report) or hangs fails its
// case without taking the validator with it.
#include "tools/zrhost/validate_command.h"

#include "host/module_catalog.h"
#include "host/module_library.h"
#include "tools/validate/audio_thread_watch.h"
#include "tools/validate/validator.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>

namespace zrhost {

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitBadInput = 2;

// Runs one case in a child; an empty string when it passed.
std::string isolatedCase(ModuleLibrary& library, const zrvalidate::Subject& subject,
                         zrvalidate::Half half, zrvalidate::Case c, std::uint64_t seed,
                         double timeoutSeconds) {
    int fds[2];
    if (::pipe(fds) != 0) return std::string("cannot create a pipe: ") + std::strerror(errno);
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return std::string("cannot fork: ") + std::strerror(errno);
    }
    if (child == 0) {
        ::close(fds[0]);
        std::string failure = zrvalidate::runCase(library, subject, half, c, seed);
        if (failure.empty()) failure = "pass";
        const ssize_t written = ::write(fds[1], failure.data(), failure.size());
        ::_exit(written == static_cast<ssize_t>(failure.size()) ? 0 : 3);
    }
    ::close(fds[1]);
    std::string report;
    bool timedOut = false;
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::milliseconds(static_cast<long>(timeoutSeconds * 1000));
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            timedOut = true;
            break;
        }
        pollfd p{fds[0], POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) continue;
        char buffer[512];
        const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break; // the child closed the pipe: finished or died
        report.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fds[0]);
    if (timedOut) ::kill(child, SIGKILL);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (timedOut)
        return "no answer within " + std::to_string(static_cast<int>(timeoutSeconds)) +
               " s (hangs)";
    if (WIFSIGNALED(status))
        return std::string("crashed (signal ") + std::to_string(WTERMSIG(status)) + ", " +
               strsignal(WTERMSIG(status)) + ")";
    if (WIFEXITED(status) && WEXITSTATUS(status) != 0)
        return "exited with status " + std::to_string(WEXITSTATUS(status)) +
               (report.empty() ? " (see the report above)" : ": " + report);
    return report == "pass" ? std::string() : report;
}

} // namespace

CLI::App* addValidateCommand(CLI::App& app, ValidateArguments& args) {
    CLI::App* cmd = app.add_subcommand(
        "validate", "run every module half through the validator's cases (one line per half)");
    cmd->add_option("--library", args.library, "module library to validate");
    cmd->add_option("--only", args.only, "validate only this module identifier");
    cmd->add_option("--seed", args.seed, "seed of the random choices")->capture_default_str();
    cmd->add_option("--timeout", args.timeoutSeconds, "seconds one case may take")
        ->capture_default_str()
        ->check(CLI::Range(0.1, 3600.0));
    return cmd;
}

int runValidateCommand(const ValidateArguments& args, const std::string& defaultLibrary) {
    const std::string path = args.library.empty() ? defaultLibrary : args.library;
    std::unique_ptr<ModuleLibrary> library;
    std::optional<ModuleCatalog> catalog;
    try {
        library = ModuleLibrary::load(path);
        catalog = loadModuleCatalog(*library);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zrhost: error: %s\n", e.what());
        return kExitBadInput;
    }
    if (!catalog) {
        std::fprintf(stderr, "zrhost: error: %s: the library has no module catalog\n",
                     path.c_str());
        return kExitBadInput;
    }
    if (!args.only.empty() && !catalog->find(args.only)) {
        std::fprintf(stderr, "zrhost: error: --only: the library has no module \"%s\"\n",
                     args.only.c_str());
        return kExitBadInput;
    }
    if (!zrvalidate::audioThreadHooksInstalled()) std::free(std::malloc(1)); // resolve the hooks
    if (!zrvalidate::audioThreadHooksInstalled())
        std::fprintf(stderr, "zrhost: warning: the allocator hooks are not in place; allocation "
                             "and locks on the audio thread go unchecked\n");

    const auto start = std::chrono::steady_clock::now();
    int halves = 0, failures = 0;
    for (const ModuleInfo& info : catalog->modules) {
        if (!args.only.empty() && info.id != args.only) continue;
        const zrvalidate::Subject subject = zrvalidate::catalogSubject(info);
        for (zrvalidate::Half half : {zrvalidate::Half::Audio, zrvalidate::Half::Gui}) {
            if (!zrvalidate::hasHalf(*library, info.id, half)) continue;
            ++halves;
            std::string line = "pass";
            for (zrvalidate::Case c : zrvalidate::casesFor(half)) {
                const auto failure =
                    isolatedCase(*library, subject, half, c,
                                 zrvalidate::caseSeed(args.seed, info.id, c), args.timeoutSeconds);
                if (failure.empty()) continue;
                ++failures;
                line = std::string("FAIL in ") + zrvalidate::caseName(c) + ": " + failure +
                       " (reproduce: zrhost validate --only \"" + info.id + "\" --seed " +
                       std::to_string(args.seed) + ")";
                break;
            }
            std::printf("%s [%s]: %s\n", info.id.c_str(), zrvalidate::halfName(half), line.c_str());
            std::fflush(stdout);
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%d halves, %d failed, %.1f s\n", halves, failures, seconds);
    return failures ? kExitFailure : 0;
}

} // namespace zrhost
