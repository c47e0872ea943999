// "ZR BPM Clock3" and "ZR BPM Tempo": clock edges counted in samples against the exact
// rational edge times over 10 minutes, independence from the block size, the Rate output,
// stopping, re-aligning to a song position, and tempos and divisions that would divide by
// zero, overflow an int or loop for ever.
#include "dadsr_rig.h"

#include <gtest/gtest.h>

#include <limits>
#include <tuple>

namespace envtest {
namespace {

enum ClockPin : int32 { PTempo, PPosition, PDivision, PClock, PSync, PRun, PRate };

struct Edge {
    std::int64_t at;
    float level;
    bool operator==(const Edge&) const = default;
};

// Drives one clock; records its edges (where it announced a new static level) from the host
// calls, and optionally keeps every output sample.
class ClockRig {
  public:
    ClockRig(float rate, int32 block, float tempo, int32 division)
        : module_(rig::library(), u"ZR BPM Clock3", context_, {block, rate}), block_(block) {
        module_.attachOwnBuffer(PClock);
        module_.open();
        first_ = [=](zrhost::EventList& e) {
            e.addGraphStart(0)
                .addFloat(0, PTempo, tempo)
                .addFloat(0, PPosition, 0.0f)
                .addInt(0, PDivision, division)
                .addBool(0, PSync, false)
                .addInt(0, PRun, 1);
        };
    }

    using Events = std::function<void(zrhost::EventList&, std::int64_t blockStart)>;
    void run(std::int64_t samples, const Events& events = {}) {
        for (const std::int64_t end = now_ + samples; now_ < end;) {
            const int32 n = static_cast<int32>(std::min<std::int64_t>(block_, end - now_));
            zrhost::EventList ev;
            if (first_) {
                first_(ev);
                first_ = nullptr;
            }
            if (events) events(ev, now_);
            module_.clearCalls();
            module_.processBlock(ev, n);
            const auto buf = module_.buffer(PClock);
            for (const auto& c : module_.callsOf(zrhost::AudioCallKind::SetPinStreaming))
                if (c.pinId == PClock && !c.streaming && c.time < n)
                    edges.push_back({now_ + c.time, buf[c.time]});
            if (keep) out.insert(out.end(), buf.begin(), buf.begin() + n);
            now_ += n;
        }
    }
    zrhost::AudioModule& module() { return module_; }
    std::int64_t now() const { return now_; }

    std::vector<Edge> edges;
    std::vector<float> out;
    bool keep = false;

  private:
    zrhost::HostContext context_;
    zrhost::AudioModule module_;
    int32 block_;
    std::function<void(zrhost::EventList&)> first_;
    std::int64_t now_ = 0;
};

// Edge j (rising for even j) of a clock started at sample 0: at j half periods, a half period
// being 30 x rate x beats-per-pulse / tempo samples, taken to the sample at or before it.
// Exact in integers for whole tempos and rates.
std::vector<Edge> expectedEdges(std::int64_t rate, std::int64_t tempo, int32 division,
                                std::int64_t samples) {
    const std::int64_t num = 30 * rate * (division < 0 ? -division : 1);
    const std::int64_t den = tempo * (division > 0 ? division : 1);
    std::vector<Edge> e;
    for (std::int64_t j = 0; j * num / den < samples; ++j)
        e.push_back({j * num / den, j % 2 == 0 ? 1.0f : 0.0f});
    return e;
}

// Ten minutes of 120 BPM at 44.1 and 48 kHz (and a tempo whose period is not a whole number of
// samples), driven in big blocks and in odd-sized ones: every edge on its exact sample, the
// last as exactly placed as the first.
TEST(BpmClock, EdgesOnTheExactSampleForTenMinutes) {
    for (const auto& [rate, tempo, division, block] : {std::tuple{44100, 120, 1, 8192},
                                                       {48000, 120, 1, 8192},
                                                       {44100, 120, 4, 1000},
                                                       {48000, 97, 1, 8192},
                                                       {44100, 97, -2, 4096},
                                                       {48000, 133, 3, 4000}}) {
        ClockRig c(static_cast<float>(rate), block, static_cast<float>(tempo), division);
        const std::int64_t samples = 600LL * rate;
        c.run(samples);
        const auto expected = expectedEdges(rate, tempo, division, samples);
        ASSERT_EQ(c.edges.size(), expected.size()) << rate << " Hz, " << tempo << " BPM";
        for (std::size_t j = 0; j < expected.size(); ++j)
            ASSERT_EQ(c.edges[j], expected[j])
                << "edge " << j << " at " << rate << " Hz, " << tempo << " BPM, division "
                << division << ": " << c.edges[j].at << " for " << expected[j].at;
    }
}

// Every edge is served at its own sample, whatever the block size: the output is the same.
TEST(BpmClock, BlockSizeDoesNotMoveTheEdges) {
    std::vector<float> reference;
    for (const int32 block : {4096, 1, 64, 333}) {
        ClockRig c(44100.0f, block, 137.0f, 3);
        c.keep = true;
        c.run(3 * 44100);
        if (reference.empty())
            reference = c.out;
        else
            EXPECT_EQ(c.out, reference) << "block " << block;
    }
    // A square wave: a high half and a low half per pulse.
    EXPECT_EQ(reference[0], 1.0f);
    EXPECT_EQ(reference[static_cast<std::size_t>(30.0 * 44100 / (137.0 * 3))], 0.0f);
}

TEST(BpmClock, RateInPulsesPerSecond) {
    for (const auto& [division, rate] :
         {std::pair{1, 2.0f}, {4, 8.0f}, {-2, 1.0f}, {-8, 0.25f}, {0, 0.0f}}) {
        ClockRig c(44100.0f, 64, 120.0f, division);
        c.run(64);
        ASSERT_FALSE(c.module().floatsSent(PRate).empty());
        EXPECT_NEAR(c.module().floatsSent(PRate).back(), rate, 1e-6) << division;
    }
}

// Run other than 1 stops the clock with its output low, at once, and it sleeps low; Run 1
// again starts with a rising edge on its sample.
TEST(BpmClock, StoppingLeavesTheOutputLowAndSleeps) {
    for (const int32 stop : {0, 2, -1}) {
        ClockRig c(44100.0f, 64, 120.0f, 1);
        c.keep = true;
        c.run(5000 + 64 * 20, [&](zrhost::EventList& ev, std::int64_t start) {
            if (start == 4992) ev.addInt(8, PRun, stop); // sample 5000, in the high half
        });
        for (std::size_t i = 5000; i < c.out.size(); ++i)
            ASSERT_EQ(c.out[i], 0.0f) << "Run " << stop << ", sample " << i;
        EXPECT_TRUE(c.module().isAsleep());
        c.edges.clear();
        c.run(30000, [&](zrhost::EventList& ev, std::int64_t start) {
            if (start == 5000 + 64 * 20) ev.addInt(3, PRun, 1);
        });
        ASSERT_FALSE(c.edges.empty());
        EXPECT_EQ(c.edges[0], (Edge{5000 + 64 * 20 + 3, 1.0f}));
        EXPECT_EQ(c.edges[1], (Edge{5000 + 64 * 20 + 3 + 11025, 0.0f}));
    }
}

// A Position far from the clock's phase re-aligns it: the output falls at once, and the next
// rise comes when the pulse that the position asks for ends. A nearby Position only nudges.
TEST(BpmClock, PositionReAlignsThePhase) {
    ClockRig c(44100.0f, 64, 120.0f, 1);
    c.run(22050 * 3 + 5000); // in the high half of a pulse
    const std::int64_t at = c.now() + 10;
    c.edges.clear();
    c.run(64, [&](zrhost::EventList& ev, std::int64_t) { ev.addFloat(10, PPosition, 7.25f); });
    c.run(40000);
    ASSERT_GE(c.edges.size(), 2u);
    EXPECT_EQ(c.edges[0], (Edge{at, 0.0f}));
    // A quarter of the pulse has passed: three quarters of 22050 samples to the rise.
    EXPECT_EQ(c.edges[1], (Edge{at + 16537, 1.0f}));

    // Within 0.01 of a pulse: no forced fall, the edges move by the error only.
    ClockRig n(44100.0f, 64, 120.0f, 1);
    n.run(22050 + 5000);
    n.edges.clear();
    n.run(64, [&](zrhost::EventList& ev, std::int64_t) {
        ev.addFloat(0, PPosition, static_cast<float>((5000.0 + 100.0) / 22050.0 + 1.0));
    });
    n.run(30000);
    ASSERT_FALSE(n.edges.empty());
    EXPECT_EQ(n.edges[0], (Edge{22050 + 11025 - 100, 0.0f}));
}

// Tempos and divisions that would divide by zero, loop for ever or overflow an int: 0, below
// 0 and NaN stand the clock still (no edge; its output stays low from the start); a tempo or
// division asking for more than one edge per sample gives an edge on every sample; very slow
// ones rise once and wait.
TEST(BpmClock, HostileTemposAndDivisions) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const int32 big = std::numeric_limits<int32>::max(), small = std::numeric_limits<int32>::min();
    struct Case {
        float tempo;
        int32 division;
        int expectEdges; // -1: one per sample
    };
    for (const Case k : {Case{0.0f, 1, 0},
                         {-120.0f, 1, 0},
                         {nan, 1, 0},
                         {-inf, 4, 0},
                         {1e-30f, 1, 1},
                         {120.0f, small, 1},
                         {inf, 1, -1},
                         {1e30f, 1, -1},
                         {120.0f, big, -1},
                         {3e38f, -1, -1}}) {
        ClockRig c(44100.0f, 64, k.tempo, k.division);
        c.keep = true;
        c.run(4410);
        if (k.expectEdges >= 0) {
            EXPECT_EQ(c.edges.size(), static_cast<std::size_t>(k.expectEdges))
                << k.tempo << " BPM, division " << k.division;
            for (float v : c.out)
                ASSERT_EQ(v, k.expectEdges ? 1.0f : 0.0f);
        } else {
            ASSERT_EQ(c.edges.size(), c.out.size()) << k.tempo << " BPM, " << k.division;
            for (std::size_t i = 0; i < c.out.size(); ++i)
                ASSERT_EQ(c.out[i], i % 2 == 0 ? 1.0f : 0.0f) << i;
        }
    }
    // Division 0: one pulse every 8 beats (4 s at 120 BPM), a Rate of 0.
    ClockRig eight(1000.0f, 512, 120.0f, 0);
    eight.run(9000);
    EXPECT_EQ(eight.edges, (std::vector<Edge>{
                               {0, 1.0f}, {2000, 0.0f}, {4000, 1.0f}, {6000, 0.0f}, {8000, 1.0f}}));
}

TEST(BpmTempo, TempoAndPlayingAsSignals) {
    zrhost::HostContext context;
    zrhost::AudioModule m(rig::library(), u"ZR BPM Tempo", context, {64, 44100.0f});
    m.attachOwnBuffer(2);
    m.attachOwnBuffer(3);
    m.open();
    zrhost::EventList ev;
    ev.addGraphStart(0).addFloat(0, 0, 120.0f).addBool(0, 1, true);
    m.processBlock(ev);
    for (float v : m.buffer(2))
        EXPECT_EQ(v, 12.0f);
    for (float v : m.buffer(3))
        EXPECT_EQ(v, 1.0f);
    m.processBlocks(3);
    EXPECT_TRUE(m.isAsleep());
    zrhost::EventList stop;
    stop.addBool(5, 1, false);
    m.processBlock(stop);
    EXPECT_EQ(m.buffer(3)[4], 1.0f);
    EXPECT_EQ(m.buffer(3)[5], 0.0f);
}

} // namespace
} // namespace envtest
