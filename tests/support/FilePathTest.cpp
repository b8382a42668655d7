#include "support/system/SFilePath.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using vexo::file::SFilePath;

namespace {

std::string Dir(const std::string& path)
{
  char buffer[1024];
  std::memset(buffer, '#', sizeof buffer);
  buffer[sizeof buffer - 1] = '\0';
  SFilePath::GetDir(buffer, path.c_str(), -1);
  return buffer;
}

} // namespace

TEST(FilePath, DirectoryKeepsItsTrailingSeparator)
{
  EXPECT_EQ(Dir("/usr/lib/vst/plug.so"), "/usr/lib/vst/");
  EXPECT_EQ(Dir("C:\\vst\\plug.dll"), "C:\\vst\\");
  EXPECT_EQ(Dir("/usr/lib/vst/"), "/usr/lib/vst/");
  EXPECT_EQ(Dir("/a\\b/c.so"), "/a\\b/");
}

TEST(FilePath, NoSeparatorOrOverlongNameGivesEmptyText)
{
  EXPECT_EQ(Dir("plug.so"), "");
  EXPECT_EQ(Dir("/x/" + std::string(128, 'n') + ".so"), "");
  EXPECT_EQ(Dir("/x/" + std::string(127, 'n') + ".so"), "/x/");
}

TEST(FilePath, EmptyPathWritesNothing)
{
  char buffer[8] = "keep";
  SFilePath::GetDir(buffer, "", -1);
  EXPECT_STREQ(buffer, "keep");
}
