// bench_peers: the library's units beside their peers (hand-written floors of the same
// arithmetic, Faust-generated equivalents when the build found Faust), timed in one process,
// interleaved round by round, at 64-sample blocks and 48 kHz. Every peer's check runs first;
// a row whose check fails is shown as such and not timed.
//
//   bench_peers [--check-only] [--csv] [--rounds N] [--filter TEXT]
#include "bench/peers/rig.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using peers::kBlock;
using peers::Row;
using peers::Runner;

struct Options {
    bool checkOnly = false;
    bool csv = false;
    int rounds = 101;
    std::string filter;
};

// Nanoseconds for `blocks` blocks of a runner.
double timeBlocks(Runner& r, int blocks) {
    const auto t0 = std::chrono::steady_clock::now();
    for (int b = 0; b < blocks; ++b) {
        r.block();
        benchmark::DoNotOptimize(r.output());
        benchmark::ClobberMemory();
    }
    return std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - t0).count();
}

double quantile(std::vector<double> v, double q) {
    std::sort(v.begin(), v.end());
    const double at = q * static_cast<double>(v.size() - 1);
    const auto lo = static_cast<std::size_t>(at);
    const std::size_t hi = std::min(lo + 1, v.size() - 1);
    return v[lo] + (v[hi] - v[lo]) * (at - static_cast<double>(lo));
}

struct Result {
    double unitNs = 0.0, peerNs = 0.0, ratio = 0.0, spread = 0.0; // spread: IQR, % of ratio
};

// Rounds of the unit then the peer (the order alternating round by round), each round long
// enough (about 0.25 ms a side, so that few rounds are cut by the scheduler) for the clock; medians
// of ns per sample and of the per-round ratio, and the ratio's interquartile range.
Result measure(const Row& row, int rounds) {
    auto unit = row.makeUnit();
    auto peer = row.makePeer();
    timeBlocks(*unit, 200);
    timeBlocks(*peer, 200);
    const double perBlock = std::max(timeBlocks(*unit, 100), timeBlocks(*peer, 100)) / 100.0;
    const int blocks = std::max(4, static_cast<int>(2.5e5 / std::max(perBlock, 1.0)));
    const double samples = static_cast<double>(blocks) * kBlock * row.perUnit;
    std::vector<double> u, p, ratio;
    for (int r = 0; r < rounds; ++r) {
        double tu, tp;
        if (r % 2 == 0) {
            tu = timeBlocks(*unit, blocks);
            tp = timeBlocks(*peer, blocks);
        } else {
            tp = timeBlocks(*peer, blocks);
            tu = timeBlocks(*unit, blocks);
        }
        u.push_back(tu / samples);
        p.push_back(tp / samples);
        ratio.push_back(tu / tp);
    }
    Result res;
    res.unitNs = quantile(u, 0.5);
    res.peerNs = quantile(p, 0.5);
    res.ratio = quantile(ratio, 0.5);
    res.spread = 100.0 * (quantile(ratio, 0.75) - quantile(ratio, 0.25)) / res.ratio;
    return res;
}

Options parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--check-only") {
            o.checkOnly = true;
        } else if (a == "--csv") {
            o.csv = true;
        } else if (a == "--rounds" && i + 1 < argc) {
            o.rounds = std::max(3, std::atoi(argv[++i]));
        } else if (a == "--filter" && i + 1 < argc) {
            o.filter = argv[++i];
        } else {
            std::fprintf(
                stderr, "usage: bench_peers [--check-only] [--csv] [--rounds N] [--filter TEXT]\n");
            std::exit(a == "--help" ? 0 : 2);
        }
    }
    return o;
}

} // namespace

int main(int argc, char** argv) {
    const Options opt = parse(argc, argv);
    std::vector<Row> rows;
    for (auto family :
         {peers::oscillatorRows, peers::filterRows, peers::envelopeRows, peers::effectRows})
        for (Row& r : family())
            if (opt.filter.empty() || (r.unit + " " + r.peer).find(opt.filter) != std::string::npos)
                rows.push_back(std::move(r));

    int failed = 0;
    if (opt.csv)
        std::printf("unit,unit_ns_per_sample,peer,peer_ns_per_sample,ratio,spread_percent\n");
    else if (!opt.checkOnly)
        std::printf("%-32s %9s  %-36s %9s %7s %7s\n", "unit", "ns/smp", "peer", "ns/smp", "ratio",
                    "spread");
    for (const Row& row : rows) {
        const std::string problem = row.check ? row.check() : std::string();
        if (!problem.empty()) {
            ++failed;
            if (opt.csv)
                std::printf("%s,,%s,,check failed,\n", row.unit.c_str(), row.peer.c_str());
            else
                std::printf("%-32s %9s  %-36s check failed: %s\n", row.unit.c_str(), "",
                            row.peer.c_str(), problem.c_str());
            continue;
        }
        if (opt.checkOnly) {
            std::printf("ok  %-32s %s\n", row.unit.c_str(), row.peer.c_str());
            continue;
        }
        const Result r = measure(row, opt.rounds);
        if (opt.csv)
            std::printf("%s,%.3f,%s,%.3f,%.3f,%.1f\n", row.unit.c_str(), r.unitNs, row.peer.c_str(),
                        r.peerNs, r.ratio, r.spread);
        else
            std::printf("%-32s %9.2f  %-36s %9.2f %7.2f %6.1f%%\n", row.unit.c_str(), r.unitNs,
                        row.peer.c_str(), r.peerNs, r.ratio, r.spread);
        std::fflush(stdout);
    }
    if (failed > 0) std::fprintf(stderr, "%d check(s) failed\n", failed);
    return failed > 0 ? 1 : 0;
}
