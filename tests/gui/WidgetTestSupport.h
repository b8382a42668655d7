// Helpers for the widget tests: real pointer and key input through the
// XTest extension (the server then sends the events a user's hand would
// cause, and the tests deliver them through "_XEventProc" as a host does),
// colour counts over a window, and PNG screenshots written into the build
// folder as artefacts.
#pragma once

#include <gtest/gtest.h>

#include "gui/SControl.h"
#include "tests/gui/GuiTestSupport.h"

#include <string>
#include <vector>

namespace widgettest {

// The root position of a point given in a control's client coordinates.
vexo::gui::Point OnScreen(const vexo::gui::SControl& control, int x, int y);
// Moves the pointer with XTest and waits until the server has done it.
void MovePointer(int rootX, int rootY);
void PointAt(const vexo::gui::SControl& control, int x, int y);
void Press(unsigned button);
void Release(unsigned button);
// Moves to the point, presses and releases the button.
void Click(const vexo::gui::SControl& control, int x, int y, unsigned button = 1);
// Holds a key down (an X key symbol) or lets it go.
void Key(unsigned long keysym, bool down);

// Delivers queued events until the pointer position the control last saw
// (its input record) is (x, y) in its client coordinates, or ms pass.
bool DeliverUntilAt(const vexo::gui::SControl& control, int x, int y, int ms = 8000);

// The values of the events of one code that a probe received.
std::vector<int> Values(const guitest::Probe& probe, int code);

// How many pixels of the window (or of the given area) have the colour.
int CountColour(unsigned long drawable, int width, int height, unsigned long colour);

// Writes the area of a drawable as "screenshots/<name>.png" in the build
// folder; false when it could not be read or written.
bool SavePng(unsigned long drawable, int x, int y, int width, int height, const std::string& name);
bool SavePng(const vexo::gui::SControl& control, const std::string& name);

// The map state of a window on a connection (IsUnmapped, IsViewable...), -1
// when the window is gone.
int MapState(struct _XDisplay* display, unsigned long window);

} // namespace widgettest
