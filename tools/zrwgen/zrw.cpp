// Wavetable synthesis through an inverse FFT per zone, file writing and checking.
#include "tools/zrwgen/zrw.h"

#include <kissfft/kissfft.hh>

#include <algorithm>
#include <bit>
#include <cmath>
#include <fstream>
#include <numbers>

namespace zrw {

// Files hold little-endian floats, written and read as they lie in memory.
static_assert(std::endian::native == std::endian::little);

namespace {

constexpr int kLength = wt::kZoneLength;
constexpr int kTableHarmonics = kLength / 2 - 1; // below the table's own Nyquist

std::string pathText(const std::filesystem::path& p) {
    return p.string();
}

// The largest prime factor of n (n >= 1).
std::size_t largestPrimeFactor(std::size_t n) {
    std::size_t largest = 1;
    for (std::size_t p = 2; p * p <= n; ++p)
        while (n % p == 0) {
            largest = p;
            n /= p;
        }
    return n > 1 ? n : largest;
}

std::vector<std::complex<double>> mixedRadixDft(std::span<const std::complex<double>> in) {
    std::vector<std::complex<double>> out(in.size());
    kissfft<double>(in.size(), false).transform(in.data(), out.data());
    return out;
}

} // namespace

std::vector<std::complex<double>> bluesteinDft(std::span<const std::complex<double>> in) {
    // X_k = conj(w_k) * sum_n (x_n conj(w_n)) w_(k-n) with the chirp w_n = exp(i pi n^2 / N):
    // a circular convolution of length M >= 2N - 1, done with power-of-two FFTs.
    const std::size_t n = in.size();
    if (n == 0) return {};
    std::size_t m = 1;
    while (m < 2 * n - 1)
        m *= 2;
    // n^2 taken modulo 2N keeps the chirp's angle exact for long cycles.
    std::vector<std::complex<double>> chirp(n);
    for (std::size_t j = 0; j < n; ++j) {
        const auto q = static_cast<std::uint64_t>(j) * j % (2 * static_cast<std::uint64_t>(n));
        chirp[j] =
            std::polar(1.0, std::numbers::pi * static_cast<double>(q) / static_cast<double>(n));
    }
    std::vector<std::complex<double>> a(m), b(m), fa(m), fb(m);
    for (std::size_t j = 0; j < n; ++j)
        a[j] = in[j] * std::conj(chirp[j]);
    b[0] = chirp[0];
    for (std::size_t j = 1; j < n; ++j)
        b[j] = b[m - j] = chirp[j];
    const kissfft<double> forward(m, false), inverse(m, true);
    forward.transform(a.data(), fa.data());
    forward.transform(b.data(), fb.data());
    for (std::size_t j = 0; j < m; ++j)
        fa[j] *= fb[j];
    inverse.transform(fa.data(), a.data());
    std::vector<std::complex<double>> out(n);
    for (std::size_t k = 0; k < n; ++k)
        out[k] = std::conj(chirp[k]) * a[k] / static_cast<double>(m);
    return out;
}

double zoneTopVolts(int zone) {
    if (zone >= wt::kZoneCount - 1) return kTopVolts;
    return (zone + 1) / 6.0;
}

double zoneTopFrequency(int zone) {
    return 440.0 * std::exp2(zoneTopVolts(zone) - 5.0);
}

int harmonicLimit(int zone) {
    // A hair below half the sample rate, so that the top harmonic never lands on Nyquist.
    const double nyquist = kMinSampleRate / 2.0 * (1.0 - 1e-4);
    const int n = static_cast<int>(std::floor(nyquist / zoneTopFrequency(zone)));
    return std::clamp(n, 1, kMaxHarmonics);
}

Spectrum standardSpectrum(Wave wave) {
    using std::numbers::pi;
    Spectrum s(kTableHarmonics + 1);
    // All four waves are in sine phase: they cross zero rising at the start of the cycle.
    const auto sinePhase = [](double amplitude) {
        return std::complex<double>(0.0, -amplitude / 2);
    };
    for (int k = 1; k <= kTableHarmonics; ++k) {
        const bool odd = k % 2 == 1;
        switch (wave) {
        case Wave::Sine:
            if (k == 1) s[k] = sinePhase(1.0);
            break;
        case Wave::Triangle: // peak 1 at a quarter cycle
            if (odd) s[k] = sinePhase(8.0 / (pi * pi) * ((k / 2) % 2 ? -1.0 : 1.0) / (k * k));
            break;
        case Wave::Saw: // rises from -1 to 1, the jump at half a cycle
            s[k] = sinePhase(2.0 / pi * (odd ? 1.0 : -1.0) / k);
            break;
        case Wave::Square: // +1 for the first half cycle, -1 for the second
            if (odd) s[k] = sinePhase(4.0 / pi / k);
            break;
        case Wave::Free:
            throw Error("the free wave has no standard spectrum");
        }
    }
    return s;
}

Spectrum cycleSpectrum(std::span<const float> cycle) {
    const std::size_t m = cycle.size();
    if (m < 3) throw InputError("a cycle needs at least 3 samples to hold a waveform");
    for (std::size_t n = 0; n < m; ++n)
        if (!std::isfinite(cycle[n]))
            throw InputError("cycle sample " + std::to_string(n) + " is not a finite number");
    // Harmonics strictly below the cycle's Nyquist bin, as many as the table can hold.
    const int harmonics = static_cast<int>(std::min<std::size_t>((m - 1) / 2, kTableHarmonics));
    Spectrum s(static_cast<std::size_t>(kTableHarmonics) + 1);
    std::vector<std::complex<double>> in(cycle.begin(), cycle.end());
    // Lengths whose prime factors are small go through the mixed-radix FFT as they always
    // have (power-of-two cycles stay bit for bit what they were); a large prime factor makes
    // that FFT quadratic in the factor, so those lengths take Bluestein's transform instead.
    const std::vector<std::complex<double>> out =
        largestPrimeFactor(m) <= 1024 ? mixedRadixDft(in) : bluesteinDft(in);
    for (int k = 1; k <= harmonics; ++k)
        s[k] = out[static_cast<std::size_t>(k)] / static_cast<double>(m);
    return s;
}

Table makeTable(const Spectrum& spectrum, Wave wave, int number) {
    Table table(wt::kFileEntries, 0.0f);
    std::vector<double> zones(static_cast<std::size_t>(wt::kZoneCount) * kLength);
    kissfft<double> inverse(kLength, true);
    std::vector<std::complex<double>> bins(kLength), cycle(kLength);
    double peak = 0.0;
    for (int z = 0; z < wt::kZoneCount; ++z) {
        std::fill(bins.begin(), bins.end(), std::complex<double>());
        const int limit = std::min<int>(harmonicLimit(z), static_cast<int>(spectrum.size()) - 1);
        for (int k = 1; k <= limit; ++k) {
            bins[k] = spectrum[k];
            bins[kLength - k] = std::conj(spectrum[k]);
        }
        inverse.transform(bins.data(), cycle.data());
        for (int n = 0; n < kLength; ++n) {
            const double v = cycle[n].real();
            zones[static_cast<std::size_t>(z) * kLength + n] = v;
            peak = std::max(peak, std::abs(v));
        }
    }
    if (!(peak > 1e-9)) throw InputError("the waveform is silent: it has no harmonic to play");
    // One gain for the whole file: zones keep their common harmonics at equal level, so the
    // crossfade between neighbours does not change loudness.
    const double gain = 1.0 / peak;
    for (std::size_t i = 0; i < zones.size(); ++i)
        table[wt::kZoneStart + i] = static_cast<float>(zones[i] * gain);

    table[HeaderZoneLength] = static_cast<float>(wt::kZoneLength);
    table[HeaderZoneCount] = static_cast<float>(wt::kZoneCount);
    table[HeaderZoneStart] = static_cast<float>(wt::kZoneStart);
    table[HeaderFormat] = wt::kFormatValue;
    table[HeaderWaveType] = static_cast<float>(static_cast<int>(wave));
    table[HeaderNumber] = static_cast<float>(number);
    table[HeaderMaxHarmonics] = static_cast<float>(kMaxHarmonics);
    table[HeaderSampleRate] = static_cast<float>(kMinSampleRate);
    return table;
}

Table makeStandardTable(Wave wave, int number) {
    return makeTable(standardSpectrum(wave), wave, number);
}

Table makeTableFromCycle(std::span<const float> cycle, int number) {
    return makeTable(cycleSpectrum(cycle), Wave::Free, number);
}

std::string tableFileName(Wave wave, int number) {
    static const char* const stems[] = {"sine", "tri", "saw", "sqr", "free"};
    return std::string("osc-") + stems[static_cast<int>(wave)] + "-" + std::to_string(number) +
           ".zrw";
}

void writeTable(const std::filesystem::path& file, const Table& table) {
    if (table.size() != static_cast<std::size_t>(wt::kFileEntries))
        throw Error("internal: a table must hold " + std::to_string(wt::kFileEntries) + " entries");
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    if (!out) throw Error("cannot create " + pathText(file));
    out.write(reinterpret_cast<const char*>(table.data()),
              static_cast<std::streamsize>(table.size() * sizeof(float)));
    out.close();
    if (!out) throw Error("cannot write " + pathText(file));
}

namespace {
void makeFolder(const std::filesystem::path& folder) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) throw Error("cannot create folder " + pathText(folder) + ": " + ec.message());
}
} // namespace

std::vector<std::filesystem::path> writeStandardTables(const std::filesystem::path& folder,
                                                       int number) {
    makeFolder(folder);
    std::vector<std::filesystem::path> written;
    for (Wave w : {Wave::Sine, Wave::Triangle, Wave::Saw, Wave::Square}) {
        const Table t = makeStandardTable(w, number);
        written.push_back(folder / tableFileName(w, number));
        writeTable(written.back(), t);
        if (w == Wave::Sine) {
            written.push_back(folder / "base.zrw");
            writeTable(written.back(), t);
        }
    }
    return written;
}

std::filesystem::path writeFreeTable(const std::filesystem::path& folder, int number,
                                     const std::filesystem::path& wavFile) {
    const Table t = makeTableFromCycle(readCycle(wavFile), number);
    makeFolder(folder);
    const auto file = folder / tableFileName(Wave::Free, number);
    writeTable(file, t);
    if (!std::filesystem::exists(folder / "base.zrw")) writeTable(folder / "base.zrw", t);
    return file;
}

ZoneInfo analyseZone(std::span<const float> zone) {
    ZoneInfo info;
    std::vector<std::complex<double>> in(zone.begin(), zone.end()), out(zone.size());
    for (float v : zone)
        info.peak = std::max(info.peak, std::abs(v));
    if (zone.size() < 4) return info;
    kissfft<double>(zone.size(), false).transform(in.data(), out.data());
    const std::size_t half = zone.size() / 2;
    double strongest = 0.0;
    std::vector<double> amplitude(half);
    for (std::size_t k = 1; k < half; ++k) {
        amplitude[k] = 2.0 * std::abs(out[k]) / static_cast<double>(zone.size());
        strongest = std::max(strongest, amplitude[k]);
    }
    info.fundamental = amplitude[1];
    for (std::size_t k = half; k-- > 1;)
        if (amplitude[k] > strongest * 1e-5) {
            info.highestHarmonic = static_cast<int>(k);
            break;
        }
    return info;
}

TableInfo inspectTable(const std::filesystem::path& file) {
    TableInfo info;
    std::error_code ec;
    const auto status = std::filesystem::status(file, ec);
    if (status.type() == std::filesystem::file_type::not_found)
        throw NoSuchFile("no such file: " + pathText(file));
    if (ec) throw Error("cannot read " + pathText(file) + ": " + ec.message());
    // A FIFO or device would block or never end; only a regular file can be a table.
    if (status.type() != std::filesystem::file_type::regular)
        throw InputError(pathText(file) + " is not a regular file");
    info.fileBytes = std::filesystem::file_size(file, ec);
    if (ec) throw Error("cannot read " + pathText(file) + ": " + ec.message());
    if (info.fileBytes != static_cast<std::uintmax_t>(wt::kFileBytes))
        throw InputError(pathText(file) + " is " + std::to_string(info.fileBytes) +
                         " bytes long; a wavetable file holds exactly " +
                         std::to_string(wt::kFileBytes) + " bytes (8 header values, " +
                         std::to_string(wt::kZoneStart - wt::kHeaderEntries) +
                         " unused values and " + std::to_string(wt::kZoneCount) + " zones of " +
                         std::to_string(wt::kZoneLength) + ")");
    Table table(wt::kFileEntries);
    std::ifstream in(file, std::ios::binary);
    if (!in.read(reinterpret_cast<char*>(table.data()), wt::kFileBytes))
        throw Error("cannot read " + pathText(file));
    std::copy_n(table.begin(), wt::kHeaderEntries, info.header.begin());
    if (!wt::hasValidFormat(table[wt::kFormatEntry]))
        throw InputError(pathText(file) + ": the format value (header entry 3) is " +
                         std::to_string(table[wt::kFormatEntry]) +
                         "; the loader accepts only values that truncate to 2");
    for (int z = 0; z < wt::kZoneCount; ++z) {
        const std::span<const float> zone(table.data() + wt::kZoneStart + z * kLength, kLength);
        for (int n = 0; n < kLength; ++n)
            if (!std::isfinite(zone[n]))
                throw InputError(pathText(file) + ": zone " + std::to_string(z) + " sample " +
                                 std::to_string(n) + " is not a finite number");
        info.zones[z] = analyseZone(zone);
    }
    return info;
}

} // namespace zrw
