// The chunk extension's versions as the bank writes and reads them: a
// version-1 chunk stays what it was, version 2 is written only for its own
// settings and round-trips with the wide messages and the SysEx, and a
// version-1 build reads a version-2 chunk as any larger one; versions 3
// (send settings) and 4 (don't-care bytes) likewise.
#include "model/StripMessages.h"
#include "model/VSTPluginProgramBank.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace {

class ChunkExtension : public testing::Test
{
protected:
  void SetUp() override
  {
    bank = std::make_unique<VSTPluginProgramBank>();
    for (int p = 0; p < kBankPrograms; ++p)
      InitProgram((*bank)[p], "p");
  }
  void Store(int program, int strip, int message, const char* text)
  {
    strips::Message m;
    ASSERT_TRUE(strips::Parse(text, m)) << text;
    strips::AddStrip((*bank)[program], bank->Extension(program), strip);
    strips::Write((*bank)[program], bank->Extension(program), strip, message, m);
  }
  std::string Stored(const VSTPluginProgramBank& from, int program, int strip, int message)
  {
    char text[strips::kDescriptionSize];
    strips::Describe(strips::Read(from[program], from.Extension(program), strip, message), text);
    return text;
  }
  static int32_t Version(const std::vector<uint8_t>& chunk, int32_t records)
  {
    int32_t version;
    std::memcpy(&version, chunk.data() + records + 4, sizeof version);
    return version;
  }
  std::unique_ptr<const SysExSet> Dump()
  {
    SysExSet::Builder builder;
    const uint8_t message[] = {0xF0, 0x43, 0x10, 0x4C, 0x00, 0x00, 0x7E, 0x00, 0xF7};
    builder.Append({message, sizeof message});
    return builder.Build();
  }

  std::unique_ptr<VSTPluginProgramBank> bank;
};

TEST_F(ChunkExtension, VersionOneSettingsKeepTheVersionOneChunkByteForByte)
{
  EXPECT_EQ(bank->WriteBank().size(), static_cast<size_t>(VSTPluginProgramBank::kBankBytes))
      << "nothing in use: the records alone";
  Store(3, 0, 1, "pc/2/9");
  Store(4, 0, 0, "cp/3/64");
  Store(4, 0, 1, "poly/1/60/9");
  bank->Settings().spacingMs = 20;
  const std::vector<uint8_t> chunk = bank->WriteBank();
  ASSERT_EQ(chunk.size(), static_cast<size_t>(VSTPluginProgramBank::kExtendedBankBytes));
  EXPECT_EQ(Version(chunk, VSTPluginProgramBank::kBankBytes), 1);
  // The version-1 layout: header, then the 64 bytes of kinds per program.
  const uint8_t* kinds = chunk.data() + VSTPluginProgramBank::kBankBytes + sizeof(ExtensionHeader);
  EXPECT_EQ(kinds[3 * kProgramKindBytes + 16], kKindProgramChange) << "kindB[0] of program 3";
  EXPECT_EQ(kinds[3 * kProgramKindBytes + 48], 2) << "channelB[0] of program 3";

  auto loaded = std::make_unique<VSTPluginProgramBank>();
  bool newer = true;
  ASSERT_EQ(loaded->readBank(chunk.data(), static_cast<int32_t>(chunk.size()), newer), 1);
  EXPECT_FALSE(newer);
  EXPECT_EQ(loaded->WriteBank(), chunk);
  EXPECT_EQ(Stored(*loaded, 4, 0, 0), "CP ch 3 = 64");
  EXPECT_EQ(Stored(*loaded, 4, 0, 1), "Poly 60 ch 1");
}

TEST_F(ChunkExtension, VersionTwoRoundTripsWideMessagesTheGapAndSysEx)
{
  Store(0, 0, 0, "nrpn/1/1024/8191/null");
  Store(5, 2, 1, "cc14/3/7/12000");
  Store(6, 1, 0, "pb/4/8192");
  bank->Settings().sysexGapMs = 150;
  const std::unique_ptr<const SysExSet> dump = Dump();
  const SysExSet* sets[kBankPrograms] = {};
  sets[7] = dump.get();
  const std::vector<uint8_t> chunk = bank->WriteBank(sets);
  EXPECT_EQ(Version(chunk, VSTPluginProgramBank::kBankBytes), 2);

  auto loaded = std::make_unique<VSTPluginProgramBank>();
  LoadedSysEx sysex;
  bool newer = true;
  ASSERT_EQ(loaded->readBank(chunk.data(), static_cast<int32_t>(chunk.size()), newer, &sysex), 1);
  EXPECT_FALSE(newer);
  EXPECT_EQ(Stored(*loaded, 0, 0, 0), "NRPN 1024 ch 1 = 8191 null");
  EXPECT_EQ(Stored(*loaded, 5, 2, 1), "CC14 7 ch 3 = 12000");
  EXPECT_EQ(Stored(*loaded, 6, 1, 0), "PB ch 4 = 8192");
  EXPECT_EQ(loaded->Settings().sysexGapMs, 150);
  ASSERT_NE(sysex[7], nullptr);
  EXPECT_EQ(sysex[7]->Count(), 1);
  EXPECT_EQ(sysex[0], nullptr);
  const SysExSet* again[kBankPrograms] = {};
  again[7] = sysex[7].get();
  EXPECT_EQ(loaded->WriteBank(again), chunk);

  // The program chunk has the same layout for one program.
  const std::vector<uint8_t> program = bank->WriteProgram(0);
  EXPECT_EQ(Version(program, VSTPluginProgramBank::kProgramBytes), 2);
  ASSERT_EQ(loaded->readProgram(program.data(), static_cast<int32_t>(program.size()), 9, newer), 1);
  EXPECT_FALSE(newer);
  EXPECT_EQ(Stored(*loaded, 9, 0, 0), "NRPN 1024 ch 1 = 8191 null");
}

// A version-1 build reads the records and the version-1 part, and finds the
// chunk larger than the one it writes: "newer". Its rules are those of this
// reader given version 1 in the header; a wide message, whose record holds
// channel 0, is off.
TEST_F(ChunkExtension, AVersionOneReaderTakesTheRecordsAndKindsOfAVersionTwoChunk)
{
  Store(0, 0, 0, "pc/1/9");
  Store(0, 0, 1, "rpn/1/0/8192");
  Store(0, 1, 0, "cc/2/7/100");
  Store(0, 1, 1, "pb/1/100");
  std::vector<uint8_t> chunk = bank->WriteBank();
  ASSERT_GT(chunk.size(), static_cast<size_t>(VSTPluginProgramBank::kExtendedBankBytes));
  const int32_t one = 1;
  std::memcpy(chunk.data() + VSTPluginProgramBank::kBankBytes + 4, &one, sizeof one);

  auto loaded = std::make_unique<VSTPluginProgramBank>();
  bool newer = false;
  ASSERT_EQ(loaded->readBank(chunk.data(), static_cast<int32_t>(chunk.size()), newer), 1);
  EXPECT_TRUE(newer);
  EXPECT_EQ(Stored(*loaded, 0, 0, 0), "PC 9 ch 1");
  EXPECT_EQ(Stored(*loaded, 0, 0, 1), "off");
  EXPECT_EQ(Stored(*loaded, 0, 1, 0), "CC 7 ch 2");
  EXPECT_EQ(Stored(*loaded, 0, 1, 1), "off") << "a Pitch Bend's value is in the tail";
  EXPECT_EQ((*loaded)[0].strips[0].channelB, 0) << "the record has the wide message off";
}

TEST_F(ChunkExtension, ABrokenTailLoadsTheRestAndSaysNewer)
{
  Store(0, 0, 0, "pc/1/9");
  Store(0, 0, 1, "nrpn/1/3/4");
  const std::vector<uint8_t> whole = bank->WriteBank();
  const size_t tail = VSTPluginProgramBank::kExtendedBankBytes;
  for (const size_t cut : {tail + 4, tail + 16, whole.size() - 1}) {
    std::vector<uint8_t> chunk(whole.begin(), whole.begin() + static_cast<long>(cut));
    auto loaded = std::make_unique<VSTPluginProgramBank>();
    bool newer = false;
    ASSERT_EQ(loaded->readBank(chunk.data(), static_cast<int32_t>(chunk.size()), newer), 1);
    EXPECT_TRUE(newer) << cut;
    EXPECT_EQ(Stored(*loaded, 0, 0, 0), "PC 9 ch 1") << cut;
    EXPECT_EQ(Stored(*loaded, 0, 0, 1), "off") << cut;
    EXPECT_FALSE(strips::WideInUse(loaded->Extension(0))) << cut;
  }
}

// A program carries the pacing of the bank it was saved from; loaded into
// another bank it is paced as that bank is, with its block's version 1
// (a Program Change strip) or version 2 (SysEx).
TEST_F(ChunkExtension, AProgramKeepsTheBanksPacing)
{
  Store(0, 0, 0, "pc/1/9");
  bank->Settings() = {20, 300, 1, 0};
  const std::unique_ptr<const SysExSet> dump = Dump();
  for (const SysExSet* sysex : {static_cast<const SysExSet*>(nullptr), dump.get()}) {
    const std::vector<uint8_t> program = bank->WriteProgram(0, sysex);
    EXPECT_EQ(Version(program, VSTPluginProgramBank::kProgramBytes), sysex ? 2 : 1);
    auto paced = std::make_unique<VSTPluginProgramBank>();
    paced->Settings() = {5, 0, 0, 40};
    std::unique_ptr<const SysExSet> loaded;
    bool newer = true;
    ASSERT_EQ(
        paced->readProgram(program.data(), static_cast<int32_t>(program.size()), 4, newer, &loaded),
        1);
    EXPECT_FALSE(newer);
    EXPECT_EQ(Stored(*paced, 4, 0, 0), "PC 9 ch 1") << "the program was loaded";
    EXPECT_EQ(loaded != nullptr, sysex != nullptr) << "with its SysEx";
    const ExtensionSettings& kept = paced->Settings();
    EXPECT_EQ(
        std::vector<int32_t>({kept.spacingMs, kept.settleMs, kept.sendOnPlay, kept.sysexGapMs}),
        std::vector<int32_t>({5, 0, 0, 40}))
        << "and the bank's pacing stayed";
  }
}

} // namespace

namespace {

// The send settings (verify, retries, changes only, DIN speed): at their
// defaults a chunk is what it was (version 2 at most); any other value
// makes it version 3, which round-trips them, and a bank without them has
// the defaults.
TEST_F(ChunkExtension, SendSettingsAtTheirDefaultsLeaveTheChunkAsItWas)
{
  EXPECT_EQ(bank->WriteBank().size(), static_cast<size_t>(VSTPluginProgramBank::kBankBytes));
  bank->Settings().sysexGapMs = 150;
  const std::vector<uint8_t> chunk = bank->WriteBank();
  EXPECT_EQ(Version(chunk, VSTPluginProgramBank::kBankBytes), 2);
  const uint8_t* tail = chunk.data() + VSTPluginProgramBank::kExtendedBankBytes;
  for (size_t i = offsetof(ExtensionTail, verifyMs); i < sizeof(ExtensionTail); ++i)
    EXPECT_EQ(tail[i], 0) << "byte " << i << " of the tail stays zero";
}

TEST_F(ChunkExtension, VersionThreeRoundTripsTheSendSettings)
{
  bank->Settings().verifyMs = 750;
  bank->Settings().retries = 3;
  bank->Settings().changesOnly = 1;
  bank->Settings().dinSpeed = 1;
  const std::vector<uint8_t> chunk = bank->WriteBank();
  EXPECT_EQ(Version(chunk, VSTPluginProgramBank::kBankBytes), 3);
  auto loaded = std::make_unique<VSTPluginProgramBank>();
  bool newer = true;
  ASSERT_EQ(loaded->readBank(chunk.data(), static_cast<int32_t>(chunk.size()), newer), 1);
  EXPECT_FALSE(newer);
  EXPECT_EQ(loaded->Settings().verifyMs, 750);
  EXPECT_EQ(loaded->Settings().retries, 3);
  EXPECT_EQ(loaded->Settings().changesOnly, 1);
  EXPECT_EQ(loaded->Settings().dinSpeed, 1);
  EXPECT_EQ(loaded->WriteBank(), chunk);

  // Back to the defaults: a bank of records alone, which gives the
  // defaults back too.
  loaded->Settings() = ExtensionSettings{};
  const std::vector<uint8_t> plain = loaded->WriteBank();
  EXPECT_EQ(plain.size(), static_cast<size_t>(VSTPluginProgramBank::kBankBytes));
  ASSERT_EQ(bank->readBank(plain.data(), static_cast<int32_t>(plain.size()), newer), 1);
  EXPECT_EQ(bank->Settings().verifyMs, kDefaultVerifyMs);
  EXPECT_EQ(bank->Settings().retries, kDefaultRetries);
  EXPECT_EQ(bank->Settings().changesOnly, 0);
  EXPECT_EQ(bank->Settings().dinSpeed, 0);
}

TEST_F(ChunkExtension, AVersionTwoBankHasTheDefaultSendSettings)
{
  bank->Settings().sysexGapMs = 150;
  const std::vector<uint8_t> chunk = bank->WriteBank();
  auto loaded = std::make_unique<VSTPluginProgramBank>();
  loaded->Settings().verifyMs = 0;
  loaded->Settings().dinSpeed = 1;
  bool newer = true;
  ASSERT_EQ(loaded->readBank(chunk.data(), static_cast<int32_t>(chunk.size()), newer), 1);
  EXPECT_EQ(loaded->Settings().verifyMs, kDefaultVerifyMs);
  EXPECT_EQ(loaded->Settings().dinSpeed, 0);
}

// Don't-care bytes: a bank whose programs mark none is byte for byte the
// version-2 chunk (SysEx sections last); one that marks any is version 4,
// its don't-care sections after the SysEx sections, and round-trips them;
// a version-3 reader loads its SysEx without them and says newer.
class DontCareChunk : public ChunkExtension
{
protected:
  std::unique_ptr<const SysExSet> WithRequest(std::initializer_list<int32_t> dontCare)
  {
    const auto dump = Dump();
    SysExSet::Builder builder(dump.get());
    const uint8_t request[] = {0xF0, 0x43, 0x20, 0x4C, 0xF7};
    builder.SetRequest({request, sizeof request});
    for (const int32_t offset : dontCare)
      builder.MarkDontCare(offset);
    return builder.Build();
  }
};

TEST_F(DontCareChunk, WithoutMarksTheChunkIsTheVersionTwoLayout)
{
  const auto set = WithRequest({});
  const SysExSet* sets[kBankPrograms] = {};
  sets[7] = set.get();
  sets[9] = set.get();
  const std::vector<uint8_t> chunk = bank->WriteBank(sets);
  EXPECT_EQ(Version(chunk, VSTPluginProgramBank::kBankBytes), 2);
  // Records, version-1 part, tail header, wide messages, then the sections
  // and nothing after them.
  std::vector<uint8_t> sections;
  for (const SysExSet* one : sets) {
    std::vector<uint8_t> section(static_cast<size_t>(SysExSectionBytes(one)));
    WriteSysExSection(one, section.data());
    sections.insert(sections.end(), section.begin(), section.end());
  }
  const size_t before = VSTPluginProgramBank::kExtendedBankBytes + sizeof(ExtensionTail) +
                        kBankPrograms * sizeof(WideMessages);
  ASSERT_EQ(chunk.size(), before + sections.size());
  EXPECT_EQ(std::vector<uint8_t>(chunk.begin() + static_cast<long>(before), chunk.end()), sections);
  int32_t tailBytes = 0;
  std::memcpy(&tailBytes, chunk.data() + VSTPluginProgramBank::kExtendedBankBytes,
              sizeof tailBytes);
  EXPECT_EQ(tailBytes,
            static_cast<int32_t>(chunk.size()) - VSTPluginProgramBank::kExtendedBankBytes);

  LoadedSysEx sysex;
  bool newer = true;
  auto loaded = std::make_unique<VSTPluginProgramBank>();
  ASSERT_EQ(loaded->readBank(chunk.data(), static_cast<int32_t>(chunk.size()), newer, &sysex), 1);
  EXPECT_FALSE(newer);
  ASSERT_NE(sysex[7], nullptr);
  EXPECT_EQ(sysex[7]->DontCareCount(), 0) << "an older chunk has no marks";
}

TEST_F(DontCareChunk, VersionFourRoundTripsTheMarksOfBankAndProgram)
{
  const auto marked = WithRequest({6, 300});
  const auto plain = WithRequest({});
  const SysExSet* sets[kBankPrograms] = {};
  sets[3] = plain.get();
  sets[7] = marked.get();
  const std::vector<uint8_t> chunk = bank->WriteBank(sets);
  EXPECT_EQ(Version(chunk, VSTPluginProgramBank::kBankBytes), 4);
  // 128 don't-care sections at the end: one byte each, program 7's five.
  ASSERT_GT(chunk.size(), 132u);
  const std::vector<uint8_t> program7 = {2, 6, 0, 44, 1};
  EXPECT_EQ(std::vector<uint8_t>(chunk.end() - 120 - 5, chunk.end() - 120), program7);

  LoadedSysEx sysex;
  bool newer = true;
  auto loaded = std::make_unique<VSTPluginProgramBank>();
  ASSERT_EQ(loaded->readBank(chunk.data(), static_cast<int32_t>(chunk.size()), newer, &sysex), 1);
  EXPECT_FALSE(newer);
  ASSERT_NE(sysex[7], nullptr);
  EXPECT_TRUE(sysex[7]->IsDontCare(6) && sysex[7]->IsDontCare(300));
  EXPECT_EQ(sysex[7]->Count(), 1);
  EXPECT_EQ(sysex[3]->DontCareCount(), 0);
  EXPECT_EQ(loaded->Settings().verifyMs, kDefaultVerifyMs) << "the send settings as they were";
  const SysExSet* again[kBankPrograms] = {};
  for (int p = 0; p < kBankPrograms; ++p)
    again[p] = sysex[static_cast<size_t>(p)].get();
  EXPECT_EQ(loaded->WriteBank(again), chunk);

  for (const SysExSet* one : {marked.get(), plain.get()}) {
    const std::vector<uint8_t> program = bank->WriteProgram(0, one);
    EXPECT_EQ(Version(program, VSTPluginProgramBank::kProgramBytes), one == marked.get() ? 4 : 2);
    std::unique_ptr<const SysExSet> read;
    ASSERT_EQ(
        loaded->readProgram(program.data(), static_cast<int32_t>(program.size()), 9, newer, &read),
        1);
    EXPECT_FALSE(newer);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->DontCareCount(), one->DontCareCount());
  }
}

TEST_F(DontCareChunk, AnOlderReaderOrABrokenSectionLoadsTheSysExWithoutMarksAndSaysNewer)
{
  const auto marked = WithRequest({6});
  const SysExSet* sets[kBankPrograms] = {};
  sets[7] = marked.get();
  const std::vector<uint8_t> whole = bank->WriteBank(sets);
  const struct
  {
    const char* what;
    int32_t version;
    size_t cut; // bytes cut off the end
    long at;    // from the end: a byte set to `value` (0: none)
    uint8_t value;
    bool sysex; // the SysEx is loaded
  } cases[] = {
      {"a version-3 reader", 3, 0, 0, 0, true},
      {"a cut section", 4, 1, 0, 0, false},
      {"a count over 16", 4, 0, 1, 17, false},
      {"a mark at offset 0", 4, 0, 120 + 2, 0, false},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> chunk(whole.begin(), whole.end() - static_cast<long>(c.cut));
    std::memcpy(chunk.data() + VSTPluginProgramBank::kBankBytes + 4, &c.version, sizeof c.version);
    if (c.at)
      chunk[chunk.size() - static_cast<size_t>(c.at)] = c.value;
    // The tail's size as its header says it, so that the sections' reader
    // meets the cut.
    const int32_t tailBytes =
        static_cast<int32_t>(chunk.size()) - VSTPluginProgramBank::kExtendedBankBytes;
    std::memcpy(chunk.data() + VSTPluginProgramBank::kExtendedBankBytes, &tailBytes,
                sizeof tailBytes);
    LoadedSysEx sysex;
    bool newer = false;
    auto loaded = std::make_unique<VSTPluginProgramBank>();
    ASSERT_EQ(loaded->readBank(chunk.data(), static_cast<int32_t>(chunk.size()), newer, &sysex), 1)
        << c.what;
    EXPECT_TRUE(newer) << c.what;
    ASSERT_EQ(sysex[7] != nullptr, c.sysex) << c.what;
    if (c.sysex) {
      EXPECT_EQ(sysex[7]->DontCareCount(), 0) << c.what;
    }
  }
}

} // namespace
