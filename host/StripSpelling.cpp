#include "host/StripSpelling.h"

#include <cstdlib>
#include <sstream>

namespace qhost::cli {

namespace {

using strips::MessageKind;

// A kind's fields as its table line gives them.
struct Range
{
  long low;
  long high;
};

constexpr Range kChannels{1, 16};

Range Numbers(const MessageKind& kind)
{
  return {0, static_cast<long>(kind.numbers) - 1};
}

// A wide kind's value is 14 bits (7 with the /7 option), a record kind's 7.
Range Values(const MessageKind& kind, bool sevenBit)
{
  return {0, sevenBit ? 127 : static_cast<long>(kind.values) - 1};
}

std::string Text(Range range)
{
  return std::to_string(range.low) + "-" + std::to_string(range.high);
}

std::string Form(const MessageKind& kind)
{
  std::string form = std::string(kind.word) + "/CH";
  if (strips::HasNumber(kind))
    form += "/NUM";
  if (strips::HasValue(kind))
    form += "/VAL";
  if (kind.options)
    form += "[/7][/null]";
  return form;
}

std::vector<std::string> Split(const std::string& text)
{
  std::vector<std::string> parts;
  std::stringstream stream(text);
  for (std::string part; std::getline(stream, part, '/');)
    parts.push_back(part);
  if (!text.empty() && text.back() == '/')
    parts.emplace_back();
  return parts;
}

// "the channel is 1 to 16, not 17", or "" when the field is in range.
std::string CheckField(const std::string& text, Range range, const std::string& name)
{
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (!text.empty() && *end == '\0' && value >= range.low && value <= range.high)
    return "";
  return name + " is " + std::to_string(range.low) + " to " + std::to_string(range.high) +
         ", not \"" + text + "\"";
}

std::string WhyNot(const std::string& text)
{
  const std::vector<std::string> parts = Split(text);
  const MessageKind* kind = nullptr;
  for (int32_t i = 0; i < strips::KindCount(); ++i) {
    if (!parts.empty() && parts[0] == strips::Kinds()[i].word)
      kind = &strips::Kinds()[i];
  }
  if (!kind)
    return "\"" + (parts.empty() ? text : parts[0]) + "\" is no message kind (" + KindWords() + ")";
  const size_t fields = 2 + (strips::HasNumber(*kind) ? 1 : 0) + (strips::HasValue(*kind) ? 1 : 0);
  const size_t most = fields + (kind->options ? 2 : 0);
  if (parts.size() < fields || parts.size() > most)
    return "a " + std::string(kind->word) + " message is " + Form(*kind);
  bool sevenBit = false;
  for (size_t i = fields; i < parts.size(); ++i) {
    if (parts[i] == "7")
      sevenBit = true;
    else if (parts[i] != "null")
      return "\"" + parts[i] + "\" after the value is neither 7 nor null";
  }
  const std::string word = std::string(kind->word) + ": ";
  std::string why = CheckField(parts[1], kChannels, word + "the channel");
  size_t field = 2;
  if (why.empty() && strips::HasNumber(*kind))
    why = CheckField(parts[field++], Numbers(*kind), word + "the number");
  if (why.empty() && strips::HasValue(*kind))
    why = CheckField(parts[field], Values(*kind, sevenBit),
                     word + "the value" + (sevenBit ? " (/7)" : ""));
  return why.empty() ? "a " + std::string(kind->word) + " message is " + Form(*kind) : why;
}

} // namespace

std::vector<std::string> KindSpellings()
{
  std::vector<std::string> lines;
  for (int32_t i = 0; i < strips::KindCount(); ++i) {
    const MessageKind& kind = strips::Kinds()[i];
    std::string line = Form(kind) + ": " + kind.name;
    if (strips::HasNumber(kind))
      line += ", NUM " + Text(Numbers(kind));
    if (strips::HasValue(kind))
      line += ", VAL " + Text(Values(kind, false));
    if (kind.options)
      line +=
          " (/7: VAL 7 bits, " + Text(Values(kind, true)) + "; /null: the null parameter after)";
    lines.push_back(line);
  }
  lines.emplace_back("off: no message");
  lines.emplace_back("(CH, the channel, is " + Text(kChannels) + ")");
  return lines;
}

std::string KindWords()
{
  std::string words;
  for (int32_t i = 0; i < strips::KindCount(); ++i)
    words += std::string(strips::Kinds()[i].word) + (i + 1 < strips::KindCount() ? ", " : "");
  return words + " or off";
}

std::string WideKindNames()
{
  std::vector<std::string> names;
  for (int32_t i = 0; i < strips::KindCount(); ++i) {
    if (strips::Kinds()[i].wide)
      names.emplace_back(strips::Kinds()[i].name);
  }
  std::string text;
  for (size_t i = 0; i < names.size(); ++i)
    text += (i == 0 ? "" : i + 1 == names.size() ? " and " : ", ") + names[i];
  return text;
}

bool ParseStripMessage(const std::string& text, strips::Message& out, std::string& why)
{
  if (strips::Parse(text.c_str(), out))
    return true;
  why = WhyNot(text);
  return false;
}

} // namespace qhost::cli
