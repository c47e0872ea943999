// Output files that appear whole or not at all: data goes to a temporary file beside the
// target, which commit() renames into place. A file never committed is removed, also when
// SIGINT, SIGTERM or SIGHUP stops the program, so a render that fails leaves nothing behind.
// Targets that are not regular files (devices, FIFOs, standard output) are written in place.
//
// Threads: one thread per object. Ownership: the object owns the descriptor until a writer
// library takes it over with release().
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>

namespace zrhost {

// An output that cannot be written; what() names the file and the reason.
class OutputError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Installs handlers for SIGINT, SIGTERM and SIGHUP that remove the temporary files of every
// OutputFile not yet committed and end the program with status 128 + the signal (130 for
// Ctrl-C, 143 for SIGTERM). The handler does only async-signal-safe work: it unlinks paths
// stored beforehand in fixed buffers and calls _exit. Call once, before writing.
void removeTemporariesOnSignals();

class OutputFile {
  public:
    // The name "-" stands for standard output.
    static constexpr const char* kStandardOutput = "-";

    // Opens the output. A regular file (or a name not yet taken) gets a temporary file in the
    // folder of the file it names; a symbolic link is followed, so the link stays and the file
    // it points to is replaced. Anything else (FIFO, device, "-") is opened and written in
    // place. Throws OutputError.
    explicit OutputFile(std::filesystem::path target);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // The name as given, for messages.
    const std::filesystem::path& target() const { return target_; }
    // Where the data goes now: the temporary file, or the target itself when written in place.
    const std::filesystem::path& temporary() const { return writePath_; }
    bool inPlace() const { return inPlace_; }
    // The open descriptor; after release() the caller closes it.
    int descriptor() const { return fd_; }
    int release();

    // Closes the descriptor if still held and renames the file into place. Throws OutputError.
    void commit();

  private:
    void openInPlace(const std::filesystem::path& path);
    void openTemporary(const std::filesystem::path& resolved);

    std::filesystem::path target_;
    std::filesystem::path final_;     // the regular file the temporary one replaces
    std::filesystem::path writePath_; // temporary file, or the target written in place
    int fd_ = -1;
    int slot_ = -1; // entry in the list the signal handler removes
    bool inPlace_ = false;
    bool committed_ = false;
};

} // namespace zrhost
