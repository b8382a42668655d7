// The drawer's Load and Save and the file dialog they open, as a user works
// them: real pointer input (XTest) on the panel and the dialog, files in a
// folder of the test's own, what the engine holds and what was written
// compared byte for byte. Also the drawer's SysEx part: the units, the last
// message heard when it is a dump, the full list, and the rows beyond the
// visible ones.
#include <gtest/gtest.h>

#include "editor/SPanelFiles.h"
#include "editor/SPluginEditor.h"
#include "editor/SPluginPanel.h"
#include "engine/VSTPlugin.h"
#include "files/FileBytes.h"
#include "files/PresetFile.h"
#include "gui/SButton.h"
#include "gui/SFileDialog.h"
#include "gui/SInfo.h"
#include "gui/SMessageDialog.h"
#include "gui/XDisplay.h"
#include "model/Parameters.h"
#include "plugin/PluginInfo.h"
#include "support/system/SFolder.h"
#include "tests/testsupport/DirectHost.h"
#include "tests/testsupport/TempHome.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

using vexo::gui::SFileDialog;
using Bytes = std::vector<uint8_t>;

namespace {

constexpr int kOpenHeight = SPluginEditor::kHeight + SPluginPanel::kDrawerHeight;
// The file rows' buttons (.syx, .fxp, .fxb) and the SysEx list's controls,
// in the panel, which sits at the root's origin.
constexpr int kFileX[SPanelFiles::kKinds] = {50, 85, 120};
constexpr int kLoadY = SPluginEditor::kHeight + SPanelFiles::kTop + 7;
constexpr int kSaveY = kLoadY + 18;
constexpr int kArrowX = 132;
constexpr int kUpY = SPluginEditor::kHeight + 100 + 6;
constexpr int kDownY = kUpY + 13 * 3;
constexpr int kRemoveFirstX = 14;
constexpr unsigned long kLightGrey = 0x8A9196;

Bytes Message(int32_t size, uint8_t id, uint8_t fill = 0x11)
{
  Bytes bytes(static_cast<size_t>(size), fill);
  bytes[0] = 0xF0;
  bytes[1] = id;
  bytes[2] = 0x13;
  bytes.back() = 0xF7;
  return bytes;
}

void WriteFile(const std::string& path, const Bytes& bytes)
{
  std::string error;
  ASSERT_TRUE(files::WriteFileBytes(path, bytes, error)) << error;
}

Bytes ReadFile(const std::string& path)
{
  Bytes bytes;
  std::string error;
  files::ReadFileBytes(path, bytes, error);
  return bytes;
}

// The plug-in built directly with its editor open in a window at the
// root's origin, the drawer open; input through a connection of the test's
// own, the toolkit's pump delivering it.
class Files : public ::testing::Test
{
protected:
  void SetUp() override
  {
    home = temporaryHome.Path();
    ASSERT_FALSE(home.empty());
    display = ActiveDisplay();
    ASSERT_NE(display, nullptr);
    input = XOpenDisplay(nullptr);
    ASSERT_NE(input, nullptr);
    testsupport::DirectHost::Reset();
    int status = 0;
    plugin = std::make_unique<VSTPlugin>(testsupport::DirectHost::Callback, status);
    window =
        XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 520, kOpenHeight, 0, 0, 0);
    XMapWindow(display, window);
    XSync(display, False);
    editor = EditorOf(*plugin);
    ASSERT_EQ(editor->open(reinterpret_cast<void*>(window)), 1);
    plugin->setSampleRate(44100.0f);
    plugin->setBlockSize(64);
    plugin->resume();
    Locked([&] { Panel().OpenDrawer(true); });
    ASSERT_TRUE(Within([&] { return Panel().DrawerOpen(); }));
    // The size the editor asked for, as a host gives it.
    Locked([&] {
      XResizeWindow(display, window, 145, kOpenHeight);
      XSync(display, False);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    Shot("setup");
  }
  // With QUILLET_SHOTS set, the screen as "<name>.png" in that folder.
  static void Shot(const char* name)
  {
    if (const char* folder = std::getenv("QUILLET_SHOTS"))
      std::system(("import -window root '" + std::string(folder) + "/" + name + ".png'").c_str());
  }
  void TearDown() override
  {
    if (vexo::gui::SMessageDialog* box = vexo::gui::SInfoDialog())
      Locked([&] { box->CloseDialog(); });
    if (editor)
      editor->close();
    plugin.reset();
    if (window)
      XDestroyWindow(display, window);
    if (display)
      XSync(display, False);
    if (input)
      XCloseDisplay(input);
  }

  SPluginPanel& Panel() { return *editor->Panel(); }
  SPanelFiles& PanelFiles() { return *Panel().Files(); }
  void Locked(const std::function<void()>& work)
  {
    XLockDisplay(display);
    work();
    XUnlockDisplay(display);
  }
  // Whether `holds` comes true within two seconds (asked under the lock).
  bool Within(const std::function<bool()>& holds)
  {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(2000);
    for (;;) {
      XLockDisplay(display);
      const bool done = holds();
      XUnlockDisplay(display);
      if (done || std::chrono::steady_clock::now() >= limit)
        return done;
      Block();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  void Block() { testsupport::RunDirectBlock(*plugin); }
  void Pointer(int x, int y)
  {
    XTestFakeMotionEvent(input, -1, x, y, CurrentTime);
    XSync(input, False);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
  }
  void Button(bool down)
  {
    XTestFakeButtonEvent(input, 1, down ? True : False, CurrentTime);
    XSync(input, False);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  // A left click at a root position; a double click.
  void Click(int x, int y)
  {
    Pointer(x, y);
    Button(true);
    Button(false);
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
  }
  void DoubleClick(int x, int y)
  {
    Pointer(x, y);
    Button(true);
    Button(false);
    Button(true);
    Button(false);
    // Past the double-click time, so that the next click is one of its own.
    std::this_thread::sleep_for(std::chrono::milliseconds(450));
  }
  void Key(unsigned long keysym)
  {
    const KeyCode code = XKeysymToKeycode(input, keysym);
    XTestFakeKeyEvent(input, code, True, CurrentTime);
    XTestFakeKeyEvent(input, code, False, CurrentTime);
    XSync(input, False);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  // A point of the dialog in root coordinates.
  vexo::gui::Point OnDialog(vexo::gui::Point at)
  {
    Locked([&] { Dialog().GetClient2Screen(&at.x, &at.y); });
    return at;
  }
  SFileDialog& Dialog() { return *PanelFiles().Dialog(); }
  bool DialogShown() { return PanelFiles().Dialog() && PanelFiles().Dialog()->shown.load(); }
  // Clicks the row of the entry (which must be in view), once or twice.
  void ClickEntry(const std::string& text, bool twice)
  {
    int row = -1;
    ASSERT_TRUE(Within([&] { return (row = Dialog().RowOf(text)) >= 0; })) << text;
    const vexo::gui::Point at = OnDialog(SFileDialog::RowCentre(row));
    if (twice)
      DoubleClick(at.x, at.y);
    else
      Click(at.x, at.y);
  }
  void ClickOk()
  {
    vexo::gui::Point ok;
    Locked([&] { ok = Dialog().OkCentre(); });
    ok = OnDialog(ok);
    Click(ok.x, ok.y);
  }
  std::vector<Bytes> StoredSysEx()
  {
    std::vector<Bytes> out;
    SysExStore::Reader reader(plugin->SysEx());
    if (const SysExSet* set = reader.Current(plugin->getProgram())) {
      for (int32_t i = 0; i < set->Count(); ++i) {
        const SysExView m = set->Message(i);
        out.emplace_back(m.data, m.data + m.size);
      }
    }
    return out;
  }
  void Publish(const std::vector<Bytes>& messages)
  {
    SysExSet::Builder builder;
    for (const Bytes& m : messages)
      builder.Append(SysExView{m.data(), static_cast<int32_t>(m.size())});
    plugin->PublishSysEx(plugin->getProgram(), builder.Build());
  }
  std::string BoxText()
  {
    std::string text;
    if (vexo::gui::SMessageDialog* box = vexo::gui::SInfoDialog())
      Locked([&] { text = box->shown ? box->messageText.Text() : ""; });
    return text;
  }

  testsupport::TempHome temporaryHome;
  std::string home;
  Display* display = nullptr;
  Display* input = nullptr;
  std::unique_ptr<VSTPlugin> plugin;
  Window window = 0;
  SPluginEditor* editor = nullptr;
};

} // namespace

TEST_F(Files, LoadASyxFromAFolderAndSaveItUnderTheProgramsName)
{
  const std::string patches = home + "/patches";
  ASSERT_EQ(mkdir(patches.c_str(), 0755), 0);
  const Bytes voice = ReadFile(std::string(QUILLET_SOURCE_DIR) + "/examples/voice.syx");
  ASSERT_FALSE(voice.empty());
  WriteFile(patches + "/voice.syx", voice);
  WriteFile(patches + "/bank.fxb", Bytes(100, 0)); // not of the kind asked for

  Click(kFileX[SPanelFiles::kSysEx], kLoadY);
  ASSERT_TRUE(Within([&] { return DialogShown(); })) << "Load .syx opens the dialog";
  // A dialog opened before in this program starts in the folder last used.
  Locked([&] {
    if (Dialog().Folder() != home)
      Dialog().Enter(home);
  });
  ClickEntry("patches/", true);
  ASSERT_TRUE(Within([&] { return Dialog().Folder() == patches; })) << "a double click opens";
  Locked([&] {
    ASSERT_EQ(Dialog().EntryCount(), 2) << "the parent and the one .syx";
    EXPECT_EQ(Dialog().EntryText(0), "..");
    EXPECT_EQ(Dialog().EntryText(1), "voice.syx");
  });
  ClickEntry("voice.syx", false);
  ASSERT_TRUE(Within([&] { return Dialog().Name() == "voice.syx"; })) << "a click picks";
  Shot("dialog");
  ClickOk();
  ASSERT_TRUE(Within([&] { return !DialogShown(); }));
  ASSERT_TRUE(Within([&] { return StoredSysEx().size() == 1; }));
  EXPECT_EQ(StoredSysEx()[0], voice) << "the file's message is the program's";
  EXPECT_TRUE(
      Within([&] { return std::string(Panel().SysExHeading()) == "SysEx: 1 message, 20 bytes"; }));

  // Save proposes the program's name in the folder last used.
  Click(kFileX[SPanelFiles::kSysEx], kSaveY);
  ASSERT_TRUE(Within([&] { return DialogShown(); }));
  Locked([&] {
    EXPECT_EQ(Dialog().Folder(), patches);
    EXPECT_EQ(Dialog().Name(), "001 - empty preset.syx");
  });
  // A name typed replaces it, and the suffix is added.
  {
    const vexo::gui::Point over = OnDialog(SFileDialog::RowCentre(5));
    Pointer(over.x, over.y);
  }
  for (int i = 0; i < 26; ++i)
    Key(XK_BackSpace);
  for (unsigned long key : {XK_c, XK_o, XK_p, XK_y})
    Key(key);
  ASSERT_TRUE(Within([&] { return Dialog().Name() == "copy"; })) << Dialog().Name();
  ClickOk();
  ASSERT_TRUE(Within([&] { return !DialogShown(); }));
  EXPECT_EQ(ReadFile(patches + "/copy.syx"), voice) << "the saved bytes are the file's";

  // A Save onto a file that exists asks first; another name asks again.
  const Bytes old = {0xF0, 0x7D, 0x01, 0xF7};
  WriteFile(patches + "/old.syx", old);
  Click(kFileX[SPanelFiles::kSysEx], kSaveY);
  ASSERT_TRUE(Within([&] { return DialogShown(); }));
  ClickEntry("old.syx", true);
  ASSERT_TRUE(Within([&] { return Dialog().Replacing() == patches + "/old.syx"; }));
  Shot("replace");
  EXPECT_TRUE(DialogShown());
  EXPECT_EQ(ReadFile(patches + "/old.syx"), old) << "asked, not replaced";
  ClickEntry("copy.syx", false);
  ASSERT_TRUE(Within([&] { return Dialog().Name() == "copy.syx"; }));
  Locked([&] { EXPECT_EQ(Dialog().Replacing(), "") << "another name: the question is gone"; });
  ClickEntry("old.syx", false);
  ClickOk();
  ASSERT_TRUE(Within([&] { return Dialog().Replacing() == patches + "/old.syx"; }));
  ClickOk();
  ASSERT_TRUE(Within([&] { return !DialogShown(); }));
  EXPECT_EQ(ReadFile(patches + "/old.syx"), voice) << "the second OK replaces it";
}

TEST_F(Files, DialogScrollsWithTheArrowsAndTheWheelAndCancelLoadsNothing)
{
  for (int i = 0; i < 20; ++i)
    WriteFile(home + "/p" + std::to_string(10 + i) + ".fxp", {0});
  const Bytes before = plugin->CopyChunk(false);
  Click(kFileX[SPanelFiles::kProgram], kLoadY);
  ASSERT_TRUE(Within([&] { return DialogShown(); }));
  Locked([&] {
    if (Dialog().Folder() != home)
      Dialog().Enter(home);
  });
  ASSERT_TRUE(Within([&] { return Dialog().EntryCount() == 21; })) << "the parent, 20 files";
  struct Step
  {
    const char* what;
    int button; // 0: the down arrow, 1: the up arrow, 4 or 5: the wheel
    int first;
  };
  const Step steps[] = {
      {"down arrow", 0, 9}, {"wheel up", 4, 6}, {"wheel down", 5, 9}, {"up arrow", 1, 0}};
  for (const Step& step : steps) {
    vexo::gui::Point at;
    Locked([&] {
      at = step.button == 0   ? Dialog().DownCentre()
           : step.button == 1 ? Dialog().UpCentre()
                              : SFileDialog::RowCentre(3);
    });
    at = OnDialog(at);
    if (step.button < 4) {
      Click(at.x, at.y);
    } else {
      Pointer(at.x, at.y);
      XTestFakeButtonEvent(input, static_cast<unsigned>(step.button), True, CurrentTime);
      XTestFakeButtonEvent(input, static_cast<unsigned>(step.button), False, CurrentTime);
      XSync(input, False);
    }
    EXPECT_TRUE(Within([&] { return Dialog().FirstShown() == step.first; }))
        << step.what << ": " << Dialog().FirstShown();
  }
  ClickEntry("p10.fxp", false);
  vexo::gui::Point cancel;
  Locked([&] { cancel = Dialog().CancelCentre(); });
  cancel = OnDialog(cancel);
  Click(cancel.x, cancel.y);
  ASSERT_TRUE(Within([&] { return !DialogShown(); }));
  EXPECT_EQ(plugin->CopyChunk(false), before);
  EXPECT_EQ(BoxText(), "") << "nothing was read";
}

TEST_F(Files, ProgramAndBankSaveAsTheEngineChunkAndLoadBack)
{
  plugin->setProgram(5);
  plugin->setParameter(param::kChannelA, 3.0f / 16.0f);
  plugin->setParameter(param::kSpacing, 40.0f / 250.0f);
  const Bytes program = plugin->CopyChunk(true);
  const Bytes bank = plugin->CopyChunk(false);
  struct Case
  {
    SPanelFiles::Kind kind;
    const char* file;
    const Bytes& chunk;
  };
  for (const Case& c :
       {Case{SPanelFiles::kProgram, "/p.fxp", program}, Case{SPanelFiles::kBank, "/b.fxb", bank}}) {
    bool saved = false;
    Locked([&] { saved = PanelFiles().Save(c.kind, home + c.file); });
    ASSERT_TRUE(saved) << c.file;
    files::PresetFile preset;
    std::string error;
    ASSERT_TRUE(files::ReadPresetFileOfKind(home + c.file, quillet::kUniqueId,
                                            c.kind == SPanelFiles::kBank, preset, error))
        << error;
    EXPECT_EQ(preset.chunk, c.chunk) << c.file;
  }
  // Changed, then loaded back: as saved.
  plugin->setParameter(param::kChannelA, 9.0f / 16.0f);
  bool loaded = false;
  Locked([&] { loaded = PanelFiles().Load(SPanelFiles::kProgram, home + "/p.fxp"); });
  ASSERT_TRUE(loaded);
  EXPECT_EQ(plugin->CopyChunk(true), program);
  plugin->setProgram(0);
  plugin->setParameter(param::kSpacing, 0.0f);
  Locked([&] { loaded = PanelFiles().Load(SPanelFiles::kBank, home + "/b.fxb"); });
  ASSERT_TRUE(loaded);
  EXPECT_EQ(plugin->getProgram(), 5) << "the bank's program is selected";
  EXPECT_EQ(plugin->CopyChunk(false), bank);
}

TEST_F(Files, ARefusedFileShowsItsReasonAndChangesNothing)
{
  Publish({Message(30, 0x43)});
  std::string error;
  files::PresetFile foreign;
  foreign.bank = false;
  foreign.uniqueId = 0x41424344;
  foreign.numPrograms = 128;
  foreign.chunk = plugin->CopyChunk(true);
  ASSERT_TRUE(files::WritePresetFile(home + "/foreign.fxp", foreign, error));
  files::PresetFile program = foreign;
  program.uniqueId = quillet::kUniqueId;
  ASSERT_TRUE(files::WritePresetFile(home + "/program.fxp", program, error));
  WriteFile(home + "/broken.syx", {0xF0, 0x43, 0x00, 0x09});
  WriteFile(home + "/text.fxb", Bytes{'h', 'e', 'l', 'l', 'o'});

  struct Case
  {
    SPanelFiles::Kind kind;
    std::string file;
    const char* reason;
  };
  const Case cases[] = {
      {SPanelFiles::kSysEx, "/broken.syx", "broken.syx: "},
      {SPanelFiles::kSysEx, "/missing.syx", "missing.syx: No such file"},
      {SPanelFiles::kProgram, "/foreign.fxp", "belongs to another plug-in"},
      {SPanelFiles::kBank, "/program.fxp", "is a program file, not a bank file"},
      {SPanelFiles::kBank, "/text.fxb", "text.fxb: "},
  };
  const Bytes before = plugin->CopyChunk(false);
  for (const Case& c : cases) {
    bool loaded = true;
    Locked([&] { loaded = PanelFiles().Load(c.kind, home + c.file); });
    EXPECT_FALSE(loaded) << c.file;
    const std::string text = BoxText();
    EXPECT_NE(text.find("not loaded, nothing changed"), std::string::npos) << text;
    EXPECT_NE(text.find(c.reason), std::string::npos) << c.file << ": " << text;
    EXPECT_EQ(plugin->CopyChunk(false), before) << c.file << " changed the bank";
    // Synced, so that the server has taken the box away before the next
    // click comes on the test's own connection.
    Locked([&] {
      vexo::gui::SInfoDialog()->CloseDialog();
      XSync(display, False);
    });
  }
  // Nothing to save: said before a file is asked for.
  Publish({});
  Click(kFileX[SPanelFiles::kSysEx], kSaveY);
  EXPECT_TRUE(Within([&] {
    return BoxText().find("the current program has no SysEx messages") != std::string::npos;
  }));
  EXPECT_FALSE(DialogShown());
}

TEST_F(Files, DrawerShowsMillisecondsAndTheTabNamesSysEx)
{
  std::string tab;
  Locked([&] { tab = Panel().drawerTab->GetLabel().Text(); });
  EXPECT_NE(tab.find("SysEx"), std::string::npos) << tab;
  // "ms" right of the spacing, settle and gap dials.
  struct Area
  {
    const char* what;
    int left, top, right, bottom;
  };
  const int top = SPluginEditor::kHeight;
  for (const Area& a :
       {Area{"spacing", 57, top + 30, 69, top + 44}, Area{"settle", 125, top + 30, 139, top + 44},
        Area{"gap", 111, top + 82, 124, top + 96}}) {
    // Drawn once the panel has had its expose: asked until then.
    auto lit = [&] {
      XImage* image = XGetImage(display, editor->Panel()->window, a.left, a.top,
                                static_cast<unsigned>(a.right - a.left),
                                static_cast<unsigned>(a.bottom - a.top), AllPlanes, ZPixmap);
      bool found = false;
      for (int x = 0; image && x < a.right - a.left && !found; ++x)
        for (int y = 0; y < a.bottom - a.top && !found; ++y)
          found = (XGetPixel(image, x, y) & 0xFFFFFF) == kLightGrey;
      if (image)
        XDestroyImage(image);
      return found;
    };
    EXPECT_TRUE(Within(lit)) << a.what << " shows its unit";
  }
}

TEST_F(Files, HeardShowsALearnedDumpAndAFullListSaysSo)
{
  plugin->setParameter(param::kLearn, 1.0f);
  ASSERT_TRUE(Within([&] { return std::string(Panel().HeardText()) == "nothing yet"; }));
  auto hear = [&](const Bytes& message) {
    testsupport::HandSysEx(*plugin, message);
    Block();
  };
  Bytes dump = Message(163, 0x43, 0x00);
  dump[2] = 0x00;
  dump[3] = 0x09;
  hear(dump);
  EXPECT_TRUE(Within([&] {
    return std::string(Panel().HeardText()) == "SysEx 163 B  F0 43 00 09";
  })) << Panel().HeardText();
  EXPECT_STREQ(Panel().SysExFullText(), "");

  // A list with no room for the next dump.
  Publish({Message(65000, 0x41)});
  hear(Message(1000, 0x42));
  EXPECT_TRUE(Within([&] { return std::string(Panel().SysExFullText()) == "List full"; }));
  EXPECT_TRUE(
      Within([&] { return std::string(Panel().HeardText()) == "SysEx 1000 B  F0 42 13 11"; }));
}

TEST_F(Files, RowsBeyondTheVisibleOnesScrollAndRemove)
{
  std::vector<Bytes> messages;
  for (int i = 0; i < 15; ++i)
    messages.push_back(Message(10 + i, static_cast<uint8_t>(0x20 + i)));
  Publish(messages);
  ASSERT_TRUE(Within([&] { return std::string(Panel().SysExMore()) == "+ 11 more"; }));
  Click(kArrowX, kDownY);
  ASSERT_TRUE(Within([&] { return Panel().SysExFirst() == 4; })) << "down a page";
  Locked([&] { EXPECT_EQ(std::string(Panel().SysExRow(0)).substr(0, 4), "14 B"); });
  Click(kArrowX, kDownY);
  Click(kArrowX, kDownY);
  ASSERT_TRUE(Within([&] { return Panel().SysExFirst() == 11; })) << "to the last four";
  Click(kRemoveFirstX, kUpY);
  ASSERT_TRUE(Within([&] { return StoredSysEx().size() == 14; }));
  std::vector<Bytes> left = messages;
  left.erase(left.begin() + 11);
  EXPECT_EQ(StoredSysEx(), left) << "the twelfth message went, the others stay";
  Click(kArrowX, kUpY);
  EXPECT_TRUE(Within([&] { return Panel().SysExFirst() == 6; }));
}

TEST(Folder, ListsFoldersAndFilesOfOneKindSorted)
{
  char folder[] = "/tmp/quillet-folder-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::string root = folder;
  for (const char* sub : {"/b", "/a", "/.hidden"})
    ASSERT_EQ(mkdir((root + sub).c_str(), 0755), 0);
  for (const char* file : {"/z.syx", "/B.SYX", "/a.fxb", "/.h.syx"})
    WriteFile(root + file, {0});
  vexo::file::SFolderListing listing;
  ASSERT_TRUE(vexo::file::SFolder::List(root + "/", ".syx", listing));
  EXPECT_EQ(listing.folder, root);
  EXPECT_EQ(listing.folders, (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(listing.files, (std::vector<std::string>{"B.SYX", "z.syx"}));
  EXPECT_FALSE(vexo::file::SFolder::List(root + "/none", ".syx", listing));
  std::system(("rm -rf '" + root + "'").c_str());

  const std::pair<const char*, const char*> parents[] = {
      {"/a/b", "/a"}, {"/a/b/", "/a"}, {"/a", "/"}, {"/", "/"}};
  for (const auto& [path, parent] : parents)
    EXPECT_EQ(vexo::file::SFolder::Parent(path), parent) << path;
}
