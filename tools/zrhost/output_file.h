// Output files that appear whole or not at all: data goes to a temporary file beside the
// target, which commit() renames into place. A file never committed is removed, so a render
// that fails leaves no partial output behind.
//
// Threads: one thread per object. Ownership: the object owns the temporary file's descriptor
// until a writer library takes it over with release().
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

class OutputFile {
  public:
    // Creates the temporary file in the target's folder. Throws OutputError.
    explicit OutputFile(std::filesystem::path target);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    const std::filesystem::path& target() const { return target_; }
    const std::filesystem::path& temporary() const { return temporary_; }
    // The open descriptor; after release() the caller closes it.
    int descriptor() const { return fd_; }
    int release();

    // Closes the descriptor if still held and renames the file into place. Throws OutputError.
    void commit();

  private:
    std::filesystem::path target_;
    std::filesystem::path temporary_;
    int fd_ = -1;
    bool committed_ = false;
};

} // namespace zrhost
