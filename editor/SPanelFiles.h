// SPanelFiles: the file rows at the bottom of the panel's drawer: Load and
// Save of the current program's SysEx list (.syx), of the current program
// (.fxp) and of the bank (.fxb), through the toolkit's file dialog.
//
// A load reads the file with the one reader of its kind (files/: the .syx
// rules of quillet-host --sysex, the preset files' reader for this
// plug-in's id and the kind asked for) and hands it to the engine as a
// host's load does: a .syx replaces the program's messages (its dump request
// stays, as the plug-in's vendor call does), a .fxp is the program chunk, a
// .fxb the bank chunk followed by the selection of the bank's program. A
// refused file changes nothing and shows its reason in the message box.
// A save writes what a host would save: the current program's messages, or
// the engine's chunk snapshot (VSTPlugin::CopyChunk) in a preset file.
//
// Threads: built with the panel's controls; the buttons' events, the
// dialog's and so every load and save run on the thread that delivers the
// panel's X events (the toolkit's connection pump, or a host's GUI thread),
// inside the display lock, never on the audio thread. The engine takes
// chunks and SysEx lists from any thread but the audio thread, in both
// editions.
#pragma once

#include <memory>
#include <string>

class SPluginPanel;

namespace vexo::gui {
template <bool> class SButton;
class SControl;
class SFileDialog;
} // namespace vexo::gui

class SPanelFiles
{
public:
  enum Kind : int
  {
    kSysEx = 0,
    kProgram = 1,
    kBank = 2,
    kKinds = 3
  };
  // The rows' place in the drawer (from the first view's bottom) and the
  // height they add to it.
  static constexpr int kTop = 168;
  static constexpr int kHeight = 38;

  explicit SPanelFiles(SPluginPanel& panel);
  ~SPanelFiles();
  SPanelFiles(const SPanelFiles&) = delete;
  SPanelFiles& operator=(const SPanelFiles&) = delete;

  // Makes the six buttons (hidden until the drawer opens).
  void CreateControls();
  void Show(bool shown);
  // The rows' captions into the back buffer (the caller has set it).
  void Draw();
  // A button of the rows was pressed: opens the dialog; false for another
  // control.
  bool Pressed(vexo::gui::SControl* sender);

  // What a press opens, as a user's choice of file ends it: the loads and
  // saves themselves. False, with the message box showing the reason, when
  // nothing was loaded or saved.
  bool Load(Kind kind, const std::string& path);
  bool Save(Kind kind, const std::string& path);
  // The name a save proposes: the current program's name with the kind's
  // suffix, without characters a file name cannot hold.
  std::string ProposedName(Kind kind) const;

  // The dialog (null before the first press), for tests.
  vexo::gui::SFileDialog* Dialog() const { return dialog.get(); }

private:
  void Open(Kind kind, bool save);
  void Refuse(const char* what, const std::string& reason);

  SPluginPanel& panel;
  vexo::gui::SButton<false>* loadButtons[kKinds] = {};
  vexo::gui::SButton<false>* saveButtons[kKinds] = {};
  std::unique_ptr<vexo::gui::SFileDialog> dialog;
};
