// vexo::gui::SDialog: a top-level window of the toolkit (a dialog or a
// message box) with resources of its own (SGlobals for its ids, its default
// cursor), shown without waiting (ShowDialog) or in a modal loop
// (ShowModal), and closed (hidden) by CloseDialog, which a window manager's
// close request also calls.
//
// A dialog lives on the toolkit's own connection, which no host reads:
// ShowDialog holds the connection pump (SConnectionPump) so that the dialog
// is drawn and answers the mouse; CloseDialog lets go of it.
//
// Threads: made and destroyed on any one thread. Its events are handled on
// the thread that reads its connection (the host's GUI thread, the pump, or
// the modal loop). Another thread that shows, closes or changes a shown
// dialog holds the display lock of the dialog's connection (XLockDisplay).
// The shown and modal flags may be read from any thread.
#pragma once

#include "gui/SWindow.h"

#include <atomic>

class SGlobals;
struct _XDisplay;

namespace vexo::gui {

class SCursor;

class SDialog : public SWindow
{
public:
  // Makes the dialog's own resources; the window comes with CreateDialog.
  SDialog();
  // Lets go of the pump, deletes the children, the cursor and the
  // resources.
  ~SDialog() override;

  // Hides the window and ends a modal loop.
  void CloseDialog() override;

  // Appended operations.
  // Shows the window and brings it to the foreground, without waiting.
  virtual void ShowDialog();
  // Shows the window and handles the events of its connection until the
  // dialog is closed (by its own handlers, or by a window manager's close
  // request for it, which closes it). Returns 0.
  virtual int ShowModal();

  // The connection the dialog's windows belong to (null without display).
  _XDisplay* Home() const { return home; }
  // Sets the window's size and the fixed-size hints that go with it.
  void ResizeDialog(int width, int height);

  std::atomic<bool> shown{false};
  std::atomic<bool> modalRunning{false};
  SGlobals* dialogGlobals = nullptr; // owned
  SCursor* dialogCursor = nullptr;   // owned

protected:
  // Creates the top-level window (no parent) with the id drawn from
  // dialogGlobals (a top-level id) and its default cursor.
  void CreateDialog(const char* name, int style, int x, int y, int width, int height);
  // Deletes the children, the last added first, once no event reaches the
  // dialog any more (for subclasses that free what the children use).
  void DestroyChildren();

private:
  void HoldPump();
  void ReleasePump();

  _XDisplay* home = nullptr;
  std::atomic<bool> pumpHeld{false};
};

} // namespace vexo::gui
