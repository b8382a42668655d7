// The LV2 state holds the VST 2 bank chunk byte for byte and the current
// program; a state that is not Quillet's, or broken, is refused with a line
// in the host's log and leaves the bank as it was.
#include "model/Parameters.h"
#include "model/VSTPluginProgramBank.h"
#include "tests/lv2/EditionPair.h"

#include <lv2/atom/atom.h>

#include <cstring>
#include <string>

namespace lv2test {
namespace {

constexpr const char* kBankKey = "urn:quillet:quillet:bank";
constexpr const char* kProgramKey = "urn:quillet:quillet:program";

std::vector<uint8_t> Int32(int32_t value)
{
  std::vector<uint8_t> bytes(4);
  std::memcpy(bytes.data(), &value, 4);
  return bytes;
}

class Lv2State : public EditionPair
{
protected:
  bool LogHas(const std::string& part)
  {
    for (const std::string& line : lv2->Log())
      if (line.find(part) != std::string::npos)
        return true;
    return false;
  }
};

TEST_F(Lv2State, SavesTheVst2BankChunkAndProgramAndRestoresThemByteForByte)
{
  // One bank with the extension in use (a Program Change strip, pacing) and
  // one without, which keeps the plain size.
  const std::vector<std::vector<uint8_t>> banks = {
      MakeBank({{3, 0, Cc(1, 0, 2), Pc(1, 5)}}, {{param::kSpacing, 20.0f / 250.0f}}),
      MakeBank({{3, 2, Cc(4, 7, 90), {}}}, {{param::kSendOnChange, 1.0f}})};
  ASSERT_EQ(banks[0].size(), static_cast<size_t>(VSTPluginProgramBank::kExtendedBankBytes));
  ASSERT_EQ(banks[1].size(), static_cast<size_t>(VSTPluginProgramBank::kBankBytes));
  for (const std::vector<uint8_t>& bank : banks) {
    LoadBank(bank, 3);
    std::map<uint32_t, Property> saved;
    ASSERT_EQ(lv2->Save(saved), LV2_STATE_SUCCESS);
    const Property& savedBank = saved[lv2->Map(kBankKey)];
    EXPECT_EQ(savedBank.type, lv2->Map(LV2_ATOM__Chunk));
    EXPECT_TRUE(savedBank.value == vst->GetChunk(false)) << "the VST 2 build's bank chunk";
    EXPECT_TRUE(savedBank.value == bank);
    EXPECT_EQ(saved[lv2->Map(kProgramKey)].value, Int32(3));

    // Into a fresh instance, and saved again: the same bytes.
    Lv2TestHost fresh;
    fresh.Activate();
    std::map<uint32_t, Property> moved;
    moved[fresh.Map(kBankKey)] = {fresh.Map(LV2_ATOM__Chunk), savedBank.value};
    moved[fresh.Map(kProgramKey)] = {fresh.Map(LV2_ATOM__Int), Int32(3)};
    ASSERT_EQ(fresh.Restore(moved), LV2_STATE_SUCCESS);
    std::map<uint32_t, Property> again;
    ASSERT_EQ(fresh.Save(again), LV2_STATE_SUCCESS);
    EXPECT_TRUE(again[fresh.Map(kBankKey)].value == bank);
    EXPECT_EQ(again[fresh.Map(kProgramKey)].value, Int32(3));
  }
}

TEST_F(Lv2State, SurvivesAHostsOwnStateFile)
{
  // Saved and restored the way lilv-based hosts keep a state: as Turtle.
  const std::vector<uint8_t> bank =
      MakeBank({{0, 0, Cc(1, 0, 2), Pc(1, 5)}}, {{param::kSpacing, 20.0f / 250.0f}});
  LoadBank(bank, 0);
  LilvState* state = lilv_state_new_from_instance(
      lv2->Plugin(), lv2->Instance(), lv2->UridMap(), nullptr, nullptr, nullptr, nullptr,
      [](const char*, void*, uint32_t* size, uint32_t* type) -> const void* {
        *size = 0;
        *type = 0;
        return nullptr;
      },
      nullptr, LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE, lv2->Features());
  ASSERT_NE(state, nullptr);
  char* text = lilv_state_to_string(lv2->World(), lv2->UridMap(), lv2->UridUnmap(), state,
                                    "urn:quillet:test:state", nullptr);
  lilv_state_free(state);
  ASSERT_NE(text, nullptr);

  Lv2TestHost fresh;
  fresh.Activate();
  LilvState* back = lilv_state_new_from_string(fresh.World(), fresh.UridMap(), text);
  lilv_free(text);
  ASSERT_NE(back, nullptr);
  lilv_state_restore(back, fresh.Instance(), nullptr, nullptr, 0, fresh.Features());
  lilv_state_free(back);
  EXPECT_TRUE(fresh.SavedBank() == bank);
}

// A state to refuse, and the line the log must show.
struct Refusal
{
  const char* name;
  const char* bankType; // null: no bank
  size_t bankBytes;
  bool withProgram;
  const char* line;
  LV2_State_Status status;
};

class Lv2StateRefusals : public Lv2State, public ::testing::WithParamInterface<Refusal>
{
};

TEST_P(Lv2StateRefusals, LeaveTheBankAsItWasWithALine)
{
  const Refusal& r = GetParam();
  // Send on init is on: a bank taken would send at once.
  const std::vector<uint8_t> bank = MakeBank(
      {{0, 0, Cc(1, 7, 100), {}}}, {{param::kSendOnInit, 1.0f}, {param::kInitDelay, 0.0f}});
  LoadBank(bank, 0);
  Blocks(2);
  ASSERT_EQ(TakeLv2().size(), 1u) << "the bank loaded sent once";
  lv2->ClearLog();

  std::map<uint32_t, Property> state;
  if (r.bankType) {
    std::vector<uint8_t> bytes(r.bankBytes, 0x5A);
    state[lv2->Map(kBankKey)] = {lv2->Map(r.bankType), bytes};
  }
  if (r.withProgram)
    state[lv2->Map(kProgramKey)] = {lv2->Map(LV2_ATOM__Int), Int32(9)};
  state[lv2->Map("urn:other:plugin#data")] = {lv2->Map(LV2_ATOM__Chunk),
                                              std::vector<uint8_t>(35328, 1)};
  EXPECT_EQ(lv2->Restore(state), r.status);
  EXPECT_TRUE(LogHas(r.line)) << "log: " << (lv2->Log().empty() ? "" : lv2->Log()[0]);
  EXPECT_TRUE(lv2->SavedBank() == bank) << "the bank stays as it was";
  Blocks(2);
  EXPECT_EQ(Format(TakeLv2()), "") << "and sends nothing";
}

INSTANTIATE_TEST_SUITE_P(
    , Lv2StateRefusals,
    ::testing::Values(Refusal{"AnotherPluginsState", nullptr, 0, false, "holds no Quillet bank",
                              LV2_STATE_ERR_NO_PROPERTY},
                      Refusal{"AProgramWithoutBank", nullptr, 0, true, "holds no Quillet bank",
                              LV2_STATE_ERR_NO_PROPERTY},
                      Refusal{"ABankOfAnotherType", LV2_ATOM__String, 35328, true,
                              "not a chunk of bytes", LV2_STATE_ERR_BAD_TYPE},
                      Refusal{"AFewBytes", LV2_ATOM__Chunk, 100, true, "(100 bytes) is not a bank",
                              LV2_STATE_ERR_UNKNOWN},
                      Refusal{"ABankCutShort", LV2_ATOM__Chunk, 35000, true,
                              "(35000 bytes) is not a bank", LV2_STATE_ERR_UNKNOWN},
                      Refusal{"NoBytes", LV2_ATOM__Chunk, 0, true, "(0 bytes) is not a bank",
                              LV2_STATE_ERR_UNKNOWN}),
    [](const ::testing::TestParamInfo<Refusal>& info) { return std::string(info.param.name); });

TEST_F(Lv2State, ABrokenProgramKeepsTheCurrentOneWithALine)
{
  const std::vector<uint8_t> bank = MakeBank({}, {});
  std::map<uint32_t, Property> state;
  state[lv2->Map(kBankKey)] = {lv2->Map(LV2_ATOM__Chunk), bank};
  state[lv2->Map(kProgramKey)] = {lv2->Map(LV2_ATOM__Int), Int32(128)};
  EXPECT_EQ(lv2->Restore(state), LV2_STATE_SUCCESS);
  EXPECT_TRUE(LogHas("program is not a number from 0 to 127, so program 0 stays"));
  std::map<uint32_t, Property> saved;
  ASSERT_EQ(lv2->Save(saved), LV2_STATE_SUCCESS);
  EXPECT_EQ(saved[lv2->Map(kProgramKey)].value, Int32(0));
}

} // namespace
} // namespace lv2test
