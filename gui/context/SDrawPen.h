// vexo::gui::context::SDrawPen and SDrawBrush: a line colour with width and
// dash, and a fill colour. The shared ones live in the caches of statdata.
//
// Threads: plain values, read by whichever thread draws.
#pragma once

namespace vexo::gui::context {

class SDrawBitmap;

class SDrawPen
{
public:
  SDrawPen(unsigned long colour_, int width_ = 1, bool dashed_ = false)
      : width(width_), dashed(dashed_), colour(colour_)
  {
  }
  virtual ~SDrawPen() = default;

  int width;
  bool dashed;
  unsigned long colour;
};

class SDrawBrush
{
public:
  // style -1 paints in `colour`, any other style in `secondColour`.
  SDrawBrush(unsigned long colour_, int style_ = -1, SDrawBitmap* bitmap_ = nullptr)
      : bitmap(bitmap_), style(style_), colour(colour_)
  {
  }
  virtual ~SDrawBrush() = default;

  // The colour the brush paints in.
  unsigned long PaintColour() const { return style == -1 ? colour : secondColour; }

  SDrawBitmap* bitmap;
  int style;
  unsigned long colour;
  unsigned long secondColour = 0;
};

} // namespace vexo::gui::context
