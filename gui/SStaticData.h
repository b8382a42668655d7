// SStaticData: the library-wide drawing data, the global `statdata`: the
// 29-colour table and the caches of pens, brushes and fonts that every
// control draws with. Built at library load right after the toolkit's
// display connection and freed at unload just before it closes.
//
// Threads: the colour table is filled at load and only read afterwards (it
// is made again, once, when the toolkit's connection is opened late, before
// any window exists; its entries are atomic for that). The
// caches are searched and grown from every drawing thread (the host's GUI
// thread, the idle thread, editor calls); a lock of their own keeps the
// lists whole. Entries are only ever appended, so a pointer handed out stays
// valid until unload.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

namespace vexo::gui::context {

class SDrawPen;
class SDrawBrush;
class SDrawFont;

// Non-owning lists.
class SPenList
{
public:
  virtual ~SPenList() = default;
  std::vector<SDrawPen*> items;
};

class SBrushList
{
public:
  virtual ~SBrushList() = default;
  std::vector<SDrawBrush*> items;
};

class SFontList
{
public:
  virtual ~SFontList() = default;
  std::vector<SDrawFont*> items;
};

// Owning lists: delete every entry when destroyed.
class SPenListOwned : public SPenList
{
public:
  ~SPenListOwned() override;
};

class SBrushListOwned : public SBrushList
{
public:
  ~SBrushListOwned() override;
};

class SFontListOwned : public SFontList
{
public:
  ~SFontListOwned() override;
};

} // namespace vexo::gui::context

// Indices of the colour table.
enum SColourIndex : int
{
  kColourWhite = 0,
  kColourYellow = 1,
  kColourOrange = 2,
  kColourBrown = 3,
  kColourRed = 4,
  kColourDarkRed = 5,
  kColourDeepRed = 6,
  kColourMagenta = 7,
  kColourPurple = 8,
  kColourLavender = 9,
  kColourBlue = 10,
  kColourSkyBlue = 11,
  kColourCyan = 12,
  kColourGreen = 13,
  kColourMidGreen = 14,
  kColourDarkGreen = 15,
  kColourLime = 16,
  kColourYellowGreen = 17,
  kColourCream = 18,
  kColourGrey = 19,
  kColourBlack = 20,
  kColourPaleGold = 21,
  kColourGold = 22,
  kColourSlateGrey = 23,
  kColourDarkSlate = 24,
  kColourNearBlack = 25,
  kColourCharcoal = 26,
  kColourDarkGrey = 27,
  kColourGraphite = 28,
};

class SStaticData
{
public:
  static constexpr int kColourCapacity = 29;

  // Empty caches and an empty colour table; AddColours fills it.
  SStaticData();
  // The font, brush and pen caches delete their entries, in that order.
  ~SStaticData();
  SStaticData(const SStaticData&) = delete;
  SStaticData& operator=(const SStaticData&) = delete;

  // Appends the 29 colours while the table has room (a second call adds
  // nothing).
  void AddColours();
  // Allocates the 29 colours again on the toolkit's connection, in place:
  // for a connection opened after the table was filled without one.
  void RemakeColours();
  // Entry i of the colour table (0 outside the filled part).
  int Colour(int index) const;
  int ColourCount() const { return count; }

  // The first cached brush of the colour (for a brush with a pattern, the
  // pattern's colour is compared); a new solid brush is added when none.
  vexo::gui::context::SDrawBrush* FindBrush(int colour);
  // The first cached pen of the colour; a new pen of width 1 when none.
  vexo::gui::context::SDrawPen* FindPen(int colour);
  // The first cached plain (not bold, not italic) font of the size; a new
  // SDrawFont(size, false, false, false, null) when none.
  vexo::gui::context::SDrawFont* FindFont(int size);

  size_t PenCount() const;
  size_t BrushCount() const;
  size_t FontCount() const;

  vexo::gui::context::SPenListOwned pens;
  vexo::gui::context::SBrushListOwned brushes;
  vexo::gui::context::SFontListOwned fonts;

private:
  void AddColour(int r, int g, int b);
  static const unsigned char kTable[kColourCapacity][3];

  mutable std::mutex cacheLock;
  // The colour table: a ring with a write position, start and capacity.
  int writePosition = 0;
  int start = 0;
  int capacity = kColourCapacity;
  int count = 0;
  std::atomic<unsigned long> colours[kColourCapacity] = {};
};

// Built in the start-up unit after the display connection.
extern SStaticData statdata;
