// vexo::gui::SDial<int>: the toolkit's value control: a small box that shows
// an integer, or the text that a table holds for it, and changes it by
// vertical dragging (up raises, down lowers), middle clicks, the wheel and
// Ctrl+click (back to the default). Every change by the mouse sends event 5
// with the new value; SetValue from the program sends nothing.
//
// Dragging steps by one each time the pointer has passed dragStepLeft (left
// button) or dragStepRight (right button) pixels beyond the place of the
// last step, however far one motion goes; an unstepped left drag moves the
// value by the pixels moved.
//
// Drawing goes through the off-screen buffer: background (as a label, or
// rounded with style 0x10), the handle, the value text centred in the
// handle, the hover outline; then one copy into the window.
//
// Threads: as SControllable (no lock of its own; mouse and drawing on the
// event-dispatching thread; the owner's SetValue under the display lock).
#pragma once

#include "gui/SControllable.h"
#include "support/data/datastring.h"

#include <cstdint>

namespace vexo::gui {

// An entry of a dial's name or label table.
using SValueText = vexo::data::datastring<8, char>;

template <typename T> class SDial;

template <> class SDial<int> : public SControllable<int, false>
{
public:
  // The control gets the caller's style plus the hover (0x4) and capture
  // (0x8) styles. The value is stored as given; the default is clipped into
  // [min, max].
  SDial(SGlobals* globals, SControl* parent, unsigned id, const char* title, int style, int x,
        int y, int width, int height, bool labelBackground, bool zone, unsigned long nativeParent,
        int value, int min, int max, int def);
  // Deletes the tables it owns.
  ~SDial() override;

  void Draw(const Rect& rect) override;
  // Hover colour B while hovered, else A.
  void DrawOutlines(const Rect& rect) override;
  // The presses of SControllable, and the wheel: one step up or down.
  void MouseStateChanged(bool* flags, int code) override;
  // Dragging while the mouse is captured.
  void MousePosChanged(int dx, int dy) override;

  // Appended operations.
  virtual void DrawHandle();
  virtual void DrawValue();
  // False when v is the value. Otherwise stores v (unclipped) and redraws;
  // never sends an event, whatever notify says.
  bool SetValue(int v, bool notify) override;
  virtual int Value2Index(int) { return 0; }
  virtual int Index2Value(int) { return 0; }

  // The text drawn for the value: the table entry when a table is in use
  // and holds the value, else the number.
  const char* ValueText(char* buffer, int size) const;

  bool useNameTable = false;
  bool useLabelTable = false;
  SValueText* nameTable = nullptr;
  SValueText* labelTable = nullptr;
  bool ownsNameTable = false;  // the destructor deletes the array
  bool ownsLabelTable = false; // the destructor deletes the array
  int32_t tableSize = 1;
  int32_t initialValue = 0;
  int32_t dragStepLeft = 5;
  int32_t dragStepRight = 12;
  bool leftDragStepped = true;
  int markColour = 0;
  int32_t markValue = 0;
  bool markEnabled = false;

private:
  // One stepped drag: a step each time the pointer passes step pixels.
  void SteppedDrag(int dy, int y, int step);
};

} // namespace vexo::gui
