// Fuzz target for zrwgen's WAV import: the input becomes a sound file read as a single cycle
// and, when it reads, analysed into harmonics. Refusals are zrw::Error; a finite cycle must give
// finite harmonics. (Making the whole table from them is left out: it takes a fifth of a second
// per input under the sanitizers and reads nothing more from the file.)
#include "tools/zrwgen/zrw.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::filesystem::path file =
        std::filesystem::temp_directory_path() / ("zr-fuzz-" + std::to_string(::getpid()) + ".wav");
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    try {
        const std::vector<float> cycle = zrw::readCycle(file);
        if (cycle.empty()) std::abort(); // an empty file is refused, not read as a cycle
        bool finite = true;
        for (float x : cycle)
            finite = finite && std::isfinite(x);
        if (!finite || cycle.size() > 8192) return 0;
        for (const auto& h : zrw::cycleSpectrum(cycle))
            if (!std::isfinite(h.real()) || !std::isfinite(h.imag())) std::abort();
    } catch (const zrw::Error&) {
    }
    return 0;
}
