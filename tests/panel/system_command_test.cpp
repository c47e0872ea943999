// "VL System Command": which verb runs on which resolved file, seen through a recorder built
// into a test module library in place of the shell; and, off Windows, one real launch of the
// shipped library's opener, replaced by a script that writes down the arguments it received.
#include "panel_rig.h"

#include <limits>

#if !defined(_WIN32)
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <unistd.h>
#endif

using namespace paneltest;
using Texts = std::vector<std::u16string>;

namespace {

constexpr char16_t kFolder[] = u"/patches/files";

zrhost::ModuleLibrary& recordingLibrary() {
    static std::unique_ptr<zrhost::ModuleLibrary> lib =
        zrhost::ModuleLibrary::load(ZR_PANEL_TEST_LIBRARY_PATH);
    return *lib;
}

class SystemCommand : public PanelRig {
  protected:
    // Starts from an empty record, whatever ran before in this process.
    void SetUp() override {
        context.setFileFolder(kFolder);
        operations();
    }
    std::unique_ptr<zrhost::GuiModule> command() {
        auto m =
            std::make_unique<zrhost::GuiModule>(recordingLibrary(), u"VL System Command", context);
        EXPECT_EQ(m->createResult(), gmpi::ResultOk);
        m->initialize();
        return m;
    }
    // The shell operations recorded since the last call, as "verb|path".
    Texts operations() {
        zrhost::GuiModule record(recordingLibrary(), u"ZR Test Shell Record", context);
        record.initialize();
        return record.textsSent(0);
    }
    void click(zrhost::GuiModule& m) {
        m.deliverBool(0, true);
        m.deliverBool(0, false);
    }
};

TEST_F(SystemCommand, OffersTheVerbList) {
    auto m = command();
    const Texts sent = m->textsSent(2);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], u"edit,explore,find,open,print,properties");
    EXPECT_EQ(sent[0].size(), 39u);
}

// Verb k of the list runs on release; an index outside 0-5 runs nothing.
TEST_F(SystemCommand, ReleaseRunsTheSelectedVerb) {
    const struct {
        gmpi::int32 verb;
        const char16_t* ran;
    } cases[] = {{0, u"edit"},
                 {1, u"explore"},
                 {2, u"find"},
                 {3, u"open"},
                 {4, u"print"},
                 {5, u"properties"},
                 {-1, nullptr},
                 {6, nullptr},
                 {std::numeric_limits<gmpi::int32>::max(), nullptr},
                 {std::numeric_limits<gmpi::int32>::min(), nullptr}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.verb);
        auto m = command();
        m->deliverText(3, u"song.txt");
        m->deliverInt(1, c.verb);
        m->deliverBool(0, true);
        EXPECT_TRUE(operations().empty()); // a press runs nothing
        m->deliverBool(0, false);
        const Texts expected =
            c.ran ? Texts{std::u16string(c.ran) + u"|/patches/files/song.txt"} : Texts{};
        EXPECT_EQ(operations(), expected);
    }
}

// Only a true-to-false change is a release, whatever byte form the values come in; and a
// release with an unknown verb still ends the press, so a later false runs nothing.
TEST_F(SystemCommand, OnlyTrueToFalseIsARelease) {
    auto m = command();
    m->deliverText(3, u"a.txt");
    m->deliverInt(1, 3);
    m->deliverBool(0, false);
    EXPECT_TRUE(operations().empty());
    const gmpi::int32 fourByteTrue = 0x100, fourByteFalse = 0;
    m->deliverBool(0, true);
    m->deliver(0, &fourByteTrue, 4); // still pressed
    m->deliver(0, &fourByteFalse, 4);
    EXPECT_EQ(operations(), Texts{u"open|/patches/files/a.txt"});

    m->deliverBool(0, true);
    m->deliverInt(1, 9);
    m->deliverBool(0, false); // unknown verb: nothing runs
    m->deliverInt(1, 3);
    m->deliverBool(0, false); // no press since: no release
    const gmpi::int32 zero = 0;
    m->deliver(0, &zero, 4);
    EXPECT_TRUE(operations().empty());
    click(*m);
    EXPECT_EQ(operations(), Texts{u"open|/patches/files/a.txt"});
}

// Names that a shell would split or run reach the operation whole and unchanged; a name whose
// path does not fit the 260 characters resolves to nothing rather than to a cut-off name.
TEST_F(SystemCommand, FileNamesReachTheOperationUnchanged) {
    const std::u16string names[] = {
        u"two words.txt",
        u"it's \"quoted\".txt",
        u"a; rm -rf x && echo $(id) `id` | cat > y.txt",
        u"$HOME\\*?[a]\t~.txt",
        u"",
    };
    auto m = command();
    m->deliverInt(1, 3);
    for (const auto& name : names) {
        SCOPED_TRACE(zrhost::toUtf8(name));
        m->deliverText(3, name);
        click(*m);
        const std::u16string path = name.empty() ? u"" : u"/patches/files/" + name;
        EXPECT_EQ(operations(), Texts{u"open|" + path});
    }
    m->deliverText(3, std::u16string(300, u'n'));
    click(*m);
    EXPECT_EQ(operations(), Texts{u"open|"});
}

#if !defined(_WIN32)
namespace fs = std::filesystem;

// The shipped library with a stand-in opener first on PATH: a script that writes its argument
// count and arguments to a file of its own. The file name holds everything a shell would act
// on; each `touch` would leave a file behind.
TEST(SystemCommandLaunch, TheOpenerReceivesTheFileNameAsItsOneArgument) {
    const fs::path dir = fs::path(ZR_TEST_SCRATCH_DIR) / "launch";
    fs::remove_all(dir);
    fs::create_directories(dir / "bin");
    const fs::path opener = dir / "bin" / "xdg-open";
    {
        std::ofstream script(opener);
        script << "#!/bin/sh\nout='" << dir.string() << "/call.'$$\n"
               << "{ printf '%s\\n' \"$#\"; for a in \"$@\"; do printf '%s\\n' \"$a\"; done; } "
                  "> \"$out.tmp\"\nmv \"$out.tmp\" \"$out\"\n";
    }
    fs::permissions(opener, fs::perms::owner_all);
    const std::string name = "it's a \"file\"; touch inj1 && touch inj2 | touch inj3 "
                             "$(touch inj4) `touch inj5` & touch inj6.txt";
    std::ofstream(dir / name) << "x";

    const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    const fs::path oldCwd = fs::current_path();
    setenv("PATH", ((dir / "bin").string() + ":" + oldPath).c_str(), 1);
    fs::current_path(dir); // where a shell would run the touches
    {
        zrhost::HostContext context;
        context.setFileFolder(zrhost::toUtf16(dir.string()));
        zrhost::GuiModule m(library(), u"VL System Command", context);
        m.initialize();
        m.deliverInt(1, 3);
        m.deliverText(3, u"missing.txt"); // no such file: nothing is started
        m.deliverBool(0, true);
        m.deliverBool(0, false);
        m.deliverText(3, zrhost::toUtf16(name));
        m.deliverBool(0, true);
        m.deliverBool(0, false);
    }
    fs::current_path(oldCwd);
    setenv("PATH", oldPath.c_str(), 1);

    // The opener runs detached; wait for its record.
    std::vector<fs::path> calls;
    for (int i = 0; i < 3000 && calls.empty(); ++i) {
        for (const auto& e : fs::directory_iterator(dir))
            if (e.path().filename().string().rfind("call.", 0) == 0 &&
                e.path().extension() != ".tmp")
                calls.push_back(e.path());
        if (calls.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_EQ(calls.size(), 1u);
    std::ifstream in(calls[0]);
    std::string count, argument, rest;
    std::getline(in, count);
    std::getline(in, argument);
    EXPECT_EQ(count, "1");
    EXPECT_EQ(argument, (dir / name).string());
    EXPECT_FALSE(std::getline(in, rest));
    for (const char* injected : {"inj1", "inj2", "inj3", "inj4", "inj5", "inj6.txt"})
        EXPECT_FALSE(fs::exists(dir / injected)) << injected;
}
#endif

} // namespace
