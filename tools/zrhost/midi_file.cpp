// Standard MIDI File reading and writing through libsmf, with the checks libsmf leaves to its
// caller (no tracks, division or tempo 0) and its diagnostics kept off the terminal.
#include "tools/zrhost/midi_file.h"

#include "tools/zrhost/output_file.h"

#include <glib.h>
#include <smf.h>

#include <fstream>
#include <iterator>
#include <memory>

namespace zrhost {

namespace {

// libsmf reports through GLib's log; zrhost reports one line of its own instead.
class QuietGlib {
  public:
    QuietGlib() : previous_(g_log_set_default_handler(&ignore, nullptr)) {}
    ~QuietGlib() { g_log_set_default_handler(previous_, nullptr); }
    QuietGlib(const QuietGlib&) = delete;
    QuietGlib& operator=(const QuietGlib&) = delete;

  private:
    static void ignore(const gchar*, GLogLevelFlags, const gchar*, gpointer) {}
    GLogFunc previous_;
};

struct SmfDelete {
    void operator()(smf_t* smf) const { smf_delete(smf); }
};
using SmfPtr = std::unique_ptr<smf_t, SmfDelete>;

unsigned be16(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<unsigned>(b[at] << 8 | b[at + 1]);
}

// The header chunk: "MThd", length 6 or more, format, track count, division.
void checkHeader(const std::vector<std::uint8_t>& b) {
    if (b.size() < 14 || b[0] != 'M' || b[1] != 'T' || b[2] != 'h' || b[3] != 'd')
        throw MidiFileError("not a Standard MIDI File (no MThd header)");
    if (be16(b, 10) == 0) throw MidiFileError("the MIDI file has no tracks");
    if (be16(b, 12) == 0) throw MidiFileError("the MIDI file's division is 0 ticks");
}

} // namespace

std::vector<TimedMessage> readMidiFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw MidiFileError("cannot open the MIDI file");
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                          std::istreambuf_iterator<char>());
    checkHeader(bytes);
    QuietGlib quiet;
    SmfPtr smf(smf_load_from_memory(bytes.data(), static_cast<int>(bytes.size())));
    if (!smf) throw MidiFileError("not a readable Standard MIDI File");
    if (smf->number_of_tracks <= 0) throw MidiFileError("the MIDI file has no tracks");
    for (int i = 0;; ++i) {
        const smf_tempo_t* tempo = smf_get_tempo_by_number(smf.get(), i);
        if (!tempo) break;
        if (tempo->microseconds_per_quarter_note <= 0)
            throw MidiFileError("the MIDI file sets a tempo of 0");
    }
    std::vector<TimedMessage> out;
    while (smf_event_t* e = smf_get_next_event(smf.get())) {
        const unsigned char* b = e->midi_buffer;
        // A set-tempo event of 0 microseconds per quarter note would put every later event at
        // one instant; libsmf does not list it among its tempos.
        if (e->midi_buffer_length >= 6 && b[0] == 0xFF && b[1] == 0x51 && b[2] == 3 &&
            (b[3] | b[4] | b[5]) == 0)
            throw MidiFileError("the MIDI file sets a tempo of 0");
        if (smf_event_is_metadata(e) || e->midi_buffer_length <= 0) continue;
        out.push_back(
            {e->time_seconds,
             std::vector<std::uint8_t>(e->midi_buffer, e->midi_buffer + e->midi_buffer_length)});
    }
    return out;
}

void writeMidiFile(const std::filesystem::path& path, const std::vector<TimedMessage>& messages) {
    OutputFile file(path);
    QuietGlib quiet;
    SmfPtr smf(smf_new());
    if (!smf || smf_set_ppqn(smf.get(), 960) != 0)
        throw OutputError(path.string() + ": cannot build the MIDI file");
    smf_track_t* track = smf_track_new();
    smf_add_track(smf.get(), track);
    for (const TimedMessage& m : messages) {
        std::vector<std::uint8_t> copy = m.bytes;
        smf_event_t* e = smf_event_new_from_pointer(copy.data(), static_cast<int>(copy.size()));
        if (!e) continue; // a message libsmf does not take as valid MIDI is left out
        smf_track_add_event_seconds(track, e, m.seconds);
    }
    if (smf_save(smf.get(), file.temporary().string().c_str()) != 0)
        throw OutputError(path.string() + ": cannot write the MIDI file");
    file.commit();
}

} // namespace zrhost
