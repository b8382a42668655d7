// The standard preset files of VST 2 hosts, in their opaque-chunk variants:
// a bank file (.fxb) holds the plug-in's bank chunk, a program file (.fxp)
// one program chunk. Every header word is a big-endian 32-bit integer.
//
//   'CcnK', byte size of the rest (file size - 8), 'FBCh' or 'FPCh',
//   format version (2 for a bank, 1 for a program), the plug-in's unique id,
//   the plug-in's version, the number of programs;
//   a program file: a 28-byte name; a bank file: the current program and 124
//   reserved zero bytes;
//   the chunk size, then the chunk.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace files {

struct PresetFile
{
  bool bank = true;
  int32_t uniqueId = 0;
  int32_t pluginVersion = 0;
  int32_t numPrograms = 0;
  int32_t currentProgram = 0; // bank files
  std::string name;           // program files (at most 27 characters)
  std::vector<uint8_t> chunk;
};

std::vector<uint8_t> EncodePreset(const PresetFile& preset);
// False (with a one-line reason) for anything that is not a complete
// preset file of the opaque-chunk kind.
bool DecodePreset(const std::vector<uint8_t>& bytes, PresetFile& preset, std::string& error);

// Reads and decodes a preset file: false with one line "PATH: reason" for a
// file that cannot be read (files/FileBytes.h) or is no preset file.
bool ReadPresetFile(const std::string& path, PresetFile& preset, std::string& error);
// Reads a preset file meant for the plug-in with `uniqueId`: as
// ReadPresetFile, and also false ("PATH belongs to another plug-in (unique
// id 0x..., the plug-in is 0x...)") for a file of another plug-in. The
// caller tells a bank from a program by `preset.bank`.
bool ReadPresetFileFor(const std::string& path, int32_t uniqueId, PresetFile& preset,
                       std::string& error);
// Reads a preset file of one kind meant for the plug-in with `uniqueId`
// (a bank file when `bank`, else a program file): as ReadPresetFileFor,
// and also false ("PATH is a program file, not a bank file") for a file of
// the other kind. The editor's Load and quillet-host read by kind.
bool ReadPresetFileOfKind(const std::string& path, int32_t uniqueId, bool bank, PresetFile& preset,
                          std::string& error);
bool WritePresetFile(const std::string& path, const PresetFile& preset, std::string& error);

} // namespace files
