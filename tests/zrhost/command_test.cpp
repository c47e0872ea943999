// The zrhost command run as a user runs it: bad input gets exit status 2, one error line
// naming the file, the place and the problem, and leaves no output file; good input renders
// sound and PNG files that read back as what was asked for, to files, links, FIFOs and pipes;
// an interrupted render leaves nothing; the summary and the warnings say what happened.
#include "tests/zrhost/support.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Result {
    int status = -1;
    std::string out, err;
};

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string shellQuoted(const std::string& s) {
    std::string out = "'";
    for (char c : s)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// Runs zrhost with `args` (already quoted where needed) in `folder`.
Result runZrhost(const std::string& args, const fs::path& folder) {
    const fs::path out = folder / "stdout.txt", err = folder / "stderr.txt";
    const std::string command =
        "cd " + shellQuoted(folder.string()) + " && " + shellQuoted(ZRHOST_BINARY) + " " + args +
        " >" + shellQuoted(out.string()) + " 2>" + shellQuoted(err.string()) + " </dev/null";
    const int raw = std::system(command.c_str());
    Result r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = slurp(out);
    r.err = slurp(err);
    fs::remove(out);
    fs::remove(err);
    return r;
}

// A fresh folder per test.
fs::path folderFor(const std::string& name) {
    const fs::path f = zrtest::scratch() / "command" / name;
    fs::remove_all(f);
    fs::create_directories(f);
    return f;
}

std::vector<std::string> filesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

void write(const fs::path& p, const std::string& text) {
    std::ofstream(p, std::ios::binary) << text;
}

const std::string kGood = R"({"seconds": 0.2, "standardWavetables": true, "modules": {)" +
                          std::string(zrtest::kTablesModule) + R"(,
    "osc": {"id": "Osc ZRPM", "values": {"Pitch": 0.5, "Gate": 1, "Wave": 0, "Sine Level": 0.5}}},
    "output": ["osc.Audio Out"]})";

struct Sound {
    SF_INFO info{};
    std::vector<float> samples; // interleaved
};

Sound readSound(const fs::path& p) {
    Sound s;
    SNDFILE* f = sf_open(p.string().c_str(), SFM_READ, &s.info);
    if (!f) return s;
    s.samples.resize(static_cast<std::size_t>(s.info.frames * s.info.channels));
    sf_readf_float(f, s.samples.data(), s.info.frames);
    sf_close(f);
    return s;
}

// kGood's sound: 0.2 s of a 440 Hz sine at half scale, one channel at 44.1 kHz.
void expectGoodSound(const Sound& s, const std::string& what) {
    EXPECT_EQ(s.info.channels, 1) << what;
    EXPECT_EQ(s.info.samplerate, 44100) << what;
    EXPECT_EQ(s.info.frames, 8820) << what;
    EXPECT_NEAR(zrtest::peakOf(s.samples), 0.5f, 0.02f) << what;
    EXPECT_NEAR(zrtest::frequencyOf(s.samples, 44100, 0.05), 440.0, 0.1) << what;
}

struct BadCase {
    const char* name;
    std::string patch;
    std::string extraArgs;
    std::string expect; // the line holds "patch.json: " followed by this
};

} // namespace

TEST(ZrhostBadInput, ExitStatusTwoOneLineAndNoOutputFile) {
    const std::vector<BadCase> cases = {
        {"not_json", "{\"modules\": {\"osc\": \"Osc ZRPM\",}}", "", "line 1, column "},
        {"unknown_module", R"({"modules": {"osc": {"id": "Osc ZRPX"}}, "output": []})", "",
         "modules.osc.id: unknown module identifier \"Osc ZRPX\""},
        {"unknown_pin",
         R"({"modules": {"osc": {"id": "Osc ZRPM"}}, "output": ["osc.Audio Output"]})", "",
         "output[0]: module \"osc\" (Osc ZRPM) has no pin named \"Audio Output\""},
        {"mismatched",
         R"({"modules": {"c": {"id": "ZR BPM Clock3"}, "f": {"id": "ZR-LPF over CS"}},
             "connections": [["c.Rate", "f.Input"]], "output": ["f.Output"]})",
         "", "connections[0]: cannot connect \"c.Rate\" (float) to \"f.Input\" (audio)"},
        {"rate", R"({"sampleRate": 0, "modules": {"osc": "Osc ZRPM"}, "output": ["osc.5"]})", "",
         "sampleRate: impossible sample rate"},
        {"block", R"({"blockSize": -64, "modules": {"osc": "Osc ZRPM"}, "output": ["osc.5"]})", "",
         "blockSize: impossible block size"},
        {"rate_option", kGood, "--rate 12", "--rate: impossible sample rate"},
        {"block_option", kGood, "--block 0", "--block: impossible block size"},
        {"no_output", R"({"modules": {"osc": "Osc ZRPM"}})", "",
         "output: the patch names no output channel"},
    };
    for (const auto& c : cases) {
        const fs::path folder = folderFor(c.name);
        write(folder / "patch.json", c.patch);
        const Result r = runZrhost("render patch.json -o out.wav " + c.extraArgs, folder);
        EXPECT_EQ(r.status, 2) << c.name << ": " << r.err;
        EXPECT_EQ(r.out, "") << c.name;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << c.name << ": " << r.err;
        EXPECT_NE(r.err.find("patch.json: " + c.expect), std::string::npos)
            << c.name << ": " << r.err;
        EXPECT_EQ(filesIn(folder), std::vector<std::string>{"patch.json"}) << c.name;
    }
}

TEST(ZrhostBadInput, UnreadableMidiFileStopsWithOneLine) {
    // A patch feeding a MIDI file to the key split; the file is not a MIDI file.
    const std::string patch =
        R"({"seconds": 0.1, "modules": {"split": "ZR-MOD CS", "mute": "VL Voice Mute"},
            "midiFiles": [{"file": "song.mid", "to": "split.MIDI In"}],
            "output": ["mute.Output"]})";
    const fs::path folder = folderFor("bad_midi");
    write(folder / "patch.json", patch);
    write(folder / "song.mid", "RIFF....WAVE");
    const Result r = runZrhost("render patch.json -o out.wav", folder);
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_NE(r.err.find("patch.json: midiFiles[0].file: "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("not a Standard MIDI File"), std::string::npos) << r.err;
    EXPECT_EQ(filesIn(folder), (std::vector<std::string>{"patch.json", "song.mid"}));
}

TEST(ZrhostBadInput, MissingPatchAndLibraries) {
    const fs::path folder = folderFor("libraries");
    Result r = runZrhost("render absent.json -o out.wav", folder);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("absent.json: cannot open the patch file"), std::string::npos) << r.err;

    write(folder / "patch.json", kGood);
    r = runZrhost("--library /nonexistent/libnothing.so render patch.json -o out.wav", folder);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_NE(r.err.find("/nonexistent/libnothing.so"), std::string::npos) << r.err;

    const std::string noFactory = ZRHOST_NO_FACTORY_LIBRARY;
    if (!noFactory.empty()) {
        r = runZrhost("--library " + shellQuoted(noFactory) + " list", folder);
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find("MP_GetFactory"), std::string::npos) << r.err;
    }
    EXPECT_EQ(filesIn(folder), std::vector<std::string>{"patch.json"});

    r = runZrhost("render patch.json", folder); // no -o
    EXPECT_EQ(r.status, 2);
    r = runZrhost("transmogrify", folder);
    EXPECT_EQ(r.status, 2);
}

TEST(ZrhostRender, WritesTheWavAndIsQuietWithQ) {
    const fs::path folder = folderFor("render");
    write(folder / "patch.json", kGood);
    const Result r =
        runZrhost("render patch.json -o out.wav --rate 48000 --format float -q", folder);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    SF_INFO info{};
    SNDFILE* f = sf_open((folder / "out.wav").string().c_str(), SFM_READ, &info);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(info.samplerate, 48000);
    EXPECT_EQ(info.channels, 1);
    EXPECT_EQ(info.frames, 9600);
    std::vector<float> samples(static_cast<std::size_t>(info.frames));
    EXPECT_EQ(sf_readf_float(f, samples.data(), info.frames), info.frames);
    sf_close(f);
    EXPECT_NEAR(zrtest::peakOf(samples), 0.5f, 0.01f);
    EXPECT_NEAR(zrtest::frequencyOf(samples, 48000, 0.05), 440.0, 0.05);
    EXPECT_EQ(filesIn(folder), (std::vector<std::string>{"out.wav", "patch.json"}));
}

TEST(ZrhostRender, DemoNeedsNoOtherFile) {
    const fs::path folder = folderFor("demo");
    const Result r = runZrhost("demo -o demo.wav", folder);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.rfind("wrote demo.wav: ", 0), 0u) << r.err;
    SF_INFO info{};
    SNDFILE* f = sf_open((folder / "demo.wav").string().c_str(), SFM_READ, &info);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(info.channels, 2);
    EXPECT_EQ(info.samplerate, 44100);
    EXPECT_GT(info.frames, 44100 * 5);
    std::vector<float> samples(static_cast<std::size_t>(info.frames * info.channels));
    sf_readf_float(f, samples.data(), info.frames);
    sf_close(f);
    // Music, not silence, and within full scale. Every second of the piece has sound.
    EXPECT_LE(zrtest::peakOf(samples), 1.0f);
    for (int second = 0; second + 1 < info.frames / 44100; ++second)
        EXPECT_GT(zrtest::peakOf(std::span(samples).subspan(second * 88200, 88200)), 0.1f)
            << "second " << second;
}

TEST(ZrhostRender, EveryExampleRenders) {
    int count = 0;
    for (const auto& entry : fs::directory_iterator(ZRHOST_EXAMPLES_DIR)) {
        if (entry.path().extension() != ".json") continue;
        ++count;
        const fs::path folder = folderFor("example-" + entry.path().stem().string());
        const Result r =
            runZrhost("render " + shellQuoted(entry.path().string()) + " -o out.wav", folder);
        EXPECT_EQ(r.status, 0) << entry.path() << ": " << r.err;
        SF_INFO info{};
        SNDFILE* f = sf_open((folder / "out.wav").string().c_str(), SFM_READ, &info);
        ASSERT_NE(f, nullptr) << entry.path();
        std::vector<float> samples(static_cast<std::size_t>(info.frames * info.channels));
        sf_readf_float(f, samples.data(), info.frames);
        sf_close(f);
        EXPECT_GT(zrtest::peakOf(samples), 0.05f) << entry.path();
    }
    EXPECT_GE(count, 4);
}

TEST(ZrhostCatalog, ListAndDescribe) {
    const fs::path folder = folderFor("catalog");
    Result r = runZrhost("list", folder);
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* id :
         {"Osc ZRPM", "INIT Osc ZRPM", "ZR-LPF over CS", "QORVALIS ZR-ADSR D", "ZR SCOPE V4"})
        EXPECT_NE(r.out.find(id), std::string::npos) << id;
    EXPECT_NE(r.out.find("audio+gui"), std::string::npos);

    r = runZrhost("describe 'ZR-LPF over CS'", folder);
    ASSERT_EQ(r.status, 0) << r.err;
    // Pin 4 of the filter is its int Mode input.
    std::istringstream lines(r.out);
    std::string line;
    bool found = false;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string index, name, direction, datatype;
        words >> index >> name >> direction >> datatype;
        if (index == "4" && !found) { // value lines below may also start with a number
            found = true;
            EXPECT_EQ(name, "Mode");
            EXPECT_EQ(direction, "in");
            EXPECT_EQ(datatype, "int");
            // Default 0 (the pin before any value), the 32 modes, named below the pin.
            std::string defaultValue, from, to, upTo;
            words >> defaultValue >> from >> to >> upTo;
            EXPECT_EQ(defaultValue + " " + from + " " + to + " " + upTo, "0 0 to 31");
            std::getline(lines, line);
            EXPECT_EQ(line.find("values: 0 Bypass, 1 LP4,"), 9u) << line;
        }
    }
    EXPECT_TRUE(found) << r.out;
    EXPECT_NE(r.out.find(" 18 HP4,"), std::string::npos) << r.out;

    // The oscillator's waves by the slot each reads; the reference in Markdown carries them.
    r = runZrhost("describe --markdown 'Osc ZRPM'", folder);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("| 11 | Wave | in | int | 0 | 0 to 4 | 0 Sine, 1 Morph, 2 Saw, 3 Tri, "
                         "4 Pulse |"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(runZrhost("describe", folder).status, 2);
    EXPECT_EQ(runZrhost("describe --all 'Osc ZRPM'", folder).status, 2);

    r = runZrhost("describe 'osc zrpm'", folder);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("\"Osc ZRPM\""), std::string::npos) << r.err;
}

// Values outside a pin's described range render (the modules ignore them) with one warning
// line each; values inside render silently.
TEST(ZrhostRender, WarnsOfValuesOutsideThePinRange) {
    const fs::path folder = folderFor("range-warnings");
    const struct {
        const char* values;
        const char* warning; // empty: none
    } cases[] = {
        {R"("Wave": 99)",
         "zrhost: warning: patch.json: osc.Wave: 99 is not one of the values of \"Wave\""},
        {R"("Wave": -1)", "zrhost: warning: patch.json: osc.Wave: -1 is not one of"},
        {R"("Wave": 4)", ""},
    };
    for (const auto& c : cases) {
        std::string patch = kGood;
        patch.replace(patch.find(R"("Wave": 0)"), 9, c.values);
        write(folder / "patch.json", patch);
        const Result r = runZrhost("render patch.json -o out.wav", folder);
        EXPECT_EQ(r.status, 0) << r.err;
        if (*c.warning)
            EXPECT_EQ(r.err.rfind(c.warning, 0), 0u) << r.err;
        else
            EXPECT_EQ(r.err.find("osc.Wave"), std::string::npos) << r.err;
    }
    write(folder / "filter.json", R"({"seconds": 0.1, "modules": {
        "f": {"id": "ZR-LPF over CS", "values": {"Input": 0.5, "Mode": 999}}},
        "output": ["f.Output"]})");
    const Result r = runZrhost("render filter.json -o out.wav", folder);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.rfind("zrhost: warning: filter.json: f.Mode: 999 is not one of the values", 0),
              0u)
        << r.err;
}

TEST(ZrhostScope, PaintsThePictureIntoAPng) {
    const fs::path folder = folderFor("scope");
    const Result r = runZrhost("scope " + shellQuoted(ZRHOST_EXAMPLES_DIR "/scope.json") +
                                   " --module scope -o scope.png --size 320x160",
                               folder);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string png = slurp(folder / "scope.png");
    ASSERT_GT(png.size(), 33u);
    EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
    const auto be32 = [&](std::size_t at) {
        return (static_cast<unsigned>(static_cast<unsigned char>(png[at])) << 24) |
               (static_cast<unsigned>(static_cast<unsigned char>(png[at + 1])) << 16) |
               (static_cast<unsigned>(static_cast<unsigned char>(png[at + 2])) << 8) |
               static_cast<unsigned>(static_cast<unsigned char>(png[at + 3]));
    };
    EXPECT_EQ(png.substr(12, 4), "IHDR");
    EXPECT_EQ(be32(16), 320u);
    EXPECT_EQ(be32(20), 160u);

    const Result bad = runZrhost("scope " + shellQuoted(ZRHOST_EXAMPLES_DIR "/scope.json") +
                                     " --module osc -o other.png",
                                 folder);
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.err.find("modules.osc"), std::string::npos) << bad.err;
    EXPECT_EQ(filesIn(folder), std::vector<std::string>{"scope.png"});
}

TEST(ZrhostOutput, FormatFollowsTheExtensionUnlessFormatSaysOtherwise) {
    struct Case {
        const char* args;
        const char* file;
        int format; // libsndfile's code of what the file holds
    };
    const std::vector<Case> cases = {
        {"-o out.wav", "out.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24},
        {"-o out.flac", "out.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24},
        {"-o OUT.AIF", "OUT.AIF", SF_FORMAT_AIFF | SF_FORMAT_PCM_24},
        {"-o out.ogg", "out.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS},
        {"-o out.aiff --format pcm16", "out.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16},
        {"-o out.wav --format flac:pcm16", "out.wav", SF_FORMAT_FLAC | SF_FORMAT_PCM_16},
        {"-o noextension", "noextension", SF_FORMAT_WAV | SF_FORMAT_PCM_24},
    };
    for (const auto& c : cases) {
        const fs::path folder = folderFor("format");
        write(folder / "patch.json", kGood);
        const Result r = runZrhost(std::string("render patch.json -q ") + c.args, folder);
        ASSERT_EQ(r.status, 0) << c.args << ": " << r.err;
        const Sound s = readSound(folder / c.file);
        EXPECT_EQ(s.info.format, c.format) << c.args;
        expectGoodSound(s, c.args);
    }
    const std::vector<std::pair<const char*, const char*>> refused = {
        {"-o out.mp3", "\".mp3\"; zrhost writes .wav, .flac, .aiff (.aif) or .ogg"},
        {"-o out.flac --format float", "FLAC holds pcm16 or pcm24 samples"},
        {"-o out.wav --format mp3", "--format: expected wav, flac, aiff or ogg"},
    };
    for (const auto& [args, message] : refused) {
        const fs::path folder = folderFor("format");
        write(folder / "patch.json", kGood);
        const Result r = runZrhost(std::string("render patch.json ") + args, folder);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
        EXPECT_EQ(filesIn(folder), std::vector<std::string>{"patch.json"}) << args;
    }
}

TEST(ZrhostOutput, WritesThroughFifosLinksAndStandardStreams) {
    const fs::path folder = folderFor("in_place");
    write(folder / "patch.json", kGood);

    // A FIFO receives a WAV stream whose header already holds the length, and stays a FIFO.
    const fs::path fifo = folder / "fifo.wav";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] {
        std::ifstream in(fifo, std::ios::binary);
        received.assign(std::istreambuf_iterator<char>(in), {});
    });
    Result r = runZrhost("render patch.json -o fifo.wav", folder);
    // Releases the reader should zrhost have failed before opening the FIFO.
    ::close(::open(fifo.c_str(), O_RDWR | O_NONBLOCK));
    reader.join();
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::is_fifo(fifo));
    write(folder / "from-fifo.wav", received);
    expectGoodSound(readSound(folder / "from-fifo.wav"), "FIFO");

    // A link keeps pointing where it did; the file it names gets the sound.
    fs::create_directory(folder / "real");
    write(folder / "real" / "take.wav", "old contents");
    fs::create_symlink("real/take.wav", folder / "link.wav");
    fs::create_symlink("real/new.flac", folder / "dangling.flac");
    r = runZrhost("render patch.json -q -o link.wav", folder);
    EXPECT_EQ(r.status, 0) << r.err;
    r = runZrhost("render patch.json -q -o dangling.flac", folder);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::is_symlink(folder / "link.wav"));
    EXPECT_TRUE(fs::is_symlink(folder / "dangling.flac"));
    expectGoodSound(readSound(folder / "link.wav"), "link");
    expectGoodSound(readSound(folder / "real" / "new.flac"), "dangling link");

    // "-": the patch from standard input, the sound to standard output, both through pipes.
    const std::string command = "cd " + shellQuoted(folder.string()) + " && cat patch.json | " +
                                shellQuoted(ZRHOST_BINARY) +
                                " render - -o - 2>err.txt | cat >piped.wav";
    ASSERT_EQ(std::system(command.c_str()), 0);
    expectGoodSound(readSound(folder / "piped.wav"), "pipe");
    EXPECT_EQ(slurp(folder / "err.txt").rfind("wrote standard output: 0.20 s", 0), 0u);
}

TEST(ZrhostOutput, InterruptedRenderLeavesNoFileBehind) {
    for (const auto& [signal, status] : {std::pair{SIGINT, 130}, std::pair{SIGTERM, 143}}) {
        const fs::path folder = folderFor("interrupted");
        write(folder / "patch.json", kGood);
        const std::vector<std::string> args = {ZRHOST_BINARY, "render",    "patch.json", "-o",
                                               "out.wav",     "--seconds", "3600"};
        std::vector<char*> argv;
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        const pid_t pid = ::fork();
        if (pid == 0) {
            const int null = ::open("/dev/null", O_RDWR);
            ::dup2(null, 1);
            ::dup2(null, 2);
            if (::chdir(folder.c_str()) == 0) ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        // The signal comes once the render is writing its temporary file.
        bool writing = false;
        for (int i = 0; i < 3000 && !writing; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            for (const auto& name : filesIn(folder))
                writing = writing || name.rfind(".out.wav.", 0) == 0;
        }
        EXPECT_TRUE(writing);
        ::kill(pid, signal);
        int raw = 0;
        ::waitpid(pid, &raw, 0);
        EXPECT_TRUE(WIFEXITED(raw));
        EXPECT_EQ(WEXITSTATUS(raw), status);
        EXPECT_EQ(filesIn(folder), std::vector<std::string>{"patch.json"}) << signal;
    }
}

TEST(ZrhostReports, SummaryWarningsAndRefusals) {
    const std::string tablesAway = R"({"seconds": 0.2, "modules": {
        "tables": {"id": "INIT Osc ZRPM", "values": {"File": "absent/base.zrw"}},
        "osc": {"id": "Osc ZRPM", "values": {"Pitch": 0.5, "Gate": 1, "Sine Level": 0.5}}},
        "output": ["osc.Audio Out"]})";
    std::string gateOff = kGood, late = kGood, huge = kGood, nan = kGood;
    gateOff.replace(gateOff.find("\"Gate\": 1"), 9, "\"Gate\": 0");
    late.replace(late.find("\"output\""), 0,
                 R"("automation": [{"at": 0.1, "pin": "osc.Gate", "value": 0},
                    {"at": 0.2, "pin": "osc.Gate", "value": 1},
                    {"at": 9, "pin": "osc.Gate", "value": 1}], )");
    huge.replace(huge.find("\"output\""), std::string::npos,
                 R"("output": [{"pin": "osc.Audio Out", "gain": 1e300}]})");
    // Level 10 times ±3e38 overflows a float both ways; their sum is NaN.
    nan.replace(nan.find("\"Sine Level\": 0.5"), 17, "\"Sine Level\": 10");
    nan.replace(nan.find("\"output\""), std::string::npos,
                R"("output": [[{"pin": "osc.Audio Out", "gain": 3e38},
                              {"pin": "osc.Audio Out", "gain": -3e38}]]})");
    struct Case {
        const char* name;
        std::string patch, args;
        int status;
        std::vector<std::string> lines; // each line of standard error holds its entry
    };
    const std::vector<Case> cases = {
        {"summary",
         kGood,
         "",
         0,
         {"wrote out.wav: 0.20 s, 1 channel, 44100 Hz, WAV pcm24, peak -6.0 dBFS, 0 clipped, "}},
        {"quiet", kGood, "-q", 0, {}},
        {"verbose",
         kGood,
         "-v",
         0,
         {"modules: 2, audio halves in this order: tables osc", "tables", "osc",
          "render: 138 blocks of up to 64 frames", "wrote out.wav"}},
        {"silent", gateOff, "-q", 0, {"zrhost: warning: out.wav: the output is silent"}},
        {"failed_load",
         tablesAway,
         "-q",
         0,
         {"zrhost: warning: out.wav: the output is silent",
          "zrhost: warning: patch.json: modules.tables: Sine Slot Status, Saw Slot Status, Tri "
          "Slot Status: the load failed"}},
        {"late",
         late,
         "-q",
         0,
         {"zrhost: warning: patch.json: automation[1].at: 0.2 s is at or after the end of the "
          "render (0.2 s), so the change never happens (nor 1 later one)"}},
        {"non_finite",
         nan,
         "-q",
         1,
         {" samples were not finite (NaN or infinity), the first "
          "at 0.000023 s in channel 1; they were written as 0"}},
        {"huge_gain", huge, "", 2, {"zrhost: error: patch.json: output[0].gain: the gain is "}},
        {"patch_as_output",
         kGood,
         "-o patch.json",
         2,
         {"zrhost: error: -o patch.json: that is the patch file itself"}},
    };
    for (const auto& c : cases) {
        const fs::path folder = folderFor(c.name);
        write(folder / "patch.json", c.patch);
        const bool ownOutput = c.args.find("-o ") != std::string::npos;
        const Result r =
            runZrhost("render patch.json " + c.args + (ownOutput ? "" : " -o out.wav"), folder);
        EXPECT_EQ(r.status, c.status) << c.name << ": " << r.err;
        std::istringstream err(r.err);
        std::string line;
        std::size_t i = 0;
        for (; std::getline(err, line); ++i)
            EXPECT_TRUE(i < c.lines.size() && line.find(c.lines[i]) != std::string::npos)
                << c.name << " line " << i << ": " << line;
        EXPECT_EQ(i, c.lines.size()) << c.name << ": " << r.err;
        EXPECT_EQ(slurp(folder / "patch.json"), c.patch) << c.name;
        EXPECT_EQ(fs::exists(folder / "out.wav"), c.status != 2) << c.name;
    }
}

TEST(ZrhostReports, VersionAndSuggestions) {
    const fs::path folder = folderFor("suggest");
    Result r = runZrhost("--version", folder);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("zrhost ", 0), 0u) << r.out;
    const std::vector<std::pair<const char*, const char*>> cases = {
        {"rendr x.json", "unknown command \"rendr\" (did you mean \"render\"?)"},
        {"--library x.so lsit", "unknown command \"lsit\" (did you mean \"list\"?)"},
        {"Demo", "(did you mean \"demo\"?)"},
        {"transmogrify", "unknown command \"transmogrify\" (zrhost --help shows the commands)"},
    };
    for (const auto& [args, message] : cases) {
        r = runZrhost(args, folder);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_NE(r.err.find(message), std::string::npos) << args << ": " << r.err;
    }
}
