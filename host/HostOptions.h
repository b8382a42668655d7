// quillet-host's command line: the commands, the one option table and what
// a parse of it gives. The table (HostOptions.cpp) is the whole definition
// of an option: its name, its value, the commands that take it, its help
// text and the code that checks and stores its value. The parser, `--help`,
// `COMMAND --help` and the README's option list (`quillet-host help
// --markdown`) are all made from it, so a new option is one row.
//
// Every refusal is one line on standard error that names the option, the
// field at fault and what it takes; the caller then exits with status 2.
//
// Threads: quillet-host's main thread only.
#pragma once

#include "host/HostStyle.h"
#include "host/SyxOptions.h"
#include "host/TestSynth.h"
#include "host/VstHost.h"
#include "model/StripMessages.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace qhost::cli {

// The commands, as bits, so that a row can belong to several.
enum Command : unsigned
{
  kInfo = 1,
  kRun = 2,
  kEdit = 4,
  kLv2Preset = 8,
  kHelp = 16
};
constexpr unsigned kLoading = kInfo | kRun | kEdit; // the commands that load a plug-in
constexpr unsigned kDriving = kRun | kEdit;         // the ones that run it

// The command of a name ("run"), 0 for none.
unsigned CommandNamed(const std::string& name);

// A strip stored before the restore (--strip).
struct StripEdit
{
  int program = 0;
  int strip = 0;
  strips::Message a;
  strips::Message b;
};

// A parameter to set. Stored ones go into the bank before the one restore
// (`program` -1: as the plug-in's setParameter does, for the current
// program or, for the bank-wide options, every program); live ones are set
// through the plug-in after the restore, at `seconds` (-1: before the run).
struct ParameterSet
{
  int program = -1;
  int32_t index = 0;
  float value = 0;
  double seconds = -1;
  bool done = false;
};

// What happens at a time of the run.
enum class ActionKind
{
  Select,
  Midi,
  Resend,
  Play
};

struct Action
{
  ActionKind kind = ActionKind::Select;
  double seconds = 0;
  long program = 0;
  std::vector<uint8_t> bytes;
  std::string option; // the option that asked for it, for the warnings
  bool done = false;
};

struct Screenshot
{
  std::string path;
  double seconds = 0;
  bool done = false;
};

// A left click at a point of the host window: the pointer moves there, then
// the button goes down and up, a few loop passes apart as a hand does it.
struct Click
{
  int x = 0;
  int y = 0;
  double seconds = 0;
  int phase = 0; // 0 waiting, 1 moved, 2 pressed, 3 done
  double next = 0;
};

struct HostOptions
{
  unsigned command = 0;
  std::vector<std::string> positional; // PATH.so; BANK.fxb NAME
  HostConfig config;
  bool help = false;

  // The state the one restore loads (run, edit).
  std::string bankFile;
  std::string programFile;
  std::vector<StripEdit> strips;
  std::vector<ParameterSet> stored;
  SyxOptions sysex;
  // After the restore.
  std::vector<ParameterSet> live;
  std::vector<Action> actions;
  std::string saveBank;
  std::string saveProgram;

  // run
  double seconds = -1; // run: 3 when not given; edit: until the window closes
  double rate = 44100.0;
  long block = 512;
  bool timeInfo = true;
  bool wholeSysEx = false;
  qhost::TestSynthConfig synth; // no dump: no synth
  // edit
  HostStyle style = HostStyle::EventProc;
  std::vector<Screenshot> screenshots;
  std::vector<Click> clicks;
  // lv2-preset
  bool extract = false;
  std::string folder; // empty: ~/.lv2
  // help
  bool markdown = false;
};

// Parses the words after the command name into `options` (command set):
// options of the table and the command's positional words. False with one
// line on stderr for anything it refuses.
bool ParseOptions(unsigned command, int argc, char** argv, HostOptions& options);

// The help of every command (command 0) or of one.
void PrintHelp(FILE* out, unsigned command);
// The README's option list: one Markdown table made from the option table.
void PrintMarkdown(FILE* out);

// Warnings for what the options ask that the run will not reach (a time
// past --seconds); nothing is refused.
void WarnAboutTimes(const HostOptions& options);

} // namespace qhost::cli
