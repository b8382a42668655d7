// The verify rule: which reply answers a stored dump, the don't-care bits,
// the first byte that differs, the result's word and its texts.
#include "model/SysExVerify.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

SysExView View(const std::vector<uint8_t>& bytes)
{
  return {bytes.data(), static_cast<int32_t>(bytes.size())};
}

const std::vector<uint8_t> kStored = {0xF0, 0x43, 0x10, 0x4C, 0x00, 0x05, 0x7E, 0xF7};
// A three-byte manufacturer id: the device byte is the fifth.
const std::vector<uint8_t> kLong = {0xF0, 0x00, 0x20, 0x33, 0x10, 0x01, 0x09, 0xF7};

struct CompareCase
{
  const char* name;
  std::vector<uint8_t> stored;
  std::vector<uint8_t> reply;
  bool answers;
  VerifyCode code;
  int32_t at;
  std::vector<int32_t> dontCare = {}; // the program's marked bytes
};

class Compare : public testing::TestWithParam<CompareCase>
{
};

TEST_P(Compare, TheReplyWithTheStoredDump)
{
  const CompareCase& c = GetParam();
  SysExSet::Builder builder;
  builder.Append(View(c.stored));
  for (const int32_t offset : c.dontCare)
    builder.MarkDontCare(offset);
  const auto set = builder.Build();
  EXPECT_EQ(IsReplyTo(View(c.stored), View(c.reply), set.get()), c.answers);
  EXPECT_EQ(ReplyIndex(*set, View(c.reply)), c.answers ? 0 : -1);
  if (!c.answers)
    return;
  const VerifyResult r = CompareReply(View(c.stored), View(c.reply), set.get());
  EXPECT_EQ(r.code, c.code);
  EXPECT_EQ(r.bytes, static_cast<int32_t>(c.stored.size()));
  if (c.code == VerifyCode::Differs) {
    EXPECT_EQ(r.at, c.at);
    EXPECT_EQ(r.sent, c.stored[static_cast<size_t>(c.at)]);
    EXPECT_EQ(r.synth, c.reply[static_cast<size_t>(c.at)]);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Replies, Compare,
    testing::Values(CompareCase{"Same", kStored, kStored, true, VerifyCode::Verified, 0},
                    CompareCase{"AnotherDeviceNumber",
                                kStored,
                                {0xF0, 0x43, 0x1F, 0x4C, 0x00, 0x05, 0x7E, 0xF7},
                                true,
                                VerifyCode::Verified,
                                0},
                    CompareCase{"ADataByte",
                                kStored,
                                {0xF0, 0x43, 0x10, 0x4C, 0x00, 0x06, 0x7E, 0xF7},
                                true,
                                VerifyCode::Differs,
                                5},
                    CompareCase{"AnotherCommandIsNoReply",
                                kStored,
                                {0xF0, 0x43, 0x10, 0x4D, 0x00, 0x05, 0x7E, 0xF7},
                                false,
                                VerifyCode::None,
                                0},
                    CompareCase{"TheDeviceHighBitsCount",
                                kStored,
                                {0xF0, 0x43, 0x20, 0x4C, 0x00, 0x05, 0x7E, 0xF7},
                                false,
                                VerifyCode::None,
                                0},
                    CompareCase{"AnotherLengthIsNoReply",
                                kStored,
                                {0xF0, 0x43, 0x10, 0x4C, 0x00, 0x05, 0xF7},
                                false,
                                VerifyCode::None,
                                0},
                    CompareCase{"ALongIdsDeviceByte",
                                kLong,
                                {0xF0, 0x00, 0x20, 0x33, 0x17, 0x01, 0x09, 0xF7},
                                true,
                                VerifyCode::Verified,
                                0},
                    CompareCase{"AMarkedByte",
                                kStored,
                                {0xF0, 0x43, 0x10, 0x4C, 0x00, 0x7F, 0x7E, 0xF7},
                                true,
                                VerifyCode::Verified,
                                0,
                                {5}},
                    CompareCase{"AnUnmarkedByteBesideMarkedOnes",
                                kStored,
                                {0xF0, 0x43, 0x10, 0x4C, 0x01, 0x7F, 0x7E, 0xF7},
                                true,
                                VerifyCode::Differs,
                                4,
                                {5, 6}},
                    CompareCase{"TheDeviceNibbleWithMarks",
                                kStored,
                                {0xF0, 0x43, 0x1F, 0x4C, 0x00, 0x05, 0x00, 0xF7},
                                true,
                                VerifyCode::Verified,
                                0,
                                {6}},
                    CompareCase{"TheDeviceHighBitsBesideAMark",
                                kStored,
                                {0xF0, 0x43, 0x20, 0x4C, 0x00, 0x05, 0x00, 0xF7},
                                false,
                                VerifyCode::None,
                                0,
                                {6}},
                    CompareCase{"AMarkedHeaderByte",
                                kStored,
                                {0xF0, 0x43, 0x10, 0x4D, 0x00, 0x05, 0x7E, 0xF7},
                                true,
                                VerifyCode::Verified,
                                0,
                                {3}}),
    [](const testing::TestParamInfo<CompareCase>& info) { return info.param.name; });

TEST(VerifyMaskOf, NeverSkipsTheFirstOrTheLastByte)
{
  SysExSet::Builder builder;
  builder.MarkDontCare(1);
  builder.MarkDontCare(7);
  builder.MarkDontCare(8);
  const auto set = builder.Build();
  const int32_t masks[] = {0xFF, 0x00, 0x70, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  for (int32_t i = 0; i < 8; ++i)
    EXPECT_EQ(VerifyMask(View(kStored), i, set.get()), masks[i]) << i;
}

TEST(VerifyResultWord, CarriesEveryField)
{
  VerifyResult r;
  r.code = VerifyCode::Differs;
  r.program = 127;
  r.bytes = 65536;
  r.at = 65534;
  r.sent = 0x7F;
  r.synth = 0xF7;
  r.attempt = 4;
  r.tries = 4;
  r.last = true;
  const VerifyResult back = UnpackVerify(PackVerify(r));
  EXPECT_EQ(back.code, r.code);
  EXPECT_EQ(back.program, r.program);
  EXPECT_EQ(back.bytes, r.bytes);
  EXPECT_EQ(back.at, r.at);
  EXPECT_EQ(back.sent, r.sent);
  EXPECT_EQ(back.synth, r.synth);
  EXPECT_EQ(back.attempt, r.attempt);
  EXPECT_EQ(back.tries, r.tries);
  EXPECT_EQ(back.last, r.last);
  EXPECT_EQ(UnpackVerify(0).code, VerifyCode::None);
}

struct TextCase
{
  VerifyCode code;
  int32_t attempt;
  int32_t tries;
  const char* row;
  const char* line;
};

class Texts : public testing::TestWithParam<TextCase>
{
};

TEST_P(Texts, OfTheStatusRowAndTheLog)
{
  const TextCase& c = GetParam();
  VerifyResult r;
  r.code = c.code;
  r.program = 3;
  r.bytes = 163;
  r.at = 12;
  r.sent = 0x05;
  r.synth = 0x07;
  r.attempt = c.attempt;
  r.tries = c.tries;
  r.last = c.code == VerifyCode::Verified || c.attempt == c.tries;
  char row[kVerifyTextSize];
  char line[kVerifyTextSize];
  DescribeVerify(r, row);
  VerifyLine(r, line);
  EXPECT_STREQ(row, c.row);
  EXPECT_STREQ(line, c.line);
}

INSTANTIATE_TEST_SUITE_P(
    Results, Texts,
    testing::Values(
        TextCase{VerifyCode::Verified, 1, 2, "Verified", "verify program 3: verified (163 bytes)"},
        TextCase{VerifyCode::Differs, 1, 2, "Differs at byte 12 (sent 05, synth 07), trying again",
                 "verify program 3: differs at byte 12 (sent 05, synth 07), try 1 of 2"},
        TextCase{VerifyCode::NoAnswer, 2, 2, "No answer, 2 tries failed",
                 "verify program 3: no answer, 2 tries failed"},
        TextCase{VerifyCode::NoAnswer, 1, 1, "No answer, 1 try failed",
                 "verify program 3: no answer, 1 try failed"}));

TEST(SendSettings, StoreClampedAndReadBack)
{
  ExtensionSettings settings;
  EXPECT_TRUE(StoreSendSetting(settings, param::kVerifyTime, 0.1f));
  EXPECT_EQ(settings.verifyMs, 500);
  EXPECT_FLOAT_EQ(SendSettingParameter(settings, param::kVerifyTime), 0.1f);
  EXPECT_TRUE(StoreSendSetting(settings, param::kRetries, 2.0f));
  EXPECT_EQ(settings.retries, kMaxRetries);
  EXPECT_TRUE(StoreSendSetting(settings, param::kDinSpeed, 1.0f));
  EXPECT_EQ(settings.dinSpeed, 1);
  EXPECT_FALSE(StoreSendSetting(settings, param::kSpacing, 1.0f));
}

} // namespace
