#include "host/VstHost.h"

#include "midi/MidiBytes.h"

#include <dlfcn.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace qhost {

namespace {

std::mutex registryLock;
std::map<AEffect*, PluginInstance*> registry;
// The instance whose entry call is in progress on this thread: the plug-in
// calls back before the host knows its effect record.
thread_local PluginInstance* loading = nullptr;
thread_local int callbackDepth = 0;

double NowMs()
{
  using namespace std::chrono;
  return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

void CopyText(void* ptr, const std::string& text)
{
  if (!ptr)
    return;
  // Hosts write at most 64 characters with the terminator.
  const size_t n = std::min(text.size(), static_cast<size_t>(kVstMaxVendorStrLen - 1));
  std::memcpy(ptr, text.data(), n);
  static_cast<char*>(ptr)[n] = '\0';
}

} // namespace

bool InHostCallback()
{
  return callbackDepth > 0;
}

std::string FormatSysEx(const std::vector<uint8_t>& bytes)
{
  constexpr size_t kShown = 16;
  if (bytes.size() <= kShown)
    return FormatMidi(bytes.data(), static_cast<int>(bytes.size()));
  return FormatMidi(bytes.data(), static_cast<int>(kShown)) + " ... " +
         FormatMidi(&bytes.back(), 1) + " (" + std::to_string(bytes.size()) + " bytes)";
}

std::string FormatMidi(const uint8_t* bytes, int count)
{
  std::string out;
  char hex[4];
  for (int i = 0; i < count; ++i) {
    std::snprintf(hex, sizeof hex, "%02X", bytes[i]);
    if (i)
      out += ' ';
    out += hex;
  }
  return out;
}

int MessageLength(uint8_t status)
{
  // A record that starts no short message (a SysEx byte, a data byte) is
  // printed by its first byte alone.
  const int32_t length = midi::MessageLength(status);
  return length > 0 ? length : 1;
}

PluginLibrary::PluginLibrary(const std::string& path_) : path(path_)
{
  handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* reason = dlerror();
    error = reason ? reason : "cannot load";
    return;
  }
  void* symbol = dlsym(handle, "VSTPluginMain");
  if (!symbol)
    symbol = dlsym(handle, "main");
  if (!symbol) {
    error = "no entry point (VSTPluginMain or main)";
    return;
  }
  entry = reinterpret_cast<AEffect* (*)(audioMasterCallback)>(symbol);
}

PluginLibrary::~PluginLibrary()
{
  if (handle)
    dlclose(handle);
}

AEffect* PluginLibrary::CallEntry(audioMasterCallback callback) const
{
  return entry ? entry(callback) : nullptr;
}

void* PluginLibrary::Symbol(const char* name) const
{
  return handle ? dlsym(handle, name) : nullptr;
}

PluginInstance* FindInstance(AEffect* effect)
{
  std::lock_guard<std::mutex> hold(registryLock);
  auto found = registry.find(effect);
  return found == registry.end() ? nullptr : found->second;
}

PluginInstance::PluginInstance(PluginLibrary& library_, HostConfig config_)
    : library(library_), config(std::move(config_))
{
  startTime = NowMs();
  input[0].assign(512, 0.0f);
  input[1].assign(512, 0.0f);
  output[0].assign(512, 0.0f);
  output[1].assign(512, 0.0f);
  PluginInstance* previous = loading;
  loading = this;
  effect = library.CallEntry(&PluginInstance::Callback);
  loading = previous;
  if (effect) {
    std::lock_guard<std::mutex> hold(registryLock);
    registry[effect] = this;
  }
}

PluginInstance::~PluginInstance()
{
  if (effect)
    Close();
  std::lock_guard<std::mutex> hold(registryLock);
  for (auto it = registry.begin(); it != registry.end();) {
    if (it->second == this)
      it = registry.erase(it);
    else
      ++it;
  }
}

double PluginInstance::MillisecondsSinceStart() const
{
  return NowMs() - startTime;
}

VstIntPtr PluginInstance::Callback(AEffect* effect, int32_t opcode, int32_t index, VstIntPtr value,
                                   void* ptr, float opt)
{
  // Everything from here on is the host's work, not the plug-in's.
  struct Depth
  {
    Depth() { ++callbackDepth; }
    ~Depth() { --callbackDepth; }
  } depth;
  PluginInstance* instance = effect ? FindInstance(effect) : nullptr;
  if (!instance)
    instance = loading;
  if (!instance) // a callback from a thread the host cannot place
    return 0;
  std::string text;
  const VstIntPtr answer = instance->Answer(opcode, index, value, ptr, opt, text);
  instance->Record(CallbackRecord{opcode, index, value, opt, text, effect == nullptr,
                                  std::this_thread::get_id()});
  if (instance->config.onCallback)
    instance->config.onCallback(*instance, opcode);
  return answer;
}

VstIntPtr PluginInstance::Answer(int32_t opcode, int32_t index, VstIntPtr value, void* ptr,
                                 float /*opt*/, std::string& text)
{
  if (opcode == audioMasterProcessEvents && ptr) {
    auto* events = static_cast<VstEvents*>(ptr);
    if (config.onEvents)
      config.onEvents(*events);
    const int call = ++sendEventCalls;
    const double now = MillisecondsSinceStart();
    const int64_t blockStart = framesRun.load();
    std::lock_guard<std::mutex> hold(recordLock);
    // The block is longer than its declared two entries: index through a
    // pointer, not the array.
    VstEvent* const* pointers = events->events;
    for (int32_t i = 0; i < events->numEvents; ++i) {
      const VstEvent* event = pointers[i];
      if (event && event->type == kVstSysExType) {
        const auto* sysex = reinterpret_cast<const VstMidiSysexEvent*>(event);
        ReceivedEvent got{
            now, sysex->deltaFrames, {}, blocks.load(), call, blockStart + sysex->deltaFrames};
        if (sysex->sysexDump && sysex->dumpBytes > 0) {
          const auto* bytes = reinterpret_cast<const uint8_t*>(sysex->sysexDump);
          got.sysex.assign(bytes, bytes + sysex->dumpBytes);
          std::memcpy(got.bytes, bytes, std::min<size_t>(4, got.sysex.size()));
        }
        received.push_back(std::move(got));
        continue;
      }
      if (!event || event->type != kVstMidiType)
        continue;
      const auto* midi = reinterpret_cast<const VstMidiEvent*>(event);
      ReceivedEvent got{
          now, midi->deltaFrames, {}, blocks.load(), call, blockStart + midi->deltaFrames};
      std::memcpy(got.bytes, midi->midiData, 4);
      received.push_back(got);
    }
  }
  // A silent host still answers the version query: a host that answers 0
  // there is too old to load the plug-in at all.
  if (config.silent && opcode != audioMasterVersion)
    return 0;
  switch (opcode) {
  case audioMasterVersion:
    return config.version;
  case audioMasterGetVendorString:
    CopyText(ptr, config.vendor);
    text = config.vendor;
    return 1;
  case audioMasterGetProductString:
    CopyText(ptr, config.product);
    text = config.product;
    return 1;
  case audioMasterGetVendorVersion:
    return config.vendorVersion;
  case audioMasterCanDo: {
    if (!ptr)
      return 0;
    text = static_cast<const char*>(ptr);
    auto found = config.canDo.find(text);
    return found == config.canDo.end() ? 0 : found->second;
  }
  case audioMasterGetDirectory:
    return config.directory.empty() ? 0 : reinterpret_cast<VstIntPtr>(config.directory.c_str());
  case audioMasterProcessEvents:
    return config.processEventsAnswer;
  case audioMasterGetSampleRate:
    return static_cast<VstIntPtr>(config.sampleRate);
  case audioMasterGetBlockSize:
    return config.blockSize;
  case audioMasterGetTime:
    if (!config.answersTime)
      return 0;
    timeInfo = VstTimeInfo{};
    timeInfo.samplePos = static_cast<double>(framesRun.load());
    timeInfo.sampleRate = config.sampleRate;
    timeInfo.tempo = 120.0;
    timeInfo.timeSigNumerator = 4;
    timeInfo.timeSigDenominator = 4;
    timeInfo.flags = transportPlaying ? kVstTransportPlaying : 0;
    return reinterpret_cast<VstIntPtr>(&timeInfo);
  case audioMasterSizeWindow:
    if (config.onSizeWindow)
      config.onSizeWindow(index, static_cast<int32_t>(value));
    return 1;
  default:
    return 0;
  }
}

void PluginInstance::Record(const CallbackRecord& record)
{
  std::lock_guard<std::mutex> hold(recordLock);
  callbacks.push_back(record);
}

VstIntPtr PluginInstance::Dispatch(int32_t opcode, int32_t index, VstIntPtr value, void* ptr,
                                   float opt)
{
  if (!effect)
    return 0;
  return effect->dispatcher(effect, opcode, index, value, ptr, opt);
}

VstIntPtr PluginInstance::Close()
{
  if (!effect)
    return 0;
  AEffect* closing = effect;
  const VstIntPtr result = closing->dispatcher(closing, effClose, 0, 0, nullptr, 0.0f);
  effect = nullptr;
  std::lock_guard<std::mutex> hold(registryLock);
  registry.erase(closing);
  return result;
}

void PluginInstance::SetParameter(int32_t index, float value)
{
  if (effect)
    effect->setParameter(effect, index, value);
}

float PluginInstance::GetParameter(int32_t index)
{
  return effect ? effect->getParameter(effect, index) : 0.0f;
}

namespace {

std::string Text(PluginInstance& instance, int32_t opcode, int32_t index, VstIntPtr value = 0)
{
  // Generous buffers: hosts do not trust the plug-in to keep to the limits.
  char buffer[256] = {};
  instance.Dispatch(opcode, index, value, buffer);
  buffer[sizeof buffer - 1] = '\0';
  return buffer;
}

} // namespace

std::string PluginInstance::ParameterName(int32_t index)
{
  return Text(*this, effGetParamName, index);
}

std::string PluginInstance::ParameterDisplay(int32_t index)
{
  return Text(*this, effGetParamDisplay, index);
}

std::string PluginInstance::ProgramName()
{
  return Text(*this, effGetProgramName, 0);
}

std::string PluginInstance::ProgramNameIndexed(int32_t index, bool* ok)
{
  char buffer[256] = {};
  const VstIntPtr result = Dispatch(effGetProgramNameIndexed, index, 0, buffer);
  if (ok)
    *ok = result != 0;
  buffer[sizeof buffer - 1] = '\0';
  return buffer;
}

std::string PluginInstance::EffectName()
{
  return Text(*this, effGetEffectName, 0);
}
std::string PluginInstance::VendorString()
{
  return Text(*this, effGetVendorString, 0);
}
std::string PluginInstance::ProductString()
{
  return Text(*this, effGetProductString, 0);
}

VstIntPtr PluginInstance::CanDo(const std::string& text)
{
  std::string copy = text;
  return Dispatch(effCanDo, 0, 0, copy.data());
}

void PluginInstance::StartUp(float sampleRate, int32_t blockSize)
{
  Dispatch(effOpen);
  Dispatch(effSetSampleRate, 0, 0, nullptr, sampleRate);
  Dispatch(effSetBlockSize, 0, blockSize);
  Resume();
}

std::vector<uint8_t> PluginInstance::GetChunk(bool program)
{
  void* data = nullptr;
  const VstIntPtr size = Dispatch(effGetChunk, program ? 1 : 0, 0, &data);
  if (size <= 0 || !data)
    return {};
  const auto* bytes = static_cast<const uint8_t*>(data);
  return std::vector<uint8_t>(bytes, bytes + size);
}

VstIntPtr PluginInstance::SetChunk(const std::vector<uint8_t>& data, bool program)
{
  // The host keeps its own copy alive for the duration of the call only.
  std::vector<uint8_t> copy = data;
  return Dispatch(effSetChunk, program ? 1 : 0, static_cast<VstIntPtr>(copy.size()),
                  copy.empty() ? nullptr : copy.data());
}

void PluginInstance::QueueMidi(uint8_t status, uint8_t data1, uint8_t data2, int32_t deltaFrames)
{
  VstMidiEvent event{};
  event.type = kVstMidiType;
  event.byteSize = static_cast<int32_t>(sizeof(VstMidiEvent)) - 8;
  event.deltaFrames = deltaFrames;
  event.midiData[0] = status;
  event.midiData[1] = data1;
  event.midiData[2] = data2;
  PendingEvent pending{};
  pending.midi = event;
  pendingMidi.push_back(pending);
}

void PluginInstance::QueueSysEx(const std::vector<uint8_t>& bytes, int32_t deltaFrames)
{
  // The bytes' buffer stays where it is when the list of them grows.
  pendingSysEx.push_back(bytes);
  PendingEvent pending{};
  pending.sysex.type = kVstSysExType;
  pending.sysex.byteSize = static_cast<int32_t>(sizeof(VstMidiSysexEvent)) - 8;
  pending.sysex.deltaFrames = deltaFrames;
  pending.sysex.dumpBytes = static_cast<int32_t>(bytes.size());
  pending.sysex.sysexDump = reinterpret_cast<char*>(pendingSysEx.back().data());
  pendingMidi.push_back(pending);
}

void PluginInstance::RunBlock(int32_t frames)
{
  if (!effect)
    return;
  for (int c = 0; c < 2; ++c) {
    if (static_cast<int32_t>(input[c].size()) < frames)
      input[c].resize(static_cast<size_t>(frames), 0.0f);
    output[c].assign(static_cast<size_t>(frames), 0.0f);
  }
  if (!pendingMidi.empty()) {
    std::vector<uint8_t> storage(sizeof(VstEvents) + pendingMidi.size() * sizeof(VstEvent*));
    auto* events = reinterpret_cast<VstEvents*>(storage.data());
    events->numEvents = static_cast<int32_t>(pendingMidi.size());
    events->reserved = 0;
    VstEvent** pointers = events->events;
    for (size_t i = 0; i < pendingMidi.size(); ++i)
      pointers[i] = reinterpret_cast<VstEvent*>(&pendingMidi[i]);
    Dispatch(effProcessEvents, 0, 0, events);
    pendingMidi.clear();
    pendingSysEx.clear();
  }
  float* in[2] = {input[0].data(), input[1].data()};
  float* out[2] = {output[0].data(), output[1].data()};
  if (accumulating)
    effect->process(effect, in, out, frames);
  else
    effect->processReplacing(effect, in, out, frames);
  ++blocks;
  framesRun += frames;
}

void PluginInstance::RunBlocks(int count, int32_t frames)
{
  for (int i = 0; i < count; ++i)
    RunBlock(frames);
}

std::vector<ReceivedEvent> PluginInstance::Received()
{
  std::lock_guard<std::mutex> hold(recordLock);
  return received;
}

void PluginInstance::ClearReceived()
{
  std::lock_guard<std::mutex> hold(recordLock);
  received.clear();
}

std::vector<CallbackRecord> PluginInstance::Callbacks()
{
  std::lock_guard<std::mutex> hold(recordLock);
  return callbacks;
}

void PluginInstance::ClearCallbacks()
{
  std::lock_guard<std::mutex> hold(recordLock);
  callbacks.clear();
}

int PluginInstance::CountCallbacks(int32_t opcode)
{
  std::lock_guard<std::mutex> hold(recordLock);
  int count = 0;
  for (const CallbackRecord& record : callbacks)
    count += record.opcode == opcode ? 1 : 0;
  return count;
}

} // namespace qhost
