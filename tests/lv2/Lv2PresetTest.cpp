// A preset bundle written by `quillet-host lv2-preset`, loaded by lilv as an
// LV2 host loads a preset from its menu: the plug-in takes the bank, its
// state then saves exactly the preset's bytes, and the restore sends the
// bank's init send. A preset the plug-in saved through lilv reads back with
// --extract as the same bank.
#include "files/Lv2Preset.h"
#include "files/PresetFile.h"
#include "tests/lv2/Lv2TestHost.h"
#include "tests/testsupport/Subprocess.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <lilv/lilv.h>

#include <cstdlib>
#include <unistd.h>

namespace lv2test {
namespace {

using testsupport::RunHost;

class Lv2Preset : public testing::Test
{
protected:
  void SetUp() override
  {
    char pattern[] = "/tmp/quillet-preset-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder = pattern;
    bank = folder + "/bank.fxb";
    // Bank Select 2, Program Change 5 and volume 100, sent on init 20 ms
    // apart, in program 3, the bank's current program.
    const auto made = RunHost({"run", QUILLET_PLUGIN_PATH, "--strip", "3:0:cc/1/0/2:pc/1/5",
                               "--strip", "3:1:cc/1/7/100", "--send-on-init", "--spacing", "20",
                               "--select", "3@0", "--seconds", "0.03", "--save-bank", bank});
    ASSERT_EQ(made.exitCode, 0) << made.err;
  }
  void TearDown() override
  {
    const std::string command = "rm -rf '" + folder + "'";
    EXPECT_EQ(std::system(command.c_str()), 0);
  }

  std::string folder;
  std::string bank;
};

void SetPortValue(const char*, void*, const void*, uint32_t, uint32_t) {}

TEST_F(Lv2Preset, LilvRestoresItAndTheStateSavesItsBytesAndSendsTheBank)
{
  const auto written = RunHost({"lv2-preset", bank, "Synth bank", "--folder", folder + "/lv2"});
  ASSERT_EQ(written.exitCode, 0) << written.err;
  const std::string path = folder + "/lv2/Quillet_Synth_bank.lv2/Synth_bank.ttl";
  files::Lv2PresetState preset;
  std::string error;
  ASSERT_TRUE(files::ReadLv2Preset(path, preset, error)) << error;
  EXPECT_EQ(preset.label, "Synth bank");
  EXPECT_EQ(preset.program, 3);

  Lv2TestHost host;
  ASSERT_TRUE(host.Loaded()) << host.Error();
  host.Activate();
  LilvState* state = lilv_state_new_from_file(host.World(), host.UridMap(), nullptr, path.c_str());
  ASSERT_NE(state, nullptr);
  lilv_state_restore(state, host.Instance(), SetPortValue, nullptr, 0, host.Features());
  lilv_state_free(state);
  EXPECT_TRUE(host.SavedBank() == preset.bank) << "what the plug-in's own state save holds";
  host.RunBlocks(8);
  std::vector<std::vector<uint8_t>> sent;
  for (const Wire& wire : host.Received())
    sent.push_back(wire.bytes);
  EXPECT_THAT(sent, testing::ElementsAre(std::vector<uint8_t>{0xB0, 0x00, 0x02},
                                         std::vector<uint8_t>{0xC0, 0x05},
                                         std::vector<uint8_t>{0xB0, 0x07, 0x64}));
}

TEST_F(Lv2Preset, APresetTheHostSavedExtractsToTheBank)
{
  // The plug-in's state saved by lilv as a host saves a user's preset.
  files::PresetFile file;
  std::string error;
  ASSERT_TRUE(files::ReadPresetFile(bank, file, error)) << error;
  Lv2TestHost host;
  ASSERT_TRUE(host.Loaded()) << host.Error();
  host.Activate();
  const auto restored = RunHost({"lv2-preset", bank, "x", "--folder", folder + "/in"});
  ASSERT_EQ(restored.exitCode, 0) << restored.err;
  LilvState* in = lilv_state_new_from_file(host.World(), host.UridMap(), nullptr,
                                           (folder + "/in/Quillet_x.lv2/x.ttl").c_str());
  ASSERT_NE(in, nullptr);
  lilv_state_restore(in, host.Instance(), SetPortValue, nullptr, 0, host.Features());
  lilv_state_free(in);
  LilvState* saved = lilv_state_new_from_instance(
      host.Plugin(), host.Instance(), host.UridMap(), nullptr, nullptr, nullptr, nullptr,
      [](const char*, void*, uint32_t*, uint32_t*) -> const void* { return nullptr; }, nullptr,
      LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE, host.Features());
  ASSERT_NE(saved, nullptr);
  lilv_state_set_label(saved, "Saved by the host");
  ASSERT_EQ(lilv_state_save(host.World(), host.UridMap(), host.UridUnmap(), saved, nullptr,
                            (folder + "/saved.lv2").c_str(), "saved.ttl"),
            0);
  lilv_state_free(saved);

  const std::string out = folder + "/again.fxb";
  const auto extracted = RunHost({"lv2-preset", "--extract", folder + "/saved.lv2/saved.ttl", out});
  ASSERT_EQ(extracted.exitCode, 0) << extracted.err;
  files::PresetFile again;
  ASSERT_TRUE(files::ReadPresetFile(out, again, error)) << error;
  EXPECT_TRUE(again.chunk == file.chunk);
  EXPECT_EQ(again.currentProgram, 3);
  EXPECT_TRUE(again.bank);
}

TEST_F(Lv2Preset, RefusesWhatIsNoPresetOfThePlugIn)
{
  const std::string other = folder + "/other.ttl";
  const std::string text = "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
                           "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
                           "<> a pset:Preset ; lv2:appliesTo <urn:example:synth> .\n";
  FILE* file = std::fopen(other.c_str(), "w");
  ASSERT_NE(file, nullptr);
  std::fputs(text.c_str(), file);
  std::fclose(file);
  const auto foreign = RunHost({"lv2-preset", "--extract", other, folder + "/x.fxb"});
  EXPECT_EQ(foreign.exitCode, 2);
  EXPECT_EQ(foreign.err, "quillet-host: " + other +
                             ": a preset of <urn:example:synth>, not of <urn:quillet:quillet>\n");
  EXPECT_NE(access((folder + "/x.fxb").c_str(), F_OK), 0) << "nothing written";
}

} // namespace
} // namespace lv2test
