// Renders a patch into a sound file and reports on the result: the summary line, the verbose
// module list and the warnings, each one line on standard error.
#include "tools/zrhost/render_output.h"

#include "tools/zrhost/midi_file.h"
#include "tools/zrhost/sound_file.h"
#include "tools/zrhost/wavetable_cache.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string_view>
#include <vector>

namespace zrhost {

namespace {

namespace fs = std::filesystem;

std::string decibels(float peak) {
    if (peak <= 0.0f) return "-inf dBFS";
    char text[32];
    std::snprintf(text, sizeof text, "%+.1f dBFS", 20.0 * std::log10(static_cast<double>(peak)));
    return text;
}

std::string nameOf(const fs::path& out) {
    return out == OutputFile::kStandardOutput ? std::string("standard output") : out.string();
}

// Output pins by which a module reports whether a load succeeded: float outputs named
// "... Status" that read 1 after a good load (the table loader's slots). Recording their values
// is cheap: a loader sends a few values per load.
struct StatusWatch {
    const PatchModule* module = nullptr;
    AudioModule* audio = nullptr;
    std::vector<const PinInfo*> pins;
};

std::vector<StatusWatch> watchStatusPins(Engine& engine) {
    std::vector<StatusWatch> watches;
    for (const PatchModule& m : engine.patch().modules) {
        StatusWatch w{&m, m.audio ? engine.audio(m.name) : nullptr, {}};
        if (!w.audio) continue;
        for (const PinInfo& p : m.audioPins) {
            const std::string_view name = p.name;
            if (p.direction == gmpi::DirectionOut && p.datatype == gmpi::DatatypeFloat &&
                name.size() >= 6 && name.substr(name.size() - 6) == "Status")
                w.pins.push_back(&p);
        }
        if (w.pins.empty()) continue;
        w.audio->setRecording(true);
        watches.push_back(std::move(w));
    }
    return watches;
}

void warnFailedLoads(const std::vector<StatusWatch>& watches, const Patch& patch) {
    for (const StatusWatch& w : watches) {
        std::string failed;
        for (const PinInfo* p : w.pins) {
            const std::vector<float> sent = w.audio->floatsSent(p->id);
            if (!sent.empty() && sent.back() != 1.0f)
                failed += (failed.empty() ? "" : ", ") + p->name;
        }
        if (!failed.empty())
            std::fprintf(stderr,
                         "zrhost: warning: %s: modules.%s: %s: the load failed (a file missing, "
                         "unreadable or of the wrong kind)\n",
                         patch.file.c_str(), w.module->name.c_str(), failed.c_str());
    }
}

// A change the engine schedules at a frame past the last one never happens.
void warnLateAutomation(const Patch& patch) {
    const double rate = static_cast<double>(patch.sampleRate);
    const double end = static_cast<double>(patch.totalFrames()) - 0.5;
    const PatchChange* first = nullptr;
    int more = 0;
    for (const PatchChange& c : patch.changes) {
        if (c.place.rfind("automation", 0) != 0 || c.seconds * rate < end) continue;
        if (first)
            ++more;
        else
            first = &c;
    }
    if (!first) return;
    std::fprintf(
        stderr,
        "zrhost: warning: %s: %s.at: %g s is at or after the end of the render (%g s), "
        "so the change never happens%s\n",
        patch.file.c_str(), first->place.c_str(), first->seconds, patch.seconds,
        more
            ? (" (nor " + std::to_string(more) + " later one" + (more > 1 ? "s" : "") + ")").c_str()
            : "");
}

void printModules(const Engine& engine, std::int64_t blocks, double seconds) {
    const Patch& patch = engine.patch();
    std::fprintf(stderr, "modules: %zu, audio halves in this order:", patch.modules.size());
    for (int i : engine.runOrder())
        std::fprintf(stderr, " %s", patch.modules[static_cast<std::size_t>(i)].name.c_str());
    std::fprintf(stderr, "\n");
    for (const PatchModule& m : patch.modules)
        std::fprintf(stderr, "  %-16s %-24s %s\n", m.name.c_str(), m.id.c_str(),
                     m.audio && m.gui ? "audio+gui"
                     : m.audio        ? "audio"
                                      : "gui");
    std::fprintf(stderr, "render: %lld blocks of up to %d frames in %.3f s\n",
                 static_cast<long long>(blocks), static_cast<int>(patch.blockSize), seconds);
}

void printSummary(const fs::path& out, const SoundFileWriter& writer, const Engine& engine,
                  double wallSeconds) {
    const OutputStats& s = writer.stats();
    const double rate = static_cast<double>(engine.patch().sampleRate);
    const double seconds = static_cast<double>(s.frames) / rate;
    const SoundFormat& f = writer.format();
    const char* samples = f.container == Container::Ogg      ? ""
                          : f.samples == SampleFormat::Float ? " float"
                          : f.samples == SampleFormat::Pcm16 ? " pcm16"
                                                             : " pcm24";
    std::fprintf(
        stderr, "wrote %s: %.2f s, %d channel%s, %d Hz, %s%s, peak %s, %lld %s, %.1fx realtime\n",
        nameOf(out).c_str(), seconds, engine.channels(), engine.channels() == 1 ? "" : "s",
        static_cast<int>(rate), containerName(f.container), samples, decibels(s.peak).c_str(),
        static_cast<long long>(s.overFullScale), writer.clips() ? "clipped" : "over full scale",
        wallSeconds > 0 ? seconds / wallSeconds : 0.0);
}

} // namespace

Progress::Progress(std::string label, Verbosity verbosity)
    : label_(std::move(label)),
      enabled_(verbosity != Verbosity::Quiet && ::isatty(STDERR_FILENO) != 0),
      start_(Clock::now()) {}

void Progress::update(double fraction) {
    if (!enabled_) return;
    const auto now = Clock::now();
    if (now - start_ < std::chrono::seconds(1) ||
        (shown_ && now - lastDraw_ < std::chrono::milliseconds(100)))
        return;
    lastDraw_ = now;
    shown_ = true;
    constexpr int width = 30;
    const int filled = static_cast<int>(std::clamp(fraction, 0.0, 1.0) * width);
    std::fprintf(stderr, "\r%s [%s%s] %3d%%", label_.c_str(), std::string(filled, '#').c_str(),
                 std::string(width - filled, '.').c_str(), static_cast<int>(fraction * 100.0));
    std::fflush(stderr);
}

void Progress::finish() {
    if (!shown_) return;
    shown_ = false;
    std::fprintf(stderr, "\r%s\r", std::string(label_.size() + 40, ' ').c_str());
    std::fflush(stderr);
}

void checkOutputGains(const Patch& patch) {
    for (std::size_t i = 0; i < patch.outputs.size(); ++i) {
        const auto& sources = patch.outputs[i].sources;
        for (std::size_t j = 0; j < sources.size(); ++j) {
            if (std::isfinite(sources[j].gain)) continue;
            std::string place = "output[" + std::to_string(i) + "]";
            if (sources.size() > 1) place += "[" + std::to_string(j) + "]";
            throw PatchError(patch.file, place + ".gain",
                             "the gain is beyond what a float sample holds (about 3.4e38 at "
                             "most), so the output would be infinite");
        }
    }
}

void renderToSoundFile(ModuleLibrary& library, Patch patch, const fs::path& out,
                       const std::string& formatOption, Verbosity verbosity) {
    if (patch.outputs.empty())
        throw PatchError(patch.file, "output", "the patch names no output channel to write");
    checkOutputGains(patch);
    const SoundFormat format = chooseSoundFormat(out, formatOption);
    prepareWavetables(patch);
    Engine engine(library, std::move(patch));
    const std::vector<StatusWatch> watches = watchStatusPins(engine);
    // Messages of the captured MIDI outputs, written to their files after the render.
    const double rate = static_cast<double>(engine.patch().sampleRate);
    std::vector<std::vector<TimedMessage>> captured(engine.patch().midiCaptures.size());
    engine.setMidiTap(
        [&](std::size_t capture, std::int64_t frame, const std::uint8_t* bytes, int size) {
            if (bytes && size > 0)
                captured[capture].push_back({static_cast<double>(frame) / rate,
                                             std::vector<std::uint8_t>(bytes, bytes + size)});
        });
    SoundFileWriter writer(out, engine.channels(), static_cast<int>(engine.patch().sampleRate),
                           format, engine.totalFrames());
    std::vector<float> buffer(static_cast<std::size_t>(engine.channels()) *
                              static_cast<std::size_t>(engine.patch().blockSize));
    Progress progress("rendering " + out.filename().string(), verbosity);
    const auto start = std::chrono::steady_clock::now();
    std::int64_t blocks = 0;
    while (const int frames = engine.renderBlock(buffer.data())) {
        writer.write(buffer.data(), frames);
        ++blocks;
        progress.update(static_cast<double>(engine.framesRendered()) /
                        static_cast<double>(engine.totalFrames()));
    }
    const double wallSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    progress.finish();
    writer.commit();
    for (std::size_t i = 0; i < captured.size(); ++i)
        writeMidiFile(engine.patch().midiCaptures[i].file, captured[i]);

    if (verbosity == Verbosity::Verbose) printModules(engine, blocks, wallSeconds);
    if (verbosity != Verbosity::Quiet) printSummary(out, writer, engine, wallSeconds);
    const OutputStats& s = writer.stats();
    const std::string name = nameOf(out);
    if (s.peak == 0.0f && s.nonFinite == 0)
        std::fprintf(stderr, "zrhost: warning: %s: the output is silent (every sample is 0)\n",
                     name.c_str());
    if (writer.clips() && s.overFullScale > 0)
        std::fprintf(stderr,
                     "zrhost: warning: %s: %lld samples beyond full scale were clipped "
                     "(peak %s)\n",
                     name.c_str(), static_cast<long long>(s.overFullScale),
                     decibels(s.peak).c_str());
    warnFailedLoads(watches, engine.patch());
    warnLateAutomation(engine.patch());
    // The file is kept (it shows where things went wrong), but the render did not succeed.
    if (s.nonFinite > 0) {
        char where[96];
        std::snprintf(where, sizeof where, "the first at %.6f s in channel %d",
                      static_cast<double>(s.firstNonFiniteFrame) / rate,
                      s.firstNonFiniteChannel + 1);
        throw OutputError(name + ": " + std::to_string(s.nonFinite) +
                          " samples were not finite (NaN or infinity), " + where +
                          "; they were written as 0");
    }
}

} // namespace zrhost
