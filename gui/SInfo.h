// vexo::gui::SInfo: tells the user something that went wrong (a refused
// load, a preset that lost settings) in a message box with an "OK" button,
// and on standard error. Returns at once; never waits for the user.
//
// One box serves every call for the library's life: a call while it is
// shown replaces its text and shows it again. When the box lives on the
// toolkit's own connection (no host display known, as at load time), the
// connection pump draws it and operates its button until "OK" closes it.
// Without any display connection only standard error is written.
//
// Threads: any. The box is filled inside the display lock of its
// connection, so that its handlers never run at the same time.
#pragma once

namespace vexo::gui {

class SMessageDialog;

void SInfo(const char* text, const char* title);

// The box SInfo shows; null before the first SInfo with a display.
SMessageDialog* SInfoDialog();

} // namespace vexo::gui
