// The binary interface between a VST 2 host and a plug-in: the effect record,
// the event records, the editor rectangle and the opcodes of the dispatcher
// and of the host callback.
//
// This header is shared with the host layer (host/), which must see nothing
// else of the plug-in, so it stays free of any other project include.
//
// On i386 every integer and pointer is 32 bits wide and the effect record is
// 144 bytes. On x86_64 the dispatcher's and the callback's value argument and
// result are pointer-sized, as are the two reserved words of the record, which
// is the layout every 64-bit Linux host uses.
#pragma once

#include <cstddef>
#include <cstdint>

struct AEffect;

// Pointer-sized integer: the "value" argument and the result of the
// dispatcher and of the host callback.
using VstIntPtr = intptr_t;

using audioMasterCallback = VstIntPtr (*)(AEffect* effect, int32_t opcode, int32_t index,
                                          VstIntPtr value, void* ptr, float opt);
using AEffectDispatcherProc = VstIntPtr (*)(AEffect* effect, int32_t opcode, int32_t index,
                                            VstIntPtr value, void* ptr, float opt);
using AEffectProcessProc = void (*)(AEffect* effect, float** inputs, float** outputs,
                                    int32_t sampleFrames);
using AEffectSetParameterProc = void (*)(AEffect* effect, int32_t index, float value);
using AEffectGetParameterProc = float (*)(AEffect* effect, int32_t index);

// Four-character codes, first character in the most significant byte.
constexpr int32_t FourCC(char a, char b, char c, char d)
{
  return static_cast<int32_t>((static_cast<uint32_t>(static_cast<uint8_t>(a)) << 24) |
                              (static_cast<uint32_t>(static_cast<uint8_t>(b)) << 16) |
                              (static_cast<uint32_t>(static_cast<uint8_t>(c)) << 8) |
                              static_cast<uint32_t>(static_cast<uint8_t>(d)));
}

constexpr int32_t kEffectMagic = FourCC('V', 's', 't', 'P');

// The effect record. Its address is what the entry point returns; the host
// calls the plug-in only through these function pointers.
struct AEffect
{
  int32_t magic;
  AEffectDispatcherProc dispatcher;
  AEffectProcessProc process;
  AEffectSetParameterProc setParameter;
  AEffectGetParameterProc getParameter;
  int32_t numPrograms;
  int32_t numParams;
  int32_t numInputs;
  int32_t numOutputs;
  int32_t flags;
  VstIntPtr reserved1;
  VstIntPtr reserved2;
  int32_t initialDelay;
  int32_t realQualities;
  int32_t offQualities;
  float ioRatio;
  void* object;
  void* user;
  int32_t uniqueID;
  int32_t version;
  AEffectProcessProc processReplacing;
  char future[60];
};

// Flag bits of AEffect::flags.
enum : int32_t
{
  effFlagsHasEditor = 1 << 0,
  effFlagsHasClip = 1 << 1,
  effFlagsHasVu = 1 << 2,
  effFlagsCanMono = 1 << 3,
  effFlagsCanReplacing = 1 << 4,
  effFlagsProgramChunks = 1 << 5,
  effFlagsIsSynth = 1 << 8,
  effFlagsNoSoundInStop = 1 << 9,
  effFlagsExtIsAsync = 1 << 10,
  effFlagsExtHasBuffer = 1 << 11,
};

#if defined(__i386__)
static_assert(sizeof(void*) == 4, "i386 build expects 32-bit pointers");
static_assert(offsetof(AEffect, magic) == 0);
static_assert(offsetof(AEffect, dispatcher) == 4);
static_assert(offsetof(AEffect, process) == 8);
static_assert(offsetof(AEffect, setParameter) == 12);
static_assert(offsetof(AEffect, getParameter) == 16);
static_assert(offsetof(AEffect, numPrograms) == 20);
static_assert(offsetof(AEffect, numParams) == 24);
static_assert(offsetof(AEffect, numInputs) == 28);
static_assert(offsetof(AEffect, numOutputs) == 32);
static_assert(offsetof(AEffect, flags) == 36);
static_assert(offsetof(AEffect, reserved1) == 40);
static_assert(offsetof(AEffect, reserved2) == 44);
static_assert(offsetof(AEffect, initialDelay) == 48);
static_assert(offsetof(AEffect, realQualities) == 52);
static_assert(offsetof(AEffect, offQualities) == 56);
static_assert(offsetof(AEffect, ioRatio) == 60);
static_assert(offsetof(AEffect, object) == 64);
static_assert(offsetof(AEffect, user) == 68);
static_assert(offsetof(AEffect, uniqueID) == 72);
static_assert(offsetof(AEffect, version) == 76);
static_assert(offsetof(AEffect, processReplacing) == 80);
static_assert(offsetof(AEffect, future) == 84);
static_assert(sizeof(AEffect) == 144);
#elif defined(__x86_64__)
static_assert(offsetof(AEffect, dispatcher) == 8);
static_assert(offsetof(AEffect, numPrograms) == 40);
static_assert(offsetof(AEffect, flags) == 56);
static_assert(offsetof(AEffect, reserved1) == 64);
static_assert(offsetof(AEffect, initialDelay) == 80);
static_assert(offsetof(AEffect, ioRatio) == 92);
static_assert(offsetof(AEffect, object) == 96);
static_assert(offsetof(AEffect, uniqueID) == 112);
static_assert(offsetof(AEffect, processReplacing) == 120);
static_assert(offsetof(AEffect, future) == 128);
#endif

// Generic event; every event record starts with these words.
struct VstEvent
{
  int32_t type;
  int32_t byteSize;
  int32_t deltaFrames;
  int32_t flags;
  char data[16];
};

enum : int32_t
{
  kVstMidiType = 1,
  kVstSysExType = 6,
};

// A MIDI event: 32 bytes whose byte size field counts the 24 after the
// first two words.
struct VstMidiEvent
{
  int32_t type;
  int32_t byteSize;
  int32_t deltaFrames;
  int32_t flags;
  int32_t noteLength;
  int32_t noteOffset;
  uint8_t midiData[4];
  int8_t detune;
  uint8_t noteOffVelocity;
  uint8_t reserved1;
  uint8_t reserved2;
};
static_assert(sizeof(VstEvent) == 32);
static_assert(sizeof(VstMidiEvent) == 32);
static_assert(offsetof(VstMidiEvent, midiData) == 24);

// A System Exclusive message of any length: the record points at the
// message's bytes (F0 ... F7), which stay valid for the call that hands the
// block over.
struct VstMidiSysexEvent
{
  int32_t type;
  int32_t byteSize;
  int32_t deltaFrames;
  int32_t flags;
  int32_t dumpBytes;
  VstIntPtr resvd1;
  char* sysexDump;
  VstIntPtr resvd2;
};
#if defined(__i386__)
static_assert(sizeof(VstMidiSysexEvent) == 32);
static_assert(offsetof(VstMidiSysexEvent, sysexDump) == 24);
#elif defined(__x86_64__)
static_assert(sizeof(VstMidiSysexEvent) == 48);
static_assert(offsetof(VstMidiSysexEvent, sysexDump) == 32);
#endif

// A block of events: the count, a reserved word and the event pointers. The
// array is declared with two entries; blocks are allocated with as many as
// they need (VstEventBlock below gives a fixed capacity).
struct VstEvents
{
  int32_t numEvents;
  VstIntPtr reserved;
  VstEvent* events[2];
};

template <int N> struct VstEventBlock
{
  int32_t numEvents;
  VstIntPtr reserved;
  VstEvent* events[N];

  VstEvents* AsEvents() { return reinterpret_cast<VstEvents*>(this); }
};
static_assert(offsetof(VstEventBlock<256>, events) == offsetof(VstEvents, events));

// The host's answer to audioMasterGetTime: where its transport is and what
// it is doing. Only `flags` is read here.
struct VstTimeInfo
{
  double samplePos;
  double sampleRate;
  double nanoSeconds;
  double ppqPos;
  double tempo;
  double barStartPos;
  double cycleStartPos;
  double cycleEndPos;
  int32_t timeSigNumerator;
  int32_t timeSigDenominator;
  int32_t smpteOffset;
  int32_t smpteFrameRate;
  int32_t samplesToNextClock;
  int32_t flags;
};
static_assert(offsetof(VstTimeInfo, cycleEndPos) == 56);
static_assert(offsetof(VstTimeInfo, timeSigNumerator) == 64);
static_assert(offsetof(VstTimeInfo, flags) == 84);
static_assert(sizeof(VstTimeInfo) == 88);

// Bits of VstTimeInfo::flags.
enum : int32_t
{
  kVstTransportChanged = 1 << 0,
  kVstTransportPlaying = 1 << 1,
};

// Editor rectangle, in pixels.
struct ERect
{
  int16_t top;
  int16_t left;
  int16_t bottom;
  int16_t right;
};

struct VstKeyCode
{
  int32_t character;
  uint8_t virt;
  uint8_t modifier;
};

// Dispatcher opcodes (host to plug-in).
enum : int32_t
{
  effOpen = 0,
  effClose = 1,
  effSetProgram = 2,
  effGetProgram = 3,
  effSetProgramName = 4,
  effGetProgramName = 5,
  effGetParamLabel = 6,
  effGetParamDisplay = 7,
  effGetParamName = 8,
  effGetVu = 9,
  effSetSampleRate = 10,
  effSetBlockSize = 11,
  effMainsChanged = 12,
  effEditGetRect = 13,
  effEditOpen = 14,
  effEditClose = 15,
  effEditDraw = 16,
  effEditMouse = 17,
  effEditKey = 18,
  effEditIdle = 19,
  effEditTop = 20,
  effEditSleep = 21,
  effIdentify = 22,
  effGetChunk = 23,
  effSetChunk = 24,
  effProcessEvents = 25,
  effCanBeAutomated = 26,
  effString2Parameter = 27,
  effGetNumProgramCategories = 28,
  effGetProgramNameIndexed = 29,
  effCopyProgram = 30,
  effConnectInput = 31,
  effConnectOutput = 32,
  effGetInputProperties = 33,
  effGetOutputProperties = 34,
  effGetPlugCategory = 35,
  effGetCurrentPosition = 36,
  effGetDestinationBuffer = 37,
  effOfflineNotify = 38,
  effOfflinePrepare = 39,
  effOfflineRun = 40,
  effProcessVarIo = 41,
  effSetSpeakerArrangement = 42,
  effSetBlockSizeAndSampleRate = 43,
  effSetBypass = 44,
  effGetEffectName = 45,
  effGetErrorText = 46,
  effGetVendorString = 47,
  effGetProductString = 48,
  effGetVendorVersion = 49,
  effVendorSpecific = 50,
  effCanDo = 51,
  effGetTailSize = 52,
  effIdle = 53,
  effGetIcon = 54,
  effSetViewPosition = 55,
  effGetParameterProperties = 56,
  effKeysRequired = 57,
  effGetVstVersion = 58,
  effEditKeyDown = 59,
  effEditKeyUp = 60,
  effSetEditKnobMode = 61,
  effGetMidiProgramName = 62,
  effGetCurrentMidiProgram = 63,
  effGetMidiProgramCategory = 64,
  effHasMidiProgramsChanged = 65,
  effGetMidiKeyName = 66,
  effBeginSetProgram = 67,
  effEndSetProgram = 68,
  effGetSpeakerArrangement = 69,
  effShellGetNextPlugin = 70,
  effStartProcess = 71,
  effStopProcess = 72,
  effSetTotalSampleToProcess = 73,
  effSetPanLaw = 74,
  effBeginLoadBank = 75,
  effBeginLoadProgram = 76,
  effLastOpcode = 76,
};

// The plug-in's own call through effVendorSpecific (any other index is
// answered 0, as ever): index kQuilletReplaceSysEx, value the byte count,
// ptr a program's SysEx section as the chunk stores it (model/SysEx.h) with
// messages and no dump request. Its messages replace the current program's
// and the program's dump request stays, as when a .syx file is imported;
// nothing is sent. Returns 1, or 0 (nothing changed) for a section that is
// not whole, holds a request or breaks the SysEx limits. Any thread but the
// audio thread. The LV2 edition imports .syx files through it.
constexpr int32_t kQuilletReplaceSysEx = 0x51537978; // 'QSyx'
// The plug-in's other call: index kQuilletVerifyReport, ptr a text buffer
// of `value` bytes (kQuilletVerifyReportBytes are enough). Writes the line
// of the last verify result ("verify program 0: verified (163 bytes)") and
// returns how many results there have been (0: none yet, the buffer then
// empty). Any thread; it allocates nothing, so an audio thread may ask.
constexpr int32_t kQuilletVerifyReport = 0x51566679; // 'QVfy'
constexpr int32_t kQuilletVerifyReportBytes = 96;
// The plug-in's third call: index kQuilletEditorFile, ptr a
// QuilletEditorFile. Fills in the file the editor last loaded (a Load of its
// drawer that was taken) and returns how many it has loaded (0: none yet,
// the record then empty); a path longer than the record holds leaves its
// path empty. Any thread but the audio thread. The LV2 edition tells the
// host's file choosers of those loads through it.
constexpr int32_t kQuilletEditorFile = 0x5146696C; // 'QFil'
struct QuilletEditorFile
{
  enum Kind : int32_t
  {
    kSysEx = 0,   // a .syx into the current program
    kProgram = 1, // a .fxp
    kBank = 2     // a .fxb
  };
  int32_t kind;
  char path[4096];
};

// The plug-in's fourth call, the LV2 edition's way of handing its host's
// short messages over without records: index kQuilletPackedInput, ptr a
// QuilletPackedInput. Made on the thread that runs the blocks, between two
// of them, for the block that follows. The plug-in takes the events from
// the first on, as long as each is a whole MIDI message of one to three
// bytes of the given type word at a frame of [start, end) in time order,
// passes them through at once as that block would, and writes the ones it
// passes on straight into `out`, in the same layout. Returns 1, or 0 (none
// taken: hand them over as records) on another thread or while it is
// suspended. Whatever is handed over as records for the same block must
// come after them.
constexpr int32_t kQuilletPackedInput = 0x51506B64; // 'QPkd'
// A packed event: its frame (int64), its message's size (uint32) and a type
// word (uint32), then the message's bytes, first byte lowest, in a word of 8
// (the rest zero on output).
constexpr int32_t kQuilletPackedEventBytes = 24;
struct QuilletPackedInput
{
  // Up to `count` events, their frames counted as `start` and `end` are.
  const uint8_t* events;
  int32_t count;
  uint32_t type;
  int64_t start;
  int64_t end;
  // Where the events passed on go, `room` bytes: no more events are taken
  // than it holds. Null takes none.
  uint32_t room;
  uint8_t* out;
  // Set by the plug-in: the events it took, and those it wrote at `out`.
  int32_t taken;
  int32_t kept;
};
// Host callback opcodes (plug-in to host).
enum : int32_t
{
  audioMasterAutomate = 0,
  audioMasterVersion = 1,
  audioMasterCurrentId = 2,
  audioMasterIdle = 3,
  audioMasterPinConnected = 4,
  audioMasterWantMidi = 6,
  audioMasterGetTime = 7,
  audioMasterProcessEvents = 8,
  audioMasterTempoAt = 10,
  audioMasterGetNumAutomatableParameters = 11,
  audioMasterGetParameterQuantization = 12,
  audioMasterIOChanged = 13,
  audioMasterNeedIdle = 14,
  audioMasterSizeWindow = 15,
  audioMasterGetSampleRate = 16,
  audioMasterGetBlockSize = 17,
  audioMasterGetInputLatency = 18,
  audioMasterGetOutputLatency = 19,
  audioMasterGetPreviousPlug = 20,
  audioMasterGetNextPlug = 21,
  audioMasterWillReplaceOrAccumulate = 22,
  audioMasterGetCurrentProcessLevel = 23,
  audioMasterGetAutomationState = 24,
  audioMasterOfflineStart = 25,
  audioMasterOfflineRead = 26,
  audioMasterOfflineWrite = 27,
  audioMasterOfflineGetCurrentPass = 28,
  audioMasterOfflineGetCurrentMetaPass = 29,
  audioMasterSetOutputSampleRate = 30,
  audioMasterGetOutputSpeakerArrangement = 31,
  audioMasterGetVendorString = 32,
  audioMasterGetProductString = 33,
  audioMasterGetVendorVersion = 34,
  audioMasterVendorSpecific = 35,
  audioMasterCanDo = 37,
  audioMasterGetLanguage = 38,
  audioMasterOpenWindow = 39,
  audioMasterCloseWindow = 40,
  audioMasterGetDirectory = 41,
  audioMasterUpdateDisplay = 42,
  audioMasterBeginEdit = 43,
  audioMasterEndEdit = 44,
  audioMasterOpenFileSelector = 45,
  audioMasterCloseFileSelector = 46,
  audioMasterGetChunkFile = 48,
  audioMasterGetInputSpeakerArrangement = 49,
};

// Longest product or vendor string a host may write (with its terminator).
constexpr int kVstMaxVendorStrLen = 64;
