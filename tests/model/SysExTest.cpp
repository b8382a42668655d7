// A program's SysEx list: the learn rule, the limits, .syx files and the
// list's section of the chunk extension.
#include "model/SysEx.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

SysExView View(const Bytes& bytes)
{
  return {bytes.data(), static_cast<int32_t>(bytes.size())};
}

Bytes Of(SysExView view)
{
  return view.size ? Bytes(view.data, view.data + view.size) : Bytes();
}

// F0, `head`, then data bytes up to `size` in all, F7 last.
Bytes Message(const Bytes& head, int32_t size, uint8_t fill = 0x11)
{
  Bytes m(static_cast<size_t>(size), fill);
  m.front() = midi::kSysExStart;
  std::copy(head.begin(), head.end(), m.begin() + 1);
  m.back() = midi::kSysExEnd;
  return m;
}

Bytes Concat(std::initializer_list<Bytes> parts)
{
  Bytes all;
  for (const Bytes& p : parts)
    all.insert(all.end(), p.begin(), p.end());
  return all;
}

TEST(SysExRules, ValidMessagesAreFramedDataWithinTheLimit)
{
  const struct
  {
    Bytes message;
    bool valid;
  } cases[] = {
      {{0xF0, 0xF7}, true},
      {{0xF0, 0x43, 0x10, 0x7F, 0xF7}, true},
      {Message({0x41}, kMaxSysExBytes), true},
      {Message({0x41}, kMaxSysExBytes + 1), false},
      {{0xF0}, false},
      {{}, false},
      {{0xF7, 0x00, 0xF7}, false},
      {{0xF0, 0x00, 0x00}, false},
      {{0xF0, 0x43, 0x80, 0xF7}, false},
      {{0xF0, 0xF0, 0xF7}, false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ValidSysEx(View(c.message)), c.valid) << c.message.size() << " bytes";
}

TEST(SysExRules, LearningReplacesTheMessageOfTheSameHeaderAndLength)
{
  // An edit buffer sent twice, then a longer one; 00 20 33 is one id, the
  // device and command bytes come after it.
  const Bytes edit1 = Message({0x3E, 0x13, 0x00, 0x10}, 392, 0x01);
  const Bytes other = Message({0x43, 0x00, 0x01}, 20);
  const Bytes edit2 = Message({0x3E, 0x13, 0x00, 0x10}, 392, 0x02);
  const Bytes longer = Message({0x3E, 0x13, 0x00, 0x10}, 393);
  const Bytes long1 = Message({0x00, 0x20, 0x33, 0x01, 0x10}, 30);
  const Bytes long2 = Message({0x00, 0x20, 0x33, 0x01, 0x11}, 30);
  const Bytes long3 = Message({0x00, 0x20, 0x33, 0x01, 0x10}, 30, 0x22);
  const struct
  {
    const Bytes& message;
    SysExChange change;
  } steps[] = {
      {edit1, SysExChange::Appended}, {other, SysExChange::Appended},
      {edit2, SysExChange::Replaced}, {longer, SysExChange::Appended},
      {long1, SysExChange::Appended}, {long2, SysExChange::Appended},
      {long3, SysExChange::Replaced},
  };
  SysExSet::Builder builder;
  for (const auto& step : steps)
    EXPECT_EQ(builder.Learn(View(step.message)), step.change) << step.message.size();
  const auto set = builder.Build();
  const std::vector<Bytes> kept = {edit2, other, longer, long3, long2};
  ASSERT_EQ(set->Count(), 5);
  for (int32_t i = 0; i < set->Count(); ++i)
    EXPECT_EQ(Of(set->Message(i)), kept[static_cast<size_t>(i)]) << i;
  EXPECT_EQ(set->TotalBytes(), 392 + 20 + 393 + 30 + 30);
}

TEST(SysExRules, ABankDumpOfManyMessagesIsKeptInOrder)
{
  // A dump of 40 programs, each its own command (and so its own header),
  // then a closing message of another length.
  SysExSet::Builder builder;
  std::vector<Bytes> dump;
  for (uint8_t p = 0; p < 40; ++p)
    dump.push_back(Message({0x41, 0x10, p, p}, 300, p));
  dump.push_back(Message({0x41, 0x10, 0x00}, 12));
  for (const Bytes& m : dump)
    EXPECT_EQ(builder.Learn(View(m)), SysExChange::Appended);
  const auto set = builder.Build();
  ASSERT_EQ(set->Count(), 41);
  for (int32_t i = 0; i < 41; ++i)
    EXPECT_EQ(Of(set->Message(i)), dump[static_cast<size_t>(i)]) << i;
}

TEST(SysExRules, AFullListRefusesAndChangesNothing)
{
  SysExSet::Builder builder;
  const Bytes big = Message({0x43, 0x00}, kMaxSysExListBytes - 10);
  ASSERT_EQ(builder.Append(View(big)), SysExChange::Appended);
  EXPECT_EQ(builder.Learn(View(Message({0x7E, 0x00}, 11))), SysExChange::Full);
  EXPECT_EQ(builder.Append(View(Message({0x7E, 0x00}, 11))), SysExChange::Full);
  EXPECT_EQ(builder.Append(View(Message({0x7E, 0x00}, 10))), SysExChange::Appended);
  EXPECT_EQ(builder.TotalBytes(), kMaxSysExListBytes);
  // The request does not count against the list.
  EXPECT_EQ(builder.SetRequest(View(Message({0x43, 0x20}, 6))), SysExChange::Appended);
  EXPECT_EQ(builder.Learn(View({0xF0, 0x43, 0x80, 0xF7})), SysExChange::Invalid);
  EXPECT_EQ(builder.Remove(2), SysExChange::Invalid);
  const auto set = builder.Build();
  EXPECT_EQ(set->Count(), 2);
  EXPECT_EQ(Of(set->Message(0)), big);
  EXPECT_EQ(Of(set->Request()), Message({0x43, 0x20}, 6));
  EXPECT_EQ(set->Message(2).data, nullptr);
  EXPECT_EQ(set->Message(-1).size, 0);
}

TEST(SysExRules, ABuilderFromASetEditsACopy)
{
  SysExSet::Builder first;
  first.Append(View(Message({0x01}, 5)));
  first.Append(View(Message({0x02}, 6)));
  first.SetRequest(View(Message({0x03}, 4)));
  const auto set = first.Build();
  SysExSet::Builder copy(set.get());
  EXPECT_EQ(copy.Remove(0), SysExChange::Removed);
  EXPECT_EQ(copy.SetRequest({}), SysExChange::Removed);
  const auto edited = copy.Build();
  EXPECT_EQ(set->Count(), 2);
  ASSERT_EQ(edited->Count(), 1);
  EXPECT_EQ(Of(edited->Message(0)), Message({0x02}, 6));
  EXPECT_EQ(edited->TotalBytes(), 6);
  EXPECT_EQ(edited->Request().size, 0);
  EXPECT_TRUE(SysExSet::Builder().Build()->Empty());
}

TEST(SysExRules, DescribeGivesSizeAndFirstBytes)
{
  char text[kSysExDescriptionSize];
  Describe(View(Message({0x3E, 0x13, 0x00}, 392)), text);
  EXPECT_STREQ(text, "392 B  F0 3E 13 00");
  Describe(View({0xF0, 0xF7}), text);
  EXPECT_STREQ(text, "2 B  F0 F7");
  Describe(View(Message({0x00, 0x20, 0x33}, kMaxSysExBytes)), text);
  EXPECT_STREQ(text, "65536 B  F0 00 20 33");
  Describe({}, text);
  EXPECT_STREQ(text, "none");
}

// ------------------------------------------------------------ .syx files

TEST(SyxFile, MessagesBackToBackReadAndWriteAsTheyAre)
{
  const Bytes file = Concat({Message({0x43, 0x00}, 163), {0xF0, 0xF7}, Message({0x41}, 70)});
  const SyxResult result = ParseSyx(file.data(), file.size());
  ASSERT_TRUE(result.Ok()) << result.reason;
  EXPECT_EQ(result.set->Count(), 3);
  EXPECT_EQ(Of(result.set->Message(1)), Bytes({0xF0, 0xF7}));
  EXPECT_EQ(WriteSyx(*result.set), file);
}

TEST(SyxFile, BadFilesAreRefusedAtTheByteAtFault)
{
  const Bytes good = Message({0x43}, 10);
  const struct
  {
    Bytes file;
    size_t offset;
    const char* reason;
  } cases[] = {
      {{}, 0, "the file is empty"},
      {Concat({good, {0x41}}), 10, "byte 0x41 at offset 10 is outside an F0...F7 message"},
      {Concat({good, {0xF7}}), 10, "byte 0xF7 at offset 10 is outside an F0...F7 message"},
      {Concat({good, {0xF0, 0x43, 0x90, 0xF7}}), 12,
       "byte 0x90 at offset 12 is not a data byte (in the message at offset 10)"},
      {Concat({good, {0xF0, 0x43, 0xF0, 0xF7}}), 12,
       "byte 0xF0 at offset 12 is not a data byte (in the message at offset 10)"},
      {Concat({good, {0xF0, 0x43, 0x01}}), 10,
       "the message at offset 10 has no F7 before the end of the file"},
      {Concat({good, Message({0x43}, kMaxSysExBytes + 1)}), 10,
       "the message at offset 10 is longer than 65536 bytes"},
      {Concat({Message({0x43}, 40000), Message({0x43}, 30000)}), 40000,
       "the messages come to more than 65536 bytes with the one at offset 40000"},
  };
  for (const auto& c : cases) {
    const SyxResult result = ParseSyx(c.file.data(), c.file.size());
    EXPECT_FALSE(result.Ok()) << c.reason;
    EXPECT_EQ(result.offset, c.offset) << c.reason;
    EXPECT_EQ(result.reason, c.reason);
  }
}

// ---------------------------------------------------- the chunk section

TEST(SysExSection, ASetReadsBackAsItWasWritten)
{
  SysExSet::Builder builder;
  builder.Append(View(Message({0x43, 0x00}, 19000)));
  builder.Append(View({0xF0, 0xF7}));
  builder.SetRequest(View(Message({0x43, 0x20, 0x00}, 6)));
  const auto set = builder.Build();
  const struct
  {
    const SysExSet* set;
    int32_t bytes;
  } cases[] = {{set.get(), 8 + 6 + 2 * 4 + 19000 + 2}, {nullptr, kEmptySysExSectionBytes}};
  for (const auto& c : cases) {
    ASSERT_EQ(SysExSectionBytes(c.set), c.bytes);
    Bytes section(static_cast<size_t>(c.bytes) + 5, 0xEE); // the rest of a chunk after it
    WriteSysExSection(c.set, section.data());
    int32_t used = 0;
    auto read = SysExSet::Builder().Build();
    ASSERT_TRUE(ReadSysExSection(section.data(), static_cast<int32_t>(section.size()), used, read));
    EXPECT_EQ(used, c.bytes);
    ASSERT_EQ(read == nullptr, c.set == nullptr) << "no SysEx reads as none";
    if (c.set) {
      EXPECT_EQ(WriteSyx(*read), WriteSyx(*c.set));
      EXPECT_EQ(Of(read->Request()), Of(c.set->Request()));
    } else {
      EXPECT_EQ(Bytes(section.begin(), section.begin() + 8), Bytes(8, 0));
    }
  }
}

Bytes U32(uint32_t v)
{
  return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
          static_cast<uint8_t>(v >> 24)};
}

TEST(SysExSection, MalformedSectionsAreRefusedWithoutReadingPastTheEnd)
{
  const Bytes m = Message({0x43}, 10);
  const Bytes whole = Concat({U32(0), U32(2), U32(10), m, U32(10), m});
  const struct
  {
    const char* what;
    Bytes section;
  } cases[] = {
      {"short of the counts", {0, 0, 0, 0, 0, 0, 0}},
      {"request past the end", Concat({U32(10), Bytes(m.begin(), m.end() - 1)})},
      {"request over the limit", Concat({U32(kMaxSysExBytes + 1), U32(0)})},
      {"request not a message", Concat({U32(3), {0xF0, 0x80, 0xF7}, U32(0)})},
      {"count without its messages", Concat({U32(0), U32(3), U32(10), m})},
      {"a huge count", Concat({U32(0), U32(0xFFFFFFFF)})},
      {"a size past the end", Concat({U32(0), U32(1), U32(11), m})},
      {"a size over the limit", Concat({U32(0), U32(1), U32(0x80000000u)})},
      {"a message not framed", Concat({U32(0), U32(1), U32(3), {0xF0, 0x01, 0x02}})},
      {"a list over the limit", Concat({U32(0), U32(2), U32(40000), Message({0x43}, 40000),
                                        U32(30000), Message({0x43}, 30000)})},
  };
  for (const auto& c : cases) {
    // Copied to memory of exactly its size: a read past it is caught by
    // the sanitizer builds.
    std::unique_ptr<uint8_t[]> exact(new uint8_t[c.section.size()]);
    std::memcpy(exact.get(), c.section.data(), c.section.size());
    int32_t used = -1;
    std::unique_ptr<const SysExSet> out;
    EXPECT_FALSE(ReadSysExSection(exact.get(), static_cast<int32_t>(c.section.size()), used, out))
        << c.what;
    EXPECT_EQ(used, -1) << c.what;
    EXPECT_EQ(out, nullptr) << c.what;
  }
  // Every cut of a good section is refused.
  for (size_t cut = 0; cut < whole.size(); ++cut) {
    int32_t used = -1;
    std::unique_ptr<const SysExSet> out;
    EXPECT_FALSE(ReadSysExSection(whole.data(), static_cast<int32_t>(cut), used, out)) << cut;
  }
}

// ------------------------------------------------------- don't-care bytes

TEST(SysExDontCare, MarksAreKeptAscendingOnceEachWithinTheirLimits)
{
  const struct
  {
    int32_t offset;
    SysExChange change;
  } cases[] = {
      {40, SysExChange::Appended},
      {3, SysExChange::Appended},
      {40, SysExChange::Replaced},
      {0, SysExChange::Invalid},
      {-1, SysExChange::Invalid},
      {kMaxDontCareOffset + 1, SysExChange::Invalid},
      {kMaxDontCareOffset, SysExChange::Appended},
  };
  SysExSet::Builder builder;
  for (const auto& c : cases)
    EXPECT_EQ(builder.MarkDontCare(c.offset), c.change) << c.offset;
  const auto set = builder.Build();
  ASSERT_EQ(set->DontCareCount(), 3);
  EXPECT_EQ(set->DontCare(0), 3);
  EXPECT_EQ(set->DontCare(1), 40);
  EXPECT_EQ(set->DontCare(2), kMaxDontCareOffset);
  EXPECT_TRUE(set->IsDontCare(40));
  EXPECT_FALSE(set->IsDontCare(41));
  EXPECT_FALSE(set->Empty()) << "marks alone are kept";

  SysExSet::Builder full(set.get());
  for (int32_t offset = 100; full.MarkDontCare(offset) == SysExChange::Appended; ++offset) {
  }
  const auto most = full.Build();
  EXPECT_EQ(most->DontCareCount(), kMaxDontCareBytes);
  EXPECT_EQ(SysExSet::Builder(most.get()).MarkDontCare(99), SysExChange::Full);
  // A .syx file replaces the messages, not the marks.
  SysExSet::Builder file;
  file.Append(View(Message({0x43}, 10)));
  EXPECT_EQ(ReplaceMessages(set.get(), *file.Build())->DontCareCount(), 3);
}

TEST(SysExDontCare, ASectionReadsBackAsItWasWritten)
{
  SysExSet::Builder builder;
  builder.Append(View(Message({0x43}, 300)));
  const auto plain = builder.Build();
  builder.MarkDontCare(258);
  builder.MarkDontCare(9);
  const auto marked = builder.Build();
  const struct
  {
    const SysExSet* set;
    Bytes section;
  } cases[] = {{marked.get(), {2, 9, 0, 2, 1}}, {plain.get(), {0}}, {nullptr, {0}}};
  for (const auto& c : cases) {
    ASSERT_EQ(DontCareSectionBytes(c.set), static_cast<int32_t>(c.section.size()));
    Bytes section(c.section.size() + 3, 0xEE);
    WriteDontCareSection(c.set, section.data());
    EXPECT_EQ(Bytes(section.begin(), section.begin() + static_cast<long>(c.section.size())),
              c.section);
    // Read onto the set as its SysEx section gives it: without marks.
    std::unique_ptr<const SysExSet> read = c.set ? SysExSet::Builder(plain.get()).Build() : nullptr;
    int32_t used = 0;
    ASSERT_TRUE(
        ReadDontCareSection(section.data(), static_cast<int32_t>(section.size()), used, read));
    EXPECT_EQ(used, static_cast<int32_t>(c.section.size()));
    ASSERT_EQ(read == nullptr, c.set == nullptr);
    if (read) {
      EXPECT_EQ(read->DontCareCount(), c.set->DontCareCount());
      EXPECT_EQ(WriteSyx(*read), WriteSyx(*c.set));
    }
  }
  // Marks without SysEx make a set of their own.
  std::unique_ptr<const SysExSet> alone;
  int32_t used = 0;
  const Bytes one = {1, 5, 0};
  ASSERT_TRUE(ReadDontCareSection(one.data(), 3, used, alone));
  ASSERT_NE(alone, nullptr);
  EXPECT_TRUE(alone->IsDontCare(5));
  EXPECT_EQ(alone->Count(), 0);
}

TEST(SysExDontCare, MalformedSectionsAreRefusedWithoutReadingPastTheEnd)
{
  const struct
  {
    const char* what;
    Bytes section;
  } cases[] = {
      {"nothing", {}},
      {"a count without its offsets", {2, 5, 0}},
      {"a count over the limit", Concat({{17}, Bytes(34, 1)})},
      {"offset 0", {1, 0, 0}},
      {"descending", {2, 9, 0, 5, 0}},
      {"twice", {2, 5, 0, 5, 0}},
  };
  for (const auto& c : cases) {
    std::unique_ptr<uint8_t[]> exact(new uint8_t[c.section.size() + 1]);
    if (!c.section.empty())
      std::memcpy(exact.get(), c.section.data(), c.section.size());
    int32_t used = -1;
    std::unique_ptr<const SysExSet> out;
    EXPECT_FALSE(
        ReadDontCareSection(exact.get(), static_cast<int32_t>(c.section.size()), used, out))
        << c.what;
    EXPECT_EQ(used, -1) << c.what;
    EXPECT_EQ(out, nullptr) << c.what;
  }
}

} // namespace
