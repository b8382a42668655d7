#include "gui/SToolTip.h"

#include "gui/SDrawObject.h"
#include "gui/SGlobals.h"
#include "gui/SStaticData.h"
#include "gui/SWindow.h"
#include "gui/XDisplay.h"
#include "gui/context/SColour.h"
#include "gui/context/SDrawFont.h"
#include "gui/context/SDrawing.h"
#include "gui/context/SInput.h"

#include <X11/Xlib.h>

#include <algorithm>
#include <cstring>

namespace vexo::gui {

using context::SDrawFont;
using context::SDrawing;

namespace {

// The tooltip's window lies in the root window whatever its owner, and
// selects only exposure, structure and focus events.
constexpr int kTooltipStyle = kStyleDialog | kStyleInRoot;
constexpr int kCornerRadius = 7;

Label TipName(const SWindow* owner)
{
  // "<owner> (Tooltip)", at most 64 characters.
  return Label(66, "%s (Tooltip)", owner ? owner->label.Text() : "");
}

SGlobals* GlobalsOf(const SWindow* owner)
{
  return owner ? owner->globals : nullptr;
}

unsigned IdFor(const SWindow* owner)
{
  SGlobals* globals = GlobalsOf(owner);
  return globals ? static_cast<unsigned>(globals->NextId()) : 0u;
}

// Opening or closing a tip is not interleaved with a drawing of another
// thread.
using DisplayLock = SDisplayLock;

int Colour(unsigned long pixel)
{
  return static_cast<int>(pixel);
}

} // namespace

SToolTip::SToolTip(SWindow* owner_, bool)
    : SControl(GlobalsOf(owner_), owner_, IdFor(owner_), TipName(owner_).Text(), kTooltipStyle, 100,
               100, 200, 32, owner_ ? owner_->window : 0),
      owner(owner_)
{
  const unsigned long white = SCOL(255, 255, 255);
  const unsigned long black = SCOL(0, 0, 0);
  SetColours(Colour(white), Colour(white), Colour(white), Colour(black), Colour(black),
             Colour(white), Colour(white));
  textColours[0] = black;
  textColours[1] = 0;
  titleColour = SCOL(255, 0, 0);
  arrowColour = SCOL(255, 128, 0);
  normalFont = new SDrawFont(10, false, false, false, nullptr);
  boldFont = new SDrawFont(10, true, false, false, nullptr);
  indicatorColour = static_cast<unsigned long>(statdata.Colour(kTipsOffColourIndex));
  if (owner)
    owner->Add(this);
}

SToolTip::~SToolTip()
{
  // First make sure no event of another thread is still drawing the tip.
  destroying = true;
  CleanUp();
  shown = false;
  {
    std::lock_guard<std::mutex> hold(registeredLock);
    for (SControl* control : registered)
      if (control->tooltip && control->tooltip->tooltip == this)
        control->tooltip->tooltip = nullptr;
    registered.clear();
  }
  {
    std::lock_guard<std::mutex> hold(dataLock);
    current = nullptr;
  }
  delete normalFont;
  normalFont = nullptr;
  delete boldFont;
  boldFont = nullptr;
}

void SToolTip::Open(SToolTipData* data, const Point& at)
{
  if (!data)
    return;
  DisplayLock hold;
  Close();
  {
    std::lock_guard<std::mutex> holdData(dataLock);
    current = data;
  }
  SizeFor(data);
  SetPosition(at.x, at.y);
  // The shown state bit may still carry a map notification of a tip that
  // another thread has closed since; clear it so that Show maps the window.
  Hide();
  Show();
  shown = true;
}

void SToolTip::Close()
{
  DisplayLock hold;
  if (shown.exchange(false))
    Hide();
}

int SToolTip::SetData(SToolTipData* data)
{
  if (!data)
    return 0;
  DisplayLock hold;
  {
    std::lock_guard<std::mutex> holdData(dataLock);
    current = data;
  }
  SizeFor(data);
  Refresh();
  return 1;
}

void SToolTip::SizeFor(SToolTipData* data)
{
  SetSize(data->bounds.Width() + kMarginWidth, data->bounds.Height() + kMarginHeight);
  if (rounded)
    SetRoundShape(true);
}

SToolTipData* SToolTip::CurrentData() const
{
  return current.load();
}

void SToolTip::Forget(SToolTipData* data)
{
  bool wasCurrent = false;
  {
    // Waits for a drawing that is reading the data right now.
    std::lock_guard<std::mutex> hold(dataLock);
    SToolTipData* expected = data;
    wasCurrent = current.compare_exchange_strong(expected, nullptr);
  }
  if (wasCurrent)
    Close();
}

void SToolTip::MouseStateChanged(bool* flags, int code)
{
  SControl::MouseStateChanged(flags, code);
  if (code == context::kMouseLeft || !flags || !flags[context::kMouseOver])
    Close();
}

void SToolTip::EnableTooltips(bool on)
{
  {
    std::lock_guard<std::mutex> hold(registeredLock);
    SwitchLocked(on);
  }
  // A tip left open when tips go off would never see its Leave.
  if (!on)
    Close();
}

void SToolTip::ToggleTooltips()
{
  bool on = false;
  {
    std::lock_guard<std::mutex> hold(registeredLock);
    on = !enabled.load();
    SwitchLocked(on);
  }
  if (!on)
    Close();
}

void SToolTip::SwitchLocked(bool on)
{
  enabled = on;
  for (SControl* control : registered)
    control->EnableTooltip(on);
  indicatorColour =
      static_cast<unsigned long>(statdata.Colour(on ? kTipsOnColourIndex : kTipsOffColourIndex));
}

void SToolTip::DrawTiprect(SDrawing* target)
{
  if (!target)
    return;
  const int colour = Colour(indicatorColour.load());
  target->SetPen(statdata.FindPen(colour));
  target->SetBrush(statdata.FindBrush(colour));
  target->FillRect(indicatorRect);
}

void SToolTip::Register(SControl* control)
{
  if (!control || control == this)
    return;
  std::lock_guard<std::mutex> hold(registeredLock);
  if (std::find(registered.begin(), registered.end(), control) != registered.end())
    return;
  registered.push_back(control);
  // A control that joins later follows the switch as it stands.
  control->EnableTooltip(enabled.load());
}

void SToolTip::Unregister(SControl* control)
{
  std::lock_guard<std::mutex> hold(registeredLock);
  auto it = std::find(registered.begin(), registered.end(), control);
  if (it != registered.end())
    registered.erase(it);
}

bool SToolTip::IsRegistered(const SControl* control) const
{
  std::lock_guard<std::mutex> hold(registeredLock);
  return std::find(registered.begin(), registered.end(), control) != registered.end();
}

size_t SToolTip::RegisteredCount() const
{
  std::lock_guard<std::mutex> hold(registeredLock);
  return registered.size();
}

void SToolTip::Draw(const Rect&)
{
  if (!drawing)
    return;
  const Rect client = ClientRect();
  const int w = client.Width();
  const int h = client.Height();
  const int background = drawing->GetBackgroundColour();
  const int border = statdata.Colour(kTipBorderColourIndex);
  if (rounded) {
    drawing->SetPen(statdata.FindPen(background));
    drawing->SetBrush(statdata.FindBrush(background));
    drawing->FillRoundedRect(0, 0, w, h, kCornerRadius, kCornerRadius);
    drawing->SetPen(statdata.FindPen(border));
    drawing->DrawRoundedRect(0, 0, w, h, kCornerRadius, kCornerRadius);
  } else {
    drawing->DrawBackground(client, false);
    drawing->SetPen(statdata.FindPen(border));
    drawing->DrawRect(client);
  }
  int side = kTipAbove;
  {
    std::lock_guard<std::mutex> hold(dataLock);
    if (SToolTipData* data = current.load()) {
      for (size_t i = 0; i < data->ObjectCount(); ++i)
        data->Object(i)->Draw(drawing);
      side = data->side;
    }
  }
  DrawArrow(drawing, side, w, h);
}

void SToolTip::DrawArrow(SDrawing* target, int side, int w, int h)
{
  // The edge that faces the control: the tip above it points down from its
  // bottom edge, and so on round; a flipped tip faces the other way.
  int edge = side < 0 ? kTipAbove : side;
  if (edge > kTipLeft)
    edge = kTipLeft;
  else if (flipped.load())
    edge = (edge + 2) % 4;
  const int cx = w / 2;
  const int cy = h / 2;
  Point points[4];
  switch (edge) {
  case kTipAbove: // bottom edge, pointing down
    points[0] = Point{cx, h - 1};
    points[1] = Point{cx + 3, h - 5};
    points[2] = Point{cx - 3, h - 5};
    break;
  case kTipRight: // left edge, pointing left
    points[0] = Point{1, cy};
    points[1] = Point{5, cy - 3};
    points[2] = Point{5, cy + 3};
    break;
  case kTipBelow: // top edge, pointing up
    points[0] = Point{cx, 1};
    points[1] = Point{cx + 3, 5};
    points[2] = Point{cx - 3, 5};
    break;
  default: // right edge, pointing right
    points[0] = Point{w - 1, cy};
    points[1] = Point{w - 5, cy - 3};
    points[2] = Point{w - 5, cy + 3};
    break;
  }
  points[3] = points[0];
  const int colour = Colour(arrowColour);
  target->SetPen(statdata.FindPen(colour));
  target->SetBrush(statdata.FindBrush(colour));
  target->FillPoly(points, 4);
}

// SToolTipData

SToolTipData::SToolTipData(SToolTip* tooltip_, SControl* control_, int side_)
    : tooltip(tooltip_), control(control_), side(side_)
{
}

SToolTipData::~SToolTipData()
{
  if (tooltip)
    tooltip->Forget(this);
  ClearObjects();
}

void SToolTipData::ClearObjects()
{
  objects.clear();
  bounds = Rect{};
}

SDrawObject* SToolTipData::Object(size_t index) const
{
  return index < objects.size() ? objects[index].get() : nullptr;
}

namespace {

bool IsBreak(char c)
{
  return c == '\n' || c == '\t' || c == '\r';
}

// The text cut at every break; a break at the very end starts no new line.
std::vector<Label> SplitLines(const char* text)
{
  std::vector<Label> lines;
  Label line;
  const char* p = text;
  for (; *p; ++p) {
    if (IsBreak(*p)) {
      lines.push_back(line);
      line.Clear(false);
    } else {
      line.Append(*p);
    }
  }
  if (!line.Empty() || lines.empty())
    lines.push_back(line);
  return lines;
}

// Width and height (font ascent + descent) of one line.
void Measure(const SDrawFont* font, const char* text, int& width, int& height)
{
  width = height = 0;
  if (!font)
    return;
  int ascent = 0;
  int descent = 0;
  font->TextExtents(text, width, ascent, descent);
  height = ascent + descent;
}

} // namespace

void SToolTipData::AddLabel(const char* text)
{
  if (!text)
    text = "";
  lines.clear();
  lineRects.clear();
  // A new text replaces the lines laid out before.
  ClearObjects();

  const SDrawFont* font = tooltip ? tooltip->normalFont : nullptr;
  const bool hasBreak = std::any_of(text, text + std::strlen(text), IsBreak);
  lines = SplitLines(text);
  int textWidth = 0;
  int textHeight = 0;
  if (!hasBreak) {
    if (*text)
      Measure(font, text, textWidth, textHeight);
  } else {
    int previous = -1;
    for (const Label& line : lines) {
      int w = 0;
      int h = 0;
      if (line.Empty()) {
        // An empty line is as high as the one before it (or as a "W").
        if (previous >= 0)
          h = previous;
        else
          Measure(font, "W", w, h);
        w = 0;
      } else {
        Measure(font, line.Text(), w, h);
      }
      textWidth = std::max(textWidth, w);
      textHeight += h;
      previous = h;
    }
  }
  const int innerHeight = textHeight + 4;
  width = textWidth + SToolTip::kMarginWidth;
  height = textHeight + 20;

  // The block is centred, and kept away from the arrow on a side tip.
  int x = (width - textWidth) / 2;
  if (side == kTipRight)
    x += 4;
  else if (side == kTipLeft)
    x -= 4;
  const int y = (height - innerHeight - 4) / 2;

  const int count = static_cast<int>(lines.size());
  const int band = innerHeight / count;
  for (int i = 0; i < count; ++i) {
    const Rect rect = count == 1 ? Rect{x, y, x + textWidth, y + innerHeight}
                                 : Rect{x, y + i * band, x + textWidth, y + (i + 1) * band};
    lineRects.push_back(rect);
    auto* object = new STextObjectX();
    object->rect = rect;
    object->label = lines[static_cast<size_t>(i)];
    if (tooltip) {
      object->background = tooltip->GetBackgroundColour();
      object->secondColour = tooltip->GetForegroundColour();
      object->textColour = static_cast<int>(tooltip->textColours[0]);
      object->font = tooltip->normalFont;
      if (i == 0 && tooltip->titleColouring)
        object->textColour = static_cast<int>(tooltip->titleColour);
      if (i == 1 && tooltip->boldSecondLine)
        object->font = tooltip->boldFont;
    }
    objects.emplace_back(object);
  }
  Calculate();
}

void SToolTipData::AddLabel(const Label& text)
{
  AddLabel(text.Text());
}

void SToolTipData::AddText(const char* text, const Rect& rect)
{
  auto* object = new STextObjectX();
  object->rect = rect;
  object->label = Label(text ? text : "");
  if (tooltip) {
    object->background = tooltip->GetBackgroundColour();
    object->secondColour = tooltip->GetForegroundColour();
    object->textColour = static_cast<int>(tooltip->textColours[0]);
    object->font = tooltip->normalFont;
  }
  AddObject(object);
}

void SToolTipData::AddObject(SDrawObject* object)
{
  if (!object)
    return;
  objects.emplace_back(object);
  Calculate();
}

void SToolTipData::Calculate()
{
  if (objects.empty())
    return;
  Rect box = objects.front()->rect;
  for (const auto& object : objects) {
    box.left = std::min(box.left, object->rect.left);
    box.top = std::min(box.top, object->rect.top);
    box.right = std::max(box.right, object->rect.right);
    box.bottom = std::max(box.bottom, object->rect.bottom);
  }
  if (box.Width() > bounds.Width()) {
    for (const auto& object : objects) {
      object->rect.left = box.left;
      object->rect.right = box.right;
    }
  }
  bounds = box;
}

void SToolTipData::SetOffset(const Point& point, bool)
{
  if (tooltip && tooltip->Flipped())
    flipOffset = point;
  else
    offset = point;
}

Point SToolTipData::GetOffset() const
{
  return (tooltip && tooltip->Flipped()) ? flipOffset : offset;
}

void SToolTipData::Close()
{
  if (tooltip)
    tooltip->Close();
}

} // namespace vexo::gui
