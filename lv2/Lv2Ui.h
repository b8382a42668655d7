// Lv2Ui: the LV2 edition's X11 editor. It opens the plug-in's own editor in
// the host's window as a VST 2 host does: it makes a window of its own
// inside the host's ui:parent, hands that window to the editor opcode and
// idles the editor through the editor-idle opcode. The plug-in's panel
// lives on the toolkit's own X connection (which the LV2 library opens with
// its first editor, to the server of the connection this object hands the
// editor opcode); this object's window lives on a connection of its own
// too, so nothing here touches the host's connection.
// It reaches the running plug-in through the instance-access feature (the
// adapter of the instance); a host without that feature gets no editor, and
// the plug-in runs on without one.
//
// Threads: the host's GUI thread alone (instantiate, idle, port events,
// cleanup), and the adapter's callbacks, which the editor makes inside the
// editor opcodes called from here (size, automation).
#pragma once

#include "plugin/VstInterface.h"

#include <lv2/core/lv2.h>
#include <lv2/ui/ui.h>

#include <cstdint>

struct _XDisplay;
class Lv2Adapter;

class Lv2Ui
{
public:
  // Opens the editor in the host's window. Null, with a line in the host's
  // log, without instance-access or ui:parent, without an X display, or
  // when another editor of this instance is open.
  static Lv2Ui* Create(LV2UI_Write_Function write, LV2UI_Controller controller,
                       LV2UI_Widget* widget, const LV2_Feature* const* features);
  // Closes the editor (the plug-in keeps its panel for the next open).
  ~Lv2Ui();
  Lv2Ui(const Lv2Ui&) = delete;
  Lv2Ui& operator=(const Lv2Ui&) = delete;

  // ui:idleInterface: hands the host's idle to the editor and keeps the
  // host's program and thru ports where the plug-in is. 0 while shown.
  int Idle();

  // From the adapter, inside the editor opcodes. The editor asks for a new
  // size: the window follows and the host is asked (ui:resize).
  bool SizeWindow(int32_t width, int32_t height);
  // The editor changed a parameter the host sees: thru goes to its port;
  // the resend is a trigger that the editor has fired already.
  void Automated(int32_t index, float value);
  // The instance is being destroyed before its editor.
  void AdapterGone() { adapter = nullptr; }

  unsigned long Window() const { return window; }

private:
  Lv2Ui() = default;
  bool Open(unsigned long parent, const LV2_Feature* const* features);
  void WritePort(uint32_t port, float value);
  void SetSizeHints(int32_t width, int32_t height);
  // Keeps the bottom of the editor (the open drawer) inside a host's window
  // that did not grow to it.
  void KeepBottomInView();
  // The files the editor loaded since the last idle go to the host's
  // choosers (the plug-in's patch:Set reports).
  void ReportEditorFiles();

  Lv2Adapter* adapter = nullptr;
  LV2UI_Write_Function write = nullptr;
  LV2UI_Controller controller = nullptr;
  const LV2UI_Resize* resize = nullptr;
  // This object's own connection and the window it owns on it.
  _XDisplay* display = nullptr;
  unsigned long window = 0;
  // The host's window (ui:parent) that holds it.
  unsigned long parentWindow = 0;
  bool editorOpen = false;
  // What was last written to the host's ports (-1: nothing yet).
  int32_t programWritten = -1;
  int32_t thruWritten = -1;
  // The plug-in's count of editor loads already reported (those before this
  // editor opened count as reported).
  VstIntPtr editorFilesSeen = 0;
};
