#include "module/Entry.h"
#include "tests/testsupport/PluginFixture.h"
#include "tests/testsupport/Subprocess.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

using testing::HasSubstr;

TEST(Entry, HostVersionZeroRefusesSilentlyBeforeAnyCheck)
{
  qhost::HostConfig config;
  config.version = 0;
  testing::internal::CaptureStderr();
  qhost::PluginInstance plugin(testsupport::Library(), config);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_FALSE(plugin.Loaded());
  const auto callbacks = plugin.Callbacks();
  ASSERT_EQ(callbacks.size(), 1u) << "only the version query";
  EXPECT_EQ(callbacks[0].opcode, audioMasterVersion);
  EXPECT_TRUE(callbacks[0].effectWasNull);
  EXPECT_EQ(err.find("Failed to load"), std::string::npos);
}

TEST(Entry, RefusedHostGetsTheExactMessage)
{
  qhost::HostConfig config;
  config.product = "Usine Hollyhock";
  testing::internal::CaptureStderr();
  qhost::PluginInstance plugin(testsupport::Library(), config);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_FALSE(plugin.Loaded());
  EXPECT_NE(err.find("Failed to load plugin\n(Reason: Host not supported (Usine))"),
            std::string::npos)
      << err;
}

TEST(Entry, HostVersionsOfOldAndNewHostsAllLoad)
{
  for (VstIntPtr version : {2, 2300, 2400}) {
    qhost::HostConfig config;
    config.version = version;
    qhost::PluginInstance plugin(testsupport::Library(), config);
    EXPECT_TRUE(plugin.Loaded()) << version;
  }
}

TEST(Entry, NullCallbackGivesNull) { EXPECT_EQ(QuilletEntry(nullptr), nullptr); }

TEST(Entry, LibraryExportsBothEntryPointsAndTheyAgree)
{
  auto* main = reinterpret_cast<AEffect* (*)(audioMasterCallback)>(
      testsupport::Library().Symbol("main"));
  auto* pluginMain = reinterpret_cast<AEffect* (*)(audioMasterCallback)>(
      testsupport::Library().Symbol("VSTPluginMain"));
  ASSERT_NE(main, nullptr);
  ASSERT_NE(pluginMain, nullptr);
  EXPECT_NE(main, pluginMain);
  EXPECT_EQ(testsupport::Library().Symbol("QuilletEntry"), nullptr) << "nothing else is visible";
  EXPECT_EQ(testsupport::Library().Symbol("dispatchEffectClass"), nullptr);
}

TEST(Entry, LoadsAndWorksWithoutAnyXServer)
{
  // A display number no server listens on.
  const auto result = testsupport::RunHost({"info", QUILLET_PLUGIN_PATH},
                                           {{"DISPLAY", ":4077"}});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_THAT(result.err, HasSubstr("Error: XOpenDisplay failed.\n"));
  EXPECT_THAT(result.out, HasSubstr("001 - empty preset"));
  EXPECT_THAT(result.out, HasSubstr("flags          0x139"));
}

TEST(Entry, LibraryExportsExactlyTheTwoEntryPoints)
{
  const auto result = testsupport::Run("/usr/bin/nm", {"-D", "--defined-only", QUILLET_PLUGIN_PATH});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  std::vector<std::string> functions;
  std::stringstream lines(result.out);
  for (std::string line; std::getline(lines, line);) {
    std::stringstream fields(line);
    std::string address, type, name;
    if (fields >> address >> type >> name && (type == "T" || type == "W" || type == "i"))
      functions.push_back(name);
  }
  EXPECT_THAT(functions, testing::UnorderedElementsAre("main", "VSTPluginMain"));
}
