// vexo::gui::SIHoverable: the hover mix-in of buttons and dials: two outline
// colours and whether the pointer is over the control. What the two colours
// mean is the widget's choice (the button draws A while off and B while on,
// the dial A while not hovered and B while hovered).
//
// Threads: like the widget that mixes it in (set while building the widget,
// read and written on the event-dispatching thread).
#pragma once

namespace vexo::gui {

class SIHoverable
{
public:
  virtual ~SIHoverable() = default;

  // hoverColourA = a, hoverColourB = b.
  virtual void SetHoverColours(int a, int b)
  {
    hoverColourA = a;
    hoverColourB = b;
  }

  int hoverColourB = 0;
  int hoverColourA = 0;
  bool hovering = false;
};

} // namespace vexo::gui
