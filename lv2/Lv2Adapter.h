// Lv2Adapter: one instance of the LV2 edition. It makes the plug-in through
// the entry point, as a VST 2 host does, and from then on drives it only
// through its effect record: the dispatcher (open, sample rate, block size,
// resume and suspend, programs, chunks, the editor), the parameters,
// processEvents and processReplacing. It answers the plug-in's host callback
// itself: the plug-in's output events become MIDI atoms (Lv2EventBridge),
// its questions for the transport are answered from the time:Position
// objects of the input port, and its editor's size and automation reach
// the LV2 editor (Lv2Ui) that is attached to it.
//
// Threads, as LV2 classes them:
// - instantiation (the host's main thread): Create, Activate, Deactivate,
//   Restore, the destructor;
// - audio (the host's audio thread): Run, and the callbacks the plug-in
//   makes from inside it (events out, the transport); nothing there
//   allocates, waits or locks;
// - the host's worker thread: Work, which makes the program selections the
//   program port asks for (a selection takes locks, so run() hands it over)
//   and loads the files of the file parameters (Lv2FileParameters);
// - any thread: Save, beside run() too (the plug-in's chunk is a snapshot,
//   taken without making run() wait);
// - the host's GUI thread: everything Lv2Ui calls, and the callbacks the
//   editor makes inside the editor opcodes (size, automation).
// The plug-in's own threads (countdown, learning, the toolkit's) call back
// only through the plug-in's notices, never into this object.
#pragma once

#include "lv2/Lv2EventBridge.h"
#include "lv2/Lv2FileParameters.h"
#include "lv2/Lv2Programs.h"
#include "lv2/Lv2Uris.h"
#include "plugin/VstInterface.h"

#include <lv2/core/lv2.h>
#include <lv2/log/logger.h>
#include <lv2/state/state.h>
#include <lv2/worker/worker.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

class Lv2Ui;

class Lv2Adapter
{
public:
  // Block length used when the host tells none (buf-size options), and the
  // longest one taken whole: a longer run is processed in sub-blocks.
  static constexpr int32_t kDefaultMaxBlock = 4096;
  static constexpr int32_t kLargestMaxBlock = 1 << 16;
  static constexpr int32_t kPrograms = 128;

  // Makes the plug-in and prepares it as a host does before processing
  // (open, sample rate, block size). Null, with a line in the host's log,
  // when a required feature is missing or the plug-in refused to load.
  static Lv2Adapter* Create(double sampleRate, const char* bundlePath,
                            const LV2_Feature* const* features);
  // Suspends and closes the plug-in. An attached editor is told first.
  ~Lv2Adapter();
  Lv2Adapter(const Lv2Adapter&) = delete;
  Lv2Adapter& operator=(const Lv2Adapter&) = delete;

  void ConnectPort(uint32_t port, void* data) noexcept;
  void Activate();
  void Deactivate();
  // Audio path: noexcept, no allocation, no lock.
  void Run(uint32_t frames) noexcept;

  LV2_State_Status Save(LV2_State_Store_Function store, LV2_State_Handle handle);
  LV2_State_Status Restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle);
  LV2_Worker_Status Work(LV2_Worker_Respond_Function respond, LV2_Worker_Respond_Handle handle,
                         uint32_t size, const void* data);
  // Audio thread: a response of the worker (a file taken).
  LV2_Worker_Status WorkResponse(uint32_t size, const void* data) noexcept;

  // A bank for the plug-in, handed over as a host hands one (a copy of its
  // own), then `program` selected as a host does after a bank: the
  // selection counts as the first, so that the send on init counts its
  // delay from here. False, and nothing changed, when the plug-in refused
  // the chunk. Any thread but the audio thread (Restore, a preset file).
  bool LoadBank(const void* bytes, size_t size, int32_t program);

  // The programs extension (Lv2Programs.h): a program's name as the
  // plug-in reports it to a VST 2 host (effGetProgramNameIndexed), and a
  // selection asked for beside run(), made by the worker like the program
  // port's.
  const lv2programs::ProgramDescriptor* Program(uint32_t index);
  void SelectProgram(uint32_t bank, uint32_t program) noexcept;

  // The plug-in's effect record, for the editor (GUI thread) and tests.
  AEffect* Effect() const { return effect; }
  VstIntPtr Dispatch(int32_t opcode, int32_t index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                     float opt = 0.0f);
  // The editor took a file: the host's choosers are told (GUI thread; see
  // Lv2FileParameters::EditorTook).
  bool EditorTookFile(bool sysex, const char* path) noexcept
  {
    return files.EditorTook(sysex, path);
  }
  // The editor attached to this instance (one at a time; GUI thread).
  bool AttachUi(Lv2Ui* ui);
  void DetachUi(Lv2Ui* ui);
  // Whether the host's editor can be resized by the host (sizeWindow).
  void SetUiCanResize(bool can) { uiCanResize.store(can); }
  // One line in the host's log (standard error without one); any thread
  // but the audio thread.
  void LogError(const char* format, ...) __attribute__((format(printf, 2, 3)));

  // The plug-in's host callback.
  static VstIntPtr HostCallback(AEffect* effect, int32_t opcode, int32_t index, VstIntPtr value,
                                void* ptr, float opt);

private:
  Lv2Adapter(double sampleRate, const char* bundlePath, const LV2_URID_Map& map,
             const LV2_Feature* const* features);
  VstIntPtr Answer(int32_t opcode, int32_t index, VstIntPtr value, void* ptr, float opt);

  // Audio thread: the control ports act when they move (see the .cpp), the
  // transport follows time:Position, and the run is cut into sub-blocks at
  // the buffers' length and at every change of the transport.
  void ApplyControls() noexcept;
  void ReadPosition(const LV2_Atom* atom) noexcept;
  void ProcessSubBlock(int64_t start, int32_t frames) noexcept;
  // The short messages from `cursor` on that the plug-in takes packed
  // (kQuilletPackedInput); returns where it stopped.
  const uint8_t* PassPacked(const uint8_t* cursor, const uint8_t* limit, int64_t start,
                            int64_t end) noexcept;
  // Audio thread, after the run: the verify port and the log's job.
  void ReportVerify() noexcept;
  // The two halves of LoadBank (Restore decides the program in between).
  bool SetBankChunk(const void* bytes, size_t size);
  void SelectAfterBank(int32_t program);

  AEffect* effect = nullptr;
  Lv2Uris uris;
  LV2_Log_Logger logger{};
  const LV2_Worker_Schedule* schedule = nullptr;
  std::string bundle;
  double rate = 44100.0;
  int32_t maxBlock = kDefaultMaxBlock;
  bool active = false;

  // Ports, as the host connected them.
  const LV2_Atom_Sequence* eventsIn = nullptr;
  LV2_Atom_Sequence* eventsOut = nullptr;
  const float* resendPort = nullptr;
  const float* thruPort = nullptr;
  const float* programPort = nullptr;
  float* verifyPort = nullptr;
  // The plug-in's verify results as run() last saw them (their count): a
  // new one is written to the verify port and handed to the worker, which
  // writes its line to the log (run() never logs).
  uint32_t verifyResultsSeen = 0;

  // The control ports' values as last seen by run(). A port acts only when
  // its value moves, so that what the editor, an incoming Program Change or
  // a restored state set is not undone by a port that stayed where it was.
  // Set by Activate and Restore (not concurrent with run), so that the next
  // run takes the ports as they are without acting.
  std::atomic<bool> controlsUnseen{true};
  bool resendSeen = false;
  bool thruSeen = false;
  int32_t programSeen = 0;
  bool programPortUnusable = false; // no worker: told once, in Create
  // A selection asked for through the programs extension (-1: none):
  // written by the host's select_program, taken by run().
  std::atomic<int32_t> programAsked{-1};
  // The last program descriptor handed out, with its name (main thread).
  lv2programs::ProgramDescriptor programDescriptor{};
  char programName[256] = {};

  // The transport as the host last described it; rewritten by run() and
  // read by the plug-in through audioMasterGetTime inside run(), on the same
  // thread.
  VstTimeInfo timeInfo{};
  double speed = 0.0;

  // The plug-in's audio pins, never heard: two silent channels it passes
  // through in place (the same buffers in and out).
  std::vector<float> silence[2];
  float* pins[2] = {nullptr, nullptr};

  Lv2EventBridge bridge;
  // The record of the packed events handed to the plug-in (audio thread).
  QuilletPackedInput packed{};
  // Made once `uris` is mapped (it is declared after them).
  Lv2FileParameters files;

  // The attached editor and whether the host resizes it (GUI thread).
  std::atomic<Lv2Ui*> ui{nullptr};
  std::atomic<bool> uiCanResize{false};
};
