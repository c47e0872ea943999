// zrhost: loads a module library through MP_GetFactory and renders patches with it.
//
//   zrhost demo [-o demo.wav]                 the built-in demo, to a sound file
//   zrhost render PATCH.json -o OUT.wav       a patch file ("-": standard input), to a sound
//                                             file ("-": standard output); see sound_file.h
//   zrhost play PATCH.json                    a patch file, live through the audio server
//   zrhost list | describe ID                 the library's modules and their pins
//   zrhost describe --all --markdown          the module reference (docs/modules.md)
//   zrhost scope PATCH.json --module NAME -o scope.png
//   zrhost eval "EXPRESSION" [--var NAME=VALUE ...]   a formula's value
//   zrhost validate [--only ID] [--seed N]      every module half through hostile cases
//   zrhost validate [--library PATH] [--only ID] [--seed N]   every module half, checked
//
// Exit status: 0 done, 2 bad input (command line, patch file, library), 1 anything else
// (an output that cannot be written, an output with NaN or infinite samples). Errors and
// warnings are one line each on standard error; so is the summary after a render (-q: none,
// -v: the modules as well). Ctrl-C or SIGTERM removes the unfinished output (status 130, 143).
#include "tools/zrhost/demo_patch.h"
#include "tools/zrhost/eval_command.h"
#include "tools/zrhost/module_reference.h"
#include "tools/zrhost/patch_overrides.h"
#include "tools/zrhost/patch_warnings.h"
#include "tools/zrhost/play_command.h"
#include "tools/zrhost/png_writer.h"
#include "tools/zrhost/render_output.h"
#include "tools/zrhost/sound_file.h"
#include "tools/zrhost/suggest.h"
#include "tools/zrhost/validate_command.h"
#include "tools/zrhost/wavetable_cache.h"

#include "framework/mp_text.h"
#include "host/engine.h"
#include "host/module_catalog.h"
#include "host/module_library.h"

#include <CLI/CLI.hpp>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <iterator>
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

struct RenderOptions {
    std::optional<double> seconds, rate, block;
    std::string format; // --format; empty: the output's extension decides
    Verbosity verbosity = Verbosity::Normal;
};

void applyOverrides(Patch& patch, const RenderOptions& o) {
    if (o.rate) setSampleRate(patch, *o.rate, "--rate");
    if (o.block) setBlockSize(patch, *o.block, "--block");
    if (o.seconds) setSeconds(patch, *o.seconds, "--seconds");
}

// The patch named on the command line; "-" reads it from standard input, and its relative
// folders then refer to the current folder.
Patch readPatch(const fs::path& file, const ModuleCatalog& catalog) {
    if (file != "-") return loadPatchFile(file, catalog);
    const std::string text(std::istreambuf_iterator<char>(std::cin), {});
    return parsePatch(text, "standard input", catalog, PatchOptions{{}, fs::current_path()});
}

// Refuses output names that would destroy the input or fill a terminal with binary data.
void checkOutputName(const fs::path& out, const fs::path& patchFile) {
    if (out == OutputFile::kStandardOutput) {
        if (::isatty(STDOUT_FILENO))
            throw UsageError("-o -: standard output is a terminal; redirect it to a file or a "
                             "pipe");
        return;
    }
    std::error_code ec;
    if (patchFile != "-" && fs::equivalent(patchFile, out, ec))
        throw UsageError("-o " + out.string() +
                         ": that is the patch file itself; the output would replace it");
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

// One module, or every module with --all, as text or Markdown (the module reference).
void describeModules(const ModuleCatalog& catalog, const std::string& id, bool all, bool markdown) {
    if (all == !id.empty())
        throw UsageError("describe: give one module identifier or --all, not both or neither");
    if (all) {
        if (markdown) {
            std::fputs(referenceMarkdown(catalog).c_str(), stdout);
            return;
        }
        for (const auto& m : catalog.modules)
            std::printf("%s%s", &m == &catalog.modules.front() ? "" : "\n", moduleText(m).c_str());
        return;
    }
    const ModuleInfo* m = catalog.find(id);
    if (!m) throw UsageError(unknownModuleMessage(catalog, id));
    std::fputs((markdown ? moduleMarkdown(*m) : moduleText(*m)).c_str(), stdout);
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
    Progress progress("rendering " + patchFile.filename().string(), options.verbosity);
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
    if (options.verbosity != Verbosity::Quiet)
        std::fprintf(stderr, "wrote %s: %dx%d\n", out.string().c_str(), width, height);
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
    std::vector<std::string> renderSettings; // --set module.pin=value

    CLI::App* play = nullptr;
    PlayArguments playArguments;

    CLI::App* list = nullptr;
    CLI::App* describe = nullptr;
    std::string describeId;
    bool describeAll = false, describeMarkdown = false;

    CLI::App* scope = nullptr;
    fs::path scopePatch, scopeOut;
    std::string scopeModule, scopeSize = "480x240";
    RenderOptions scopeOptions;
    double scopeSeconds = 0;
    CLI::Option* scopeSecondsOpt = nullptr;

    CLI::App* eval = nullptr;
    EvalArguments evalArguments;

    bool quiet = false, verbose = false;
    CLI::App* validate = nullptr;
    ValidateArguments validateArguments;

    // Options given only sometimes become optionals once the command line is parsed.
    void parsed() {
        const Verbosity v = quiet     ? Verbosity::Quiet
                            : verbose ? Verbosity::Verbose
                                      : Verbosity::Normal;
        demoOptions.verbosity = renderOptions.verbosity = scopeOptions.verbosity = v;
        if (*secondsOpt) renderOptions.seconds = seconds;
        if (*rateOpt) renderOptions.rate = rate;
        if (*blockOpt) renderOptions.block = block;
        if (*scopeSecondsOpt) scopeOptions.seconds = scopeSeconds;
    }
};

void addCommands(CLI::App& app, Commands& c) {
    app.require_subcommand(1);
    app.add_option("--library", c.libraryPath, "module library to load")->capture_default_str();
    app.set_version_flag("--version", "zrhost " ZRHOST_VERSION);
    // Given before or after the command; a command's own options take precedence.
    app.fallthrough();
    app.add_flag("-q,--quiet", c.quiet, "no summary after a render (warnings and errors stay)");
    app.add_flag("-v,--verbose", c.verbose, "also list the modules and the time spent");

    const char* formatHelp = "wav, flac, aiff, ogg and/or pcm16, pcm24, float (flac:pcm16); "
                             "default: by extension, 24-bit";
    c.demo = app.add_subcommand("demo", "render the built-in demo patch to a sound file");
    c.demo->add_option("-o,--output", c.demoOut, "sound file to write (-: standard output)")
        ->capture_default_str();
    c.demo->add_flag("--print-patch", c.printPatch, "print the demo patch (JSON) instead");
    c.demo->add_option("--format", c.demoOptions.format, formatHelp);

    c.render = app.add_subcommand("render", "render a patch file to a sound file");
    c.render->add_option("patch", c.patchFile, "patch file (JSON; -: standard input)")->required();
    c.render->add_option("-o,--output", c.renderOut, "sound file to write (-: standard output)")
        ->required();
    c.secondsOpt = c.render->add_option("--seconds", c.seconds, "length to render");
    c.rateOpt = c.render->add_option("--rate", c.rate, "sample rate in Hz");
    c.blockOpt = c.render->add_option("--block", c.block, "block size in samples");
    c.render->add_option("--format", c.renderOptions.format, formatHelp);
    c.render->add_option("--set", c.renderSettings,
                         "set an input pin: module.pin=value (repeatable)");

    c.play = addPlayCommand(app, c.playArguments);

    c.list = app.add_subcommand("list", "list the library's modules");
    c.describe = app.add_subcommand("describe", "show a module's pins, defaults and ranges");
    c.describe->add_option("id", c.describeId, "module identifier");
    c.describe->add_flag("--all", c.describeAll, "every module of the library");
    c.describe->add_flag("--markdown", c.describeMarkdown, "Markdown (the module reference)");

    c.scope = app.add_subcommand("scope", "render a patch and paint an oscilloscope to PNG");
    c.scope->add_option("patch", c.scopePatch, "patch file (JSON)")->required();
    c.scope->add_option("--module", c.scopeModule, "oscilloscope module of the patch")->required();
    c.scope->add_option("-o,--output", c.scopeOut, "PNG file to write")->required();
    c.scope->add_option("--size", c.scopeSize, "picture size, WIDTHxHEIGHT")->capture_default_str();
    c.scopeSecondsOpt = c.scope->add_option("--seconds", c.scopeSeconds, "length to render");

    c.eval = addEvalCommand(app, c.evalArguments);
    c.validate = addValidateCommand(app, c.validateArguments);
}

// Returns the exit status.
int runCommand(const Commands& c) {
    if (*c.demo && c.printPatch) {
        std::printf("%s\n", demoPatch().dump(2).c_str());
        return 0;
    }
    Loaded loaded = loadLibrary(c.libraryPath);
    if (*c.demo) {
        checkOutputName(c.demoOut, "-");
        Patch patch = resolvePatch(demoPatch(), "built-in demo patch", loaded.catalog,
                                   PatchOptions{{}, fs::current_path()});
        renderToSoundFile(*loaded.library, std::move(patch), c.demoOut, c.demoOptions.format,
                          c.demoOptions.verbosity);
    } else if (*c.render) {
        checkOutputName(c.renderOut, c.patchFile);
        Patch patch = readPatch(c.patchFile, loaded.catalog);
        applyOverrides(patch, c.renderOptions);
        applyPinOverrides(patch, c.renderSettings);
        printPatchRangeWarnings(patch);
        renderToSoundFile(*loaded.library, std::move(patch), c.renderOut, c.renderOptions.format,
                          c.renderOptions.verbosity);
    } else if (*c.play) {
        return playPatchFile(*loaded.library, loaded.catalog, c.playArguments);
    } else if (*c.list) {
        listModules(loaded.catalog);
    } else if (*c.describe) {
        describeModules(loaded.catalog, c.describeId, c.describeAll, c.describeMarkdown);
    } else if (*c.scope) {
        checkOutputName(c.scopeOut, c.scopePatch);
        scopePicture(*loaded.library, loaded.catalog, c.scopePatch, c.scopeModule, c.scopeOut,
                     c.scopeSize, c.scopeOptions);
    }
    return 0;
}

// For a command line whose command is mistyped: the message naming it, with the closest
// command; empty when the command word is fine (the parse error is about something else).
std::string unknownCommand(CLI::App& app, int argc, char** argv) {
    std::vector<std::string> names;
    for (const CLI::App* sub : app.get_subcommands([](const CLI::App*) { return true; }))
        names.push_back(sub->get_name());
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--library") ++i; // and its value
        if (arg.empty() || arg[0] == '-') continue;
        if (std::find(names.begin(), names.end(), arg) != names.end()) return {};
        const auto close = closestMatch(arg, names);
        return "unknown command \"" + arg + "\"" +
               (close ? " (did you mean \"" + *close + "\"?)"
                      : std::string(" (zrhost --help shows the commands)"));
    }
    return {};
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
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        const std::string command = unknownCommand(app, argc, argv);
        if (!command.empty())
            std::fprintf(stderr, "zrhost: error: %s\n", command.c_str());
        else
            std::fprintf(stderr, "zrhost: error: %s (zrhost --help shows the commands)\n",
                         e.what());
        return kExitBadInput;
    }
    commands.parsed();
    removeTemporariesOnSignals();

    if (*commands.eval) return runEvalCommand(commands.evalArguments); // needs no module library
    if (*commands.validate)
        return runValidateCommand(commands.validateArguments, commands.libraryPath);

    try {
        return runCommand(commands);
    } catch (const PatchError& e) {
        std::fprintf(stderr, "zrhost: error: %s\n", e.what());
        return kExitBadInput;
    } catch (const LoadError& e) {
        std::fprintf(stderr, "zrhost: error: %s\n", e.what());
        return kExitBadInput;
    } catch (const CatalogError& e) {
        std::fprintf(stderr, "zrhost: error: %s: %s\n", commands.libraryPath.c_str(), e.what());
        return kExitBadInput;
    } catch (const AudioServerError& e) {
        std::fprintf(stderr, "zrhost: error: %s\n", e.what());
        return kExitBadInput;
    } catch (const UsageError& e) {
        std::fprintf(stderr, "zrhost: error: %s\n", e.what());
        return kExitBadInput;
    } catch (const FormatError& e) {
        std::fprintf(stderr, "zrhost: error: %s\n", e.what());
        return kExitBadInput;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zrhost: error: %s\n", e.what());
        return kExitFailure;
    }
}
