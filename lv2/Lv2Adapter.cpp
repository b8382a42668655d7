#include "lv2/Lv2Adapter.h"

#include "lv2/Lv2Objects.h"
#include "lv2/Lv2Ui.h"
#include "model/Parameters.h"
#include "module/Entry.h"

#include <lv2/atom/util.h>
#include <lv2/options/options.h>
#include <lv2/urid/urid.h>

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <limits>

namespace {

// The two parameters the effect record shows a host (effGetParamName names
// them "Resend" and "Thru"): the resend fires on its rise, thru is a switch.
constexpr int32_t kResendParameter = 0;
constexpr int32_t kThruParameter = 1;

// What the adapter tells the plug-in about itself when asked as its host.
constexpr VstIntPtr kHostVersion = 2400;
constexpr const char* kHostVendor = "Quillet";
constexpr const char* kHostProduct = "Quillet LV2 adapter";
// What a host answers "yes" to; "sizeWindow" only while an editor is
// attached whose host resizes it.
constexpr const char* kHostCanDo[] = {"sendVstEvents", "sendVstMidiEvent", "sendVstTimeInfo",
                                      "receiveVstEvents", "receiveVstMidiEvent"};

// The instance whose plug-in is being made on this thread: the plug-in calls
// back before the adapter can mark its effect record.
thread_local Lv2Adapter* loading = nullptr;

const void* Feature(const LV2_Feature* const* features, const char* uri)
{
  for (const LV2_Feature* const* f = features; f && *f; ++f) {
    if ((*f)->URI && std::strcmp((*f)->URI, uri) == 0)
      return (*f)->data;
  }
  return nullptr;
}

void CopyText(void* ptr, const char* text)
{
  if (!ptr)
    return;
  std::snprintf(static_cast<char*>(ptr), kVstMaxVendorStrLen, "%s", text);
}

Lv2Uris MappedUris(const LV2_URID_Map& map)
{
  Lv2Uris uris;
  uris.Map(map);
  return uris;
}

// A number of any of the atom types a host may use for a time:Position
// property; false (and `out` untouched) for anything else.
bool Number(const LV2_Atom* atom, const Lv2Uris& uris, double& out) noexcept
{
  if (!atom)
    return false;
  const void* body = LV2_ATOM_BODY_CONST(atom);
  if (atom->type == uris.atomFloat && atom->size >= sizeof(float))
    out = *static_cast<const float*>(body);
  else if (atom->type == uris.atomDouble && atom->size >= sizeof(double))
    out = *static_cast<const double*>(body);
  else if (atom->type == uris.atomInt && atom->size >= sizeof(int32_t))
    out = *static_cast<const int32_t*>(body);
  else if (atom->type == uris.atomLong && atom->size >= sizeof(int64_t))
    out = static_cast<double>(*static_cast<const int64_t*>(body));
  else
    return false;
  return std::isfinite(out);
}

// A control port's value, or false when it is not connected or not a
// number.
bool PortValue(const float* port, float& value) noexcept
{
  if (!port)
    return false;
  value = *port;
  return std::isfinite(value);
}

} // namespace

// ------------------------------------------------------------ lifecycle

Lv2Adapter* Lv2Adapter::Create(double sampleRate, const char* bundlePath,
                               const LV2_Feature* const* features)
{
  const auto* map = static_cast<const LV2_URID_Map*>(Feature(features, LV2_URID__map));
  if (!map) {
    LV2_Log_Logger plain{};
    lv2_log_logger_init(
        &plain, nullptr,
        static_cast<LV2_Log_Log*>(const_cast<void*>(Feature(features, LV2_LOG__log))));
    lv2_log_error(&plain, "Quillet: the host maps no URIs (urid:map), so Quillet cannot run\n");
    return nullptr;
  }
  auto* adapter = new Lv2Adapter(sampleRate, bundlePath, *map, features);
  if (!adapter->effect) {
    delete adapter;
    return nullptr;
  }
  return adapter;
}

Lv2Adapter::Lv2Adapter(double sampleRate, const char* bundlePath, const LV2_URID_Map& map,
                       const LV2_Feature* const* features)
    : uris(MappedUris(map)), bundle(bundlePath ? bundlePath : ""), files(*this, uris, map)
{
  lv2_log_logger_init(
      &logger, const_cast<LV2_URID_Map*>(&map),
      static_cast<LV2_Log_Log*>(const_cast<void*>(Feature(features, LV2_LOG__log))));
  schedule = static_cast<const LV2_Worker_Schedule*>(Feature(features, LV2_WORKER__schedule));
  if (std::isfinite(sampleRate) && sampleRate >= 1.0 && sampleRate <= 1e7)
    rate = sampleRate;

  // The longest block the host will run, when it says so.
  const auto* options =
      static_cast<const LV2_Options_Option*>(Feature(features, LV2_OPTIONS__options));
  for (const LV2_Options_Option* o = options; o && o->key; ++o) {
    if (o->key == uris.maxBlockLength && o->type == uris.atomInt && o->size == sizeof(int32_t) &&
        o->value) {
      const int32_t length = *static_cast<const int32_t*>(o->value);
      if (length > 0)
        maxBlock = length < kLargestMaxBlock ? length : kLargestMaxBlock;
    }
  }
  for (auto& channel : silence)
    channel.assign(static_cast<size_t>(maxBlock), 0.0f);
  pins[0] = silence[0].data();
  pins[1] = silence[1].data();
  bridge.SetMidiType(uris.midiEvent);

  timeInfo.sampleRate = rate;
  timeInfo.tempo = 120.0;
  timeInfo.timeSigNumerator = 4;
  timeInfo.timeSigDenominator = 4;

  Lv2Adapter* previous = loading;
  loading = this;
  effect = QuilletEntry(&Lv2Adapter::HostCallback);
  loading = previous;
  if (!effect) {
    LogError("Quillet: the plug-in refused to load (the reason is above)\n");
    return;
  }
  // The record's user field is the host's: it leads the callback here.
  effect->user = this;
  Dispatch(effOpen);
  Dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(rate));
  Dispatch(effSetBlockSize, 0, maxBlock);
  if (!schedule) {
    programPortUnusable = true;
    LogError("Quillet: the host has no worker (work:schedule), so the program port and the "
             "file parameters do nothing; programs still change through the editor, MIDI and "
             "the state\n");
  }
}

Lv2Adapter::~Lv2Adapter()
{
  if (Lv2Ui* attached = ui.exchange(nullptr))
    attached->AdapterGone();
  if (!effect)
    return;
  if (active)
    Dispatch(effMainsChanged, 0, 0);
  // The close opcode destroys the plug-in; its record goes with it.
  AEffect* closing = effect;
  effect = nullptr;
  closing->dispatcher(closing, effClose, 0, 0, nullptr, 0.0f);
}

VstIntPtr Lv2Adapter::Dispatch(int32_t opcode, int32_t index, VstIntPtr value, void* ptr, float opt)
{
  return effect ? effect->dispatcher(effect, opcode, index, value, ptr, opt) : 0;
}

void Lv2Adapter::LogError(const char* format, ...)
{
  va_list arguments;
  va_start(arguments, format);
  lv2_log_vprintf(&logger, logger.Error, format, arguments);
  va_end(arguments);
}

void Lv2Adapter::ConnectPort(uint32_t port, void* data) noexcept
{
  switch (port) {
  case lv2names::kEventsIn:
    eventsIn = static_cast<const LV2_Atom_Sequence*>(data);
    break;
  case lv2names::kEventsOut:
    eventsOut = static_cast<LV2_Atom_Sequence*>(data);
    break;
  case lv2names::kResend:
    resendPort = static_cast<const float*>(data);
    break;
  case lv2names::kThru:
    thruPort = static_cast<const float*>(data);
    break;
  case lv2names::kProgram:
    programPort = static_cast<const float*>(data);
    break;
  case lv2names::kVerify:
    verifyPort = static_cast<float*>(data);
    break;
  default:
    break;
  }
}

void Lv2Adapter::Activate()
{
  Dispatch(effMainsChanged, 0, 1);
  active = true;
  controlsUnseen = true;
}

void Lv2Adapter::Deactivate()
{
  if (active)
    Dispatch(effMainsChanged, 0, 0);
  active = false;
}

// --------------------------------------------------------- the host side

VstIntPtr Lv2Adapter::HostCallback(AEffect* effect, int32_t opcode, int32_t index, VstIntPtr value,
                                   void* ptr, float opt)
{
  Lv2Adapter* adapter = effect && effect->user ? static_cast<Lv2Adapter*>(effect->user) : loading;
  if (!adapter)
    return opcode == audioMasterVersion ? kHostVersion : 0;
  return adapter->Answer(opcode, index, value, ptr, opt);
}

VstIntPtr Lv2Adapter::Answer(int32_t opcode, int32_t index, VstIntPtr value, void* ptr, float opt)
{
  switch (opcode) {
  case audioMasterVersion:
    return kHostVersion;
  case audioMasterAutomate:
    // The editor's own changes (GUI thread, inside the editor opcodes).
    if (Lv2Ui* attached = ui.load())
      attached->Automated(index, opt);
    return 0;
  case audioMasterWantMidi:
    return 1;
  case audioMasterGetTime:
    // Asked from processReplacing, inside run(): the answer run() keeps.
    return reinterpret_cast<VstIntPtr>(&timeInfo);
  case audioMasterProcessEvents:
    return bridge.TakeOutput(static_cast<const VstEvents*>(ptr)) ? 1 : 0;
  case audioMasterSizeWindow: {
    Lv2Ui* attached = ui.load();
    return attached && attached->SizeWindow(index, static_cast<int32_t>(value)) ? 1 : 0;
  }
  case audioMasterGetSampleRate:
    return static_cast<VstIntPtr>(rate);
  case audioMasterGetBlockSize:
    return maxBlock;
  case audioMasterGetVendorString:
    CopyText(ptr, kHostVendor);
    return 1;
  case audioMasterGetProductString:
    CopyText(ptr, kHostProduct);
    return 1;
  case audioMasterGetVendorVersion:
    return 1;
  case audioMasterCanDo: {
    if (!ptr)
      return 0;
    const char* text = static_cast<const char*>(ptr);
    if (std::strcmp(text, "sizeWindow") == 0)
      return uiCanResize.load() && ui.load() ? 1 : 0;
    for (const char* can : kHostCanDo) {
      if (std::strcmp(text, can) == 0)
        return 1;
    }
    return 0;
  }
  case audioMasterGetDirectory:
    return bundle.empty() ? 0 : reinterpret_cast<VstIntPtr>(bundle.c_str());
  default:
    return 0;
  }
}

bool Lv2Adapter::AttachUi(Lv2Ui* editor)
{
  Lv2Ui* none = nullptr;
  return editor && ui.compare_exchange_strong(none, editor);
}

void Lv2Adapter::DetachUi(Lv2Ui* editor)
{
  Lv2Ui* expected = editor;
  if (ui.compare_exchange_strong(expected, nullptr))
    uiCanResize = false;
}

// ------------------------------------------------------------ audio path

void Lv2Adapter::ApplyControls() noexcept
{
  // The ports act only when they move. The first run after activation or
  // a restore takes them as they are: the state (or the editor, or MIDI)
  // decides the program and thru, not a port the host left where it was.
  // (Each flag is read before it is exchanged: nearly every run finds it
  // clear, and a plain load costs less than a locked exchange.)
  const bool unseen = controlsUnseen.load(std::memory_order_acquire) &&
                      controlsUnseen.exchange(false, std::memory_order_acq_rel);
  float value = 0.0f;
  if (PortValue(resendPort, value)) {
    const bool on = value > 0.5f;
    if (!unseen && on != resendSeen)
      effect->setParameter(effect, kResendParameter, on ? 1.0f : 0.0f);
    resendSeen = on;
  }
  if (PortValue(thruPort, value)) {
    const bool on = value > 0.5f;
    if (!unseen && on != thruSeen)
      effect->setParameter(effect, kThruParameter, on ? 1.0f : 0.0f);
    thruSeen = on;
  }
  if (PortValue(programPort, value)) {
    const float clamped = value < 0.0f ? 0.0f : (value > kPrograms - 1 ? kPrograms - 1 : value);
    const auto program = static_cast<int32_t>(std::lround(clamped));
    // A selection takes the plug-in's locks: the worker makes it, as a
    // host's program change is made off its audio thread. A port moved to
    // the program already current (the editor's, written back by the LV2
    // editor) selects nothing.
    if (!unseen && program != programSeen && !programPortUnusable &&
        program !=
            static_cast<int32_t>(effect->dispatcher(effect, effGetProgram, 0, 0, nullptr, 0)))
      schedule->schedule_work(schedule->handle, sizeof program, &program);
    programSeen = program;
  }
  const int32_t asked = programAsked.load(std::memory_order_acquire) < 0
                            ? -1
                            : programAsked.exchange(-1, std::memory_order_acq_rel);
  if (asked >= 0 && !programPortUnusable)
    schedule->schedule_work(schedule->handle, sizeof asked, &asked);
}

void Lv2Adapter::ReadPosition(const LV2_Atom* atom) noexcept
{
  const LV2_Atom* speedAtom = nullptr;
  const LV2_Atom* frameAtom = nullptr;
  const LV2_Atom* bpmAtom = nullptr;
  const LV2_Atom* barAtom = nullptr;
  const LV2_Atom* barBeatAtom = nullptr;
  const LV2_Atom* beatsPerBarAtom = nullptr;
  const LV2_Atom* beatUnitAtom = nullptr;
  lv2objects::ForEachProperty(atom, [&](uint32_t key, const LV2_Atom* value) {
    if (key == uris.timeSpeed)
      speedAtom = value;
    else if (key == uris.timeFrame)
      frameAtom = value;
    else if (key == uris.timeBeatsPerMinute)
      bpmAtom = value;
    else if (key == uris.timeBar)
      barAtom = value;
    else if (key == uris.timeBarBeat)
      barBeatAtom = value;
    else if (key == uris.timeBeatsPerBar)
      beatsPerBarAtom = value;
    else if (key == uris.timeBeatUnit)
      beatUnitAtom = value;
  });
  double number = 0.0;
  if (Number(speedAtom, uris, number)) {
    if ((number != 0.0) != (speed != 0.0))
      timeInfo.flags |= kVstTransportChanged;
    speed = number;
  }
  if (Number(frameAtom, uris, number))
    timeInfo.samplePos = number;
  if (Number(bpmAtom, uris, number) && number > 0.0)
    timeInfo.tempo = number;
  double beatsPerBar = timeInfo.timeSigNumerator;
  if (Number(beatsPerBarAtom, uris, number) && number >= 1.0 && number <= 1000.0) {
    beatsPerBar = number;
    timeInfo.timeSigNumerator = static_cast<int32_t>(number);
  }
  if (Number(beatUnitAtom, uris, number) && number >= 1.0 && number <= 1000.0)
    timeInfo.timeSigDenominator = static_cast<int32_t>(number);
  double bar = 0.0;
  double barBeat = 0.0;
  if (Number(barAtom, uris, bar) && Number(barBeatAtom, uris, barBeat) && std::fabs(bar) < 1e9) {
    timeInfo.barStartPos = bar * beatsPerBar * 4.0 / timeInfo.timeSigDenominator;
    timeInfo.ppqPos = timeInfo.barStartPos + barBeat * 4.0 / timeInfo.timeSigDenominator;
  }
  if (speed != 0.0)
    timeInfo.flags |= kVstTransportPlaying;
  else
    timeInfo.flags &= ~kVstTransportPlaying;
}

void Lv2Adapter::ProcessSubBlock(int64_t start, int32_t frames) noexcept
{
  if (bridge.InputCount() > 0)
    effect->dispatcher(effect, effProcessEvents, 0, 0, bridge.InputBlock(), 0.0f);
  bridge.SetSubBlock(start, frames);
  // In place: the plug-in passes its silent pins through without a copy.
  effect->processReplacing(effect, pins, pins, frames);
  timeInfo.flags &= ~kVstTransportChanged;
  if (speed != 0.0)
    timeInfo.samplePos += speed * frames;
}

const uint8_t* Lv2Adapter::PassPacked(const uint8_t* cursor, const uint8_t* limit, int64_t start,
                                      int64_t end) noexcept
{
  if (bridge.BeginPacked(packed, cursor, limit, start, end) == 0 ||
      !effect->dispatcher(effect, effVendorSpecific, kQuilletPackedInput, 0, &packed, 0.0f))
    return cursor;
  bridge.CommitPacked(packed);
  return cursor + static_cast<ptrdiff_t>(packed.taken) * kQuilletPackedEventBytes;
}

void Lv2Adapter::Run(uint32_t frames) noexcept
{
  bridge.BeginOutput(eventsOut, uris.atomSequence);
  if (!effect || !active)
    return;
  ApplyControls();
  if (frames == 0)
    return;

  // The input sequence, walked within the size the host gave it; events
  // before the cursor (out of order) or after the run count at its edges.
  const uint8_t* cursor = nullptr;
  const uint8_t* limit = nullptr;
  bool frameTimes = true;
  if (eventsIn && eventsIn->atom.type == uris.atomSequence &&
      eventsIn->atom.size >= sizeof(LV2_Atom_Sequence_Body)) {
    cursor = reinterpret_cast<const uint8_t*>(eventsIn + 1);
    limit = reinterpret_cast<const uint8_t*>(&eventsIn->body) + eventsIn->atom.size;
    // Events stamped in beats have no frame here: they count at the start.
    frameTimes = eventsIn->body.unit == 0 || eventsIn->body.unit == uris.atomFrameTime;
  }
  auto current = [&]() -> const LV2_Atom_Event* {
    if (!cursor || limit - cursor < static_cast<ptrdiff_t>(sizeof(LV2_Atom_Event)))
      return nullptr;
    const auto* event = reinterpret_cast<const LV2_Atom_Event*>(cursor);
    if (static_cast<uint64_t>(limit - cursor) - sizeof(LV2_Atom_Event) < event->body.size)
      return nullptr;
    return event;
  };
  auto advance = [&](const LV2_Atom_Event* event) {
    // A short message's event takes 24 bytes: taken as a branch (which the
    // processor predicts) rather than computed from the size just loaded,
    // so that the walk does not wait for every event's size. An empty body
    // takes no word at all (0 wraps around to the long way).
    uint64_t step = sizeof(LV2_Atom_Event) + 8;
    if (__builtin_expect(event->body.size - 1 >= 8, 0))
      step = sizeof(LV2_Atom_Event) + lv2_atom_pad_size(event->body.size);
    cursor = static_cast<uint64_t>(limit - cursor) <= step ? nullptr : cursor + step;
  };

  const int64_t total = frames;
  const uint32_t midiType = uris.midiEvent;
  int64_t start = 0;
  while (start < total) {
    int64_t end = total - start > maxBlock ? start + maxBlock : total;
    bridge.BeginInput();
    for (;;) {
      // Nearly every event is a short MIDI message inside the sub-block:
      // the bridge takes those in a loop of its own, and the walk below
      // sees only the others.
      if (cursor) {
        // The common stretch goes to the plug-in packed: it reads the atoms
        // and writes those it passes on into the output port itself. Not
        // after a record of the sub-block, which the block passes later, and
        // only in a sequence stamped in frames.
        if (frameTimes && bridge.InputCount() == 0)
          cursor = PassPacked(cursor, limit, start, end);
        cursor = bridge.AddShortEvents(cursor, limit, start, end, frameTimes);
      }
      const LV2_Atom_Event* event = current();
      if (!event)
        break;
      int64_t at = frameTimes ? event->time.frames : start;
      if (at < start || at >= end) {
        at = at < start ? start : (at >= total ? total - 1 : at);
        if (at >= end)
          break;
      }
      const LV2_Atom& body = event->body;
      // What MIDI the bridge's loop left: System Exclusive, events out of
      // the sub-block, what is no message.
      if (body.type == midiType) {
        bridge.AddInput(static_cast<const uint8_t*>(LV2_ATOM_BODY_CONST(&body)), body.size,
                        static_cast<int32_t>(at - start));
        advance(event);
        continue;
      }
      const bool object = (body.type == uris.atomObject || body.type == uris.atomBlank) &&
                          body.size >= sizeof(LV2_Atom_Object_Body);
      if (object &&
          reinterpret_cast<const LV2_Atom_Object*>(&body)->body.otype == uris.timePosition) {
        // The transport changes here: the sub-block ends before it, so
        // that the plug-in asks for the new state at its frame.
        if (at > start) {
          end = at;
          break;
        }
        ReadPosition(&body);
      } else if (object) {
        // A host's patch message: the file parameters.
        files.Take(&body, programPortUnusable ? nullptr : schedule);
      }
      advance(event);
    }
    ProcessSubBlock(start, static_cast<int32_t>(end - start));
    start = end;
  }
  files.Report(bridge);
  ReportVerify();
}

namespace {

// The worker's job of a verify line: the report call's index, then the
// count of results it tells.
struct VerifyJob
{
  int32_t tag = kQuilletVerifyReport;
  uint32_t results = 0;
};
static_assert(sizeof(VerifyJob) == 8, "the job is told from a program job by its size");

} // namespace

void Lv2Adapter::ReportVerify() noexcept
{
  // The code and the count are plain reads of the plug-in's atomics.
  const float code = effect->getParameter(effect, param::kVerifyNotice) * 3.0f;
  if (verifyPort)
    *verifyPort = std::round(code);
  const auto results =
      static_cast<uint32_t>(effect->getParameter(effect, param::kVerifyCount) + 0.5f);
  if (results == verifyResultsSeen)
    return;
  verifyResultsSeen = results;
  if (!programPortUnusable) {
    VerifyJob job;
    job.results = results;
    schedule->schedule_work(schedule->handle, sizeof job, &job);
  }
}

// ----------------------------------------------------------------- worker

LV2_Worker_Status Lv2Adapter::Work(LV2_Worker_Respond_Function respond,
                                   LV2_Worker_Respond_Handle handle, uint32_t size,
                                   const void* data)
{
  VerifyJob job;
  if (size == sizeof job && data)
    std::memcpy(&job, data, sizeof job);
  // A file job of this size holds an empty path, whose parameter is a
  // mapped URID: never this tag in practice.
  if (size == sizeof job && data && job.tag == kQuilletVerifyReport) {
    char line[kQuilletVerifyReportBytes] = {};
    if (Dispatch(effVendorSpecific, kQuilletVerifyReport, sizeof line, line) > 0)
      lv2_log_note(&logger, "Quillet: %s\n", line);
    return LV2_WORKER_SUCCESS;
  }
  if (Lv2FileParameters::IsJob(size))
    return files.Work(respond, handle, size, data);
  int32_t program = -1;
  if (size != sizeof program || !data)
    return LV2_WORKER_ERR_UNKNOWN;
  std::memcpy(&program, data, sizeof program);
  if (program < 0 || program >= kPrograms)
    return LV2_WORKER_ERR_UNKNOWN;
  Dispatch(effSetProgram, 0, program);
  return LV2_WORKER_SUCCESS;
}

LV2_Worker_Status Lv2Adapter::WorkResponse(uint32_t size, const void* data) noexcept
{
  files.Taken(size, data);
  return LV2_WORKER_SUCCESS;
}

// --------------------------------------------------------------- programs

const lv2programs::ProgramDescriptor* Lv2Adapter::Program(uint32_t index)
{
  if (index >= static_cast<uint32_t>(kPrograms))
    return nullptr;
  // Hosts do not trust plug-ins with short buffers: neither does this one.
  std::memset(programName, 0, sizeof programName);
  Dispatch(effGetProgramNameIndexed, static_cast<int32_t>(index), -1, programName);
  programName[sizeof programName - 1] = '\0';
  programDescriptor = {0, index, programName};
  return &programDescriptor;
}

void Lv2Adapter::SelectProgram(uint32_t bank, uint32_t program) noexcept
{
  if (bank == 0 && program < static_cast<uint32_t>(kPrograms))
    programAsked.store(static_cast<int32_t>(program), std::memory_order_release);
}

// ------------------------------------------------------------------ state

LV2_State_Status Lv2Adapter::Save(LV2_State_Store_Function store, LV2_State_Handle handle)
{
  if (!store)
    return LV2_STATE_ERR_UNKNOWN;
  // LV2 lets save() run beside run(), whose ports write the plug-in's
  // records (thru): the plug-in hands a snapshot of its own, which store()
  // copies while run() goes on and which no other thread writes.
  void* data = nullptr;
  const VstIntPtr size = Dispatch(effGetChunk, 0, 0, &data);
  if (size <= 0 || !data) {
    LogError("Quillet: the plug-in gave no bank to save\n");
    return LV2_STATE_ERR_UNKNOWN;
  }
  const uint32_t flags = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;
  LV2_State_Status status =
      store(handle, uris.stateBank, data, static_cast<size_t>(size), uris.atomChunk, flags);
  if (status != LV2_STATE_SUCCESS)
    return status;
  const auto program = static_cast<int32_t>(Dispatch(effGetProgram));
  return store(handle, uris.stateProgram, &program, sizeof program, uris.atomInt, flags);
}

LV2_State_Status Lv2Adapter::Restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle)
{
  if (!retrieve)
    return LV2_STATE_ERR_UNKNOWN;
  size_t size = 0;
  uint32_t type = 0;
  uint32_t flags = 0;
  const void* bank = retrieve(handle, uris.stateBank, &size, &type, &flags);
  if (!bank) {
    // A state with nothing of Quillet's may be a host's state of port values
    // only (jalv gives one at start): a warning. With a program but no bank
    // it is a broken one.
    const bool program = retrieve(handle, uris.stateProgram, &size, &type, &flags) != nullptr;
    static constexpr const char* kNoBank =
        "Quillet: the state holds no Quillet bank (%s), so the bank stays as it was\n";
    if (program)
      LogError(kNoBank, lv2names::kStateBank);
    else
      lv2_log_warning(&logger, kNoBank, lv2names::kStateBank);
    return LV2_STATE_ERR_NO_PROPERTY;
  }
  if (type != uris.atomChunk) {
    LogError("Quillet: the state's bank is not a chunk of bytes (atom:Chunk), so the bank stays "
             "as it was\n");
    return LV2_STATE_ERR_BAD_TYPE;
  }
  if (size == 0 || size > static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
    LogError("Quillet: the state's bank (%zu bytes) is not a bank Quillet can read, so the bank "
             "stays as it was\n",
             size);
    return LV2_STATE_ERR_UNKNOWN;
  }
  if (!SetBankChunk(bank, size)) {
    LogError("Quillet: the state's bank (%zu bytes) is not a bank Quillet can read, so the bank "
             "stays as it was\n",
             size);
    return LV2_STATE_ERR_UNKNOWN;
  }

  // The program the state was saved in; a missing or broken one leaves the
  // current program.
  auto program = static_cast<int32_t>(Dispatch(effGetProgram));
  const void* saved = retrieve(handle, uris.stateProgram, &size, &type, &flags);
  if (saved) {
    int32_t value = -1;
    if (type == uris.atomInt && size == sizeof value)
      std::memcpy(&value, saved, sizeof value);
    if (value >= 0 && value < kPrograms)
      program = value;
    else
      LogError("Quillet: the state's program is not a number from 0 to 127, so program %d "
               "stays\n",
               program);
  }
  SelectAfterBank(program);
  return LV2_STATE_SUCCESS;
}

bool Lv2Adapter::SetBankChunk(const void* bytes, size_t size)
{
  if (!bytes || size == 0 || size > static_cast<size_t>(std::numeric_limits<int32_t>::max()))
    return false;
  // The plug-in reads the chunk as a host hands it over: a copy of its own.
  std::vector<uint8_t> chunk(static_cast<const uint8_t*>(bytes),
                             static_cast<const uint8_t*>(bytes) + size);
  return Dispatch(effSetChunk, 0, static_cast<VstIntPtr>(size), chunk.data()) == 1;
}

void Lv2Adapter::SelectAfterBank(int32_t program)
{
  // As a host does after loading a bank: the selection that follows counts
  // as the first, so that the send on init counts its delay from here; the
  // ports are taken as they are by the next run.
  Dispatch(effSetProgram, 0, program);
  controlsUnseen = true;
}

bool Lv2Adapter::LoadBank(const void* bytes, size_t size, int32_t program)
{
  if (!SetBankChunk(bytes, size))
    return false;
  SelectAfterBank(program);
  return true;
}
