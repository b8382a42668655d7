// quillet-host run's SysEx options, which give programs their SysEx from
// .syx files and write them back:
//
//   --sysex P:FILE.syx          program P's SysEx messages are the file's
//   --sysex-request P:FILE.syx  program P's dump request is the file's one
//                               message
//   --export-sysex P:FILE.syx   after the run, program P's messages go to
//                               the file
//   --sysex-ignore P:OFFSET,... bytes of program P's dumps that a verify
//                               does not compare (don't-care)
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
#include "model/VSTPluginProgramBank.h"

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

// --sysex-ignore: the offsets one option marks in its program.
struct DontCareOption
{
  int program = 0;
  std::vector<int32_t> offsets;
  std::string text; // the option's value, for the refusal
};

struct SyxOptions
{
  std::vector<SyxFileOption> lists;      // --sysex
  std::vector<SyxFileOption> requests;   // --sysex-request
  std::vector<SyxFileOption> exports;    // --export-sysex
  std::vector<DontCareOption> dontCares; // --sysex-ignore

  bool Imports() const { return !lists.empty() || !requests.empty() || !dontCares.empty(); }
};

enum class SyxUse
{
  List,    // --sysex
  Request, // --sysex-request
  Export   // --export-sysex
};

// Takes the value "P:FILE.syx" of one of the options and, for an import,
// reads and checks its file. False with one line on stderr when the value
// or the file is refused.
bool AddSyxOption(SyxUse use, const std::string& option, const std::string& text,
                  SyxOptions& options);

// Takes the value "P:OFFSET[,OFFSET...]" of --sysex-ignore: a program 0 to
// 127 and offsets 1 to kMaxDontCareOffset, at most kMaxDontCareBytes for
// the program with its earlier --sysex-ignore. False with one line on
// stderr when it is refused.
bool AddDontCareOption(const std::string& option, const std::string& text, SyxOptions& options);

// Gives the programs of a composed bank (ComposedBank.h) the imported lists
// and requests: the first --sysex of a program replaces its messages, the
// next ones append theirs, in order; a request replaces the request; the
// --sysex-ignore offsets are marked don't-care, beside those the bank
// brings. False with the reason on stderr when a list would grow past its
// limit, or the don't-care bytes past theirs.
bool ApplySyx(const SyxOptions& options, LoadedSysEx& sysex);

// Writes each exported program's messages (read from the bank chunk) to
// its file. False with the reason on stderr when one cannot be written.
bool ExportSyx(PluginInstance& plugin, const SyxOptions& options);

} // namespace qhost::cli
