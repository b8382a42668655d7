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
// user is told that some settings are lost. The larger chunks this version
// writes itself are the current layout followed by the extension block
// (ProgramExtension.h): version 1, 43,544 bytes for a bank, 364 for a
// program; version 2 with its tail after that (wide messages, the SysEx
// gap, each program's SysEx, and from version 4 each program's don't-care
// bytes), of the size the tail says. They load without
// a message when the block's magic and version are ours and the tail ends
// where the chunk does. The block is written only when its settings are in
// use, and the tail only when its own are (a wide kind, SysEx, a SysEx
// gap), so a chunk without them stays byte for byte what it always was.
//
// The bank keeps the records, the kinds (with the wide fields) and the
// settings. Each program's SysEx is the engine's (it publishes the sets the
// audio thread sends from): a load hands the sets it read out, a save takes
// them in.
//
// Threads: records are read and written field by field from host, editor,
// countdown and audio threads (see FieldAccess.h); a chunk load copies whole
// records on the thread that calls setChunk, field by field as well, so that
// the other threads see every field either as it was or as loaded, and a
// chunk save copies them field by field into a chunk of its own (a
// snapshot, never the live records).
#pragma once

#include "model/ProgramExtension.h"
#include "model/SysEx.h"
#include "model/VSTPluginProgram.h"

#include <array>
#include <memory>
#include <vector>

constexpr int kBankPrograms = 128;

// The SysEx of every program, as a bank load hands it out (nullptr: none).
using LoadedSysEx = std::array<std::unique_ptr<const SysExSet>, kBankPrograms>;

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

  // The kinds of program `index`'s messages, beside its record.
  ProgramExtension& Extension(int index) { return extensions[index]; }
  const ProgramExtension& Extension(int index) const { return extensions[index]; }
  // The global settings of the extension (each field through field::).
  ExtensionSettings& Settings() { return settings; }
  const ExtensionSettings& Settings() const { return settings; }

  // `sysex`: the programs' SysEx (an array of 128 for the bank, one set for
  // a program; nullptr: none).
  // The chunk of the bank / of program `index`, as it is saved: the records
  // alone when the extension is not in use, else followed by it (version
  // 2 with its tail when a version-2 setting is in use). `sysex` as above.
  // A snapshot: every field read once with field::Load at its own width,
  // without a lock, so that any thread may write fields meanwhile and the
  // chunk holds each as it was or as written, never part of both.
  std::vector<uint8_t> WriteBank(const SysExSet* const* sysex = nullptr) const;
  std::vector<uint8_t> WriteProgram(int index, const SysExSet* sysex = nullptr) const;

  // Load a bank chunk or a program chunk into program `index`. Both return 1
  // when something was loaded and 0 when the chunk was refused (too short,
  // or a size that cannot be read without going past its end); a refused
  // chunk changes nothing. `newer` is set when the chunk is larger than
  // this version can read whole (what it knows was loaded; the caller tells
  // the user that some settings are lost). `sysex` (may be nullptr) gets
  // the SysEx the chunk holds for each program it loaded, nullptr for none;
  // a tail that is refused gives none, and its wide messages are off. A
  // program chunk leaves the bank's pacing (Settings) as it was.
  int32_t readBank(const void* data, int32_t size, bool& newer, LoadedSysEx* sysex = nullptr);
  int32_t readProgram(const void* data, int32_t size, int index, bool& newer,
                      std::unique_ptr<const SysExSet>* sysex = nullptr);

private:
  // After a load: names terminated inside their field, alignment bytes zero.
  static void Tidy(VSTPluginProgram& program);
  // Record `index` with its first `size` bytes taken from a chunk; a chunk
  // load stores it over the live record with CopyProgram.
  VSTPluginProgram Incoming(int index, const uint8_t* bytes, int32_t size) const;
  // Reads the extension block that starts at `bytes` (`size` bytes left of
  // the chunk) for `count` programs from `first`. Its version-1 part is
  // loaded when its magic is ours, its version at least 1 and the part
  // complete; otherwise the kinds of those programs are reset, and for a
  // whole bank the settings as well. The settings (spacing, settle, send on
  // play, the SysEx gap) are the bank's: one program never changes them,
  // with the block (which carries those of the bank it came from) or
  // without. From version 2 on the tail follows (ReadTail). True when
  // the chunk was read whole: no extension at all, or ours to its end.
  // `sysex` gets `count` sets.
  bool ReadExtension(const uint8_t* bytes, int32_t size, int first, int count,
                     std::unique_ptr<const SysExSet>* sysex);
  // The tail at `bytes`: true when it is whole and every section within
  // its limits, and then it is loaded and `used` is its size. Otherwise
  // nothing is loaded.
  bool ReadTail(const uint8_t* bytes, int32_t size, int first, int count,
                std::unique_ptr<const SysExSet>* sysex, int32_t& used, int32_t version);
  // A wide kind without its tail is off, as a version-1 build sees it.
  void SwitchOffWide(int first, int count);
  void ResetKinds(int first, int count);
  void ResetExtension(int first, int count);
  // The send settings of version 3 (verify, retries, changes only, DIN
  // speed): back to their defaults / any of them not at its default.
  void ResetSendSettings();
  bool SendSettingsInUse() const;
  // The one layout of both chunks: `count` programs from `first` (128 from
  // 0 for the bank), `sysex` one set per program written (or nullptr).
  bool TailInUse(int first, int count, const SysExSet* const* sysex) const;
  // A program of `sysex` (`count` sets, or nullptr) has a don't-care byte:
  // the tail is version 4.
  static bool DontCareInUse(int count, const SysExSet* const* sysex);
  bool InUse(int first, int count, const SysExSet* const* sysex) const;
  std::vector<uint8_t> WriteChunk(int first, int count, const SysExSet* const* sysex) const;

  VSTPluginProgram programs[kBankPrograms];
  ProgramExtension extensions[kBankPrograms] = {};
  ExtensionSettings settings = {};
};

static_assert(sizeof(VSTPluginProgram) * kBankPrograms == 35328);

// The plug-in's version, shown to users as 1.01.
constexpr int32_t kPluginVersion = 101;
