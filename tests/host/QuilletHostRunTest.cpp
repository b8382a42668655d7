// quillet-host run: the main job, as a user runs it.
#include "files/PresetFile.h"
#include "tests/testsupport/Subprocess.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <regex>
#include <sstream>
#include <unistd.h>

using testing::ElementsAre;
using testing::HasSubstr;
using testsupport::RunHost;

namespace {

struct Line
{
  double ms;
  std::string bytes;
};

std::vector<Line> EventLines(const std::string& out)
{
  std::vector<Line> lines;
  const std::regex pattern(R"(^([0-9]+\.[0-9]) ms  ((?:[0-9A-F]{2} ?)+)$)");
  std::stringstream stream(out);
  for (std::string text; std::getline(stream, text);) {
    std::smatch match;
    if (std::regex_match(text, match, pattern))
      lines.push_back({std::stod(match[1]), match[2]});
  }
  return lines;
}

std::vector<std::string> Bytes(const std::vector<Line>& lines)
{
  std::vector<std::string> bytes;
  for (const Line& line : lines)
    bytes.push_back(line.bytes);
  return bytes;
}

std::string TempPath(const std::string& name)
{
  return std::string(QUILLET_BINARY_DIR) + "/" + name + "-" + std::to_string(getpid());
}

} // namespace

TEST(QuilletHostRun, DemoBankSendsInitAfterOneSecondAndTheChangeAtOnce)
{
  const auto result =
      RunHost({"run", QUILLET_PLUGIN_PATH, "--bank", QUILLET_SOURCE_DIR "/examples/demo.fxb",
               "--seconds", "2.6", "--select", "1@2"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  const auto lines = EventLines(result.out);
  ASSERT_THAT(Bytes(lines),
              ElementsAre("B0 07 64", "B1 4A 40", "90 3C 64", "B0 07 50", "B1 4A 1E"));
  // The countdown starts with the host's selection, just before the audio
  // loop whose start is time 0.
  EXPECT_GE(lines[0].ms, 950.0);
  EXPECT_LT(lines[0].ms, 1150.0);
  EXPECT_GE(lines[3].ms, 2000.0);
  EXPECT_LT(lines[3].ms, 2030.0) << "in the first block after the selection";
}

TEST(QuilletHostRun, MidiInputResendAndParameters)
{
  const auto result = RunHost({"run", QUILLET_PLUGIN_PATH, "--seconds", "0.4", "--set", "1=1",
                               "--strip", "0:0:cc/3/7/127:off", "--midi-in", "100 90 3C 40",
                               "--midi-in", "150 B0 01 02", "--resend@0.2"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  const auto lines = EventLines(result.out);
  ASSERT_THAT(Bytes(lines), ElementsAre("90 3C 40", "B0 01 02", "B2 07 7F"));
  EXPECT_NEAR(lines[0].ms, 100.0, 0.1) << "at its frame inside the block";
  EXPECT_NEAR(lines[1].ms, 150.0, 0.1);
}

TEST(QuilletHostRun, WideKindsGoOutAsTheirControllersAtOneFrame)
{
  const auto result =
      RunHost({"run", QUILLET_PLUGIN_PATH, "--seconds", "0.3", "--spacing", "100", "--strip",
               "0:0:nrpn/1/1024/100/7/null:cc14/2/7/12000", "--resend@0.05"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  const auto lines = EventLines(result.out);
  ASSERT_THAT(Bytes(lines), ElementsAre("B0 63 08", "B0 62 00", "B0 06 64", "B0 65 7F", "B0 64 7F",
                                        "B1 07 5D", "B1 27 60"));
  EXPECT_EQ(lines[0].ms, lines[4].ms) << "one message, one frame";
  EXPECT_NEAR(lines[5].ms - lines[0].ms, 100.0, 0.1) << "the spacing is between messages";
}

// Pressure and pitch bend as a user stores and learns them: --strip's
// spellings go out on a resend, and the same events fed while learning come
// back from the saved bank.
TEST(QuilletHostRun, PressureAndPitchBendAreStoredSentAndLearned)
{
  const std::vector<std::string> sent = {"E0 00 40", "D1 40", "A0 3C 64"};
  auto result = RunHost({"run", QUILLET_PLUGIN_PATH, "--seconds", "0.2", "--strip",
                         "0:0:pb/1/8192:cp/2/64", "--strip", "0:1:poly/1/60/100", "--resend@0.05"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(Bytes(EventLines(result.out)), sent);

  const std::string bank = TempPath("bend.fxb");
  std::vector<std::string> args = {"run", QUILLET_PLUGIN_PATH, "--seconds", "0.3", "--learn"};
  for (size_t i = 0; i < sent.size(); ++i)
    args.insert(args.end(), {"--midi-in", std::to_string(10 * (i + 1)) + " " + sent[i]});
  args.insert(args.end(), {"--save-bank", bank});
  result = RunHost(args);
  ASSERT_EQ(result.exitCode, 0) << result.err;
  result = RunHost({"run", QUILLET_PLUGIN_PATH, "--bank", bank, "--seconds", "0.1", "--resend@0"});
  std::remove(bank.c_str());
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(Bytes(EventLines(result.out)), sent);
}

TEST(QuilletHostRun, SavedBankRestoresTheSameState)
{
  const std::string path = TempPath("saved.fxb");
  auto made = RunHost({"run", QUILLET_PLUGIN_PATH, "--seconds", "0", "--strip", "4:3:note/10/36/90",
                       "--set", "5=1", "--save-bank", path});
  ASSERT_EQ(made.exitCode, 0) << made.err;
  files::PresetFile preset;
  std::string error;
  ASSERT_TRUE(files::ReadPresetFile(path, preset, error)) << error;
  EXPECT_EQ(preset.chunk.size(), 35328u);
  EXPECT_EQ(preset.uniqueId, 0x514C5458);

  auto replay = RunHost(
      {"run", QUILLET_PLUGIN_PATH, "--bank", path, "--seconds", "0.2", "--select", "4@0.05"});
  ASSERT_EQ(replay.exitCode, 0) << replay.err;
  EXPECT_THAT(Bytes(EventLines(replay.out)), ElementsAre("99 24 5A"));
  std::remove(path.c_str());
}

namespace {

std::vector<char> FileBytes(const std::string& path)
{
  std::vector<char> bytes;
  if (FILE* file = std::fopen(path.c_str(), "rb")) {
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
      bytes.insert(bytes.end(), buffer, buffer + n);
    std::fclose(file);
  }
  return bytes;
}

} // namespace

TEST(QuilletHostRun, TheReadmeCommandMakesTheDemoBankByteForByte)
{
  const std::string path = TempPath("demo.fxb");
  const auto made = RunHost({"run",         QUILLET_PLUGIN_PATH,
                             "--seconds",   "0",
                             "--strip",     "0:0:cc/1/7/100",
                             "--strip",     "0:1:cc/2/74/64",
                             "--strip",     "0:2:note/1/60/100",
                             "--strip",     "1:0:cc/1/7/80",
                             "--strip",     "1:1:cc/2/74/30",
                             "--set",       "3=1",
                             "--set",       "4=0.001001",
                             "--set",       "5=1",
                             "--set",       "6=0",
                             "--save-bank", path});
  ASSERT_EQ(made.exitCode, 0) << made.err;
  const std::vector<char> demo = FileBytes(QUILLET_SOURCE_DIR "/examples/demo.fxb");
  ASSERT_FALSE(demo.empty());
  EXPECT_EQ(FileBytes(path), demo);
  std::remove(path.c_str());
}

TEST(QuilletHostRun, StripsAreListedByTheEditorsRules)
{
  const std::string path = TempPath("strips.fxb");
  // Strip 5 first, then strip 2, then strip 5 again (already listed).
  std::vector<std::string> args = {"run",     QUILLET_PLUGIN_PATH, "--seconds",   "0",
                                   "--strip", "7:5:cc/1/1/1",      "--strip",     "7:2:cc/1/2/2",
                                   "--strip", "7:5:cc/1/3/3",      "--save-bank", path};
  ASSERT_EQ(RunHost(args).exitCode, 0);
  files::PresetFile preset;
  std::string error;
  ASSERT_TRUE(files::ReadPresetFile(path, preset, error)) << error;
  const uint8_t* program = preset.chunk.data() + 7 * 276;
  int32_t order[4];
  int32_t count = 0;
  std::memcpy(order, program + 192, sizeof order);
  std::memcpy(&count, program + 256, sizeof count);
  EXPECT_THAT(order, ElementsAre(0, 5, 2, 16));
  EXPECT_EQ(count, 3);
  EXPECT_EQ(program[48 + 9 * 5 + 5], 4) << "the last --strip of strip 5 holds: number 3 + 1";
  std::remove(path.c_str());
}

TEST(QuilletHostRun, ProgramFileLoadsIntoTheCurrentProgram)
{
  const std::string bank = TempPath("one.fxb");
  ASSERT_EQ(RunHost({"run", QUILLET_PLUGIN_PATH, "--seconds", "0", "--strip", "0:0:cc/1/1/1",
                     "--send-on-init", "--save-bank", bank})
                .exitCode,
            0);
  files::PresetFile preset;
  std::string error;
  ASSERT_TRUE(files::ReadPresetFile(bank, preset, error));
  files::PresetFile program;
  program.bank = false;
  program.uniqueId = preset.uniqueId;
  program.pluginVersion = 1;
  program.numPrograms = 128;
  program.name = "first";
  program.chunk.assign(preset.chunk.begin(), preset.chunk.begin() + 276);
  const std::string path = TempPath("one.fxp");
  ASSERT_TRUE(files::WritePresetFile(path, program, error));
  // Send on init is on in the loaded program: the program goes into the
  // bank before the one restore, which sends it at once.
  const auto result = RunHost({"run", QUILLET_PLUGIN_PATH, "--program", path, "--seconds", "0.1"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_THAT(Bytes(EventLines(result.out)), ElementsAre("B0 01 01"));
  std::remove(path.c_str());
  std::remove(bank.c_str());
}

TEST(QuilletHostRun, ForeignAndDamagedPresetsAreRefused)
{
  files::PresetFile foreign;
  foreign.uniqueId = 0x41424344;
  foreign.numPrograms = 128;
  foreign.chunk.assign(35328, 0);
  const std::string path = TempPath("foreign.fxb");
  std::string error;
  ASSERT_TRUE(files::WritePresetFile(path, foreign, error));
  auto result = RunHost({"run", QUILLET_PLUGIN_PATH, "--bank", path, "--seconds", "0"});
  EXPECT_NE(result.exitCode, 0);
  EXPECT_THAT(result.err, HasSubstr("belongs to another plug-in"));

  auto bytes = files::EncodePreset(foreign);
  bytes.resize(bytes.size() / 2);
  FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
  result = RunHost({"run", QUILLET_PLUGIN_PATH, "--bank", path, "--seconds", "0"});
  EXPECT_NE(result.exitCode, 0);
  EXPECT_THAT(result.err, HasSubstr("truncated"));

  result = RunHost({"run", QUILLET_PLUGIN_PATH, "--program", path, "--seconds", "0"});
  EXPECT_NE(result.exitCode, 0);
  result = RunHost({"run", QUILLET_PLUGIN_PATH, "--bank", "/nonexistent.fxb"});
  EXPECT_THAT(result.err, HasSubstr("/nonexistent.fxb: No such file or directory"));
  std::remove(path.c_str());
}

TEST(QuilletHostRun, MalformedOptionsGetOneLineAndAnError)
{
  for (const std::vector<std::string>& options : {std::vector<std::string>{"--seconds", "abc"},
                                                  {"--select", "5"},
                                                  {"--select", "x@1"},
                                                  {"--midi-in", "100"},
                                                  {"--midi-in", "100 3C"},
                                                  {"--midi-in", "x 90 3C 40"},
                                                  {"--set", "1"},
                                                  {"--strip", "0:16:cc/1/1/1"},
                                                  {"--strip", "0:0:cc/17/1/1"},
                                                  {"--block", "0"},
                                                  {"--frobnicate"},
                                                  {"--resend@soon"},
                                                  {"--seconds"}}) {
    std::vector<std::string> args = {"run", QUILLET_PLUGIN_PATH};
    args.insert(args.end(), options.begin(), options.end());
    const auto result = RunHost(args);
    EXPECT_EQ(result.exitCode, 2) << options[0];
    EXPECT_THAT(result.err, HasSubstr("quillet-host: ")) << options[0];
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
  }
}

TEST(QuilletHostRun, RefusedHostGetsExitStatusThree)
{
  const auto result =
      RunHost({"run", QUILLET_PLUGIN_PATH, "--host-product", "Usine", "--seconds", "0"});
  EXPECT_EQ(result.exitCode, 3);
  EXPECT_THAT(result.err, HasSubstr("Host not supported (Usine)"));
}

TEST(QuilletHostRunSynth, ProgramChangeStripsArePacedAtTheirSamples)
{
  // Bank select, then the Program Change; 20 ms apart, 50 ms after the
  // Program Change; sent when the transport starts at 0.1 s.
  const auto result =
      RunHost({"run", QUILLET_PLUGIN_PATH, "--seconds", "0.4", "--strip", "0:0:cc/1/0/2:cc/1/32/1",
               "--strip", "0:1:pc/1/17:cc/1/7/100", "--spacing", "20", "--settle", "50",
               "--send-on-play", "--play@0.1"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  const auto lines = EventLines(result.out);
  ASSERT_THAT(Bytes(lines), ElementsAre("B0 00 02", "B0 20 01", "C0 11", "B0 07 64"));
  // The block that starts at or after 0.1 s begins at 9 × 512 samples.
  const double start = 9 * 512 / 44.1;
  EXPECT_NEAR(lines[0].ms, start, 0.1);
  EXPECT_NEAR(lines[1].ms, start + 20.0, 0.1);
  EXPECT_NEAR(lines[2].ms, start + 40.0, 0.1);
  EXPECT_NEAR(lines[3].ms, start + 90.0, 0.1);
}

TEST(QuilletHostRunSynth, NoTimeInfoNoSendOnPlay)
{
  const auto result = RunHost({"run", QUILLET_PLUGIN_PATH, "--seconds", "0.2", "--strip",
                               "0:0:pc/2/3", "--send-on-play", "--play@0.05", "--no-time-info"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_TRUE(EventLines(result.out).empty()) << result.out;
}

TEST(QuilletHostRunSynth, LearnedMessagesAreSavedInTheExtendedBank)
{
  const std::string bank = TempPath("learned.fxb");
  auto result = RunHost({"run", QUILLET_PLUGIN_PATH, "--seconds", "0.3", "--learn", "--midi-in",
                         "10 B3 4A 20", "--midi-in", "20 C3 09", "--save-bank", bank});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  files::PresetFile preset;
  std::string error;
  ASSERT_TRUE(files::ReadPresetFile(bank, preset, error)) << error;
  EXPECT_EQ(preset.chunk.size(), 43544u);
  result = RunHost({"run", QUILLET_PLUGIN_PATH, "--bank", bank, "--seconds", "0.1", "--resend@0"});
  std::remove(bank.c_str());
  ASSERT_EQ(result.exitCode, 0) << result.err;
  // The Program Change learned after the knob still goes out first.
  EXPECT_THAT(Bytes(EventLines(result.out)), ElementsAre("C3 09", "B3 4A 20"));
}

TEST(QuilletHostRunSynth, BadNewOptionsAreRefusedWithAReason)
{
  for (const std::vector<std::string>& args : {std::vector<std::string>{"--spacing", "251"},
                                               {"--settle", "-1"},
                                               {"--play@x"},
                                               {"--strip", "0:0:pc/17/1"},
                                               {"--strip", "0:0:pc/1/128"},
                                               {"--strip", "0:0:pc/1/1/1"}}) {
    std::vector<std::string> command = {"run", QUILLET_PLUGIN_PATH};
    command.insert(command.end(), args.begin(), args.end());
    const auto result = RunHost(command);
    EXPECT_EQ(result.exitCode, 2) << args[0];
    EXPECT_THAT(result.err, HasSubstr("quillet-host: ")) << args[0];
  }
}

TEST(QuilletHostRunSynth, AnOldProgramLoadedIntoAPacedBankKeepsThePacing)
{
  // The paced bank, and a program saved by a build without the extension:
  // the bare 276-byte record.
  const std::string bank = TempPath("paced.fxb");
  const std::string other = TempPath("other.fxb");
  ASSERT_EQ(RunHost({"run", QUILLET_PLUGIN_PATH, "--seconds", "0", "--spacing", "20", "--strip",
                     "0:0:cc/1/7/100", "--save-bank", bank})
                .exitCode,
            0);
  ASSERT_EQ(RunHost({"run", QUILLET_PLUGIN_PATH, "--seconds", "0", "--strip",
                     "0:0:cc/2/74/10:cc/2/71/20", "--save-bank", other})
                .exitCode,
            0);
  files::PresetFile preset;
  std::string error;
  ASSERT_TRUE(files::ReadPresetFile(other, preset, error)) << error;
  files::PresetFile program;
  program.bank = false;
  program.uniqueId = preset.uniqueId;
  program.pluginVersion = 1;
  program.numPrograms = 128;
  program.name = "old";
  program.chunk.assign(preset.chunk.begin(), preset.chunk.begin() + 276);
  const std::string path = TempPath("old.fxp");
  ASSERT_TRUE(files::WritePresetFile(path, program, error));

  const auto result = RunHost({"run", QUILLET_PLUGIN_PATH, "--bank", bank, "--program", path,
                               "--seconds", "0.3", "--resend@0.05"});
  std::remove(path.c_str());
  std::remove(bank.c_str());
  std::remove(other.c_str());
  ASSERT_EQ(result.exitCode, 0) << result.err;
  const auto lines = EventLines(result.out);
  ASSERT_THAT(Bytes(lines), ElementsAre("B1 4A 0A", "B1 47 14")) << "the program was loaded";
  EXPECT_NEAR(lines[1].ms - lines[0].ms, 20.0, 0.1) << "and the bank's spacing stayed";
}

TEST(QuilletHostRun, WithoutADisplayItSaysOnceThatMidiWorks)
{
  const std::vector<std::string> args = {"run",     QUILLET_PLUGIN_PATH, "--seconds", "0.1",
                                         "--strip", "0:0:cc/1/7/100",    "--resend@0"};
  const auto result = RunHost(args, {{"DISPLAY", ""}});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.err, "Error: XOpenDisplay failed.\n"
                        "quillet-host: no X display: the editor is unavailable, MIDI works.\n");
  EXPECT_THAT(Bytes(EventLines(result.out)), ElementsAre("B0 07 64"));
  // With a display neither line.
  EXPECT_EQ(RunHost(args).err, "");
}
