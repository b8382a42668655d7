// vexo::gui::SFileDialog: the toolkit's file dialog, for a Load or a Save of
// one kind of file (".syx", ".fxp", ...). It lists a folder: a parent entry
// ("..", except at "/"), the sub-folders ("name/") and the files of the
// kind asked for, kRows at a time, scrolled with the wheel or the two arrow
// buttons. It is usable with the mouse alone: a click selects a row (a
// file's name goes to the name field), a double click opens a folder or
// takes a file, "OK" takes the name field's file (or opens the selected
// folder while the field is empty), "Cancel" closes. Save proposes a name
// (the caller's, usually the program's); a name typed on the keyboard
// replaces it, and the kind's suffix is added when it lacks one. A Save onto
// a file that exists asks first: the title reads "Replace NAME?" and "OK"
// becomes "Replace"; a second click replaces it, another name or folder
// asks again.
// The folder last opened is kept for the library's life: a dialog opened
// without a folder starts there (else in the user's home folder).
//
// It shows without waiting (SDialog::ShowDialog, the connection pump reads
// it); the caller's `done` runs once the dialog has closed, on the thread
// that handles the dialog's events, inside the display lock.
//
// Threads: as SDialog. Open, and the accessors that tests read, under the
// display lock of the toolkit's connection.
#pragma once

#include "gui/SDialog.h"

#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace vexo::gui {

template <bool Flag> class SLabel;
template <bool Flag> class SButton;

class SFileDialog : public SDialog
{
public:
  enum class Mode
  {
    Load,
    Save
  };
  using Done = std::function<void(const std::string& path)>;

  static constexpr int kRows = 12;
  static constexpr int kWidth = 300;
  static constexpr int kHeight = 306;
  // Where things are in the dialog (for the tests' clicks too).
  static constexpr int kListLeft = 10;
  static constexpr int kListTop = 46;
  static constexpr int kRowHeight = 16;
  static constexpr int kListWidth = 258;

  // Hidden until Open.
  SFileDialog();
  ~SFileDialog() override;

  // Lists `folder` (empty: the folder last opened) for files ending in
  // `suffix` and shows the dialog, centred on its monitor. In Save mode
  // the name field holds `proposed`. `done` gets the chosen path.
  void Open(Mode mode, const char* title, const std::string& folder, const std::string& suffix,
            const std::string& proposed, Done done);

  void ParseEvent(SEvent* event) override;
  // The wheel scrolls the list (three rows a notch).
  void MouseStateChanged(bool* flags, int code) override;
  // Typing edits the name field; Return is "OK", Escape "Cancel".
  void KeyStateChanged(int key, bool pressed, int modifiers, int keyClass) override;

  // What the dialog shows.
  const std::string& Folder() const { return folder; }
  const std::string& Name() const { return name; }
  int EntryCount() const { return static_cast<int>(entries.size()); }
  // The text of entry `index` as listed ("..", "name/", "voice.syx").
  std::string EntryText(int index) const;
  int FirstShown() const { return first; }
  // The path a Save waits to replace (empty: none asked about).
  const std::string& Replacing() const { return replacing; }
  // The row (0 to kRows - 1) that shows the entry with this text, -1 when
  // none does.
  int RowOf(const std::string& text) const;
  // Geometry in the dialog: row r's centre, and the buttons'.
  static Point RowCentre(int row);
  Point OkCentre() const;
  Point CancelCentre() const;
  Point UpCentre() const;
  Point DownCentre() const;

  // The folder last opened by any file dialog (empty before the first).
  static std::string LastFolder();

  // Scrolls so that entry `index` is the first shown (bounded).
  void ScrollTo(int index);
  // Enters a folder (an entry or the parent).
  void Enter(const std::string& path);

private:
  struct Entry
  {
    std::string name;
    bool folder = false;
    bool parent = false;
  };
  void Relist();
  void ShowRows();
  void ShowName();
  void Select(int index);
  // A row's double click, or "OK" on a selected entry.
  void Activate(int index);
  void Accept();
  // Finish, but a Save onto an existing file asks first (once).
  void Choose(const std::string& path);
  // Forgets the question of Choose (the name or the folder changed).
  void StopAsking();
  void Finish(const std::string& path);
  void Cancel();
  SButton<false>* MakeButton(const char* name, const char* text, int x, int y, int width);

  Mode mode = Mode::Load;
  std::string folder;
  std::string suffix;
  std::string name;
  std::vector<Entry> entries;
  int first = 0;
  int selected = -1;
  std::string replacing;
  std::string title;
  Done done;

  SLabel<false>* titleLabel = nullptr;
  SLabel<false>* folderLabel = nullptr;
  SLabel<false>* rows[kRows] = {};
  SLabel<false>* nameCaption = nullptr;
  SLabel<false>* nameLabel = nullptr;
  SButton<false>* upButton = nullptr;
  SButton<false>* downButton = nullptr;
  SButton<false>* okButton = nullptr;
  SButton<false>* cancelButton = nullptr;

  static std::mutex lastLock;
  static std::string lastFolder;
};

} // namespace vexo::gui
