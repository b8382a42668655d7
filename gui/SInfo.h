// vexo::gui::SInfo: tells the user something that went wrong (a refused
// load, a preset that lost settings). Returns at once; never waits for the
// user.
//
// Threads: any thread.
#pragma once

namespace vexo::gui {

void SInfo(const char* text, const char* title);

} // namespace vexo::gui
