#include "gui/SWindow.h"

#include "gui/XDisplay.h"
#include "gui/context/SInput.h"

#include <X11/Xlib.h>

#include <algorithm>
#include <cstdlib>

namespace vexo::gui {

SWindow::~SWindow()
{
  destroying = true;
  CleanUp();
  DeleteChildren();
}

void SWindow::DeleteChildren()
{
  while (!children.empty()) {
    SControl* child = children.back().control;
    children.pop_back();
    delete child;
  }
}

void SWindow::CleanRessources()
{
  destroying = true;
  if (!(style & (kStyleDialog | kStyleApplication)))
    return;
  CleanUp();
  DeleteChildren();
  DestroyWindow();
}

void SWindow::EnableChildren(bool enable)
{
  for (const SWindowID& child : children)
    child.control->Enable(enable);
}

void SWindow::Minimized()
{
  for (const SWindowID& child : children)
    child.control->Minimized();
}

void SWindow::WindowClose()
{
  running = false;
  delete (parent ? parent : this);
  std::exit(0);
}

void SWindow::WindowMinimize(bool minimize)
{
  Display* display = ActiveDisplay();
  if (!display)
    return;
  if (!wm_change.load())
    wm_change = XInternAtom(display, "WM_CHANGE_STATE", True);
  if (!wm_change.load())
    return;
  XEvent message{};
  message.xclient.type = ClientMessage;
  message.xclient.display = display;
  message.xclient.window = parent ? parent->window : window;
  message.xclient.message_type = wm_change.load();
  message.xclient.format = 32;
  message.xclient.data.l[0] = minimize ? 1 : 3;
  XSendEvent(display, RootWindow(display, DefaultScreen(display)), False,
             SubstructureRedirectMask | SubstructureNotifyMask, &message);
}

void SWindow::WindowMaximize(bool maximize)
{
  if (maximize)
    state &= ~kStateNotMaximized;
  else
    state |= kStateNotMaximized;
}

void SWindow::MousePosition(int x, int y)
{
  SControl::MousePosition(x, y);
}

void SWindow::UpdateModifiers(int state_, bool pressed)
{
  SControl::UpdateModifiers(state_, pressed);
  if (!input)
    return;
  for (const SWindowID& child : children) {
    context::SInput* other = child.control->input;
    if (!other)
      continue;
    other->keyState = input->keyState;
    other->flags[context::kMouseShift] = input->flags[context::kMouseShift];
    other->flags[context::kMouseCtrl] = input->flags[context::kMouseCtrl];
    other->flags[context::kMouseAlt] = input->flags[context::kMouseAlt];
  }
}

void SWindow::ShowMenu(const Point& at)
{
  if (!menu || menuOpen)
    return;
  menu->SetPosition(at.x, at.y);
  menu->Show();
  menu->Focus(true);
  menuOpen = true;
}

void SWindow::CloseMenu()
{
  if (menu)
    menu->Hide();
  menuOpen = false;
}

bool SWindow::IsSubcontrol(unsigned id_)
{
  if (id_ == id)
    return true;
  return std::any_of(children.begin(), children.end(),
                     [&](const SWindowID& child) { return child.control->IsSubcontrol(id_); });
}

void SWindow::Add(SControl* control)
{
  if (!control)
    return;
  children.push_back(SWindowID{control, control->id});
  style |= kStyleHasChildren;
  const int childId = static_cast<int>(control->id);
  if (lowestId == -1 || childId < lowestId)
    lowestId = childId;
  if (highestId == -1 || childId > highestId)
    highestId = childId;
}

void SWindow::Remove(SControl* control, bool destroy)
{
  if (!control)
    return;
  auto found = std::find_if(children.begin(), children.end(),
                            [&](const SWindowID& child) { return child.id == control->id; });
  if (found == children.end())
    return;
  children.erase(found);
  if (destroy)
    delete control;
  if (children.empty())
    style &= ~kStyleHasChildren;
}

bool SWindow::IsSubcontrol(int window_)
{
  if (window && static_cast<unsigned long>(window_) == window)
    return true;
  return std::any_of(children.begin(), children.end(), [&](const SWindowID& child) {
    return child.control->IsSubcontrol(static_cast<unsigned>(window_));
  });
}

int SWindow::Loop()
{
  Display* display = ActiveDisplay();
  if (!display)
    return 0;
  running = true;
  do {
    XEvent event;
    XNextEvent(display, &event);
    eventProc(&event);
  } while (running);
  if (style & kStyleDialog)
    return 0;
  CleanRessources();
  std::exit(0);
}

void SWindow::SetMenu(SControl* menu_)
{
  if (menu)
    Remove(menu, true);
  menu = menu_;
  if (menu)
    Add(menu);
}

} // namespace vexo::gui
