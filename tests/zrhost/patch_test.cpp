// Reading patch files: pins found by name, index or GUI half, and every refusal naming the
// place in the file and the problem.
#include "tests/zrhost/support.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

// The PatchError a patch gives, or a failure when it is accepted.
zrhost::PatchError refusal(const std::string& json) {
    try {
        zrtest::patchOf(json);
    } catch (const zrhost::PatchError& e) {
        return e;
    }
    ADD_FAILURE() << "accepted: " << json;
    return zrhost::PatchError("", "", "");
}

const std::string kOsc = R"("osc": {"id": "Osc ZRPM"})";

std::string withOsc(const std::string& rest) {
    return R"({"modules": {)" + kOsc + R"(, "f": {"id": "ZR-LPF over CS"}})" + rest + "}";
}

} // namespace

TEST(ZrhostPatchPins, NamesIndicesAndHalves) {
    const zrhost::Patch p = zrtest::patchOf(R"({"modules": {
        "osc": {"id": "Osc ZRPM"}, "scope": {"id": "ZR SCOPE V4"}},
        "connections": [["osc.5", "scope.signal"], ["scope.Capture", "scope.gui.Capture"]]})");
    ASSERT_GE(p.connections.size(), 2u);
    EXPECT_EQ(p.connections[0].from.pin, 5);
    EXPECT_EQ(p.connections[0].to.pin, 1); // names match regardless of case
    EXPECT_EQ(p.connections[0].to.datatype, gmpi::DatatypeAudio);
    EXPECT_EQ(p.connections[1].to.half, zrhost::Half::Gui);
    EXPECT_EQ(p.connections[1].to.pin, 0);
    // Naming a GUI pin creates the GUI half, and its other input is relayed from the audio
    // output of the same name.
    const auto& scope = p.modules[static_cast<std::size_t>(p.findModule("scope"))];
    EXPECT_TRUE(scope.audio && scope.gui);
    ASSERT_EQ(p.connections.size(), 3u);
    EXPECT_EQ(p.connections[2].from.pin, 3);
    EXPECT_EQ(p.connections[2].to.pin, 1);
    EXPECT_EQ(p.connections[2].to.half, zrhost::Half::Gui);
}

TEST(ZrhostPatchPins, ValuesTakeThePinsType) {
    const zrhost::Patch p = zrtest::patchOf(R"({"modules": {"osc": {"id": "Osc ZRPM",
        "values": {"Pitch": 0.25, "Wave": 3}}, "t": {"id": "INIT Osc ZRPM",
        "values": {"File": "ab"}}},
        "automation": [{"at": 1.5, "pin": "osc.Wave", "value": 1},
                       {"at": 0.5, "pin": "osc.Pitch", "value": 1, "ramp": 0.1}]})");
    const auto& osc = p.modules[0];
    // The patch's values, then the catalog's default for the one described pin left out.
    ASSERT_EQ(osc.values.size(), 3u);
    EXPECT_EQ(osc.values[0].second.asFloat(), 0.25f);
    EXPECT_EQ(osc.values[1].second.bytes, (std::vector<std::uint8_t>{3, 0, 0, 0}));
    EXPECT_EQ(osc.values[2].first.text, "osc.Reset Mode");
    EXPECT_EQ(osc.values[2].second.bytes, (std::vector<std::uint8_t>{0, 0, 0, 0}));
    EXPECT_EQ(p.modules[1].values[0].second.bytes, (std::vector<std::uint8_t>{'a', 0, 'b', 0}));
    // Changes are kept in time order.
    ASSERT_EQ(p.changes.size(), 2u);
    EXPECT_EQ(p.changes[0].seconds, 0.5);
    EXPECT_EQ(p.changes[0].rampSeconds, 0.1);
    EXPECT_EQ(p.changes[1].pin.pin, 11);
}

TEST(ZrhostPatchErrors, NotJsonNamesLineAndColumn) {
    const auto e = refusal("{\n  \"modules\": {\n    \"osc\" \"Osc ZRPM\"\n  }\n}");
    EXPECT_EQ(e.file(), "test.json");
    EXPECT_EQ(e.place().rfind("line 3, column ", 0), 0u) << e.place();
    EXPECT_NE(e.problem().find("not valid JSON"), std::string::npos);
}

TEST(ZrhostPatchErrors, UnknownModulesAndPins) {
    auto e = refusal(R"({"modules": {"osc": {"id": "Osc ZRMP"}}})");
    EXPECT_EQ(e.place(), "modules.osc.id");
    EXPECT_NE(e.problem().find("unknown module identifier \"Osc ZRMP\""), std::string::npos);
    EXPECT_NE(e.problem().find("did you mean \"Osc ZRPM\""), std::string::npos);

    e = refusal(withOsc(R"(, "connections": [["osc.Audio Out", "f.Inptu"]])"));
    EXPECT_EQ(e.place(), "connections[0][1]");
    EXPECT_NE(e.problem().find("no pin named \"Inptu\""), std::string::npos);
    EXPECT_NE(e.problem().find("did you mean \"Input\""), std::string::npos);

    e = refusal(withOsc(R"(, "connections": [{"from": "osc.Audio Out", "to": "g.Input"}])"));
    EXPECT_EQ(e.place(), "connections[0].to");
    EXPECT_NE(e.problem().find("no module named \"g\""), std::string::npos);

    e = refusal(withOsc(R"(, "connections": [["osc.Audio Out", "f.99"]])"));
    EXPECT_NE(e.problem().find("no pin with index 99"), std::string::npos);

    e = refusal(R"({"modules": {"osc": {"id": "Osc ZRPM", "values": {"Pich": 0.5}}}})");
    EXPECT_EQ(e.place(), "modules.osc.values.Pich");

    e = refusal(R"({"modules": {"osc": {"id": "Osc ZRPM"}}, "automation": [
        {"at": 1, "pin": "osc.gui.Pitch", "value": 1}]})");
    EXPECT_NE(e.problem().find("has no GUI half"), std::string::npos);
}

TEST(ZrhostPatchErrors, MismatchedDatatypesAndDirections) {
    // An audio output may drive a number input, but a control output never an audio input.
    auto e = refusal(R"({"modules": {"c": {"id": "ZR BPM Clock3"}, "f": {"id": "ZR-LPF over CS"}},
                         "connections": [["c.Rate", "f.Input"]]})");
    EXPECT_EQ(e.place(), "connections[0]");
    EXPECT_NE(e.problem().find("cannot connect \"c.Rate\" (float) to \"f.Input\" (audio)"),
              std::string::npos);
    e = refusal(withOsc(R"(, "connections": [["f.Input", "osc.Pitch"]])"));
    EXPECT_NE(e.problem().find("is an input"), std::string::npos);
    e = refusal(withOsc(R"(, "connections": [["osc.Audio Out", "f.Output"]])"));
    EXPECT_NE(e.problem().find("is an output"), std::string::npos);
    e = refusal(R"({"modules": {"osc": {"id": "Osc ZRPM", "values": {"Wave": 1.5}}}})");
    EXPECT_NE(e.problem().find("expects a whole number"), std::string::npos);
    e = refusal(R"({"modules": {"osc": {"id": "Osc ZRPM", "values": {"Pitch": "high"}}}})");
    EXPECT_NE(e.problem().find("expects a number"), std::string::npos);
    e = refusal(R"({"modules": {"osc": {"id": "Osc ZRPM"}}, "automation": [
        {"at": 1, "pin": "osc.Wave", "value": 1, "ramp": 0.5}]})");
    EXPECT_EQ(e.place(), "automation[0].ramp");
    e = refusal(R"({"modules": {"osc": {"id": "Osc ZRPM"}}, "output": ["osc.Wave"]})");
    EXPECT_EQ(e.place(), "output[0]");
}

TEST(ZrhostPatchErrors, ImpossibleRenderSettings) {
    for (const char* bad : {R"("sampleRate": 0)", R"("sampleRate": -44100)", R"("sampleRate": 1e9)",
                            R"("sampleRate": "fast")"}) {
        const auto e = refusal(std::string("{") + bad + R"(, "modules": {)" + kOsc + "}}");
        EXPECT_EQ(e.place(), "sampleRate") << bad;
    }
    for (const char* bad : {R"("blockSize": 0)", R"("blockSize": 1.5)", R"("blockSize": 100000)"}) {
        const auto e = refusal(std::string("{") + bad + R"(, "modules": {)" + kOsc + "}}");
        EXPECT_EQ(e.place(), "blockSize") << bad;
        EXPECT_NE(e.problem().find("impossible block size"), std::string::npos);
    }
    const auto e = refusal(R"({"seconds": 0, "modules": {)" + kOsc + "}}");
    EXPECT_EQ(e.place(), "seconds");
}

TEST(ZrhostPatchErrors, ShapeOfTheDocument) {
    EXPECT_EQ(refusal("[1, 2]").place(), "");
    EXPECT_EQ(refusal(R"({"modules": {}})").place(), "modules");
    EXPECT_EQ(refusal(R"({"modules": {)" + kOsc + R"(}, "conections": []})").place(), "conections");
    EXPECT_NE(refusal(R"({"modules": {)" + kOsc + R"(}, "conections": []})")
                  .problem()
                  .find("did you mean \"connections\""),
              std::string::npos);
    EXPECT_EQ(refusal(R"({"modules": {"a.b": {"id": "Osc ZRPM"}}})").place(), "modules.a.b");
    // The message is one line: file, place, problem.
    const auto e = refusal(R"({"modules": {"osc": "Nothing"}})");
    EXPECT_EQ(std::string(e.what()).find('\n'), std::string::npos);
    EXPECT_EQ(std::string(e.what()).rfind("test.json: modules.osc: ", 0), 0u);
}

// Hostile patches given to the zrhost binary: each stops with exit status 2 and one line naming
// the file, the place and the problem, and leaves the patch's folder as it was (a user's own
// table among it).
TEST(ZrhostPatchErrors, HostilePatchesStopCleanlyAndWriteNothing) {
    struct Case {
        const char* name;
        std::string patch;
        std::string expect; // follows "patch.json: " in the error line
    };
    const std::string deep(100000, '[');
    const Case cases[] = {
        {"deep", R"({"modules": )" + deep + std::string(100000, ']') + "}",
         "modules[0][0][0][0][0]...: nested more than 64 levels deep"},
        {"huge_seconds", R"({"seconds": 1e400, "modules": {)" + kOsc + "}}",
         "line 1, column 13: the number 1e400 is too large (in seconds)"},
        {"duplicate_module", R"({"modules": {)" + kOsc + R"(, "osc": {"id": "ZR-LPF over CS"}}})",
         "modules: the entry \"osc\" appears twice"},
        {"duplicate_top", R"({"seconds": 1, "seconds": 2, "modules": {)" + kOsc + "}}",
         "the entry \"seconds\" appears twice"}, // at the top: no place
        {"tables_into_own_folder",
         R"({"standardWavetables": true, "folder": ".", "modules": {)" + kOsc + "}}",
         "standardWavetables: the standard wavetables live in zrhost's cache folder"},
        {"tables_into_new_folder",
         R"({"standardWavetables": true, "folder": "new/deeper", "modules": {)" + kOsc + "}}",
         "standardWavetables: "},
    };
    for (const auto& c : cases) {
        const auto folder = zrtest::scratch() / "hostile" / c.name;
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        std::ofstream(folder / "patch.json", std::ios::binary) << c.patch;
        std::ofstream(folder / "base.zrw", std::ios::binary) << "mine";
        const std::string command = "cd '" + folder.string() +
                                    "' && '" ZRHOST_BINARY
                                    "' render patch.json -o out.wav 2>err.txt >/dev/null";
        const int raw = std::system(command.c_str());
        EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 2) << c.name << ": " << raw;
        std::ostringstream errText, table;
        errText << std::ifstream(folder / "err.txt").rdbuf();
        table << std::ifstream(folder / "base.zrw").rdbuf();
        const std::string err = errText.str();
        EXPECT_NE(err.find("patch.json: " + c.expect), std::string::npos) << c.name << ": " << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << c.name;
        EXPECT_EQ(table.str(), "mine") << c.name;
        std::size_t entries = 0;
        for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(folder))
            ++entries;
        EXPECT_EQ(entries, 3u) << c.name; // patch.json, base.zrw, err.txt
    }
}
