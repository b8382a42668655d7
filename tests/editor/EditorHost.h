// A host for editor tests, in this process: it loads the plug-in library
// afresh (so that every test starts with the library's statics as a host
// would find them), makes a window on a display connection of its own, opens
// the editor in it and runs a host's event loop on request.
//
// The two host conventions are options: handing the display with the open
// request or not, and calling "_XEventProc" for events or leaving the
// plug-in's events alone (then the editor's idle opcode hands them over).
#pragma once

#include <gtest/gtest.h>

#include "host/VstHost.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>

struct _XDisplay;

namespace edittest {

struct Options
{
  bool handDisplay = true;
  bool readEventProc = true;
  qhost::HostConfig config;
};

class EditorHost
{
public:
  explicit EditorHost(Options options = {});
  ~EditorHost();

  bool Ready() const { return plugin && plugin->Loaded() && window; }
  qhost::PluginInstance& Plugin() { return *plugin; }
  _XDisplay* Display() const { return display; }
  unsigned long Window() const { return window; }

  // Opens the editor in the host window (or in another window of the host).
  void Open();
  void OpenIn(unsigned long parent);
  void Close();
  // Another top-level window of the host, mapped.
  unsigned long NewWindow(int width, int height);

  // Runs the host's loop for ms milliseconds: events, editor idle every
  // 20 ms, sizeWindow answers, audio blocks when `audio` is set.
  void Pump(int ms);
  // Runs the loop until the predicate holds; false after ms.
  bool PumpUntil(const std::function<bool()>& predicate, int ms = 3000);

  // Geometry and pixels of a window as the server has them.
  int Width(unsigned long window) const;
  int Height(unsigned long window) const;
  unsigned long Pixel(unsigned long window, int x, int y) const;
  // The first child of a window (the panel inside the host window), or 0.
  unsigned long FirstChild(unsigned long window) const;
  unsigned long Parent(unsigned long window) const;

  // A click or a drag with XTest at a position of the host window.
  void Click(int x, int y, int button = 1);
  void Drag(int x, int y, int dy, int button = 1);
  void MovePointer(int x, int y);
  void Press(int button = 1);
  void Release(int button = 1);

  bool audio = true;
  int sizeWindowCalls() const { return sizeCalls; }

private:
  Options options;
  std::unique_ptr<qhost::PluginLibrary> library;
  std::unique_ptr<qhost::PluginInstance> plugin;
  _XDisplay* display = nullptr;
  unsigned long window = 0;
  std::atomic<int> wantedWidth{0};
  std::atomic<int> wantedHeight{0};
  std::atomic<int> sizeCalls{0};
  int64_t blocks = 0;
  double elapsedMs = 0;
};

} // namespace edittest
