// Wavetable generation for the oscillators: band-limited ".zrw" files for the standard waves
// and for a single-cycle waveform read from a WAV file, and a checker that reads a file back
// and reports what it holds. Used by the zrwgen command, the command-line host and tests.
//
// Every zone keeps only the harmonics that stay below half of 44.1 kHz at the highest pitch
// the oscillator plays it at, and no more than kMaxHarmonics, so that the oscillator's linear
// interpolation adds no audible images; all zones of a file share one gain, so neighbouring
// zones hold the same level for every harmonic they both keep. See docs/wavetables.md.
//
// Threads: pure functions and file I/O, callable from any thread. Errors throw zrw::Error
// with a message fit for a user.
#pragma once

#include "modules/oscillators/Wavetables.h"

#include <array>
#include <complex>
#include <cstdint>
#include <filesystem>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace zrw {

namespace wt = zr::wavetables;

class Error : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};
// An input file that cannot serve: not a sound file, not one finite cycle, not a wavetable.
class InputError : public Error {
  public:
    using Error::Error;
};
// An input file that does not exist.
class NoSuchFile : public InputError {
  public:
    using InputError::InputError;
};

// Lowest sample rate at which every zone is free of aliasing.
inline constexpr double kMinSampleRate = 44100.0;
// Harmonic cap: half of the table's own limit (1024 harmonics per 2048-sample cycle).
inline constexpr int kMaxHarmonics = 512;
// Highest pitch the oscillator plays, in volts.
inline constexpr double kTopVolts = 10.333333;

// Header entries this generator writes (the loader checks only the format entry).
enum HeaderEntry : int {
    HeaderZoneLength = 0,   // 2048
    HeaderZoneCount = 1,    // 60
    HeaderZoneStart = 2,    // 4360, entry of zone 0
    HeaderFormat = 3,       // 2
    HeaderWaveType = 4,     // 0 sine, 1 tri, 2 saw, 3 sqr, 4 free
    HeaderNumber = 5,       // the number in the file name
    HeaderMaxHarmonics = 6, // harmonic cap of the lowest zones
    HeaderSampleRate = 7,   // lowest sample rate the zones are alias-free at
};

enum class Wave : int { Sine = 0, Triangle = 1, Saw = 2, Square = 3, Free = 4 };

// Highest pitch (volts) at which the oscillator reads zone `zone`: (z + 1) / 6, and the top
// of the pitch range for zone 59, which plays alone above 59/6 V.
double zoneTopVolts(int zone);
// Frequency of that pitch: 440 Hz at 5 V, one octave per volt.
double zoneTopFrequency(int zone);
// Harmonics kept in `zone` (at least 1).
int harmonicLimit(int zone);

// Complex harmonic amplitudes of one cycle: entry k (k >= 1; entry 0 is ignored) is X_k with
// the cycle x(t) = sum over k of 2 Re(X_k exp(i 2 pi k t)), t in cycles. A sine-phase
// harmonic of amplitude b is X_k = -i b / 2.
using Spectrum = std::vector<std::complex<double>>;

Spectrum standardSpectrum(Wave wave);
// The harmonics of a single cycle of any length (its DC and, for an even length, its
// Nyquist bin left out), as many as the table can hold.
Spectrum cycleSpectrum(std::span<const float> cycle);

// The discrete Fourier transform of any length in O(n log n) (Bluestein's chirp transform on
// power-of-two FFTs), unnormalised, sign -1 in the exponent. cycleSpectrum uses it for lengths
// with a prime factor above 1024.
std::vector<std::complex<double>> bluesteinDft(std::span<const std::complex<double>> in);

// The 127240 entries of a wavetable file.
using Table = std::vector<float>;

// Builds a file's entries from a spectrum: each zone gets the harmonics it may keep, then
// the whole file is scaled so that its largest sample has magnitude 1.
Table makeTable(const Spectrum& spectrum, Wave wave, int number);
Table makeStandardTable(Wave wave, int number);
Table makeTableFromCycle(std::span<const float> cycle, int number);

// A single cycle from a WAV (or any file libsndfile reads), channels mixed to mono. Throws
// NoSuchFile, or InputError for a file that is not a sound file or holds a sample that is not
// finite (one infinity would turn every harmonic, and so the whole table, into NaN).
std::vector<float> readCycle(const std::filesystem::path& file);

// "osc-saw-5.zrw" and the like.
std::string tableFileName(Wave wave, int number);

void writeTable(const std::filesystem::path& file, const Table& table);

// Writes osc-sine-N, osc-tri-N, osc-saw-N and osc-sqr-N into `folder` (created if needed),
// plus base.zrw (the sine table) for the loader's File pin. Returns the paths written.
std::vector<std::filesystem::path> writeStandardTables(const std::filesystem::path& folder,
                                                       int number);
// Writes osc-free-N.zrw from the cycle in `wavFile`, plus base.zrw when the folder has none.
std::filesystem::path writeFreeTable(const std::filesystem::path& folder, int number,
                                     const std::filesystem::path& wavFile);

struct ZoneInfo {
    float peak = 0.0f;        // largest magnitude
    int highestHarmonic = 0;  // highest harmonic within 100 dB of the zone's strongest
    double fundamental = 0.0; // amplitude of harmonic 1
};

struct TableInfo {
    std::uintmax_t fileBytes = 0;
    std::array<float, wt::kHeaderEntries> header{};
    std::array<ZoneInfo, wt::kZoneCount> zones{};
};

// Reads and checks a file. Throws NoSuchFile when it does not exist, InputError when it is
// not a wavetable (not a regular file, another size than 508960 bytes, a format entry that
// does not truncate to 2, or a sample that is not finite), Error when it cannot be read.
TableInfo inspectTable(const std::filesystem::path& file);
// Harmonic analysis of one zone (the entries of one cycle).
ZoneInfo analyseZone(std::span<const float> zone);

} // namespace zrw
