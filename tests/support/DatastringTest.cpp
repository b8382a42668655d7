#include "support/data/datastring.h"

#include <gtest/gtest.h>

#include <string>

using vexo::data::datastring;

TEST(Datastring, GrowsInWholeStepsOfItsSize)
{
  datastring<32, char> text;
  EXPECT_EQ(text.Capacity(), 32);
  EXPECT_EQ(text.Length(), 1);
  text.Append(std::string(31, 'x').c_str());
  EXPECT_EQ(text.Capacity(), 32);
  EXPECT_EQ(text.Length(), 32);
  text.Append('y');
  EXPECT_EQ(text.Capacity(), 64);
  EXPECT_EQ(std::string(text.Text()), std::string(31, 'x') + "y");

  datastring<8, char> small;
  small.Append("1234567");
  EXPECT_EQ(small.Capacity(), 8);
  small.Append('8');
  EXPECT_EQ(small.Capacity(), 16);
  EXPECT_STREQ(small.Text(), "12345678");
}

TEST(Datastring, AppendIgnoresNullTextAndTerminator)
{
  datastring<32, char> text;
  text.Append(static_cast<const char*>(nullptr));
  text.Append('\0');
  EXPECT_EQ(text.Length(), 1);
  EXPECT_STREQ(text.Text(), "");
}

TEST(Datastring, FormattedAppendKeepsAtMostSizeMinusTwoCharacters)
{
  datastring<32, char> number;
  number.Append(32, "%i", -1234567890);
  EXPECT_STREQ(number.Text(), "-1234567890");

  datastring<32, char> cut;
  cut.Append(4, "%s", "abcdef");
  EXPECT_STREQ(cut.Text(), "ab");

  datastring<32, char> constructed(8, "%s-%d", "long text", 42);
  EXPECT_STREQ(constructed.Text(), "long t");
  EXPECT_EQ(constructed.Capacity(), 32);

  datastring<32, char> wide(100, "%s", "x");
  EXPECT_EQ(wide.Capacity(), 128);
}

TEST(Datastring, ClearShrinksOnlyWhenAsked)
{
  datastring<32, char> text;
  text.Append(std::string(80, 'a').c_str());
  EXPECT_EQ(text.Capacity(), 96);
  text.Clear(false);
  EXPECT_EQ(text.Capacity(), 96);
  EXPECT_STREQ(text.Text(), "");
  text.Append(std::string(80, 'a').c_str());
  text.Clear(true);
  EXPECT_EQ(text.Capacity(), 32);
  EXPECT_EQ(text.Length(), 1);
}

TEST(Datastring, InitializeRoundsUpToTheStep)
{
  datastring<32, char> text;
  text.Append("old");
  text.Initialize(70);
  EXPECT_EQ(text.Capacity(), 96);
  EXPECT_STREQ(text.Text(), "");
  text.Initialize(5);
  EXPECT_EQ(text.Capacity(), 32);
}

TEST(Datastring, TokenizeFollowsTheCTokenizerRules)
{
  datastring<32, char> text;
  text.Append(",a,,b,");
  std::vector<datastring<32, char>> tokens;
  EXPECT_EQ(text.Tokenize(tokens, ","), 2);
  ASSERT_EQ(tokens.size(), 2u);
  EXPECT_STREQ(tokens[0].Text(), "a");
  EXPECT_STREQ(tokens[1].Text(), "b");
  EXPECT_STREQ(text.Text(), ",a,,b,");

  datastring<32, char> lines;
  lines.Append("one\n\nthree");
  std::vector<datastring<32, char>> parts;
  EXPECT_EQ(lines.Tokenize(parts, "\n"), 2);
}

TEST(Datastring, CopiesAreIndependent)
{
  datastring<32, char> original;
  original.Append(std::string(40, 'q').c_str());
  datastring<32, char> copy(original);
  EXPECT_EQ(copy.Capacity(), 64);
  copy.Append('z');
  EXPECT_EQ(original.Length(), 41);
  EXPECT_EQ(copy.Length(), 42);
  datastring<32, char> assigned;
  assigned = original;
  EXPECT_STREQ(assigned.Text(), original.Text());
}
