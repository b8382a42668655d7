// Verify in the LV2 edition: the test synth answers on events_in, the
// result reaches the `verify` output port and, through the worker, a line
// of the host's log.
#include "host/TestSynth.h"
#include "model/VSTPluginProgramBank.h"
#include "tests/lv2/EditionPair.h"
#include "tests/testsupport/VerifyDumps.h"

#include <lv2/atom/atom.h>

#include <cstring>
#include <string>

namespace lv2test {
namespace {

constexpr uint32_t kVerifyPort = 5;
using testsupport::Dump;
using testsupport::kRequest;

std::shared_ptr<const SysExSet> SetOf(const std::vector<uint8_t>& message, bool request)
{
  SysExSet::Builder builder;
  builder.Append({message.data(), static_cast<int32_t>(message.size())});
  if (request)
    builder.SetRequest({kRequest.data(), static_cast<int32_t>(kRequest.size())});
  return builder.Build();
}

struct Lv2VerifyCase
{
  const char* name;
  int retries;
  bool otherHeader;
  int drop;
  int64_t alter;
  float port;
  std::vector<std::string> log;
};

class Lv2Verify : public EditionPair, public testing::WithParamInterface<Lv2VerifyCase>
{
};

TEST_P(Lv2Verify, ThePortAndTheLogTellTheResult)
{
  const Lv2VerifyCase& c = GetParam();
  const std::vector<uint8_t> dump = Dump(163);
  // A bank as the plug-in writes it, with program 0's dump and request and
  // a verify time of 100 ms.
  const std::vector<uint8_t> chunk = MakeBank({}, {});
  auto model = std::make_unique<VSTPluginProgramBank>();
  bool newer = false;
  ASSERT_EQ(model->readBank(chunk.data(), static_cast<int32_t>(chunk.size()), newer), 1);
  model->Settings().verifyMs = 100;
  model->Settings().retries = c.retries;
  const std::shared_ptr<const SysExSet> stored = SetOf(dump, true);
  const SysExSet* sets[kBankPrograms] = {stored.get()};
  LoadBank(model->WriteBank(sets), 0);

  qhost::TestSynthConfig config;
  config.dump = SetOf(c.otherHeader ? Dump(163, 0x21) : dump, false);
  config.latencyMs = 20;
  config.drop = c.drop;
  config.alter = c.alter;
  qhost::TestSynth synth(config);
  // The first block after the restore takes the ports as they are; the
  // resend rises in the next.
  lv2->Run(512);
  lv2->ClearLog();
  lv2->SetControl(2, 1.0f);
  size_t heard = 0;
  for (int block = 0; block < 300; ++block) {
    const double ms = static_cast<double>(lv2->FramesRun()) * 1000.0 / 44100.0;
    for (std::vector<uint8_t>& answer : synth.Due(ms))
      lv2->QueueMidi(std::move(answer), 0);
    lv2->Run(512);
    const std::vector<Wire> received = lv2->Received();
    for (; heard < received.size(); ++heard) {
      if (received[heard].bytes[0] == 0xF0)
        synth.Heard(received[heard].bytes,
                    static_cast<double>(received[heard].frame) * 1000.0 / 44100.0);
    }
  }
  EXPECT_EQ(lv2->Control(kVerifyPort), c.port);
  std::vector<std::string> lines;
  for (const std::string& line : lv2->Log())
    if (line.find("verify") != std::string::npos)
      lines.push_back(line);
  EXPECT_EQ(lines, c.log);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, Lv2Verify,
    testing::Values(
        Lv2VerifyCase{"TheRightReply",
                      1,
                      false,
                      0,
                      -1,
                      1.0f,
                      {"Quillet: verify program 0: verified (163 bytes)\n"}},
        Lv2VerifyCase{
            "AChangedByte",
            0,
            false,
            0,
            40,
            2.0f,
            {"Quillet: verify program 0: differs at byte 40 (sent 18, synth 19), 1 try failed\n"}},
        Lv2VerifyCase{"ADontCareByte",
                      0,
                      false,
                      0,
                      2,
                      1.0f,
                      {"Quillet: verify program 0: verified (163 bytes)\n"}},
        Lv2VerifyCase{"NoAnswer",
                      0,
                      false,
                      5,
                      -1,
                      3.0f,
                      {"Quillet: verify program 0: no answer, 1 try failed\n"}},
        Lv2VerifyCase{"AnAnswerAfterARetry",
                      1,
                      false,
                      1,
                      -1,
                      1.0f,
                      {"Quillet: verify program 0: no answer, try 1 of 2\n",
                       "Quillet: verify program 0: verified (163 bytes)\n"}},
        Lv2VerifyCase{"AReplyWithAnotherHeader",
                      0,
                      true,
                      0,
                      -1,
                      3.0f,
                      {"Quillet: verify program 0: no answer, 1 try failed\n"}}),
    [](const testing::TestParamInfo<Lv2VerifyCase>& info) { return info.param.name; });

} // namespace
} // namespace lv2test
