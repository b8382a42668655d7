// Fuzz target: bank and program chunks, handed to a fresh plug-in through
// effSetChunk as a host restores a project.
//
// Input layout (every read past the end gives 0):
//   byte 0      bit 0: program chunk (else bank); bits 1-2: the host
//               (plain, one whose product contains "Bidule", a silent one,
//               one that writes a 63-character product string);
//               bits 3-5: how the chunk is made (below)
//   byte 1..    a few set-up steps (current program, options, delays,
//               strips, a name, kinds and wide fields) applied before the
//               load
//   then        the chunk, made in one of these ways:
//     0, 1  the rest of the input is the chunk, as it stands
//     2     a size from the table of sizes the plug-in tells apart, filled
//           by repeating the rest of the input (zeros when there is none)
//     3, 4  the plug-in's own live chunk, optionally resized to a size of
//           the table, then mutated (bytes set, flipped, 32-bit fields
//           overwritten with edge values) by the rest of the input
//     5     the live chunk of the other kind (a bank offered as a program
//           and the other way round), mutated the same way
//     6     a null pointer with a size of the table
//     7     as 3, then loaded twice
//
// QUILLET_FUZZ_EDITOR=host (or own) opens the editor on every instance, on
// this host's display handed with effEditOpen (or on the plug-in's own), so
// that the panel refreshes from every chunk, and lets it refresh before the
// checks: showing a chunk never changes the bank, so every check holds with
// the editor open as well.
//
// After the load the target checks what a host can check: a refused chunk
// leaves the bank as it was, a chunk of the current size reads back as it
// was written (names cut to 47 characters, alignment bytes zero), then it
// selects programs, plays blocks, resends, reads every parameter, names and
// both chunks again.
#include "tests/fuzz/FuzzSupport.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <thread>

namespace {

constexpr int32_t kRecordBytes = 276;
constexpr int32_t kOlderRecordBytes = 264;
constexpr int32_t kBankBytes = kRecordBytes * 128;
constexpr int32_t kOlderBankBytes = 33808;
// The records followed by the extension block (kinds, pacing settings).
constexpr int32_t kExtendedBankBytes = kBankBytes + 8216;
constexpr int32_t kExtendedProgramBytes = kRecordBytes + 88;
// Version 2 adds a tail: a 16-byte header, 160 bytes of wide messages and
// a SysEx section (8 bytes when empty) per program.
constexpr int32_t kWideBankBytes = kExtendedBankBytes + 16 + 128 * (160 + 8);
constexpr int32_t kWideProgramBytes = kExtendedProgramBytes + 16 + 160 + 8;
// Offsets inside a record that the plug-in rewrites on load: the last
// character of the name (always the terminator) and the alignment bytes.
constexpr int32_t kNameEnd = 47;
constexpr int32_t kAlignment = 265;
constexpr int32_t kAlignmentBytes = 3;

const int32_t kSizes[] = {0,
                          1,
                          2,
                          4,
                          100,
                          263,
                          264,
                          265,
                          266,
                          267,
                          268,
                          269,
                          270,
                          271,
                          272,
                          273,
                          274,
                          275,
                          276,
                          277,
                          280,
                          552,
                          33807,
                          33808,
                          33809,
                          35327,
                          35328,
                          35329,
                          40000,
                          70656,
                          299,
                          363,
                          364,
                          365,
                          35352,
                          43543,
                          43544,
                          43545,
                          kWideProgramBytes - 1,
                          kWideProgramBytes,
                          kWideBankBytes - 1,
                          kWideBankBytes};

int32_t TableSize(fuzz::Bytes& in)
{
  return kSizes[in.Below(sizeof kSizes / sizeof kSizes[0])];
}

qhost::HostConfig HostFor(int kind)
{
  // No host MIDI is fed: everything the plug-in sends comes from its strips.
  qhost::HostConfig config = fuzz::CheckedConfig(true);
  switch (kind) {
  case 1:
    config.product = "Bidule";
    break;
  case 2:
    config.silent = true;
    break;
  case 3:
    config.product = std::string(63, 'x') + "Bidule"; // cut by the host at 63
    break;
  default:
    break;
  }
  return config;
}

// A state worth saving: strips, options and names as a user leaves them.
void SetUp(qhost::PluginInstance& plugin, fuzz::Bytes& in)
{
  const int steps = in.U8() % 8;
  for (int step = 0; step < steps; ++step) {
    switch (in.U8() % 7) {
    case 0:
      plugin.SelectProgram(in.U8() % 128);
      break;
    case 1: // an option or a delay, as the editor sets them
    {
      // Read in input order (function arguments have none).
      const int32_t index = 3 + in.U8() % 5;
      plugin.SetParameter(index, in.OddFloat());
      break;
    }
    case 2: // a strip field
    {
      const int32_t index = 8 + in.U8() % 128;
      plugin.SetParameter(index, static_cast<float>(in.U8()) / 255.0f);
      break;
    }
    case 3:
      plugin.SetParameter(1, in.Bit() ? 1.0f : 0.0f);
      break;
    case 4: {
      char name[80] = {};
      const int length = in.U8() % 70;
      for (int i = 0; i < length; ++i)
        name[i] = static_cast<char>('a' + in.U8() % 26);
      plugin.Dispatch(effSetProgramName, 0, 0, name);
      break;
    }
    case 6: // a kind (the wide ones too) and a wide field, as the panel sets them
    {
      static constexpr float kKinds[] = {0.0f, 1.0f, 0.125f, 0.1875f, 0.25f};
      const int32_t kind = 200 + in.U8() % 32;
      plugin.SetParameter(kind, kKinds[in.U8() % 5]);
      const int32_t wide = 239 + in.U8() % 96;
      plugin.SetParameter(wide, static_cast<float>(in.U8()) / 255.0f);
      break;
    }
    default:
      plugin.RunBlock(64);
      break;
    }
  }
}

// The sizes this build saves: the records, with the version-1 extension,
// or with version 2, 3 (send settings) or 4 (don't-care bytes) and its tail
// (which has the size its header says).
bool SavedSize(const std::vector<uint8_t>& chunk, int32_t records, int32_t extended, int32_t wide)
{
  const auto size = static_cast<int32_t>(chunk.size());
  if (size == records || size == extended)
    return true;
  int32_t version = 0;
  int32_t tail = 0;
  if (size < wide)
    return false;
  std::memcpy(&version, chunk.data() + records + 4, sizeof version);
  std::memcpy(&tail, chunk.data() + extended, sizeof tail);
  return version >= 2 && version <= 4 && tail == size - extended;
}

void Mutate(std::vector<uint8_t>& chunk, fuzz::Bytes& in)
{
  if (chunk.empty())
    return;
  const int mutations = in.U8();
  for (int m = 0; m < mutations && !in.Empty(); ++m) {
    const size_t offset = in.U32() % chunk.size();
    switch (in.U8() % 4) {
    case 0:
      chunk[offset] = in.U8();
      break;
    case 1:
      chunk[offset] ^= static_cast<uint8_t>(1u << (in.U8() % 8));
      break;
    case 2: {
      // An edge value over a 32-bit field (delays, strip order, count).
      const int32_t value = static_cast<int32_t>(in.OddValue());
      const size_t at = std::min(offset & ~size_t{3}, chunk.size() >= 4 ? chunk.size() - 4 : 0);
      if (chunk.size() >= 4)
        std::memcpy(chunk.data() + at, &value, sizeof value);
      break;
    }
    default: {
      // The same byte over the same field of every record.
      const size_t field = offset % kRecordBytes;
      const uint8_t value = in.U8();
      for (size_t at = field; at < chunk.size(); at += kRecordBytes)
        chunk[at] = value;
      break;
    }
    }
  }
}

bool LoadedAsWritten(const uint8_t* stored, const uint8_t* written, int32_t bytes)
{
  for (int32_t i = 0; i < bytes; ++i) {
    const int32_t inRecord = i % kRecordBytes;
    if (inRecord == kNameEnd)
      continue; // the plug-in terminates the name here
    if (inRecord >= kAlignment && inRecord < kAlignment + kAlignmentBytes) {
      if (stored[i] != 0)
        return false;
      continue;
    }
    if (stored[i] != written[i])
      return false;
  }
  return true;
}

// The older bank: 128 records of 264 bytes, then the options for all.
bool OlderBankLoaded(const uint8_t* stored, const uint8_t* written)
{
  constexpr int32_t kPresetSwitching = 262;
  constexpr int32_t kSendOnChange = 263;
  constexpr int32_t kSendOnInit = 264;
  constexpr int32_t kInitDelay = 268;
  constexpr int32_t kChangeDelay = 272;
  const uint8_t* trailer = written + 128 * kOlderRecordBytes;
  for (int p = 0; p < 128; ++p) {
    const uint8_t* record = stored + p * kRecordBytes;
    const uint8_t* older = written + p * kOlderRecordBytes;
    for (int32_t i = 0; i < kPresetSwitching; ++i) {
      if (i != kNameEnd && record[i] != older[i])
        return false;
    }
    if (record[kPresetSwitching] != trailer[4] || record[kSendOnChange] != trailer[5] ||
        record[kSendOnInit] != trailer[6] ||
        std::memcmp(record + kChangeDelay, trailer + 8, 4) != 0 ||
        std::memcmp(record + kInitDelay, trailer + 12, 4) != 0)
      return false;
  }
  return true;
}

// 0: no editor, 1: on this host's display, 2: on the plug-in's own.
int EditorMode()
{
  static const int mode = [] {
    const char* editor = std::getenv("QUILLET_FUZZ_EDITOR");
    if (!editor || !fuzz::Host().Display())
      return 0;
    return std::string(editor) == "host" ? 1 : std::string(editor) == "own" ? 2 : 0;
  }();
  return mode;
}

void OpenEditor(qhost::PluginInstance& plugin)
{
  fuzz::HostDisplay& host = fuzz::Host();
  ERect* rect = nullptr;
  plugin.Dispatch(effEditGetRect, 0, 0, &rect);
  plugin.Dispatch(effEditOpen, 0,
                  EditorMode() == 1 ? reinterpret_cast<VstIntPtr>(host.Display()) : 0,
                  reinterpret_cast<void*>(host.Window()));
  host.Pump();
}

// Lets the editor's idle thread (every 22 ms) refresh the panel.
void LetEditorRefresh(qhost::PluginInstance& plugin)
{
  for (int i = 0; i < 3; ++i) {
    fuzz::Host().Pump();
    plugin.Dispatch(effEditIdle);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  fuzz::Bytes in(data, size);
  const uint8_t mode = in.U8();
  const bool isProgram = (mode & 1) != 0;
  const int shape = (mode >> 3) & 7;

  auto plugin = fuzz::NewInstance(HostFor((mode >> 1) & 3));
  const bool editor = EditorMode() != 0;
  if (editor)
    OpenEditor(*plugin);
  SetUp(*plugin, in);

  std::vector<uint8_t> chunk;
  bool nullData = false;
  switch (shape) {
  case 0:
  case 1:
    chunk = in.Rest();
    break;
  case 2: {
    chunk.resize(static_cast<size_t>(TableSize(in)));
    const std::vector<uint8_t> fill = in.Rest();
    for (size_t i = 0; !fill.empty() && i < chunk.size(); ++i)
      chunk[i] = fill[i % fill.size()];
    break;
  }
  case 6:
    chunk.resize(static_cast<size_t>(TableSize(in)));
    nullData = true;
    break;
  default: {
    const bool other = shape == 5;
    chunk = plugin->GetChunk(other ? !isProgram : isProgram);
    if (in.U8() % 4 == 0)
      chunk.resize(static_cast<size_t>(TableSize(in)), 0);
    Mutate(chunk, in);
    break;
  }
  }

  const int32_t chunkSize = static_cast<int32_t>(chunk.size());
  const int32_t current = plugin->CurrentProgram();
  const std::vector<uint8_t> before = plugin->GetChunk(false);
  fuzz::Require(SavedSize(before, kBankBytes, kExtendedBankBytes, kWideBankBytes),
                "the set-up's bank chunk has a size this build saves");

  VstIntPtr result;
  if (nullData)
    result = plugin->Dispatch(effSetChunk, isProgram ? 1 : 0, chunkSize, nullptr);
  else
    result = plugin->SetChunk(chunk, isProgram);
  fuzz::Require(result == 0 || result == 1, "setChunk answers 1 or 0");
  if (editor)
    LetEditorRefresh(*plugin);

  const std::vector<uint8_t> after = plugin->GetChunk(false);
  // A loaded extension that uses its settings is saved again.
  fuzz::Require(SavedSize(after, kBankBytes, kExtendedBankBytes, kWideBankBytes),
                "a bank chunk is 35,328 bytes, 43,544 with the extension, or its tail's size more");
  fuzz::Require(
      SavedSize(plugin->GetChunk(true), kRecordBytes, kExtendedProgramBytes, kWideProgramBytes),
      "a program chunk is 276 bytes, 364 with the extension, or its tail's size more");
  if (result == 0) {
    fuzz::Require(before == after, "a refused chunk leaves the bank as it was");
  } else {
    fuzz::Require(!nullData, "a null chunk is refused");
    if (isProgram) {
      fuzz::Require(chunkSize == kOlderRecordBytes || chunkSize >= kRecordBytes,
                    "a program chunk is accepted only when it holds a whole record");
      const int32_t compared = std::min(chunkSize, kRecordBytes);
      fuzz::Require(LoadedAsWritten(after.data() + current * kRecordBytes, chunk.data(), compared),
                    "a program chunk reads back as it was written");
      for (int p = 0; p < 128; ++p) {
        if (p != current)
          fuzz::Require(std::equal(before.begin() + p * kRecordBytes,
                                   before.begin() + (p + 1) * kRecordBytes,
                                   after.begin() + p * kRecordBytes),
                        "a program chunk changes only the current program");
      }
    } else {
      fuzz::Require(chunkSize >= kOlderBankBytes,
                    "a bank chunk is accepted only when it holds a whole bank");
      if (chunkSize >= kBankBytes)
        fuzz::Require(LoadedAsWritten(after.data(), chunk.data(), kBankBytes),
                      "a bank chunk reads back as it was written");
      if (chunkSize <= kBankBytes)
        fuzz::Require(static_cast<int32_t>(after.size()) == kBankBytes,
                      "a bank without extension saves without one");
      if (chunkSize == kOlderBankBytes)
        fuzz::Require(OlderBankLoaded(after.data(), chunk.data()),
                      "an older bank gives its records and its trailer's options");
    }
  }
  if (shape == 7 && !chunk.empty())
    plugin->SetChunk(chunk, isProgram);

  // What a host does next: select, play, resend, read.
  AEffect* effect = plugin->Effect();
  plugin->RunBlocks(2, 128);
  plugin->SelectProgram(static_cast<int32_t>(in.U8() % 130) - 1);
  plugin->RunBlocks(2, 128);
  plugin->SetParameter(0, 1.0f);
  plugin->SetParameter(0, 0.0f);
  plugin->RunBlocks(2, 128);
  fuzz::ReadAllParameters(effect);
  char name[256];
  std::memset(name, 0x55, sizeof name);
  plugin->Dispatch(effGetProgramName, 0, 0, name);
  fuzz::Require(std::memchr(name, 0, 48) != nullptr, "a program name ends within 48 bytes");
  for (int32_t p = 0; p < 128; p += 17) {
    std::memset(name, 0x55, sizeof name);
    plugin->Dispatch(effGetProgramNameIndexed, p, 0, name);
    fuzz::Require(std::memchr(name, 0, 48) != nullptr, "a program name ends within 48 bytes");
  }
  const std::vector<uint8_t> program = plugin->GetChunk(true);
  fuzz::Require(SavedSize(program, kRecordBytes, kExtendedProgramBytes, kWideProgramBytes),
                "a program chunk is 276 bytes, 364 with the extension, or its tail's size more");
  plugin->Suspend();
  plugin->Resume();
  plugin->RunBlock(64);
  if (editor) {
    LetEditorRefresh(*plugin);
    plugin->Dispatch(effEditClose);
  }
  plugin->Close();
  fuzz::Host().Pump();
  return 0;
}
