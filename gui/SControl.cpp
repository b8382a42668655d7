#include "gui/SControl.h"

#include "gui/SControlRegistry.h"
#include "gui/SDisplay.h"
#include "gui/SGlobals.h"
#include "gui/SStaticData.h"
#include "gui/STimer.h"
#include "gui/XDisplay.h"
#include "gui/XErrorTrap.h"
#include "gui/context/SDrawPen.h"
#include "gui/context/SDrawing.h"
#include "gui/context/SInput.h"
#include "support/system/SSystemData.h"
#include "support/threading/STimerIdle.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/shape.h>

#include "support/threading/SMutex.h"

#include <cstring>
#include <ctime>

namespace vexo::gui {

std::atomic<bool> SControl::xerror{false};
std::atomic<SControl*> capture{nullptr};
std::atomic<unsigned long> wm_change{0};

namespace {

constexpr long kControlEventMask = 0x163A07F;
constexpr long kDialogReducedMask = 0x228000; // Exposure, StructureNotify, FocusChange
constexpr long kDoNotPropagate = 0x200F;      // keys, buttons, button motion

Display* Dpy()
{
  return ActiveDisplay();
}

// Sets a 32-bit property of one or more items, replacing it whole.
void SetProperty32(Display* display, Window window, Atom property, Atom type, const long* items,
                   int count)
{
  XChangeProperty(display, window, property, type, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(items), count);
}

// Asks every window manager convention whose atom the server knows for a
// window without decorations.
void SetNoDecorationHints(Display* display, Window window)
{
  if (Atom motif = XInternAtom(display, "_MOTIF_WM_HINTS", True)) {
    const long hints[4] = {2, 0, 0, 0}; // flags: decorations valid; decorations 0
    SetProperty32(display, window, motif, motif, hints, 4);
  }
  if (Atom win = XInternAtom(display, "_WIN_HINTS", True)) {
    const long hints[1] = {0};
    SetProperty32(display, window, win, win, hints, 1);
  }
  if (Atom kwm = XInternAtom(display, "KWM_WIN_DECORATION", True)) {
    const long hints[1] = {2};
    SetProperty32(display, window, kwm, kwm, hints, 1);
  }
  if (Atom type = XInternAtom(display, "_NET_WM_WINDOW_TYPE", True)) {
    const long types[2] = {
        static_cast<long>(XInternAtom(display, "_KDE_NET_WM_WINDOW_TYPE_OVERRIDE", True)),
        static_cast<long>(XInternAtom(display, "_NET_WM_WINDOW_TYPE_NORMAL", True))};
    SetProperty32(display, window, type, XA_ATOM, types, 2);
  }
}

} // namespace

SControl::SControl() = default;

SControl::SControl(SGlobals* globals_, SControl* parent_, unsigned id_, const char* label_,
                   int style_, int x, int y, int width, int height, unsigned long nativeParent_,
                   bool unused)
{
  Create(globals_, parent_, id_, label_, style_, x, y, width, height, nativeParent_, unused);
}

SControl::~SControl()
{
  destroying = true;
  SControl::CleanUp();
  SControl* self = this;
  capture.compare_exchange_strong(self, nullptr);
  DestroyWindow();
}

void SControl::DestroyWindow()
{
  registry::Unregister(this);
  Display* display = Dpy();
  if (display && window) {
    // The host may have destroyed its window, and ours with it.
    XErrorTrap trap(display);
    // Selecting nothing first spares the connection's queue the window's
    // DestroyNotify, which nobody would read.
    XSelectInput(display, window, NoEventMask);
    XDestroyWindow(display, window);
  }
  window = 0;
}

int SControl::Create(SGlobals* globals_, SControl* parent_, unsigned id_, const char* text,
                     int style_, int x, int y, int width, int height, unsigned long nativeParent_,
                     bool)
{
  globals = globals_;
  parent = parent_;
  style = style_;
  id = id_;
  state |= kStateShown; // so that the final Hide unmaps the window
  label.Clear(false);
  label.Append(text ? text : "");
  SetGeometry(x, y, x + width, y + height);
  savedFocus = 0;
  destroying = false;
  cleanedUp = false;
  ignoreParentEnable = false;
  mouseInput = true;

  Display* display = Dpy();
  if (display && !window) {
    const int screen = DefaultScreen(display);
    const Window root = RootWindow(display, screen);
    const unsigned w = static_cast<unsigned>(width > 0 ? width : 1);
    const unsigned h = static_cast<unsigned>(height > 0 ? height : 1);
    XSetWindowAttributes attributes{};
    attributes.event_mask = kControlEventMask;
    const unsigned border = (style_ & kStyleDecorated) ? 3 : 0;
    const bool topLevel = style_ & (kStyleApplication | kStyleDialog);
    if (style_ & kStyleApplication) {
      attributes.override_redirect = !(style_ & kStyleDecorated);
      attributes.save_under = True;
      window = XCreateWindow(display, root, x, y, w, h, border, CopyFromParent, CopyFromParent,
                             CopyFromParent, CWOverrideRedirect | CWSaveUnder | CWEventMask,
                             &attributes);
    } else if (style_ & kStyleDialog) {
      Window in = root;
      if (!(style_ & kStyleInRoot)) {
        if (parent && parent->window)
          in = parent->window;
        else if (nativeParent_)
          in = nativeParent_;
      }
      attributes.override_redirect = !(style_ & kStyleDecorated);
      attributes.save_under = True;
      attributes.do_not_propagate_mask = kDoNotPropagate;
      window = XCreateWindow(display, in, x, y, w, h, border, DefaultDepth(display, screen),
                             InputOutput, DefaultVisual(display, screen),
                             CWOverrideRedirect | CWSaveUnder | CWEventMask | CWDontPropagate,
                             &attributes);
      XSelectInput(display, window,
                   (style_ & kStyleAllInput) ? kControlEventMask : kDialogReducedMask);
    } else {
      XFlush(display);
      Window in = root;
      if (parent && parent->window)
        in = parent->window;
      else if (nativeParent_)
        in = nativeParent_;
      attributes.override_redirect = True;
      window = XCreateWindow(display, in, x, y, w, h, 0, CopyFromParent, InputOutput,
                             CopyFromParent, CWOverrideRedirect | CWEventMask, &attributes);
    }
    nativeParent = nativeParent_;

    if (topLevel) {
      deleteWindowAtom = XInternAtom(display, "WM_DELETE_WINDOW", True);
      if (deleteWindowAtom) {
        Atom protocols[1] = {deleteWindowAtom};
        XSetWMProtocols(display, window, protocols, 1);
      }
      SetTitleProperties(label.Text());
      if (!(style_ & kStyleNoSizeHints)) {
        XSizeHints hints{};
        hints.flags = PSize | PMinSize | PMaxSize | PResizeInc;
        hints.width = hints.min_width = hints.max_width = static_cast<int>(w);
        hints.height = hints.min_height = hints.max_height = static_cast<int>(h);
        hints.width_inc = hints.height_inc = 0;
        XSetWMNormalHints(display, window, &hints);
      }
    }
    if (!(style_ & kStyleDecorated))
      SetNoDecorationHints(display, window);

    const Atom owner = XInternAtom(display, "_VEXOWND", False);
    const long handle = registry::Register(this);
    SetProperty32(display, window, owner, owner, &handle, 1);
    const Atom procedure = XInternAtom(display, "_XEventProc", False);
    const long address = registry::EventProcValue();
    if (address)
      SetProperty32(display, window, procedure, procedure, &address, 1);
  }
  CreateContexts();
  Hide();
  return 1;
}

void SControl::SetTitleProperties(const char* text)
{
  Display* display = Dpy();
  if (!display || !window)
    return;
  XStoreName(display, window, text);
  XSetIconName(display, window, text);
  XTextProperty property{};
  char* list[1] = {const_cast<char*>(text)};
  if (XStringListToTextProperty(list, 1, &property)) {
    XSetWMName(display, window, &property);
    XSetWMIconName(display, window, &property);
    XFree(property.value);
  }
}

void SControl::CreateContexts()
{
  delete drawing;
  delete input;
  drawing = new context::SDrawing(this, globals);
  input = new context::SInput();
}

void SControl::CleanRessources()
{
  destroying = true;
}

void SControl::CleanUp()
{
  if (cleanedUp)
    return;
  destroying = true;
  // From here on no new event reaches this control, and dispatches of other
  // threads have ended.
  registry::Unregister(this);
  PrepareCleanUp();
  DestroyIdleTimer();
  StopTimer(true);
  if ((style & kStyleAutoCapture) && capture.load() == this)
    MouseReleaseCapture();
  DeleteTooltipData();
  delete drawing;
  drawing = nullptr;
  delete input;
  input = nullptr;
  cleanedUp = true;
}

void SControl::PrepareCleanUp()
{
  if (window)
    Hide();
}

void SControl::Reparent(unsigned long into)
{
  Display* display = Dpy();
  if (!display || !window)
    return;
  // The window may be gone with a host's window that contained it: no error
  // of the hiding may reach the host either.
  XErrorTrap trap(display);
  const bool shown = state & kStateShown;
  Hide();
  if (!into)
    into = DefaultRootWindow(display);
  nativeParent = into;
  XWindowAttributes attributes{};
  if (!XGetWindowAttributes(display, window, &attributes))
    return;
  XReparentWindow(display, window, into, attributes.x, attributes.y);
  if (shown)
    Show();
}

void SControl::Inherit(unsigned long from)
{
  Display* display = Dpy();
  if (!display || !window || !from)
    return;
  XErrorTrap trap(display);
  XWindowAttributes attributes{};
  if (!XGetWindowAttributes(display, from, &attributes))
    return;
  XSetWindowAttributes set{};
  set.override_redirect = attributes.override_redirect;
  set.save_under = attributes.save_under;
  set.do_not_propagate_mask = attributes.do_not_propagate_mask;
  set.event_mask = attributes.all_event_masks;
  XChangeWindowAttributes(display, window,
                          CWOverrideRedirect | CWSaveUnder | CWDontPropagate | CWEventMask, &set);
}

void SControl::Enable(bool enable)
{
  if (enable)
    state |= kStateEnabled;
  else
    state &= ~kStateEnabled;
  Refresh();
}

void SControl::Show()
{
  if (state & kStateShown)
    return;
  Display* display = Dpy();
  if (!display || !window)
    return;
  XMapRaised(display, window);
  state |= kStateShown;
  Refresh();
}

void SControl::Hide()
{
  Display* display = Dpy();
  if ((state & kStateShown) && display && window)
    XUnmapWindow(display, window);
  state &= ~kStateShown;
}

void SControl::Move(int dx, int dy)
{
  Rect r = WindowRect();
  SetPosition(r.left + dx, r.top + dy);
}

void SControl::Move(Point& delta)
{
  Move(delta.x, delta.y);
}

void SControl::Move(const Point& delta)
{
  Move(delta.x, delta.y);
}

void SControl::SetPosition(int x, int y)
{
  const Rect r = WindowRect();
  SetGeometry(x, y, x + r.Width(), y + r.Height());
  Display* display = Dpy();
  if (display && window)
    XMoveWindow(display, window, x, y);
}

// Centring on the monitor of the control's centre (or of a point).
void SControl::Center()
{
  if (sd.display)
    vexo::gui::CenterOnWindow(*sd.display, this);
}

void SControl::Center(Point& point)
{
  if (sd.display)
    vexo::gui::CenterOnWindow(*sd.display, this, point);
}

void SControl::Foreground(bool)
{
  Display* display = Dpy();
  if (display && window)
    XRaiseWindow(display, window);
}

void SControl::Focussing(bool focus)
{
  if (focus)
    state |= kStateFocus;
  else
    state &= ~kStateFocus;
}

void SControl::Focus(bool take)
{
  Display* display = Dpy();
  if (destroying || !(state & kStateShown) || !display || !window)
    return;
  Window focus = 0;
  int revert = 0;
  XGetInputFocus(display, &focus, &revert);
  if (take) {
    if (focus == window)
      return;
    savedFocus = focus;
    XSetInputFocus(display, window, RevertToNone, CurrentTime);
  } else if (focus == window) {
    XErrorTrap trap(display); // the saved window may be gone by now
    XSetInputFocus(display, savedFocus, RevertToNone, CurrentTime);
  }
}

void SControl::FocusTopParent()
{
  Display* display = Dpy();
  if (!globals || !globals->hostWindow || !display)
    return;
  const Window host = globals->hostWindow;
  // The host's window belongs to another client and may be gone.
  XErrorTrap trap(display);
  Window root = 0, up = 0;
  Window* children = nullptr;
  unsigned count = 0;
  if (!XQueryTree(display, host, &root, &up, &children, &count))
    return;
  if (children)
    XFree(children);
  XSetInputFocus(display, (up && up != root) ? up : host, RevertToNone, CurrentTime);
}

void SControl::ActivateOwner()
{
  if (parent)
    parent->Focus(true);
}

void SControl::Refresh()
{
  if (!(state & kStateShown))
    return;
  Display* display = Dpy();
  if (!display || !window)
    return;
  const Rect r = WindowRect();
  XEvent expose{};
  expose.xexpose.type = Expose;
  expose.xexpose.display = display;
  expose.xexpose.window = window;
  expose.xexpose.x = 0;
  expose.xexpose.y = 0;
  expose.xexpose.width = r.Width();
  expose.xexpose.height = r.Height();
  expose.xexpose.count = 0;
  XSendEvent(display, window, False, ExposureMask, &expose);
  XFlush(display);
}

void SControl::RefreshRectangle(const Rect& rect)
{
  if (!(state & kStateShown))
    return;
  Display* display = Dpy();
  if (!display || !window)
    return;
  XEvent expose{};
  expose.xexpose.type = Expose;
  expose.xexpose.display = display;
  expose.xexpose.window = window;
  expose.xexpose.x = rect.left;
  expose.xexpose.y = rect.top;
  expose.xexpose.width = rect.Width();
  expose.xexpose.height = rect.Height();
  expose.xexpose.count = 0;
  XSendEvent(display, window, False, ExposureMask, &expose);
}

void SControl::SendPaintMessage(const char* type, long d0, long d1, long d2, long d3, long d4)
{
  if (!(state & kStateShown))
    return;
  Display* display = Dpy();
  if (!display || !window)
    return;
  XEvent message{};
  message.xclient.type = ClientMessage;
  message.xclient.display = display;
  message.xclient.window = window;
  message.xclient.message_type = XInternAtom(display, type, False);
  message.xclient.format = 32;
  message.xclient.data.l[0] = d0;
  message.xclient.data.l[1] = d1;
  message.xclient.data.l[2] = d2;
  message.xclient.data.l[3] = d3;
  message.xclient.data.l[4] = d4;
  XSendEvent(display, window, False, NoEventMask, &message);
  XFlush(display);
}

void SControl::RefreshOutlines()
{
  const Rect r = WindowRect();
  SendPaintMessage("WM_PAINT_OUTLINES", 0, 0, 0, r.Width(), r.Height());
}

void SControl::RefreshRegion(SDrawRegion* region)
{
  if (!(state & kStateShown) || !window || !Dpy())
    return;
  // Sender and receiver share the process, but a client message carries only
  // 32-bit words: the message names the region by a token kept here.
  uint32_t token = 0;
  {
    std::lock_guard<std::mutex> hold(regionLock);
    token = nextRegionToken = (nextRegionToken % 0x7FFFFFFFu) + 1;
    pendingRegions.emplace_back(token, region);
  }
  SendPaintMessage("WM_PAINT_REGION", 0, static_cast<long>(token), 0, 0, 0);
}

SDrawRegion* SControl::TakePendingRegion(long token)
{
  std::lock_guard<std::mutex> hold(regionLock);
  for (auto it = pendingRegions.begin(); it != pendingRegions.end(); ++it) {
    if (static_cast<long>(it->first) == token) {
      SDrawRegion* region = it->second;
      pendingRegions.erase(it);
      return region;
    }
  }
  return nullptr;
}

void SControl::RefreshArea(unsigned area)
{
  SendPaintMessage("WM_PAINT_AREA", 0, static_cast<long>(area), 0, 0, 0);
}

void SControl::Draw(const Rect& rect)
{
  if (!drawing)
    return;
  drawing->DrawBackground(rect, false);
  if ((style & kStyleMarker) && statdata.ColourCount() > kColourBlue) {
    const int black = statdata.Colour(kColourBlack);
    drawing->SetPen(statdata.FindPen(black));
    drawing->SetBrush(statdata.FindBrush(black));
    drawing->FillRect(rect.left, rect.top, rect.right, rect.top + 10);
    drawing->FillRect(rect.left, rect.top, rect.left + 10, rect.bottom);
    drawing->FillRect(rect.right - 10, rect.top, rect.right, rect.bottom);
    drawing->FillRect(rect.left, rect.bottom - 10, rect.right, rect.bottom);
    const int blue = statdata.Colour(kColourBlue);
    drawing->SetPen(statdata.FindPen(blue));
    drawing->SetBrush(statdata.FindBrush(blue));
    drawing->DrawRect(rect);
    drawing->FillRect(rect.left + 1, rect.top + 1, rect.left + 10, rect.top + 10);
  }
  DrawOutlines(rect);
}

void SControl::DrawOutlines(const Rect& rect)
{
  if (!(style & kStyleFrame) || !drawing)
    return;
  drawing->SetPen(statdata.FindPen(drawing->GetFrameColour(Enabled(), false)));
  drawing->DrawRect(rect);
}

void SControl::DrawBorder(const Rect& rect)
{
  if (!(style & kStyleDecorated) || !drawing || statdata.ColourCount() <= kColourBlack)
    return;
  const int black = statdata.Colour(kColourBlack);
  drawing->SetPen(statdata.FindPen(black));
  drawing->SetBrush(statdata.FindBrush(black));
  drawing->FillRect(rect);
}

void SControl::MousePointer(int x, int y)
{
  Display* display = Dpy();
  if (display && window)
    XWarpPointer(display, None, window, 0, 0, 0, 0, x, y);
}

void SControl::SetDrawingMode(bool active)
{
  if (!drawing)
    return;
  drawing->SetBackgroundColour(active);
  drawing->SetForegroundColour(active);
}

void SControl::SetBackgroundMode(bool mode)
{
  if (drawing)
    drawing->SetBackgroundMode(mode);
}

void SControl::SetBackground(int colour, bool enabled)
{
  if (drawing)
    drawing->SetBackground(colour, enabled);
}

int SControl::SetBackgroundColour(bool enabled)
{
  return drawing ? drawing->SetBackgroundColour(enabled) : 0;
}

void SControl::SetBackgroundColour(int colour)
{
  if (drawing)
    drawing->SetBackgroundColour(colour);
}

int SControl::GetBackgroundColour()
{
  return drawing ? drawing->GetBackgroundColour() : 0;
}

int SControl::GetForegroundColour()
{
  return drawing ? drawing->GetForegroundColour() : 0;
}

void SControl::SetColours(int c1, int c2, int c3, int c4, int c5, int c6, int c7)
{
  if (drawing)
    drawing->SetColours(c1, c2, c3, c4, c5, c6, c7);
}

void SControl::SetTextColour(int colour)
{
  if (drawing)
    drawing->SetTextColour(colour, false);
}

void SControl::SetTitleText(const char* text)
{
  SetTitleProperties(text ? text : "");
}

int SControl::GetFrameColour(bool enabled, bool highlighted)
{
  return drawing ? drawing->GetFrameColour(enabled, highlighted) : 0;
}

void SControl::SetFrameColour(int plain, int highlighted, int disabled)
{
  if (drawing)
    drawing->SetFrameColour(plain, highlighted, disabled);
}

const Label& SControl::GetLabel()
{
  return label;
}

void SControl::EnableTooltip(bool enable)
{
  if (enable)
    state |= kStateTooltip;
  else
    state &= ~kStateTooltip;
}

void SControl::SetSize(int width, int height)
{
  const Rect r = WindowRect();
  SetGeometry(r.left, r.top, r.left + width, r.top + height);
  Display* display = Dpy();
  if (display && window && width > 0 && height > 0)
    XResizeWindow(display, window, static_cast<unsigned>(width), static_cast<unsigned>(height));
}

bool SControl::IsSubcontrol(unsigned id_)
{
  return id_ == id;
}

void SControl::SetRoundShape(bool round)
{
  Display* display = Dpy();
  if (!display || !window)
    return;
  if (!round) {
    XShapeCombineMask(display, window, ShapeBounding, 0, 0, None, ShapeSet);
    return;
  }
  const Rect r = WindowRect();
  const int W = r.Width();
  const int H = r.Height();
  const XRectangle corners[16] = {
      {0, 0, 5, 1},
      {0, 1, 3, 1},
      {0, 2, 2, 1},
      {0, 3, 1, 2},
      {static_cast<short>(W - 5), 0, 5, 1},
      {static_cast<short>(W - 3), 1, 3, 1},
      {static_cast<short>(W - 2), 2, 2, 1},
      {static_cast<short>(W - 1), 3, 1, 2},
      {0, static_cast<short>(H - 1), 5, 1},
      {0, static_cast<short>(H - 2), 3, 1},
      {0, static_cast<short>(H - 3), 2, 1},
      {0, static_cast<short>(H - 5), 1, 2},
      {static_cast<short>(W - 5), static_cast<short>(H - 1), 5, 1},
      {static_cast<short>(W - 3), static_cast<short>(H - 2), 3, 1},
      {static_cast<short>(W - 2), static_cast<short>(H - 3), 2, 1},
      {static_cast<short>(W - 1), static_cast<short>(H - 5), 1, 2},
  };
  Region shape = XCreateRegion();
  XRectangle whole{0, 0, static_cast<unsigned short>(W), static_cast<unsigned short>(H)};
  XUnionRectWithRegion(&whole, shape, shape);
  for (const XRectangle& corner : corners) {
    Region piece = XCreateRegion();
    XRectangle copy = corner;
    XUnionRectWithRegion(&copy, piece, piece);
    XSubtractRegion(shape, piece, shape);
    XDestroyRegion(piece);
  }
  XShapeCombineRegion(display, window, ShapeBounding, 0, 0, shape, ShapeSet);
  XDestroyRegion(shape);
}

bool SControl::Enabled() const
{
  if (!(state & kStateEnabled))
    return false;
  return !parent || ignoreParentEnable || parent->Enabled();
}

void SControl::GetClient2Screen(int* x, int* y) const
{
  Display* display = Dpy();
  if (!display || !window || !x || !y)
    return;
  int rx = 0, ry = 0;
  Window child = 0;
  if (XTranslateCoordinates(display, window, DefaultRootWindow(display), *x, *y, &rx, &ry,
                            &child)) {
    *x = rx;
    *y = ry;
  }
}

void SControl::GetScreen2Client(Point& point) const
{
  Display* display = Dpy();
  if (!display || !window)
    return;
  int cx = 0, cy = 0;
  Window child = 0;
  if (XTranslateCoordinates(display, DefaultRootWindow(display), window, point.x, point.y, &cx, &cy,
                            &child)) {
    point.x = cx;
    point.y = cy;
  }
}

void SControl::SetGeometry(int left, int top, int right, int bottom)
{
  std::lock_guard<std::mutex> hold(geometryLock);
  windowRect = Rect{left, top, right, bottom};
  clientRect = Rect{0, 0, right - left, bottom - top};
}

Rect SControl::WindowRect() const
{
  std::lock_guard<std::mutex> hold(geometryLock);
  return windowRect;
}

Rect SControl::ClientRect() const
{
  std::lock_guard<std::mutex> hold(geometryLock);
  return clientRect;
}

int SControl::Width() const
{
  return ClientRect().right;
}

int SControl::Height() const
{
  return ClientRect().bottom;
}

// Timers of a control.

namespace {

int DrawId(SGlobals* globals)
{
  return globals ? globals->NextId() : 0;
}

} // namespace

void SControl::CreateTimer(int interval, bool start)
{
  StopTimer(true);
  style |= kStyleTimer;
  timerId = DrawId(globals);
  timer = new vexo::threading::STimer(this, static_cast<unsigned>(timerId), 0);
  if (start)
    timer->Start(static_cast<unsigned>(interval));
}

vexo::threading::STimer* SControl::AddTimer(int interval, bool start)
{
  EnableEventHandler(kEventTimer);
  AddEventListener(this, kEventTimer);
  auto* added = new vexo::threading::STimer(this, static_cast<unsigned>(DrawId(globals)), 0);
  if (start)
    added->Start(static_cast<unsigned>(interval));
  return added;
}

void SControl::StartTimer(int interval)
{
  if (timer)
    timer->Start(static_cast<unsigned>(interval));
}

void SControl::StopTimer(bool destroy)
{
  if (!timer)
    return;
  timer->Stop();
  if (destroy) {
    delete timer;
    timer = nullptr;
    timerId = 0;
  }
}

void SControl::CreateIdleTimer(int interval, bool flag)
{
  if (!idleTimer)
    idleTimer = new vexo::threading::STimerIdle(this, DrawId(globals), interval, flag);
}

void SControl::CreateIdleFunction(void (**function)(void*), void* argument)
{
  if (idleTimer)
    idleTimer->SetFunction(function, argument);
}

void SControl::DestroyIdleFunction()
{
  if (idleTimer)
    idleTimer->RemoveFunction();
}

void SControl::DestroyIdleTimer()
{
  delete idleTimer;
  idleTimer = nullptr;
}

// The control's side of the toolkit events.

bool SControl::EventHandled(int code) const
{
  const SEventHandler* handler = eventManager.Handler(code);
  return handler && handler->enabled;
}

void SControl::AddEventListener(SControl* listener, int code)
{
  SEventHandler* handler = eventManager.Handler(code);
  if (listener && handler)
    handler->Add(listener);
}

void SControl::RemoveEventListener(SControl* listener, int code)
{
  SEventHandler* handler = eventManager.Handler(code);
  if (listener && handler)
    handler->Remove(listener);
}

void SControl::EnableEventHandler(int code)
{
  if (SEventHandler* handler = eventManager.Handler(code))
    handler->enabled = true;
}

void SControl::PrepareEvent(SEvent& record, int code, int kind, int value, float realValue,
                            void* data, SControl* sender, vexo::threading::SMutexID* lock)
{
  record.time = static_cast<int>(std::clock());
  record.code = code;
  record.kind = kind;
  record.value = value;
  record.realValue = realValue;
  record.sender = sender;
  record.lock = lock;
  record.data = data;
}

namespace {

// Calls ParseEvent on each listener, reading the list again before each call
// (a listener may add or remove listeners).
unsigned Deliver(const SEventHandler* handler, SEvent* record)
{
  unsigned count = 0;
  for (size_t i = 0;; ++i) {
    SControl* listener = handler->At(i);
    if (!listener)
      break;
    if (record->lock)
      record->lock->Lock();
    listener->ParseEvent(record);
    if (record->lock)
      record->lock->Unlock();
    ++count;
  }
  return count;
}

} // namespace

unsigned SControl::SendEvent(int code, int kind, int value, float realValue, void* data,
                             SControl* sender, vexo::threading::SMutexID* lock)
{
  const SEventHandler* handler = eventManager.Handler(code);
  if (!handler)
    return 0;
  // Each send hands its listeners a record of its own, so that sends from
  // two threads do not overwrite each other's record.
  SEvent record;
  {
    std::lock_guard<std::mutex> hold(eventLock);
    PrepareEvent(event, code, kind, value, realValue, data, sender, lock);
    record = event;
  }
  return Deliver(handler, &record);
}

void SControl::SendEvent(SEvent* record)
{
  if (!record)
    return;
  if (const SEventHandler* handler = eventManager.Handler(record->code))
    Deliver(handler, record);
}

} // namespace vexo::gui
