#include "editor/SPluginPanel.h"

#include "editor/SPluginEditor.h"
#include "engine/VSTPlugin.h"
#include "gui/SStaticData.h"
#include "gui/context/SColour.h"
#include "gui/context/SDrawBitmap.h"
#include "gui/context/SDrawDevice.h"
#include "gui/context/SDrawPen.h"
#include "gui/context/SDrawing.h"

using vexo::gui::Rect;
using vexo::gui::SCOL;

namespace {

constexpr int kStripColumnWidth = 25;

} // namespace

SPluginPanel::SPluginPanel() = default;

SPluginPanel::SPluginPanel(SGlobals* globals_, vexo::gui::SControl* parent_, unsigned id_,
                           const char* title, int style_, int x, int y, int width, int height,
                           int parentWindow, bool unused)
    : SWindow(globals_, parent_, id_, title, style_, x, y, width, height,
              static_cast<unsigned long>(static_cast<unsigned int>(parentWindow)), unused)
{
  CreateBackBuffer(height);
}

SPluginPanel::~SPluginPanel()
{
  CleanUp();
  delete panelBufferDevice;
  delete panelBufferBitmap;
}

void SPluginPanel::CreateBackBuffer(int height)
{
  if (!drawing || !window)
    return;
  panelBufferBitmap = new vexo::gui::context::SDrawBitmap();
  panelBufferBitmap->Create(nullptr, kBufferWidth, height, false);
  panelBufferDevice =
      new vexo::gui::context::SDrawMemoryDevice(drawing->GetDevice(), panelBufferBitmap);
}

void SPluginPanel::LoadControls()
{
  const int grey = static_cast<int>(SCOL(77, 81, 84));
  const int white = static_cast<int>(SCOL(255, 255, 255));
  SetColours(grey, grey, grey, white, white, white, white);
  RefreshPanel();
}

void SPluginPanel::RefreshControls(long index)
{
  if (index != -1 || !plugin)
    return;
  plugin->getProgramName(programName);
  RecalculateSize(1);
}

void SPluginPanel::RecalculateSize(int columns)
{
  if (editor)
    editor->SetSize(kStripColumnWidth * columns + SPluginEditor::kBaseWidth,
                    SPluginEditor::kHeight);
  if (plugin)
    plugin->stripColumns = columns;
  columnCount = columns;
  RefreshLabels();
}

void SPluginPanel::Draw(const Rect& rect)
{
  if (panelBufferDevice && panelBufferBitmap && drawing) {
    const Rect client = ClientRect();
    drawing->DrawMemory(panelBufferDevice, 0, 0, client.left, client.top, client.right,
                        client.bottom);
    return;
  }
  SWindow::Draw(rect);
}

void SPluginPanel::RefreshPanel()
{
  if (!drawing || !panelBufferDevice)
    return;
  vexo::gui::context::SDrawDevice* own = drawing->GetDevice();
  drawing->SetDevice(panelBufferDevice);
  SControl::Draw(ClientRect());
  drawing->SetDevice(own);
  RefreshLabels();
}

void SPluginPanel::RefreshLabels()
{
  if (!drawing || !panelBufferDevice)
    return;
  vexo::gui::context::SDrawDevice* own = drawing->GetDevice();
  drawing->SetDevice(panelBufferDevice);
  const int w = Width();
  const int h = Height();
  const int n = plugin ? plugin->stripColumns : 1;
  drawing->SetBrush(statdata.FindBrush(static_cast<int>(SCOL(0, 0, 0))));
  drawing->FillRect(100, 0, w, h);
  drawing->SetBrush(statdata.FindBrush(static_cast<int>(SCOL(77, 81, 84))));
  drawing->FillRect(100, 10, w - 10, h - 10);
  drawing->SetBrush(statdata.FindBrush(static_cast<int>(SCOL(0, 0, 0))));
  drawing->FillRoundedRect(93, 13, kStripColumnWidth * n + 102, 206, 7, 7);
  drawing->SetPen(statdata.FindPen(static_cast<int>(SCOL(0, 0, 255))));
  drawing->DrawRect(0, 0, w, h);
  drawing->SetDevice(own);
  Refresh();
}
