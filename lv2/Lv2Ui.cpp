#include "lv2/Lv2Ui.h"

#include "lv2/Lv2Adapter.h"
#include "lv2/Lv2Uris.h"

#include <lv2/instance-access/instance-access.h>
#include <lv2/log/logger.h>

#include <X11/Xlib.h>
#include <X11/Xlibint.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstring>

namespace {

// The parameters the effect record shows a host: 1 is thru.
constexpr int32_t kThruParameter = 1;

const void* Feature(const LV2_Feature* const* features, const char* uri)
{
  for (const LV2_Feature* const* f = features; f && *f; ++f) {
    if ((*f)->URI && std::strcmp((*f)->URI, uri) == 0)
      return (*f)->data;
  }
  return nullptr;
}

// Every X error on this object's own connection ends here: the host may
// destroy its window (and this object's with it) before the editor is
// closed, and an error must never reach the process's error handler, which
// belongs to the host. It sees only this connection's errors.
int SwallowError(Display*, xError*, XExtCodes*, int* result)
{
  *result = 0;
  return 1;
}

} // namespace

Lv2Ui* Lv2Ui::Create(LV2UI_Write_Function write, LV2UI_Controller controller, LV2UI_Widget* widget,
                     const LV2_Feature* const* features)
{
  auto* adapter =
      static_cast<Lv2Adapter*>(const_cast<void*>(Feature(features, LV2_INSTANCE_ACCESS_URI)));
  const void* parent = Feature(features, LV2_UI__parent);
  if (!adapter || !adapter->Effect()) {
    // Without the instance there is no editor to open; the plug-in runs on.
    LV2_Log_Logger logger{};
    lv2_log_logger_init(
        &logger, nullptr,
        static_cast<LV2_Log_Log*>(const_cast<void*>(Feature(features, LV2_LOG__log))));
    lv2_log_error(&logger, "Quillet: this host gives the editor no access to the plug-in "
                           "(instance-access), so the editor cannot open; the plug-in works "
                           "without it\n");
    return nullptr;
  }
  if (!parent) {
    adapter->LogError("Quillet: this host gives the editor no window (ui:parent), so the editor "
                      "cannot open\n");
    return nullptr;
  }
  auto* ui = new Lv2Ui();
  ui->adapter = adapter;
  ui->write = write;
  ui->controller = controller;
  ui->resize = static_cast<const LV2UI_Resize*>(Feature(features, LV2_UI__resize));
  if (!ui->Open(static_cast<unsigned long>(reinterpret_cast<uintptr_t>(parent)), features)) {
    delete ui;
    return nullptr;
  }
  if (widget)
    *widget = reinterpret_cast<LV2UI_Widget>(static_cast<uintptr_t>(ui->window));
  return ui;
}

bool Lv2Ui::Open(unsigned long parent, const LV2_Feature* const* /*features*/)
{
  display = XOpenDisplay(nullptr);
  if (!display) {
    adapter->LogError("Quillet: the editor cannot reach the X display, so it cannot open\n");
    return false;
  }
  if (XExtCodes* codes = XAddExtension(display))
    XESetError(display, codes->extension, &SwallowError);

  // The size the editor reports before it opens; it asks for its own once
  // open.
  int32_t width = 120;
  int32_t height = 238;
  ERect* rect = nullptr;
  if (adapter->Dispatch(effEditGetRect, 0, 0, &rect) && rect && rect->right > rect->left &&
      rect->bottom > rect->top) {
    width = rect->right - rect->left;
    height = rect->bottom - rect->top;
  }
  parentWindow = parent;
  window = XCreateSimpleWindow(display, static_cast<::Window>(parent), 0, 0,
                               static_cast<unsigned>(width), static_cast<unsigned>(height), 0, 0,
                               BlackPixel(display, DefaultScreen(display)));
  SetSizeHints(width, height);
  XMapWindow(display, window);
  // The window must exist on the server before the toolkit's connection
  // puts the panel into it.
  XSync(display, False);

  editorFilesSeen = adapter->Dispatch(effVendorSpecific, kQuilletEditorFile);
  if (!adapter->AttachUi(this)) {
    adapter->LogError("Quillet: the editor of this instance is open already\n");
    return false;
  }
  adapter->SetUiCanResize(resize != nullptr);
  // This object's connection is handed over as a host's display: the panel
  // stays on the toolkit's own connection, which the LV2 library opens only
  // now, with its first editor, to this connection's server (nothing of
  // X is touched before an editor is asked for).
  editorOpen = adapter->Dispatch(effEditOpen, 0, reinterpret_cast<VstIntPtr>(display),
                                 reinterpret_cast<void*>(static_cast<uintptr_t>(window))) != 0;
  if (!editorOpen) {
    adapter->LogError("Quillet: the plug-in's editor did not open\n");
    return false;
  }
  XFlush(display);
  return true;
}

Lv2Ui::~Lv2Ui()
{
  if (adapter) {
    if (editorOpen)
      adapter->Dispatch(effEditClose);
    adapter->DetachUi(this);
  }
  if (display) {
    if (window)
      XDestroyWindow(display, window);
    XCloseDisplay(display);
  }
}

int Lv2Ui::Idle()
{
  if (!adapter || !editorOpen)
    return 1;
  adapter->Dispatch(effEditIdle);
  // The host's ports follow what the editor, MIDI or a state changed, so
  // that the host shows (and saves) where the plug-in is. The adapter does
  // not act on a port moved to where the plug-in already is.
  AEffect* effect = adapter->Effect();
  const auto program = static_cast<int32_t>(adapter->Dispatch(effGetProgram));
  if (program != programWritten) {
    programWritten = program;
    WritePort(lv2names::kProgram, static_cast<float>(program));
  }
  const int32_t thru = effect->getParameter(effect, kThruParameter) > 0.5f ? 1 : 0;
  if (thru != thruWritten) {
    thruWritten = thru;
    WritePort(lv2names::kThru, static_cast<float>(thru));
  }
  ReportEditorFiles();
  KeepBottomInView();
  if (display)
    XFlush(display);
  return 0;
}

void Lv2Ui::KeepBottomInView()
{
  // Some hosts' windows keep the size they opened with although the editor
  // asks for more (ui:resize and the size hints); Ardour 7's does. When the
  // drawer opens there, the editor is moved up so that the drawer, the part
  // just asked for, shows whole, and back down when it closes. Errors (a host
  // window gone) are swallowed on this connection.
  ::Window root = 0;
  int x = 0;
  int y = 0;
  unsigned width = 0;
  unsigned parentHeight = 0;
  unsigned height = 0;
  unsigned border = 0;
  unsigned depth = 0;
  if (!display || !parentWindow ||
      !XGetGeometry(display, static_cast<::Window>(parentWindow), &root, &x, &y, &width,
                    &parentHeight, &border, &depth) ||
      !XGetGeometry(display, static_cast<::Window>(window), &root, &x, &y, &width, &height, &border,
                    &depth))
    return;
  const int top =
      parentHeight < height ? static_cast<int>(parentHeight) - static_cast<int>(height) : 0;
  if (y != top)
    XMoveWindow(display, static_cast<::Window>(window), x, top);
}

void Lv2Ui::ReportEditorFiles()
{
  QuilletEditorFile file{};
  const VstIntPtr count = adapter->Dispatch(effVendorSpecific, kQuilletEditorFile, 0, &file);
  if (count == editorFilesSeen)
    return;
  // Only the last load counts; one still waiting for a run is tried again
  // at the next idle.
  if (adapter->EditorTookFile(file.kind == QuilletEditorFile::kSysEx, file.path))
    editorFilesSeen = count;
}

bool Lv2Ui::SizeWindow(int32_t width, int32_t height)
{
  if (!display || !window || width <= 0 || height <= 0 || width > 0x7FFF || height > 0x7FFF)
    return false;
  SetSizeHints(width, height);
  XResizeWindow(display, window, static_cast<unsigned>(width), static_cast<unsigned>(height));
  XFlush(display);
  if (resize && resize->ui_resize)
    resize->ui_resize(resize->handle, width, height);
  return true;
}

void Lv2Ui::Automated(int32_t index, float value)
{
  if (index != kThruParameter)
    return;
  thruWritten = value > 0.5f ? 1 : 0;
  WritePort(lv2names::kThru, static_cast<float>(thruWritten));
}

void Lv2Ui::WritePort(uint32_t port, float value)
{
  if (write)
    write(controller, port, sizeof value, 0, &value);
}

void Lv2Ui::SetSizeHints(int32_t width, int32_t height)
{
  // Hosts that embed X11 editors read the child's size from its hints.
  XSizeHints hints{};
  hints.flags = PMinSize | PBaseSize;
  hints.min_width = hints.base_width = width;
  hints.min_height = hints.base_height = height;
  XSetWMNormalHints(display, window, &hints);
}
