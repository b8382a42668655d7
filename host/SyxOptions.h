// quillet-host run's SysEx options, which give programs their SysEx from
// .syx files and write them back:
//
//   --sysex P:FILE.syx          program P's SysEx messages are the file's
//   --sysex-request P:FILE.syx  program P's dump request is the file's one
//                               message
//   --export-sysex P:FILE.syx   after the run, program P's messages go to
//                               the file
//
// The files to read are read and checked while the options are parsed,
// before the plug-in is loaded: a refused one ends the run with its reason
// (the offset of the byte at fault) and exit status 2, and nothing has
// changed. The host reaches the plug-in's SysEx only through its bank
// chunk, written and read by the model's rules.
//
// Threads: quillet-host's main thread only.
#pragma once

#include "host/CommandLine.h"
#include "model/SysEx.h"

#include <memory>
#include <string>
#include <vector>

namespace qhost::cli {

struct SyxFileOption
{
  int program = 0;
  std::string path;
  // What the file holds (imports only).
  std::shared_ptr<const SysExSet> set;
};

struct SyxOptions
{
  std::vector<SyxFileOption> lists;    // --sysex
  std::vector<SyxFileOption> requests; // --sysex-request
  std::vector<SyxFileOption> exports;  // --export-sysex

  bool Imports() const { return !lists.empty() || !requests.empty(); }
};

// True when `option` is one of the SysEx options: then its value has been
// taken from `words` and, for an import, its file read and checked; `ok`
// says whether all went well (false with one line on stderr). False, and
// nothing taken, for any other option.
bool ParseSyxOption(const std::string& option, Arguments& words, SyxOptions& options, bool& ok);

// Gives the programs the imported lists and requests, through the bank
// chunk. False with the reason on stderr when the plug-in refuses it.
bool ApplySyx(PluginInstance& plugin, const SyxOptions& options);

// Writes each exported program's messages (read from the bank chunk) to
// its file. False with the reason on stderr when one cannot be written.
bool ExportSyx(PluginInstance& plugin, const SyxOptions& options);

} // namespace qhost::cli
