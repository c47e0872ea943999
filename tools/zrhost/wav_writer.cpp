#include "tools/zrhost/wav_writer.h"

#include <sndfile.h>

#include <cmath>

namespace zrhost {

std::optional<SampleFormat> parseSampleFormat(std::string_view name) {
    if (name == "pcm16") return SampleFormat::Pcm16;
    if (name == "pcm24") return SampleFormat::Pcm24;
    if (name == "float") return SampleFormat::Float;
    return std::nullopt;
}

WavWriter::WavWriter(const std::filesystem::path& path, int channels, int sampleRate,
                     SampleFormat format)
    : file_(path), channels_(channels) {
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = channels;
    info.format = SF_FORMAT_WAV | (format == SampleFormat::Pcm16   ? SF_FORMAT_PCM_16
                                   : format == SampleFormat::Pcm24 ? SF_FORMAT_PCM_24
                                                                   : SF_FORMAT_FLOAT);
    SNDFILE* f = sf_open_fd(file_.descriptor(), SFM_WRITE, &info, SF_TRUE);
    if (!f) throw OutputError(path.string() + ": cannot write a WAV file: " + sf_strerror(nullptr));
    file_.release(); // libsndfile closes the descriptor
    // Samples beyond full scale clip instead of wrapping round in integer formats.
    sf_command(f, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    sndfile_ = f;
}

WavWriter::~WavWriter() {
    if (sndfile_) sf_close(static_cast<SNDFILE*>(sndfile_));
}

void WavWriter::write(const float* interleaved, int frames) {
    const long long count = static_cast<long long>(frames) * channels_;
    for (long long i = 0; i < count; ++i)
        peak_ = std::max(peak_, std::abs(interleaved[i]));
    if (sf_writef_float(static_cast<SNDFILE*>(sndfile_), interleaved, frames) != frames)
        throw OutputError(file_.target().string() + ": cannot write the file: " +
                          sf_strerror(static_cast<SNDFILE*>(sndfile_)));
    frames_ += frames;
}

void WavWriter::commit() {
    const int result = sf_close(static_cast<SNDFILE*>(sndfile_));
    sndfile_ = nullptr;
    if (result != 0)
        throw OutputError(file_.target().string() +
                          ": cannot finish the file: " + sf_error_number(result));
    file_.commit();
}

} // namespace zrhost
