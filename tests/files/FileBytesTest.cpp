#include "files/FileBytes.h"
#include "files/SyxFile.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace {

std::string TempFolder()
{
  char pattern[] = "/tmp/quillet-files-XXXXXX";
  const char* made = ::mkdtemp(pattern);
  return made ? made : "/tmp";
}

struct Refusal
{
  const char* what;
  std::string path;
  const char* reason;
};

TEST(FileBytes, WhatIsNoReadableFileIsRefusedWithItsPathAndLeavesTheBytes)
{
  const std::string folder = TempFolder();
  const std::string big = folder + "/big.syx";
  std::string error;
  ASSERT_TRUE(files::WriteFileBytes(big, std::vector<uint8_t>(100, 0xF0), error)) << error;
  const std::string pipe = folder + "/pipe.syx";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  const Refusal cases[] = {
      {"a named pipe without a writer", pipe, "is not a regular file"},
      {"a folder", folder, "is a folder, not a file"},
      {"a missing file", folder + "/none.syx", "No such file or directory"},
      {"a device", "/dev/null", "is not a regular file"},
  };
  for (const Refusal& refusal : cases) {
    std::vector<uint8_t> bytes{1, 2, 3};
    EXPECT_FALSE(files::ReadFileBytes(refusal.path, bytes, error)) << refusal.what;
    EXPECT_EQ(error, refusal.path + ": " + refusal.reason) << refusal.what;
    EXPECT_EQ(bytes, (std::vector<uint8_t>{1, 2, 3})) << refusal.what;
  }
  ::unlink(pipe.c_str());
  std::vector<uint8_t> bytes;
  EXPECT_FALSE(files::ReadFileBytes(big, bytes, error, 99));
  EXPECT_EQ(error, big + ": 100 bytes, more than the 99 this reads");
  EXPECT_TRUE(files::ReadFileBytes(big, bytes, error, 100));
  EXPECT_EQ(bytes.size(), 100u);
}

TEST(FileBytes, AWriteThatFailsLeavesTheOldFile)
{
  const std::string folder = TempFolder();
  const std::string path = folder + "/keep.syx";
  std::string error;
  ASSERT_TRUE(files::WriteFileBytes(path, {0xF0, 0x7D, 0xF7}, error)) << error;
  EXPECT_FALSE(files::WriteFileBytes(folder, {1}, error));
  EXPECT_EQ(error, folder + ": is a folder, not a file");
  // The new contents cannot be made (their place is taken by a folder):
  // the old file stays whole.
  ASSERT_EQ(::mkdir((path + ".quillet-new").c_str(), 0700), 0);
  EXPECT_FALSE(files::WriteFileBytes(path, {0xF0, 0x01, 0xF7}, error));
  EXPECT_EQ(error.rfind(path + ": ", 0), 0u) << error;
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(files::ReadFileBytes(path, bytes, error)) << error;
  EXPECT_EQ(bytes, (std::vector<uint8_t>{0xF0, 0x7D, 0xF7}));
}

TEST(SyxFile, ARefusedFileNamesItsPathAndTheOffsetAtFault)
{
  const std::string folder = TempFolder();
  const std::string path = folder + "/bad.syx";
  std::string error;
  ASSERT_TRUE(files::WriteFileBytes(path, {0xF0, 0x43, 0xF7, 0x05}, error)) << error;
  std::unique_ptr<const SysExSet> set;
  EXPECT_FALSE(files::ReadSyxFile(path, set, error));
  EXPECT_EQ(error.rfind(path + ": ", 0), 0u) << error;
  EXPECT_NE(error.find('3'), std::string::npos) << error; // the stray byte's offset
  EXPECT_EQ(set, nullptr);
  ASSERT_TRUE(files::WriteFileBytes(path, {0xF0, 0x43, 0xF7, 0xF0, 0x01, 0xF7}, error));
  ASSERT_TRUE(files::ReadSyxFile(path, set, error)) << error;
  EXPECT_EQ(set->Count(), 2);
  const std::string again = folder + "/again.syx";
  ASSERT_TRUE(files::WriteSyxFile(again, *set, error)) << error;
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(files::ReadFileBytes(again, bytes, error));
  EXPECT_EQ(bytes, (std::vector<uint8_t>{0xF0, 0x43, 0xF7, 0xF0, 0x01, 0xF7}));
}

} // namespace
