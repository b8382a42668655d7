#include "gui/SInfo.h"

#include "gui/SConnectionPump.h"
#include "gui/SMessageDialog.h"
#include "gui/XDisplay.h"

#include <X11/Xlib.h>

#include <atomic>
#include <cstdio>

namespace vexo::gui {

namespace {

// The one message box. Being a function-local static made at the first
// SInfo, it is destroyed at unload before everything that static
// initialisation built (the pump, the drawing data, the connection).
struct SInfoBox
{
  constexpr SInfoBox() = default;
  ~SInfoBox()
  {
    // No pump thread may dispatch to the box while it goes.
    connectionPump.Stop();
    delete dialog.exchange(nullptr);
  }
  std::atomic<SMessageDialog*> dialog{nullptr};
};

SInfoBox& Box()
{
  static SInfoBox box;
  return box;
}

} // namespace

SMessageDialog* SInfoDialog()
{
  return Box().dialog.load();
}

void SInfo(const char* text, const char* title)
{
  // Every message also goes to standard error, so that a user whose host
  // runs without a visible desktop still learns what happened.
  std::fprintf(stderr, "%s: %s\n", title ? title : "", text ? text : "");
  std::fflush(stderr);

  SInfoBox& box = Box();
  SMessageDialog* dialog = box.dialog.load();
  Display* display = dialog ? dialog->Home() : ActiveDisplay();
  if (!display)
    return;
  // The box's handlers run inside this lock on the thread that reads its
  // connection; filling it inside the lock keeps them apart.
  XLockDisplay(display);
  dialog = box.dialog.load();
  if (!dialog) {
    dialog = new SMessageDialog();
    box.dialog.store(dialog);
  }
  dialog->ShowMessage(text, title);
  XFlush(display);
  XUnlockDisplay(display);
}

} // namespace vexo::gui
