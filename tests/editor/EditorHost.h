// A host for editor tests, in this process: it loads the plug-in library
// afresh (so that every test starts with the library's statics as a host
// would find them), makes a window on a display connection of its own, opens
// the editor in it and runs a host's event loop on request.
//
// How it hands its display and delivers X events is one of the host models
// of host/HostStyle.h (an ardour-like host, a host with its own loop, one that
// hands no display, ...). Everything the host does runs on the thread that
// built it, its GUI thread; callbacks that the plug-in makes from other
// threads are counted.
#pragma once

#include <gtest/gtest.h>

#include "host/HostStyle.h"
#include "host/VstHost.h"

#include <atomic>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <thread>

struct _XDisplay;

namespace edittest {

struct Options
{
  qhost::HostStyle style = qhost::HostStyle::EventProc;
  qhost::HostConfig config;
  // DISPLAY while the library is loaded (its own connection is opened
  // then), when not empty; a name no server answers to means none.
  std::string libraryDisplay;
};

// The models' names for test names ("own-loop" gives "OwnLoop").
std::string StyleTestName(qhost::HostStyle style);

class EditorHost
{
public:
  explicit EditorHost(Options options = {});
  ~EditorHost();

  bool Ready() const { return plugin && plugin->Loaded() && window; }
  qhost::PluginInstance& Plugin() { return *plugin; }
  _XDisplay* Display() const { return display; }
  unsigned long Window() const { return window; }
  qhost::HostStyle Style() const { return options.style; }
  const qhost::HostEvents& Events() const { return *events; }

  // Opens the editor in the host window (or in another window of the host),
  // handing the host's display when the model does. OpenHanding hands the
  // given connection (null: none) whatever the model.
  void Open();
  void OpenIn(unsigned long parent);
  // Returns what effEditOpen answered.
  VstIntPtr OpenHanding(unsigned long parent, _XDisplay* handed);
  void Close();
  // What the user's closing and reopening of the plug-in window does in this
  // model: an ardour-like host hides and shows its window, the others close
  // and open the editor.
  void CloseLikeHost();
  void ReopenLikeHost();
  // Unmaps and maps the host window.
  void HideWindow();
  void ShowWindow();
  // Maps a white window over the host window and takes it away again: what
  // another application's window does when it is moved across.
  void Cover();
  // The same while the host window is hidden, then shows it: what remains
  // on screen in the editor's place until it is redrawn is white.
  void HideCoverAndShow();
  // Another top-level window of the host, mapped.
  unsigned long NewWindow(int width, int height);

  // Runs the host's loop for ms milliseconds: events as the model takes
  // them, the editor's idle opcode at the model's rate, sizeWindow answers,
  // audio blocks when `audio` is set.
  void Pump(int ms);
  // Runs the loop until the predicate holds; false after ms.
  bool PumpUntil(const std::function<bool()>& predicate, int ms = 10000);

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
  // sizeWindow calls made from a thread other than the host's.
  int sizeWindowCallsOffThread() const { return sizeCallsOffThread; }
  // Callbacks of the opcode made from a thread other than the host's.
  int CallbacksOffThread(int32_t opcode);
  std::thread::id HostThread() const { return hostThread; }

private:
  Options options;
  std::thread::id hostThread;
  std::unique_ptr<qhost::PluginLibrary> library;
  std::unique_ptr<qhost::PluginInstance> plugin;
  _XDisplay* display = nullptr;
  std::unique_ptr<qhost::HostEvents> events;
  unsigned long window = 0;
  std::atomic<int> wantedWidth{0};
  std::atomic<int> wantedHeight{0};
  std::atomic<int> sizeCalls{0};
  std::atomic<int> sizeCallsOffThread{0};
  int64_t blocks = 0;
  double elapsedMs = 0;
};

} // namespace edittest

namespace qhost {
// Test names and failure messages name the model.
inline void PrintTo(HostStyle style, std::ostream* out)
{
  *out << Traits(style).name;
}
} // namespace qhost
