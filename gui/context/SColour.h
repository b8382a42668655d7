// vexo::gui::SCOL: a colour as an X pixel value, allocated in the default
// colormap of screen 0 on the toolkit's display.
//
// Threads: any (Xlib serialises the allocation).
#pragma once

namespace vexo::gui {

// Allocates r, g, b (0..255 each) on every call; there is no table. Without
// a display, or when the allocation fails, the screen's black (0 without a
// display) is returned.
unsigned long SCOL(int r, int g, int b);

} // namespace vexo::gui
