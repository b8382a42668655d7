#include "gui/SFileDialog.h"

#include "gui/SButton.h"
#include "gui/SGlobals.h"
#include "gui/SLabel.h"
#include "gui/SStaticData.h"
#include "gui/context/SInput.h"
#include "support/system/SFolder.h"

#include <algorithm>

namespace vexo::gui {

using vexo::file::SFolder;
using vexo::file::SFolderListing;

std::mutex SFileDialog::lastLock;
std::string SFileDialog::lastFolder;

namespace {

constexpr int kStyleFileDialog = 0x880101; // as the message box
constexpr int kArrowX = SFileDialog::kListLeft + SFileDialog::kListWidth + 4;
constexpr int kArrowWidth = 18;
constexpr int kListBottom = SFileDialog::kListTop + SFileDialog::kRows * SFileDialog::kRowHeight;
constexpr int kNameY = kListBottom + 8;
constexpr int kButtonY = kNameY + 24;
constexpr int kButtonHeight = 20;
constexpr int kWheelRows = 3;
// A folder path wider than the dialog shows its end.
constexpr size_t kShownPath = 52;

int C(int index)
{
  return statdata.Colour(index);
}

// A row of the list: a press selects it, a double press opens it; both go
// to the dialog as event 10 (the row in `value`, 1 in `realValue` for a
// double press). The wheel goes to the dialog, and so do keys.
class FileRow : public SLabel<false>
{
public:
  FileRow(SGlobals* globals, SControl* parent, unsigned id, const char* title, int x, int y,
          int width, int height, int row_)
      : SLabel<false>(globals, parent, id, title, kStyleWheelToParentA | kStyleWheelToParentB, x, y,
                      width, height),
        row(row_)
  {
  }
  void MouseStateChanged(bool* flags, int code) override
  {
    SWindow::MouseStateChanged(flags, code);
    if (code == context::kMouseLeftDown || code == context::kMouseLeftDouble)
      SendEvent(kEventList, kPayloadValue, row, code == context::kMouseLeftDouble ? 1.0f : 0.0f,
                nullptr, this, nullptr);
  }
  void KeyStateChanged(int key, bool pressed, int modifiers, int keyClass) override
  {
    if (parent)
      parent->KeyStateChanged(key, pressed, modifiers, keyClass);
  }

private:
  int row;
};

} // namespace

SFileDialog::SFileDialog()
{
  Label title;
  title.Append("SFileDialog (ID ");
  title.Append(32, "%i", static_cast<int>(dialogGlobals->generator.Integer()));
  title.Append(")");
  CreateDialog(title.Text(), kStyleFileDialog, 0, 0, kWidth, kHeight);
  EnableEventHandler(kEventValue);
  EnableEventHandler(kEventList);
  SetColours(C(kColourDarkSlate), C(kColourDarkSlate), C(kColourBlack), C(kColourOrange),
             C(kColourWhite), C(kColourWhite), C(kColourWhite));

  auto label = [&](const char* part, int x, int y, int width, int height, int size, int colour) {
    Label name;
    name.Append(title.Text());
    name.Append(part);
    auto* made =
        new SLabel<false>(dialogGlobals, this, static_cast<unsigned>(dialogGlobals->NextId()),
                          name.Text(), 0, x, y, width, height);
    made->SetColours(colour, colour, colour, C(kColourWhite), C(kColourWhite), C(kColourWhite),
                     C(kColourWhite));
    made->SetLabel("", statdata.FindFont(size), kLabelLeft);
    made->SetLabelColours(C(kColourWhite), C(kColourGrey));
    made->Show();
    Add(made);
    return made;
  };
  titleLabel = label(" - Title", 10, 6, kWidth - 20, 18, 10, C(kColourDarkSlate));
  folderLabel = label(" - Folder", 10, 26, kWidth - 20, 16, 7, C(kColourDarkSlate));
  folderLabel->SetLabelColours(C(kColourPaleGold), C(kColourGrey));
  for (int r = 0; r < kRows; ++r) {
    Label name;
    name.Append(title.Text());
    name.Append(" - Row ");
    name.Append(32, "%i", r + 1);
    auto* row =
        new FileRow(dialogGlobals, this, static_cast<unsigned>(dialogGlobals->NextId()),
                    name.Text(), kListLeft, kListTop + r * kRowHeight, kListWidth, kRowHeight, r);
    row->SetColours(C(kColourBlack), C(kColourBlack), C(kColourBlack), C(kColourWhite),
                    C(kColourWhite), C(kColourWhite), C(kColourWhite));
    row->SetLabel("", statdata.FindFont(8), kLabelLeft);
    row->SetLabelOffset(Point{4, 0});
    row->SetLabelColours(C(kColourWhite), C(kColourGrey));
    row->AddEventListener(this, kEventList);
    row->Show();
    Add(row);
    rows[r] = row;
  }
  nameCaption = label(" - Name Caption", 10, kNameY, 40, 16, 8, C(kColourDarkSlate));
  nameCaption->SetLabel("Name");
  nameLabel = label(" - Name", 52, kNameY, kWidth - 62, 16, 8, C(kColourBlack));
  nameLabel->SetLabelOffset(Point{4, 0});

  upButton = MakeButton(" - Up", "^", kArrowX, kListTop, kArrowWidth);
  downButton = MakeButton(" - Down", "v", kArrowX, kListBottom - kButtonHeight, kArrowWidth);
  okButton = MakeButton(" - OK", "OK", kWidth - 140, kButtonY, 60);
  cancelButton = MakeButton(" - Cancel", "Cancel", kWidth - 70, kButtonY, 60);
  ResizeDialog(kWidth, kHeight);
}

SFileDialog::~SFileDialog()
{
  DestroyChildren();
}

SButton<false>* SFileDialog::MakeButton(const char* part, const char* text, int x, int y, int width)
{
  Label name;
  name.Append(GetLabel().Text());
  name.Append(part);
  auto* button =
      new SButton<false>(dialogGlobals, this, static_cast<unsigned>(dialogGlobals->NextId()),
                         name.Text(), kStyleRounded, x, y, width, kButtonHeight);
  button->SetColours(C(kColourCharcoal), C(kColourSlateGrey), C(kColourDarkSlate), C(kColourOrange),
                     C(kColourBlack), C(kColourWhite), C(kColourWhite));
  button->SetLabel(text, statdata.FindFont(8), 0);
  button->SetLabelColours(C(kColourWhite), C(kColourGrey));
  button->SetType(kButtonTrigger);
  button->SetHoverColours(C(kColourSlateGrey), C(kColourSlateGrey));
  button->AddEventListener(this, kEventValue);
  button->Show();
  Add(button);
  return button;
}

std::string SFileDialog::LastFolder()
{
  std::lock_guard<std::mutex> hold(lastLock);
  return lastFolder;
}

void SFileDialog::Open(Mode mode_, const char* title_, const std::string& folder_,
                       const std::string& suffix_, const std::string& proposed, Done done_)
{
  mode = mode_;
  suffix = suffix_;
  done = std::move(done_);
  folder = folder_.empty() ? LastFolder() : folder_;
  if (!SFolder::IsFolder(folder))
    folder = SFolder::Home();
  name = mode == Mode::Save ? proposed : std::string();
  title = title_ ? title_ : "";
  replacing.clear();
  StopAsking();
  SetTitleText(title.c_str());
  Relist();
  ShowName();
  okButton->ClearState();
  cancelButton->ClearState();
  Center();
  Foreground(true);
  ShowDialog();
  Refresh();
}

void SFileDialog::Relist()
{
  StopAsking();
  SFolderListing listing;
  SFolder::List(folder, suffix, listing);
  folder = listing.folder;
  {
    std::lock_guard<std::mutex> hold(lastLock);
    lastFolder = folder;
  }
  entries.clear();
  if (folder != "/")
    entries.push_back(Entry{"..", true, true});
  for (const std::string& f : listing.folders)
    entries.push_back(Entry{f, true, false});
  for (const std::string& f : listing.files)
    entries.push_back(Entry{f, false, false});
  first = 0;
  selected = -1;
  const std::string shown =
      folder.size() > kShownPath ? "..." + folder.substr(folder.size() - kShownPath) : folder;
  folderLabel->SetLabel(shown.c_str());
  folderLabel->Refresh();
  ShowRows();
}

std::string SFileDialog::EntryText(int index) const
{
  if (index < 0 || index >= EntryCount())
    return "";
  const Entry& entry = entries[static_cast<size_t>(index)];
  return entry.folder && !entry.parent ? entry.name + "/" : entry.name;
}

int SFileDialog::RowOf(const std::string& text) const
{
  for (int r = 0; r < kRows; ++r) {
    if (first + r < EntryCount() && EntryText(first + r) == text)
      return r;
  }
  return -1;
}

void SFileDialog::ShowRows()
{
  for (int r = 0; r < kRows; ++r) {
    const int index = first + r;
    const bool on = index == selected;
    const int background = on ? C(kColourSlateGrey) : C(kColourBlack);
    rows[r]->SetColours(background, background, background, C(kColourWhite), C(kColourWhite),
                        C(kColourWhite), C(kColourWhite));
    const bool isFolder = index < EntryCount() && entries[static_cast<size_t>(index)].folder;
    rows[r]->SetLabelColours(isFolder ? C(kColourSkyBlue) : C(kColourWhite), C(kColourGrey));
    rows[r]->SetLabel(EntryText(index).c_str());
    rows[r]->Refresh();
  }
  const bool more = EntryCount() > kRows;
  upButton->Enable(more && first > 0);
  downButton->Enable(more && first + kRows < EntryCount());
  upButton->Refresh();
  downButton->Refresh();
}

void SFileDialog::ShowName()
{
  nameLabel->SetLabel(name.c_str());
  nameLabel->Refresh();
}

void SFileDialog::ScrollTo(int index)
{
  const int last = std::max(0, EntryCount() - kRows);
  const int next = std::clamp(index, 0, last);
  if (next == first)
    return;
  first = next;
  ShowRows();
}

void SFileDialog::Select(int index)
{
  if (index < 0 || index >= EntryCount())
    return;
  selected = index;
  const Entry& entry = entries[static_cast<size_t>(index)];
  if (!entry.folder) {
    name = entry.name;
    ShowName();
    StopAsking();
  }
  ShowRows();
}

void SFileDialog::Enter(const std::string& path)
{
  if (!SFolder::IsFolder(path))
    return;
  folder = path;
  Relist();
}

void SFileDialog::Activate(int index)
{
  if (index < 0 || index >= EntryCount())
    return;
  const Entry entry = entries[static_cast<size_t>(index)];
  if (entry.parent)
    Enter(SFolder::Parent(folder));
  else if (entry.folder)
    Enter(SFolder::Join(folder, entry.name));
  else
    Choose(SFolder::Join(folder, entry.name));
}

void SFileDialog::Accept()
{
  if (name.empty()) {
    // Nothing named: "OK" opens the folder selected.
    if (selected >= 0 && entries[static_cast<size_t>(selected)].folder)
      Activate(selected);
    return;
  }
  std::string file = name;
  const bool hasSuffix = file.size() > suffix.size() &&
                         file.compare(file.size() - suffix.size(), suffix.size(), suffix) == 0;
  if (mode == Mode::Save && !suffix.empty() && !hasSuffix)
    file += suffix;
  Choose(SFolder::Join(folder, file));
}

void SFileDialog::Choose(const std::string& path)
{
  if (mode != Mode::Save || path == replacing || !SFolder::Exists(path)) {
    Finish(path);
    return;
  }
  replacing = path;
  const std::string question = "Replace " + path.substr(path.rfind('/') + 1) + "?";
  titleLabel->SetLabel(question.c_str());
  titleLabel->Refresh();
  okButton->SetLabel("Replace");
  okButton->Refresh();
}

void SFileDialog::StopAsking()
{
  const bool asked = !replacing.empty();
  replacing.clear();
  titleLabel->SetLabel(title.c_str());
  okButton->SetLabel("OK");
  if (asked) {
    titleLabel->Refresh();
    okButton->Refresh();
  }
}

void SFileDialog::Finish(const std::string& path)
{
  Done call = std::move(done);
  done = nullptr;
  Cancel();
  if (call)
    call(path);
}

void SFileDialog::Cancel()
{
  CloseDialog();
  for (SButton<false>* button : {okButton, cancelButton, upButton, downButton}) {
    if (capture.load() == button)
      button->MouseReleaseCapture();
    button->ClearState();
  }
}

void SFileDialog::ParseEvent(SEvent* event)
{
  if (!event || !EventHandled(event->code) || !event->sender)
    return;
  if (event->code == kEventList) {
    const int index = first + event->value;
    if (event->realValue > 0.5f)
      Activate(index);
    else
      Select(index);
    return;
  }
  if (event->code != kEventValue || event->value != 1)
    return;
  SControl* sender = event->sender;
  if (sender == okButton) {
    Accept();
  } else if (sender == cancelButton) {
    done = nullptr;
    Cancel();
  } else if (sender == upButton) {
    ScrollTo(first - (kRows - 1));
  } else if (sender == downButton) {
    ScrollTo(first + (kRows - 1));
  }
}

void SFileDialog::MouseStateChanged(bool* flags, int code)
{
  SDialog::MouseStateChanged(flags, code);
  if (code != context::kMouseWheel || !flags)
    return;
  if (flags[context::kMouseWheelUp])
    ScrollTo(first - kWheelRows);
  else if (flags[context::kMouseWheelDown])
    ScrollTo(first + kWheelRows);
}

void SFileDialog::KeyStateChanged(int key, bool pressed, int /*modifiers*/, int keyClass)
{
  if (!pressed || !shown)
    return;
  if (keyClass == 4) {
    if (key == 0) { // Return
      Accept();
    } else if (key == 1) { // Escape
      done = nullptr;
      Cancel();
    } else if (key == 3 && !name.empty()) { // BackSpace
      name.pop_back();
      ShowName();
      StopAsking();
    }
    return;
  }
  // Printable Latin-1, never a folder separator.
  if (keyClass == 0 && key >= 32 && key < 256 && key != 127 && key != '/' && name.size() < 200) {
    name.push_back(static_cast<char>(key));
    ShowName();
    StopAsking();
  }
}

Point SFileDialog::RowCentre(int row)
{
  return Point{kListLeft + kListWidth / 2, kListTop + row * kRowHeight + kRowHeight / 2};
}

Point SFileDialog::OkCentre() const
{
  return Point{kWidth - 110, kButtonY + kButtonHeight / 2};
}

Point SFileDialog::CancelCentre() const
{
  return Point{kWidth - 40, kButtonY + kButtonHeight / 2};
}

Point SFileDialog::UpCentre() const
{
  return Point{kArrowX + kArrowWidth / 2, kListTop + kButtonHeight / 2};
}

Point SFileDialog::DownCentre() const
{
  return Point{kArrowX + kArrowWidth / 2, kListBottom - kButtonHeight / 2};
}

} // namespace vexo::gui
