#include "gui/SStaticData.h"

#include "gui/context/SColour.h"
#include "gui/context/SDrawFont.h"
#include "gui/context/SDrawPen.h"

namespace vexo::gui::context {

SPenListOwned::~SPenListOwned()
{
  for (SDrawPen* pen : items)
    delete pen;
}

SBrushListOwned::~SBrushListOwned()
{
  for (SDrawBrush* brush : items)
    delete brush;
}

SFontListOwned::~SFontListOwned()
{
  for (SDrawFont* font : items)
    delete font;
}

} // namespace vexo::gui::context

using namespace vexo::gui::context;

SStaticData::SStaticData() = default;

// Members go in reverse order: fonts, brushes, pens.
SStaticData::~SStaticData() = default;

void SStaticData::AddColour(int r, int g, int b)
{
  if (count >= capacity)
    return;
  colours[writePosition] = vexo::gui::SCOL(r, g, b);
  ++count;
  if (++writePosition == capacity)
    writePosition = start;
}

const unsigned char SStaticData::kTable[kColourCapacity][3] = {
    {255, 255, 255}, {255, 255, 0},   {255, 128, 0},   {128, 64, 0},    {255, 0, 0},
    {100, 0, 0},     {64, 0, 0},      {255, 0, 255},   {128, 0, 255},   {172, 128, 255},
    {0, 0, 255},     {0, 128, 255},   {0, 255, 255},   {0, 255, 0},     {0, 128, 0},
    {0, 64, 0},      {128, 255, 0},   {192, 255, 0},   {255, 236, 200}, {128, 128, 128},
    {0, 0, 0},       {247, 231, 168}, {236, 213, 123}, {138, 145, 150}, {77, 81, 84},
    {22, 22, 22},    {44, 44, 44},    {66, 66, 66},    {90, 90, 90}};

void SStaticData::AddColours()
{
  for (const auto& rgb : kTable)
    AddColour(rgb[0], rgb[1], rgb[2]);
}

void SStaticData::RemakeColours()
{
  for (int i = 0; i < count; ++i) {
    const unsigned char* rgb = kTable[i];
    colours[(start + i) % capacity] = vexo::gui::SCOL(rgb[0], rgb[1], rgb[2]);
  }
}

int SStaticData::Colour(int index) const
{
  if (index < 0 || index >= count)
    return 0;
  return static_cast<int>(colours[(start + index) % capacity]);
}

SDrawBrush* SStaticData::FindBrush(int colour)
{
  const auto wanted = static_cast<unsigned long>(colour);
  std::lock_guard<std::mutex> hold(cacheLock);
  for (SDrawBrush* brush : brushes.items) {
    // A patterned brush paints in its pattern's colour.
    const unsigned long own = brush->style == -1 ? brush->colour : brush->secondColour;
    if (own == wanted)
      return brush;
  }
  auto* brush = new SDrawBrush(wanted, -1, nullptr);
  brushes.items.push_back(brush);
  return brush;
}

SDrawPen* SStaticData::FindPen(int colour)
{
  const auto wanted = static_cast<unsigned long>(colour);
  std::lock_guard<std::mutex> hold(cacheLock);
  for (SDrawPen* pen : pens.items) {
    if (pen->colour == wanted)
      return pen;
  }
  auto* pen = new SDrawPen(wanted, 1, false);
  pens.items.push_back(pen);
  return pen;
}

SDrawFont* SStaticData::FindFont(int size)
{
  std::lock_guard<std::mutex> hold(cacheLock);
  for (SDrawFont* font : fonts.items) {
    if (font->size == size && !font->bold && !font->italic)
      return font;
  }
  auto* font = new SDrawFont(size, false, false, false, nullptr);
  fonts.items.push_back(font);
  return font;
}

size_t SStaticData::PenCount() const
{
  std::lock_guard<std::mutex> hold(cacheLock);
  return pens.items.size();
}

size_t SStaticData::BrushCount() const
{
  std::lock_guard<std::mutex> hold(cacheLock);
  return brushes.items.size();
}

size_t SStaticData::FontCount() const
{
  std::lock_guard<std::mutex> hold(cacheLock);
  return fonts.items.size();
}
