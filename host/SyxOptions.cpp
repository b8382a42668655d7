#include "host/SyxOptions.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace qhost::cli {

namespace {

// "P:FILE": a program 0 to 127 and a path (which may hold colons itself).
bool ParseProgramFile(const std::string& text, SyxFileOption& option)
{
  const size_t colon = text.find(':');
  long program = 0;
  if (colon == std::string::npos || colon + 1 >= text.size() ||
      !ParseInt(text.substr(0, colon), program) || program < 0 || program > 127)
    return false;
  option.program = static_cast<int>(program);
  option.path = text.substr(colon + 1);
  return true;
}

bool ReadFile(const std::string& path, std::vector<uint8_t>& bytes)
{
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) {
    Fail(path + ": " + std::strerror(errno));
    return false;
  }
  uint8_t buffer[4096];
  for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
    bytes.insert(bytes.end(), buffer, buffer + got);
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) {
    Fail(path + ": cannot be read");
    return false;
  }
  return true;
}

// Reads and checks an import's file by the .syx rules; a request must be
// one message.
bool ReadSyx(SyxFileOption& option, bool request)
{
  std::vector<uint8_t> bytes;
  if (!ReadFile(option.path, bytes))
    return false;
  SyxResult result = ParseSyx(bytes.data(), bytes.size());
  if (!result.Ok()) {
    Fail(option.path + ": " + result.reason);
    return false;
  }
  if (request && result.set->Count() != 1) {
    Fail(option.path + ": a dump request is one message, the file holds " +
         std::to_string(result.set->Count()));
    return false;
  }
  option.set = std::move(result.set);
  return true;
}

} // namespace

bool ParseSyxOption(const std::string& option, Arguments& words, SyxOptions& options, bool& ok)
{
  std::vector<SyxFileOption>* list = option == "--sysex"           ? &options.lists
                                     : option == "--sysex-request" ? &options.requests
                                     : option == "--export-sysex"  ? &options.exports
                                                                   : nullptr;
  if (!list)
    return false;
  ok = false;
  std::string text;
  if (!words.Value(text))
    return true;
  SyxFileOption file;
  if (!ParseProgramFile(text, file)) {
    Fail(option + " wants PROGRAM:FILE.syx with a program 0 to 127, not \"" + text + "\"");
    return true;
  }
  if (list != &options.exports && !ReadSyx(file, list == &options.requests))
    return true;
  list->push_back(std::move(file));
  ok = true;
  return true;
}

bool ApplySyx(PluginInstance& /*plugin*/, const SyxOptions& options)
{
  if (!options.Imports())
    return true;
  Fail("the plug-in's bank chunk carries no SysEx in this build");
  return false;
}

bool ExportSyx(PluginInstance& /*plugin*/, const SyxOptions& options)
{
  if (options.exports.empty())
    return true;
  Fail("the plug-in's bank chunk carries no SysEx in this build");
  return false;
}

} // namespace qhost::cli
