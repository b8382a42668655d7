// The message kinds as their table defines them: the bytes each sends, the
// spelling quillet-host takes and the text the drawer shows, and learning
// that makes one message of an NRPN's, an RPN's or a 14-bit pair's
// controllers.
#include "model/MessageKinds.h"
#include "midi/MidiBytes.h"
#include "model/StripLearning.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string Hex(const strips::MessageBytes& bytes)
{
  std::string text;
  char byte[4];
  midi::ForEachMessage(bytes.data, bytes.size, [&](const uint8_t* event, int32_t size) {
    if (!text.empty())
      text += "|";
    for (int32_t i = 0; i < size; ++i) {
      std::snprintf(byte, sizeof byte, i ? " %02X" : "%02X", event[i]);
      text += byte;
    }
  });
  return text;
}

struct SpellingCase
{
  const char* text;
  const char* events; // "" when nothing is sent
  const char* described;
};

// Every kind, with the 7-bit and null options, and fields at their ends.
const SpellingCase kSpellings[] = {
    {"cc/1/74/100", "B0 4A 64", "CC 74 ch 1"},
    {"note/2/60/127", "91 3C 7F", "Note 60 ch 2"},
    {"pc/1/9", "C0 09", "PC 9 ch 1"},
    {"nrpn/1/1024/8191", "B0 63 08|B0 62 00|B0 06 3F|B0 26 7F", "NRPN 1024 ch 1 = 8191"},
    {"nrpn/16/16383/100/7", "BF 63 7F|BF 62 7F|BF 06 64", "NRPN 16383 ch 16 = 100"},
    {"nrpn/1/5/16383/null", "B0 63 00|B0 62 05|B0 06 7F|B0 26 7F|B0 65 7F|B0 64 7F",
     "NRPN 5 ch 1 = 16383 null"},
    {"rpn/3/0/8192", "B2 65 00|B2 64 00|B2 06 40|B2 26 00", "RPN 0 ch 3 = 8192"},
    {"rpn/1/2/64/7/null", "B0 65 00|B0 64 02|B0 06 40|B0 65 7F|B0 64 7F", "RPN 2 ch 1 = 64 null"},
    {"cc14/1/7/12000", "B0 07 5D|B0 27 60", "CC14 7 ch 1 = 12000"},
    {"cc14/1/31/0", "B0 1F 00|B0 3F 00", "CC14 31 ch 1 = 0"},
    {"cp/1/64", "D0 40", "CP ch 1 = 64"},
    {"cp/16/0", "DF 00", "CP ch 16 = 0"},
    {"poly/2/60/100", "A1 3C 64", "Poly 60 ch 2"},
    {"pb/1/8192", "E0 00 40", "PB ch 1 = 8192"},
    {"pb/16/16383", "EF 7F 7F", "PB ch 16 = 16383"},
};

TEST(MessageKinds, EachSpellingSendsItsBytesAndReadsBackAsItsText)
{
  for (const SpellingCase& c : kSpellings) {
    strips::Message m;
    ASSERT_TRUE(strips::Parse(c.text, m)) << c.text;
    strips::MessageBytes bytes;
    strips::Bytes(m, bytes);
    EXPECT_EQ(Hex(bytes), c.events) << c.text;
    EXPECT_LE(bytes.size, strips::kMaxShortMessageBytes);
    char text[strips::kDescriptionSize];
    strips::Describe(m, text);
    EXPECT_STREQ(text, c.described) << c.text;
  }
}

TEST(MessageKinds, SpellingsOutOfRangeAreRefused)
{
  for (const char* text : {"cc/0/1/1",       "cc/17/1/1",       "cc/1/128/1",   "cc/1/1/128",
                           "cc/1/1/1/7",     "pc/1/128",        "pc/1/1/1",     "nrpn/1/16384/0",
                           "nrpn/1/0/16384", "nrpn/1/0/128/7",  "nrpn/1/0/1/8", "nrpn/1/0/1/7/7",
                           "cc14/1/32/0",    "cc14/1/0/0/null", "cp/1/128",     "cp/1/1/1",
                           "poly/1/128/0",   "poly/1/60",       "pb/1/16384",   "pb/1/0/8192",
                           "pb/1/0/7",       "sysex/1/1/1",     "cc/1/x/1",     ""}) {
    strips::Message m;
    EXPECT_FALSE(strips::Parse(text, m)) << text;
  }
}

// A kind learned from one event takes it back as it is sent; the
// statuses of no learned kind are not learned.
TEST(MessageKinds, EachKindOfOneEventIsLearnedAsItIsSent)
{
  for (const SpellingCase& c : kSpellings) {
    strips::Message m;
    ASSERT_TRUE(strips::Parse(c.text, m)) << c.text;
    if (!strips::KindOf(m).fromMidi)
      continue;
    strips::MessageBytes bytes;
    ASSERT_GT(strips::Bytes(m, bytes), 0) << c.text;
    EXPECT_TRUE(strips::LearnsStatus(bytes.data[0])) << c.text;
    strips::Message learned;
    ASSERT_TRUE(strips::FromMidi(bytes.data[0], bytes.data[1], bytes.data[2], learned)) << c.text;
    char text[strips::kDescriptionSize];
    strips::Describe(learned, text);
    EXPECT_STREQ(text, c.described) << c.text;
    EXPECT_TRUE(strips::SameLearned(m, learned)) << c.text;
  }
  for (const uint8_t status : {0x80, 0x93, 0xF0, 0xF8, 0x40}) {
    strips::Message m;
    EXPECT_FALSE(strips::LearnsStatus(status)) << int{status};
    EXPECT_FALSE(strips::FromMidi(status, 1, 2, m)) << int{status};
  }
}

// A message made a kind with a default value starts at it (a Pitch Bend at
// its centre), whatever value it had.
TEST(MessageKinds, AKindWithADefaultValueStartsAtIt)
{
  for (const strips::MessageKind& kind : strips::AllKinds()) {
    if (kind.defaultValue == 0)
      continue;
    VSTPluginProgram program;
    InitProgram(program, "test");
    ProgramExtension extension{};
    strips::Message cc;
    ASSERT_TRUE(strips::Parse("cc/2/1/127", cc));
    strips::Write(program, extension, 0, 0, cc);
    strips::SetKind(program, extension, 0, 0, kind.kindByte);
    const strips::Message m = strips::Read(program, extension, 0, 0);
    EXPECT_EQ(m.value, kind.defaultValue + (kind.wide ? 0 : 1)) << kind.name;
    EXPECT_EQ(m.channel, 2) << kind.name;
    strips::MessageBytes bytes;
    EXPECT_GT(strips::Bytes(m, bytes), 0) << kind.name;
  }
}

TEST(MessageKinds, StoredFieldsOutOfRangeSendNothing)
{
  strips::Message m;
  ASSERT_TRUE(strips::Parse("nrpn/1/1/1/7", m));
  m.value = 128; // a 7-bit value above 127, as a chunk may hold
  strips::MessageBytes bytes;
  EXPECT_EQ(strips::Bytes(m, bytes), 0);
  ASSERT_TRUE(strips::Parse("cc14/1/1/1", m));
  m.number = 32;
  EXPECT_EQ(strips::Bytes(m, bytes), 0);
  m.number = 1;
  m.channel = 17;
  EXPECT_EQ(strips::Bytes(m, bytes), 0);
}

// The wide kinds live in the extension: the record alone sees them off.
TEST(MessageKinds, AWideMessageKeepsTheRecordOffAndItsParameterNamesItsKind)
{
  VSTPluginProgram program;
  InitProgram(program, "test");
  ProgramExtension extension{};
  strips::Message m;
  ASSERT_TRUE(strips::Parse("nrpn/4/1024/8191", m));
  strips::Write(program, extension, 0, 1, m);
  EXPECT_EQ(program.strips[0].channelB, 0);
  EXPECT_EQ(program.strips[0].numberB, 0);
  EXPECT_EQ(extension.channelB[0], 4);
  EXPECT_EQ(extension.wide.number[1], 1024);
  const strips::Message read = strips::Read(program, extension, 0, 1);
  EXPECT_EQ(read.number, 1024);
  EXPECT_EQ(read.value, 8191);
  EXPECT_TRUE(strips::WideInUse(extension));

  // Back to a controller: the channel returns, the wide fields go.
  strips::SetKind(program, extension, 0, 1, kKindByFormat);
  EXPECT_EQ(program.strips[0].channelB, 4);
  EXPECT_EQ(extension.wide.number[1], 0);
  EXPECT_FALSE(strips::WideInUse(extension));
}

// Room for kinds: every kind's byte is within the kind parameter's room
// and its parameter names it alone; the values the parameter always had
// read as they did.
TEST(MessageKinds, TheKindParameterNamesEveryKindWithinItsRoom)
{
  std::vector<float> seen;
  for (const strips::MessageKind& kind : strips::AllKinds()) {
    EXPECT_LE(kind.kindByte, kMaxKindByte) << kind.name << ": past the kind parameter's room";
    const float value = strips::KindParameter(kind.kindByte);
    EXPECT_EQ(strips::KindFromParameter(value), kind.kindByte) << kind.name;
    if (kind.kindByte != kKindByFormat) {
      EXPECT_EQ(std::count(seen.begin(), seen.end(), value), 0) << kind.name;
      seen.push_back(value);
    }
  }
  EXPECT_GE(kMaxKindByte + 2, 16) << "room for 16 kinds, the two by format included";
  const std::pair<float, uint8_t> kept[] = {
      {0.0f, kKindByFormat},     {0.125f, 2}, {0.1875f, 3}, {0.25f, 4}, {0.7f, kKindProgramChange},
      {1.0f, kKindProgramChange}};
  for (const auto& [value, kindByte] : kept)
    EXPECT_EQ(strips::KindFromParameter(value), kindByte) << value;
}

// Every kind's spelling, as the help prints it, is what Parse takes.
TEST(MessageKinds, EachKindsSyntaxIsWhatParseTakes)
{
  const std::string all = strips::ParseSyntax();
  for (const strips::MessageKind& kind : strips::AllKinds()) {
    char syntax[64];
    strips::Syntax(kind, syntax, sizeof syntax);
    EXPECT_NE(all.find(syntax), std::string::npos) << syntax;
    // The fields at the top of their ranges, the options left out.
    std::string text = std::string(kind.word) + "/16";
    if (strips::HasNumber(kind))
      text += "/" + std::to_string(kind.numbers - 1);
    if (strips::HasValue(kind))
      text += "/" + std::to_string(kind.values - 1);
    strips::Message m;
    ASSERT_TRUE(strips::Parse(text.c_str(), m)) << text << " for " << syntax;
    EXPECT_EQ(&strips::KindOf(m), &kind) << text;
    strips::MessageBytes bytes;
    EXPECT_GT(strips::Bytes(m, bytes), 0) << text;
  }
}

TEST(MessageKinds, AListOfKindsBreaksItsLinesAtTheWidth)
{
  strips::KindList list;
  list.lead = "learn";
  list.which = strips::Learned;
  list.more = "SysEx";
  list.width = 12;
  list.indent = "  ";
  char text[256];
  const int32_t length = strips::ListKinds(list, text, sizeof text);
  ASSERT_EQ(length, static_cast<int32_t>(std::strlen(text)));
  // Each line within the width; joined again, the learned kinds' names.
  std::string joined;
  std::string line;
  for (const char* c = text;; ++c) {
    if (*c != '\n' && *c != '\0') {
      line += *c;
      continue;
    }
    EXPECT_LE(line.size(), 12u) << line;
    joined += (joined.empty() ? "" : " ") + line.substr(joined.empty() ? 0 : 2);
    line.clear();
    if (!*c)
      break;
  }
  std::string expected = "learn";
  for (const strips::MessageKind& kind : strips::AllKinds()) {
    if (strips::Learned(kind))
      expected += (expected == "learn" ? " " : ", ") + std::string(kind.name);
  }
  EXPECT_EQ(joined, expected + " and SysEx");
  char small[8];
  EXPECT_EQ(strips::ListKinds(list, small, sizeof small), 7) << "cut, terminated";
}

// ------------------------------------------------------------- learning

class KindLearning : public testing::Test
{
protected:
  void SetUp() override { InitProgram(program, "test"); }

  // Feeds controllers (channel 1) as the learning thread does, flushing
  // what is held at the end (the pause after the last).
  void Feed(const std::vector<std::pair<int, int>>& controllers)
  {
    strips::LearnRecogniser::Recognised out[strips::LearnRecogniser::kMaxOut];
    auto learn = [&](int32_t n) {
      for (int32_t i = 0; i < n; ++i)
        learned =
            strips::Learn(program, extension, learned, out[i].message, out[i].replaces).learned;
    };
    for (const auto& [number, value] : controllers) {
      strips::Message m;
      ASSERT_TRUE(
          strips::FromMidi(0xB0, static_cast<uint8_t>(number), static_cast<uint8_t>(value), m));
      learn(recogniser.Feed(m, out));
    }
    learn(recogniser.Flush(1, out));
  }
  std::vector<std::string> Stored()
  {
    std::vector<std::string> texts;
    for (int32_t strip = 0; strip < kStripsPerProgram; ++strip) {
      if (!program.strips[strip].inUse)
        continue;
      for (int32_t message = 0; message < 2; ++message) {
        char text[strips::kDescriptionSize];
        strips::Describe(strips::Read(program, extension, strip, message), text);
        if (std::strcmp(text, "off") != 0)
          texts.push_back(text);
      }
    }
    return texts;
  }

  VSTPluginProgram program;
  ProgramExtension extension{};
  strips::SlotSet learned = 0;
  strips::LearnRecogniser recogniser;
};

struct LearnCase
{
  const char* what;
  std::vector<std::pair<int, int>> controllers;
  std::vector<std::string> stored;
};

TEST_F(KindLearning, SequencesBecomeOneMessage)
{
  const LearnCase cases[] = {
      {"NRPN, MSB first", {{99, 8}, {98, 0}, {6, 63}, {38, 127}}, {"NRPN 1024 ch 1 = 8191"}},
      {"NRPN, LSB first", {{98, 0}, {99, 8}, {6, 63}, {38, 127}}, {"NRPN 1024 ch 1 = 8191"}},
      {"NRPN, 7-bit", {{99, 0}, {98, 5}, {6, 100}}, {"NRPN 5 ch 1 = 100"}},
      {"RPN with the null after",
       {{101, 0}, {100, 0}, {6, 2}, {38, 0}, {101, 127}, {100, 127}},
       {"RPN 0 ch 1 = 256 null"}},
      {"14-bit CC", {{7, 93}, {39, 96}}, {"CC14 7 ch 1 = 12000"}},
      {"14-bit CC twice", {{7, 93}, {39, 96}, {7, 1}, {39, 2}}, {"CC14 7 ch 1 = 130"}},
      {"Bank Select stays two controllers", {{0, 1}, {32, 2}}, {"CC 0 ch 1", "CC 32 ch 1"}},
      {"a lone select is the controller it is", {{99, 3}, {7, 9}}, {"CC 99 ch 1", "CC 7 ch 1"}},
      {"a select without its data entry", {{99, 3}, {98, 4}}, {"CC 99 ch 1", "CC 98 ch 1"}},
      {"a pair that does not complete", {{7, 3}, {40, 9}}, {"CC 7 ch 1", "CC 40 ch 1"}},
  };
  for (const LearnCase& c : cases) {
    SetUp();
    extension = ProgramExtension{};
    learned = 0;
    recogniser.Reset();
    Feed(c.controllers);
    EXPECT_EQ(Stored(), c.stored) << c.what;
  }
}

TEST_F(KindLearning, ALoneControllerIsLearnedAtOnce)
{
  strips::Message m;
  ASSERT_TRUE(strips::FromMidi(0xB0, 7, 100, m));
  strips::LearnRecogniser::Recognised out[strips::LearnRecogniser::kMaxOut];
  ASSERT_EQ(recogniser.Feed(m, out), 1) << "a possible 14-bit MSB is not held back";
  EXPECT_FALSE(recogniser.Holding());
}

} // namespace
