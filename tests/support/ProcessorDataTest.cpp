#include "support/system/SProcessorData.h"
#include "tests/testsupport/ProcFolder.h"

#include <gtest/gtest.h>

#include <unistd.h>
#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

#include <string>

using testsupport::CpuInfo;
using vexo::system::SProcessorData;

namespace {

constexpr const char* kModernFlags =
    "fpu vme de pse tsc msr pae mce cx8 apic sep mtrr pge mca cmov pat pse36 clflush mmx fxsr "
    "sse sse2 ht syscall nx lm";

struct Query
{
  SProcessorData data;
  std::string err;
};

Query QueryText(const std::string& cpuinfo)
{
  testsupport::ProcFolder folder;
  folder.Write("cpuinfo", cpuinfo);
  Query query;
  testing::internal::CaptureStderr();
  query.data.QueryRegistry(folder.Path());
  query.err = testing::internal::GetCapturedStderr();
  return query;
}

} // namespace

TEST(ProcessorData, ReadsVendorModelClockAndFlagsOfAUsualEntry)
{
  const Query query = QueryText(CpuInfo(kModernFlags));
  const SProcessorData& cpu = query.data;
  EXPECT_STREQ(cpu.vendor, "GenuineIntel");
  EXPECT_STREQ(cpu.modelName, "Intel(R) Core(TM) i7-8700 CPU @ 3.20GHz");
  EXPECT_EQ(cpu.MHz, 3192);
  EXPECT_EQ(cpu.features, SProcessorData::kMMX | SProcessorData::kSSE | SProcessorData::kSSE2);
  EXPECT_EQ(cpu.reserved, 0);
  EXPECT_EQ(query.err, "");
}

TEST(ProcessorData, MmxBeyondTheFirst2048BytesIsNotSeen)
{
  // The flags line starts after byte 2048: the examined part never sees it.
  const std::string text = CpuInfo(kModernFlags, 2048);
  ASSERT_GT(text.find("flags"), 2048u);
  const Query query = QueryText(text);
  EXPECT_EQ(query.data.features, 0u);
  EXPECT_STREQ(query.data.vendor, "GenuineIntel") << "the start is still read";
}

TEST(ProcessorData, MmxEndingExactlyAtByte2048IsSeenOneByteLaterIsNot)
{
  const std::string head = "flags\t\t: ";
  const std::string vendor = "vendor_id : X\n";
  // Everything before the flags line, sized so that "mmx" ends at byte 2048.
  const size_t beforeLength = 2048 - head.size() - 3;
  const std::string before = vendor + std::string(beforeLength - vendor.size() - 1, 'q') + "\n";
  ASSERT_EQ(before.size(), beforeLength);

  const std::string seen = before + head + "mmx sse\n";
  ASSERT_EQ(seen.find("mmx") + 3, 2048u);
  EXPECT_EQ(QueryText(seen).data.features, SProcessorData::kMMX);

  const std::string unseen = "q" + seen;
  EXPECT_EQ(QueryText(unseen).data.features, 0u);
}

TEST(ProcessorData, Sse2WithoutSseSetsBothFlags)
{
  const Query query = QueryText(CpuInfo("fpu mmx sse2"));
  EXPECT_EQ(query.data.features,
            SProcessorData::kMMX | SProcessorData::kSSE | SProcessorData::kSSE2);
}

TEST(ProcessorData, SseAloneDoesNotSetSse2)
{
  const Query query = QueryText(CpuInfo("fpu mmx sse"));
  EXPECT_EQ(query.data.features, SProcessorData::kMMX | SProcessorData::kSSE);
}

TEST(ProcessorData, ThreeDNowSetsItsOwnBit)
{
  const Query query = QueryText(CpuInfo("fpu mmx 3dnowext 3dnow"));
  EXPECT_EQ(query.data.features, SProcessorData::kMMX | SProcessorData::k3DNow);
}

TEST(ProcessorData, FlagsAreFoundAnywhereInTheExaminedText)
{
  // Plain substring tests: "ssse3" contains "sse", a model name may carry
  // "mmx" too.
  EXPECT_EQ(QueryText(CpuInfo("fpu ssse3")).data.features, SProcessorData::kSSE);
  EXPECT_EQ(QueryText("model name\t: mmx-capable\n").data.features, SProcessorData::kMMX);
}

TEST(ProcessorData, MissingFileReportsNotFoundWithoutALineBreak)
{
  SProcessorData cpu;
  cpu.features = 7;
  cpu.count = 3;
  testing::internal::CaptureStderr();
  cpu.QueryRegistry("/nonexistent/quillet-proc");
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Error: Reading /proc/cpuinfo failed (not found).");
  EXPECT_EQ(cpu.features, 0u);
  EXPECT_EQ(cpu.count, 0);
  EXPECT_EQ(cpu.MHz, 0);
  EXPECT_STREQ(cpu.vendor, "");
}

TEST(ProcessorData, EmptyFileReportsNoData)
{
  const Query query = QueryText("");
  EXPECT_EQ(query.err, "Error: Reading /proc/cpuinfo failed (no data).");
  EXPECT_EQ(query.data.features, 0u);
  EXPECT_EQ(query.data.count, 0);
}

TEST(ProcessorData, ProcessorNumberAboveZeroIsTheCount)
{
  EXPECT_EQ(QueryText(CpuInfo("mmx", 0, 3)).data.count, 3);
}

TEST(ProcessorData, ProcessorZeroTakesTheCoreCount)
{
  // The usual first entry: processor 0, cpu cores 6.
  EXPECT_EQ(QueryText(CpuInfo("mmx")).data.count, 6);
}

TEST(ProcessorData, ProcessorNumberIsReadLikeAnIntegerPattern)
{
  // %i semantics: hexadecimal with 0x, any blanks around the colon.
  EXPECT_EQ(QueryText("processor : 0x10\nflags : mmx\n").data.count, 16);
  EXPECT_EQ(QueryText("processor:5\n").data.count, 5);
}

TEST(ProcessorData, WithoutProcessorLineTheCountStaysZero)
{
  EXPECT_EQ(QueryText("vendor_id : AuthenticAMD\ncpu cores : 4\nflags : mmx\n").data.count, 0);
}

TEST(ProcessorData, WithoutAnyCountTheSystemIsAsked)
{
  const int32_t count = QueryText("processor\t: 0\nflags : mmx\n").data.count;
  EXPECT_EQ(count, SProcessorData::SystemProcessorCount());
  EXPECT_GE(count, 1);
}

TEST(ProcessorData, UnreadableCoreCountGivesZero)
{
  EXPECT_EQ(QueryText("processor\t: 0\ncpu cores\t: many\n").data.count, 0);
}

TEST(ProcessorData, HugeNumbersAreClampedNotWrapped)
{
  const Query query = QueryText("processor : 99999999999999999999\ncpu MHz : "
                                "99999999999999999999999.5\n");
  EXPECT_EQ(query.data.count, INT32_MAX);
  EXPECT_EQ(query.data.MHz, INT32_MAX);
}

TEST(ProcessorData, ClockIsRoundedToTheNearestMegahertz)
{
  EXPECT_EQ(QueryText("cpu MHz\t\t: 2596.140\n").data.MHz, 2596);
  EXPECT_EQ(QueryText("cpu MHz\t\t: 799.5\n").data.MHz, 800);
  EXPECT_EQ(QueryText("cpu MHz\t\t: 1000\n").data.MHz, 1000);
  // Without ": " nothing is taken.
  EXPECT_EQ(QueryText("cpu MHz\t\t:2596.1\n").data.MHz, 0);
}

TEST(ProcessorData, ModelNameStartsTwoCharactersAfterTheColon)
{
  EXPECT_STREQ(QueryText("model name\t: AMD EPYC\nflags : mmx\n").data.modelName, "AMD EPYC");
  EXPECT_STREQ(QueryText("model name\t:xAMD\n").data.modelName, "AMD");
}

TEST(ProcessorData, ModelNameLineEndingAtTheColonGivesNoName)
{
  EXPECT_STREQ(QueryText("model name\t:\nvendor_id : X\n").data.modelName, "");
  // The colon is the very last byte of the file.
  EXPECT_STREQ(QueryText("model name\t:").data.modelName, "");
}

TEST(ProcessorData, LongNamesAreCutAt255Characters)
{
  const std::string name(600, 'n');
  const Query query = QueryText("vendor_id : " + name + "\nmodel name : " + name + "\n");
  EXPECT_EQ(std::string(query.data.vendor), std::string(255, 'n'));
  EXPECT_EQ(std::string(query.data.modelName), std::string(255, 'n'));
}

TEST(ProcessorData, UnterminatedTextOfExactly2048BytesIsReadSafely)
{
  // No line break anywhere; the name runs to the end of the examined part.
  std::string text = "model name : " + std::string(3000, 'm');
  const Query query = QueryText(text);
  EXPECT_EQ(std::string(query.data.modelName), std::string(255, 'm'));
  EXPECT_EQ(query.data.features, 0u);
}

TEST(ProcessorData, VendorWithoutColonIsLeftEmpty)
{
  EXPECT_STREQ(QueryText("vendor_id GenuineIntel\n").data.vendor, "");
}

TEST(ProcessorData, RequeryClearsEarlierResults)
{
  SProcessorData cpu;
  testsupport::ProcFolder rich;
  rich.Write("cpuinfo", CpuInfo(kModernFlags, 0, 4));
  testsupport::ProcFolder bare;
  bare.Write("cpuinfo", "nothing useful\n");
  cpu.QueryRegistry(rich.Path());
  ASSERT_NE(cpu.features, 0u);
  cpu.QueryRegistry(bare.Path());
  EXPECT_EQ(cpu.features, 0u);
  EXPECT_EQ(cpu.count, 0);
  EXPECT_EQ(cpu.MHz, 0);
  EXPECT_STREQ(cpu.vendor, "");
  EXPECT_STREQ(cpu.modelName, "");
}

TEST(ProcessorData, SystemCountIsOnlineCountUnlessFamily15ReportsMoreLogicalProcessors)
{
  int32_t expected = static_cast<int32_t>(sysconf(_SC_NPROCESSORS_ONLN));
#if defined(__i386__) || defined(__x86_64__)
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) && ((eax >> 8) & 0xF) == 15 && (edx & (1u << 28)) &&
      ((ebx >> 16) & 0xFF) > 1)
    expected = static_cast<int32_t>((ebx >> 16) & 0xFF);
#endif
  EXPECT_EQ(SProcessorData::SystemProcessorCount(), expected);
}
