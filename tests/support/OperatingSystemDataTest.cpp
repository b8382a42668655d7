#include "support/system/SOperatingSystemData.h"
#include "tests/testsupport/ProcFolder.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstring>
#include <string>

using vexo::system::LeadingDecimal;
using vexo::system::SOperatingSystemData;

namespace {

SOperatingSystemData QueryWithRelease(const std::string& release)
{
  testsupport::ProcFolder folder;
  folder.WriteKernel("Linux\n", release, "#1 SMP\n");
  SOperatingSystemData os;
  os.QueryFeatures(folder.Path());
  return os;
}

} // namespace

TEST(OperatingSystemData, Release2420DoesNotQualify)
{
  EXPECT_FALSE(QueryWithRelease("2.4.20\n").qualifies);
}

TEST(OperatingSystemData, Releases269And610Qualify)
{
  EXPECT_TRUE(QueryWithRelease("2.6.9\n").qualifies);
  EXPECT_TRUE(QueryWithRelease("6.1.0\n").qualifies);
}

TEST(OperatingSystemData, DistributionReleaseQualifiesByItsLeadingNumber)
{
  EXPECT_TRUE(QueryWithRelease("2.6.18-8.el5\n").qualifies);
  EXPECT_DOUBLE_EQ(LeadingDecimal("2.6.18-8.el5"), 2.6);
}

TEST(OperatingSystemData, LeadingNumberStopsAtTheSecondPoint)
{
  // 5.10.0 reads as 5.1, 2.40 as 2.4 (refused), 2.5 passes.
  EXPECT_DOUBLE_EQ(LeadingDecimal("5.10.0"), 5.1);
  EXPECT_TRUE(SOperatingSystemData::ReleaseQualifies("5.10.0"));
  EXPECT_FALSE(SOperatingSystemData::ReleaseQualifies("2.40"));
  EXPECT_TRUE(SOperatingSystemData::ReleaseQualifies("2.5"));
  EXPECT_TRUE(SOperatingSystemData::ReleaseQualifies("2.4000002"));
  EXPECT_FALSE(SOperatingSystemData::ReleaseQualifies("2.4000000"));
  EXPECT_FALSE(SOperatingSystemData::ReleaseQualifies("1.2.13"));
}

TEST(OperatingSystemData, ReleaseWithoutANumberDoesNotQualify)
{
  EXPECT_DOUBLE_EQ(LeadingDecimal("unknown"), 0.0);
  EXPECT_FALSE(QueryWithRelease("unknown\n").qualifies);
}

TEST(OperatingSystemData, ReleaseReadsTheSameUnderADecimalCommaLocale)
{
  // A host may switch the C locale; the release must not then read as 2.
  const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
  if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8") && !std::setlocale(LC_NUMERIC, "fr_FR.UTF-8"))
    GTEST_SKIP() << "no locale with a decimal comma is installed";
  const double value = LeadingDecimal("2.6.32");
  const bool qualifies = SOperatingSystemData::ReleaseQualifies("2.6.32");
  std::setlocale(LC_NUMERIC, previous.c_str());
  EXPECT_DOUBLE_EQ(value, 2.6);
  EXPECT_TRUE(qualifies);
}

TEST(OperatingSystemData, DescriptionConcatenatesTheThreeFilesWithTheirLineBreaks)
{
  testsupport::ProcFolder folder;
  folder.WriteKernel("Linux\n", "6.1.0-13-amd64\n", "#1 SMP PREEMPT_DYNAMIC\n");
  SOperatingSystemData os;
  os.QueryFeatures(folder.Path());
  EXPECT_TRUE(os.valid);
  EXPECT_TRUE(os.qualifies);
  EXPECT_STREQ(os.description, "Linux\n6.1.0-13-amd64\n#1 SMP PREEMPT_DYNAMIC\n");
}

TEST(OperatingSystemData, MissingReleaseFileLeavesTheVerdictTrue)
{
  testsupport::ProcFolder folder;
  folder.Write("sys/kernel/ostype", "Linux\n");
  folder.Write("sys/kernel/version", "#7\n");
  SOperatingSystemData os;
  os.QueryFeatures(folder.Path());
  EXPECT_TRUE(os.qualifies);
  EXPECT_TRUE(os.valid);
  EXPECT_STREQ(os.description, "Linux\n#7\n");
}

TEST(OperatingSystemData, EmptyReleaseFileAddsNothingAndLeavesTheVerdictTrue)
{
  const SOperatingSystemData os = QueryWithRelease("");
  EXPECT_TRUE(os.qualifies);
  EXPECT_STREQ(os.description, "Linux\n#1 SMP\n");
}

TEST(OperatingSystemData, MissingFolderGivesAnEmptyValidDescription)
{
  SOperatingSystemData os;
  os.QueryFeatures("/nonexistent/quillet-proc");
  EXPECT_TRUE(os.valid);
  EXPECT_TRUE(os.qualifies);
  EXPECT_STREQ(os.description, "");
}

TEST(OperatingSystemData, FilesOf4096BytesOrMoreAreIgnored)
{
  // A release of exactly 4096 bytes that would not qualify is not taken.
  const SOperatingSystemData big = QueryWithRelease("2.4.1" + std::string(4096 - 5, 'x'));
  EXPECT_TRUE(big.qualifies);
  EXPECT_STREQ(big.description, "Linux\n#1 SMP\n");
  // One byte less is taken.
  const SOperatingSystemData fits = QueryWithRelease("2.4.1" + std::string(4095 - 5, 'x'));
  EXPECT_FALSE(fits.qualifies);
}

TEST(OperatingSystemData, DescriptionIsCutAt255Characters)
{
  testsupport::ProcFolder folder;
  folder.WriteKernel("Linux\n", "6.1.0\n", std::string(300, 'v') + "\n");
  SOperatingSystemData os;
  os.QueryFeatures(folder.Path());
  ASSERT_EQ(std::strlen(os.description), 255u);
  EXPECT_EQ(std::string(os.description), "Linux\n6.1.0\n" + std::string(255 - 12, 'v'));
}

TEST(OperatingSystemData, ReleaseBeyondTheDescriptionLimitIsStillJudged)
{
  testsupport::ProcFolder folder;
  folder.WriteKernel(std::string(400, 'o'), "2.4.20\n", "#1\n");
  SOperatingSystemData os;
  os.QueryFeatures(folder.Path());
  EXPECT_FALSE(os.qualifies);
  EXPECT_EQ(std::strlen(os.description), 255u);
}

TEST(OperatingSystemData, SecondQueryStartsAfresh)
{
  testsupport::ProcFolder old;
  old.WriteKernel("Linux\n", "2.4.20\n", "#1\n");
  testsupport::ProcFolder recent;
  recent.WriteKernel("Linux\n", "6.1.0\n", "#2\n");
  SOperatingSystemData os;
  os.QueryFeatures(old.Path());
  ASSERT_FALSE(os.qualifies);
  os.QueryFeatures(recent.Path());
  EXPECT_TRUE(os.qualifies);
  EXPECT_STREQ(os.description, "Linux\n6.1.0\n#2\n");
}

TEST(OperatingSystemData, EmbeddedTerminatorEndsAFilesText)
{
  testsupport::ProcFolder folder;
  folder.WriteKernel(std::string("Lin\0ux\n", 7), "6.1.0\n", "#1\n");
  SOperatingSystemData os;
  os.QueryFeatures(folder.Path());
  EXPECT_STREQ(os.description, "Lin6.1.0\n#1\n");
}
