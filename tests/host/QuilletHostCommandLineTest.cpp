// quillet-host's command line as a user types it: every refused line gives
// one line that names the option and the field at fault, and its exit
// status; the help lists every option of the table and every message kind
// of the model's table; the state the options give is restored once, so the
// send on init sees it all.
#include "files/PresetFile.h"
#include "model/MessageKinds.h"
#include "tests/testsupport/Subprocess.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>
#include <unistd.h>

using testing::HasSubstr;
using testsupport::RunHost;

namespace {

std::string TempPath(const std::string& name)
{
  return std::string(QUILLET_BINARY_DIR) + "/cli-" + std::to_string(getpid()) + "-" + name;
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

// The event lines of a run ("12.0 ms  B0 07 64"), bytes only.
std::vector<std::string> Sent(const std::string& out)
{
  std::vector<std::string> sent;
  const std::regex pattern(R"(^[0-9]+\.[0-9] ms  (.*)$)");
  std::stringstream stream(out);
  for (std::string line; std::getline(stream, line);) {
    std::smatch match;
    if (std::regex_match(line, match, pattern))
      sent.push_back(match[1]);
  }
  return sent;
}

struct BadLine
{
  const char* name;
  std::vector<std::string> args; // after "run PLUGIN" unless the first is a command
  const char* line;              // the one line on stderr (its start)
  int status;
  friend void PrintTo(const BadLine& c, std::ostream* out) { *out << c.name; }
};

class BadCommandLine : public testing::TestWithParam<BadLine>
{
};

TEST_P(BadCommandLine, GivesOneLineAndItsExitStatus)
{
  const BadLine& c = GetParam();
  std::vector<std::string> args = c.args;
  if (args.empty() || args[0].rfind("--", 0) == 0)
    args.insert(args.begin(), {"run", QUILLET_PLUGIN_PATH});
  for (std::string& arg : args) {
    if (arg == "PLUGIN")
      arg = QUILLET_PLUGIN_PATH;
  }
  const auto result = RunHost(args);
  EXPECT_EQ(result.exitCode, c.status) << result.err;
  EXPECT_EQ(result.err.rfind(c.line, 0), 0u) << result.err;
  EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
}

INSTANTIATE_TEST_SUITE_P(
    QuilletHost, BadCommandLine,
    testing::Values(
        BadLine{"BankFolder", {"--bank", "/tmp"}, "quillet-host: /tmp: is a folder, not a file", 2},
        BadLine{"ProgramFolder", {"--program", "/tmp"}, "quillet-host: /tmp: is a folder", 2},
        BadLine{"EditBankFolder",
                {"edit", "PLUGIN", "--bank", "/tmp", "--seconds", "0"},
                "quillet-host: /tmp: is a folder",
                2},
        BadLine{"SelectOutOfRange",
                {"--select", "200@0.1"},
                "quillet-host: --select 200@0.1: the program is 0 to 127, not \"200\"",
                2},
        BadLine{"SetNoSuchIndex",
                {"--set", "999=1"},
                "quillet-host: --set 999=1: there is no parameter 999 to set (0, 1, 3-135, "
                "200-235, 238-334, 336-339)",
                2},
        BadLine{"SetNotice", {"--set", "136=1"}, "quillet-host: --set 136=1: there is no", 2},
        BadLine{"SetValueAboveOne",
                {"--set", "3=2"},
                "quillet-host: --set 3=2: the value is 0 to 1, not \"2\"",
                2},
        BadLine{"SetNan", {"--set", "3=nan"}, "quillet-host: --set 3=nan: the value is 0 to 1", 2},
        BadLine{"SetBankParameterOfAProgram",
                {"--set", "1:232=0.1"},
                "quillet-host: --set 1:232=0.1: parameter 232 belongs to the bank",
                2},
        BadLine{"RateTooHigh",
                {"--rate", "1000000"},
                "quillet-host: --rate wants 8000 to 384000 Hz, not \"1000000\"",
                2},
        BadLine{"RateOne", {"--rate", "1"}, "quillet-host: --rate wants 8000 to 384000 Hz", 2},
        BadLine{"MidiInShort",
                {"--midi-in", "100 B0 4A"},
                "quillet-host: --midi-in \"100 B0 4A\": a message of status B0 has 2 data bytes, "
                "not 1",
                2},
        BadLine{"MidiInDataByteAbove7F",
                {"--midi-in", "110 B0 4A 80"},
                "quillet-host: --midi-in \"110 B0 4A 80\": data byte 80 is not below 80",
                2},
        BadLine{"MidiInNoStatus",
                {"--midi-in", "100 07 64"},
                "quillet-host: --midi-in \"100 07 64\": the first byte is a status byte",
                2},
        BadLine{"MidiInLong",
                {"--midi-in", "100 C0 05 06"},
                "quillet-host: --midi-in \"100 C0 05 06\": a message of status C0 has 1 data "
                "byte, not 2",
                2},
        BadLine{"StripNumber",
                {"--strip", "0:0:cc/1/128/0"},
                "quillet-host: --strip 0:0:cc/1/128/0: message A: cc: the number is 0 to 127, "
                "not \"128\"",
                2},
        BadLine{"StripChannel",
                {"--strip", "0:0:off:pc/17/1"},
                "quillet-host: --strip 0:0:off:pc/17/1: message B: pc: the channel is 1 to 16",
                2},
        BadLine{"StripSevenBitValue",
                {"--strip", "0:0:nrpn/1/1/200/7"},
                "quillet-host: --strip 0:0:nrpn/1/1/200/7: message A: nrpn: the value (/7) is 0 "
                "to 127",
                2},
        BadLine{"StripKind",
                {"--strip", "0:0:sysx/1/2/3"},
                "quillet-host: --strip 0:0:sysx/1/2/3: message A: \"sysx\" is no message kind",
                2},
        BadLine{"StripStrip",
                {"--strip", "0:16:cc/1/1/1"},
                "quillet-host: --strip 0:16:cc/1/1/1: the strip is 0 to 15",
                2},
        BadLine{"IgnoreNotANumber",
                {"--sysex-ignore", "0:12,x"},
                "quillet-host: --sysex-ignore 0:12,x: an offset is 1 to 65535 (from the F0, "
                "which is 0), not \"x\"",
                2},
        BadLine{"IgnoreTheF0",
                {"--sysex-ignore", "0:0"},
                "quillet-host: --sysex-ignore 0:0: an offset is 1 to 65535",
                2},
        BadLine{"IgnoreBeyondTheLongestMessage",
                {"--sysex-ignore", "0:65536"},
                "quillet-host: --sysex-ignore 0:65536: an offset is 1 to 65535",
                2},
        BadLine{"IgnoreAnEmptyOffset",
                {"--sysex-ignore", "0:5,"},
                "quillet-host: --sysex-ignore 0:5,: an offset is 1 to 65535",
                2},
        BadLine{"IgnoreNoProgram",
                {"--sysex-ignore", "128:5"},
                "quillet-host: --sysex-ignore wants PROGRAM:OFFSET[,OFFSET...] with a program 0 "
                "to 127, not \"128:5\"",
                2},
        BadLine{"IgnoreSeventeen",
                {"--sysex-ignore", "3:1,2,3,4,5,6,7,8,9", "--sysex-ignore",
                 "3:9,10,11,12,13,14,15,16,17"},
                "quillet-host: --sysex-ignore 3:9,10,11,12,13,14,15,16,17: a program has at most "
                "16 don't-care bytes, program 3 would have 17",
                2},
        BadLine{"OptionOfAnotherCommand",
                {"--click", "1,1@1"},
                "quillet-host: --click is an option of edit, not of run",
                2},
        BadLine{"UnknownOption", {"--frobnicate"}, "quillet-host: run does not know the option", 2},
        BadLine{"NoPlugin", {"run"}, "quillet-host: run wants PATH.so", 2},
        BadLine{"InfoLoadFailure",
                {"info", "/nonexistent/quillet.so"},
                "quillet-host: cannot load /nonexistent/quillet.so",
                2},
        BadLine{"RunLoadFailure",
                {"run", "/nonexistent/quillet.so"},
                "quillet-host: cannot load /nonexistent/quillet.so",
                2},
        BadLine{"MidiInAfterTheEnd",
                {"--seconds", "0.1", "--midi-in", "500 B0 07 64"},
                "quillet-host: warning: --midi-in at 0.5 s comes at or after the end of the run",
                0},
        BadLine{"ResendAfterTheEnd",
                {"--seconds", "0.1", "--resend@2"},
                "quillet-host: warning: --resend at 2 s",
                0},
        BadLine{"Lv2PresetWithoutAName",
                {"lv2-preset", QUILLET_SOURCE_DIR "/examples/demo.fxb"},
                "quillet-host: lv2-preset wants BANK.fxb NAME",
                2},
        BadLine{"ExtractNoTurtle",
                {"lv2-preset", "--extract", QUILLET_SOURCE_DIR "/examples/demo.fxb", "/tmp/x.fxb"},
                "quillet-host: " QUILLET_SOURCE_DIR "/examples/demo.fxb: is no Turtle file",
                2}),
    [](const testing::TestParamInfo<BadLine>& info) { return std::string(info.param.name); });

TEST(QuilletHostHelp, ListsEveryOptionAndEveryKindOfTheTables)
{
  const auto all = RunHost({"--help"});
  ASSERT_EQ(all.exitCode, 0) << all.err;
  for (int32_t i = 0; i < strips::KindCount(); ++i)
    EXPECT_THAT(all.out, HasSubstr(std::string(strips::Kinds()[i].word) + "/CH"));
  for (const char* option :
       {"--sysex P:FILE.syx", "--sysex-request", "--export-sysex", "--send-on-init[=SECONDS]",
        "--gap MS", "--save-program", "--print-sysex", "238"})
    EXPECT_THAT(all.out, HasSubstr(option));
  // A command's help: its options only, and no plug-in needed.
  const auto run = RunHost({"run", "--help"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_THAT(run.out, HasSubstr("usage: quillet-host run PATH.so"));
  EXPECT_THAT(run.out, HasSubstr("--rate HZ"));
  EXPECT_THAT(run.out, testing::Not(HasSubstr("--click")));
}

TEST(QuilletHostHelp, TheReadmeListsTheOptionTable)
{
  const auto table = RunHost({"help", "--markdown"});
  ASSERT_EQ(table.exitCode, 0) << table.err;
  std::ifstream file(QUILLET_SOURCE_DIR "/README.md");
  std::stringstream readme;
  readme << file.rdbuf();
  const std::string text = readme.str();
  const std::string begin = "<!-- quillet-host help --markdown: begin -->\n";
  const size_t start = text.find(begin);
  const size_t end = text.find("<!-- quillet-host help --markdown: end -->");
  ASSERT_NE(start, std::string::npos);
  ASSERT_NE(end, std::string::npos);
  EXPECT_EQ(text.substr(start + begin.size(), end - start - begin.size()), table.out)
      << "paste the output of quillet-host help --markdown into the README";
}

TEST(QuilletHostOrder, TheRestoreComesAfterEverySettingSoTheInitSendSeesThem)
{
  const std::string syx = TempPath("voice.syx");
  WriteFile(syx, {0xF0, 0x43, 0x00, 0x09, 0xF7});
  // The options in the order the issue's user typed them.
  const auto result = RunHost({"run", QUILLET_PLUGIN_PATH, "--sysex", "0:" + syx, "--set", "3=1",
                               "--set", "4=0", "--seconds", "0.3"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_THAT(Sent(result.out), testing::ElementsAre("F0 43 00 09 F7"));
  // The named option does the same.
  const auto named = RunHost(
      {"run", QUILLET_PLUGIN_PATH, "--sysex", "0:" + syx, "--send-on-init", "--seconds", "0.3"});
  EXPECT_THAT(Sent(named.out), testing::ElementsAre("F0 43 00 09 F7"));
  std::remove(syx.c_str());
}

TEST(QuilletHostOrder, SysExRepeatedForOneProgramAppendsInOrder)
{
  const std::string a = TempPath("a.syx");
  const std::string b = TempPath("b.syx");
  WriteFile(a, {0xF0, 0x01, 0xF7});
  WriteFile(b, {0xF0, 0x02, 0xF7, 0xF0, 0x03, 0xF7});
  const auto result =
      RunHost({"run", QUILLET_PLUGIN_PATH, "--sysex", "0:" + a, "--sysex", "0:" + b,
               "--send-on-init", "--gap", "10", "--seconds", "0.3", "--print-sysex", "full"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_THAT(Sent(result.out), testing::ElementsAre("F0 01 F7", "F0 02 F7", "F0 03 F7"));
  std::remove(a.c_str());
  std::remove(b.c_str());
}

TEST(QuilletHostOrder, OneProgramOfTheBankSendsOnChange)
{
  // Program 1 alone sends when selected; program 0 does not.
  const auto result =
      RunHost({"run", QUILLET_PLUGIN_PATH, "--strip", "0:0:cc/1/7/1", "--strip", "1:0:cc/1/7/2",
               "--set", "1:5=1", "--select", "1@0.05", "--select", "0@0.1", "--seconds", "0.2"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_THAT(Sent(result.out), testing::ElementsAre("B0 07 02"));
}

TEST(QuilletHostPrint, FullPrintsADumpWhole)
{
  std::vector<uint8_t> dump = {0xF0, 0x43};
  std::string whole = "F0 43";
  for (int i = 0; i < 30; ++i) {
    dump.push_back(static_cast<uint8_t>(i));
    char hex[4];
    std::snprintf(hex, sizeof hex, " %02X", i);
    whole += hex;
  }
  dump.push_back(0xF7);
  whole += " F7";
  const std::string syx = TempPath("long.syx");
  WriteFile(syx, dump);
  const auto result = RunHost({"run", QUILLET_PLUGIN_PATH, "--sysex", "0:" + syx, "--send-on-init",
                               "--seconds", "0.1", "--print-sysex", "full"});
  std::remove(syx.c_str());
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_THAT(Sent(result.out), testing::ElementsAre(whole));
}

TEST(QuilletHostLearn, AFullSysExListSaysWhatWasNotKeptAndExitsOne)
{
  // Two dumps of 40,000 bytes with different headers: the second does not
  // fit the 65,536 bytes of a program's list.
  auto dump = [](int ms, int id) {
    char head[32];
    std::snprintf(head, sizeof head, "%d F0 %02X", ms, id);
    std::string text = head;
    for (int i = 0; i < 39997; ++i)
      text += " 11";
    return text + " F7";
  };
  const auto result = RunHost({"run", QUILLET_PLUGIN_PATH, "--learn", "--midi-in", dump(100, 0x41),
                               "--midi-in", dump(200, 0x42), "--seconds", "0.4"});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_THAT(result.err, HasSubstr("quillet-host: learning was full: the SysEx message at 200"));
  EXPECT_THAT(result.err, HasSubstr("F0 42 11"));
  EXPECT_THAT(result.err, testing::Not(HasSubstr("F0 41 11")));
}

TEST(QuilletHostPath, APathWithoutASlashIsAFileOfTheCurrentFolder)
{
  const std::string emulator = QUILLET_EMULATOR;
  const std::string script = std::string("cd '") + QUILLET_BINARY_DIR + "' && exec " + emulator +
                             " '" + QUILLET_HOST_PATH + "' info quillet.so";
  // The shell is this machine's own program: /usr/ paths are never emulated.
  const auto result = testsupport::Run("/usr/bin/sh", {"-c", script});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_THAT(result.out, HasSubstr("Plug-in        ./quillet.so"));
}

TEST(QuilletHostPrograms, SaveProgramWritesTheCurrentProgramAsAHostDoes)
{
  const std::string path = TempPath("saved.fxp");
  auto made = RunHost({"run", QUILLET_PLUGIN_PATH, "--strip", "3:0:cc/2/74/10", "--select", "3@0",
                       "--seconds", "0.05", "--save-program", path});
  ASSERT_EQ(made.exitCode, 0) << made.err;
  files::PresetFile preset;
  std::string error;
  ASSERT_TRUE(files::ReadPresetFile(path, preset, error)) << error;
  EXPECT_FALSE(preset.bank);
  EXPECT_EQ(preset.uniqueId, 0x514C5458);
  EXPECT_EQ(preset.name, "004 - empty preset");
  EXPECT_EQ(preset.chunk.size(), 276u);
  // Loaded into another bank's current program, it sends what was saved.
  const auto loaded =
      RunHost({"run", QUILLET_PLUGIN_PATH, "--program", path, "--seconds", "0.1", "--resend@0"});
  std::remove(path.c_str());
  ASSERT_EQ(loaded.exitCode, 0) << loaded.err;
  EXPECT_THAT(Sent(loaded.out), testing::ElementsAre("B1 4A 0A"));
}

} // namespace
