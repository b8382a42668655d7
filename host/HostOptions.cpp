#include "host/HostOptions.h"

#include "files/SyxFile.h"
#include "host/ComposedBank.h"
#include "host/StripSpelling.h"
#include "midi/MidiBytes.h"
#include "model/Parameters.h"
#include "model/ProgramExtension.h"
#include "model/SysEx.h"
#include "model/SysExVerify.h"
#include "model/VSTPluginProgramBank.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <sstream>

namespace qhost::cli {

namespace {

// How an option takes its value: none, the next word (or --name=VALUE),
// glued on with '@' (--play@0.5), or optionally with '=' (--send-on-init=2).
enum class Form
{
  Flag,
  Word,
  At,
  OptionalEquals
};

struct Option
{
  const char* name;
  Form form;
  const char* value; // what the value is called in the help ("FILE.fxb")
  unsigned commands;
  std::string help;
  // Checks and stores the value; false after one line on stderr.
  bool (*store)(const Option& option, const std::string& value, HostOptions& options);
};

struct CommandInfo
{
  unsigned bit;
  const char* name;
  const char* words; // its positional words, as the usage shows them
  size_t fewest;
  size_t most;
  const char* summary;
};

const CommandInfo kCommands[] = {
    {kInfo, "info", "PATH.so", 1, 1,
     "print what a host learns at load (record, names, capabilities, parameters, programs) or "
     "why the load was refused"},
    {kRun, "run", "PATH.so", 1, 1,
     "load as a host does, restore the state the options give, run the audio loop in real time "
     "and print every MIDI event the plug-in sends"},
    {kEdit, "edit", "PATH.so", 1, 1,
     "the same with the plug-in's editor open in a host window on the X display"},
    {kLv2Preset, "lv2-preset", "BANK.fxb NAME", 2, 2,
     "write an LV2 preset bundle (by default under ~/.lv2/) holding the bank as the LV2 edition's "
     "state, for the preset menus of LV2 hosts; with --extract: lv2-preset --extract PRESET.ttl "
     "OUT.fxb turns a preset a host saved back into a bank file"},
    {kHelp, "help", "[COMMAND]", 0, 1, "print this help, or a command's"},
};

const CommandInfo* Info(unsigned bit)
{
  for (const CommandInfo& info : kCommands) {
    if (info.bit == bit)
      return &info;
  }
  return nullptr;
}

std::string CommandNames(unsigned commands)
{
  if (commands == (kInfo | kRun | kEdit | kLv2Preset | kHelp))
    return "every command";
  std::string names;
  for (const CommandInfo& info : kCommands) {
    if (commands & info.bit)
      names += (names.empty() ? "" : ", ") + std::string(info.name);
  }
  return names;
}

// ----------------------------------------------------------- the values

bool Wants(const Option& option, const std::string& what, const std::string& text)
{
  Fail(std::string(option.name) + " wants " + what + ", not \"" + text + "\"");
  return false;
}

// A field of a compound value out of its range.
bool FieldFault(const Option& option, const std::string& text, const std::string& why)
{
  Fail(std::string(option.name) + " " + text + ": " + why);
  return false;
}

bool ToLong(const std::string& text, long& value)
{
  char* end = nullptr;
  errno = 0;
  value = text.empty() ? 0 : std::strtol(text.c_str(), &end, 10);
  return !text.empty() && *end == '\0' && errno == 0;
}

bool ToDouble(const std::string& text, double& value)
{
  char* end = nullptr;
  value = text.empty() ? 0 : std::strtod(text.c_str(), &end);
  return !text.empty() && *end == '\0' && std::isfinite(value);
}

// A time in seconds: 0 up to a day.
bool ToSeconds(const std::string& text, double& seconds)
{
  return ToDouble(text, seconds) && seconds >= 0 && seconds <= 86400;
}

std::string Range(long low, long high, const char* unit = "")
{
  return std::to_string(low) + " to " + std::to_string(high) + unit;
}

// A whole number low to high, else the option's one line.
bool WholeIn(const Option& option, const std::string& text, long low, long high, const char* unit,
             long& value)
{
  if (ToLong(text, value) && value >= low && value <= high)
    return true;
  return Wants(option, Range(low, high, unit), text);
}

// "N" in range, as a field of a compound value ("the program is 0 to 127").
bool FieldIn(const std::string& field, long low, long high, long& value)
{
  return ToLong(field, value) && value >= low && value <= high;
}

bool ProgramField(const Option& option, const std::string& text, const std::string& field,
                  long& program)
{
  if (FieldIn(field, 0, kBankPrograms - 1, program))
    return true;
  return FieldFault(option, text,
                    "the program is " + Range(0, kBankPrograms - 1) + ", not \"" + field + "\"");
}

bool TimeField(const Option& option, const std::string& text, const std::string& field,
               double& seconds)
{
  if (ToSeconds(field, seconds))
    return true;
  return FieldFault(option, text, "the time is 0 to 86400 seconds, not \"" + field + "\"");
}

std::string Hex(uint8_t byte)
{
  static const char digits[] = "0123456789ABCDEF";
  return std::string{digits[byte >> 4], digits[byte & 15]};
}

// "MS BYTES...": a status byte and the data bytes its message takes, each
// below 80, or a whole SysEx message. False with `why`.
bool ParseMidiBytes(const std::string& text, double& seconds, std::vector<uint8_t>& bytes,
                    std::string& why)
{
  std::istringstream stream(text);
  std::string ms;
  double milliseconds = 0;
  if (!(stream >> ms) || !ToDouble(ms, milliseconds) || milliseconds < 0 ||
      milliseconds > 86400e3) {
    why = "the time is 0 to 86400000 ms, not \"" + ms + "\"";
    return false;
  }
  seconds = milliseconds / 1000.0;
  for (std::string hex; stream >> hex;) {
    char* end = nullptr;
    const long byte = std::strtol(hex.c_str(), &end, 16);
    if (hex.size() > 2 || *end != '\0' || byte < 0) {
      why = "\"" + hex + "\" is no hex byte (00 to FF)";
      return false;
    }
    bytes.push_back(static_cast<uint8_t>(byte));
  }
  if (bytes.empty()) {
    why.clear(); // no message at all: the option's form is what is wrong
    return false;
  }
  const uint8_t status = bytes[0];
  if (status == midi::kSysExStart) {
    if (ValidSysEx(SysExView{bytes.data(), static_cast<int32_t>(bytes.size())}))
      return true;
    why =
        "a SysEx message is F0, data bytes below 80 and F7, " + Range(2, kMaxSysExBytes) + " bytes";
    return false;
  }
  const int32_t length = midi::MessageLength(status);
  if (length == 0) {
    why = "the first byte is a status byte (80 to EF, F1 to F6, F8 to FF), not " + Hex(status);
    return false;
  }
  if (static_cast<int32_t>(bytes.size()) != length) {
    why = "a message of status " + Hex(status) + " has " + std::to_string(length - 1) +
          " data byte" + (length == 2 ? "" : "s") + ", not " + std::to_string(bytes.size() - 1);
    return false;
  }
  for (size_t i = 1; i < bytes.size(); ++i) {
    if (bytes[i] >= 0x80) {
      why = "data byte " + Hex(bytes[i]) + " is not below 80";
      return false;
    }
  }
  return true;
}

// ------------------------------------------------------------ the rows

bool StoreSwitchOn(HostOptions& options, int32_t index)
{
  options.stored.push_back({-1, index, 1.0f});
  return true;
}

// --send-on-init[=SECONDS], --send-on-change[=SECONDS].
bool StoreSend(const Option& option, const std::string& text, HostOptions& options,
               int32_t switchIndex, int32_t delayIndex)
{
  long seconds = 0;
  if (!text.empty() && !WholeIn(option, text, 0, param::kMaxDelaySeconds, " seconds", seconds))
    return false;
  options.stored.push_back({-1, switchIndex, 1.0f});
  options.stored.push_back(
      {-1, delayIndex, static_cast<float>(seconds) / static_cast<float>(param::kDelay.scale)});
  return true;
}

// --spacing, --settle, --gap: milliseconds 0 to the setting's most.
bool StoreMs(const Option& option, const std::string& text, HostOptions& options, int32_t index,
             int32_t most)
{
  long ms = 0;
  if (!WholeIn(option, text, 0, most, " ms", ms))
    return false;
  options.stored.push_back({-1, index, static_cast<float>(ms) / static_cast<float>(most)});
  return true;
}

bool StoreAction(HostOptions& options, ActionKind kind, double seconds, const Option& option)
{
  Action action;
  action.kind = kind;
  action.seconds = seconds;
  action.option = option.name;
  options.actions.push_back(std::move(action));
  return true;
}

bool StoreStrip(const Option& option, const std::string& text, HostOptions& options)
{
  std::vector<std::string> parts;
  std::stringstream stream(text);
  for (std::string part; std::getline(stream, part, ':');)
    parts.push_back(part);
  if (parts.size() < 3 || parts.size() > 4)
    return Wants(option, "PROGRAM:STRIP:A[:B]", text);
  long program = 0;
  long strip = 0;
  if (!ProgramField(option, text, parts[0], program))
    return false;
  if (!FieldIn(parts[1], 0, kStripsPerProgram - 1, strip))
    return FieldFault(option, text,
                      "the strip is " + Range(0, kStripsPerProgram - 1) + ", not \"" + parts[1] +
                          "\"");
  StripEdit edit;
  edit.program = static_cast<int>(program);
  edit.strip = static_cast<int>(strip);
  std::string why;
  if (!ParseStripMessage(parts[2], edit.a, why))
    return FieldFault(option, text, "message A: " + why);
  if (parts.size() == 4 && !ParseStripMessage(parts[3], edit.b, why))
    return FieldFault(option, text, "message B: " + why);
  options.strips.push_back(edit);
  return true;
}

// [P:]INDEX=VALUE[@SECONDS]
bool StoreSet(const Option& option, const std::string& text, HostOptions& options)
{
  const size_t equals = text.find('=');
  if (equals == std::string::npos)
    return Wants(option, "[PROGRAM:]INDEX=VALUE[@SECONDS]", text);
  std::string left = text.substr(0, equals);
  std::string right = text.substr(equals + 1);
  ParameterSet set;
  const size_t colon = left.find(':');
  if (colon != std::string::npos) {
    long program = 0;
    if (!ProgramField(option, text, left.substr(0, colon), program))
      return false;
    set.program = static_cast<int>(program);
    left = left.substr(colon + 1);
  }
  const size_t at = right.find('@');
  if (at != std::string::npos) {
    if (!TimeField(option, text, right.substr(at + 1), set.seconds))
      return false;
    right = right.substr(0, at);
  }
  long index = 0;
  char* end = nullptr;
  const double value = std::strtod(right.c_str(), &end);
  if (!ToLong(left, index) || right.empty() || *end != '\0')
    return Wants(option, "[PROGRAM:]INDEX=VALUE[@SECONDS]", text);
  const ParameterScope scope =
      index < 0 || index > INT32_MAX ? ParameterScope::None : ScopeOf(static_cast<int32_t>(index));
  if (scope == ParameterScope::None)
    return FieldFault(option, text,
                      "there is no parameter " + left + " to set (" + SettableIndices() + ")");
  if (!(value >= 0.0 && value <= 1.0))
    return FieldFault(option, text, "the value is 0 to 1, not \"" + right + "\"");
  if (set.program >= 0 && scope == ParameterScope::Bank)
    return FieldFault(option, text,
                      "parameter " + left + " belongs to the bank, not to one program");
  if (set.program >= 0 && scope == ParameterScope::Live)
    return FieldFault(option, text,
                      "parameter " + left + " is no setting of a program (it acts when it is set)");
  if (set.program >= 0 && set.seconds >= 0)
    return FieldFault(option, text,
                      "a parameter of one program is stored before the restore, at no time");
  set.index = static_cast<int32_t>(index);
  set.value = static_cast<float>(value);
  if (set.seconds >= 0 || scope == ParameterScope::Live)
    options.live.push_back(set);
  else
    options.stored.push_back(set);
  return true;
}

bool StoreMidiIn(const Option& option, const std::string& text, HostOptions& options)
{
  Action action;
  action.kind = ActionKind::Midi;
  action.option = option.name;
  std::string why;
  if (!ParseMidiBytes(text, action.seconds, action.bytes, why))
    return why.empty() ? Wants(option, "\"MS BYTES...\"", text)
                       : FieldFault(option, "\"" + text + "\"", why);
  options.actions.push_back(std::move(action));
  return true;
}

bool StoreSelect(const Option& option, const std::string& text, HostOptions& options)
{
  const size_t at = text.find('@');
  if (at == std::string::npos)
    return Wants(option, "PROGRAM@SECONDS", text);
  long program = 0;
  double seconds = 0;
  if (!ProgramField(option, text, text.substr(0, at), program) ||
      !TimeField(option, text, text.substr(at + 1), seconds))
    return false;
  StoreAction(options, ActionKind::Select, seconds, option);
  options.actions.back().program = program;
  return true;
}

bool StoreScreenshot(const Option& option, const std::string& text, HostOptions& options)
{
  const size_t at = text.rfind('@');
  Screenshot shot;
  if (at == std::string::npos || at == 0)
    return Wants(option, "FILE.png@SECONDS", text);
  if (!TimeField(option, text, text.substr(at + 1), shot.seconds))
    return false;
  shot.path = text.substr(0, at);
  options.screenshots.push_back(shot);
  return true;
}

bool StoreClick(const Option& option, const std::string& text, HostOptions& options)
{
  const size_t comma = text.find(',');
  const size_t at = text.find('@');
  if (comma == std::string::npos || at == std::string::npos || at < comma)
    return Wants(option, "X,Y@SECONDS", text);
  long x = 0;
  long y = 0;
  Click click;
  if (!FieldIn(text.substr(0, comma), 0, 32767, x) ||
      !FieldIn(text.substr(comma + 1, at - comma - 1), 0, 32767, y))
    return FieldFault(option, text, "X and Y are 0 to 32767");
  if (!TimeField(option, text, text.substr(at + 1), click.seconds))
    return false;
  click.x = static_cast<int>(x);
  click.y = static_cast<int>(y);
  options.clicks.push_back(click);
  return true;
}

bool StoreHostNumber(const Option& option, const std::string& text, VstIntPtr& out)
{
  long number = 0;
  if (!ToLong(text, number) || number < INT32_MIN || number > INT32_MAX)
    return Wants(option, "a number", text);
  out = number;
  return true;
}

std::string Lines(const std::vector<std::string>& lines, const char* indent)
{
  std::string text;
  for (const std::string& line : lines)
    text += "\n" + std::string(indent) + line;
  return text;
}

std::string SetHelp()
{
  using namespace param;
  auto n = [](int32_t index) { return std::to_string(index); };
  return "set parameter INDEX (" + SettableIndices() +
         ") to VALUE (0 to 1) in the state before the restore; with PROGRAM: in that program "
         "only; with @SECONDS through the plug-in at that time instead. " +
         n(kThru) + " thru, " + n(kSendOnInit) + "/" + n(kInitDelay) +
         " send on init and its delay (seconds / 999), " + n(kSendOnChange) + "/" +
         n(kChangeDelay) + " send on change and its delay, " + n(kPresetSwitching) +
         " preset switching, " + n(kFormatA) + "-" + n(kStripEnd - 1) + " the strips' fields, " +
         n(kKindA) + "+S / " + n(kKindB) + "+S the kind of message A / B of strip S, " +
         n(kSpacing) + " spacing (ms / " + n(kMaxSpacingMs) + "), " + n(kSettle) +
         " settle (ms / " + n(kMaxSettleMs) + "), " + n(kLearn) + " learn, " + n(kSendOnPlay) +
         " send on play, " + n(kSysExGap) + " SysEx gap (ms / " + n(kMaxSysExGapMs) + "), " +
         n(kWideNumberA) + "-" + n(kWideEnd - 1) + " the wide fields of the " + WideKindNames() +
         " messages, " + n(kVerifyTime) + " verify (ms / " + n(kMaxVerifyMs) + "), " + n(kRetries) +
         " retries (N / " + n(kMaxRetries) + "), " + n(kChangesOnly) + " changes only, " +
         n(kDinSpeed) + " DIN speed";
}

const std::vector<Option>& Table()
{
  static const std::vector<Option> table = {
      {"--help", Form::Flag, "", kInfo | kRun | kEdit | kLv2Preset | kHelp,
       "print the help of the command and exit",
       [](const Option&, const std::string&, HostOptions& o) { return o.help = true; }},
      {"--host-product", Form::Word, "TEXT", kLoading,
       "the host's product string (default \"quillet-host\"); the plug-in refuses some hosts by "
       "it",
       [](const Option&, const std::string& v, HostOptions& o) {
         o.config.product = v;
         return true;
       }},
      {"--host-version", Form::Word, "N", kLoading,
       "the host's answer to the VST version question (default 2400; 0 refuses the load)",
       [](const Option& r, const std::string& v, HostOptions& o) {
         return StoreHostNumber(r, v, o.config.version);
       }},
      {"--host-vendor-version", Form::Word, "N", kLoading, "the host's vendor version",
       [](const Option& r, const std::string& v, HostOptions& o) {
         return StoreHostNumber(r, v, o.config.vendorVersion);
       }},
      // The state the restore loads.
      {"--bank", Form::Word, "FILE.fxb", kDriving,
       "restore a bank file of this plug-in; the host then selects the bank's current program",
       [](const Option&, const std::string& v, HostOptions& o) {
         o.bankFile = v;
         return true;
       }},
      {"--program", Form::Word, "FILE.fxp", kDriving,
       "a program file loaded into the bank's current program, before the restore",
       [](const Option&, const std::string& v, HostOptions& o) {
         o.programFile = v;
         return true;
       }},
      {"--strip", Form::Word, "P:S:A[:B]", kDriving,
       "store strip S (0-" + std::to_string(kStripsPerProgram - 1) + ") of program P (0-" +
           std::to_string(kBankPrograms - 1) +
           ") and put it in use; A and B (B off when left out) are one of" +
           Lines(KindSpellings(), "  "),
       StoreStrip},
      {"--set", Form::Word, "[P:]INDEX=VALUE[@S]", kDriving, SetHelp(), StoreSet},
      {"--send-on-init", Form::OptionalEquals, "SECONDS", kDriving,
       "send the current program once after the restore, SECONDS (0-" +
           std::to_string(param::kMaxDelaySeconds) + ", default 0) after it",
       [](const Option& r, const std::string& v, HostOptions& o) {
         return StoreSend(r, v, o, param::kSendOnInit, param::kInitDelay);
       }},
      {"--send-on-change", Form::OptionalEquals, "SECONDS", kDriving,
       "send a program when the host selects it, SECONDS (0-" +
           std::to_string(param::kMaxDelaySeconds) + ", default 0) after the selection",
       [](const Option& r, const std::string& v, HostOptions& o) {
         return StoreSend(r, v, o, param::kSendOnChange, param::kChangeDelay);
       }},
      {"--spacing", Form::Word, "MS", kDriving,
       "the messages of a send go MS (0-" + std::to_string(kMaxSpacingMs) + ") apart",
       [](const Option& r, const std::string& v, HostOptions& o) {
         return StoreMs(r, v, o, param::kSpacing, kMaxSpacingMs);
       }},
      {"--settle", Form::Word, "MS", kDriving,
       "the message after a Program Change waits at least MS (0-" + std::to_string(kMaxSettleMs) +
           ")",
       [](const Option& r, const std::string& v, HostOptions& o) {
         return StoreMs(r, v, o, param::kSettle, kMaxSettleMs);
       }},
      {"--gap", Form::Word, "MS", kDriving,
       "the pause after each SysEx message of a send, MS (0-" + std::to_string(kMaxSysExGapMs) +
           ")",
       [](const Option& r, const std::string& v, HostOptions& o) {
         return StoreMs(r, v, o, param::kSysExGap, kMaxSysExGapMs);
       }},
      {"--verify", Form::Word, "MS", kDriving,
       "after each send of a program with a dump request and stored dumps, send the request and "
       "wait MS (0-" +
           std::to_string(kMaxVerifyMs) + ", default " + std::to_string(kDefaultVerifyMs) +
           ", 0 off) for the synth's reply to compare",
       [](const Option& r, const std::string& v, HostOptions& o) {
         return StoreMs(r, v, o, param::kVerifyTime, kMaxVerifyMs);
       }},
      {"--retries", Form::Word, "N", kDriving,
       "a send whose verify finds a difference or no answer goes again, up to N (0-" +
           std::to_string(kMaxRetries) + ", default " + std::to_string(kDefaultRetries) + ") times",
       [](const Option& r, const std::string& v, HostOptions& o) {
         long n = 0;
         if (!WholeIn(r, v, 0, kMaxRetries, "", n))
           return false;
         o.stored.push_back({-1, param::kRetries, static_cast<float>(n) / kMaxRetries});
         return true;
       }},
      {"--changes-only", Form::Flag, "", kDriving,
       "on a program change, a channel that was last sent the same Bank Select and Program "
       "Change gets only the messages that differ from what it was last sent",
       [](const Option&, const std::string&, HostOptions& o) {
         return StoreSwitchOn(o, param::kChangesOnly);
       }},
      {"--din-speed", Form::Flag, "", kDriving,
       "spacing, settle and gap count from when the previous message has left a 31,250-baud "
       "cable (320 us a byte)",
       [](const Option&, const std::string&, HostOptions& o) {
         return StoreSwitchOn(o, param::kDinSpeed);
       }},
      {"--send-on-play", Form::Flag, "", kDriving,
       "send the current program when the host's transport starts",
       [](const Option&, const std::string&, HostOptions& o) {
         return StoreSwitchOn(o, param::kSendOnPlay);
       }},
      {"--thru", Form::Flag, "", kDriving, "pass incoming MIDI through, in every program",
       [](const Option&, const std::string&, HostOptions& o) {
         for (int p = 0; p < kBankPrograms; ++p)
           o.stored.push_back({p, param::kThru, 1.0f});
         return true;
       }},
      {"--preset-switching", Form::Flag, "", kDriving,
       "an incoming Program Change selects that program",
       [](const Option&, const std::string&, HostOptions& o) {
         return StoreSwitchOn(o, param::kPresetSwitching);
       }},
      {"--learn", Form::Flag, "", kDriving,
       "learn what comes in into the current program, as the editor's Learn does",
       [](const Option&, const std::string&, HostOptions& o) {
         o.live.push_back({-1, param::kLearn, 1.0f});
         return true;
       }},
      {"--sysex", Form::Word, "P:FILE.syx", kDriving,
       "program P's SysEx messages are the file's (messages back to back); the first --sysex of "
       "a program replaces its messages, the next ones append theirs",
       [](const Option& r, const std::string& v, HostOptions& o) {
         return AddSyxOption(SyxUse::List, r.name, v, o.sysex);
       }},
      {"--sysex-request", Form::Word, "P:FILE.syx", kDriving,
       "program P's dump request is the file's one message; it is sent when Learn is switched "
       "on, and after each send to verify it (--verify)",
       [](const Option& r, const std::string& v, HostOptions& o) {
         return AddSyxOption(SyxUse::Request, r.name, v, o.sysex);
       }},
      {"--sysex-ignore", Form::Word, "P:OFFSET[,OFFSET...]", kDriving,
       "the bytes at OFFSET (1-" + std::to_string(kMaxDontCareOffset) +
           ", counted from the F0 as a verify's \"differs at byte N\") of program P's dumps are "
           "don't-care: a verify does not compare them (at most " +
           std::to_string(kMaxDontCareBytes) + " a program; the F0 and the F7 are always compared)",
       [](const Option& r, const std::string& v, HostOptions& o) {
         return AddDontCareOption(r.name, v, o.sysex);
       }},
      {"--export-sysex", Form::Word, "P:FILE.syx", kDriving,
       "at the end, write program P's SysEx messages to the file",
       [](const Option& r, const std::string& v, HostOptions& o) {
         return AddSyxOption(SyxUse::Export, r.name, v, o.sysex);
       }},
      {"--save-bank", Form::Word, "FILE.fxb", kDriving, "at the end, save the bank as a bank file",
       [](const Option&, const std::string& v, HostOptions& o) {
         o.saveBank = v;
         return true;
       }},
      {"--save-program", Form::Word, "FILE.fxp", kDriving,
       "at the end, save the current program as a program file, as a host saves a preset",
       [](const Option&, const std::string& v, HostOptions& o) {
         o.saveProgram = v;
         return true;
       }},
      // What happens during the run.
      {"--seconds", Form::Word, "S", kDriving,
       "how long to run (run: default 3; edit: until the window is closed)",
       [](const Option& r, const std::string& v, HostOptions& o) {
         return ToSeconds(v, o.seconds) || Wants(r, "0 to 86400 seconds", v);
       }},
      {"--select", Form::Word, "N@SECONDS", kDriving,
       "the host selects program N (0-" + std::to_string(kBankPrograms - 1) + ") at that time",
       StoreSelect},
      {"--midi-in", Form::Word, "\"MS BYTES...\"", kDriving,
       "MIDI into the plug-in at MS milliseconds, in hex: a status byte and its data bytes "
       "(each below 80), e.g. \"500 C0 05\", or a SysEx message F0 ... F7",
       StoreMidiIn},
      {"--resend", Form::At, "SECONDS", kDriving,
       "a resend at that time (parameter 0 up and down, as the editor's Resend)",
       [](const Option& r, const std::string& v, HostOptions& o) {
         double seconds = 0;
         return TimeField(r, v, v, seconds) && StoreAction(o, ActionKind::Resend, seconds, r);
       }},
      {"--play", Form::At, "SECONDS", kDriving, "the host's transport starts playing at that time",
       [](const Option& r, const std::string& v, HostOptions& o) {
         double seconds = 0;
         return TimeField(r, v, v, seconds) && StoreAction(o, ActionKind::Play, seconds, r);
       }},
      {"--no-time-info", Form::Flag, "", kDriving,
       "the host answers no time info (send on play then never sends)",
       [](const Option&, const std::string&, HostOptions& o) {
         o.timeInfo = false;
         return true;
       }},
      {"--rate", Form::Word, "HZ", kRun, "the sample rate, 8000 to 384000 (default 44100)",
       [](const Option& r, const std::string& v, HostOptions& o) {
         long hz = 0;
         if (!WholeIn(r, v, 8000, 384000, " Hz", hz))
           return false;
         o.rate = static_cast<double>(hz);
         return true;
       }},
      {"--block", Form::Word, "FRAMES", kRun, "the block size, 1 to 8192 (default 512)",
       [](const Option& r, const std::string& v, HostOptions& o) {
         return WholeIn(r, v, 1, 8192, " frames", o.block);
       }},
      {"--synth", Form::Word, "FILE.syx", kRun,
       "a test synth on the plug-in's input: it answers each SysEx message shorter than the "
       "file's first message (a dump request) with the file's messages",
       [](const Option& r, const std::string& v, HostOptions& o) {
         std::unique_ptr<const SysExSet> set;
         std::string error;
         if (!files::ReadSyxFile(v, set, error)) {
           std::fprintf(stderr, "quillet-host: %s: %s\n", r.name, error.c_str());
           return false;
         }
         o.synth.dump = std::move(set);
         return true;
       }},
      {"--synth-latency", Form::Word, "MS", kRun,
       "the test synth answers MS (0-10000, default 10) after the request",
       [](const Option& r, const std::string& v, HostOptions& o) {
         long ms = 0;
         if (!WholeIn(r, v, 0, 10000, " ms", ms))
           return false;
         o.synth.latencyMs = static_cast<double>(ms);
         return true;
       }},
      {"--synth-drop", Form::Word, "N", kRun,
       "the test synth leaves the first N (0-100) requests unanswered",
       [](const Option& r, const std::string& v, HostOptions& o) {
         long n = 0;
         if (!WholeIn(r, v, 0, 100, "", n))
           return false;
         o.synth.drop = static_cast<int32_t>(n);
         return true;
       }},
      {"--synth-alter", Form::Word, "OFFSET", kRun,
       "the test synth answers with the data byte at OFFSET of its file changed (its lowest bit "
       "flipped)",
       [](const Option& r, const std::string& v, HostOptions& o) {
         long offset = 0;
         if (!WholeIn(r, v, 1, kMaxSysExListBytes, "", offset))
           return false;
         o.synth.alter = offset;
         return true;
       }},
      {"--print-sysex", Form::Word, "cut|full", kRun,
       "how SysEx the plug-in sends is printed: cut (the default: whole up to 16 bytes, else "
       "the first 16, the end and the size) or full",
       [](const Option& r, const std::string& v, HostOptions& o) {
         if (v != "cut" && v != "full")
           return Wants(r, "cut or full", v);
         o.wholeSysEx = v == "full";
         return true;
       }},
      // The editor's host window.
      {"--host-style", Form::Word, "NAME", kEdit,
       "how the host hands its display and delivers X events: " + HostStyleNames() +
           " (the README's table says what each does; default eventproc)",
       [](const Option& r, const std::string& v, HostOptions& o) {
         return ParseHostStyle(v, o.style) || Wants(r, HostStyleNames(), v);
       }},
      {"--no-display", Form::Flag, "", kEdit, "the same as --host-style no-display-eventproc",
       [](const Option&, const std::string&, HostOptions& o) {
         o.style = HostStyle::NoDisplayEventProc;
         return true;
       }},
      {"--no-eventproc", Form::Flag, "", kEdit, "the same as --host-style selective",
       [](const Option&, const std::string&, HostOptions& o) {
         o.style = HostStyle::Selective;
         return true;
       }},
      {"--screenshot", Form::Word, "FILE.png@S", kEdit,
       "save what the host window shows at S seconds (repeatable)", StoreScreenshot},
      {"--click", Form::Word, "X,Y@S", kEdit,
       "a left click at X,Y of the host window at S seconds (XTest)", StoreClick},
      // LV2 presets.
      {"--extract", Form::Flag, "", kLv2Preset,
       "read PRESET.ttl (a preset an LV2 host saved) and write its bank as OUT.fxb",
       [](const Option&, const std::string&, HostOptions& o) { return o.extract = true; }},
      {"--folder", Form::Word, "DIR", kLv2Preset,
       "write the preset bundle into DIR instead of ~/.lv2",
       [](const Option&, const std::string& v, HostOptions& o) {
         o.folder = v;
         return true;
       }},
      {"--markdown", Form::Flag, "", kHelp, "print the option list as the README's Markdown table",
       [](const Option&, const std::string&, HostOptions& o) { return o.markdown = true; }},
  };
  return table;
}

const Option* Find(const std::string& name)
{
  for (const Option& option : Table()) {
    if (name == option.name)
      return &option;
  }
  return nullptr;
}

std::string Synopsis(const Option& option)
{
  switch (option.form) {
  case Form::Flag:
    return option.name;
  case Form::Word:
    return std::string(option.name) + " " + option.value;
  case Form::At:
    return std::string(option.name) + "@" + option.value;
  case Form::OptionalEquals:
    return std::string(option.name) + "[=" + option.value + "]";
  }
  return option.name;
}

// Takes the option's value: from the word itself (after '=' or '@') or the
// next word.
bool TakeValue(const Option& option, const std::string& word, size_t cut, int argc, char** argv,
               int& i, std::string& value)
{
  const char glue = cut == std::string::npos ? '\0' : word[cut];
  if (cut != std::string::npos)
    value = word.substr(cut + 1);
  switch (option.form) {
  case Form::Flag:
    if (glue)
      return Wants(option, "no value", word);
    return true;
  case Form::OptionalEquals:
    if (glue == '@')
      return Wants(option, std::string("[=") + option.value + "]", word);
    return true;
  case Form::At:
    if (glue != '@')
      return Wants(option, std::string("@") + option.value + " glued on", word);
    return true;
  case Form::Word:
    if (glue == '=')
      return true;
    if (glue || i + 1 >= argc) {
      Fail(std::string(option.name) + " needs a value (" + option.value + ")");
      return false;
    }
    value = argv[++i];
    return true;
  }
  return false;
}

bool CheckPositional(const CommandInfo& info, HostOptions& options)
{
  const size_t count = options.positional.size();
  if (count >= info.fewest && count <= info.most)
    return true;
  if (count < info.fewest)
    Fail(std::string(info.name) + " wants " + info.words +
         (count ? ", not only \"" + options.positional[0] + "\"" : ""));
  else
    Fail(std::string(info.name) + " takes " + info.words + "; \"" + options.positional.back() +
         "\" is one word too many");
  return false;
}

// Wraps `text` to lines of `width`, each after `indent` spaces (the first
// line after `first` characters already written). Explicit line breaks
// stay.
void PrintWrapped(FILE* out, const std::string& text, size_t first, size_t indent)
{
  constexpr size_t width = 79;
  size_t column = first;
  std::istringstream lines(text);
  bool firstLine = true;
  for (std::string line; std::getline(lines, line);) {
    if (!firstLine) {
      std::fprintf(out, "\n%*s", static_cast<int>(indent), "");
      column = indent;
    }
    firstLine = false;
    std::istringstream words(line);
    bool start = true;
    // A line's own leading spaces (a list) are kept.
    const size_t lead = line.find_first_not_of(' ');
    if (lead != std::string::npos && lead > 0) {
      std::fprintf(out, "%s", line.substr(0, lead).c_str());
      column += lead;
    }
    for (std::string word; words >> word;) {
      if (!start && column + 1 + word.size() > width) {
        std::fprintf(out, "\n%*s",
                     static_cast<int>(indent + (lead != std::string::npos ? lead : 0)), "");
        column = indent + lead;
      } else if (!start) {
        std::fputc(' ', out);
        ++column;
      }
      std::fputs(word.c_str(), out);
      column += word.size();
      start = false;
    }
  }
  std::fputc('\n', out);
}

void PrintOptions(FILE* out, unsigned command)
{
  constexpr size_t column = 28;
  for (const Option& option : Table()) {
    if (!(option.commands & command))
      continue;
    const std::string synopsis = "  " + Synopsis(option);
    std::fputs(synopsis.c_str(), out);
    size_t at = synopsis.size();
    if (at + 2 > column) {
      std::fprintf(out, "\n%*s", static_cast<int>(column), "");
      at = column;
    } else {
      std::fprintf(out, "%*s", static_cast<int>(column - at), "");
      at = column;
    }
    std::string help = option.help;
    if (command == 0 || (command & (command - 1)) != 0)
      help = "(" + CommandNames(option.commands) + ") " + help;
    PrintWrapped(out, help, at, column);
  }
}

std::string MarkdownCell(std::string text)
{
  std::string cell;
  for (char c : text) {
    if (c == '|')
      cell += "\\|";
    else if (c == '\n')
      cell += "<br>";
    else
      cell += c;
  }
  return cell;
}

} // namespace

unsigned CommandNamed(const std::string& name)
{
  for (const CommandInfo& info : kCommands) {
    if (name == info.name)
      return info.bit;
  }
  return 0;
}

bool ParseOptions(unsigned command, int argc, char** argv, HostOptions& options)
{
  const CommandInfo* info = Info(command);
  if (!info)
    return false;
  options.command = command;
  for (int i = 0; i < argc; ++i) {
    std::string word = argv[i];
    if (word == "-h")
      word = "--help";
    if (word.size() < 3 || word.compare(0, 2, "--") != 0) {
      options.positional.push_back(word);
      continue;
    }
    const size_t cut = word.find_first_of("=@");
    const std::string name = word.substr(0, cut);
    const Option* option = Find(name);
    if (!option) {
      Fail(std::string(info->name) + " does not know the option " + word + " (quillet-host " +
           info->name + " --help lists them)");
      return false;
    }
    if (!(option->commands & command)) {
      Fail(name + " is an option of " + CommandNames(option->commands) + ", not of " + info->name);
      return false;
    }
    std::string value;
    if (!TakeValue(*option, word, cut, argc, argv, i, value) ||
        !option->store(*option, value, options))
      return false;
  }
  if (options.help)
    return true;
  if (!CheckPositional(*info, options))
    return false;
  // The test synth's options are about its file, in any order.
  if (!options.synth.dump && (options.synth.alter >= 0 || options.synth.drop > 0)) {
    Fail("--synth-alter and --synth-drop are options of the test synth: give it --synth FILE.syx");
    return false;
  }
  if (options.synth.dump && options.synth.alter >= 0) {
    const std::string fault =
        qhost::TestSynth::AlterFault(*options.synth.dump, options.synth.alter);
    if (!fault.empty()) {
      Fail("--synth-alter " + std::to_string(options.synth.alter) + ": " + fault);
      return false;
    }
  }
  // A plug-in path is taken as the user typed it: without a slash it is a
  // file of the current folder, not a name for the library search.
  if ((command & kLoading) && options.positional[0].find('/') == std::string::npos)
    options.positional[0] = "./" + options.positional[0];
  std::stable_sort(options.actions.begin(), options.actions.end(),
                   [](const Action& a, const Action& b) { return a.seconds < b.seconds; });
  return true;
}

void PrintHelp(FILE* out, unsigned command)
{
  const CommandInfo* only = Info(command);
  if (only) {
    std::fprintf(out, "usage: quillet-host %s %s [options]\n\n", only->name, only->words);
    PrintWrapped(out, only->summary, 0, 0);
    std::fputs("\noptions:\n", out);
    PrintOptions(out, command);
    return;
  }
  std::fputs("usage: quillet-host COMMAND ... [options]\n\ncommands:\n", out);
  for (const CommandInfo& info : kCommands) {
    const std::string head = "  " + std::string(info.name) + " " + info.words;
    std::fprintf(out, "%s\n      ", head.c_str());
    PrintWrapped(out, info.summary, 6, 6);
  }
  std::fputs("\noptions (the commands that take each in brackets):\n", out);
  PrintOptions(out, 0xFFFFu);
}

void PrintMarkdown(FILE* out)
{
  std::fputs("| option | commands | what it does |\n|--------|----------|--------------|\n", out);
  for (const Option& option : Table()) {
    std::fprintf(out, "| `%s` | %s | %s |\n", MarkdownCell(Synopsis(option)).c_str(),
                 CommandNames(option.commands).c_str(), MarkdownCell(option.help).c_str());
  }
}

void WarnAboutTimes(const HostOptions& options)
{
  const double end = options.command == kRun && options.seconds < 0 ? 3.0 : options.seconds;
  if (end < 0)
    return;
  auto warn = [&](const std::string& what, double seconds) {
    if (seconds >= end)
      std::fprintf(stderr,
                   "quillet-host: warning: %s at %g s comes at or after the end of the run "
                   "(--seconds %g): it never happens\n",
                   what.c_str(), seconds, end);
  };
  for (const Action& action : options.actions)
    warn(action.option, action.seconds);
  for (const ParameterSet& set : options.live) {
    if (set.seconds >= 0)
      warn("--set " + std::to_string(set.index), set.seconds);
  }
  for (const Screenshot& shot : options.screenshots)
    warn("--screenshot " + shot.path, shot.seconds);
  for (const Click& click : options.clicks)
    warn("--click", click.seconds);
}

} // namespace qhost::cli
