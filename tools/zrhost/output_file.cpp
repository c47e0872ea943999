#include "tools/zrhost/output_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace zrhost {

OutputFile::OutputFile(std::filesystem::path target) : target_(std::move(target)) {
    std::filesystem::path folder = target_.parent_path();
    if (folder.empty()) folder = ".";
    std::string pattern = (folder / ("." + target_.filename().string() + ".XXXXXX")).string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    fd_ = ::mkstemp(name.data());
    if (fd_ < 0)
        throw OutputError(target_.string() + ": cannot create the file: " + std::strerror(errno));
    temporary_ = name.data();
    // mkstemp makes the file private; the output gets the permissions a new file would get.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd_, 0666 & ~mask);
}

OutputFile::~OutputFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!committed_) {
        std::error_code ignored;
        std::filesystem::remove(temporary_, ignored);
    }
}

int OutputFile::release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

void OutputFile::commit() {
    if (fd_ >= 0) {
        const int result = ::close(fd_);
        fd_ = -1;
        if (result != 0)
            throw OutputError(target_.string() +
                              ": cannot write the file: " + std::strerror(errno));
    }
    std::error_code ec;
    std::filesystem::rename(temporary_, target_, ec);
    if (ec) throw OutputError(target_.string() + ": cannot write the file: " + ec.message());
    committed_ = true;
}

} // namespace zrhost
