// vexo::gui::context::SDrawFont: an X core font chosen by size, weight and
// slant through a name pattern, with fallbacks for the larger sizes.
//
// Threads: loaded on the thread that builds a widget (or at the first lookup
// in the font cache); measured and used on the drawing threads. Immutable
// after construction.
#pragma once

#include "support/data/datastring.h"

#include <string>
#include <vector>

struct _XDisplay;

namespace vexo::gui::context {

class SDrawFont
{
public:
  // size: requested size; the pixel size in the name is size + size / 4.
  // family: e.g. "adobe-courier"; null picks by size (fixed or Helvetica).
  SDrawFont(int size, bool bold, bool italic, bool unused, const char* family);
  virtual ~SDrawFont();
  SDrawFont(const SDrawFont&) = delete;
  SDrawFont& operator=(const SDrawFont&) = delete;

  // The patterns tried, in order, for these arguments (the last one is the
  // fallback where there is one).
  static std::vector<std::string> Patterns(int size, bool bold, bool italic, const char* family);

  // True when the font was loaded with its information.
  bool Loaded() const { return info != nullptr; }
  // The X font id, 0 when nothing was loaded.
  unsigned long Id() const { return fontId; }
  int Ascent() const;
  int Descent() const;
  // Width of the text in pixels; 0 without font or text.
  int TextWidth(const char* text) const;
  // Overall width and the font's ascent and descent for the text.
  void TextExtents(const char* text, int& width, int& ascent, int& descent) const;
  // The XFontStruct, for callers that need more than the above.
  void* Info() const { return info; }

  int size;
  vexo::data::datastring<32, char> name; // the last pattern tried
  bool bold;
  bool italic;

private:
  bool Load(const char* pattern);

  _XDisplay* display = nullptr;
  unsigned long fontId = 0;
  void* info = nullptr; // XFontStruct*
};

} // namespace vexo::gui::context
