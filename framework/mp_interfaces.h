// The binary boundary between a host and this module library: common types, interface
// identifiers, result and event codes, and the interfaces slot by slot. Header only, so that
// hosts (our own reference host among them) can include it without linking the library.
//
// Interfaces are abstract classes with no data and no virtual destructor: their virtual
// operations occupy exactly the slots listed, and an implementing class puts its own virtual
// operations (destructor included) after the last slot.
#pragma once

#include <cstdint>
#include <cstring>

#if defined(_WIN32) && !defined(_WIN64)
#define MP_STDCALL __stdcall
#else
#define MP_STDCALL
#endif

namespace gmpi {

using int32 = std::int32_t;

struct MpGuid {
    std::uint32_t data1;
    std::uint16_t data2;
    std::uint16_t data3;
    std::uint8_t data4[8];
};
static_assert(sizeof(MpGuid) == 16);

// Identifiers compare byte by byte in their in-memory layout.
inline bool operator==(const MpGuid& a, const MpGuid& b) {
    return std::memcmp(&a, &b, sizeof(MpGuid)) == 0;
}

struct MpSize {
    int32 width;
    int32 height;
};

struct MpRect {
    int32 r0, r1, r2, r3;
};

// One timed event of a block. Host-owned, read only. Receivers take the value bytes from
// `extraData` when it is non-null and from `inlineData` otherwise.
struct MpEvent {
    int32 time;
    int32 type;
    int32 pinId;
    int32 size;
    char inlineData[8];
    const char* extraData;
    const MpEvent* next;
};
using TimedEvent = MpEvent;

enum ResultCode : int32 { ResultOk = 0, ResultFail = -1, ResultNoSupport = -2 };

enum EventType : int32 {
    EventPinValue = 100,
    EventStreamingStart = 101,
    EventStreamingStop = 102,
    EventMidi = 103,
    EventGraphStart = 104,
};

enum PinDatatype : int32 {
    DatatypeList = 0,
    DatatypeText = 1,
    DatatypeMidi = 2,
    DatatypeBool = 4,
    DatatypeAudio = 5,
    DatatypeFloat = 6,
    DatatypeInt = 8,
    DatatypeBlob = 10,
};

enum PinDirection : int32 { DirectionIn = 0, DirectionOut = 1 };

enum ModuleHalf : int32 { SubTypeAudio = 0, SubTypeGui = 1 };

// Each identifier's fields as its text form {data1-data2-data3-data4[0..1]-data4[2..7]} writes
// them (tests/framework/identifier_test.cpp checks every one against its text).
// {00000000-0000-C000-0000-000000000046}
inline constexpr MpGuid MP_IID_UNKNOWN = {
    0x00000000, 0x0000, 0xC000, {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
// {9A7904B7-7F7F-4D61-B558-C1A6695BB638}
inline constexpr MpGuid MP_IID_FACTORY = {
    0x9A7904B7, 0x7F7F, 0x4D61, {0xB5, 0x58, 0xC1, 0xA6, 0x69, 0x5B, 0xB6, 0x38}};
// {2B0DFC7E-A539-49CD-B72D-32FF9DF0D9E4}
inline constexpr MpGuid MP_IID_PLUGIN = {
    0x2B0DFC7E, 0xA539, 0x49CD, {0xB7, 0x2D, 0x32, 0xFF, 0x9D, 0xF0, 0xD9, 0xE4}};
// {CACB3203-4A57-4209-9E00-0C4B950457F6}
inline constexpr MpGuid MP_IID_USER_INTERFACE = {
    0xCACB3203, 0x4A57, 0x4209, {0x9E, 0x00, 0x0C, 0x4B, 0x95, 0x04, 0x57, 0xF6}};
// {4F1B532F-3C46-4927-A498-614867425BE7}
inline constexpr MpGuid MP_IID_AUDIO_HOST = {
    0x4F1B532F, 0x3C46, 0x4927, {0xA4, 0x98, 0x61, 0x48, 0x67, 0x42, 0x5B, 0xE7}};
// {174F9DDC-1850-40DB-BAF0-E0B41D079645}
inline constexpr MpGuid MP_IID_GUI_HOST = {
    0x174F9DDC, 0x1850, 0x40DB, {0xBA, 0xF0, 0xE0, 0xB4, 0x1D, 0x07, 0x96, 0x45}};
// {0157347B-3FD3-4CEE-947E-88F694349254}
inline constexpr MpGuid MP_IID_GRAPHICS_COMPOSITED = {
    0x0157347B, 0x3FD3, 0x4CEE, {0x94, 0x7E, 0x88, 0xF6, 0x94, 0x34, 0x92, 0x54}};
// {2A3F4D28-52C5-4A31-BF85-B79853265F65}
inline constexpr MpGuid MP_IID_COMPOSITED_HOST = {
    0x2A3F4D28, 0x52C5, 0x4A31, {0xBF, 0x85, 0xB7, 0x98, 0x53, 0x26, 0x5F, 0x65}};

class IMpUnknown {
  public:
    virtual int32 MP_STDCALL queryInterface(const MpGuid& iid, void** returnInterface) = 0;
    virtual int32 MP_STDCALL addRef() = 0;
    virtual int32 MP_STDCALL release() = 0;

  protected:
    ~IMpUnknown() = default;
};

class IMpFactory : public IMpUnknown {
  public:
    virtual int32 MP_STDCALL createInstance(const char16_t* uniqueId, int32 subType,
                                            IMpUnknown* host, void** returnInterface) = 0;
    virtual int32 MP_STDCALL getBuildInformation(int32& sdkVersion, int32 maxChars,
                                                 char16_t* returnString) = 0;

  protected:
    ~IMpFactory() = default;
};

// Audio half. Every operation runs on the host's audio thread, one call at a time.
class IMpPlugin : public IMpUnknown {
  public:
    virtual int32 MP_STDCALL open() = 0;
    virtual int32 MP_STDCALL attachBuffer(int32 pinId, float* buffer) = 0;
    virtual void MP_STDCALL process(int32 sampleFrames, const MpEvent* firstEvent) = 0;
    virtual int32 MP_STDCALL receiveGuiMessage(int32 id, int32 size, const void* data) = 0;

  protected:
    ~IMpPlugin() = default;
};

// GUI half. Every operation runs on the host's user-interface thread.
class IMpUserInterface : public IMpUnknown {
  public:
    virtual int32 MP_STDCALL initialize() = 0;
    virtual int32 MP_STDCALL receivePinValue(int32 pinId, int32 voice, int32 size,
                                             const void* data) = 0;
    virtual int32 MP_STDCALL notifyPin(int32 pinId, int32 voice) = 0;
    virtual int32 MP_STDCALL receiveAudioMessage(int32 id, int32 size, const void* data) = 0;
    virtual int32 MP_STDCALL reserved7() = 0;
    virtual int32 MP_STDCALL reserved8(void* arg) = 0;

  protected:
    ~IMpUserInterface() = default;
};

// Drawing interface of GUI halves that paint. `drawingContext` is an HDC on Windows and an
// `MpSoftSurface*` elsewhere.
class IVlGraphicsComposited : public IMpUnknown {
  public:
    virtual int32 MP_STDCALL paint(void* drawingContext) = 0;
    virtual int32 MP_STDCALL measure(int32 availableWidth, int32 availableHeight,
                                     MpSize* returnDesiredSize) = 0;
    virtual int32 MP_STDCALL arrange(int32 r0, int32 r1, int32 r2, int32 r3) = 0;
    virtual int32 MP_STDCALL reserved6() = 0;
    virtual int32 MP_STDCALL reserved7() = 0;
    virtual int32 MP_STDCALL reserved8(int32 flags, int32 x, int32 y) = 0;
    virtual int32 MP_STDCALL reserved9(int32 flags, int32 x, int32 y) = 0;
    virtual int32 MP_STDCALL reserved10(int32 flags, int32 x, int32 y) = 0;

  protected:
    ~IVlGraphicsComposited() = default;
};

// Implemented by the host for audio halves; called on the audio thread.
class AudioHost : public IMpUnknown {
  public:
    virtual int32 MP_STDCALL setPinValue(int32 time, int32 pinId, int32 size, const void* data) = 0;
    virtual int32 MP_STDCALL setPinStreaming(int32 time, int32 pinId, int32 isStreaming) = 0;
    virtual int32 MP_STDCALL sleep() = 0;
    virtual int32 MP_STDCALL reserved6() = 0;
    virtual int32 MP_STDCALL getBlockSize(int32& samples) = 0;
    virtual int32 MP_STDCALL getSampleRate(float& hertz) = 0;
    virtual int32 MP_STDCALL reserved9() = 0;
    virtual int32 MP_STDCALL reserved10() = 0;
    virtual int32 MP_STDCALL reserved11() = 0;
    virtual int32 MP_STDCALL reserved12() = 0;
    virtual int32 MP_STDCALL reserved13() = 0;
    virtual int32 MP_STDCALL reserved14() = 0;
    virtual int32 MP_STDCALL reserved15() = 0;
    // Returns a block shared by every caller that asks for the same name and sample rate
    // (-1: independent of the sample rate). `needInitialise` is non-zero only for the first
    // caller, which must fill the block before it returns from `open`.
    virtual int32 MP_STDCALL allocateSharedMemory(const char16_t* name, void** returnPointer,
                                                  float sampleRate, int32 sizeBytes,
                                                  int32& needInitialise) = 0;
    virtual int32 MP_STDCALL getFullPath(const char16_t* shortName, int32 maxChars,
                                         char16_t* returnFullPath) = 0;

  protected:
    ~AudioHost() = default;
};

// Implemented by the host for GUI halves; called on the user-interface thread.
class GuiHost : public IMpUnknown {
  public:
    virtual int32 MP_STDCALL transmitPin(int32 pinId, int32 size, const void* data,
                                         int32 voice) = 0;
    virtual int32 MP_STDCALL reserved4() = 0;
    virtual int32 MP_STDCALL reserved5() = 0;
    virtual int32 MP_STDCALL reserved6() = 0;
    virtual int32 MP_STDCALL reserved7() = 0;
    virtual int32 MP_STDCALL reserved8() = 0;
    virtual int32 MP_STDCALL reserved9() = 0;
    virtual int32 MP_STDCALL getFullPath(const char16_t* shortName, int32 maxChars,
                                         char16_t* returnFullPath) = 0;
    virtual int32 MP_STDCALL reserved11() = 0;
    virtual int32 MP_STDCALL getPinCount(int32& count) = 0;

  protected:
    ~GuiHost() = default;
};

// Implemented by the host for GUI halves that paint.
class CompositedGfxHost : public IMpUnknown {
  public:
    // Asks for a repaint of `rect`, or of the whole area when null.
    virtual int32 MP_STDCALL invalidate(const MpRect* rect) = 0;
    virtual int32 MP_STDCALL reserved4() = 0;
    // Writes the named style's record into `returnRecord` (a zeroed 1024-byte buffer); the
    // third 32-bit word is the background COLORREF (negative: no background).
    virtual int32 MP_STDCALL getStyle(const char16_t* styleName, void* returnRecord,
                                      void** returnHandle) = 0;

  protected:
    ~CompositedGfxHost() = default;
};

// Size of the style record buffer the library hands to `getStyle`.
inline constexpr int32 kStyleRecordBytes = 1024;

} // namespace gmpi

// Drawing surface used off Windows: `paint` receives a pointer to one of these.
// `stride` counts pixels; each pixel is a COLORREF 0x00BBGGRR.
struct MpSoftSurface {
    std::int32_t width;
    std::int32_t height;
    std::int32_t stride;
    std::uint32_t* pixels;
};

// Exported entry points (C linkage).
extern "C" {
typedef std::int32_t(MP_STDCALL* MP_GetFactoryFn)(void** returnInterface);
// Off Windows only: the software timer and the module catalog.
typedef std::int32_t (*ZrTimerIntervalFn)();
typedef void (*ZrTimerTickFn)();
typedef const char* (*ZrModuleDescriptionsFn)();
}
