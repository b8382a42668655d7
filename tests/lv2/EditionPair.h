// The two editions side by side: the VST 2 build loaded through the host
// layer and the LV2 bundle loaded through the lilv test host, fed the same
// bank and the same blocks, so that a test can compare what reaches the
// synth (bytes and frames) in both.
#pragma once

#include "model/StripMessages.h"
#include "host/VstHost.h"
#include "tests/lv2/Lv2TestHost.h"

#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

namespace lv2test {

// A strip to store: program, strip, messages A and B (as the record holds
// them: numbers and values plus one).
struct StripSpec
{
  int program;
  int strip;
  strips::Message a;
  strips::Message b;
};
strips::Message Cc(int channel, int number, int value);
strips::Message Pc(int channel, int program);

// A bank made by the VST 2 build: the strips stored by the record's own
// rules, then the parameters set (index, value as a host writes it).
std::vector<uint8_t> MakeBank(const std::vector<StripSpec>& strips,
                              const std::vector<std::pair<int32_t, float>>& parameters);

// What the VST 2 build handed its host, as a host puts it on the wire: each
// message at its frame in the run, of its own length, in time order within
// each block.
std::vector<Wire> VstWires(qhost::PluginInstance& plugin);

// Frames counted from the first message (for sends whose start depends on
// the clock, such as a countdown's).
std::vector<Wire> FromFirst(std::vector<Wire> messages);

class EditionPair : public ::testing::Test
{
protected:
  static constexpr int32_t kFrames = 512;

  void SetUp() override;
  void TearDown() override;

  // Both editions get the bank (and the program selected after it, as a
  // host does after loading a bank; for LV2 through the state).
  void LoadBank(const std::vector<uint8_t>& bank, int32_t program = 0);
  // A block on both, with the same MIDI at the same frames.
  void Block(const std::vector<std::pair<std::vector<uint8_t>, int32_t>>& midi = {});
  void Blocks(int count);
  // Both editions' output so far (and forgets it).
  std::vector<Wire> TakeVst();
  std::vector<Wire> TakeLv2();

  std::unique_ptr<qhost::PluginInstance> vst;
  std::unique_ptr<Lv2TestHost> lv2;
};

} // namespace lv2test
