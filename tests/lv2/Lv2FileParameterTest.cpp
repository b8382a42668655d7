// The file parameters set as a host sets them (patch:Set on events_in):
// each file taken shows in the saved state and in what a restore of that
// state sends, and the host is told its path; a refused file gives one line
// in the log and leaves the state byte for byte as it was.
#include "files/FileBytes.h"
#include "files/PresetFile.h"
#include "model/Parameters.h"
#include "model/VSTPluginProgramBank.h"
#include "tests/lv2/EditionPair.h"
#include "tests/testsupport/PluginFixture.h"

#include <gmock/gmock.h>

#include <lv2/atom/atom.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

namespace lv2test {
namespace {

constexpr const char* kSysExFile = "urn:quillet:quillet:sysex-file";
constexpr const char* kPresetFile = "urn:quillet:quillet:preset-file";

using State = std::map<uint32_t, Property>;

// The messages as "frame: bytes", a long one by its first bytes and size.
std::string Summary(const std::vector<Wire>& wires)
{
  std::string text;
  for (const Wire& wire : wires) {
    text += std::to_string(wire.frame) + ":";
    char part[8];
    for (size_t i = 0; i < wire.bytes.size() && i < 3; ++i) {
      std::snprintf(part, sizeof part, " %02X", wire.bytes[i]);
      text += part;
    }
    if (wire.bytes.size() > 3)
      text += " (" + std::to_string(wire.bytes.size()) + " bytes)";
    text += "\n";
  }
  return text;
}

std::vector<uint8_t> Bank(const std::vector<StripSpec>& strips, float spacingMs)
{
  return MakeBank(strips, {{param::kSendOnInit, 1.0f},
                           {param::kInitDelay, 0.0f},
                           {param::kSpacing, spacingMs / 250.0f}});
}

// The files of the cases, in a folder of their own.
class Files
{
public:
  Files()
  {
    char pattern[] = "/tmp/quillet-lv2-files-XXXXXX";
    folder = ::mkdtemp(pattern) ? pattern : "/tmp";
    std::vector<uint8_t> voice = {0xF0, 0x43, 0x00, 0x00, 0x01, 0x1B};
    for (int i = 0; i < 155; ++i)
      voice.push_back(static_cast<uint8_t>((i * 7) & 0x7F));
    voice.insert(voice.end(), {0x11, 0xF7});
    Write("voice.syx", voice);
    Write("broken.syx", {0xF0, 0x43, 0x00, 0x01, 0x02});

    qhost::PluginInstance plugin(testsupport::Library());
    files::PresetFile bank;
    bank.uniqueId = plugin.Effect()->uniqueID;
    bank.numPrograms = 128;
    bank.currentProgram = 2;
    bank.chunk = Bank({{2, 0, Cc(2, 74, 10), {}}}, 0);
    Write("bank.fxb", files::EncodePreset(bank));
    std::vector<uint8_t> truncated = files::EncodePreset(bank);
    truncated.resize(truncated.size() - 10);
    Write("truncated.fxb", truncated);
    bank.uniqueId += 1;
    Write("other.fxb", files::EncodePreset(bank));

    // A program of an unpaced bank, with the extension (a Program Change).
    const std::vector<uint8_t> unpaced = Bank({{0, 0, Pc(3, 9), Cc(3, 74, 30)}}, 0);
    auto model = std::make_unique<VSTPluginProgramBank>();
    bool newer = false;
    model->readBank(unpaced.data(), static_cast<int32_t>(unpaced.size()), newer);
    files::PresetFile program;
    program.bank = false;
    program.uniqueId = plugin.Effect()->uniqueID;
    program.numPrograms = 128;
    program.chunk = model->WriteProgram(0);
    Write("program.fxp", files::EncodePreset(program));
  }
  ~Files()
  {
    for (const std::string& name : written)
      std::remove(Path(name.c_str()).c_str());
    std::remove(folder.c_str());
  }
  std::string Path(const char* name) const { return *name ? folder + "/" + name : folder; }

private:
  void Write(const char* name, const std::vector<uint8_t>& bytes)
  {
    std::string error;
    EXPECT_TRUE(files::WriteFileBytes(Path(name), bytes, error)) << error;
    written.emplace_back(name);
  }
  std::string folder;
  std::vector<std::string> written;
};

struct FileCase
{
  const char* name;
  const char* parameter;
  const char* file;
  const char* refusal; // null: the file is taken
  const char* sends;   // what a restore of the state after it sends
};

class Lv2FileParameters : public ::testing::TestWithParam<FileCase>
{
protected:
  static void SetUpTestSuite() { files = new Files(); }
  static void TearDownTestSuite() { delete files; }

  // A state restored into a fresh instance: what it sends in its first
  // blocks.
  static std::string SendsAfterRestore(Lv2TestHost& from, const State& state)
  {
    Lv2TestHost fresh;
    fresh.Activate();
    State moved;
    for (const auto& [key, property] : state)
      moved[fresh.Map(from.Unmap(key))] = {fresh.Map(from.Unmap(property.type)), property.value};
    EXPECT_EQ(fresh.Restore(moved), LV2_STATE_SUCCESS);
    fresh.RunBlocks(8);
    return Summary(fresh.Received());
  }

  static inline Files* files = nullptr;
};

// The paced bank the files go into: program 0 sends volume 100 and pan 64,
// 20 ms (882 frames) apart.
constexpr const char* kBankSends = "0: B0 07 64\n882: B0 0A 40\n";

TEST_P(Lv2FileParameters, ATakenFileGoesIntoTheStateARefusedOneChangesNothing)
{
  const FileCase& c = GetParam();
  Lv2TestHost host;
  host.Activate();
  State bank;
  bank[host.Map("urn:quillet:quillet:bank")] = {host.Map(LV2_ATOM__Chunk),
                                                Bank({{0, 0, Cc(1, 7, 100), Cc(1, 10, 64)}}, 20)};
  ASSERT_EQ(host.Restore(bank), LV2_STATE_SUCCESS);
  host.RunBlocks(4);
  State before;
  ASSERT_EQ(host.Save(before), LV2_STATE_SUCCESS);
  ASSERT_EQ(SendsAfterRestore(host, before), kBankSends);
  host.ClearLog();

  const std::string path = files->Path(c.file);
  host.QueuePatchSet(c.parameter, path);
  host.RunBlocks(2);
  State after;
  ASSERT_EQ(host.Save(after), LV2_STATE_SUCCESS);
  const std::vector<std::string> log = host.Log();
  if (c.refusal) {
    ASSERT_EQ(log.size(), 1u) << "one line";
    EXPECT_THAT(log[0], testing::AllOf(testing::HasSubstr("nothing changed: " + path),
                                       testing::HasSubstr(c.refusal)));
    EXPECT_TRUE(after == before) << "the state byte for byte as it was";
    EXPECT_THAT(host.TakeReports(), testing::IsEmpty());
  } else {
    EXPECT_THAT(log, testing::IsEmpty());
    EXPECT_FALSE(after == before);
    const std::string report = std::string(c.parameter) + "=" + path;
    EXPECT_THAT(host.TakeReports(), testing::ElementsAre(report)) << "the host is told";
    host.QueuePatchGet();
    host.Run();
    EXPECT_THAT(host.TakeReports(), testing::ElementsAre(report)) << "and asked, tells again";
  }
  EXPECT_EQ(SendsAfterRestore(host, after), c.sends);
}

INSTANTIATE_TEST_SUITE_P(
    Files, Lv2FileParameters,
    testing::Values(
        // The dump goes first (no Program Change, no SysEx gap), the strips
        // after it.
        FileCase{"Syx", kSysExFile, "voice.syx", nullptr,
                 "0: F0 43 00 (163 bytes)\n0: B0 07 64\n882: B0 0A 40\n"},
        FileCase{"BrokenSyx", kSysExFile, "broken.syx",
                 "the message at offset 0 has no F7 before the end of the file", kBankSends},
        FileCase{"BankAsSyx", kSysExFile, "bank.fxb", "byte 0x43 at offset 0 is outside",
                 kBankSends},
        // The whole bank, in its current program 2.
        FileCase{"Bank", kPresetFile, "bank.fxb", nullptr, "0: B1 4A 0A\n"},
        // Into program 0, paced as the bank is (the program's own is 0 ms).
        FileCase{"ProgramIntoAPacedBank", kPresetFile, "program.fxp", nullptr,
                 "0: C2 09\n882: B2 4A 1E\n"},
        FileCase{"AnotherPluginsBank", kPresetFile, "other.fxb",
                 "belongs to another plug-in (unique id", kBankSends},
        FileCase{"TruncatedBank", kPresetFile, "truncated.fxb", "(truncated or damaged)",
                 kBankSends},
        FileCase{"SyxAsPreset", kPresetFile, "voice.syx", "not a VST preset file", kBankSends},
        FileCase{"Folder", kPresetFile, "", "is a folder, not a file", kBankSends}),
    [](const testing::TestParamInfo<FileCase>& info) { return info.param.name; });

// A chooser shows what the user picked, refused or not: after a refusal the
// host is told the last file taken again, and a patch:Get of one parameter
// is answered for that one alone.
TEST(Lv2FileParameterReports, ARefusalTellsTheLastFileTakenAgain)
{
  const Files files;
  Lv2TestHost host;
  host.Activate();
  host.QueuePatchSet(kSysExFile, files.Path("voice.syx"));
  host.RunBlocks(2);
  host.QueuePatchSet(kSysExFile, files.Path("broken.syx"));
  host.QueuePatchSet(kPresetFile, files.Path("broken.syx"));
  host.RunBlocks(2);
  const std::string taken = std::string(kSysExFile) + "=" + files.Path("voice.syx");
  EXPECT_THAT(host.TakeReports(), testing::ElementsAre(taken, taken));
  EXPECT_EQ(host.Log().size(), 2u);
  host.QueuePatchGet(kPresetFile);
  host.QueuePatchGet(kSysExFile);
  host.Run();
  EXPECT_THAT(host.TakeReports(), testing::ElementsAre(taken));
}

} // namespace
} // namespace lv2test
