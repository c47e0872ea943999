// Sound files through libsndfile. libsndfile writes a WAV or AIFF header last, which a pipe
// cannot take back; as the length of a render is known beforehand, such a stream gets its
// header from here and its samples from libsndfile's headerless (raw) format.
#include "tools/zrhost/sound_file.h"

#include <sndfile.h>

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <string_view>
#include <vector>

namespace zrhost {

namespace {

namespace fs = std::filesystem;

struct ContainerName {
    const char* word;
    Container container;
};
constexpr std::array<ContainerName, 6> kExtensions = {{{"wav", Container::Wav},
                                                       {"flac", Container::Flac},
                                                       {"aiff", Container::Aiff},
                                                       {"aif", Container::Aiff},
                                                       {"ogg", Container::Ogg},
                                                       {"oga", Container::Ogg}}};
constexpr const char* kAccepted = ".wav, .flac, .aiff (.aif) or .ogg (.oga)";

std::string lowered(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::optional<Container> containerOf(std::string_view word) {
    for (const auto& e : kExtensions)
        if (word == e.word) return e.container;
    return std::nullopt;
}

std::optional<SampleFormat> samplesOf(std::string_view word) {
    if (word == "pcm16") return SampleFormat::Pcm16;
    if (word == "pcm24") return SampleFormat::Pcm24;
    if (word == "float") return SampleFormat::Float;
    return std::nullopt;
}

int subtypeOf(const SoundFormat& f) {
    if (f.container == Container::Ogg) return SF_FORMAT_VORBIS;
    switch (f.samples.value_or(SampleFormat::Pcm24)) {
    case SampleFormat::Pcm16:
        return SF_FORMAT_PCM_16;
    case SampleFormat::Pcm24:
        return SF_FORMAT_PCM_24;
    case SampleFormat::Float:
        return SF_FORMAT_FLOAT;
    }
    return SF_FORMAT_PCM_24;
}

int majorOf(Container c) {
    switch (c) {
    case Container::Wav:
        return SF_FORMAT_WAV;
    case Container::Flac:
        return SF_FORMAT_FLAC;
    case Container::Aiff:
        return SF_FORMAT_AIFF;
    case Container::Ogg:
        return SF_FORMAT_OGG;
    }
    return SF_FORMAT_WAV;
}

int bytesPerSample(const SoundFormat& f) {
    switch (f.samples.value_or(SampleFormat::Pcm24)) {
    case SampleFormat::Pcm16:
        return 2;
    case SampleFormat::Pcm24:
        return 3;
    case SampleFormat::Float:
        return 4;
    }
    return 3;
}

// Header bytes in the order a file wants them.
class HeaderBytes {
  public:
    explicit HeaderBytes(bool bigEndian) : big_(bigEndian) {}
    void tag(const char (&four)[5]) { bytes_.insert(bytes_.end(), four, four + 4); }
    void u16(std::uint32_t v) { number(v, 2); }
    void u32(std::uint32_t v) { number(v, 4); }
    // The 80-bit extended-precision number AIFF gives its sample rate in.
    void extended(std::uint32_t value) {
        int exponent = 0;
        while ((std::uint64_t{1} << (exponent + 1)) <= value)
            ++exponent;
        u16(value ? 16383u + static_cast<std::uint32_t>(exponent) : 0u);
        const std::uint64_t mantissa = static_cast<std::uint64_t>(value) << (63 - exponent);
        u32(static_cast<std::uint32_t>(mantissa >> 32));
        u32(static_cast<std::uint32_t>(mantissa));
    }
    const std::vector<unsigned char>& bytes() const { return bytes_; }

  private:
    void number(std::uint32_t v, int size) {
        for (int i = 0; i < size; ++i) {
            const int shift = big_ ? 8 * (size - 1 - i) : 8 * i;
            bytes_.push_back(static_cast<unsigned char>(v >> shift));
        }
    }
    bool big_;
    std::vector<unsigned char> bytes_;
};

std::vector<unsigned char> wavHeader(int channels, int rate, int bytes, bool isFloat,
                                     std::uint32_t frames, std::uint32_t data) {
    HeaderBytes h(false);
    const std::uint32_t fmtSize = isFloat ? 18 : 16, factSize = isFloat ? 12 : 0;
    h.tag("RIFF");
    h.u32(4 + 8 + fmtSize + factSize + 8 + data + (data & 1));
    h.tag("WAVE");
    h.tag("fmt ");
    h.u32(fmtSize);
    h.u16(isFloat ? 3 : 1); // IEEE float, or integer PCM
    h.u16(static_cast<std::uint32_t>(channels));
    h.u32(static_cast<std::uint32_t>(rate));
    const auto frameBytes =
        static_cast<std::uint32_t>(channels) * static_cast<std::uint32_t>(bytes);
    h.u32(static_cast<std::uint32_t>(rate) * frameBytes);
    h.u16(frameBytes);
    h.u16(static_cast<std::uint32_t>(8 * bytes));
    if (isFloat) {
        h.u16(0);
        h.tag("fact");
        h.u32(4);
        h.u32(frames);
    }
    h.tag("data");
    h.u32(data);
    return h.bytes();
}

std::vector<unsigned char> aiffHeader(int channels, int rate, int bytes, std::uint32_t frames,
                                      std::uint32_t data) {
    HeaderBytes h(true);
    h.tag("FORM");
    h.u32(4 + 8 + 18 + 8 + 8 + data + (data & 1));
    h.tag("AIFF");
    h.tag("COMM");
    h.u32(18);
    h.u16(static_cast<std::uint32_t>(channels));
    h.u32(frames);
    h.u16(static_cast<std::uint32_t>(8 * bytes));
    h.extended(static_cast<std::uint32_t>(rate));
    h.tag("SSND");
    h.u32(8 + data);
    h.u32(0); // offset
    h.u32(0); // block size
    return h.bytes();
}

bool writeAll(int fd, const unsigned char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

const char* containerName(Container c) {
    switch (c) {
    case Container::Wav:
        return "WAV";
    case Container::Flac:
        return "FLAC";
    case Container::Aiff:
        return "AIFF";
    case Container::Ogg:
        return "Ogg Vorbis";
    }
    return "WAV";
}

SoundFormat chooseSoundFormat(const fs::path& path, const std::string& option) {
    SoundFormat f;
    bool containerGiven = false;
    std::string_view rest = option;
    while (!rest.empty()) {
        const std::size_t colon = rest.find(':');
        const std::string word = lowered(std::string(rest.substr(0, colon)));
        rest = colon == std::string_view::npos ? std::string_view{} : rest.substr(colon + 1);
        if (const auto c = containerOf(word); c && !containerGiven) {
            f.container = *c;
            containerGiven = true;
        } else if (const auto s = samplesOf(word); s && !f.samples) {
            f.samples = *s;
        } else {
            throw FormatError("--format: expected wav, flac, aiff or ogg, pcm16, pcm24 or float "
                              "(or a container and samples, e.g. flac:pcm16), not \"" +
                              option + "\"");
        }
    }
    const std::string extension = lowered(path.extension().string());
    if (!containerGiven && !extension.empty() && path != OutputFile::kStandardOutput) {
        const auto c = containerOf(std::string_view(extension).substr(1));
        if (!c)
            throw FormatError(path.string() + ": unknown sound file extension \"" +
                              path.extension().string() + "\"; zrhost writes " + kAccepted +
                              " (or name one with --format)");
        f.container = *c;
    }
    if (f.container == Container::Flac && f.samples == SampleFormat::Float)
        throw FormatError(path.string() + ": FLAC holds pcm16 or pcm24 samples, not float");
    if (f.container == Container::Ogg && f.samples)
        throw FormatError(path.string() + ": Ogg Vorbis is compressed; it takes no pcm16, pcm24 "
                                          "or float choice");
    return f;
}

SoundFileWriter::SoundFileWriter(const fs::path& path, int channels, int sampleRate,
                                 SoundFormat format, std::int64_t expectedFrames)
    : file_(path), format_(format), channels_(channels) {
    const bool sized = format.container == Container::Wav || format.container == Container::Aiff;
    // Both keep lengths in 32 bits; a longer render would get a header that lies.
    const double bytes = static_cast<double>(expectedFrames) * channels * bytesPerSample(format);
    if (sized && bytes > 4.0e9)
        throw OutputError(path.string() + ": too long for a " + containerName(format.container) +
                          " file (4 GB at most); FLAC has no such limit");
    if (sized && file_.inPlace() && ::lseek(file_.descriptor(), 0, SEEK_CUR) < 0) {
        openStream(sampleRate, expectedFrames);
        return;
    }
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = channels;
    info.format = majorOf(format.container) | subtypeOf(format);
    SNDFILE* f = sf_open_fd(file_.descriptor(), SFM_WRITE, &info, SF_TRUE);
    if (!f)
        throw OutputError(path.string() + ": cannot write a " + containerName(format.container) +
                          " file: " + sf_strerror(nullptr));
    file_.release(); // libsndfile closes the descriptor
    // Samples beyond full scale clip instead of wrapping round in integer formats.
    sf_command(f, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    sndfile_ = f;
}

void SoundFileWriter::openStream(int sampleRate, std::int64_t expectedFrames) {
    const std::string name = file_.target().string();
    const int bytes = bytesPerSample(format_);
    const bool isFloat = format_.samples == SampleFormat::Float;
    if (format_.container == Container::Aiff && isFloat)
        throw FormatError(name + ": AIFF with float samples cannot be streamed; use WAV, or "
                                 "pcm16 or pcm24 samples");
    const auto frames = static_cast<std::uint32_t>(expectedFrames);
    const auto data = static_cast<std::uint32_t>(frames * static_cast<std::uint32_t>(channels_) *
                                                 static_cast<std::uint32_t>(bytes));
    const auto header = format_.container == Container::Wav
                            ? wavHeader(channels_, sampleRate, bytes, isFloat, frames, data)
                            : aiffHeader(channels_, sampleRate, bytes, frames, data);
    if (!writeAll(file_.descriptor(), header.data(), header.size()))
        throw OutputError(name + ": cannot write: " + std::strerror(errno));
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = channels_;
    info.format = SF_FORMAT_RAW | subtypeOf(format_) |
                  (format_.container == Container::Wav ? SF_ENDIAN_LITTLE : SF_ENDIAN_BIG);
    SNDFILE* f = sf_open_fd(file_.descriptor(), SFM_WRITE, &info, SF_FALSE);
    if (!f) throw OutputError(name + ": cannot write: " + sf_strerror(nullptr));
    sf_command(f, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    sndfile_ = f;
    streamFd_ = file_.descriptor();
    streamFrames_ = expectedFrames;
    streamPad_ = (data & 1) != 0;
}

SoundFileWriter::~SoundFileWriter() {
    if (sndfile_) sf_close(static_cast<SNDFILE*>(sndfile_));
}

bool SoundFileWriter::clips() const {
    return format_.container != Container::Ogg && format_.samples != SampleFormat::Float;
}

void SoundFileWriter::write(float* interleaved, int frames) {
    const std::int64_t count = static_cast<std::int64_t>(frames) * channels_;
    float peak = stats_.peak;
    for (std::int64_t i = 0; i < count; ++i) {
        const float v = interleaved[i];
        if (!std::isfinite(v)) {
            if (stats_.nonFinite++ == 0) {
                stats_.firstNonFiniteFrame = stats_.frames + i / channels_;
                stats_.firstNonFiniteChannel = static_cast<int>(i % channels_);
            }
            interleaved[i] = 0.0f;
            continue;
        }
        const float magnitude = std::abs(v);
        peak = std::max(peak, magnitude);
        stats_.overFullScale += magnitude > 1.0f;
    }
    stats_.peak = peak;
    if (sf_writef_float(static_cast<SNDFILE*>(sndfile_), interleaved, frames) != frames)
        throw OutputError(file_.target().string() + ": cannot write the file: " +
                          sf_strerror(static_cast<SNDFILE*>(sndfile_)));
    stats_.frames += frames;
}

void SoundFileWriter::commit() {
    const std::string name = file_.target().string();
    const int result = sf_close(static_cast<SNDFILE*>(sndfile_));
    sndfile_ = nullptr;
    if (result != 0)
        throw OutputError(name + ": cannot finish the file: " + sf_error_number(result));
    if (streamFd_ >= 0) {
        if (stats_.frames != streamFrames_)
            throw OutputError(name + ": the stream's header promised " +
                              std::to_string(streamFrames_) + " frames, not " +
                              std::to_string(stats_.frames));
        const unsigned char pad = 0;
        if (streamPad_ && !writeAll(streamFd_, &pad, 1))
            throw OutputError(name + ": cannot write: " + std::strerror(errno));
    }
    file_.commit();
}

} // namespace zrhost
