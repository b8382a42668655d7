// The host layer: loads a VST 2 plug-in from its shared library the way a
// Linux host does, answers its callback with configurable answers, records
// every callback, and wraps the dispatcher, parameters and processing.
//
// It sees the plug-in only through the binary interface (VstInterface.h),
// so tests that go through it test what a real host sees.
//
// Threads: a PluginInstance is driven by one "host" thread at a time, like
// the dispatcher of a real host; the plug-in may call back from any thread
// (audio, countdown, GUI), which the recording handles under its own lock.
#pragma once

#include "plugin/VstInterface.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qhost {

class PluginInstance;

// A loaded plug-in library. Unloading it runs the plug-in's static
// destruction; every instance must be closed first.
class PluginLibrary
{
public:
  // Loads the library; on failure Loaded() is false and Error() says why.
  explicit PluginLibrary(const std::string& path);
  ~PluginLibrary();
  PluginLibrary(const PluginLibrary&) = delete;
  PluginLibrary& operator=(const PluginLibrary&) = delete;

  bool Loaded() const { return entry != nullptr; }
  const std::string& Error() const { return error; }
  const std::string& Path() const { return path; }
  // Calls the entry point the host uses (VSTPluginMain, else main).
  AEffect* CallEntry(audioMasterCallback callback) const;
  void* Symbol(const char* name) const;

private:
  std::string path;
  std::string error;
  void* handle = nullptr;
  AEffect* (*entry)(audioMasterCallback) = nullptr;
};

// How the host answers the plug-in's callback.
struct HostConfig
{
  VstIntPtr version = 2400;             // audioMasterVersion
  std::string vendor = "Quillet Host";  // audioMasterGetVendorString
  std::string product = "quillet-host"; // audioMasterGetProductString
  VstIntPtr vendorVersion = 1000;       // audioMasterGetVendorVersion
  // audioMasterCanDo answers; texts not listed answer 0.
  std::map<std::string, VstIntPtr> canDo = {{"sizeWindow", 1},
                                            {"sendVstEvents", 1},
                                            {"sendVstMidiEvent", 1},
                                            {"receiveVstEvents", 1},
                                            {"receiveVstMidiEvent", 1}};
  // audioMasterGetDirectory: the plug-in's path, or 0 when empty.
  std::string directory;
  // What sendVstEventsToHost gets back (some hosts answer 0 though they took
  // the events).
  VstIntPtr processEventsAnswer = 1;
  // Answer nothing at all: every request gives 0 and writes no text.
  bool silent = false;
  // Sample rate and block size the host reports when asked.
  float sampleRate = 44100.0f;
  int32_t blockSize = 512;
  // audioMasterGetTime: answered with the transport (SetPlaying) when true;
  // a host without time info answers 0.
  bool answersTime = false;
  // Called after each callback has been recorded and answered (on the
  // plug-in's thread), to imitate hosts that react inside the callback.
  std::function<void(PluginInstance&, int32_t opcode)> onCallback;
  // Called when the plug-in asks for a new editor size (audioMasterSizeWindow),
  // on the plug-in's thread.
  std::function<void(int32_t width, int32_t height)> onSizeWindow;
  // Called with every event block the plug-in hands to the host
  // (audioMasterProcessEvents), before it is recorded, on the plug-in's
  // thread: checkers look at the records as the plug-in laid them out.
  std::function<void(const VstEvents& events)> onEvents;
};

struct CallbackRecord
{
  int32_t opcode;
  int32_t index;
  VstIntPtr value;
  float opt;
  std::string text; // the text the plug-in passed (canDo) or received
  bool effectWasNull;
  std::thread::id thread; // the thread the plug-in called from
};

// A MIDI event the plug-in handed to the host.
struct ReceivedEvent
{
  double milliseconds; // since the instance was created
  int32_t deltaFrames;
  uint8_t bytes[4]; // a SysEx event: its first four bytes
  int64_t block;    // the block (of RunBlock) during which the host received it
  int call;         // which sendVstEventsToHost call brought it (from 1)
  // Its frame in the run: the frames run before its block plus deltaFrames,
  // in 64 bits, so that no delta a plug-in hands over overflows it (one
  // outside the block gives a frame outside it, as it came).
  int64_t frame;
  // A SysEx event (VstMidiSysexEvent): its bytes, copied during the call;
  // empty for every other event.
  std::vector<uint8_t> sysex = {};
};

class PluginInstance
{
public:
  PluginInstance(PluginLibrary& library, HostConfig config = {});
  // Closes the plug-in when it is still open.
  ~PluginInstance();
  PluginInstance(const PluginInstance&) = delete;
  PluginInstance& operator=(const PluginInstance&) = delete;

  // Null when the plug-in refused to load.
  AEffect* Effect() const { return effect; }
  bool Loaded() const { return effect != nullptr; }

  VstIntPtr Dispatch(int32_t opcode, int32_t index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                     float opt = 0.0f);
  // Sends the close opcode; the effect pointer is gone afterwards.
  VstIntPtr Close();
  // Forgets the plug-in without closing it (hosts that drop an instance).
  void Abandon() { effect = nullptr; }

  void SetParameter(int32_t index, float value);
  float GetParameter(int32_t index);
  std::string ParameterName(int32_t index);
  std::string ParameterDisplay(int32_t index);
  std::string ProgramName();
  std::string ProgramNameIndexed(int32_t index, bool* ok = nullptr);
  std::string EffectName();
  std::string VendorString();
  std::string ProductString();
  VstIntPtr CanDo(const std::string& text);

  // The start-up a host does before processing: open, sample rate, block
  // size, resume.
  void StartUp(float sampleRate = 44100.0f, int32_t blockSize = 512);
  void Resume() { Dispatch(effMainsChanged, 0, 1); }
  void Suspend() { Dispatch(effMainsChanged, 0, 0); }
  void SelectProgram(int32_t program) { Dispatch(effSetProgram, 0, program); }
  int32_t CurrentProgram() { return static_cast<int32_t>(Dispatch(effGetProgram)); }

  std::vector<uint8_t> GetChunk(bool program);
  VstIntPtr SetChunk(const std::vector<uint8_t>& data, bool program);

  // Queues MIDI for the next block (delta frames 0 unless given).
  void QueueMidi(uint8_t status, uint8_t data1, uint8_t data2, int32_t deltaFrames = 0);
  // Queues a SysEx message (its bytes as given, F0 ... F7) for the next
  // block, after the MIDI queued so far.
  void QueueSysEx(const std::vector<uint8_t>& bytes, int32_t deltaFrames = 0);
  // Hands the queued MIDI to the plug-in (processEvents), then runs one
  // block of silence (or the given input) through processReplacing.
  void RunBlock(int32_t frames = 512);
  void RunBlocks(int count, int32_t frames = 512);
  int64_t BlocksRun() const { return blocks; }
  // The audio buffers of the last block.
  std::vector<float> input[2];
  std::vector<float> output[2];
  bool accumulating = false; // use process instead of processReplacing

  // What the plug-in sent.
  std::vector<ReceivedEvent> Received();
  void ClearReceived();
  std::vector<CallbackRecord> Callbacks();
  void ClearCallbacks();
  int CountCallbacks(int32_t opcode);
  int SendEventCalls() const { return sendEventCalls; }

  // The transport the host reports in its time info (any thread).
  void SetPlaying(bool playing) { transportPlaying = playing; }

  HostConfig& Config() { return config; }
  double MillisecondsSinceStart() const;

  // The host callback (public for the entry).
  static VstIntPtr Callback(AEffect* effect, int32_t opcode, int32_t index, VstIntPtr value,
                            void* ptr, float opt);

private:
  VstIntPtr Answer(int32_t opcode, int32_t index, VstIntPtr value, void* ptr, float opt,
                   std::string& text);
  void Record(const CallbackRecord& record);

  PluginLibrary& library;
  HostConfig config;
  AEffect* effect = nullptr;
  std::mutex recordLock;
  std::vector<CallbackRecord> callbacks;
  std::vector<ReceivedEvent> received;
  std::atomic<int64_t> blocks{0};
  std::atomic<int> sendEventCalls{0};
  // The events queued for the next block, in order: a SysEx one's record
  // is a VstMidiSysexEvent laid over the cell (both are 32 bytes on i386,
  // the SysEx one larger on x86_64, hence the union), its bytes in
  // `pendingSysEx`.
  union PendingEvent {
    VstMidiEvent midi;
    VstMidiSysexEvent sysex;
  };
  std::vector<PendingEvent> pendingMidi;
  std::vector<std::vector<uint8_t>> pendingSysEx;
  double startTime = 0;
  std::atomic<bool> transportPlaying{false};
  // The answer to audioMasterGetTime, rewritten on every question (on the
  // thread that asks, the audio thread).
  VstTimeInfo timeInfo{};
  std::atomic<int64_t> framesRun{0};
};

// Returns the instance that owns an effect record, or null.
PluginInstance* FindInstance(AEffect* effect);

// True on a thread that is inside the host callback right now (so that a
// test measuring the plug-in's own work can leave the host's work out).
bool InHostCallback();

// Formats MIDI bytes as hex ("B0 07 64").
std::string FormatMidi(const uint8_t* bytes, int count);
// Formats a SysEx message: whole up to 16 bytes ("F0 7D 01 F7"), longer
// ones cut after 16 with their last byte and size ("F0 43 00 09 ... F7
// (4104 bytes)").
std::string FormatSysEx(const std::vector<uint8_t>& bytes);
// The bytes a MIDI message of this status byte takes (1 to 3, by the rule of
// midi/MidiBytes.h; 1 for a byte that starts no short message).
int MessageLength(uint8_t status);

} // namespace qhost
