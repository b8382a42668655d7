// A small LV2 host made with lilv, for the tests of the LV2 edition: it
// loads the bundle from the build tree, answers the features a host gives
// (URID map, log, options with the block length, a worker that it runs
// after each block and whose responses it hands back right after),
// connects the six ports, builds the input sequence from queued MIDI, raw
// atoms, transport positions and patch messages, and keeps every MIDI atom
// of the output with its frame counted from the first block, and every
// patch:Set the plug-in reports.
//
// Threads: driven by one thread at a time (run, state, controls); the log
// may be written from any thread and is kept under its own lock. The
// worker's jobs run on the driving thread right after the block that
// scheduled them, as a host's worker thread would run them between blocks.
#pragma once

#include <lilv/lilv.h>
#include <lv2/log/log.h>
#include <lv2/options/options.h>
#include <lv2/state/state.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>

#include <cstdarg>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace lv2test {

// A MIDI message as a host sees it: the frame since the first block and the
// bytes (of the atom's own size).
struct Wire
{
  int64_t frame;
  std::vector<uint8_t> bytes;
  bool operator==(const Wire& other) const { return frame == other.frame && bytes == other.bytes; }
};
std::string Format(const std::vector<Wire>& messages);

// One property of a saved state.
struct Property
{
  uint32_t type = 0;
  std::vector<uint8_t> value;
  bool operator==(const Property& other) const
  {
    return type == other.type && value == other.value;
  }
};

class Lv2TestHost
{
public:
  struct Config
  {
    double sampleRate = 44100.0;
    int32_t maxBlock = 512; // buf-size:maxBlockLength (0: not given)
    bool worker = true;     // work:schedule
    uint32_t outCapacity = 65536;
  };

  explicit Lv2TestHost(Config config);
  Lv2TestHost() : Lv2TestHost(Config{}) {}
  ~Lv2TestHost();
  Lv2TestHost(const Lv2TestHost&) = delete;
  Lv2TestHost& operator=(const Lv2TestHost&) = delete;

  bool Loaded() const { return instance != nullptr; }
  const std::string& Error() const { return error; }
  LilvInstance* Instance() const { return instance; }
  const LilvPlugin* Plugin() const { return plugin; }
  LilvWorld* World() const { return world; }
  uint32_t Map(const char* uri);
  const char* Unmap(uint32_t id);
  LV2_URID_Map* UridMap() { return &map; }
  LV2_URID_Unmap* UridUnmap() { return &unmap; }
  const LV2_Feature* LogFeature() const { return &featureStore[1]; }
  const LV2_Feature* const* Features() const { return features.data(); }

  // The editor's descriptor, found as a host finds it: the plug-in's UIs in
  // the bundle's data, the X11 one, the binary it names. Null (and `error`
  // says why) when there is none.
  const LV2UI_Descriptor* EditorDescriptor(std::string& error);

  void Activate();
  void Deactivate();

  // Queued for the next block, at its frame within it; the sequence holds
  // them in time order, or with false in the order queued (as a careless
  // or hostile host may hand them).
  void SortQueued(bool sort) { sortQueued = sort; }
  void QueueMidi(std::vector<uint8_t> bytes, int64_t frame = 0);
  void QueueAtom(uint32_t type, std::vector<uint8_t> body, int64_t frame = 0);
  void QueuePosition(float speed, int64_t frame = 0);
  // A patch:Set of `property` to `path` (an atom:Path), and a patch:Get
  // (of `property`, or of everything when null).
  void QueuePatchSet(const char* property, const std::string& path);
  void QueuePatchGet(const char* property = nullptr);
  // Control ports 2 to 4 (resend, thru, program) and the output 5 (verify).
  void SetControl(uint32_t port, float value) { controls[port] = value; }
  float Control(uint32_t port) const { return controls[port]; }

  // Runs one block (then the worker's jobs); the output goes to Received.
  void Run(uint32_t frames = 512);
  // Called with true right before the plug-in's run() and false right after
  // it (the real-time test counts what happens in between).
  void (*aroundRun)(bool inside) = nullptr;
  void RunBlocks(int count, uint32_t frames = 512);
  int64_t FramesRun() const { return framesRun; }
  // Bytes of the input sequence (for odd sizes and broken sequences).
  std::vector<uint8_t>& RawInput() { return rawInput; }
  void UseRawInput(bool raw) { useRawInput = raw; }

  // The output port's sequence as the last block left it, and its room.
  const uint8_t* Output() const { return reinterpret_cast<const uint8_t*>(output.data()); }
  uint32_t OutputCapacity() const { return config.outCapacity; }

  std::vector<Wire> Received() const { return received; }
  void ClearReceived() { received.clear(); }
  // The patch:Set messages of the output so far, "PROPERTY=PATH" (and
  // forgets them).
  std::vector<std::string> TakeReports();
  int WorkerJobs() const { return workerJobs; }

  // The state interface, with the plug-in's own store and retrieve.
  LV2_State_Status Save(std::map<uint32_t, Property>& state);
  LV2_State_Status Restore(const std::map<uint32_t, Property>& state);
  std::vector<uint8_t> SavedBank();

  // What the plug-in wrote to the host's log.
  std::vector<std::string> Log();
  void ClearLog();

  uint32_t MidiType() const { return midiType; }

private:
  static LV2_URID MapUri(LV2_URID_Map_Handle handle, const char* uri);
  static const char* UnmapUri(LV2_URID_Unmap_Handle handle, LV2_URID id);
  static int LogPrintf(LV2_Log_Handle handle, LV2_URID type, const char* format, ...);
  static int LogVprintf(LV2_Log_Handle handle, LV2_URID type, const char* format, va_list args);
  static LV2_Worker_Status Schedule(LV2_Worker_Schedule_Handle handle, uint32_t size,
                                    const void* data);
  static LV2_Worker_Status Respond(LV2_Worker_Respond_Handle handle, uint32_t size,
                                   const void* data);
  void BuildInput();
  void ReadOutput();

  Config config;
  std::string error;
  LilvWorld* world = nullptr;
  const LilvPlugin* plugin = nullptr;
  LilvInstance* instance = nullptr;
  bool active = false;
  // The editor's binary as EditorDescriptor opened it (closed with the
  // host, so that the plug-in's library is unloaded with it).
  void* editorBinary = nullptr;

  std::mutex mapLock;
  std::map<std::string, uint32_t> ids;
  std::vector<const std::string*> names; // by id - 1
  LV2_URID_Map map{};
  LV2_URID_Unmap unmap{};
  LV2_Log_Log log{};
  std::mutex logLock;
  std::vector<std::string> logLines;
  LV2_Worker_Schedule schedule{};
  // The worker's jobs of a block, kept without allocating (schedule_work is
  // called from run()), and their responses.
  struct Job
  {
    uint32_t size;
    uint8_t data[4160];
  };
  Job jobs[16] = {};
  int jobCount = 0;
  std::vector<std::vector<uint8_t>> responses;
  std::vector<std::string> reports;
  int workerJobs = 0;
  int32_t maxBlock = 0;
  std::vector<LV2_Options_Option> options;
  std::vector<LV2_Feature> featureStore;
  std::vector<const LV2_Feature*> features;

  uint32_t midiType = 0;
  uint32_t sequenceType = 0;
  uint32_t chunkType = 0;
  struct Pending
  {
    int64_t frame;
    uint32_t type;
    std::vector<uint8_t> body;
  };
  std::vector<Pending> pending;
  std::vector<uint64_t> input; // 8-byte aligned sequence buffers
  std::vector<uint64_t> output;
  std::vector<uint8_t> rawInput;
  bool useRawInput = false;
  bool sortQueued = true;
  float controls[6] = {0, 0, 0, 0, 0, 0};
  int64_t framesRun = 0;
  std::vector<Wire> received;
};

} // namespace lv2test
