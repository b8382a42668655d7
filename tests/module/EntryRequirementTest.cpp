// The load sequence's requirement test, driven through the entry with the
// library's own `sd` refilled from prepared folders.
#include "module/Entry.h"
#include "support/system/SSystemData.h"
#include "tests/testsupport/DirectHost.h"
#include "tests/testsupport/ProcFolder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

using testing::ElementsAre;
using testing::HasSubstr;
using testsupport::DirectHost;

namespace {

constexpr const char* kRefusal =
    "Failed to load plugin\n(Reason: System not supported\nPlease check the requirements)";

class EntryRequirement : public ::testing::Test
{
protected:
  void SetUp() override { DirectHost::Reset(); }
  // Back to what the machine itself says, for the tests that follow.
  void TearDown() override
  {
    testing::internal::CaptureStderr();
    sd.getOSInfos();
    sd.getCPUInfos();
    testing::internal::GetCapturedStderr();
  }

  void Machine(const std::string& release, const std::string& cpuinfo)
  {
    folder.WriteKernel("Linux\n", release + "\n", "#1 SMP\n");
    folder.Write("cpuinfo", cpuinfo);
    sd.getOSInfos(folder.Path());
    sd.getCPUInfos(folder.Path());
  }

  // Calls the entry and returns what it wrote to standard error.
  std::string Enter(AEffect*& effect)
  {
    testing::internal::CaptureStderr();
    effect = QuilletEntry(DirectHost::Callback);
    return testing::internal::GetCapturedStderr();
  }

  testsupport::ProcFolder folder;
};

} // namespace

TEST_F(EntryRequirement, ProcessorWithoutMmxIsRefusedWithTheExactText)
{
  Machine("6.1.0", testsupport::CpuInfo("fpu sse sse2"));
  AEffect* effect = nullptr;
  const std::string err = Enter(effect);
  EXPECT_EQ(effect, nullptr);
  EXPECT_THAT(err, HasSubstr(kRefusal));
  // No plug-in object was built: the host was asked for its version only.
  EXPECT_THAT(DirectHost::opcodes, ElementsAre(audioMasterVersion));
}

TEST_F(EntryRequirement, RefusalWritesTheRequirementReportFirst)
{
  Machine("6.1.0", testsupport::CpuInfo("fpu"));
  AEffect* effect = nullptr;
  const std::string err = Enter(effect);
  ASSERT_EQ(effect, nullptr);
  const std::string report = sd.ErrorMessage(false, false).Text();
  ASSERT_THAT(report, HasSubstr("\nMMX: not available."));
  EXPECT_EQ(err.rfind(report, 0), 0u) << err;
  EXPECT_NE(err.find(kRefusal, report.size()), std::string::npos);
}

TEST_F(EntryRequirement, MmxBeyondTheExaminedPartIsRefused)
{
  Machine("6.1.0", testsupport::CpuInfo("fpu mmx sse sse2", 2048));
  AEffect* effect = nullptr;
  const std::string err = Enter(effect);
  EXPECT_EQ(effect, nullptr);
  EXPECT_THAT(err, HasSubstr(kRefusal));
}

TEST_F(EntryRequirement, Kernel24IsRefused)
{
  Machine("2.4.20", testsupport::CpuInfo("fpu mmx sse"));
  AEffect* effect = nullptr;
  const std::string err = Enter(effect);
  EXPECT_EQ(effect, nullptr);
  EXPECT_THAT(err, HasSubstr(kRefusal));
  EXPECT_THAT(err, HasSubstr("\nLinux Kernel 2.5: not available."));
}

TEST_F(EntryRequirement, UnreadableProcessorInformationIsRefused)
{
  folder.WriteKernel("Linux\n", "6.1.0\n", "#1\n");
  testing::internal::CaptureStderr();
  sd.getOSInfos(folder.Path());
  sd.getCPUInfos(folder.Path());
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Error: Reading /proc/cpuinfo failed (not found).");
  AEffect* effect = nullptr;
  const std::string err = Enter(effect);
  EXPECT_EQ(effect, nullptr);
  EXPECT_THAT(err, HasSubstr(kRefusal));
}

TEST_F(EntryRequirement, QualifyingSystemLoadsQuietly)
{
  Machine("2.6.9", testsupport::CpuInfo("fpu mmx"));
  AEffect* effect = nullptr;
  const std::string err = Enter(effect);
  ASSERT_NE(effect, nullptr);
  EXPECT_EQ(effect->magic, kEffectMagic);
  EXPECT_EQ(err.find("S Y S T E M"), std::string::npos) << "the feature report is not shown";
  EXPECT_EQ(err.find("Failed to load"), std::string::npos);
  effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
}

TEST_F(EntryRequirement, HostAnsweringZeroIsNotEvenChecked)
{
  Machine("2.4.20", testsupport::CpuInfo("fpu"));
  DirectHost::version = 0;
  AEffect* effect = nullptr;
  const std::string err = Enter(effect);
  EXPECT_EQ(effect, nullptr);
  EXPECT_EQ(err, "");
}
