#include "editor/SPanelFiles.h"

#include "editor/SPluginEditor.h"
#include "editor/SPluginPanel.h"
#include "engine/VSTPlugin.h"
#include "files/PresetFile.h"
#include "files/SyxFile.h"
#include "gui/SButton.h"
#include "gui/SFileDialog.h"
#include "gui/SStaticData.h"
#include "gui/context/SColour.h"
#include "gui/context/SDrawing.h"
#include "plugin/PluginInfo.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <memory>

using vexo::gui::Rect;
using vexo::gui::SCOL;
using vexo::gui::SFileDialog;

namespace {

// Each kind of file: its name in texts, its suffix, the dialog's titles and
// the buttons' tips.
struct KindText
{
  const char* what;
  const char* suffix;
  const char* loadTitle;
  const char* saveTitle;
  const char* loadTip;
  const char* saveTip;
};

constexpr KindText kKindTexts[SPanelFiles::kKinds] = {
    {"SysEx file", ".syx", "Load SysEx (.syx)", "Save SysEx (.syx)",
     "Action:\nLoad SysEx\n(a .syx file replaces the\nprogram's SysEx messages)",
     "Action:\nSave SysEx\n(the program's SysEx\nmessages as a .syx file)"},
    {"Program file", ".fxp", "Load Program (.fxp)", "Save Program (.fxp)",
     "Action:\nLoad Program\n(a .fxp file into the\ncurrent program)",
     "Action:\nSave Program\n(the current program\nas a .fxp file)"},
    {"Bank file", ".fxb", "Load Bank (.fxb)", "Save Bank (.fxb)",
     "Action:\nLoad Bank\n(a .fxb file: all 128\nprograms and the pacing)",
     "Action:\nSave Bank\n(all 128 programs\nas a .fxb file)"},
};

constexpr int kCaptionX = 6;
constexpr int kButtonX = 34;
constexpr int kButtonWidth = 32;
constexpr int kButtonStep = 35;
constexpr int kRowStep = 18;
constexpr int kButtonHeight = 15;

int Colour(int r, int g, int b)
{
  return static_cast<int>(SCOL(r, g, b));
}

} // namespace

SPanelFiles::SPanelFiles(SPluginPanel& panel_) : panel(panel_) {}

SPanelFiles::~SPanelFiles() = default;

void SPanelFiles::CreateControls()
{
  const int top = SPluginEditor::kHeight + kTop;
  const int light = Colour(138, 145, 150);
  for (int kind = 0; kind < kKinds; ++kind) {
    const KindText& text = kKindTexts[kind];
    const int x = kButtonX + kButtonStep * kind;
    vexo::data::datastring<32, char> title;
    title.Append("(QLTX) Button: Load ");
    title.Append(text.what);
    loadButtons[kind] =
        panel.MakeButton(title.Text(), x, top, kButtonWidth, kButtonHeight, text.suffix, 7,
                         vexo::gui::kButtonPush, light, -1, text.loadTip);
    title.Clear(false);
    title.Append("(QLTX) Button: Save ");
    title.Append(text.what);
    saveButtons[kind] =
        panel.MakeButton(title.Text(), x, top + kRowStep, kButtonWidth, kButtonHeight, text.suffix,
                         7, vexo::gui::kButtonPush, light, -1, text.saveTip);
  }
}

void SPanelFiles::Show(bool shown)
{
  for (int kind = 0; kind < kKinds; ++kind) {
    for (vexo::gui::SButton<false>* button : {loadButtons[kind], saveButtons[kind]}) {
      if (!button)
        continue;
      if (shown)
        button->Show();
      else
        button->Hide();
    }
  }
}

void SPanelFiles::Draw()
{
  vexo::gui::context::SDrawing* drawing = panel.drawing;
  if (!drawing)
    return;
  const int top = SPluginEditor::kHeight + kTop;
  const vexo::gui::Point origin{0, 0};
  drawing->SetPen(statdata.FindPen(Colour(128, 128, 128)));
  drawing->DrawLine(6, top - 3, panel.Width() - 6, top - 3);
  drawing->SetFont(statdata.FindFont(7));
  drawing->SetTextColour(Colour(138, 145, 150), false);
  drawing->DrawLabel("Load", Rect{kCaptionX, top, kButtonX - 2, top + kButtonHeight},
                     vexo::gui::context::kAlignLeft, origin);
  drawing->DrawLabel("Save",
                     Rect{kCaptionX, top + kRowStep, kButtonX - 2, top + kRowStep + kButtonHeight},
                     vexo::gui::context::kAlignLeft, origin);
}

bool SPanelFiles::Pressed(vexo::gui::SControl* sender)
{
  for (int kind = 0; kind < kKinds; ++kind) {
    if (sender == loadButtons[kind] || sender == saveButtons[kind]) {
      Open(static_cast<Kind>(kind), sender == saveButtons[kind]);
      return true;
    }
  }
  return false;
}

std::string SPanelFiles::ProposedName(Kind kind) const
{
  char name[kProgramNameSize + 1] = {};
  panel.plugin->getProgramName(name);
  std::string out;
  for (const char* c = name; *c; ++c) {
    const auto byte = static_cast<unsigned char>(*c);
    out.push_back(byte < 32 || byte == '/' || byte == 127 ? '_' : *c);
  }
  // No leading dot (a hidden file) and no blanks at either end.
  while (!out.empty() && (out.front() == ' ' || out.front() == '.'))
    out.erase(out.begin());
  while (!out.empty() && out.back() == ' ')
    out.pop_back();
  if (out.empty())
    out = "program";
  return out + kKindTexts[kind].suffix;
}

void SPanelFiles::Open(Kind kind, bool save)
{
  VSTPlugin* plugin = panel.plugin;
  if (!plugin)
    return;
  if (save && kind == kSysEx) {
    // Nothing to write: said at once, before a file is asked for.
    SysExStore::Reader reader(plugin->SysEx());
    const SysExSet* set = reader.Current(plugin->getProgram());
    if (!set || set->Count() == 0) {
      Refuse("SysEx file not saved", "the current program has no SysEx messages");
      return;
    }
  }
  if (!dialog)
    dialog = std::make_unique<SFileDialog>();
  const KindText& text = kKindTexts[kind];
  dialog->Open(save ? SFileDialog::Mode::Save : SFileDialog::Mode::Load,
               save ? text.saveTitle : text.loadTitle, std::string(), text.suffix,
               save ? ProposedName(kind) : std::string(),
               [this, kind, save](const std::string& path) {
                 if (save)
                   Save(kind, path);
                 else
                   Load(kind, path);
               });
}

void SPanelFiles::Refuse(const char* what, const std::string& reason)
{
  const std::string text = std::string(what) + ", nothing changed:\n" + reason;
  SPlugin::ShowMessage(text.c_str());
}

bool SPanelFiles::Load(Kind kind, const std::string& path)
{
  VSTPlugin* plugin = panel.plugin;
  if (!plugin)
    return false;
  const std::string what = std::string(kKindTexts[kind].what) + " not loaded";
  std::string error;
  if (kind == kSysEx) {
    std::unique_ptr<const SysExSet> set;
    if (!files::ReadSyxFile(path, set, error)) {
      Refuse(what.c_str(), error);
      return false;
    }
    plugin->ImportSysEx(plugin->getProgram(), *set);
    plugin->NoteEditorFile(QuilletEditorFile::kSysEx, path);
    panel.RefreshControls(-1);
    return true;
  }
  files::PresetFile preset;
  const bool bank = kind == kBank;
  if (!files::ReadPresetFileOfKind(path, quillet::kUniqueId, bank, preset, error)) {
    Refuse(what.c_str(), error);
    return false;
  }
  // As a host loads a preset file: the chunk, and after a bank the bank's
  // program selected.
  const bool taken =
      preset.chunk.size() <= static_cast<size_t>(std::numeric_limits<int32_t>::max()) &&
      plugin->setChunk(preset.chunk.data(), static_cast<int32_t>(preset.chunk.size()), !bank) == 1;
  if (!taken) {
    Refuse(what.c_str(), path + ": the plug-in refused its " + (bank ? "bank" : "program") +
                             " chunk of " + std::to_string(preset.chunk.size()) + " bytes");
    return false;
  }
  if (bank)
    plugin->setProgram(std::clamp(preset.currentProgram, 0, kBankPrograms - 1));
  plugin->NoteEditorFile(bank ? QuilletEditorFile::kBank : QuilletEditorFile::kProgram, path);
  panel.RefreshControls(-1);
  return true;
}

bool SPanelFiles::Save(Kind kind, const std::string& path)
{
  VSTPlugin* plugin = panel.plugin;
  if (!plugin)
    return false;
  const std::string what = std::string(kKindTexts[kind].what) + " not saved";
  std::string error;
  bool saved = false;
  if (kind == kSysEx) {
    SysExStore::Reader reader(plugin->SysEx());
    const SysExSet* set = reader.Current(plugin->getProgram());
    if (!set || set->Count() == 0)
      error = "the current program has no SysEx messages";
    else
      saved = files::WriteSyxFile(path, *set, error);
  } else {
    // What a host writes for the plug-in's preset load.
    files::PresetFile preset;
    preset.bank = kind == kBank;
    preset.uniqueId = quillet::kUniqueId;
    preset.pluginVersion = quillet::kEffectVersion;
    preset.numPrograms = quillet::kNumPrograms;
    preset.currentProgram = plugin->getProgram();
    if (!preset.bank) {
      char name[kProgramNameSize + 1] = {};
      plugin->getProgramName(name);
      preset.name = name;
    }
    preset.chunk = plugin->CopyChunk(!preset.bank);
    saved = files::WritePresetFile(path, preset, error);
  }
  if (!saved)
    Refuse(what.c_str(), error);
  return saved;
}
