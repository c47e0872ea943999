// The patch in the engine's form: its error type, values and the checks of its render settings.
#include "host/patch.h"

#include <cmath>
#include <cstring>
#include <sstream>

namespace zrhost {

PatchError::PatchError(std::string file, std::string place, std::string problem)
    : std::runtime_error(file + ": " + (place.empty() ? "" : place + ": ") + problem),
      file_(std::move(file)), place_(std::move(place)), problem_(std::move(problem)) {}

float PinValue::asFloat() const {
    float v = 0.0f;
    if (bytes.size() >= sizeof v) std::memcpy(&v, bytes.data(), sizeof v);
    return v;
}

PinValue PinValue::ofFloat(gmpi::PinDatatype datatype, float value) {
    PinValue out;
    out.datatype = datatype;
    out.bytes.resize(sizeof value);
    std::memcpy(out.bytes.data(), &value, sizeof value);
    return out;
}

int Patch::findModule(std::string_view name) const {
    for (std::size_t i = 0; i < modules.size(); ++i)
        if (modules[i].name == name) return static_cast<int>(i);
    return -1;
}

std::int64_t Patch::totalFrames() const {
    return framesAt(seconds, static_cast<double>(sampleRate));
}

std::int64_t framesAt(double seconds, double rate) {
    const double frames = seconds * rate;
    // The comparison is false for NaN as well; below 2^62 the rounding cannot overflow.
    if (!(frames < static_cast<double>(kNeverFrame))) return kNeverFrame;
    if (frames <= 0.0) return 0;
    return std::llround(frames);
}

namespace {

// A number as a user wrote it: 44100, 1.5, 1e+09.
std::string shortNumber(double v) {
    std::ostringstream out;
    out << v;
    return out.str();
}

} // namespace

void setSampleRate(Patch& patch, double rate, const std::string& place) {
    if (!(rate >= kMinSampleRate && rate <= kMaxSampleRate))
        throw PatchError(patch.file, place,
                         "impossible sample rate " + shortNumber(rate) +
                             " (allowed: " + std::to_string(static_cast<int>(kMinSampleRate)) +
                             " to " + std::to_string(static_cast<int>(kMaxSampleRate)) + " Hz)");
    patch.sampleRate = static_cast<float>(rate);
}

void setBlockSize(Patch& patch, double size, const std::string& place) {
    if (!(size >= 1 && size <= kMaxBlockSize && size == std::floor(size)))
        throw PatchError(patch.file, place,
                         "impossible block size " + shortNumber(size) +
                             " (a whole number of samples from 1 to " +
                             std::to_string(kMaxBlockSize) + ")");
    patch.blockSize = static_cast<gmpi::int32>(size);
}

void setSeconds(Patch& patch, double seconds, const std::string& place) {
    if (!(seconds > 0 && seconds <= kMaxSeconds))
        throw PatchError(patch.file, place,
                         "impossible length " + shortNumber(seconds) + " s (more than 0, at most " +
                             std::to_string(static_cast<int>(kMaxSeconds)) + ")");
    patch.seconds = seconds;
}

} // namespace zrhost
