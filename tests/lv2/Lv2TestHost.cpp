#include "tests/lv2/Lv2TestHost.h"

#include <lv2/atom/atom.h>
#include <lv2/atom/forge.h>
#include <lv2/atom/util.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/log/log.h>
#include <lv2/midi/midi.h>
#include <lv2/patch/patch.h>
#include <lv2/time/time.h>

#include <dlfcn.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

namespace lv2test {

namespace {

constexpr const char* kPluginUri = "urn:quillet:quillet";

void AppendBytes(std::vector<uint8_t>& out, const void* data, size_t size)
{
  const auto* bytes = static_cast<const uint8_t*>(data);
  out.insert(out.end(), bytes, bytes + size);
}

} // namespace

std::string Format(const std::vector<Wire>& messages)
{
  std::string text;
  char part[8];
  for (const Wire& message : messages) {
    text += std::to_string(message.frame) + ":";
    for (uint8_t byte : message.bytes) {
      std::snprintf(part, sizeof part, " %02X", byte);
      text += part;
    }
    text += "\n";
  }
  return text;
}

Lv2TestHost::Lv2TestHost(Config config_) : config(config_)
{
  map.handle = this;
  map.map = &Lv2TestHost::MapUri;
  unmap.handle = this;
  unmap.unmap = &Lv2TestHost::UnmapUri;
  log.handle = this;
  log.printf = &Lv2TestHost::LogPrintf;
  log.vprintf = &Lv2TestHost::LogVprintf;
  schedule.handle = this;
  schedule.schedule_work = &Lv2TestHost::Schedule;
  midiType = Map(LV2_MIDI__MidiEvent);
  sequenceType = Map(LV2_ATOM__Sequence);
  chunkType = Map(LV2_ATOM__Chunk);

  maxBlock = config.maxBlock;
  if (maxBlock > 0) {
    options.push_back({LV2_OPTIONS_INSTANCE, 0, Map(LV2_BUF_SIZE__maxBlockLength), sizeof(int32_t),
                       Map(LV2_ATOM__Int), &maxBlock});
  }
  options.push_back({LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr});
  featureStore.push_back({LV2_URID__map, &map});
  featureStore.push_back({LV2_LOG__log, &log});
  featureStore.push_back({LV2_OPTIONS__options, options.data()});
  featureStore.push_back({LV2_URID__unmap, &unmap});
  if (config.worker)
    featureStore.push_back({LV2_WORKER__schedule, &schedule});
  for (const LV2_Feature& feature : featureStore)
    features.push_back(&feature);
  features.push_back(nullptr);

  world = lilv_world_new();
  LilvNode* bundle = lilv_new_file_uri(world, nullptr, QUILLET_LV2_BUNDLE "/");
  lilv_world_load_bundle(world, bundle);
  lilv_node_free(bundle);
  LilvNode* uri = lilv_new_uri(world, kPluginUri);
  plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), uri);
  lilv_node_free(uri);
  if (!plugin) {
    error = "the bundle " QUILLET_LV2_BUNDLE " holds no urn:quillet:quillet";
    return;
  }
  instance = lilv_plugin_instantiate(plugin, config.sampleRate, features.data());
  if (!instance) {
    error = "the plug-in refused to instantiate";
    return;
  }
  input.assign(8192, 0);
  output.assign((config.outCapacity + 7) / 8 + 1, 0);
  lilv_instance_connect_port(instance, 0, input.data());
  lilv_instance_connect_port(instance, 1, output.data());
  for (uint32_t port = 2; port < 6; ++port)
    lilv_instance_connect_port(instance, port, &controls[port]);
}

Lv2TestHost::~Lv2TestHost()
{
  if (instance) {
    if (active)
      lilv_instance_deactivate(instance);
    lilv_instance_free(instance);
  }
  if (editorBinary)
    dlclose(editorBinary);
  if (world)
    lilv_world_free(world);
}

uint32_t Lv2TestHost::Map(const char* uri)
{
  return MapUri(this, uri);
}

LV2_URID Lv2TestHost::MapUri(LV2_URID_Map_Handle handle, const char* uri)
{
  auto* host = static_cast<Lv2TestHost*>(handle);
  std::lock_guard<std::mutex> hold(host->mapLock);
  auto found = host->ids.find(uri);
  if (found != host->ids.end())
    return found->second;
  const auto id = static_cast<uint32_t>(host->ids.size() + 1);
  auto placed = host->ids.emplace(uri, id).first;
  host->names.push_back(&placed->first);
  return id;
}

const char* Lv2TestHost::Unmap(uint32_t id)
{
  return UnmapUri(this, id);
}

const char* Lv2TestHost::UnmapUri(LV2_URID_Unmap_Handle handle, LV2_URID id)
{
  auto* host = static_cast<Lv2TestHost*>(handle);
  std::lock_guard<std::mutex> hold(host->mapLock);
  return id >= 1 && id <= host->names.size() ? host->names[id - 1]->c_str() : nullptr;
}

int Lv2TestHost::LogPrintf(LV2_Log_Handle handle, LV2_URID type, const char* format, ...)
{
  va_list args;
  va_start(args, format);
  const int result = LogVprintf(handle, type, format, args);
  va_end(args);
  return result;
}

int Lv2TestHost::LogVprintf(LV2_Log_Handle handle, LV2_URID type, const char* format, va_list args)
{
  auto* host = static_cast<Lv2TestHost*>(handle);
  char line[1024];
  const int result = std::vsnprintf(line, sizeof line, format, args);
  // Traces are a host's to hide; the tests look at what a user is told.
  if (type == host->Map(LV2_LOG__Trace))
    return result;
  std::lock_guard<std::mutex> hold(host->logLock);
  host->logLines.emplace_back(line);
  return result;
}

std::vector<std::string> Lv2TestHost::Log()
{
  std::lock_guard<std::mutex> hold(logLock);
  return logLines;
}

void Lv2TestHost::ClearLog()
{
  std::lock_guard<std::mutex> hold(logLock);
  logLines.clear();
}

LV2_Worker_Status Lv2TestHost::Schedule(LV2_Worker_Schedule_Handle handle, uint32_t size,
                                        const void* data)
{
  // Called from run(): the job is kept and run after the block.
  auto* host = static_cast<Lv2TestHost*>(handle);
  if (size > sizeof host->jobs[0].data || host->jobCount >= 16)
    return LV2_WORKER_ERR_NO_SPACE;
  Job& job = host->jobs[host->jobCount++];
  job.size = size;
  std::memcpy(job.data, data, size);
  return LV2_WORKER_SUCCESS;
}

LV2_Worker_Status Lv2TestHost::Respond(LV2_Worker_Respond_Handle handle, uint32_t size,
                                       const void* data)
{
  auto* host = static_cast<Lv2TestHost*>(handle);
  const auto* bytes = static_cast<const uint8_t*>(data);
  host->responses.emplace_back(bytes, bytes + size);
  return LV2_WORKER_SUCCESS;
}

const LV2UI_Descriptor* Lv2TestHost::EditorDescriptor(std::string& why)
{
  if (!plugin)
    return nullptr;
  // The collection is the caller's to free, with the UIs in it.
  std::unique_ptr<LilvUIs, void (*)(LilvUIs*)> owned(lilv_plugin_get_uis(plugin), lilv_uis_free);
  const LilvUIs* uis = owned.get();
  LilvNode* uri = lilv_new_uri(world, "urn:quillet:quillet:ui");
  const LilvUI* ui = lilv_uis_get_by_uri(uis, uri);
  lilv_node_free(uri);
  if (!ui) {
    why = "the bundle names no urn:quillet:quillet:ui";
    return nullptr;
  }
  LilvNode* x11 = lilv_new_uri(world, LV2_UI__X11UI);
  const bool isX11 = lilv_ui_is_a(ui, x11);
  lilv_node_free(x11);
  if (!isX11) {
    why = "the editor is not an X11 UI";
    return nullptr;
  }
  char* path = lilv_file_uri_parse(lilv_node_as_uri(lilv_ui_get_binary_uri(ui)), nullptr);
  // The plug-in's own binary, which lilv has loaded already: the same image.
  void* binary = editorBinary ? editorBinary : dlopen(path, RTLD_NOW | RTLD_LOCAL);
  lilv_free(path);
  if (!binary) {
    why = dlerror();
    return nullptr;
  }
  editorBinary = binary;
  using Entry = const LV2UI_Descriptor* (*)(uint32_t);
  auto entry = reinterpret_cast<Entry>(dlsym(binary, "lv2ui_descriptor"));
  if (!entry) {
    why = "the binary exports no lv2ui_descriptor";
    return nullptr;
  }
  return entry(0);
}

void Lv2TestHost::Activate()
{
  if (instance && !active) {
    lilv_instance_activate(instance);
    active = true;
  }
}

void Lv2TestHost::Deactivate()
{
  if (instance && active) {
    lilv_instance_deactivate(instance);
    active = false;
  }
}

void Lv2TestHost::QueueMidi(std::vector<uint8_t> bytes, int64_t frame)
{
  pending.push_back({frame, midiType, std::move(bytes)});
}

void Lv2TestHost::QueueAtom(uint32_t type, std::vector<uint8_t> body, int64_t frame)
{
  pending.push_back({frame, type, std::move(body)});
}

void Lv2TestHost::QueuePosition(float speed, int64_t frame)
{
  // A time:Position object with the speed and the frame of the transport.
  std::vector<uint8_t> body;
  const LV2_Atom_Object_Body head{0, Map(LV2_TIME__Position)};
  AppendBytes(body, &head, sizeof head);
  const uint32_t speedKey = Map(LV2_TIME__speed);
  const uint32_t zero = 0;
  AppendBytes(body, &speedKey, 4);
  AppendBytes(body, &zero, 4);
  const LV2_Atom_Float speedAtom{{sizeof(float), Map(LV2_ATOM__Float)}, speed};
  AppendBytes(body, &speedAtom, sizeof speedAtom);
  body.resize((body.size() + 7) & ~size_t{7}, 0);
  const uint32_t frameKey = Map(LV2_TIME__frame);
  AppendBytes(body, &frameKey, 4);
  AppendBytes(body, &zero, 4);
  // A 64-bit frame counter, as a host keeps it: it wraps rather than
  // overflows for a frame far out.
  const auto position =
      static_cast<int64_t>(static_cast<uint64_t>(framesRun) + static_cast<uint64_t>(frame));
  const LV2_Atom_Long frameAtom{{sizeof(int64_t), Map(LV2_ATOM__Long)}, position};
  AppendBytes(body, &frameAtom, sizeof frameAtom);
  pending.push_back({frame, Map(LV2_ATOM__Object), std::move(body)});
}

namespace {

// An object's body (what follows its atom header), made by the forge.
std::vector<uint8_t> ObjectBody(LV2_URID_Map* map, uint32_t otype, uint32_t property,
                                const std::string* path)
{
  std::vector<uint8_t> buffer(path ? path->size() + 256 : 256);
  LV2_Atom_Forge forge;
  lv2_atom_forge_init(&forge, map);
  lv2_atom_forge_set_buffer(&forge, buffer.data(), buffer.size());
  LV2_Atom_Forge_Frame frame;
  lv2_atom_forge_object(&forge, &frame, 0, otype);
  if (property) {
    lv2_atom_forge_key(&forge, map->map(map->handle, LV2_PATCH__property));
    lv2_atom_forge_urid(&forge, property);
  }
  if (path) {
    lv2_atom_forge_key(&forge, map->map(map->handle, LV2_PATCH__value));
    lv2_atom_forge_path(&forge, path->c_str(), static_cast<uint32_t>(path->size()));
  }
  lv2_atom_forge_pop(&forge, &frame);
  const auto* atom = reinterpret_cast<const LV2_Atom*>(buffer.data());
  return std::vector<uint8_t>(buffer.begin() + sizeof(LV2_Atom),
                              buffer.begin() + sizeof(LV2_Atom) + atom->size);
}

} // namespace

void Lv2TestHost::QueuePatchSet(const char* property, const std::string& path)
{
  pending.push_back(
      {0, Map(LV2_ATOM__Object), ObjectBody(&map, Map(LV2_PATCH__Set), Map(property), &path)});
}

void Lv2TestHost::QueuePatchGet(const char* property)
{
  pending.push_back({0, Map(LV2_ATOM__Object),
                     ObjectBody(&map, Map(LV2_PATCH__Get), property ? Map(property) : 0, nullptr)});
}

std::vector<std::string> Lv2TestHost::TakeReports()
{
  std::vector<std::string> taken;
  taken.swap(reports);
  return taken;
}

void Lv2TestHost::BuildInput()
{
  std::vector<uint8_t> bytes;
  if (useRawInput) {
    bytes = rawInput;
  } else {
    if (sortQueued)
      std::stable_sort(pending.begin(), pending.end(),
                       [](const Pending& a, const Pending& b) { return a.frame < b.frame; });
    LV2_Atom_Sequence head{};
    head.atom.type = sequenceType;
    AppendBytes(bytes, &head, sizeof head);
    for (const Pending& event : pending) {
      LV2_Atom_Event header{};
      header.time.frames = event.frame;
      header.body.size = static_cast<uint32_t>(event.body.size());
      header.body.type = event.type;
      AppendBytes(bytes, &header, sizeof header);
      AppendBytes(bytes, event.body.data(), event.body.size());
      bytes.resize((bytes.size() + 7) & ~size_t{7}, 0);
    }
    auto* sequence = reinterpret_cast<LV2_Atom_Sequence*>(bytes.data());
    sequence->atom.size = static_cast<uint32_t>(bytes.size() - sizeof(LV2_Atom));
  }
  pending.clear();
  const size_t words = (bytes.size() + 7) / 8 + 1;
  if (input.size() < words) {
    input.assign(words, 0);
    lilv_instance_connect_port(instance, 0, input.data());
  }
  std::memcpy(input.data(), bytes.data(), bytes.size());
}

void Lv2TestHost::ReadOutput()
{
  const auto* sequence = reinterpret_cast<const LV2_Atom_Sequence*>(output.data());
  if (sequence->atom.type != sequenceType)
    return;
  LV2_ATOM_SEQUENCE_FOREACH(sequence, event)
  {
    if (event->body.type == Map(LV2_ATOM__Object)) {
      const LV2_Atom* property = nullptr;
      const LV2_Atom* value = nullptr;
      lv2_atom_object_get(reinterpret_cast<const LV2_Atom_Object*>(&event->body),
                          Map(LV2_PATCH__property), &property, Map(LV2_PATCH__value), &value, 0);
      if (reinterpret_cast<const LV2_Atom_Object*>(&event->body)->body.otype ==
              Map(LV2_PATCH__Set) &&
          property && value && property->type == Map(LV2_ATOM__URID) &&
          value->type == Map(LV2_ATOM__Path))
        reports.push_back(
            std::string(Unmap(reinterpret_cast<const LV2_Atom_URID*>(property)->body)) + "=" +
            static_cast<const char*>(LV2_ATOM_BODY_CONST(value)));
      continue;
    }
    if (event->body.type != midiType)
      continue;
    const auto* bytes = static_cast<const uint8_t*>(LV2_ATOM_BODY_CONST(&event->body));
    received.push_back(
        {framesRun + event->time.frames, std::vector<uint8_t>(bytes, bytes + event->body.size)});
  }
}

void Lv2TestHost::Run(uint32_t frames)
{
  if (!instance)
    return;
  BuildInput();
  // An output port's size is the room the host gives it.
  auto* out = reinterpret_cast<LV2_Atom*>(output.data());
  out->type = chunkType;
  out->size = config.outCapacity - static_cast<uint32_t>(sizeof(LV2_Atom));
  if (aroundRun)
    aroundRun(true);
  lilv_instance_run(instance, frames);
  if (aroundRun)
    aroundRun(false);
  ReadOutput();
  framesRun += frames;
  const auto* worker = static_cast<const LV2_Worker_Interface*>(
      lilv_instance_get_extension_data(instance, LV2_WORKER__interface));
  const int count = jobCount;
  jobCount = 0;
  for (int i = 0; i < count; ++i) {
    ++workerJobs;
    if (worker && worker->work)
      worker->work(lilv_instance_get_handle(instance), &Lv2TestHost::Respond, this, jobs[i].size,
                   jobs[i].data);
  }
  // The responses, as a host hands them over beside run().
  for (const std::vector<uint8_t>& response : responses)
    if (worker && worker->work_response)
      worker->work_response(lilv_instance_get_handle(instance),
                            static_cast<uint32_t>(response.size()), response.data());
  responses.clear();
}

void Lv2TestHost::RunBlocks(int count, uint32_t frames)
{
  for (int i = 0; i < count; ++i)
    Run(frames);
}

namespace {

struct StoreContext
{
  std::map<uint32_t, Property>* state;
};

LV2_State_Status StoreProperty(LV2_State_Handle handle, uint32_t key, const void* value,
                               size_t size, uint32_t type, uint32_t /*flags*/)
{
  auto* state = static_cast<std::map<uint32_t, Property>*>(handle);
  Property& property = (*state)[key];
  property.type = type;
  const auto* bytes = static_cast<const uint8_t*>(value);
  property.value.assign(bytes, bytes + size);
  return LV2_STATE_SUCCESS;
}

const void* RetrieveProperty(LV2_State_Handle handle, uint32_t key, size_t* size, uint32_t* type,
                             uint32_t* flags)
{
  const auto* state = static_cast<const std::map<uint32_t, Property>*>(handle);
  auto found = state->find(key);
  if (found == state->end())
    return nullptr;
  *size = found->second.value.size();
  *type = found->second.type;
  *flags = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;
  // A property without bytes still answers: with a pointer that is not null.
  static const uint8_t none = 0;
  return found->second.value.empty() ? &none : found->second.value.data();
}

} // namespace

LV2_State_Status Lv2TestHost::Save(std::map<uint32_t, Property>& state)
{
  const auto* iface = static_cast<const LV2_State_Interface*>(
      lilv_instance_get_extension_data(instance, LV2_STATE__interface));
  if (!iface)
    return LV2_STATE_ERR_NO_FEATURE;
  return iface->save(lilv_instance_get_handle(instance), &StoreProperty, &state,
                     LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE, features.data());
}

LV2_State_Status Lv2TestHost::Restore(const std::map<uint32_t, Property>& state)
{
  const auto* iface = static_cast<const LV2_State_Interface*>(
      lilv_instance_get_extension_data(instance, LV2_STATE__interface));
  if (!iface)
    return LV2_STATE_ERR_NO_FEATURE;
  return iface->restore(lilv_instance_get_handle(instance), &RetrieveProperty,
                        const_cast<std::map<uint32_t, Property>*>(&state), 0, features.data());
}

std::vector<uint8_t> Lv2TestHost::SavedBank()
{
  std::map<uint32_t, Property> state;
  if (Save(state) != LV2_STATE_SUCCESS)
    return {};
  return state[Map("urn:quillet:quillet:bank")].value;
}

} // namespace lv2test
