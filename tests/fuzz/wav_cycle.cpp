// Fuzz target for zrwgen's WAV import: the input becomes a sound file read as a single cycle
// and, when it reads, made into a table. Refusals are zrw::Error; the table made from any cycle
// read must have the file's length and finite entries only when the cycle was finite.
#include "tools/zrwgen/zrw.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::filesystem::path file =
        std::filesystem::temp_directory_path() / ("zr-fuzz-" + std::to_string(::getpid()) + ".wav");
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    try {
        const std::vector<float> cycle = zrw::readCycle(file);
        if (cycle.size() < 3 || cycle.size() > 8192) return 0; // keep the table making quick
        bool finite = true;
        for (float x : cycle)
            finite = finite && std::isfinite(x);
        const zrw::Table table = zrw::makeTableFromCycle(cycle, 1);
        if (table.size() != static_cast<std::size_t>(zr::wavetables::kFileEntries)) std::abort();
        if (finite)
            for (float x : table)
                if (!std::isfinite(x)) std::abort();
    } catch (const zrw::Error&) {
    }
    return 0;
}
