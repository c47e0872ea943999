// zrhost: loads a module library through MP_GetFactory and renders patches with it.
//
//   zrhost demo [-o demo.wav]                 the built-in demo, to a WAV file
//   zrhost render PATCH.json -o OUT.wav       a patch file, to a WAV file
//   zrhost list | describe ID                 the library's modules and their pins
//   zrhost scope PATCH.json --module NAME -o scope.png
//   zrhost eval "EXPRESSION" [--var NAME=VALUE ...]   a formula's value
//   zrhost validate [--library PATH] [--only ID] [--seed N]   every module half, checked
//
// Exit status: 0 done, 2 bad input (command line, patch file, library), 1 anything else
// (an output that cannot be written, say). Errors are one line on standard error.
#include "tools/zrhost/demo_patch.h"
#include "tools/zrhost/eval_command.h"
#include "tools/zrhost/midi_file.h"
#include "tools/zrhost/png_writer.h"
#include "tools/zrhost/validate_command.h"
#include "tools/zrhost/wav_writer.h"
#include "tools/zrhost/wavetable_cache.h"

#include "framework/mp_text.h"
#include "host/engine.h"
#include "host/module_catalog.h"
#include "host/module_library.h"

#include <CLI/CLI.hpp>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>
#include <regex>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace zrhost;

constexpr int kExitFailure = 1;
constexpr int kExitBadInput = 2;

// Bad input that is not a patch: a command-line value, a module identifier.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The library built beside this program: <prefix>/bin/zrhost → <prefix>/lib/libzrmodules.so.
std::string defaultLibrary() {
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return "libzrmodules.so";
    return (self.parent_path().parent_path() / "lib" / "libzrmodules.so").string();
}

struct Loaded {
    std::unique_ptr<ModuleLibrary> library;
    ModuleCatalog catalog;
};

Loaded loadLibrary(const std::string& path) {
    Loaded out;
    out.library = ModuleLibrary::load(path);
    auto catalog = loadModuleCatalog(*out.library);
    if (!catalog)
        throw LoadError(path + ": the library has no module catalog (ZrModuleDescriptions), so "
                               "its pins cannot be named");
    out.catalog = std::move(*catalog);
    return out;
}

// A bar on standard error for renders that take more than a second; nothing when standard
// error is not a terminal.
class Progress {
  public:
    explicit Progress(std::string label)
        : label_(std::move(label)), enabled_(::isatty(STDERR_FILENO) != 0), start_(Clock::now()) {}
    ~Progress() { finish(); }

    void update(double fraction) {
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
    void finish() {
        if (!shown_) return;
        shown_ = false;
        std::fprintf(stderr, "\r%s\r", std::string(label_.size() + 40, ' ').c_str());
        std::fflush(stderr);
    }

  private:
    using Clock = std::chrono::steady_clock;
    std::string label_;
    bool enabled_;
    bool shown_ = false;
    Clock::time_point start_, lastDraw_;
};

struct RenderOptions {
    std::optional<double> seconds, rate, block;
    std::string format = "pcm24";
};

void applyOverrides(Patch& patch, const RenderOptions& o) {
    if (o.rate) setSampleRate(patch, *o.rate, "--rate");
    if (o.block) setBlockSize(patch, *o.block, "--block");
    if (o.seconds) setSeconds(patch, *o.seconds, "--seconds");
}

SampleFormat sampleFormat(const std::string& name) {
    const auto f = parseSampleFormat(name);
    if (!f) throw UsageError("--format: expected pcm16, pcm24 or float, not \"" + name + "\"");
    return *f;
}

bool stdoutIsTerminal() {
    return ::isatty(STDOUT_FILENO) != 0;
}

void renderWav(ModuleLibrary& library, Patch patch, const fs::path& out, SampleFormat format) {
    if (patch.outputs.empty())
        throw PatchError(patch.file, "output", "the patch names no output channel to write");
    prepareWavetables(patch);
    Engine engine(library, std::move(patch));
    // Messages of the captured MIDI outputs, written to their files after the render.
    const double rate = static_cast<double>(engine.patch().sampleRate);
    std::vector<std::vector<TimedMessage>> captured(engine.patch().midiCaptures.size());
    engine.setMidiTap(
        [&](std::size_t capture, std::int64_t frame, const std::uint8_t* bytes, int size) {
            if (bytes && size > 0)
                captured[capture].push_back({static_cast<double>(frame) / rate,
                                             std::vector<std::uint8_t>(bytes, bytes + size)});
        });
    WavWriter writer(out, engine.channels(), static_cast<int>(engine.patch().sampleRate), format);
    std::vector<float> buffer(static_cast<std::size_t>(engine.channels()) *
                              static_cast<std::size_t>(engine.patch().blockSize));
    Progress progress("rendering " + out.filename().string());
    while (const int frames = engine.renderBlock(buffer.data())) {
        writer.write(buffer.data(), frames);
        progress.update(static_cast<double>(engine.framesRendered()) /
                        static_cast<double>(engine.totalFrames()));
    }
    progress.finish();
    writer.commit();
    for (std::size_t i = 0; i < captured.size(); ++i)
        writeMidiFile(engine.patch().midiCaptures[i].file, captured[i]);
    if (writer.peak() > 1.0f && format != SampleFormat::Float)
        std::fprintf(stderr, "zrhost: warning: %s: the signal peaks at %.2f and was clipped\n",
                     out.string().c_str(), writer.peak());
    if (stdoutIsTerminal())
        std::printf("wrote %s: %.2f s, %d channel%s, %d Hz\n", out.string().c_str(),
                    static_cast<double>(writer.framesWritten()) / engine.patch().sampleRate,
                    engine.channels(), engine.channels() == 1 ? "" : "s",
                    static_cast<int>(engine.patch().sampleRate));
}

std::string halvesOf(const ModuleInfo& m) {
    if (m.hasAudio && m.hasGui) return "audio+gui";
    return m.hasAudio ? "audio" : m.hasGui ? "gui" : "-";
}

void listModules(const ModuleCatalog& catalog) {
    std::vector<const ModuleInfo*> modules;
    for (const auto& m : catalog.modules)
        modules.push_back(&m);
    std::sort(modules.begin(), modules.end(),
              [](const ModuleInfo* a, const ModuleInfo* b) { return a->id < b->id; });
    std::size_t idWidth = 10, nameWidth = 4, categoryWidth = 8;
    for (const auto* m : modules) {
        idWidth = std::max(idWidth, m->id.size());
        nameWidth = std::max(nameWidth, m->name.size());
        categoryWidth = std::max(categoryWidth, m->category.size());
    }
    std::printf("%-*s  %-*s  %-*s  %s\n", static_cast<int>(idWidth), "IDENTIFIER",
                static_cast<int>(nameWidth), "NAME", static_cast<int>(categoryWidth), "CATEGORY",
                "HALVES");
    for (const auto* m : modules)
        std::printf("%-*s  %-*s  %-*s  %s\n", static_cast<int>(idWidth), m->id.c_str(),
                    static_cast<int>(nameWidth), m->name.c_str(), static_cast<int>(categoryWidth),
                    m->category.c_str(), halvesOf(*m).c_str());
}

void describePins(const char* title, const std::vector<PinInfo>& pins) {
    std::printf("%s\n", title);
    std::size_t nameWidth = 4;
    for (const auto& p : pins)
        nameWidth = std::max(nameWidth, p.name.size());
    std::printf("  %5s  %-*s  %-9s  %-8s  %s\n", "INDEX", static_cast<int>(nameWidth), "NAME",
                "DIRECTION", "DATATYPE", "DEFAULT");
    for (const auto& p : pins)
        std::printf("  %5d  %-*s  %-9s  %-8s  %s\n", p.id, static_cast<int>(nameWidth),
                    p.name.c_str(), p.direction == gmpi::DirectionOut ? "out" : "in",
                    gmpi::datatypeName(p.datatype), p.defaultValue ? p.defaultValue->c_str() : "-");
}

void describeModule(const ModuleCatalog& catalog, const std::string& id) {
    const ModuleInfo* m = catalog.find(id);
    if (!m) {
        std::string close;
        for (const auto& other : catalog.modules)
            if (close.empty() && other.id.size() == id.size()) {
                bool same = true;
                for (std::size_t i = 0; i < id.size(); ++i)
                    same = same && std::tolower(static_cast<unsigned char>(id[i])) ==
                                       std::tolower(static_cast<unsigned char>(other.id[i]));
                if (same) close = other.id;
            }
        throw UsageError("unknown module identifier \"" + id + "\"" +
                         (close.empty() ? std::string(" (zrhost list shows them all)")
                                        : " (identifiers are case-sensitive: \"" + close + "\"?)"));
    }
    std::printf("%s: %s\ncategory: %s\nhalves: %s\n", m->id.c_str(), m->name.c_str(),
                m->category.c_str(), halvesOf(*m).c_str());
    if (m->hasAudio) describePins("audio pins:", m->audioPins);
    if (m->hasGui) describePins("GUI pins:", m->guiPins);
}

void scopePicture(ModuleLibrary& library, const ModuleCatalog& catalog, const fs::path& patchFile,
                  const std::string& moduleName, const fs::path& out, const std::string& size,
                  const RenderOptions& options) {
    static const std::regex sizePattern(R"((\d{1,5})x(\d{1,5}))");
    std::smatch match;
    if (!std::regex_match(size, match, sizePattern))
        throw UsageError("--size: expected WIDTHxHEIGHT (e.g. 480x240), not \"" + size + "\"");
    const int width = std::stoi(match[1]), height = std::stoi(match[2]);
    if (width < 16 || height < 16 || width > 4096 || height > 4096)
        throw UsageError("--size: each side must be 16 to 4096 pixels");

    PatchOptions patchOptions;
    patchOptions.guiModules.push_back(moduleName);
    Patch patch = loadPatchFile(patchFile, catalog, patchOptions);
    applyOverrides(patch, options);
    prepareWavetables(patch);
    Engine engine(library, std::move(patch));
    GuiModule* gui = engine.gui(moduleName);
    if (!gui || !gui->graphics())
        throw PatchError(engine.patch().file, "modules." + moduleName,
                         "the module's GUI half does not draw");
    std::vector<float> buffer(static_cast<std::size_t>(std::max(engine.channels(), 1)) *
                              static_cast<std::size_t>(engine.patch().blockSize));
    Progress progress("rendering " + patchFile.filename().string());
    while (engine.renderBlock(buffer.data()))
        progress.update(static_cast<double>(engine.framesRendered()) /
                        static_cast<double>(engine.totalFrames()));
    progress.finish();
    // The drawing code takes its height from the first two values and its width from the last
    // two.
    gui->arrange(0, height, 0, width);
    if (gui->paint(width, height) != gmpi::ResultOk)
        throw OutputError(out.string() + ": the module could not paint");
    writePng(out, width, height, width, gui->pixels());
    if (stdoutIsTerminal()) std::printf("wrote %s: %dx%d\n", out.string().c_str(), width, height);
}

// The commands, their options and what the command line set.
struct Commands {
    std::string libraryPath = defaultLibrary();

    CLI::App* demo = nullptr;
    fs::path demoOut = "demo.wav";
    bool printPatch = false;
    RenderOptions demoOptions;

    CLI::App* render = nullptr;
    fs::path patchFile, renderOut;
    RenderOptions renderOptions;
    double seconds = 0, rate = 0, block = 0;
    CLI::Option *secondsOpt = nullptr, *rateOpt = nullptr, *blockOpt = nullptr;

    CLI::App* list = nullptr;
    CLI::App* describe = nullptr;
    std::string describeId;

    CLI::App* scope = nullptr;
    fs::path scopePatch, scopeOut;
    std::string scopeModule, scopeSize = "480x240";
    RenderOptions scopeOptions;
    double scopeSeconds = 0;
    CLI::Option* scopeSecondsOpt = nullptr;

    CLI::App* eval = nullptr;
    EvalArguments evalArguments;

    CLI::App* validate = nullptr;
    ValidateArguments validateArguments;

    // Options given only sometimes become optionals once the command line is parsed.
    void parsed() {
        if (*secondsOpt) renderOptions.seconds = seconds;
        if (*rateOpt) renderOptions.rate = rate;
        if (*blockOpt) renderOptions.block = block;
        if (*scopeSecondsOpt) scopeOptions.seconds = scopeSeconds;
    }
};

void addCommands(CLI::App& app, Commands& c) {
    app.require_subcommand(1);
    app.add_option("--library", c.libraryPath, "module library to load")->capture_default_str();

    c.demo = app.add_subcommand("demo", "render the built-in demo patch to a WAV file");
    c.demo->add_option("-o,--output", c.demoOut, "WAV file to write")->capture_default_str();
    c.demo->add_flag("--print-patch", c.printPatch, "print the demo patch (JSON) instead");
    c.demo->add_option("--format", c.demoOptions.format, "pcm16, pcm24 or float")
        ->capture_default_str();

    c.render = app.add_subcommand("render", "render a patch file to a WAV file");
    c.render->add_option("patch", c.patchFile, "patch file (JSON)")->required();
    c.render->add_option("-o,--output", c.renderOut, "WAV file to write")->required();
    c.secondsOpt = c.render->add_option("--seconds", c.seconds, "length to render");
    c.rateOpt = c.render->add_option("--rate", c.rate, "sample rate in Hz");
    c.blockOpt = c.render->add_option("--block", c.block, "block size in samples");
    c.render->add_option("--format", c.renderOptions.format, "pcm16, pcm24 or float")
        ->capture_default_str();

    c.list = app.add_subcommand("list", "list the library's modules");
    c.describe = app.add_subcommand("describe", "show one module's pins");
    c.describe->add_option("id", c.describeId, "module identifier")->required();

    c.scope = app.add_subcommand("scope", "render a patch and paint an oscilloscope to PNG");
    c.scope->add_option("patch", c.scopePatch, "patch file (JSON)")->required();
    c.scope->add_option("--module", c.scopeModule, "oscilloscope module of the patch")->required();
    c.scope->add_option("-o,--output", c.scopeOut, "PNG file to write")->required();
    c.scope->add_option("--size", c.scopeSize, "picture size, WIDTHxHEIGHT")->capture_default_str();
    c.scopeSecondsOpt = c.scope->add_option("--seconds", c.scopeSeconds, "length to render");

    c.eval = addEvalCommand(app, c.evalArguments);
    c.validate = addValidateCommand(app, c.validateArguments);
}

void runCommand(const Commands& c) {
    if (*c.demo && c.printPatch) {
        std::printf("%s\n", demoPatch().dump(2).c_str());
        return;
    }
    Loaded loaded = loadLibrary(c.libraryPath);
    if (*c.demo) {
        const SampleFormat format = sampleFormat(c.demoOptions.format);
        Patch patch = resolvePatch(demoPatch(), "built-in demo patch", loaded.catalog,
                                   PatchOptions{{}, fs::current_path()});
        renderWav(*loaded.library, std::move(patch), c.demoOut, format);
    } else if (*c.render) {
        const SampleFormat format = sampleFormat(c.renderOptions.format);
        Patch patch = loadPatchFile(c.patchFile, loaded.catalog);
        applyOverrides(patch, c.renderOptions);
        renderWav(*loaded.library, std::move(patch), c.renderOut, format);
    } else if (*c.list) {
        listModules(loaded.catalog);
    } else if (*c.describe) {
        describeModule(loaded.catalog, c.describeId);
    } else if (*c.scope) {
        scopePicture(*loaded.library, loaded.catalog, c.scopePatch, c.scopeModule, c.scopeOut,
                     c.scopeSize, c.scopeOptions);
    }
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"zrhost: renders patches of a module library"};
    Commands commands;
    addCommands(app, commands);
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        std::fprintf(stderr, "zrhost: error: %s (zrhost --help shows the commands)\n", e.what());
        return kExitBadInput;
    }
    commands.parsed();

    if (*commands.eval) return runEvalCommand(commands.evalArguments); // needs no module library
    if (*commands.validate)
        return runValidateCommand(commands.validateArguments, commands.libraryPath);

    try {
        runCommand(commands);
        return 0;
    } catch (const PatchError& e) {
        std::fprintf(stderr, "zrhost: error: %s\n", e.what());
        return kExitBadInput;
    } catch (const LoadError& e) {
        std::fprintf(stderr, "zrhost: error: %s\n", e.what());
        return kExitBadInput;
    } catch (const CatalogError& e) {
        std::fprintf(stderr, "zrhost: error: %s: %s\n", commands.libraryPath.c_str(), e.what());
        return kExitBadInput;
    } catch (const UsageError& e) {
        std::fprintf(stderr, "zrhost: error: %s\n", e.what());
        return kExitBadInput;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zrhost: error: %s\n", e.what());
        return kExitFailure;
    }
}
