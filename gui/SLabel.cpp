#include "gui/SLabel.h"

#include "gui/SStaticData.h"
#include "gui/XDisplay.h"
#include "gui/context/SDrawFont.h"
#include "gui/context/SDrawPen.h"
#include "gui/context/SDrawing.h"
#include "gui/context/SInput.h"

#include <X11/Xlib.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace vexo::gui {

SLabel<false>::SLabel(SGlobals* globals_, SControl* parent_, unsigned id_, const char* title,
                      int style_, int x, int y, int width, int height, unsigned long nativeParent_,
                      bool unused)
    : SWindow(globals_, parent_, id_, title, style_, x, y, width, height, nativeParent_, unused)
{
}

SLabel<false>::~SLabel()
{
  // No handler of another thread may still read the lines once they go.
  CleanUp();
}

const Label& SLabel<false>::GetLabel()
{
  return label;
}

void SLabel<false>::SetAlignment(int flags)
{
  alignment = flags;
}

void SLabel<false>::SetLabelOffset(const Point& offset)
{
  labelOffset = offset;
}

void SLabel<false>::SetLabelRounding(int radius)
{
  labelRounding = radius;
}

void SLabel<false>::SetLabelColours(int enabled, int disabled)
{
  labelColour = enabled;
  labelColourDisabled = disabled;
}

int SLabel<false>::GetLabelColour()
{
  return Enabled() ? labelColour : labelColourDisabled;
}

void SLabel<false>::Highlight(bool on, int colour, int, int)
{
  highlightColour = colour;
  if (on != highlighted) {
    highlighted = on;
    RefreshOutlines();
  }
}

void SLabel<false>::SetSize(int width, int height)
{
  SWindow::SetSize(width, height);
  RedrawLabel();
}

void SLabel<false>::SetLabel(const char* text, context::SDrawFont* font_, int alignment_)
{
  font = font_;
  alignment = alignment_;
  SetLabel(text);
}

void SLabel<false>::SetLabel(const Label& text, context::SDrawFont* font_, int alignment_)
{
  SetLabel(text.Text(), font_, alignment_);
}

void SLabel<false>::SetLabel(const Label& text)
{
  SetLabel(text.Text());
}

bool SLabel<false>::MeasureLines(const context::SDrawFont* font, const char* text, int32_t& width,
                                 int32_t& height)
{
  if (!font || !text)
    return false;
  int widest = 0;
  int sum = 0;
  int previous = 0; // height of the line before, 0 before the first
  const char* start = text;
  for (;;) {
    const char* end = std::strchr(start, '\n');
    const size_t length = end ? static_cast<size_t>(end - start) : std::strlen(start);
    // The text after a final line feed is no line of its own.
    if (!end && length == 0 && start != text)
      break;
    int lineHeight = 0;
    if (length > 0) {
      const std::string line(start, length);
      int w = 0, ascent = 0, descent = 0;
      font->TextExtents(line.c_str(), w, ascent, descent);
      widest = std::max(widest, w);
      lineHeight = ascent + descent;
    } else if (previous >= 1) {
      lineHeight = previous;
    } else {
      int w = 0, ascent = 0, descent = 0;
      font->TextExtents("W", w, ascent, descent);
      lineHeight = ascent + descent;
    }
    sum += lineHeight;
    previous = lineHeight;
    if (!end)
      break;
    start = end + 1;
  }
  width = widest;
  height = sum;
  return true;
}

std::vector<Rect> SLabel<false>::LayOutLines(int align, int W, int H, int32_t tw, int32_t th,
                                             size_t n)
{
  // Halving is an arithmetic shift, so a block larger than the control
  // moves toward minus infinity.
  int left = 0;
  int top = 0;
  if (align & kLabelRight) {
    left = W - tw;
    top = H - th;
  } else if (!(align & kLabelLeft)) {
    left = (W - tw) >> 1;
    top = (H - th) >> 1;
  }
  if (align & kLabelTop)
    top = 0;
  else if (!(align & kLabelBottom))
    top = (H - th) >> 1;
  // With the bottom flag alone the block keeps the place the horizontal
  // flags gave it.
  const Rect block{left, top, left + tw, top + th};
  std::vector<Rect> rects;
  if (n == 0)
    return rects;
  if (n == 1) {
    rects.push_back(block);
    return rects;
  }
  const int count = static_cast<int>(n);
  const int step = block.Height() / count;
  for (int k = 0; k < count - 1; ++k)
    rects.push_back(
        Rect{block.left, block.top + k * step, block.right, block.top + (k + 1) * step});
  rects.push_back(Rect{block.left, block.top + (count - 1) * step, block.right, block.bottom});
  return rects;
}

void SLabel<false>::SetLabel(const char* text)
{
  if (!font)
    return;
  const std::string copy(text ? text : ""); // text may be our own label
  label.Clear(false);
  label.Append(copy.c_str());
  const bool multiLine = !copy.empty() && copy.find('\n') != std::string::npos;
  lines.clear();
  lineRects.clear();
  const Rect client = ClientRect();
  if (!multiLine) {
    lines.push_back(label);
    lineRects.push_back(Rect{0, 0, client.right, client.bottom});
    return;
  }
  MeasureLines(font, label.Text(), textWidth, textHeight);
  label.Tokenize(lines, "\n\t\r");
  lineRects =
      LayOutLines(alignment, client.right, client.bottom, textWidth, textHeight, lines.size());
}

void SLabel<false>::RedrawLabel()
{
  if (!font || lines.empty())
    return;
  const Rect client = ClientRect();
  if (lines.size() == 1) {
    lineRects.assign(1, Rect{0, 0, client.right, client.bottom});
    return;
  }
  lineRects =
      LayOutLines(alignment, client.right, client.bottom, textWidth, textHeight, lines.size());
}

void SLabel<false>::FillRoundedBackground(const Rect& r)
{
  const int colour = drawing->GetBackgroundColour();
  drawing->SetPen(statdata.FindPen(colour));
  drawing->SetBrush(statdata.FindBrush(colour));
  drawing->FillRoundedRect(r, labelRounding, labelRounding);
}

void SLabel<false>::Outline(const Rect& r, int colour)
{
  drawing->SetPen(statdata.FindPen(colour));
  if (style & kStyleRounded)
    drawing->DrawRoundedRect(r, labelRounding, labelRounding);
  else
    drawing->DrawRect(r);
}

void SLabel<false>::Draw(const Rect&)
{
  if (!drawing)
    return;
  const Rect client = ClientRect();
  const Rect whole{0, 0, client.right, client.bottom};
  if (!(style & kStyleRounded)) {
    SWindow::Draw(whole);
    DrawLabel();
    return;
  }
  drawing->DrawBackground(whole, true);
  FillRoundedBackground(whole);
  DrawLabel();
  DrawOutlines(whole);
}

void SLabel<false>::DrawOutlines(const Rect& rect)
{
  if (!drawing)
    return;
  int colour = 0;
  if (highlighted)
    colour = highlightColour;
  else if (!(style & kStyleFrame))
    return;
  else
    colour = drawing->GetFrameColour(Enabled(), false);
  Outline(rect, colour);
}

void SLabel<false>::DrawLabel()
{
  if (!drawing || !font || lines.empty())
    return;
  drawing->SetFont(font);
  const int colour = GetLabelColour();
  drawing->SetTextColour(colour, false);
  drawing->SetPen(statdata.FindPen(colour));
  const size_t n = std::min(lines.size(), lineRects.size());
  for (size_t i = 0; i < n; ++i)
    drawing->DrawLabel(lines[i], lineRects[i], alignment, labelOffset);
}

void SLabel<false>::MouseStateChanged(bool* flags, int code)
{
  SWindow::MouseStateChanged(flags, code);
  int button = 0;
  switch (code) {
  case context::kMouseLeftDown:
  case context::kMouseLeftDouble:
    button = 1;
    break;
  case context::kMouseRightDown:
  case context::kMouseRightDouble:
    button = 3;
    break;
  case context::kMouseMiddleDown:
  case context::kMouseMiddleDouble:
    button = 2;
    break;
  default:
    return;
  }
  SendEvent(kEventValue, kPayloadValue, button, 0.0f, nullptr, this, nullptr);
}

bool SLabel<false>::PointerInClient(Point& client, Point* screen) const
{
  Display* display = ActiveDisplay();
  int rootX = 0, rootY = 0, x = 0, y = 0;
  Window child = 0;
  if (!window || !PointerOnRoot(display, rootX, rootY))
    return false;
  if (screen)
    *screen = Point{rootX, rootY};
  if (!XTranslateCoordinates(display, DefaultRootWindow(display), window, rootX, rootY, &x, &y,
                             &child))
    return false;
  client = Point{x, y};
  return true;
}

} // namespace vexo::gui
