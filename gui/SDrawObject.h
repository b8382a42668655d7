// vexo::gui::SDrawObject, STextObject and STextObjectX: small drawables that
// a tooltip keeps per line of tip text: a filled rectangle, optionally with
// a text (and its own font).
//
// Threads: built on the thread that sets a tip; drawn on the
// event-dispatching thread.
#pragma once

#include "support/data/datastring.h"
#include "support/math/geom.h"

namespace vexo::gui {

namespace context {
class SDrawing;
class SDrawFont;
} // namespace context

class SDrawObject
{
public:
  virtual ~SDrawObject() = default;

  // Fills the rectangle moved by the offset in the background colour,
  // restoring the context's background afterwards.
  virtual void Draw(context::SDrawing* drawing);

  vexo::math::geom::Rectangle<int, 2> rect;
  vexo::math::geom::Point<int, 2> offset;
  int background = 0;
  int secondColour = 0; // not read by drawing
};

class STextObject : public SDrawObject
{
public:
  // Draws the object, then the label in its text colour and alignment.
  void Draw(context::SDrawing* drawing) override;

  vexo::data::datastring<32, char> label;
  vexo::math::geom::Point<int, 2> labelOffset;
  int textColour = 0;
  int alignment = 0;
};

class STextObjectX : public STextObject
{
public:
  // Sets its own font before the text.
  void Draw(context::SDrawing* drawing) override;

  context::SDrawFont* font = nullptr; // not owned
};

} // namespace vexo::gui
