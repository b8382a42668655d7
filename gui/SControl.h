// vexo::gui::SControl: every visible element of the toolkit. Each control is
// an X window of its own (a child of its parent control's window, or a
// top-level window for dialogs and tooltips), carries the "_VEXOWND" and
// "_XEventProc" properties that name it and SControl::eventProc to whoever
// reads its X events, and owns its drawing context, input record, timers and
// tooltip data. Widgets derive from it (or from SWindow) and override the
// virtual operations below.
//
// Threads: controls are created, shown and destroyed on the host's threads
// (dispatcher or GUI thread). X events are dispatched on the toolkit's
// connection pump (or in a toolkit loop); redraw requests (Refresh...) may
// come from any thread, since they only queue an event; drawing happens only
// while an Expose or paint event is handled, inside XLockDisplay. Timer threads send
// code 9 through SendEvent; the idle thread calls idle functions. The flag
// words, `destroying`, `capture` and the geometry are safe to read from those
// threads; everything else belongs to the dispatching thread.
//
// Display rule: every X call goes to the toolkit's own connection `dps`
// (gui/XDisplay.h), never to a host's. Without it nothing is created and
// every operation does nothing.
#pragma once

#include "gui/SEvent.h"
#include "support/data/datastring.h"
#include "support/math/geom.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <utility>
#include <vector>

class SGlobals;
union _XEvent;
struct _XDisplay;

namespace vexo::threading {
class SMutexID;
class STimer;
class STimerIdle;
} // namespace vexo::threading

namespace vexo::gui {

namespace context {
class SDrawing;
class SInput;
class SDrawBitmap;
} // namespace context

class SToolTip;
class SToolTipData;
class SDrawRegion;

using Rect = vexo::math::geom::Rectangle<int, 2>;
using Point = vexo::math::geom::Point<int, 2>;
using Label = vexo::data::datastring<32, char>;

// Style flags (given to Create).
enum SStyle : int
{
  kStyleHasChildren = 0x2,
  kStyleOutlineOnHover = 0x4,
  kStyleAutoCapture = 0x8,
  kStyleRounded = 0x10,
  kStyleDialog = 0x100,
  kStyleApplication = 0x200,
  kStyleNoSizeHints = 0x400,
  kStyleMenuOnFocus = 0x800,
  kStyleWheelToParentA = 0x2000,
  kStyleDecorated = 0x20000,
  kStyleFrame = 0x40000,
  kStyleMarker = 0x80000,
  kStyleTimer = 0x100000,
  kStyleWheelToParentB = 0x200000,
  kStyleInRoot = 0x400000,
  kStyleAllInput = 0x800000,
};

// State flags (run time).
enum SState : int
{
  kStateEnabled = 0x1,
  kStateShown = 0x4,
  kStateConstructed = 0x8,
  kStateTooltip = 0x20,
  kStateNotMaximized = 0x80,
  kStateFocus = 0x100,
};

// One key shortcut; the second word is an X key symbol.
struct SShortcut
{
  int32_t first = 0;
  int32_t keysym = 0;
  int32_t third = 0;
};

class SIExtended
{
public:
  virtual ~SIExtended() = default;
};

class SControl : public SIExtended
{
public:
  // Builds an empty control without a window.
  SControl();
  // Builds the control and calls Create with the same arguments.
  SControl(SGlobals* globals, SControl* parent, unsigned id, const char* label, int style, int x,
           int y, int width, int height, unsigned long nativeParent = 0, bool unused = false);
  ~SControl() override;
  SControl(const SControl&) = delete;
  SControl& operator=(const SControl&) = delete;

  // Virtual operations, in the order of their slots.
  virtual int Create(SGlobals* globals, SControl* parent, unsigned id, const char* label, int style,
                     int x, int y, int width, int height, unsigned long nativeParent, bool unused);
  virtual void CreateContexts();
  virtual void CleanRessources();
  virtual void CleanUp();
  virtual void PrepareCleanUp();
  virtual void LoadControls() {}
  virtual void Reparent(unsigned long window);
  virtual void ReparentChildren() {}
  virtual void Inherit(unsigned long window);
  virtual void SetType(int) {}
  virtual void Enable(bool enable);
  virtual void EnableChildren(bool) {}
  virtual void Show();
  virtual void Hide();
  virtual void Reset() {}
  virtual void Toggle() {}
  virtual void Move(int dx, int dy);
  virtual void Move(Point& delta);
  virtual void Move(const Point& delta);
  virtual void Center();
  virtual void Center(Point& point);
  virtual void Foreground(bool unused);
  virtual void Minimized() {}
  virtual void WindowClose() {}
  virtual void WindowMinimize(bool) {}
  virtual void WindowMaximize(bool) {}
  virtual void CloseDialog() {}
  virtual void ClearState() {}
  virtual void CloseTip();
  virtual void Focussing(bool focus);
  virtual void Focus(bool take);
  virtual void FocusTopParent();
  virtual void ActivateOwner();
  virtual void Refresh();
  virtual void RefreshRectangle(const Rect& rect);
  virtual void RefreshOutlines();
  virtual void RefreshRegion(SDrawRegion* region);
  virtual void RefreshArea(unsigned area);
  virtual void RefreshControls(long) {}
  virtual void Draw(const Rect& rect);
  virtual void DrawRegion(SDrawRegion*) {}
  virtual void DrawArea(unsigned) {}
  virtual void DrawOutlines(const Rect& rect);
  virtual void DrawBorder(const Rect& rect);
  virtual void SetBitmaps(context::SDrawBitmap*, context::SDrawBitmap*) {}
  virtual void MousePosition(int x, int y);
  virtual bool* MouseState();
  virtual void MouseStateChanged(bool* /*flags*/, int /*code*/) {}
  virtual void MousePosChanged(int /*dx*/, int /*dy*/) {}
  virtual void MouseTracker(bool) {}
  virtual bool MouseTracking();
  virtual int Modifiers(int state);
  virtual void KeyStateChanged(int /*key*/, bool /*pressed*/, int /*modifiers*/, int /*keyClass*/)
  {
  }
  virtual void UpdateModifiers(int, bool);
  virtual int Key(int, bool) { return 1; }
  virtual void MouseSetCapture();
  virtual void MouseReleaseCapture();
  virtual void MousePointer(int x, int y);
  virtual void SetDrawingMode(bool active);
  virtual void SetBackgroundMode(bool mode);
  virtual void SetBackground(int colour, bool enabled);
  virtual int SetBackgroundColour(bool enabled);
  virtual void SetBackgroundColour(int colour);
  virtual int GetBackgroundColour();
  virtual int GetForegroundColour();
  virtual void SetColours(int c1, int c2, int c3, int c4, int c5, int c6, int c7);
  virtual void SetTextColour(int colour);
  virtual void SetTitleColour(bool) {}
  virtual void SetTitleText(const char* text);
  virtual int GetFrameColour(bool enabled, bool highlighted);
  virtual void SetFrameColour(int plain, int highlighted, int disabled);
  virtual const Label& GetLabel();
  virtual void SetAlignment(int) {}
  virtual void SetOffset(Point) {}
  virtual void SetLabelOffset(Point&) {}
  virtual void SetTextSize(int) {}
  virtual void Highlight(bool, int, int, int) {}
  virtual void CreateTimer(int interval, bool start);
  virtual void CreateIdleTimer(int interval, bool flag);
  virtual void CreateIdleFunction(void (**function)(void*), void* argument);
  virtual void DestroyIdleTimer();
  virtual void DestroyIdleFunction();
  virtual void StartTimer(int interval);
  virtual void StopTimer(bool destroy);
  virtual vexo::threading::STimer* AddTimer(int interval, bool start);
  virtual void TimerProc(int) {}
  virtual void IdleProc() {}
  virtual void Run() {}
  virtual void Stop() {}
  virtual void ParseEvent(SEvent*) {}
  virtual void EnableHandlers() {}
  virtual void MenuProcess(short) {}
  virtual void ChangeMenu() {}
  virtual void ShowMenu(const Point&) {}
  virtual void CloseMenu() {}
  virtual void SetTooltip(SToolTip* tooltip, const char* text, int side);
  virtual void SetTooltip(SToolTip* tooltip, const Label& text, int side);
  virtual void SetTooltip(SToolTip* tooltip, SToolTipData* data, int side);
  virtual void ShowTooltip(const Point& position);
  virtual void HideTooltip();
  virtual void EnableTooltip(bool enable);
  virtual void SetSize(int width, int height);
  virtual bool IsSubcontrol(unsigned id);
  virtual void SetRoundShape(bool round);

  // Not virtual.
  // Absolute position in the parent (moves the rectangle and the window).
  void SetPosition(int x, int y);
  // True when enabled and the parent chain allows it.
  bool Enabled() const;
  // Coordinates between this window and the root window, in place.
  void GetClient2Screen(int* x, int* y) const;
  void GetScreen2Client(Point& point) const;

  // The toolkit's events (see SEvent.h).
  bool EventHandled(int code) const;
  void AddEventListener(SControl* listener, int code);
  void RemoveEventListener(SControl* listener, int code);
  void EnableEventHandler(int code);
  // Refills the event record and calls ParseEvent on every listener of the
  // code, in registration order; returns the number of listeners.
  unsigned SendEvent(int code, int kind, int value, float realValue, void* data, SControl* sender,
                     vexo::threading::SMutexID* lock);
  void SendEvent(SEvent* event);
  static void PrepareEvent(SEvent& event, int code, int kind, int value, float realValue,
                           void* data, SControl* sender, vexo::threading::SMutexID* lock);

  // Geometry, safe from any thread.
  Rect WindowRect() const;
  Rect ClientRect() const;
  int Width() const;
  int Height() const;

  // The X event procedure published in "_XEventProc": handles one event of a
  // toolkit window. Hosts call it on their GUI thread.
  static int eventProc(union _XEvent* event);
  // Reports an X error (the xerror member of the event) on standard error
  // and sets xerror. Installed around the property read of eventProc.
  static int errorHandler(struct _XDisplay* display, union _XEvent* error);

  // Translates an X key symbol by the key table; keyClass receives the class.
  static int TranslateKey(unsigned long keysym, int& keyClass);

  static std::atomic<bool> xerror;

  // Fields, read directly by widgets and windows.
  SGlobals* globals = nullptr;
  SControl* parent = nullptr;
  uint32_t id = 0;
  int timerId = 0;
  Label label;
  std::atomic<int> style{0};
  std::atomic<int> state{0x9};
  SEventManager eventManager;
  SEvent event;
  context::SDrawing* drawing = nullptr;
  context::SInput* input = nullptr;
  vexo::threading::STimer* timer = nullptr;
  vexo::threading::STimerIdle* idleTimer = nullptr;
  SToolTipData* tooltip = nullptr;
  std::vector<SShortcut> shortcuts;
  bool mouseInput = false;
  std::atomic<bool> destroying{false};
  bool cleanedUp = false;
  bool ignoreParentEnable = false;
  unsigned long window = 0; // X Window
  unsigned long nativeParent = 0;
  unsigned long savedFocus = 0;
  unsigned long deleteWindowAtom = 0;

protected:
  // Forgets the control in the registry and destroys its X window.
  void DestroyWindow();
  // The window and client rectangles; written under geometryLock so that
  // other threads (redraw requests) read them whole.
  void SetGeometry(int left, int top, int right, int bottom);
  mutable std::mutex geometryLock;
  Rect windowRect;
  Rect clientRect;

private:
  void SendPaintMessage(const char* type, long d0, long d1, long d2, long d3, long d4);
  void SetTitleProperties(const char* text);
  void DeleteTooltipData();
  // Where the tooltip opens when the pointer enters (root coordinates).
  Point TooltipPosition();

  // The region that RefreshRegion sent under this token, once; null for a
  // token it did not send (any client can send a paint message).
  SDrawRegion* TakePendingRegion(long token);

  std::mutex eventLock; // the event record, refilled by SendEvent
  std::mutex regionLock;
  // Sent by RefreshRegion, not yet drawn. A client message carries 32-bit
  // words, so the message names the region by a token rather than by its
  // address.
  std::vector<std::pair<uint32_t, SDrawRegion*>> pendingRegions;
  uint32_t nextRegionToken = 0;
  friend struct EventDispatch;
};

// The control that holds the mouse capture, or null.
extern std::atomic<SControl*> capture;
// The "WM_CHANGE_STATE" atom, interned once when first needed.
extern std::atomic<unsigned long> wm_change;

} // namespace vexo::gui
