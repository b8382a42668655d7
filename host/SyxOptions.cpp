#include "host/SyxOptions.h"

#include "files/SyxFile.h"
#include "model/VSTPluginProgramBank.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <memory>

namespace qhost::cli {

namespace {

// "P:FILE": a program 0 to 127 and a path (which may hold colons itself).
bool ParseProgramFile(const std::string& text, SyxFileOption& option)
{
  const size_t colon = text.find(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 >= text.size())
    return false;
  char* end = nullptr;
  const long program = std::strtol(text.c_str(), &end, 10);
  if (end != text.c_str() + colon || program < 0 || program >= kBankPrograms)
    return false;
  option.program = static_cast<int>(program);
  option.path = text.substr(colon + 1);
  return true;
}

// Reads and checks an import's file by the .syx rules; a request must be
// one message.
bool ReadSyx(SyxFileOption& option, bool request)
{
  std::unique_ptr<const SysExSet> set;
  std::string error;
  if (!files::ReadSyxFile(option.path, set, error)) {
    Fail(error);
    return false;
  }
  if (request && set->Count() != 1) {
    Fail(option.path + ": a dump request is one message, the file holds " +
         std::to_string(set->Count()));
    return false;
  }
  option.set = std::move(set);
  return true;
}

} // namespace

bool AddSyxOption(SyxUse use, const std::string& option, const std::string& text,
                  SyxOptions& options)
{
  std::vector<SyxFileOption>& list = use == SyxUse::List      ? options.lists
                                     : use == SyxUse::Request ? options.requests
                                                              : options.exports;
  SyxFileOption file;
  if (!ParseProgramFile(text, file)) {
    Fail(option + " wants PROGRAM:FILE.syx with a program 0 to 127, not \"" + text + "\"");
    return false;
  }
  if (use != SyxUse::Export && !ReadSyx(file, use == SyxUse::Request))
    return false;
  list.push_back(std::move(file));
  return true;
}

bool AddDontCareOption(const std::string& option, const std::string& text, SyxOptions& options)
{
  DontCareOption marks;
  marks.text = text;
  const size_t colon = text.find(':');
  char* end = nullptr;
  const long program = colon == std::string::npos ? -1 : std::strtol(text.c_str(), &end, 10);
  if (colon == std::string::npos || colon == 0 || colon + 1 >= text.size() ||
      end != text.c_str() + colon || program < 0 || program >= kBankPrograms) {
    Fail(option + " wants PROGRAM:OFFSET[,OFFSET...] with a program 0 to 127, not \"" + text +
         "\"");
    return false;
  }
  marks.program = static_cast<int>(program);
  // The offsets this program has so far, so that a repeated one counts once.
  std::vector<int32_t> all;
  for (const DontCareOption& earlier : options.dontCares) {
    if (earlier.program == marks.program)
      all.insert(all.end(), earlier.offsets.begin(), earlier.offsets.end());
  }
  size_t from = colon + 1;
  for (;;) {
    const size_t comma = text.find(',', from);
    const std::string field =
        text.substr(from, comma == std::string::npos ? std::string::npos : comma - from);
    errno = 0;
    const long offset = field.empty() ? 0 : std::strtol(field.c_str(), &end, 10);
    if (field.empty() || *end != '\0' || errno != 0 || offset < 1 || offset > kMaxDontCareOffset) {
      Fail(option + " " + text + ": an offset is 1 to " + std::to_string(kMaxDontCareOffset) +
           " (from the F0, which is 0), not \"" + field + "\"");
      return false;
    }
    if (std::find(all.begin(), all.end(), offset) == all.end())
      all.push_back(static_cast<int32_t>(offset));
    marks.offsets.push_back(static_cast<int32_t>(offset));
    if (comma == std::string::npos)
      break;
    from = comma + 1;
  }
  if (static_cast<int32_t>(all.size()) > kMaxDontCareBytes) {
    Fail(option + " " + text + ": a program has at most " + std::to_string(kMaxDontCareBytes) +
         " don't-care bytes, program " + std::to_string(marks.program) + " would have " +
         std::to_string(all.size()));
    return false;
  }
  options.dontCares.push_back(std::move(marks));
  return true;
}

bool ApplySyx(const SyxOptions& options, LoadedSysEx& sysex)
{
  // A list replaces the program's messages and keeps its request; the next
  // list of the same program appends. A request replaces the request and
  // keeps the messages.
  bool replaced[kBankPrograms] = {};
  for (const SyxFileOption& list : options.lists) {
    std::unique_ptr<const SysExSet>& slot = sysex[static_cast<size_t>(list.program)];
    if (!replaced[list.program]) {
      // A file's set keeps within the list's limits: it always replaces whole.
      slot = ReplaceMessages(slot.get(), *list.set);
      replaced[list.program] = true;
      continue;
    }
    SysExSet::Builder builder(slot.get());
    for (int32_t i = 0; i < list.set->Count(); ++i) {
      if (builder.Append(list.set->Message(i)) == SysExChange::Full) {
        Fail("--sysex " + std::to_string(list.program) + ":" + list.path + ": program " +
             std::to_string(list.program) + "'s SysEx messages would take more than " +
             std::to_string(kMaxSysExListBytes) + " bytes with this file's " +
             std::to_string(list.set->TotalBytes()));
        return false;
      }
    }
    slot = builder.Build();
  }
  for (const SyxFileOption& request : options.requests) {
    std::unique_ptr<const SysExSet>& slot = sysex[static_cast<size_t>(request.program)];
    SysExSet::Builder builder(slot.get());
    builder.SetRequest(request.set->Message(0));
    slot = builder.Build();
  }
  for (const DontCareOption& marks : options.dontCares) {
    std::unique_ptr<const SysExSet>& slot = sysex[static_cast<size_t>(marks.program)];
    SysExSet::Builder builder(slot.get());
    for (const int32_t offset : marks.offsets) {
      // The offsets are in range: only the bank's own marks can fill it.
      if (builder.MarkDontCare(offset) == SysExChange::Full) {
        Fail("--sysex-ignore " + marks.text + ": program " + std::to_string(marks.program) +
             " would have more than " + std::to_string(kMaxDontCareBytes) +
             " don't-care bytes with those of the bank");
        return false;
      }
    }
    slot = builder.Build();
  }
  return true;
}

namespace {

// The plug-in's bank as its chunk gives it, read by the model's reader.
bool ReadBankChunk(PluginInstance& plugin, VSTPluginProgramBank& bank, LoadedSysEx& sysex)
{
  const std::vector<uint8_t> chunk = plugin.GetChunk(false);
  bool newer = false;
  if (bank.readBank(chunk.data(), static_cast<int32_t>(chunk.size()), newer, &sysex) != 1 ||
      newer) {
    Fail("the plug-in's bank chunk is not one this quillet-host reads");
    return false;
  }
  return true;
}

} // namespace

bool ExportSyx(PluginInstance& plugin, const SyxOptions& options)
{
  if (options.exports.empty())
    return true;
  auto bank = std::make_unique<VSTPluginProgramBank>();
  LoadedSysEx sysex;
  if (!ReadBankChunk(plugin, *bank, sysex))
    return false;
  bool all = true;
  for (const SyxFileOption& file : options.exports) {
    const SysExSet* set = sysex[static_cast<size_t>(file.program)].get();
    if (!set || set->Count() == 0) {
      Fail(file.path + ": program " + std::to_string(file.program) +
           " has no SysEx messages to write");
      all = false;
      continue;
    }
    std::string error;
    if (!files::WriteSyxFile(file.path, *set, error)) {
      Fail(error);
      all = false;
    }
  }
  return all;
}

} // namespace qhost::cli
