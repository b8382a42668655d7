#include "files/PresetFile.h"

#include "files/FileBytes.h"

#include <cstdio>
#include <cstring>
#include <utility>

namespace files {

namespace {

constexpr uint32_t Code(const char (&text)[5])
{
  return (static_cast<uint32_t>(static_cast<uint8_t>(text[0])) << 24) |
         (static_cast<uint32_t>(static_cast<uint8_t>(text[1])) << 16) |
         (static_cast<uint32_t>(static_cast<uint8_t>(text[2])) << 8) |
         static_cast<uint32_t>(static_cast<uint8_t>(text[3]));
}

constexpr size_t kCommonHeader = 28;
constexpr size_t kBankHeader = kCommonHeader + 4 + 124 + 4;
constexpr size_t kProgramHeader = kCommonHeader + 28 + 4;

void Put(std::vector<uint8_t>& out, uint32_t word)
{
  for (int shift = 24; shift >= 0; shift -= 8)
    out.push_back(static_cast<uint8_t>(word >> shift));
}

uint32_t Get(const std::vector<uint8_t>& in, size_t at)
{
  return (static_cast<uint32_t>(in[at]) << 24) | (static_cast<uint32_t>(in[at + 1]) << 16) |
         (static_cast<uint32_t>(in[at + 2]) << 8) | static_cast<uint32_t>(in[at + 3]);
}

} // namespace

std::vector<uint8_t> EncodePreset(const PresetFile& preset)
{
  std::vector<uint8_t> out;
  Put(out, Code("CcnK"));
  Put(out, 0); // the byte size, filled in below
  Put(out, preset.bank ? Code("FBCh") : Code("FPCh"));
  Put(out, preset.bank ? 2 : 1);
  Put(out, static_cast<uint32_t>(preset.uniqueId));
  Put(out, static_cast<uint32_t>(preset.pluginVersion));
  Put(out, static_cast<uint32_t>(preset.numPrograms));
  if (preset.bank) {
    Put(out, static_cast<uint32_t>(preset.currentProgram));
    out.insert(out.end(), 124, 0);
  } else {
    char name[28] = {};
    std::strncpy(name, preset.name.c_str(), sizeof name - 1);
    out.insert(out.end(), name, name + sizeof name);
  }
  Put(out, static_cast<uint32_t>(preset.chunk.size()));
  out.insert(out.end(), preset.chunk.begin(), preset.chunk.end());
  const uint32_t rest = static_cast<uint32_t>(out.size() - 8);
  for (int i = 0; i < 4; ++i)
    out[4 + static_cast<size_t>(i)] = static_cast<uint8_t>(rest >> (24 - 8 * i));
  return out;
}

bool DecodePreset(const std::vector<uint8_t>& bytes, PresetFile& preset, std::string& error)
{
  if (bytes.size() < kCommonHeader || Get(bytes, 0) != Code("CcnK")) {
    error = "not a VST preset file (no 'CcnK' header)";
    return false;
  }
  const uint32_t rest = Get(bytes, 4);
  if (rest != bytes.size() - 8) {
    error = "the file is " + std::to_string(bytes.size()) + " bytes but its header announces " +
            std::to_string(static_cast<uint64_t>(rest) + 8) + " (truncated or damaged)";
    return false;
  }
  const uint32_t kind = Get(bytes, 8);
  if (kind != Code("FBCh") && kind != Code("FPCh")) {
    error = "not an opaque-chunk preset (only 'FBCh' banks and 'FPCh' programs are supported)";
    return false;
  }
  preset.bank = kind == Code("FBCh");
  preset.uniqueId = static_cast<int32_t>(Get(bytes, 16));
  preset.pluginVersion = static_cast<int32_t>(Get(bytes, 20));
  preset.numPrograms = static_cast<int32_t>(Get(bytes, 24));
  const size_t header = preset.bank ? kBankHeader : kProgramHeader;
  if (bytes.size() < header) {
    error = "the file ends inside its header";
    return false;
  }
  if (preset.bank) {
    preset.currentProgram = static_cast<int32_t>(Get(bytes, 28));
    preset.name.clear();
  } else {
    const char* name = reinterpret_cast<const char*>(bytes.data() + kCommonHeader);
    preset.name.assign(name, strnlen(name, 28));
  }
  const uint32_t size = Get(bytes, header - 4);
  if (size != bytes.size() - header) {
    error = "the chunk announces " + std::to_string(size) + " bytes but the file holds " +
            std::to_string(bytes.size() - header);
    return false;
  }
  preset.chunk.assign(bytes.begin() + static_cast<std::ptrdiff_t>(header), bytes.end());
  return true;
}

bool ReadPresetFile(const std::string& path, PresetFile& preset, std::string& error)
{
  std::vector<uint8_t> bytes;
  if (!ReadFileBytes(path, bytes, error))
    return false;
  if (!DecodePreset(bytes, preset, error)) {
    error = path + ": " + error;
    return false;
  }
  return true;
}

bool ReadPresetFileFor(const std::string& path, int32_t uniqueId, PresetFile& preset,
                       std::string& error)
{
  PresetFile read;
  if (!ReadPresetFile(path, read, error))
    return false;
  if (read.uniqueId != uniqueId) {
    char ids[64];
    std::snprintf(ids, sizeof ids, "0x%08X, the plug-in is 0x%08X",
                  static_cast<uint32_t>(read.uniqueId), static_cast<uint32_t>(uniqueId));
    error = path + " belongs to another plug-in (unique id " + ids + ")";
    return false;
  }
  preset = std::move(read);
  return true;
}

bool ReadPresetFileOfKind(const std::string& path, int32_t uniqueId, bool bank, PresetFile& preset,
                          std::string& error)
{
  PresetFile read;
  if (!ReadPresetFileFor(path, uniqueId, read, error))
    return false;
  if (read.bank != bank) {
    error = path + " is a " + (read.bank ? "bank" : "program") + " file, not a " +
            (bank ? "bank" : "program") + " file";
    return false;
  }
  preset = std::move(read);
  return true;
}

bool WritePresetFile(const std::string& path, const PresetFile& preset, std::string& error)
{
  return WriteFileBytes(path, EncodePreset(preset), error);
}

} // namespace files
