#include "tools/zrhost/demo_patch.h"

#include <string>
#include <vector>

namespace zrhost {

namespace {

constexpr double kSixteenth = 0.125; // seconds, at 120 beats per minute

// Pitch inputs take 1 volt per octave, 1.0 standing for 10 volts and 0.5 for A4 (440 Hz).
double pitchOf(int semitonesFromA4) {
    return 0.5 + semitonesFromA4 / 120.0;
}

struct Note {
    int start;  // in sixteenths
    int length; // in sixteenths
    int semitone;
};

// A minor: Am | F | C | G.
const std::vector<Note>& bassLine() {
    static const std::vector<Note> notes = [] {
        std::vector<Note> out;
        const int roots[4] = {-24, -28, -21, -26};
        const int pattern[8] = {0, 0, 12, 0, 0, 7, 12, 0};
        for (int bar = 0; bar < 4; ++bar)
            for (int step = 0; step < 8; ++step)
                out.push_back({bar * 16 + step * 2, 2, roots[bar] + pattern[step]});
        return out;
    }();
    return notes;
}

const std::vector<Note>& melody() {
    static const std::vector<Note> notes = {
        {0, 2, 7},  {2, 2, 3},   {4, 2, 0},   {6, 2, 3},  {8, 3, 7},   {11, 1, 5},
        {12, 2, 3}, {14, 2, 0},  {16, 2, 3},  {18, 2, 0}, {20, 2, -4}, {22, 2, 0},
        {24, 3, 3}, {27, 1, 5},  {28, 2, 3},  {30, 2, 0}, {32, 2, -2}, {34, 2, 3},
        {36, 2, 7}, {38, 2, 10}, {40, 3, 7},  {43, 1, 5}, {44, 2, 3},  {46, 2, 7},
        {48, 2, 5}, {50, 2, 2},  {52, 2, -2}, {54, 2, 2}, {56, 8, 0},
    };
    return notes;
}

// One voice: oscillator → filter (cutoff = constant + filter envelope) → envelope as amplifier.
void addVoice(PatchJson& doc, const std::string& name, int wave, const char* levelPin,
              double cutoff, double envelopeAmount, double resonance,
              const std::vector<Note>& notes, double glide, double gateFraction) {
    PatchJson& modules = doc["modules"];
    modules[name] = {{"id", "Osc ZRPM"},
                     {"values", {{"Gate", 1.0}, {"Wave", wave}, {levelPin, 1.0}}}};
    modules[name + "Sweep"] = {{"id", "QORVALIS ZR-ADSR D"},
                               {"values",
                                {{"Enable", 1.0},
                                 {"Level", envelopeAmount},
                                 {"Attack", 0.2},
                                 {"Decay", 0.75},
                                 {"Sustain", 0.1},
                                 {"Release", 0.7},
                                 {"Attack Shape", 2},
                                 {"Decay Shape", 3},
                                 {"Release Shape", 3}}}};
    modules[name + "Filter"] = {
        {"id", "ZR-LPF over CS"},
        {"values", {{"Pitch", cutoff}, {"Resonance", resonance}, {"Mode", 5}}}};
    modules[name + "Amp"] = {{"id", "QORVALIS ZR-ADSR D"},
                             {"values",
                              {{"Enable", 1.0},
                               {"Attack", 0.25},
                               {"Decay", 0.8},
                               {"Sustain", 0.55},
                               {"Release", 0.62},
                               {"Attack Shape", 2},
                               {"Decay Shape", 3},
                               {"Release Shape", 3}}}};
    PatchJson& connections = doc["connections"];
    connections.push_back({name + ".Audio Out", name + "Filter.Input"});
    connections.push_back({name + "Sweep.Envelope", name + "Filter.Pitch"});
    connections.push_back({name + "Filter.Output", name + "Amp.Level"});

    PatchJson& automation = doc["automation"];
    // Notes start a little after the beginning: the amplifier ignores a gate while the signal
    // it scales is still exactly zero, as it is before the oscillator's first samples.
    const double offset = 0.05;
    for (const Note& n : notes) {
        const double on = offset + n.start * kSixteenth;
        const double off = on + n.length * kSixteenth * gateFraction;
        PatchJson pitch = {{"at", on}, {"pin", name + ".Pitch"}, {"value", pitchOf(n.semitone)}};
        if (glide > 0 && &n != &notes.front()) pitch["ramp"] = glide;
        automation.push_back(pitch);
        for (const char* env : {"Sweep", "Amp"}) {
            automation.push_back({{"at", on}, {"pin", name + env + ".Gate"}, {"value", 1}});
            automation.push_back({{"at", off}, {"pin", name + env + ".Gate"}, {"value", 0}});
        }
    }
}

} // namespace

PatchJson demoPatch() {
    PatchJson doc;
    doc["description"] = "zrhost demo: a bass line and a lead melody in A minor, four bars at "
                         "120 beats per minute";
    doc["sampleRate"] = 44100;
    doc["blockSize"] = 64;
    doc["seconds"] = 8.6;
    doc["standardWavetables"] = true;
    doc["modules"] = PatchJson::object();
    doc["connections"] = PatchJson::array();
    doc["automation"] = PatchJson::array();
    // The table loader fills the oscillators' three shared wavetable slots from the folder of
    // its File pin: sine (type 0), saw (type 2) and triangle (type 1) tables number 1.
    doc["modules"]["tables"] = {{"id", "INIT Osc ZRPM"},
                                {"values",
                                 {{"File", "base.zrw"},
                                  {"Sine Slot Type", 0},
                                  {"Sine Slot Number", 1},
                                  {"Saw Slot Type", 2},
                                  {"Saw Slot Number", 1},
                                  {"Tri Slot Type", 1},
                                  {"Tri Slot Number", 1}}}};
    addVoice(doc, "bass", 2, "Saw Level", 0.36, 0.3, 0.55, bassLine(), 0.0, 0.7);
    addVoice(doc, "lead", 4, "Saw Level", 0.5, 0.15, 0.35, melody(), 0.02, 0.85);

    PatchJson& automation = doc["automation"];
    // The lead's cutoff opens over three bars and falls back in the fourth; its pulse
    // narrows slowly.
    automation.push_back({{"at", 0.0}, {"pin", "leadFilter.Pitch"}, {"value", 0.7}, {"ramp", 6.0}});
    automation.push_back(
        {{"at", 6.0}, {"pin", "leadFilter.Pitch"}, {"value", 0.55}, {"ramp", 2.0}});
    automation.push_back({{"at", 0.0}, {"pin", "lead.Shape"}, {"value", 0.7}, {"ramp", 8.0}});

    doc["output"] = PatchJson::array();
    doc["output"].push_back(PatchJson::array({{{"pin", "bassAmp.Envelope"}, {"gain", 0.55}},
                                              {{"pin", "leadAmp.Envelope"}, {"gain", 0.4}}}));
    doc["output"].push_back(PatchJson::array({{{"pin", "bassAmp.Envelope"}, {"gain", 0.55}},
                                              {{"pin", "leadAmp.Envelope"}, {"gain", 0.3}}}));
    return doc;
}

} // namespace zrhost
