#include "files/PresetFile.h"

#include <gtest/gtest.h>

using files::DecodePreset;
using files::EncodePreset;
using files::PresetFile;

namespace {

PresetFile Bank()
{
  PresetFile bank;
  bank.bank = true;
  bank.uniqueId = 0x514C5458;
  bank.pluginVersion = 1;
  bank.numPrograms = 128;
  bank.currentProgram = 5;
  bank.chunk.assign(35328, 0x5A);
  return bank;
}

} // namespace

TEST(PresetFile, BankHeaderIsBigEndianWithTheSpecifiedFields)
{
  const auto bytes = EncodePreset(Bank());
  ASSERT_EQ(bytes.size(), 160u + 35328u);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "CcnK");
  EXPECT_EQ(bytes[4] << 24 | bytes[5] << 16 | bytes[6] << 8 | bytes[7], 160 + 35328 - 8);
  EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 12), "FBCh");
  EXPECT_EQ(bytes[15], 2) << "format version 2 for a bank";
  EXPECT_EQ(std::string(bytes.begin() + 16, bytes.begin() + 20), "QLTX");
  EXPECT_EQ(bytes[27], 128);
  EXPECT_EQ(bytes[31], 5) << "current program";
  for (size_t i = 32; i < 156; ++i)
    ASSERT_EQ(bytes[i], 0) << "reserved byte " << i;
  EXPECT_EQ(bytes[156] << 24 | bytes[157] << 16 | bytes[158] << 8 | bytes[159], 35328);

  PresetFile decoded;
  std::string error;
  ASSERT_TRUE(DecodePreset(bytes, decoded, error)) << error;
  EXPECT_TRUE(decoded.bank);
  EXPECT_EQ(decoded.currentProgram, 5);
  EXPECT_EQ(decoded.uniqueId, 0x514C5458);
  EXPECT_EQ(decoded.chunk, Bank().chunk);
}

TEST(PresetFile, ProgramCarriesItsName)
{
  PresetFile program;
  program.bank = false;
  program.uniqueId = 0x514C5458;
  program.name = "Warm pad";
  program.chunk.assign(276, 1);
  const auto bytes = EncodePreset(program);
  ASSERT_EQ(bytes.size(), 60u + 276u);
  EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 12), "FPCh");
  EXPECT_EQ(bytes[15], 1);
  PresetFile decoded;
  std::string error;
  ASSERT_TRUE(DecodePreset(bytes, decoded, error)) << error;
  EXPECT_FALSE(decoded.bank);
  EXPECT_EQ(decoded.name, "Warm pad");
}

TEST(PresetFile, DamagedFilesAreRefusedWithAReason)
{
  const auto good = EncodePreset(Bank());
  PresetFile decoded;
  std::string error;

  auto truncated = good;
  truncated.resize(good.size() - 10);
  EXPECT_FALSE(DecodePreset(truncated, decoded, error));
  EXPECT_NE(error.find("truncated"), std::string::npos) << error;

  auto headerOnly = good;
  headerOnly.resize(20);
  EXPECT_FALSE(DecodePreset(headerOnly, decoded, error));

  auto wrongMagic = good;
  wrongMagic[0] = 'X';
  EXPECT_FALSE(DecodePreset(wrongMagic, decoded, error));

  auto parameters = good;
  parameters[9] = 'x'; // 'FxCh'? neither kind of chunk preset
  EXPECT_FALSE(DecodePreset(parameters, decoded, error));

  auto badChunkSize = good;
  badChunkSize[159] ^= 1;
  EXPECT_FALSE(DecodePreset(badChunkSize, decoded, error));

  EXPECT_FALSE(DecodePreset({}, decoded, error));
}
