// Linked into the LV2 library alone: its toolkit tries no X connection when
// the library is loaded. LV2 hosts load plug-ins where no display exists
// (a host run without its GUI, headless boxes beside hardware synths), and
// a line about X there reads as a fault. The first editor opens the
// connection instead: the LV2 editor hands its own display to the editor
// opcode, and the toolkit opens a connection of its own to that server
// (vexo::gui::ConnectionForHost), with the colours and the monitor layout
// made on it. Before that, a message of the plug-in goes to standard error
// only (vexo::gui::SInfo).
#include "gui/XDisplay.h"

bool vexo::gui::ConnectsAtLoad()
{
  return false;
}
