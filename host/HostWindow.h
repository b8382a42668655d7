// What a host does with X windows for a plug-in's editor: calling the event
// procedure a window publishes, and saving what a window shows.
//
// This is the host's own X code (quillet-host's and the editor tests'); the
// host layer library itself knows nothing of X.
#pragma once

#include <string>

typedef struct _XDisplay Display;
union _XEvent;

namespace qhost {

using EventProc = int (*)(union _XEvent*);

// The procedure named by the window's "_XEventProc" property, read as hosts
// read it (one 32-bit item), or null.
EventProc ReadEventProc(Display* display, unsigned long window);

// Writes what the window shows as a PNG (through a PPM and ImageMagick's
// /usr/bin/convert). False when any step fails.
bool SaveWindowPng(Display* display, unsigned long window, const std::string& path);

} // namespace qhost
