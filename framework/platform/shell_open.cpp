// The shell's file operations: ShellExecuteW on Windows; elsewhere the desktop's opener,
// started with fork and execve so that the file name travels as one argument, untouched.
#include "framework/platform/shell_open.h"

#include "framework/mp_text.h"

#include <string>

#if defined(_WIN32)
#include <windows.h>

#include <shellapi.h> // needs the types of windows.h
#else
#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

namespace gmpi::platform {

namespace {
ShellRecorder* recorder = nullptr;
} // namespace

void setShellRecorder(ShellRecorder* r) {
    recorder = r;
}

#if defined(_WIN32)

void shellExecute(std::u16string_view verb, std::u16string_view path) {
    if (recorder) {
        recorder->record(verb, path);
        return;
    }
    // Terminated copies; char16_t and wchar_t share their layout on Windows.
    const std::u16string v(verb), p(path);
    ShellExecuteW(nullptr, reinterpret_cast<const wchar_t*>(v.c_str()),
                  reinterpret_cast<const wchar_t*>(p.c_str()), L"", L"", SW_SHOWMAXIMIZED);
}

#else

namespace {

// UTF-8 for the file system; a lone surrogate becomes U+FFFD. False when the text holds a
// NUL, which no file name can carry: cutting the name there would name another file.
bool toUtf8(std::u16string_view s, std::string& out) {
    if (s.find(u'\0') != std::u16string_view::npos) return false;
    out = gmpi::utf16ToUtf8(s);
    return true;
}

// The opener's full path from the absolute directories of PATH (an empty or relative entry
// would run whatever program of that name lies in the host's working folder); empty when
// there is none.
std::string findOpener() {
    const char* env = std::getenv("PATH");
    const std::string dirs = env ? env : "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        std::size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        const std::string dir = dirs.substr(start, end - start);
        if (!dir.empty() && dir[0] == '/') {
            const std::string candidate = dir + "/" + openerProgramName();
            if (access(candidate.c_str(), X_OK) == 0) return candidate;
        }
        start = end + 1;
    }
    return {};
}

// Starts `program` with the argument vector {name, file} and does not wait for it. The opener
// is the grandchild of this process: the child exits at once and is reaped here, so the host
// keeps no zombie and never blocks on the opener. Between fork and execve only
// async-signal-safe calls run.
void launchDetached(const std::string& program, const std::string& file) {
    char* const argv[] = {const_cast<char*>(openerProgramName()), const_cast<char*>(file.c_str()),
                          nullptr};
    const pid_t child = fork();
    if (child < 0) return;
    if (child == 0) {
        if (fork() == 0) {
            setsid(); // away from the host's terminal and its signals
            execve(program.c_str(), argv, environ);
            _exit(127);
        }
        _exit(0);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
}

} // namespace

const char* openerProgramName() {
#if defined(__APPLE__)
    return "open";
#else
    return "xdg-open";
#endif
}

void shellExecute(std::u16string_view verb, std::u16string_view path) {
    if (recorder) {
        recorder->record(verb, path);
        return;
    }
    std::string file;
    if (path.empty() || !toUtf8(path, file)) return;
    struct stat info;
    if (stat(file.c_str(), &info) != 0) return;
    const std::string opener = findOpener();
    if (!opener.empty()) launchDetached(opener, file);
}

#endif

} // namespace gmpi::platform
