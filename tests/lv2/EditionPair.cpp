#include "tests/lv2/EditionPair.h"

#include "midi/MidiBytes.h"
#include "model/ProgramExtension.h"
#include "model/VSTPluginProgramBank.h"
#include "tests/testsupport/PluginFixture.h"

#include <lv2/atom/atom.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace lv2test {

strips::Message Cc(int channel, int number, int value)
{
  strips::Message message;
  message.format = 0;
  message.channel = static_cast<uint8_t>(channel);
  message.number = static_cast<uint8_t>(number + 1);
  message.value = static_cast<uint8_t>(value + 1);
  return message;
}

strips::Message Pc(int channel, int program)
{
  strips::Message message;
  message.kind = kKindProgramChange;
  message.format = 1;
  message.channel = static_cast<uint8_t>(channel);
  message.number = static_cast<uint8_t>(program + 1);
  return message;
}

std::vector<uint8_t> MakeBank(const std::vector<StripSpec>& specs,
                              const std::vector<std::pair<int32_t, float>>& parameters)
{
  qhost::PluginInstance plugin(testsupport::Library());
  plugin.StartUp();
  // The model's own reader and writer, as quillet-host uses them.
  const std::vector<uint8_t> chunk = plugin.GetChunk(false);
  auto model = std::make_unique<VSTPluginProgramBank>();
  bool newer = false;
  EXPECT_EQ(model->readBank(chunk.data(), static_cast<int32_t>(chunk.size()), newer), 1);
  for (const StripSpec& wanted : specs) {
    VSTPluginProgram& program = (*model)[wanted.program];
    ProgramExtension& extension = model->Extension(wanted.program);
    strips::AddStrip(program, extension, wanted.strip);
    strips::Write(program, extension, wanted.strip, 0, wanted.a);
    strips::Write(program, extension, wanted.strip, 1, wanted.b);
  }
  const std::vector<uint8_t> bank = model->WriteBank();
  EXPECT_EQ(plugin.SetChunk(bank, false), 1);
  for (const auto& [index, value] : parameters)
    plugin.SetParameter(index, value);
  return plugin.GetChunk(false);
}

std::vector<Wire> VstWires(qhost::PluginInstance& plugin)
{
  std::vector<Wire> wires;
  for (const qhost::ReceivedEvent& event : plugin.Received()) {
    const int32_t length = midi::MessageLength(event.bytes[0]);
    wires.push_back(
        {event.frame, std::vector<uint8_t>(event.bytes, event.bytes + (length ? length : 1))});
  }
  // The host keeps the plug-in's order; on the wire a block is in time order.
  std::stable_sort(wires.begin(), wires.end(),
                   [](const Wire& a, const Wire& b) { return a.frame < b.frame; });
  plugin.ClearReceived();
  return wires;
}

std::vector<Wire> FromFirst(std::vector<Wire> messages)
{
  if (messages.empty())
    return messages;
  const int64_t first = messages.front().frame;
  for (Wire& message : messages)
    message.frame -= first;
  return messages;
}

void EditionPair::SetUp()
{
  ASSERT_TRUE(testsupport::Library().Loaded()) << testsupport::Library().Error();
  vst = std::make_unique<qhost::PluginInstance>(testsupport::Library());
  ASSERT_TRUE(vst->Loaded());
  vst->Config().answersTime = true;
  vst->StartUp(44100.0f, kFrames);
  lv2 = std::make_unique<Lv2TestHost>();
  ASSERT_TRUE(lv2->Loaded()) << lv2->Error();
  lv2->Activate();
}

void EditionPair::TearDown()
{
  lv2.reset();
  vst.reset();
}

void EditionPair::LoadBank(const std::vector<uint8_t>& bank, int32_t program)
{
  ASSERT_EQ(vst->SetChunk(bank, false), 1);
  vst->SelectProgram(program);
  std::map<uint32_t, Property> state;
  state[lv2->Map("urn:quillet:quillet:bank")] = {lv2->Map(LV2_ATOM__Chunk), bank};
  std::vector<uint8_t> number(4);
  std::memcpy(number.data(), &program, 4);
  state[lv2->Map("urn:quillet:quillet:program")] = {lv2->Map(LV2_ATOM__Int), number};
  ASSERT_EQ(lv2->Restore(state), LV2_STATE_SUCCESS);
}

void EditionPair::Block(const std::vector<std::pair<std::vector<uint8_t>, int32_t>>& midi)
{
  for (const auto& [bytes, frame] : midi) {
    uint8_t data[3] = {0, 0, 0};
    std::copy(bytes.begin(), bytes.begin() + std::min<size_t>(bytes.size(), 3), data);
    vst->QueueMidi(data[0], data[1], data[2], frame);
    lv2->QueueMidi(bytes, frame);
  }
  vst->RunBlock(kFrames);
  lv2->Run(kFrames);
}

void EditionPair::Blocks(int count)
{
  for (int i = 0; i < count; ++i)
    Block();
}

std::vector<Wire> EditionPair::TakeVst()
{
  return VstWires(*vst);
}

std::vector<Wire> EditionPair::TakeLv2()
{
  std::vector<Wire> wires = lv2->Received();
  lv2->ClearReceived();
  return wires;
}

} // namespace lv2test
