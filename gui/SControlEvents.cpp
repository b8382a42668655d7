// SControl::eventProc: every X event of a toolkit window passes through here,
// called by the toolkit's connection pump, its own loops, or a host (through
// "_XEventProc"). Events of other connections and other windows are
// recognised at once and ignored; for a window of the toolkit's the control
// is found from "_VEXOWND" (only a live control of this library is accepted,
// see SControlRegistry.h) and the event is turned into calls of the
// control's virtual operations.
#include "gui/SControl.h"

#include "gui/SControlRegistry.h"
#include "gui/SCursor.h"
#include "gui/SGlobals.h"
#include "gui/XDisplay.h"
#include "gui/XErrorTrap.h"
#include "gui/context/SInput.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <cstdio>
#include <cstring>

namespace vexo::gui {

using namespace context;

namespace {

int ReportError(Display* display, XErrorEvent* error)
{
  // Xlib hands the handler the xerror member of an XEvent.
  return SControl::errorHandler(display, reinterpret_cast<XEvent*>(error));
}

void SetCursor(SControl* control)
{
  if (control && control->globals && control->globals->currentCursor)
    control->globals->currentCursor->Set();
}

void FreeCursor(SControl* control)
{
  if (control && control->globals && control->globals->currentCursor)
    control->globals->currentCursor->Free();
}

// The pointer's root position translated into the control's window lies
// within its client rectangle (edges included). The window asked about may
// have been destroyed since the event was queued (a host may destroy its
// window, and the panel's with it, before it closes the editor, even while
// the panel's map is still on its way to us), so the query is trapped and its
// error never reaches the host's handler. The trap waits for the server, but
// only maps, unmaps and focus changes ask.
bool PointerInside(Display* display, SControl* control)
{
  if (!control || !control->window)
    return false;
  int rootX = 0, rootY = 0, x = 0, y = 0;
  Window child = 0;
  if (!PointerOnRoot(display, rootX, rootY))
    return false;
  XErrorTrap trap(display);
  if (!XTranslateCoordinates(display, DefaultRootWindow(display), control->window, rootX, rootY, &x,
                             &y, &child) ||
      trap.Failed())
    return false;
  const Rect client = control->ClientRect();
  return x >= 0 && x <= client.right && y >= 0 && y <= client.bottom;
}

// A handler of this thread may have deleted the control it was called on.
bool Alive(SControl* control)
{
  return registry::IsLive(control);
}

} // namespace

struct EventDispatch
{
  static int Key(SControl* control, XKeyEvent& key)
  {
    if (!control->Enabled())
      return 1;
    SControl* target = capture.load();
    if (!target)
      target = control;
    bool* flags = target->MouseState();
    if (!flags)
      return 1;
    const bool pressed = key.type == KeyPress;
    char buffer[20];
    KeySym symbol = 0;
    XLookupString(&key, buffer, sizeof buffer, &symbol, nullptr);
    int keyClass = 0;
    const int translated = SControl::TranslateKey(symbol, keyClass);
    switch (symbol) {
    case XK_Shift_L:
    case XK_Shift_R:
      flags[kMouseShift] = pressed;
      break;
    case XK_Control_L:
    case XK_Control_R:
      flags[kMouseCtrl] = pressed;
      break;
    case XK_Alt_L:
    case XK_Alt_R:
      flags[kMouseAlt] = pressed;
      break;
    default:
      break;
    }
    const int modifiers = (flags[kMouseShift] ? kModifierShift : 0) |
                          (flags[kMouseCtrl] ? kModifierCtrl : 0) |
                          (flags[kMouseAlt] ? kModifierAlt : 0);
    if (pressed) {
      for (const SShortcut& shortcut : target->shortcuts) {
        if (shortcut.keysym == static_cast<int32_t>(symbol)) {
          int data[3] = {0, static_cast<int>(symbol), modifiers};
          target->SendEvent(kEventShortcut, kPayloadRecord, 0, 0.0f, data, target, nullptr);
          if (!Alive(target))
            return 1;
          break;
        }
      }
    }
    target->KeyStateChanged(translated, pressed, modifiers, keyClass);
    return 1;
  }

  static int Press(SControl* control, XButtonEvent& button)
  {
    SetCursor(control);
    if (!control->Enabled())
      return 1;
    bool* flags = control->MouseState();
    if (!flags || !control->input)
      return 1;
    int pressCode = -1;
    int doubleCode = -1;
    switch (button.button) {
    case Button1:
      if (!flags[kMouseLeftDown])
        pressCode = kMouseLeftDown;
      flags[kMouseLeftDown] = true;
      flags[kMouseRightDown] = flags[kMouseMiddleDown] = false;
      break;
    case Button2:
      if (!flags[kMouseMiddleDown])
        pressCode = kMouseMiddleDown;
      flags[kMouseMiddleDown] = true;
      flags[kMouseRightDown] = false;
      break;
    case Button3:
      if (!flags[kMouseRightDown])
        pressCode = kMouseRightDown;
      flags[kMouseRightDown] = true;
      flags[kMouseMiddleDown] = false;
      break;
    case Button4:
    case Button5: {
      SControl* receiver = control;
      const int style = control->style;
      if ((style & kStyleWheelToParentA) && (style & kStyleWheelToParentB)) {
        receiver = control->parent;
        if (!receiver || !receiver->Enabled())
          return 1;
      }
      bool* wheel = receiver->MouseState();
      if (!wheel)
        return 1;
      wheel[kMouseWheel] = true;
      wheel[kMouseLeftDown] = wheel[kMouseRightDown] = wheel[kMouseMiddleDown] = false;
      wheel[kMouseWheelUp] = button.button == Button4;
      wheel[kMouseWheelDown] = button.button == Button5;
      receiver->Modifiers(static_cast<int>(button.state));
      receiver->MouseStateChanged(wheel, kMouseWheel);
      if (Alive(receiver))
        receiver->MousePosition(button.x, button.y);
      return 1;
    }
    default:
      break;
    }

    SInput& input = *control->input;
    const auto time = static_cast<unsigned long>(button.time);
    if (input.pressTime == 0) {
      input.pressTime = time;
      input.pressButton = static_cast<int32_t>(button.button);
    } else if (static_cast<uint32_t>(time - input.pressTime) > 359u ||
               static_cast<int32_t>(button.button) != input.pressButton) {
      input.pressTime = time;
      input.pressButton = static_cast<int32_t>(button.button);
    } else {
      input.pressTime = time;
      input.pressButton = static_cast<int32_t>(button.button);
      if (button.button == Button1) {
        if (!flags[kMouseLeftDouble])
          doubleCode = kMouseLeftDouble;
        flags[kMouseLeftDouble] = true;
        flags[kMouseRightDouble] = flags[kMouseMiddleDouble] = false;
      } else if (button.button == Button2) {
        if (!flags[kMouseMiddleDouble])
          doubleCode = kMouseMiddleDouble;
        flags[kMouseMiddleDouble] = true;
        flags[kMouseLeftDouble] = flags[kMouseRightDouble] = false;
      } else if (button.button == Button3) {
        if (!flags[kMouseRightDouble])
          doubleCode = kMouseRightDouble;
        flags[kMouseRightDouble] = true;
        flags[kMouseLeftDouble] = flags[kMouseMiddleDouble] = false;
      }
    }
    flags[kMouseOver] = true;
    flags[kMouseEntered] = flags[kMouseLeft] = flags[kMouseReleased] = flags[kMouseWheel] = false;
    control->Modifiers(static_cast<int>(button.state));
    if (doubleCode >= 0)
      control->MouseStateChanged(flags, doubleCode);
    else if (pressCode >= 0)
      control->MouseStateChanged(flags, pressCode);
    if (!Alive(control))
      return 0;
    if ((control->style & kStyleAutoCapture) && !flags[kMouseCaptured]) {
      control->MouseSetCapture();
      control->MouseStateChanged(flags, kMouseCaptured);
      if (!Alive(control))
        return 0;
    }
    control->MousePosition(button.x, button.y);
    return 0;
  }

  static int Release(SControl* control, XButtonEvent& button)
  {
    if (!control->Enabled())
      return 1;
    SControl* target = capture.load();
    if (!target)
      target = control;
    bool* flags = target->MouseState();
    if (!flags)
      return 0;
    const bool wasReleased = flags[kMouseReleased];
    const bool wasOver = flags[kMouseOver];
    flags[kMouseReleased] = true;
    for (int i : {kMouseMoving, kMouseLeftDown, kMouseRightDown, kMouseMiddleDown, kMouseLeftDouble,
                  kMouseRightDouble, kMouseMiddleDouble, kMouseWheel, kMouseEntered})
      flags[i] = false;
    if (wasOver) {
      flags[kMouseLeft] = false;
      SetCursor(target);
    } else {
      flags[kMouseLeft] = true;
      FreeCursor(target);
    }
    target->Modifiers(static_cast<int>(button.state));
    if (!wasReleased) {
      target->MouseStateChanged(flags, kMouseReleased);
      if (!Alive(target))
        return 0;
    }
    target->MousePosition(button.x, button.y);
    if ((target->style & kStyleAutoCapture) && flags[kMouseCaptured]) {
      target->MouseReleaseCapture();
      target->MouseStateChanged(flags, kMouseCaptured);
    }
    return 0;
  }

  static int Motion(SControl* control, XMotionEvent& motion)
  {
    SetCursor(control);
    if (!control->Enabled())
      return 1;
    SControl* target = capture.load();
    if (!target)
      target = control;
    bool* flags = target->MouseState();
    if (!flags)
      return 0;
    if (flags[kMouseOver]) {
      const bool report = flags[kMouseEntered] || !flags[kMouseMoving];
      flags[kMouseEntered] = false;
      flags[kMouseMoving] = true;
      flags[kMouseWheel] = false;
      target->Modifiers(static_cast<int>(motion.state));
      if (report) {
        target->MouseStateChanged(flags, kMouseMoving);
        if (!Alive(target))
          return 0;
      }
    } else {
      flags[kMouseEntered] = flags[kMouseMoving] = flags[kMouseWheel] = false;
      target->Modifiers(static_cast<int>(motion.state));
    }
    target->MousePosition(motion.x, motion.y);
    return 0;
  }

  static int Crossing(SControl* control, XCrossingEvent& crossing)
  {
    const bool enter = crossing.type == EnterNotify;
    if (enter)
      SetCursor(control);
    else
      FreeCursor(control);
    if (!control->Enabled() || capture.load())
      return 1;
    bool* flags = control->MouseState();
    if (!flags)
      return 0;
    int code = -1;
    const bool tips = control->tooltip && (control->state & kStateTooltip);
    if (enter) {
      if (!flags[kMouseEntered])
        code = kMouseEntered;
      flags[kMouseOver] = flags[kMouseEntered] = true;
      flags[kMouseLeft] = false;
      if (tips)
        control->ShowTooltip(control->TooltipPosition());
    } else {
      if (!flags[kMouseLeft])
        code = kMouseLeft;
      flags[kMouseEntered] = flags[kMouseOver] = false;
      flags[kMouseLeft] = true;
      if (tips)
        control->HideTooltip();
    }
    if (!flags[kMouseCaptured]) {
      for (int i : {kMouseLeftDown, kMouseRightDown, kMouseMiddleDown, kMouseLeftDouble,
                    kMouseRightDouble, kMouseMiddleDouble})
        flags[i] = false;
    }
    flags[kMouseWheel] = false;
    control->Modifiers(static_cast<int>(crossing.state));
    if (code >= 0) {
      control->MouseStateChanged(flags, code);
      if (!Alive(control))
        return 0;
    }
    control->MousePosition(crossing.x, crossing.y);
    if (control->style & kStyleOutlineOnHover)
      control->RefreshOutlines();
    return 0;
  }

  static int Paint(SControl* control, Display* display, Window window)
  {
    if (!(control->state & kStateShown))
      return 0;
    XLockDisplay(display);
    XEvent pending;
    while (XCheckTypedWindowEvent(display, window, Expose, &pending)) {
    }
    control->Draw(control->ClientRect());
    XFlush(display);
    XUnlockDisplay(display);
    return 0;
  }

  static int Configure(SControl* control, Display* display, XConfigureEvent& configure)
  {
    XConfigureEvent last = configure;
    XEvent pending;
    while (XCheckTypedWindowEvent(display, configure.window, ConfigureNotify, &pending))
      last = pending.xconfigure;
    control->SetGeometry(last.x, last.y, last.x + last.width, last.y + last.height);
    return 0;
  }

  static int Message(SControl* control, Display* display, XClientMessageEvent& message)
  {
    char* name = nullptr;
    {
      // The message type comes from whoever sent the message.
      XErrorTrap trap(display);
      name = XGetAtomName(display, message.message_type);
    }
    if (!name)
      return 0;
    int result = 0;
    if (!std::strcmp(name, "WM_PAINT_REGION")) {
      if (SDrawRegion* region = control->TakePendingRegion(message.data.l[1])) {
        XLockDisplay(display);
        control->DrawRegion(region);
        XFlush(display);
        XUnlockDisplay(display);
      }
      result = 1;
    } else if (!std::strcmp(name, "WM_PAINT_AREA")) {
      XLockDisplay(display);
      control->DrawArea(static_cast<unsigned>(message.data.l[1]));
      XFlush(display);
      XUnlockDisplay(display);
      result = 1;
    } else if (!std::strcmp(name, "WM_PAINT_OUTLINES")) {
      const Rect r = control->WindowRect();
      XLockDisplay(display);
      control->DrawOutlines(Rect{0, 0, r.Width(), r.Height()});
      XFlush(display);
      XUnlockDisplay(display);
      result = 1;
    } else if (!std::strcmp(name, "WM_MENU_ENTERED") || !std::strcmp(name, "WM_MENU_LEFT")) {
      result = 1;
    } else if (!std::strcmp(name, "WM_PROTOCOLS")) {
      const int style = control->style;
      if ((style & kStyleDialog) && !(style & kStyleInRoot)) {
        control->CloseDialog();
        result = 1;
      } else if (style & kStyleApplication) {
        control->Stop();
        result = 1;
      }
    }
    XFree(name);
    return result;
  }

  // The event types Dispatch does something with; for the others (property
  // and structure notifications the windows select) the owner is not even
  // looked up, which saves a request each.
  static bool Handles(int type)
  {
    switch (type) {
    case KeyPress:
    case KeyRelease:
    case ButtonPress:
    case ButtonRelease:
    case MotionNotify:
    case EnterNotify:
    case LeaveNotify:
    case FocusIn:
    case FocusOut:
    case Expose:
    case NoExpose:
    case UnmapNotify:
    case MapNotify:
    case ConfigureNotify:
    case ClientMessage:
    case MappingNotify:
      return true;
    default:
      return false;
    }
  }

  static int Dispatch(SControl* control, Display* display, XEvent& event)
  {
    switch (event.type) {
    case KeyPress:
    case KeyRelease:
      return Key(control, event.xkey);
    case ButtonPress:
      return Press(control, event.xbutton);
    case ButtonRelease:
      return Release(control, event.xbutton);
    case MotionNotify:
      return Motion(control, event.xmotion);
    case EnterNotify:
    case LeaveNotify:
      return Crossing(control, event.xcrossing);
    case FocusIn:
      control->Focussing(true);
      if (control->globals && PointerInside(display, control))
        SetCursor(control);
      return 0;
    case FocusOut: {
      const int style = control->style;
      if (style & kStyleDialog) {
        bool* flags = control->MouseState();
        if (flags && flags[kMouseCaptured]) {
          control->MouseReleaseCapture();
          control->MouseStateChanged(flags, kMouseCaptured);
          if (!Alive(control))
            return 0;
        }
        if (style & kStyleMenuOnFocus)
          control->CloseMenu();
      }
      control->Focussing(false);
      return 0;
    }
    case Expose:
      return Paint(control, display, event.xexpose.window);
    case NoExpose:
      return 1;
    case UnmapNotify:
      if (control->globals && control->parent && PointerInside(display, control->parent))
        SetCursor(control);
      control->state &= ~kStateShown;
      return 0;
    case MapNotify:
      if (control->globals && PointerInside(display, control))
        SetCursor(control);
      control->state |= kStateShown;
      return 0;
    case ConfigureNotify:
      return Configure(control, display, event.xconfigure);
    case ClientMessage:
      return Message(control, display, event.xclient);
    case MappingNotify:
      if (event.xmapping.request == MappingModifier || event.xmapping.request == MappingKeyboard) {
        XRefreshKeyboardMapping(&event.xmapping);
        return 1;
      }
      return 0;
    default:
      return 0;
    }
  }
};

int SControl::eventProc(XEvent* event)
{
  if (!event)
    return 0;
  Display* display = ActiveDisplay();
  const Window window = event->xany.window;
  // The toolkit's windows select their events on its own connection only.
  // An event read from another connection (a host that passes every event of
  // its own to this procedure) or of a window that is not the toolkit's is
  // someone else's: it is recognised without asking the server (no call on
  // the host's connection, which belongs to its thread) and left alone, so
  // that nothing is handled twice.
  if (!display || !window || (event->xany.display && event->xany.display != display) ||
      !registry::OwnsWindow(window) || !EventDispatch::Handles(event->type))
    return 0;
  const Atom owner = XInternAtom(display, "_VEXOWND", False);

  // The handler is swapped under the display lock, as XErrorTrap does.
  XLockDisplay(display);
  xerror = false;
  XErrorHandler previous = XSetErrorHandler(ReportError);
  Atom type = 0;
  int format = 0;
  unsigned long items = 0, after = 0;
  unsigned char* data = nullptr;
  const int status = XGetWindowProperty(display, window, owner, 0, 1, False, AnyPropertyType, &type,
                                        &format, &items, &after, &data);
  XSetErrorHandler(previous);
  const bool failed = xerror;
  XUnlockDisplay(display);
  long value = 0;
  if (status == Success && items == 1 && format == 32 && data)
    std::memcpy(&value, data, sizeof value);
  if (data)
    XFree(data);
  if (failed || !value)
    return 0;

  // Only a live control of this library whose window this is.
  registry::Pin pin(value, window);
  if (!pin.Get())
    return 0;
  return EventDispatch::Dispatch(pin.Get(), display, *event);
}

int SControl::errorHandler(Display* display, XEvent* event)
{
  const XErrorEvent& error = event->xerror;
  char text[1024] = {};
  XGetErrorText(display, error.error_code, text, sizeof text);
  std::fprintf(stderr, "XError Message: %s\n", text);
  if (error.request_code < 128) {
    char number[32];
    std::snprintf(number, sizeof number, "%d", error.request_code);
    char request[1024] = {};
    XGetErrorDatabaseText(display, "XRequest", number, "", request, sizeof request);
    std::fprintf(stderr, "XError Message: (%s)\n", request);
    std::fprintf(stderr, "XError Message: Request=%i\n", error.request_code);
    std::fprintf(stderr, "XError Message: Serial=%i\n", static_cast<int>(error.serial));
    std::fprintf(stderr, "XError Message: Minor=%i\n", error.minor_code);
    std::fprintf(stderr, "XError Message: XID=%i\n", static_cast<int>(error.resourceid));
  }
  xerror = true;
  return 0;
}

int SControl::TranslateKey(unsigned long symbol, int& keyClass)
{
  keyClass = 0;
  switch (symbol) {
  case XK_space:
  case XK_KP_Space:
    return 32;
  case XK_asterisk:
  case XK_KP_Multiply:
    return 42;
  case XK_plus:
  case XK_KP_Add:
    return 43;
  case XK_comma:
  case XK_KP_Separator:
    return 44;
  case XK_minus:
  case XK_KP_Subtract:
    return 45;
  case XK_period:
  case XK_KP_Decimal:
    return 46;
  case XK_slash:
  case XK_KP_Divide:
    return 47;
  case XK_equal:
  case XK_KP_Equal:
    return 61;
  default:
    break;
  }
  if (symbol >= XK_0 && symbol <= XK_9)
    return static_cast<int>(symbol - XK_0) + 48;
  if (symbol >= XK_KP_0 && symbol <= XK_KP_9)
    return static_cast<int>(symbol - XK_KP_0) + 48;

  static const struct
  {
    unsigned long a, b;
    int key;
  } special[] = {
      {XK_Return, XK_KP_Enter, 0},
      {XK_Escape, XK_Escape, 1},
      {XK_Tab, XK_KP_Tab, 2},
      {XK_BackSpace, XK_BackSpace, 3},
      {XK_Delete, XK_KP_Delete, 4},
      {XK_Insert, XK_KP_Insert, 5},
      {XK_Up, XK_KP_Up, 6},
      {XK_Down, XK_KP_Down, 7},
      {XK_Left, XK_KP_Left, 8},
      {XK_Right, XK_KP_Right, 9},
      {XK_Prior, XK_KP_Prior, 10},
      {XK_Next, XK_KP_Next, 11},
      {XK_Home, XK_KP_Home, 12},
      {XK_End, XK_KP_End, 13},
      {XK_Caps_Lock, XK_Caps_Lock, 14},
      {XK_Print, XK_Print, 15},
      {XK_Pause, XK_Break, 16},
  };
  for (const auto& entry : special) {
    if (symbol == entry.a || symbol == entry.b) {
      keyClass = 4;
      return entry.key;
    }
  }
  switch (symbol) {
  case XK_Shift_L:
  case XK_Shift_R:
    keyClass = 3;
    return 17;
  case XK_Control_L:
  case XK_Control_R:
    keyClass = 3;
    return 18;
  case XK_Alt_L:
  case XK_Alt_R:
    keyClass = 3;
    return 19;
  default:
    break;
  }
  if ((symbol >= XK_KP_F1 && symbol <= XK_KP_F4) || (symbol >= XK_F1 && symbol <= XK_F24))
    keyClass = 5;
  return static_cast<int>(symbol);
}

// Mouse and keyboard state of a control.

void SControl::MousePosition(int x, int y)
{
  if (!input)
    return;
  if (x == input->x && y == input->y) {
    input->dx = input->dy = 0;
    input->flags[kMouseMoving] = false;
    return;
  }
  input->dx = x - input->x;
  input->dy = y - input->y;
  input->x = x;
  input->y = y;
  input->flags[kMouseMoving] = true;
  MousePosChanged(input->dx, input->dy);
}

bool* SControl::MouseState()
{
  return input ? input->flags : nullptr;
}

bool SControl::MouseTracking()
{
  return input && input->flags[kMouseTracking];
}

int SControl::Modifiers(int state_)
{
  if (input) {
    input->flags[kMouseShift] = state_ & ShiftMask;
    input->flags[kMouseCtrl] = state_ & ControlMask;
    input->flags[kMouseAlt] = state_ & Mod1Mask;
  }
  return state_;
}

void SControl::UpdateModifiers(int, bool)
{
  if (!input)
    return;
  input->flags[kMouseShift] = input->keyState & ShiftMask;
  input->flags[kMouseCtrl] = input->keyState & ControlMask;
  input->flags[kMouseAlt] = input->keyState & Mod1Mask;
}

void SControl::MouseSetCapture()
{
  capture = this;
  if (input)
    input->flags[kMouseCaptured] = true;
  Display* display = ActiveDisplay();
  if (!display || !window)
    return;
  const unsigned mask = ButtonPressMask | ButtonReleaseMask | EnterWindowMask | LeaveWindowMask |
                        PointerMotionMask | ButtonMotionMask;
  if (XGrabPointer(display, window, False, mask, GrabModeAsync, GrabModeAsync, None, None,
                   CurrentTime) != GrabSuccess) {
    SControl* self = this;
    capture.compare_exchange_strong(self, nullptr);
    if (input)
      input->flags[kMouseCaptured] = false;
  }
}

void SControl::MouseReleaseCapture()
{
  if (input)
    input->flags[kMouseCaptured] = false;
  capture = nullptr;
  if (Display* display = ActiveDisplay())
    XUngrabPointer(display, CurrentTime);
}

} // namespace vexo::gui
