#include "editor/SPluginEditor.h"

#include "editor/SPluginPanel.h"
#include "engine/VSTPlugin.h"
#include "gui/SConnectionPump.h"
#include "gui/SControl.h"
#include "gui/SCursor.h"
#include "gui/SGlobals.h"
#include "gui/XDisplay.h"
#include "gui/XErrorTrap.h"
#include "model/Parameters.h"
#include "plugin/PluginInfo.h"
#include "support/data/datastring.h"

#include <X11/Xlib.h>

#include <cstring>

namespace {

struct HostPattern
{
  const char* text;
  int32_t id;
};

// Tested in this order; the first match decides. "Cubase" is refined by the
// host's vendor version.
constexpr HostPattern kHostPatterns[] = {
    {"Cubase", 8},    {"Samplitude", 10}, {"SAVIHost", 6}, {"Melodyne", 7}, {"Tracktion", 11},
    {"Cantabile", 5}, {"Phrazor", 12},    {"Usine", 13},   {"energyXT", 2},
};

constexpr int32_t kHostUsine = 13;
constexpr int32_t kCubaseVersion4 = 8199;
constexpr int kPanelStyle = 0x80001;

// "Quillet (N)" with a fresh number of the shared generator.
vexo::data::datastring<32, char> WindowName(SGlobals* globals)
{
  vexo::data::datastring<32, char> name;
  name.Append(quillet::kProductName);
  name.Append(" (");
  name.Append(32, "%i", static_cast<int32_t>(globals->generator.Integer()));
  name.Append(")");
  return name;
}

} // namespace

SPluginEditor::SPluginEditor(AudioEffect* plugin_, SGlobals* globals_, int& status)
    : SIPluginEditor(plugin_), globals(globals_), plugin(plugin_)
{
  // Several threads (idle refreshes, event delivery) share the connection.
  XInitThreads();
  for (auto& pending : pendingIndices)
    pending = 0;
  GetHostApp(status);
}

SPluginEditor::~SPluginEditor()
{
  if (isOpen)
    close();
  // Nobody listens any more.
  hostCalls.Clear();
  vexo::gui::SDisplayLock hold;
  delete cursor;
  cursor = nullptr;
  DeletePanel();
  delete holder;
  holder = nullptr;
  // What the panel's windows left queued before they went.
  vexo::gui::DropStaleEvents(ActiveDisplay());
}

SIPluginEditor* MakePluginEditor(SPlugin* plugin, SGlobals* globals, int& status)
{
  return new SPluginEditor(plugin, globals, status);
}

SPluginEditor* EditorOf(const SPlugin& plugin)
{
  // Every editor a plug-in holds comes from MakePluginEditor.
  return static_cast<SPluginEditor*>(plugin.PluginEditor());
}

// ------------------------------------------------------- host identification

const char* SPluginEditor::HostName(int32_t id)
{
  static const char* const names[] = {
      "(unknown)",  "Sonar",     "Energy XT", "Project 5",     "FL Studio",
      "Cantabile",  "SaviHost",  "Melodyne",  "Cubase/Nuendo", "Cubase4/Nuendo4",
      "Samplitude", "Tracktion", "Phrazor",   "Usine"};
  if (id < 1 || id > 13)
    return names[0];
  return names[id];
}

void SPluginEditor::GetHostApp(int& status)
{
  auto* host = static_cast<AudioEffectX*>(effect);
  if (!host)
    return;
  // Hosts may write up to 64 characters; the buffers are larger still.
  char vendor[128] = {};
  char product[128] = {};
  host->getHostVendorString(vendor);
  host->getHostProductString(product);
  product[sizeof product - 1] = '\0';

  hostApp = 0;
  if (product[0] == '\0')
    return;
  for (const HostPattern& pattern : kHostPatterns) {
    if (!std::strstr(product, pattern.text))
      continue;
    hostApp = pattern.id;
    if (hostApp == 8 && host->getHostVendorVersion() > kCubaseVersion4)
      hostApp = 9;
    if (hostApp == kHostUsine)
      status = 3;
    return;
  }
}

// ------------------------------------------------------------ open, close

void SPluginEditor::CreatePanel(unsigned long parent)
{
  const vexo::data::datastring<32, char> name = WindowName(globals);
  panel =
      new SPluginPanel(globals, nullptr, static_cast<unsigned>(globals->TopLevelId()), name.Text(),
                       kPanelStyle, 0, 0, kBaseWidth, kHeight, static_cast<int>(parent), false);
  panel->editor = this;
  panel->plugin = static_cast<VSTPlugin*>(plugin);
  panel->LoadControls();
}

void SPluginEditor::DeletePanel()
{
  if (!panel)
    return;
  // The host may have destroyed its window and the panel's with it: hiding
  // and destroying them then fails, and no error may reach the host.
  vexo::gui::XErrorTrap trap(ActiveDisplay());
  delete panel;
  panel = nullptr;
}

bool SPluginEditor::PanelWindowAlive() const
{
  Display* display = ActiveDisplay();
  if (!display || !panel || !panel->window)
    return false;
  vexo::gui::XErrorTrap trap(display);
  XWindowAttributes attributes{};
  return XGetWindowAttributes(display, panel->window, &attributes) != 0;
}

int32_t SPluginEditor::open(void* parent)
{
  if (!parent || isOpen)
    return isOpen ? 1 : 0;
  AEffEditor::open(parent);
  const auto window = static_cast<unsigned long>(reinterpret_cast<uintptr_t>(parent));
  auto* base = static_cast<SPlugin*>(plugin);
  {
    // The pump may be serving a message box meanwhile: the panel is built
    // and placed while its handlers cannot run.
    vexo::gui::SDisplayLock hold;
    hostWindow = window;
    globals->hostWindow = window;

    // A host that destroyed its window before closing the editor took the
    // panel's windows with it: such a panel is built anew.
    if (holder && panel && !PanelWindowAlive())
      DeletePanel();
    if (!holder) {
      const vexo::data::datastring<32, char> name = WindowName(globals);
      holder =
          new vexo::gui::SControl(globals, nullptr, static_cast<unsigned>(globals->TopLevelId()),
                                  name.Text(), 0, 0, 0, kBaseWidth, kHeight);
      holder->SetSize(kBaseWidth, kHeight);
      holderWindow = holder->window;
    }
    if (!panel)
      CreatePanel(holderWindow);
    // Every open, the first one included, brings the panel into the host's
    // window by a reparent: a host that learns "_XEventProc" from the
    // ReparentNotify of a window going into its own finds it there.
    panel->Reparent(window);
    // A host always opens on the first view: a drawer left open closes.
    panel->OpenDrawer(false);
    SetSize(kBaseWidth, kHeight);

    cursor = new vexo::gui::SCursor();
    cursor->window = window;
    cursor->CreateDefault();
    globals->currentCursor = cursor;

    panel->Show();
  }

  // Outside the display lock: starting the idle thread may wait for the
  // end of a previous one's pass, which takes that lock.
  idleEntry = &SPluginEditor::idlestatic;
  panel->CreateIdleTimer(22, false);
  panel->CreateIdleFunction(&idleEntry, this);

  // The panel lives on the toolkit's own connection, which no host reads:
  // the toolkit's pump hands its events to the event procedure meanwhile.
  if (Display* display = ActiveDisplay(); display && !pumpHeld)
    pumpHeld = vexo::gui::connectionPump.Hold(display);

  base->SetEditorClosed(false);
  isOpen = true;
  postUpdate();
  // The size asked for above reaches the host inside its open request.
  DeliverHostCalls();
  return 1;
}

void SPluginEditor::close()
{
  // A close before any open (or a second close) does nothing.
  if (!isOpen)
    return;
  static_cast<SPlugin*>(plugin)->SetEditorClosed(true);
  isOpen = false;
  // Removing the idle registration waits for an idle pass in progress, which
  // takes the display lock: it is done before that lock is taken here.
  if (panel)
    panel->DestroyIdleTimer();
  {
    vexo::gui::SDisplayLock hold;
    // The host's window may be gone already (the cursor is defined on it):
    // no error of the parking or of the cursor's release may reach the
    // host's error handler.
    vexo::gui::XErrorTrap trap(ActiveDisplay());
    if (panel)
      panel->Reparent(holderWindow);
    hostWindow = 0;
    globals->hostWindow = 0;
    globals->currentCursor = nullptr;
    delete cursor;
    cursor = nullptr;
  }
  if (pumpHeld) {
    vexo::gui::connectionPump.Release();
    pumpHeld = false;
  }
  // The automation the last handlers asked for reaches the host while it
  // still listens; a size is only recorded, for a closed editor has no
  // window to fit.
  DeliverHostCalls(false);
}

// -------------------------------------------------------- refresh protocol

void SPluginEditor::idlestatic(void* editor)
{
  if (editor)
    static_cast<SPluginEditor*>(editor)->idle();
}

void SPluginEditor::idle()
{
  if (!isOpen)
    return;
  if (!ActiveDisplay())
    return;
  // The controls are also drawn and handled on the pump's thread; the
  // display lock keeps the refresh apart from them.
  vexo::gui::SDisplayLock hold;
  if (updateFlag.exchange(0) != 0)
    update();
  else if (indexedUpdatePending.exchange(0) != 0)
    updateIndexed();
}

void SPluginEditor::HostIdle()
{
  DeliverHostCalls(isOpen);
}

void SPluginEditor::AutomateParameter(int32_t index, float value)
{
  static_cast<SPlugin*>(plugin)->setParameter(index, value);
  hostCalls.Automate(index, value);
}

void SPluginEditor::DeliverHostCalls(bool resize)
{
  // Taken first and made without any lock of ours: the host may call the
  // plug-in back from its answers.
  SHostCallQueue::Calls calls = hostCalls.Take();
  auto* base = static_cast<SPlugin*>(plugin);
  if (calls.resize && resize)
    ResizeHostWindow(calls.width, calls.height, calls.resizeWindow);
  else if (calls.resize)
    base->SetEditRect(static_cast<int16_t>(calls.width), static_cast<int16_t>(calls.height));
  for (const auto& [index, value] : calls.automations)
    base->AutomateInHost(index, value);
}

void SPluginEditor::update()
{
  if (!isOpen)
    return;
  for (auto& pending : pendingIndices)
    pending = 0;
  if (panel)
    panel->RefreshControls(-1);
}

void SPluginEditor::postUpdate()
{
  updateFlag = 1;
}

void SPluginEditor::updateIndexed()
{
  if (!isOpen)
    return;
  for (int32_t i = 0; i < kPendingIndices; ++i) {
    if (pendingIndices[i].exchange(0) != 0 && panel)
      panel->RefreshControls(i);
  }
}

void SPluginEditor::postUpdateIndexed(int32_t index)
{
  // The engine sends 0 to 141 and its internal 200 to 341 (the SysEx
  // list's notice 335 and the verify result's 340 among them); anything
  // outside the array is dropped.
  static_assert(param::kSysExNotice < kPendingIndices && param::kVerifyNotice < kPendingIndices,
                "every notice is queued");
  if (index < 0 || index >= kPendingIndices)
    return;
  pendingIndices[index] = 1;
  indexedUpdatePending = 1;
}

void SPluginEditor::updateAtIndex(int32_t index)
{
  if (!isOpen || index < 0 || index >= kPendingIndices)
    return;
  pendingIndices[index] = 0;
  if (!panel || !ActiveDisplay())
    return;
  vexo::gui::SDisplayLock hold;
  panel->RefreshControls(index);
}

void SPluginEditor::idleslow()
{
  if (panel)
    panel->TimerProc(0);
}

// ------------------------------------------------------------------ sizes

void SPluginEditor::ResizeHostWindow(int width, int height, bool resizeWindow)
{
  auto* base = static_cast<SPlugin*>(plugin);
  base->SetEditRect(static_cast<int16_t>(width), static_cast<int16_t>(height));
  // A host that cannot size its window has it resized here; every host is
  // then told the new size.
  char capability[] = "sizeWindow";
  if (resizeWindow && base->canHostDo(capability) != 1 && hostWindow) {
    if (Display* display = ActiveDisplay()) {
      vexo::gui::XErrorTrap trap(display);
      XResizeWindow(display, hostWindow, static_cast<unsigned>(width),
                    static_cast<unsigned>(height));
      XFlush(display);
    }
  }
  base->sizeWindow(width, height);
}

void SPluginEditor::SetSize(int width, int height)
{
  requestedWidth = width;
  requestedHeight = height;
  hostCalls.RequestSize(width, height);
  if (panel)
    panel->SetSize(width, height);
}
