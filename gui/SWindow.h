// vexo::gui::SWindow: the control that owns other controls: the editor's
// panel, dialogs, message boxes and tooltips. Children are kept in the order
// of Add and deleted with the window (the last added first).
//
// Threads: the child list is built and torn down on the thread that owns
// the window tree (the host's editor thread); Loop runs on the thread that
// calls it. `running` may be cleared from any thread.
#pragma once

#include "gui/SControl.h"

#include <atomic>
#include <cstdint>
#include <vector>

namespace vexo::gui {

struct SWindowID
{
  SControl* control = nullptr;
  uint32_t id = 0;
};

class SWindow : public SControl
{
public:
  SWindow() = default;
  SWindow(SGlobals* globals, SControl* parent, unsigned id, const char* label, int style, int x,
          int y, int width, int height, unsigned long nativeParent = 0, bool unused = false)
      : SControl(globals, parent, id, label, style, x, y, width, height, nativeParent, unused)
  {
  }
  // Cleans up, deletes every child (the last added first), then the window.
  ~SWindow() override;

  void CleanRessources() override;
  void LoadControls() override {}
  void ReparentChildren() override {}
  void EnableChildren(bool enable) override;
  void Minimized() override;
  void WindowClose() override;
  void WindowMinimize(bool minimize) override;
  void WindowMaximize(bool maximize) override;
  void RefreshControls(long) override {}
  void MousePosition(int x, int y) override;
  void UpdateModifiers(int state, bool pressed) override;
  void TimerProc(int) override {}
  void Run() override { running = true; }
  void Stop() override { running = false; }
  void EnableHandlers() override {}
  void ShowMenu(const Point& at) override;
  void CloseMenu() override;
  bool IsSubcontrol(unsigned id) override;

  // Appended operations.
  // Ignores null; appends (control, id), sets style 0x2, tracks the ids.
  virtual void Add(SControl* control);
  // Removes the first child with the control's id (keeping the order); with
  // destroy deletes it. Clears style 0x2 when no child is left.
  virtual void Remove(SControl* control, bool destroy);
  // True when the X window is this window's own (children are asked with
  // the value as an id).
  virtual bool IsSubcontrol(int window);
  // Reads and dispatches X events until the running flag is clear after an
  // event; returns 0 for a dialog (style 0x100), else cleans up and ends the
  // process. Returns 0 at once without a display.
  virtual int Loop();
  // Menus are not part of this system; a menu is any control shown as one.
  virtual SControl* GetMenu() { return menu; }
  virtual void SetMenu(SControl* menu);
  virtual void TooltipEnable(bool) {}

  bool Running() const { return running; }

  std::vector<SWindowID> children;
  int lowestId = -1;
  int highestId = -1;
  SControl* menu = nullptr;
  bool menuOpen = false;
  std::atomic<bool> running{false};

private:
  void DeleteChildren();
};

} // namespace vexo::gui
