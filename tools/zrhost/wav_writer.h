// WAV output through libsndfile, written whole or not at all (see output_file.h).
//
// Threads: one thread per writer.
#pragma once

#include "tools/zrhost/output_file.h"

#include <filesystem>
#include <optional>
#include <string_view>

namespace zrhost {

enum class SampleFormat { Pcm16, Pcm24, Float };

// "pcm16", "pcm24" or "float".
std::optional<SampleFormat> parseSampleFormat(std::string_view name);

class WavWriter {
  public:
    // Throws OutputError when the file cannot be created.
    WavWriter(const std::filesystem::path& path, int channels, int sampleRate,
              SampleFormat format = SampleFormat::Pcm24);
    ~WavWriter();
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    // Appends interleaved frames (channels × frames floats). Integer formats clip samples
    // beyond ±1. Throws OutputError.
    void write(const float* interleaved, int frames);
    // Finishes the file and moves it into place. Throws OutputError.
    void commit();

    // Largest magnitude written so far (to warn about clipping).
    float peak() const { return peak_; }
    long long framesWritten() const { return frames_; }

  private:
    OutputFile file_;
    void* sndfile_ = nullptr; // SNDFILE*
    int channels_ = 0;
    float peak_ = 0.0f;
    long long frames_ = 0;
};

} // namespace zrhost
