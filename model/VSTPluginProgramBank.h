// VSTPluginProgramBank: the 128 program records back to back, exactly the
// layout of the bank chunk, and the readers of the four chunk formats.
//
// A chunk carries no header: it is recognised by its size alone.
//   35,328 bytes  current bank (128 records of 276 bytes)
//   33,808 bytes  older bank (128 records of 264 bytes, then a 16-byte trailer
//                 with the global options)
//      276 bytes  current program
//      264 bytes  older program (no send-on-init and no delays)
// Larger chunks come from a newer version: the known part is loaded and the
// user is told that some settings are lost. The one larger size this version
// writes itself is the current layout followed by the extension block
// (ProgramExtension.h): 43,544 bytes for a bank, 364 for a program, which
// load without a message when the block's magic and version are ours. The
// block is written only when its settings are in use, so a chunk without
// them stays byte for byte what it always was.
//
// Threads: records are read and written field by field from host, editor,
// countdown and audio threads (see FieldAccess.h); a chunk load copies whole
// records on the thread that calls setChunk, field by field as well, so that
// the other threads see every field either as it was or as loaded.
#pragma once

#include "model/ProgramExtension.h"
#include "model/VSTPluginProgram.h"

constexpr int kBankPrograms = 128;

class VSTPluginProgramBank
{
public:
  static constexpr int32_t kBankBytes = static_cast<int32_t>(sizeof(VSTPluginProgram)) * 128;
  static constexpr int32_t kOlderBankBytes = 33808;
  static constexpr int32_t kProgramBytes = static_cast<int32_t>(sizeof(VSTPluginProgram));
  static constexpr int32_t kOlderProgramBytes = 264;
  static constexpr int32_t kExtendedBankBytes = kBankBytes + kBankExtensionBytes;
  static constexpr int32_t kExtendedProgramBytes = kProgramBytes + kProgramExtensionBytes;

  VSTPluginProgramBank() = default;

  VSTPluginProgram& operator[](int index) { return programs[index]; }
  const VSTPluginProgram& operator[](int index) const { return programs[index]; }
  VSTPluginProgram* Data() { return programs; }

  // The kinds of program `index`'s messages, beside its record.
  ProgramExtension& Extension(int index) { return extensions[index]; }
  const ProgramExtension& Extension(int index) const { return extensions[index]; }
  // The global settings of the extension (each field through field::).
  ExtensionSettings& Settings() { return settings; }
  const ExtensionSettings& Settings() const { return settings; }

  // True when a chunk of the bank / of program `index` needs the extension:
  // a kind in use there, a spacing or settle time, or send on play.
  bool ExtensionInUse() const;
  bool ExtensionInUse(int index) const;
  // Lays out the records followed by the extension in `out`
  // (kExtendedBankBytes / kExtendedProgramBytes).
  void WriteExtendedBank(uint8_t* out) const;
  void WriteExtendedProgram(uint8_t* out, int index) const;

  // Load a bank chunk or a program chunk into program `index`. Both return 1
  // when something was loaded and 0 when the chunk was refused (too short,
  // or a size that cannot be read without going past its end); a refused
  // chunk changes nothing. `newer` is set when the chunk is larger than
  // this version can read whole (what it knows was loaded; the caller tells
  // the user that some settings are lost).
  int32_t readBank(const void* data, int32_t size, bool& newer);
  int32_t readProgram(const void* data, int32_t size, int index, bool& newer);

private:
  // After a load: names terminated inside their field, alignment bytes zero.
  static void Tidy(VSTPluginProgram& program);
  // Record `index` with its first `size` bytes taken from a chunk; a chunk
  // load stores it over the live record with CopyProgram.
  VSTPluginProgram Incoming(int index, const uint8_t* bytes, int32_t size) const;
  // Reads the extension block that starts at `bytes` (`size` bytes left of
  // the chunk) for `count` programs from `first`: true when its magic is
  // ours, its version at least 1 and it is complete, and then it is loaded
  // (a program's block carries the bank's settings too). Otherwise the kinds
  // of those programs are reset, and for a whole bank the settings as well:
  // one program without the block leaves the bank's pacing alone.
  bool ReadExtension(const uint8_t* bytes, int32_t size, int first, int count);
  void ResetKinds(int first, int count);
  void ResetExtension(int first, int count);
  void WriteHeader(uint8_t* out) const;

  VSTPluginProgram programs[kBankPrograms];
  ProgramExtension extensions[kBankPrograms] = {};
  ExtensionSettings settings = {};
};

static_assert(sizeof(VSTPluginProgram) * kBankPrograms == 35328);

// The plug-in's version, shown to users as 1.01.
constexpr int32_t kPluginVersion = 101;
