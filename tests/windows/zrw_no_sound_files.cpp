// The wavetable generator library as the Windows test build has it: everything but reading
// sound files, which needs libsndfile (a library of the build machine only). The tests
// generate their tables from spectra and never read a sound file.
#include "tools/zrwgen/zrw.h"

namespace zrw {

std::vector<float> readCycle(const std::filesystem::path& file) {
    throw Error("cannot read " + file.string() + ": this build reads no sound files");
}

} // namespace zrw
