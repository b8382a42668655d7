#include "gui/SInfo.h"

#include "gui/SConnectionPump.h"
#include "gui/SMessageDialog.h"
#include "gui/XDisplay.h"

#include <X11/Xlib.h>

#include <atomic>
#include <cstdio>

namespace vexo::gui {

namespace {

// The box, for SInfoDialog and for choosing the display to lock.
std::atomic<SMessageDialog*> infoDialog{nullptr};

// Holds the one message box. It is a function-local static whose
// constructor makes the box, so that it is destroyed at unload before
// everything that existed when the box was made: what static
// initialisation built (the pump, the drawing data, the connection) and
// what the box's construction built on first use (the control registry).
struct SInfoBox
{
  SInfoBox() : dialog(new SMessageDialog()) { infoDialog.store(dialog); }
  ~SInfoBox()
  {
    // No pump thread may dispatch to the box while it goes.
    connectionPump.Stop();
    infoDialog.store(nullptr);
    delete dialog;
  }
  SInfoBox(const SInfoBox&) = delete;
  SInfoBox& operator=(const SInfoBox&) = delete;

  SMessageDialog* const dialog;
};

} // namespace

SMessageDialog* SInfoDialog()
{
  return infoDialog.load();
}

void SInfo(const char* text, const char* title)
{
  // Every message also goes to standard error, so that a user whose host
  // runs without a visible desktop still learns what happened.
  std::fprintf(stderr, "%s: %s\n", title ? title : "", text ? text : "");
  std::fflush(stderr);

  SMessageDialog* made = infoDialog.load();
  Display* display = made ? made->Home() : ActiveDisplay();
  if (!display)
    return;
  // The box's handlers run inside this lock on the thread that reads its
  // connection; making and filling it inside the lock keeps them apart.
  XLockDisplay(display);
  static SInfoBox box;
  box.dialog->ShowMessage(text, title);
  XFlush(display);
  XUnlockDisplay(display);
}

} // namespace vexo::gui
