// quillet-host run with the test synth: every verify result and a retry
// printed with its time, and the synth's options refused when they make no
// sense.
#include "tests/testsupport/Subprocess.h"
#include "tests/testsupport/VerifyDumps.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <string>
#include <unistd.h>
#include <vector>

using testing::HasSubstr;
using testsupport::RunHost;

namespace {

using Bytes = std::vector<uint8_t>;

std::string WriteTemp(const std::string& name, const Bytes& bytes)
{
  const std::string path =
      std::string(QUILLET_BINARY_DIR) + "/" + name + "-" + std::to_string(getpid()) + ".syx";
  if (std::FILE* file = std::fopen(path.c_str(), "wb")) {
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
  }
  return path;
}

using testsupport::Dump;

// The verify lines of a run, their times cut off.
std::vector<std::string> VerifyLines(const std::string& out)
{
  std::vector<std::string> lines;
  const std::regex line(R"(\d+\.\d ms  (verify .*))");
  for (auto it = std::sregex_iterator(out.begin(), out.end(), line); it != std::sregex_iterator();
       ++it)
    lines.push_back((*it)[1]);
  return lines;
}

struct HostCase
{
  const char* name;
  std::vector<std::string> synthOptions;
  std::vector<std::string> lines;
};

class HostVerify : public testing::TestWithParam<HostCase>
{
};

TEST_P(HostVerify, PrintsEachResultWithItsTime)
{
  const HostCase& c = GetParam();
  const std::string dump = WriteTemp(std::string(c.name) + "-dump", Dump(163));
  const std::string request =
      WriteTemp(std::string(c.name) + "-request", {0xF0, 0x7D, 0x10, 0x11, 0xF7});
  std::vector<std::string> args = {"run",
                                   QUILLET_PLUGIN_PATH,
                                   "--seconds",
                                   "1",
                                   "--sysex",
                                   "0:" + dump,
                                   "--sysex-request",
                                   "0:" + request,
                                   "--send-on-init",
                                   "--verify",
                                   "150",
                                   "--synth",
                                   dump};
  args.insert(args.end(), c.synthOptions.begin(), c.synthOptions.end());
  const auto result = RunHost(args);
  std::remove(dump.c_str());
  std::remove(request.c_str());
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(VerifyLines(result.out), c.lines) << result.out;
}

INSTANTIATE_TEST_SUITE_P(
    Synth, HostVerify,
    testing::Values(HostCase{"Answers", {}, {"verify program 0: verified (163 bytes)"}},
                    HostCase{
                        "AltersAByte",
                        {"--retries", "0", "--synth-alter", "40"},
                        {"verify program 0: differs at byte 40 (sent 18, synth 19), 1 try failed"}},
                    HostCase{"AltersAMarkedByte",
                             {"--retries", "0", "--synth-alter", "40", "--sysex-ignore", "0:3,40"},
                             {"verify program 0: verified (163 bytes)"}},
                    HostCase{"DropsTheFirstAnswer",
                             {"--synth-drop", "1", "--synth-latency", "30"},
                             {"verify program 0: no answer, try 1 of 2",
                              "verify program 0: verified (163 bytes)"}}),
    [](const testing::TestParamInfo<HostCase>& info) { return info.param.name; });

// The marks go into the bank the plug-in saves (getChunk) and come back
// with it (setChunk): the saved bank verifies the altered byte as before.
TEST(HostVerifyDontCare, TheMarksSurviveASavedBank)
{
  const std::string dump = WriteTemp("saved-dump", Dump(163));
  const std::string request = WriteTemp("saved-request", {0xF0, 0x7D, 0x10, 0x11, 0xF7});
  const std::string bank =
      std::string(QUILLET_BINARY_DIR) + "/saved-marks-" + std::to_string(getpid()) + ".fxb";
  const auto saved =
      RunHost({"run", QUILLET_PLUGIN_PATH, "--seconds", "0.1", "--sysex", "0:" + dump,
               "--sysex-request", "0:" + request, "--sysex-ignore", "0:40", "--save-bank", bank});
  EXPECT_EQ(saved.exitCode, 0) << saved.err;
  const auto result =
      RunHost({"run", QUILLET_PLUGIN_PATH, "--seconds", "1", "--bank", bank, "--send-on-init",
               "--verify", "150", "--retries", "0", "--synth", dump, "--synth-alter", "40"});
  std::remove(dump.c_str());
  std::remove(request.c_str());
  std::remove(bank.c_str());
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(VerifyLines(result.out),
            std::vector<std::string>{"verify program 0: verified (163 bytes)"})
      << result.out;
}

TEST(HostVerifyOptions, AnAlterOutsideTheDataIsRefused)
{
  const std::string dump = WriteTemp("alter-dump", Dump(20));
  const auto result = RunHost(
      {"run", QUILLET_PLUGIN_PATH, "--seconds", "0.1", "--synth", dump, "--synth-alter", "19"});
  std::remove(dump.c_str());
  EXPECT_EQ(result.exitCode, 2);
  EXPECT_THAT(result.err, HasSubstr("--synth-alter 19: the offset is that of a data byte"));
}

TEST(HostVerifyOptions, TheSynthsOptionsWantTheSynth)
{
  const auto result =
      RunHost({"run", QUILLET_PLUGIN_PATH, "--seconds", "0.1", "--synth-drop", "2"});
  EXPECT_EQ(result.exitCode, 2);
  EXPECT_THAT(result.err, HasSubstr("give it --synth FILE.syx"));
}

} // namespace
