// The library's start-up unit: what exists from load to unload, built here in
// this order by static initialisation and destroyed in the reverse order.
// It lives in the toolkit because everything it builds is the toolkit's or
// is filled through it (the monitor layout of `sd`); the order matters, so
// it is one unit.
//
// 1. The toolkit's own X connection `dps` (null when no server answers: the
//    plug-in still loads and processes MIDI without any display; null too in
//    a library that connects with its first editor, gui/XDisplay.h).
#include "gui/SDisplay.h"
#include "gui/XDisplay.h"
#include "support/system/SSystemData.h"

namespace {

// Opens the toolkit's connection at load and closes it at unload, after
// everything built below it has gone.
struct ToolkitConnection
{
  ToolkitConnection() { vexo::gui::OpenToolkitConnection(); }
  ~ToolkitConnection() { vexo::gui::CloseToolkitConnection(); }
};

ToolkitConnection toolkitConnection;
} // namespace

// 2. The system information `sd`: kernel, processor and monitor layout, in
//    this order. The monitor layout is asked of `dps`, hence after it; the
//    entry point only reads what was stored here.
vexo::system::SSystemData sd;

namespace {

struct SystemDataFill
{
  SystemDataFill()
  {
    sd.getOSInfos();
    sd.getCPUInfos();
    sd.getDisplayInfos(vexo::gui::AllMonitorRects);
  }
};

SystemDataFill systemDataFill;

} // namespace

// 3. The shared drawing data `statdata`: the colour table (allocated on `dps`,
//    so it must come after the connection above) and the pen, brush and font
//    caches, which free their entries at unload while `dps` is still open.
#include "gui/SStaticData.h"

SStaticData statdata;

namespace {

// Fills the colour table right after statdata is built.
struct ColourTableFiller
{
  ColourTableFiller() { statdata.AddColours(); }
};

ColourTableFiller colourTableFiller;

} // namespace

// 4. The pump of the toolkit's own connection (message boxes at load time):
//    its thread draws with the data above and reads `dps`, so it is built
//    after them and, at unload, stopped and joined before they go.
#include "gui/SConnectionPump.h"

vexo::gui::SConnectionPump vexo::gui::connectionPump;
