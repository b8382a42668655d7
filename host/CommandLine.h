// Shared pieces of quillet-host's commands: the options every command takes
// and small parsers that give a one-line reason when a value is wrong.
#pragma once

#include "host/VstHost.h"

#include <string>
#include <vector>

namespace qhost::cli {

// The plug-in path and the host's identity.
struct CommonOptions
{
  std::string path;
  HostConfig config;
};

// Takes the common options out of argv; what it does not know goes to
// `rest` in order. False (with a message on stderr) on a malformed one.
bool ParseCommon(int argc, char** argv, CommonOptions& options, std::vector<std::string>& rest);

// Walks a command's own options: Next gives each option in turn, Value the
// word after it (with a message when there is none).
class Arguments
{
public:
  explicit Arguments(const std::vector<std::string>& words_) : words(words_) {}
  bool Next(std::string& option);
  bool Value(std::string& value);

private:
  const std::vector<std::string>& words;
  size_t next = 0;
  std::string current;
};

bool ParseInt(const std::string& text, long& value);
bool ParseDouble(const std::string& text, double& value);
// "N@SECONDS"
bool ParseAt(const std::string& text, long& number, double& seconds);

// "MS BYTES...": a time in milliseconds and one to three hex bytes, the
// first a status byte.
bool ParseMidiIn(const std::string& text, double& seconds, std::vector<uint8_t>& bytes);

// Loads a bank (or program) file into the plug-in and, after a bank, selects
// its current program; false with the reason on stderr when the file is not
// one of this plug-in's or the plug-in refuses it.
bool RestorePresetFile(PluginInstance& plugin, const std::string& path, bool bank);
// Writes the plug-in's bank chunk as a bank file; false with the reason.
bool SaveBank(PluginInstance& plugin, const std::string& path);

// Prints "quillet-host: <message>" on stderr and returns the exit status 2.
int Fail(const std::string& message);

int Info(int argc, char** argv);
int Run(int argc, char** argv);
int Edit(int argc, char** argv);

} // namespace qhost::cli
