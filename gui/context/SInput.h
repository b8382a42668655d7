// vexo::gui::context::SInput: one control's mouse and keyboard state: the
// last pointer position and movement, the 23 mouse flags that the event
// procedure sets and clears, and the memory of the last press for double
// clicks.
//
// Threads: used only on the thread that dispatches the control's X events.
#pragma once

#include <cstdint>

namespace vexo::gui::context {

// Indices of the mouse flags; the code handed to MouseStateChanged is the
// index of the flag that has just been set.
enum SMouseFlag : int
{
  kMouseEntered = 0,
  kMouseMoving = 1,
  kMouseLeft = 2,
  kMouseLeftDown = 3,
  kMouseRightDown = 4,
  kMouseMiddleDown = 5,
  kMouseReleased = 6,
  kMouseLeftDouble = 7,
  kMouseRightDouble = 8,
  kMouseMiddleDouble = 9,
  kMouseWheel = 13,
  kMouseWheelUp = 14,
  kMouseWheelDown = 15,
  kMouseOver = 16,
  kMouseCaptured = 17,
  kMouseTracking = 19,
  kMouseAlt = 20,
  kMouseShift = 21,
  kMouseCtrl = 22,
};

constexpr int kMouseFlags = 23;

// Modifier mask handed to key handlers.
constexpr int kModifierShift = 1;
constexpr int kModifierCtrl = 2;
constexpr int kModifierAlt = 4;

class SInput
{
public:
  virtual ~SInput() = default;

  // Back to the state after construction.
  void Reset() { *this = SInput(); }

  int32_t zero = 0;
  int32_t x = -1; // last pointer position
  int32_t y = -1;
  int32_t dx = 0; // last movement
  int32_t dy = 0;
  bool flags[kMouseFlags] = {};
  int32_t pressButton = 0;     // button of the last press
  unsigned long pressTime = 0; // server time of the last press; 0 = none yet
  int32_t minusOne = -1;
  int32_t keyState = 0; // X modifier state bits (Shift 0x1, Control 0x4, Mod1 0x8)
};

} // namespace vexo::gui::context
