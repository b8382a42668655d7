#include "lv2/Lv2FileParameters.h"

#include "files/PresetFile.h"
#include "files/SyxFile.h"
#include "lv2/Lv2Adapter.h"
#include "lv2/Lv2EventBridge.h"
#include "lv2/Lv2Objects.h"
#include "model/SysEx.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

namespace {

constexpr const char* kLabels[] = {lv2names::kSysExFileLabel, lv2names::kPresetFileLabel};

} // namespace

Lv2FileParameters::Lv2FileParameters(Lv2Adapter& adapter_, const Lv2Uris& uris_,
                                     const LV2_URID_Map& map)
    : adapter(adapter_), uris(uris_)
{
  lv2_atom_forge_init(&forge, const_cast<LV2_URID_Map*>(&map));
}

uint32_t Lv2FileParameters::ParameterOf(uint32_t urid) const noexcept
{
  if (urid == uris.sysexFile)
    return kSysEx;
  if (urid == uris.presetFile)
    return kPreset;
  return kParameters;
}

// ------------------------------------------------------------ audio thread

void Lv2FileParameters::Take(const LV2_Atom* object, const LV2_Worker_Schedule* schedule) noexcept
{
  const uint32_t otype = reinterpret_cast<const LV2_Atom_Object*>(object)->body.otype;
  if (otype != uris.patchSet && otype != uris.patchGet)
    return;
  const LV2_Atom* property = nullptr;
  const LV2_Atom* value = nullptr;
  lv2objects::ForEachProperty(object, [&](uint32_t key, const LV2_Atom* atom) {
    if (key == uris.patchProperty)
      property = atom;
    else if (key == uris.patchValue)
      value = atom;
  });
  uint32_t parameter = kParameters;
  if (property && property->type == uris.atomUrid && property->size >= sizeof(LV2_URID))
    parameter = ParameterOf(reinterpret_cast<const LV2_Atom_URID*>(property)->body);

  if (otype == uris.patchGet) {
    // Without a property: every parameter; one that is not ours: none.
    if (!property)
      due = (1u << kParameters) - 1;
    else if (parameter < kParameters)
      due |= 1u << parameter;
    return;
  }
  if (parameter >= kParameters || !value || value->type != uris.atomPath || !schedule)
    return;
  // A path is a string and its terminating zero, within the atom's size.
  const auto* text = static_cast<const char*>(LV2_ATOM_BODY_CONST(value));
  const void* zero = std::memchr(text, 0, value->size);
  if (!zero || zero == text)
    return;
  const auto length = static_cast<uint32_t>(static_cast<const char*>(zero) - text);
  Job header{parameter, length > kMaxPathBytes ? kTooLong : length};
  std::memcpy(job, &header, sizeof header);
  uint32_t size = sizeof header;
  if (header.pathBytes != kTooLong) {
    std::memcpy(job + sizeof header, text, length + 1);
    size += length + 1;
  }
  schedule->schedule_work(schedule->handle, size, job);
}

void Lv2FileParameters::Taken(uint32_t size, const void* data) noexcept
{
  Job header{};
  if (!data || size < sizeof header)
    return;
  std::memcpy(&header, data, sizeof header);
  if ((header.parameter & kRefused) && (header.parameter & ~kRefused) < kParameters) {
    due |= 1u << (header.parameter & ~kRefused);
    return;
  }
  if (header.parameter >= kParameters || header.pathBytes > kMaxPathBytes ||
      size != sizeof header + header.pathBytes + 1)
    return;
  std::memcpy(taken[header.parameter], static_cast<const uint8_t*>(data) + sizeof header,
              header.pathBytes);
  taken[header.parameter][header.pathBytes] = '\0';
  takenBytes[header.parameter] = header.pathBytes;
  due |= 1u << header.parameter;
}

void Lv2FileParameters::Report(Lv2EventBridge& bridge) noexcept
{
  if (editorFull.load(std::memory_order_acquire)) {
    std::memcpy(taken[editorParameter], editorPath, editorPathBytes + 1);
    takenBytes[editorParameter] = editorPathBytes;
    due |= 1u << editorParameter;
    editorFull.store(false, std::memory_order_release);
  }
  for (uint32_t parameter = 0; parameter < kParameters && due; ++parameter) {
    const uint32_t bit = 1u << parameter;
    if (!(due & bit))
      continue;
    // Nothing taken yet: nothing to tell.
    if (takenBytes[parameter] == 0) {
      due &= ~bit;
      continue;
    }
    lv2_atom_forge_set_buffer(&forge, report, sizeof report);
    LV2_Atom_Forge_Frame frame;
    lv2_atom_forge_object(&forge, &frame, 0, uris.patchSet);
    lv2_atom_forge_key(&forge, uris.patchProperty);
    lv2_atom_forge_urid(&forge, parameter == kSysEx ? uris.sysexFile : uris.presetFile);
    lv2_atom_forge_key(&forge, uris.patchValue);
    lv2_atom_forge_path(&forge, taken[parameter], takenBytes[parameter]);
    lv2_atom_forge_pop(&forge, &frame);
    if (!bridge.AppendAtom(0, reinterpret_cast<const LV2_Atom*>(report)))
      return;
    due &= ~bit;
  }
}

// --------------------------------------------------------------- GUI thread

bool Lv2FileParameters::EditorTook(bool sysex, const char* path) noexcept
{
  if (editorFull.load(std::memory_order_acquire))
    return false;
  const size_t length = path ? std::strlen(path) : 0;
  if (length == 0 || length > kMaxPathBytes)
    return true;
  editorParameter = sysex ? kSysEx : kPreset;
  editorPathBytes = static_cast<uint32_t>(length);
  std::memcpy(editorPath, path, length + 1);
  editorFull.store(true, std::memory_order_release);
  return true;
}

// ------------------------------------------------------------------ worker

bool Lv2FileParameters::IsJob(uint32_t size) noexcept
{
  return size >= sizeof(Job);
}

LV2_Worker_Status Lv2FileParameters::Work(LV2_Worker_Respond_Function respond,
                                          LV2_Worker_Respond_Handle handle, uint32_t size,
                                          const void* data)
{
  Job header{};
  if (!data || size < sizeof header)
    return LV2_WORKER_ERR_UNKNOWN;
  std::memcpy(&header, data, sizeof header);
  if (header.parameter >= kParameters ||
      (header.pathBytes != kTooLong &&
       (header.pathBytes > kMaxPathBytes || size != sizeof header + header.pathBytes + 1)))
    return LV2_WORKER_ERR_UNKNOWN;
  const char* label = kLabels[header.parameter];
  bool loaded = false;
  if (header.pathBytes == kTooLong) {
    adapter.LogError("Quillet: \"%s\" not loaded, nothing changed: its path is longer than %u "
                     "bytes\n",
                     label, kMaxPathBytes);
  } else {
    const std::string path(static_cast<const char*>(data) + sizeof header, header.pathBytes);
    std::string error;
    loaded = header.parameter == kSysEx ? LoadSyx(path, error) : LoadPreset(path, error);
    if (!loaded)
      adapter.LogError("Quillet: \"%s\" not loaded, nothing changed: %s\n", label, error.c_str());
  }
  if (!respond)
    return LV2_WORKER_SUCCESS;
  // A refusal is answered too: the host's chooser, which shows the refused
  // file by now, is told the last file taken again.
  const Job refused{header.parameter | kRefused, 0};
  if (loaded)
    respond(handle, size, data);
  else
    respond(handle, sizeof refused, &refused);
  return LV2_WORKER_SUCCESS;
}

bool Lv2FileParameters::LoadSyx(const std::string& path, std::string& error)
{
  std::unique_ptr<const SysExSet> set;
  if (!files::ReadSyxFile(path, set, error))
    return false;
  // Handed over as the chunk stores a program's SysEx (model/SysEx.h).
  std::vector<uint8_t> section(static_cast<size_t>(SysExSectionBytes(set.get())));
  WriteSysExSection(set.get(), section.data());
  if (adapter.Dispatch(effVendorSpecific, kQuilletReplaceSysEx,
                       static_cast<VstIntPtr>(section.size()), section.data()) != 1) {
    error = path + ": the plug-in did not take its " + std::to_string(set->Count()) + " messages";
    return false;
  }
  return true;
}

bool Lv2FileParameters::LoadPreset(const std::string& path, std::string& error)
{
  files::PresetFile preset;
  if (!files::ReadPresetFileFor(path, adapter.Effect()->uniqueID, preset, error))
    return false;
  bool loaded = false;
  if (preset.chunk.size() <= static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
    loaded = preset.bank
                 ? adapter.LoadBank(preset.chunk.data(), preset.chunk.size(),
                                    std::clamp(preset.currentProgram, 0, 127))
                 : adapter.Dispatch(effSetChunk, 1, static_cast<VstIntPtr>(preset.chunk.size()),
                                    preset.chunk.data()) == 1;
  }
  if (!loaded)
    error = path + ": the plug-in refused its " + (preset.bank ? "bank" : "program") +
            " chunk of " + std::to_string(preset.chunk.size()) + " bytes";
  return loaded;
}
