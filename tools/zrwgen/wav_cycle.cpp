// Reading a single-cycle waveform from a sound file through libsndfile.
#include "tools/zrwgen/zrw.h"

#include <sndfile.h>

#include <cmath>

namespace zrw {

std::vector<float> readCycle(const std::filesystem::path& file) {
    std::error_code ec;
    const auto type = std::filesystem::status(file, ec).type();
    if (type == std::filesystem::file_type::not_found)
        throw NoSuchFile("no such file: " + file.string());
    // A FIFO or device would block or never end; only a regular file holds one cycle.
    if (!ec && type != std::filesystem::file_type::regular)
        throw InputError(file.string() + " is not a regular file");
    SF_INFO info{};
    SNDFILE* sf = sf_open(file.string().c_str(), SFM_READ, &info);
    if (!sf)
        throw InputError(file.string() +
                         " is not a sound file libsndfile reads: " + sf_strerror(nullptr));
    // A cycle is a few thousand samples; anything near this long is not one cycle.
    constexpr sf_count_t kMaxFrames = 1 << 22;
    if (info.frames <= 0 || info.channels <= 0 || info.frames > kMaxFrames) {
        sf_close(sf);
        throw InputError(file.string() + " holds " + std::to_string(info.frames) +
                         " frames; a single cycle must hold between 3 and " +
                         std::to_string(kMaxFrames));
    }
    std::vector<float> frames(static_cast<std::size_t>(info.frames * info.channels));
    const sf_count_t got = sf_readf_float(sf, frames.data(), info.frames);
    sf_close(sf);
    if (got != info.frames) throw InputError("cannot read all of " + file.string());
    for (std::size_t i = 0; i < frames.size(); ++i)
        if (!std::isfinite(frames[i]))
            throw InputError(file.string() + ": frame " +
                             std::to_string(i / static_cast<std::size_t>(info.channels)) +
                             " is not a finite number; a cycle must hold finite samples");
    // Channels mixed to mono.
    std::vector<float> cycle(static_cast<std::size_t>(info.frames));
    for (std::size_t i = 0; i < cycle.size(); ++i) {
        double sum = 0.0;
        for (int c = 0; c < info.channels; ++c)
            sum += frames[i * static_cast<std::size_t>(info.channels) + c];
        cycle[i] = static_cast<float>(sum / info.channels);
    }
    return cycle;
}

} // namespace zrw
