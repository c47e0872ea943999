// The table loader: which file fills which slot, what a bad file or name does, and what the
// status pins report.
#include "osc_rig.h"

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

namespace osctest {
namespace {

namespace fs = std::filesystem;
using zrhost::AudioModule;
using zrhost::EventList;

// A loader module of its own, for tests that watch its pins and calls block by block.
class Loader {
  public:
    Loader(Rig& rig, const fs::path& folder)
        : rig_(rig), loader_(u"INIT Osc ZRPM", {}, &rig.context(), &rig.library()) {
        rig.context().setFileFolder(zrhost::toUtf16(folder.string()));
        loader_.attach(11);
        loader_.open();
    }
    AudioModule& module() { return loader_.module(); }
    // Runs one block with the given events; graph start is added to the first.
    void run(const std::function<void(EventList&)>& add) {
        EventList ev;
        if (loader_.now() == 0) ev.addGraphStart(0);
        add(ev);
        loader_.block(ev);
    }
    void configure(std::u16string file, int sineType, int sineNumber, int sawType = 0,
                   int sawNumber = 1, int triType = 0, int triNumber = 1) {
        run([&](EventList& ev) {
            addLoaderSettings(ev, file, sineType, sineNumber, sawType, sawNumber, triType,
                              triNumber);
        });
    }
    float status(int pin) const {
        const auto sent = loader_.module().floatsSent(pin);
        return sent.empty() ? -1.0f : sent.back();
    }
    std::vector<float> sent(int pin) const {
        auto v = loader_.module().floatsSent(pin);
        // Drop the initial value every output sends at graph start.
        if (!v.empty() && loader_.module().valuesSent(pin).front().block == 0 && v.front() == 0.0f)
            v.erase(v.begin());
        return v;
    }
    Rig& rig() { return rig_; }

  private:
    Rig& rig_;
    rig::ModuleRig loader_;
};

// Zone values that identify a file: `tag` + zone / 100.
std::vector<float> taggedTable(float tag, float format = 2.0f) {
    return tableOf([tag](int z, int) { return tag + static_cast<float>(z) / 100.0f; }, format);
}

bool slotHolds(std::span<const float> slot, const std::vector<float>& entries) {
    if (slot.size() < entries.size()) return false;
    return std::equal(entries.begin(), entries.end(), slot.begin());
}

TEST(TableLoader, FillsEachSlotFromTheFileItsTypeAndNumberName) {
    Rig rig;
    const fs::path dir = scratch("loader-names");
    const auto saw5 = taggedTable(25.0f), tri3 = taggedTable(13.0f), sqr7 = taggedTable(37.0f);
    writeRaw(dir / "osc-saw-5.zrw", saw5);
    writeRaw(dir / "osc-tri-3.zrw", tri3);
    writeRaw(dir / "osc-sqr-7.zrw", sqr7);

    Loader loader(rig, dir);
    // The sine slot may hold any wave: type 2 number 5 names osc-saw-5.zrw.
    loader.configure(u"base.zrw", 2, 5, 3, 7, 1, 3);
    EXPECT_EQ(loader.status(SineStatus), kLoaded);
    EXPECT_EQ(loader.status(SawStatus), kLoaded);
    EXPECT_EQ(loader.status(TriStatus), kLoaded);
    EXPECT_TRUE(slotHolds(rig.slot(wt::SineSlot), saw5));
    EXPECT_TRUE(slotHolds(rig.slot(wt::SawSlot), sqr7));
    EXPECT_TRUE(slotHolds(rig.slot(wt::TriSlot), tri3));
    // The three slots are the size every oscillator asks for.
    EXPECT_EQ(rig.slot(wt::SineSlot).size(), 127256u);
}

TEST(TableLoader, AcceptsTheExtensionInAnyCaseAndNegativeNumbers) {
    Rig rig;
    const fs::path dir = scratch("loader-case");
    const auto sine = taggedTable(1.0f), free = taggedTable(4.0f);
    writeRaw(dir / "osc-sine--1.zrw", sine);
    writeRaw(dir / "osc-free-12.zrw", free);
    for (std::u16string name : {u"BASE.ZRW", u"base.zRw", u"ab_c.Zrw"}) {
        rig.slotForWriting(wt::SineSlot)[wt::kZoneStart] = -5.0f;
        Loader loader(rig, dir);
        loader.configure(name, 0, -1, 4, 12);
        EXPECT_EQ(loader.status(SineStatus), kLoaded) << zrhost::toUtf8(name);
        EXPECT_TRUE(slotHolds(rig.slot(wt::SineSlot), sine));
        EXPECT_TRUE(slotHolds(rig.slot(wt::SawSlot), free));
    }
    // The dot is not optional and other extensions are refused.
    for (std::u16string name : {u"basezzrw", u"base.zrx", u"base.zrw "}) {
        Loader loader(rig, dir);
        loader.configure(name, 0, -1);
        EXPECT_EQ(loader.status(SineStatus), kNotLoaded) << zrhost::toUtf8(name);
    }
}

TEST(TableLoader, ReloadsOnlyTheSlotWhoseTypeOrNumberChanged) {
    Rig rig;
    const fs::path dir = scratch("loader-reload");
    writeRaw(dir / "osc-sine-1.zrw", taggedTable(1.0f));
    writeRaw(dir / "osc-saw-1.zrw", taggedTable(2.0f));
    writeRaw(dir / "osc-saw-2.zrw", taggedTable(3.0f));
    writeRaw(dir / "osc-tri-1.zrw", taggedTable(4.0f));
    Loader loader(rig, dir);
    loader.configure(u"base.zrw", 0, 1, 2, 1, 1, 1);
    // First load of a valid file: 0.000001 (the pin held 0), then 1.0, then 1.0 again.
    EXPECT_EQ(loader.sent(SineStatus), (std::vector<float>{kNotLoaded, kLoaded, kLoaded}));
    const auto sineBefore = loader.module().floatsSent(SineStatus).size();
    const auto triBefore = loader.module().floatsSent(TriStatus).size();

    loader.run([](EventList& ev) { ev.addInt(5, SawNumber, 2); });
    EXPECT_TRUE(slotHolds(rig.slot(wt::SawSlot), taggedTable(3.0f)));
    EXPECT_TRUE(slotHolds(rig.slot(wt::SineSlot), taggedTable(1.0f)));
    EXPECT_EQ(loader.module().floatsSent(SineStatus).size(), sineBefore);
    EXPECT_EQ(loader.module().floatsSent(TriStatus).size(), triBefore);
    // A reload of a valid file over a valid one sends the status three times.
    const auto saw = loader.sent(SawStatus);
    ASSERT_GE(saw.size(), 6u);
    EXPECT_EQ(std::vector<float>(saw.end() - 3, saw.end()),
              (std::vector<float>{kNotLoaded, kLoaded, kLoaded}));

    // A new File alone reloads nothing, even when it names another folder.
    loader.module().clearCalls();
    loader.run([](EventList& ev) { ev.addText(0, File, u"/nowhere/else.zrw"); });
    EXPECT_TRUE(loader.module().callsOf(zrhost::AudioCallKind::GetFullPath).empty());
    EXPECT_TRUE(loader.module().callsOf(zrhost::AudioCallKind::SetPinValue).empty());
    // The next reload takes the new File: that folder has no tables, so the slot keeps what
    // it had and says so.
    loader.run([](EventList& ev) { ev.addInt(0, SawNumber, 1); });
    EXPECT_EQ(loader.status(SawStatus), kNotLoaded);
    EXPECT_TRUE(slotHolds(rig.slot(wt::SawSlot), taggedTable(3.0f)));
}

TEST(TableLoader, HeaderFormatMustTruncateToTwo) {
    Rig rig;
    const fs::path dir = scratch("loader-format");
    const struct {
        float format;
        bool accepted;
    } cases[] = {{2.0f, true},   {2.5f, true},           {2.999f, true},
                 {1.99f, false}, {3.0f, false},          {-2.0f, false},
                 {0.0f, false},  {std::nanf(""), false}, {1e30f, false}};
    int number = 0;
    for (const auto& c : cases) {
        ++number;
        writeRaw(dir / ("osc-tri-" + std::to_string(number) + ".zrw"),
                 taggedTable(static_cast<float>(number), c.format));
    }
    const auto before = taggedTable(99.0f);
    number = 0;
    for (const auto& c : cases) {
        ++number;
        float* slot = rig.slotForWriting(wt::TriSlot);
        std::copy(before.begin(), before.end(), slot);
        Loader loader(rig, dir);
        loader.configure(u"base.zrw", 0, 0, 0, 0, 1, number);
        EXPECT_EQ(loader.status(TriStatus), c.accepted ? kLoaded : kNotLoaded) << c.format;
        const auto expected =
            c.accepted ? taggedTable(static_cast<float>(number), c.format) : before;
        EXPECT_TRUE(std::equal(expected.begin() + wt::kZoneStart, expected.end(),
                               rig.slot(wt::TriSlot).begin() + wt::kZoneStart))
            << c.format;
    }
}

// Only a regular file holding at least a whole table loads, as `zrwgen info` accepts only a
// whole table: a truncated file, a FIFO or a folder named like a table leaves the slot as it
// was (never partly overwritten) and reports "not loaded"; a longer file loads its first
// 508960 bytes and the extra values never reach the spare entries.
TEST(TableLoader, OnlyWholeTablesInRegularFilesLoad) {
    Rig rig;
    const fs::path dir = scratch("loader-length");
    const auto whole = taggedTable(6.0f);
    const auto cut = [&](std::size_t bytes, int number) {
        std::ofstream out(dir / ("osc-sine-" + std::to_string(number) + ".zrw"), std::ios::binary);
        out.write(reinterpret_cast<const char*>(whole.data()), static_cast<std::streamsize>(bytes));
    };
    cut(4 * 1000, 1);           // a valid header and 1000 values
    cut(wt::kFileBytes - 1, 2); // one byte short
    cut(4 * 3, 3);              // too short for a header
    std::vector<float> longFile = whole;
    longFile.resize(wt::kFileEntries + 500, 123.0f);
    writeRaw(dir / "osc-sine-4.zrw", longFile);
    fs::create_directories(dir / "osc-sine-5.zrw");
#if !defined(_WIN32)
    // Opening a FIFO for reading would wait for a writer that never comes.
    fs::remove(dir / "osc-sine-6.zrw");
    ASSERT_EQ(::mkfifo((dir / "osc-sine-6.zrw").c_str(), 0600), 0);
#endif
    const struct {
        int number;
        bool loads;
    } cases[] = {{1, false}, {2, false}, {3, false}, {4, true}, {5, false}, {6, false}};
    for (const auto& c : cases) {
        float* slot = rig.slotForWriting(wt::SineSlot);
        std::fill(slot, slot + wt::kSlotEntries, -7.0f);
        Loader loader(rig, dir);
        loader.configure(u"base.zrw", 0, c.number);
        EXPECT_EQ(loader.status(SineStatus), c.loads ? kLoaded : kNotLoaded) << c.number;
        const auto s = rig.slot(wt::SineSlot);
        for (int i = 0; i < wt::kSlotEntries; ++i) {
            const float expected = c.loads && i < wt::kFileEntries ? whole[i] : -7.0f;
            ASSERT_EQ(s[i], expected) << "file " << c.number << ", entry " << i;
        }
    }
}

TEST(TableLoader, NamesThatNameNoFileLoadNothing) {
    Rig rig;
    const fs::path dir = scratch("loader-bad-names");
    const auto good = taggedTable(5.0f);
    writeRaw(dir / "osc-sine-1.zrw", good);
    // Files a careless cut or a bad type could reach.
    writeRaw(dir / "osc--1.zrw", good);
    writeRaw(dir / "a.zrw", good);

    struct Case {
        std::u16string file;
        int type;
        std::u16string folder;
    };
    const std::u16string folder = zrhost::toUtf16(dir.string());
    const Case cases[] = {
        {u"", 0, folder},                             // empty File
        {u"base.zrw", 5, folder},                     // type past 4
        {u"base.zrw", -1, folder},                    // negative type
        {u"base.zrw", 0x7fffffff, folder},            // huge type
        {u"a.zrw", 0, u""},                           // resolves to 5 characters
        {u"abcd.zrw", 0, u""},                        // 8 characters: no separator
        {u"missing/base.zrw", 0, folder},             // folder does not exist
        {std::u16string(u"ba\0e.zrw", 8), 0, folder}, // NUL inside the name
        {u"base.zrw", 1, folder},                     // osc-tri-1.zrw does not exist
    };
    for (const auto& c : cases) {
        rig.context().setFileFolder(c.folder);
        float* slot = rig.slotForWriting(wt::SineSlot);
        std::fill(slot, slot + wt::kSlotEntries, -3.0f);
        AudioModule loader(rig.library(), u"INIT Osc ZRPM", rig.context());
        loader.attachOwnBuffer(11);
        loader.open();
        EventList ev;
        ev.addGraphStart(0)
            .addText(0, File, c.file)
            .addInt(0, SineType, c.type)
            .addInt(0, SineNumber, 1);
        loader.processBlock(ev);
        // Graph start sends 0; the load sends 0.000001 and repeats it.
        EXPECT_EQ(loader.floatsSent(SineStatus), (std::vector<float>{0.0f, kNotLoaded, kNotLoaded}))
            << zrhost::toUtf8(c.file) << " type " << c.type;
        for (int i = 0; i < wt::kSlotEntries; i += 997)
            ASSERT_EQ(rig.slot(wt::SineSlot)[i], -3.0f) << zrhost::toUtf8(c.file);
    }
}

TEST(TableLoader, PathsThatDoNotFitAreRefusedNotCut) {
    Rig rig;
    // Nest folders until "<folder>/base.zrw" is 259 characters: the resolved name fits the
    // 260-character buffer, but the slot's file name is 7 characters longer.
    fs::path dir = scratch("loader-long");
    const auto lengthOf = [](const fs::path& p) { return p.string().size(); };
    while (lengthOf(dir / "base.zrw") + 60 < 259)
        dir /= std::string(50, 'd');
    dir /= std::string(259 - lengthOf(dir / "base.zrw") - 1, 'e');
    ASSERT_EQ(lengthOf(dir / "base.zrw"), 259u);
    fs::create_directories(dir);
    const auto table = taggedTable(8.0f);
    writeRaw(dir / "osc-sine-1.zrw", table);
    // What a silent cut of that name to 259 characters would open instead.
    const std::string full = (dir / "osc-sine-1.zrw").string();
    writeRaw(full.substr(0, 259), table);

    Loader loader(rig, dir);
    loader.configure(u"base.zrw", 0, 1);
    EXPECT_EQ(loader.status(SineStatus), kNotLoaded);

    // One level up, where the whole name fits, the same file loads.
    const fs::path shorter = dir.parent_path();
    writeRaw(shorter / "osc-sine-1.zrw", table);
    Loader near(rig, shorter);
    near.configure(u"base.zrw", 0, 1);
    EXPECT_EQ(near.status(SineStatus), kLoaded);

    // A File name that makes the resolved path longer than 260 characters.
    Loader tooLong(rig, dir);
    tooLong.configure(u"longer-name.zrw", 0, 1);
    EXPECT_EQ(tooLong.status(SineStatus), kNotLoaded);
}

TEST(TableLoader, NeverSetsABlockRoutineOrWritesItsSpareOutput) {
    Rig rig;
    const fs::path dir = scratch("loader-spare");
    writeRaw(dir / "osc-sine-1.zrw", taggedTable(1.0f));
    Loader loader(rig, dir);
    auto spare = loader.module().buffer(11);
    std::fill(spare.begin(), spare.end(), 0.25f);
    loader.configure(u"base.zrw", 0, 1);
    loader.run([](EventList&) {});
    for (float v : loader.module().buffer(11))
        EXPECT_EQ(v, 0.25f);
    // The slots were asked for by name, without a sample rate, at their full size.
    const auto calls = loader.module().callsOf(zrhost::AudioCallKind::AllocateSharedMemory);
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].text, u"QORV_OSC-ZRPM-sine");
    EXPECT_EQ(calls[1].text, u"QORV_OSC-ZRPM-saw");
    EXPECT_EQ(calls[2].text, u"QORV_OSC-ZRPM-tri");
}

} // namespace
} // namespace osctest
