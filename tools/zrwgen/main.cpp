// zrwgen: writes band-limited wavetable files for the oscillators and checks them.
//
//   zrwgen standard [-o FOLDER] [-n NUMBER]   osc-{sine,tri,saw,sqr}-N.zrw and base.zrw
//   zrwgen free WAV [-o FOLDER] [-n NUMBER]   osc-free-N.zrw from a single-cycle waveform
//   zrwgen info FILE...                       header, size, per-zone peak and top harmonic
//
// Exit status: 0 done; 2 bad input (command line, or a WAV that is missing or not one finite
// cycle); 1 anything else, and `info` when a file is missing or not a wavetable.
#include "tools/zrwgen/zrw.h"

#include <CLI/CLI.hpp>

#include <climits>
#include <cstdio>
#include <iostream>

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitBadInput = 2;

void printInfo(const std::filesystem::path& file, const zrw::TableInfo& info) {
    std::printf("%s: %ju bytes, format %g\n", file.string().c_str(), info.fileBytes,
                static_cast<double>(info.header[zrw::HeaderFormat]));
    std::printf("header:");
    for (float h : info.header)
        std::printf(" %g", static_cast<double>(h));
    std::printf("\n zone   volts        peak  harmonic 1  top harmonic  limit\n");
    for (int z = 0; z < zr::wavetables::kZoneCount; ++z) {
        const zrw::ZoneInfo& zi = info.zones[z];
        // Zone 0 also plays every pitch below 0 V, down to -10 V.
        const double lowest = z == 0 ? -10.0 : (z - 1) / 6.0;
        std::printf("%5d  %6.2f-%-5.2f %8.5f  %10.6f  %12d  %5d\n", z, lowest, zrw::zoneTopVolts(z),
                    static_cast<double>(zi.peak), zi.fundamental, zi.highestHarmonic,
                    zrw::harmonicLimit(z));
    }
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"Writes and checks band-limited wavetable files (.zrw) for the oscillators"};
    app.require_subcommand(1);

    std::string folder = ".";
    int number = 1;
    auto* standard = app.add_subcommand(
        "standard", "write osc-sine-N, osc-tri-N, osc-saw-N, osc-sqr-N and base.zrw");
    standard->add_option("-o,--out", folder, "folder to write into (created if needed)");
    // N appears in the file names the loader builds from its number pins: a whole number,
    // 0 or more (a negative one would give names such as osc-free--1.zrw).
    const CLI::Range numberRange(0, INT_MAX);
    standard->add_option("-n,--number", number, "the number N in the file names")
        ->check(numberRange);

    std::string wav;
    auto* free = app.add_subcommand("free", "write osc-free-N.zrw from a single-cycle WAV");
    free->add_option("wav", wav, "sound file holding exactly one cycle")->required();
    free->add_option("-o,--out", folder, "folder to write into (created if needed)");
    free->add_option("-n,--number", number, "the number N in the file name")->check(numberRange);

    std::vector<std::string> files;
    auto* info = app.add_subcommand("info", "check files and print what they hold");
    info->add_option("files", files, "wavetable files")->required();

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        std::fprintf(stderr, "zrwgen: error: %s (zrwgen --help shows the commands)\n", e.what());
        return kExitBadInput;
    }

    try {
        if (*standard) {
            for (const auto& p : zrw::writeStandardTables(folder, number))
                std::printf("wrote %s\n", p.string().c_str());
        } else if (*free) {
            std::printf("wrote %s\n", zrw::writeFreeTable(folder, number, wav).string().c_str());
        } else if (*info) {
            int failures = 0;
            for (const auto& f : files) {
                try {
                    printInfo(f, zrw::inspectTable(f));
                } catch (const zrw::NoSuchFile& e) {
                    std::fprintf(stderr, "zrwgen: error: %s\n", e.what());
                    ++failures;
                } catch (const zrw::InputError& e) {
                    std::fprintf(stderr, "zrwgen: error: not a wavetable: %s\n", e.what());
                    ++failures;
                } catch (const zrw::Error& e) {
                    std::fprintf(stderr, "zrwgen: error: %s\n", e.what());
                    ++failures;
                }
            }
            return failures ? kExitFailure : 0;
        }
    } catch (const zrw::InputError& e) {
        std::fprintf(stderr, "zrwgen: error: %s\n", e.what());
        return kExitBadInput;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zrwgen: error: %s\n", e.what());
        return kExitFailure;
    }
    return 0;
}
