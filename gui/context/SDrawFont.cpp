#include "gui/context/SDrawFont.h"

#include "gui/XDisplay.h"

#include <X11/Xlib.h>

#include <cstring>

namespace vexo::gui::context {

namespace {

constexpr const char* kTail = "-*-*-*-*-*-iso8859-1";
constexpr const char* kLastResort = "-adobe-helvetica-bold-r-normal--34-*-*-*-*-*-iso8859-1";

XFontStruct* Font(void* info)
{
  return static_cast<XFontStruct*>(info);
}

} // namespace

std::vector<std::string> SDrawFont::Patterns(int size, bool bold, bool italic, const char* family)
{
  const int n = size + size / 4;
  std::vector<std::string> patterns;
  if (family) {
    patterns.push_back(std::string("-") + family + "-" + (bold ? "bold-" : "medium-") +
                       (italic ? "i-" : "r-") + (bold ? "bold" : "normal") + "--" +
                       std::to_string(n) + kTail);
  } else if (n < 8) {
    patterns.push_back("-misc-fixed-medium-r-*--" + std::to_string(n) + kTail);
  } else if (n < 13) {
    patterns.push_back(std::string(bold ? "-adobe-helvetica-bold" : "-adobe-helvetica-medium") +
                       (italic ? "-o-*--" : "-r-*--") + std::to_string(n) + kTail);
  } else {
    // Italic is not asked for at these sizes.
    for (int pixels = n + 4; pixels >= 13; --pixels)
      patterns.push_back(std::string("-adobe-helvetica-") + (bold ? "bold" : "medium") +
                         "-r-normal--" + std::to_string(pixels) + kTail);
    patterns.push_back(kLastResort);
  }
  return patterns;
}

SDrawFont::SDrawFont(int size_, bool bold_, bool italic_, bool, const char* family)
    : size(size_), bold(bold_), italic(italic_)
{
  display = ActiveDisplay();
  for (const std::string& pattern : Patterns(size, bold, italic, family)) {
    name.Clear(false);
    name.Append(pattern.c_str());
    if (Load(pattern.c_str()))
      break;
  }
}

SDrawFont::~SDrawFont()
{
  if (display && info)
    XFreeFont(display, Font(info));
}

bool SDrawFont::Load(const char* pattern)
{
  if (!display)
    return false;
  XFontStruct* loaded = XLoadQueryFont(display, pattern);
  if (!loaded)
    return false;
  info = loaded;
  fontId = loaded->fid;
  return true;
}

int SDrawFont::Ascent() const
{
  return info ? Font(info)->ascent : 0;
}

int SDrawFont::Descent() const
{
  return info ? Font(info)->descent : 0;
}

int SDrawFont::TextWidth(const char* text) const
{
  if (!info || !text)
    return 0;
  return XTextWidth(Font(info), text, static_cast<int>(std::strlen(text)));
}

void SDrawFont::TextExtents(const char* text, int& width, int& ascent, int& descent) const
{
  width = ascent = descent = 0;
  if (!info)
    return;
  int direction = 0;
  XCharStruct overall{};
  XTextExtents(Font(info), text ? text : "", text ? static_cast<int>(std::strlen(text)) : 0,
               &direction, &ascent, &descent, &overall);
  width = overall.width;
}

} // namespace vexo::gui::context
