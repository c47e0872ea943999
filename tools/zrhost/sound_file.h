// Sound-file output through libsndfile (WAV, FLAC, AIFF, Ogg Vorbis), written whole or not at
// all (see output_file.h), with the measurements a render reports: peak, clipped samples and
// samples that were not finite numbers.
//
// Threads: one thread per writer.
#pragma once

#include "tools/zrhost/output_file.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>

namespace zrhost {

enum class Container { Wav, Flac, Aiff, Ogg };
enum class SampleFormat { Pcm16, Pcm24, Float };

struct SoundFormat {
    Container container = Container::Wav;
    // None: the container's usual one (24-bit PCM; Ogg Vorbis has no choice).
    std::optional<SampleFormat> samples;
};

// A format that cannot be had: an unknown extension or --format word, or samples the container
// does not hold. what() is the whole message.
class FormatError : public std::invalid_argument {
  public:
    using std::invalid_argument::invalid_argument;
};

// The format for `path`: `option` (the --format value) when given, else the file extension.
// `option` is a container (wav, flac, aiff, ogg), a sample format (pcm16, pcm24, float) or both
// joined by ':' ("flac:pcm16"); a sample format alone keeps the container of the extension. A
// name without an extension, standard output ("-") included, is WAV. Throws FormatError.
SoundFormat chooseSoundFormat(const std::filesystem::path& path, const std::string& option);
const char* containerName(Container c);

struct OutputStats {
    float peak = 0.0f;              // largest magnitude among the finite samples
    std::int64_t frames = 0;        // frames written
    std::int64_t overFullScale = 0; // samples beyond ±1 (clipped unless the samples are float)
    std::int64_t nonFinite = 0;     // NaN and infinite samples (written as 0)
    std::int64_t firstNonFiniteFrame = -1;
    int firstNonFiniteChannel = -1;
};

class SoundFileWriter {
  public:
    // `expectedFrames` is the length the caller will write; a WAV or AIFF file streamed to a
    // pipe carries it in its header. Throws OutputError or FormatError.
    SoundFileWriter(const std::filesystem::path& path, int channels, int sampleRate,
                    SoundFormat format, std::int64_t expectedFrames);
    ~SoundFileWriter();
    SoundFileWriter(const SoundFileWriter&) = delete;
    SoundFileWriter& operator=(const SoundFileWriter&) = delete;

    // Appends interleaved frames (channels × frames floats). Samples that are not finite are
    // set to 0 in the buffer before they are written; integer formats clip samples beyond ±1.
    // Throws OutputError.
    void write(float* interleaved, int frames);
    // Finishes the file and moves it into place. Throws OutputError.
    void commit();

    const OutputStats& stats() const { return stats_; }
    const SoundFormat& format() const { return format_; }
    bool clips() const; // whether samples beyond ±1 are cut off in this format

  private:
    void openStream(int sampleRate, std::int64_t expectedFrames);

    OutputFile file_;
    SoundFormat format_;
    void* sndfile_ = nullptr; // SNDFILE*
    int channels_ = 0;
    int streamFd_ = -1;             // a WAV/AIFF stream: the descriptor, closed after the padding
    std::int64_t streamFrames_ = 0; // the length its header gives
    bool streamPad_ = false;        // its data chunk has an odd size
    OutputStats stats_;
};

} // namespace zrhost
