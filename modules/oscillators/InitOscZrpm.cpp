// "INIT Osc ZRPM" loads wavetable files into the three slots the oscillators play.
// Each slot is reloaded when its own wave type or number changes: the
// File pin's name is resolved to a full path, its last nine characters ("/" + four-character
// stem + ".zrw") are replaced by the slot's file name, the file's header is checked and the
// file is read into the slot in place. Only regular files of a whole table's length are read
// (see loadSlot).
#include "modules/oscillators/InitOscZrpm.h"

#include "framework/mp_factory.h"
#include "framework/platform/read_file.h"

#include <algorithm>
#include <bit>

namespace zr {

using namespace wavetables;

// Files hold little-endian floats and are read straight into the slots.
static_assert(std::endian::native == std::endian::little);
static_assert(InitOscZrpm::kMaxPath <= gmpi::platform::ReadOnlyFile::kMaxPath);

namespace {

bool isChar(char16_t c, char lower) {
    return c == static_cast<char16_t>(lower) || c == static_cast<char16_t>(lower - 'a' + 'A');
}

// Appends text to `path` at `length`; false (and nothing more written) when it does not fit
// with a terminator inside `capacity`.
bool append(char16_t* path, int& length, int capacity, const char16_t* text) {
    int n = 0;
    while (text[n])
        ++n;
    if (length + n + 1 > capacity) return false;
    for (int i = 0; i < n; ++i)
        path[length++] = text[i];
    path[length] = 0;
    return true;
}

// The number as printf's "%i" writes it: a minus sign for negative values, no padding.
void formatInt(gmpi::int32 value, char16_t (&text)[16]) {
    char16_t digits[12];
    int n = 0;
    // Work on the magnitude in 64 bits so that the most negative value formats too.
    std::int64_t v = value < 0 ? -static_cast<std::int64_t>(value) : value;
    do {
        digits[n++] = static_cast<char16_t>(u'0' + v % 10);
        v /= 10;
    } while (v > 0);
    int out = 0;
    if (value < 0) text[out++] = u'-';
    while (n > 0)
        text[out++] = digits[--n];
    text[out] = 0;
}

} // namespace

InitOscZrpm::InitOscZrpm(gmpi::IMpUnknown* host) : gmpi::MpBase(host) {
    initializePin(0, fileIn);
    initializePin(1, spareIn);
    initializePin(2, sineTypeIn);
    initializePin(3, sineNumberIn);
    initializePin(4, sawTypeIn);
    initializePin(5, sawNumberIn);
    initializePin(6, triTypeIn);
    initializePin(7, triNumberIn);
    initializePin(8, sineStatusOut);
    initializePin(9, sawStatusOut);
    initializePin(10, triStatusOut);
    initializePin(11, spareAudioOut);
}

gmpi::int32 InitOscZrpm::open() {
    for (int slot = 0; slot < SlotCount; ++slot)
        tables[slot] = requestSlot(getHost(), static_cast<Slot>(slot));
    loadedOnce = false;
    for (int slot = 0; slot < SlotCount; ++slot) {
        lastType[slot] = -1;
        lastNumber[slot] = -1;
    }
    // No block routine of its own: Spare Audio Out is never written.
    return MpBase::open();
}

InitOscZrpm::SlotPins InitOscZrpm::slotPins(int slot) {
    switch (slot) {
    case SineSlot:
        return {sineTypeIn, sineNumberIn, sineStatusOut};
    case SawSlot:
        return {sawTypeIn, sawNumberIn, sawStatusOut};
    default:
        return {triTypeIn, triNumberIn, triStatusOut};
    }
}

void InitOscZrpm::pinsChanged() {
    if (!loadedOnce) {
        for (int slot = 0; slot < SlotCount; ++slot) {
            lastType[slot] = slotPins(slot).type.getValue();
            lastNumber[slot] = slotPins(slot).number.getValue();
        }
        loadedOnce = true;
        for (int slot = 0; slot < SlotCount; ++slot)
            loadSlot(slot);
    }
    // Only a slot whose own type or number changed is reloaded; the File pin alone reloads
    // nothing.
    for (int slot = 0; slot < SlotCount; ++slot) {
        const SlotPins p = slotPins(slot);
        if (p.type.getValue() != lastType[slot] || p.number.getValue() != lastNumber[slot]) {
            lastType[slot] = p.type.getValue();
            lastNumber[slot] = p.number.getValue();
            loadSlot(slot);
        }
    }
}

bool InitOscZrpm::slotFilePath(int slot, char16_t (&path)[kMaxPath]) {
    const gmpi::MpText& file = fileIn.getValue();
    if (file.empty()) return false;
    // A type outside 0-4 names no file.
    const gmpi::int32 type = slotPins(slot).type.getValue();
    if (type < 0 || type >= kWaveTypeCount) return false;

    // The host takes a terminated name. A name with a NUL inside would reach the host cut
    // short, naming another file; one that cannot fit cannot resolve to a path that fits.
    if (file.size() >= static_cast<std::size_t>(kMaxPath)) return false;
    char16_t shortName[kMaxPath];
    for (std::size_t i = 0; i < file.size(); ++i) {
        if (file[i] == 0) return false;
        shortName[i] = file[i];
    }
    shortName[file.size()] = 0;

    // A host that cannot fit the full path must say so; a result without a terminator inside
    // the buffer is refused rather than cut into some other file's name.
    for (char16_t& c : path)
        c = 0;
    if (getHost()->getFullPath(shortName, kMaxPath, path) != gmpi::ResultOk) return false;
    int length = 0;
    while (length < kMaxPath && path[length])
        ++length;
    if (length >= kMaxPath) return false;

    // "<folder>/<stem>.zrw": the extension in any case, the dot as is. A name of fewer than
    // nine characters holds no folder to keep.
    constexpr int kCut = 9;
    if (length < kCut) return false;
    if (path[length - 4] != u'.' || !isChar(path[length - 3], 'z') ||
        !isChar(path[length - 2], 'r') || !isChar(path[length - 1], 'w'))
        return false;
    length -= kCut;
    path[length] = 0;

    char16_t number[16];
    formatInt(slotPins(slot).number.getValue(), number);
    // The whole name must fit: a path cut short would name another file.
    return append(path, length, kMaxPath, u"/osc-") &&
           append(path, length, kMaxPath, kWaveTypeStems[type]) &&
           append(path, length, kMaxPath, u"-") && append(path, length, kMaxPath, number) &&
           append(path, length, kMaxPath, u".zrw");
}

// A slot is loaded only from a regular file at least as long as a whole table whose header
// shows the format: anything else (a FIFO or device named like a table, a truncated file, a
// file of another kind) leaves the slot as it was and its status "not loaded". A longer file
// loads its first kFileBytes; the rest is ignored. The size is checked before anything is
// read, so a refused file never overwrites part of the slot.
void InitOscZrpm::loadSlot(int slot) {
    const SlotPins p = slotPins(slot);
    // A load first reports "not loaded", then "loaded" once the whole table is in the slot.
    if (p.status.getValue() != kStatusNotLoaded) p.status.setValue(kStatusNotLoaded);
    char16_t path[kMaxPath];
    if (tables[slot] && getHost() && slotFilePath(slot, path)) {
        gmpi::platform::ReadOnlyFile file(path);
        constexpr std::int64_t headerBytes = kHeaderEntries * sizeof(float);
        if (file.isOpen() && file.size() >= kFileBytes &&
            file.read(header, headerBytes) == headerBytes && hasValidFormat(header[kFormatEntry])) {
            std::copy(header, header + kHeaderEntries, tables[slot]);
            if (file.read(tables[slot] + kHeaderEntries, kFileBytes - headerBytes) ==
                kFileBytes - headerBytes)
                p.status.setValue(kStatusLoaded);
        }
    }
    p.status.sendValue();
}

namespace {
const gmpi::int32 registered =
    gmpi::registerAudioModule(u"INIT Osc ZRPM", &gmpi::createAudio<InitOscZrpm>);
const gmpi::int32 described =
    gmpi::catalogDescribe(u"INIT Osc ZRPM", "ZRPM Wavetable Loader", "ZR/Oscillators");
} // namespace

} // namespace zr
