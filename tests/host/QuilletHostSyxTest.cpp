// quillet-host run's .syx options: files refused with the offset of the
// byte at fault before anything happens, and a program's SysEx imported,
// sent and exported again.
#include "tests/testsupport/Subprocess.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

using testing::HasSubstr;
using testsupport::RunHost;

namespace {

using Bytes = std::vector<uint8_t>;

std::string TempPath(const std::string& name)
{
  return std::string(QUILLET_BINARY_DIR) + "/" + name + "-" + std::to_string(getpid()) + ".syx";
}

std::string WriteTemp(const std::string& name, const Bytes& bytes)
{
  const std::string path = TempPath(name);
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file) {
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
  }
  return path;
}

struct RefusedCase
{
  const char* name;
  const char* option;
  Bytes file;
  const char* reason; // what the line says after the file's name
  friend void PrintTo(const RefusedCase& c, std::ostream* out) { *out << c.name; }
};

class RefusedSyx : public testing::TestWithParam<RefusedCase>
{
};

TEST_P(RefusedSyx, EndsTheRunWithTheOffsetAtFault)
{
  const RefusedCase& c = GetParam();
  const std::string path = WriteTemp(c.name, c.file);
  const auto result =
      RunHost({"run", QUILLET_PLUGIN_PATH, "--seconds", "0.1", c.option, "3:" + path});
  std::remove(path.c_str());
  EXPECT_EQ(result.exitCode, 2);
  EXPECT_THAT(result.err, HasSubstr("quillet-host: " + path + ": " + c.reason));
  EXPECT_THAT(result.out, testing::Not(HasSubstr("running"))) << "refused before the run";
}

INSTANTIATE_TEST_SUITE_P(Files, RefusedSyx,
                         testing::Values(RefusedCase{"ByteOutsideAMessage",
                                                     "--sysex",
                                                     {0xF0, 0x7D, 0xF7, 0x42},
                                                     "byte 0x42 at offset 3 is outside"},
                                         RefusedCase{"NoEnd",
                                                     "--sysex",
                                                     {0xF0, 0x7D, 0xF7, 0xF0, 0x7D, 0x01},
                                                     "the message at offset 3 has no F7"},
                                         RefusedCase{"StatusInside",
                                                     "--sysex",
                                                     {0xF0, 0x7D, 0x90, 0xF7},
                                                     "byte 0x90 at offset 2 is not a data byte"},
                                         RefusedCase{"RequestOfTwoMessages",
                                                     "--sysex-request",
                                                     {0xF0, 0x7D, 0xF7, 0xF0, 0x7E, 0xF7},
                                                     "a dump request is one message"}),
                         [](const testing::TestParamInfo<RefusedCase>& info) {
                           return info.param.name;
                         });

TEST(QuilletHostSyx, AMissingFileOrABadProgramIsRefused)
{
  auto result = RunHost({"run", QUILLET_PLUGIN_PATH, "--sysex", "0:/nonexistent/dump.syx"});
  EXPECT_EQ(result.exitCode, 2);
  EXPECT_THAT(result.err, HasSubstr("quillet-host: /nonexistent/dump.syx: "));
  result = RunHost({"run", QUILLET_PLUGIN_PATH, "--export-sysex", "128:out.syx"});
  EXPECT_EQ(result.exitCode, 2);
  EXPECT_THAT(result.err, HasSubstr("--export-sysex wants PROGRAM:FILE.syx"));
}

Bytes ReadBack(const std::string& path)
{
  Bytes bytes;
  if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
    for (int c; (c = std::fgetc(file)) != EOF;)
      bytes.push_back(static_cast<uint8_t>(c));
    std::fclose(file);
  }
  return bytes;
}

TEST(QuilletHostSyx, AnImportedListIsSentPrintedAndExportedByteForByte)
{
  Bytes dump = {0xF0, 0x43, 0x00, 0x09};
  dump.insert(dump.end(), 100, 0x11);
  dump.push_back(0xF7);
  Bytes file = {0xF0, 0x7D, 0x01, 0x02, 0xF7};
  file.insert(file.end(), dump.begin(), dump.end());
  const std::string in = WriteTemp("import", file);
  const std::string request = WriteTemp("request", {0xF0, 0x43, 0x20, 0x09, 0xF7});
  const std::string out = TempPath("export");
  const auto result = RunHost({"run", QUILLET_PLUGIN_PATH, "--seconds", "0.3", "--sysex", "0:" + in,
                               "--sysex-request", "0:" + request, "--learn", "--resend@0.1",
                               "--export-sysex", "0:" + out});
  const Bytes exported = ReadBack(out);
  for (const std::string& path : {in, request, out})
    std::remove(path.c_str());
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_THAT(result.out, HasSubstr("0.0 ms  F0 43 20 09 F7\n")) << "the request, as Learn goes on";
  EXPECT_THAT(result.out, HasSubstr(" ms  F0 7D 01 02 F7\n"));
  EXPECT_THAT(
      result.out,
      HasSubstr(" ms  F0 43 00 09 11 11 11 11 11 11 11 11 11 11 11 11 ... F7 (105 bytes)\n"));
  EXPECT_EQ(exported, file);
}

TEST(QuilletHostSyx, DumpsHeardWhileLearningAreExported)
{
  // An edit-buffer dump sent twice keeps the second; a bank dump is added.
  const std::string out = TempPath("learned");
  const auto result =
      RunHost({"run", QUILLET_PLUGIN_PATH, "--seconds", "0.3", "--learn", "--midi-in",
               "50 F0 43 00 00 01 1B 10 F7", "--midi-in", "100 F0 43 00 00 01 1B 15 F7",
               "--midi-in", "150 F0 43 00 09 20 00 F7", "--export-sysex", "0:" + out});
  const Bytes exported = ReadBack(out);
  std::remove(out.c_str());
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(exported, (Bytes{0xF0, 0x43, 0x00, 0x00, 0x01, 0x1B, 0x15, 0xF7, 0xF0, 0x43, 0x00, 0x09,
                             0x20, 0x00, 0xF7}));
}

} // namespace
