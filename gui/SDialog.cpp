#include "gui/SDialog.h"

#include "gui/SConnectionPump.h"
#include "gui/SCursor.h"
#include "gui/SGlobals.h"
#include "gui/XDisplay.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>

namespace vexo::gui {

SDialog::SDialog() : dialogGlobals(new SGlobals()) {}

SDialog::~SDialog()
{
  ReleasePump();
  // The children draw with the dialog's resources: they go first.
  DestroyChildren();
  if (dialogGlobals && dialogGlobals->currentCursor == dialogCursor)
    dialogGlobals->currentCursor = nullptr;
  delete dialogCursor;
  dialogCursor = nullptr;
  delete dialogGlobals;
  dialogGlobals = nullptr;
  globals = nullptr;
}

void SDialog::DestroyChildren()
{
  destroying = true;
  CleanUp();
  while (!children.empty()) {
    SControl* child = children.back().control;
    children.pop_back();
    delete child;
  }
}

void SDialog::CreateDialog(const char* name, int style_, int x, int y, int width, int height)
{
  home = ActiveDisplay();
  Create(dialogGlobals, nullptr, static_cast<unsigned>(dialogGlobals->TopLevelId()), name, style_,
         x, y, width, height, 0, false);
  if (!home || !window)
    return;
  auto* cursor = new SCursorDefault();
  cursor->window = window;
  cursor->CreateDefault();
  dialogCursor = cursor;
  // The event procedure sets and frees the current cursor of the dialog's
  // resources, which its children share.
  dialogGlobals->currentCursor = dialogCursor;
  dialogCursor->Set();
}

void SDialog::ResizeDialog(int width, int height)
{
  SetSize(width, height);
  if (!home || !window || width <= 0 || height <= 0 || (style & kStyleNoSizeHints))
    return;
  // The window cannot be resized by the user at its new size either.
  XSizeHints hints{};
  hints.flags = PSize | PMinSize | PMaxSize | PResizeInc;
  hints.width = hints.min_width = hints.max_width = width;
  hints.height = hints.min_height = hints.max_height = height;
  XSetWMNormalHints(home, window, &hints);
}

void SDialog::HoldPump()
{
  // Only the toolkit's own connection lacks a reader; a host reads its own.
  if (!home || home != ActiveDisplay())
    return;
  if (!pumpHeld.exchange(true) && !connectionPump.Hold(home))
    pumpHeld = false;
}

void SDialog::ReleasePump()
{
  if (pumpHeld.exchange(false))
    connectionPump.Release();
}

void SDialog::ShowDialog()
{
  Show();
  Foreground(true);
  shown = true;
  HoldPump();
}

void SDialog::CloseDialog()
{
  Hide();
  shown = false;
  modalRunning = false;
  ReleasePump();
}

int SDialog::ShowModal()
{
  Show();
  Foreground(true);
  shown = true;
  modalRunning = true;
  if (!home || !window) {
    modalRunning = false;
    return 0;
  }
  XFlush(home);
  const Atom protocols = XInternAtom(home, "WM_PROTOCOLS", False);
  pollfd socket{ConnectionNumber(home), POLLIN, 0};
  while (modalRunning) {
    // The pump may read the same connection: never block in XNextEvent, or
    // a close handled there would leave this loop waiting.
    if (!XPending(home)) {
      socket.revents = 0;
      poll(&socket, 1, 20);
      continue;
    }
    XEvent event;
    XNextEvent(home, &event);
    if (event.type == ClientMessage && event.xclient.message_type == protocols &&
        event.xclient.window == window) {
      // A window manager's request to close this dialog closes it.
      CloseDialog();
      break;
    }
    eventProc(&event);
  }
  modalRunning = false;
  return 0;
}

} // namespace vexo::gui
