#include "tests/testsupport/RecordStress.h"

#include "model/VSTPluginProgram.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <thread>

namespace testsupport {

namespace {

VstIntPtr Dispatch(AEffect* effect, int32_t opcode, int32_t index = 0, VstIntPtr value = 0,
                   void* ptr = nullptr)
{
  return effect->dispatcher(effect, opcode, index, value, ptr, 0.0f);
}

void AudioThread(AEffect* effect, const std::atomic<bool>& done, int64_t& blocks)
{
  VstMidiEvent events[4] = {};
  VstEventBlock<4> block{};
  block.numEvents = 4;
  for (int i = 0; i < 4; ++i) {
    events[i].type = kVstMidiType;
    events[i].byteSize = 24;
    block.events[i] = reinterpret_cast<VstEvent*>(&events[i]);
  }
  float buffers[4][64] = {};
  float* inputs[2] = {buffers[0], buffers[1]};
  float* outputs[2] = {buffers[2], buffers[3]};
  for (int64_t i = 0; !done; ++i) {
    const auto note = static_cast<uint8_t>(i % 128);
    const uint8_t bytes[4][3] = {{0x90, note, 0x40},
                                 {0x80, note, 0x00},
                                 {0xB0, 7, static_cast<uint8_t>(i % 128)},
                                 {0xC0, static_cast<uint8_t>((i * 7) % 128), 0}};
    for (int e = 0; e < 4; ++e)
      std::memcpy(events[e].midiData, bytes[e], 3);
    // Hosts hand the events over on the audio thread, just before the block.
    Dispatch(effect, effProcessEvents, 0, 0, block.AsEvents());
    effect->processReplacing(effect, inputs, outputs, 64);
    ++blocks;
    std::this_thread::sleep_for(std::chrono::microseconds(150));
  }
}

void AutomationThread(AEffect* effect, const std::atomic<bool>& done, int64_t& calls)
{
  for (int64_t i = 0; !done; ++i) {
    const auto index = static_cast<int32_t>(i % 142);
    // Short delays only, so that countdowns come and go.
    const float value = index == 4 || index == 6 ? static_cast<float>(i % 3) / 999.0f
                                                 : static_cast<float>((i * 37) % 101) / 100.0f;
    effect->setParameter(effect, index, value);
    effect->getParameter(effect, index);
    ++calls;
    if (i % 64 == 0)
      std::this_thread::yield();
  }
}

void DispatcherThread(AEffect* effect, const std::atomic<bool>& done, int64_t& rounds)
{
  char name[64];
  for (int64_t i = 0; !done; ++i) {
    switch (i % 7) {
    case 0:
      Dispatch(effect, effSetProgram, 0, static_cast<VstIntPtr>((i * 13) % 128));
      break;
    case 1: {
      std::vector<uint8_t> bank = CopyLiveChunk(effect, false);
      Dispatch(effect, effSetChunk, 0, static_cast<VstIntPtr>(bank.size()), bank.data());
      break;
    }
    case 2: {
      std::vector<uint8_t> program = CopyLiveChunk(effect, true);
      Dispatch(effect, effSetChunk, 1, static_cast<VstIntPtr>(program.size()), program.data());
      // The older layout too.
      Dispatch(effect, effSetChunk, 1, 264, program.data());
      break;
    }
    case 3:
      Dispatch(effect, effMainsChanged, 0, 0);
      Dispatch(effect, effMainsChanged, 0, 1);
      break;
    case 4:
      std::snprintf(name, sizeof name, "Renamed %lld with a name too long to keep whole",
                    static_cast<long long>(i));
      Dispatch(effect, effSetProgramName, 0, 0, name);
      break;
    case 5:
      Dispatch(effect, effGetProgramName, 0, 0, name);
      Dispatch(effect, effGetProgramNameIndexed, static_cast<int32_t>(i % 128), 0, name);
      break;
    default:
      Dispatch(effect, effGetProgram);
      break;
    }
    ++rounds;
    std::this_thread::sleep_for(std::chrono::microseconds(50));
  }
}

} // namespace

std::vector<uint8_t> CopyLiveChunk(AEffect* effect, bool program)
{
  void* data = nullptr;
  const VstIntPtr size = Dispatch(effect, effGetChunk, program ? 1 : 0, 0, &data);
  if (size <= 0 || !data)
    return {};
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  const auto* live = static_cast<const uint8_t*>(data);
  for (size_t i = 0; i < bytes.size(); ++i)
    bytes[i] = __atomic_load_n(live + i, __ATOMIC_RELAXED);
  return bytes;
}

RecordStressCounts RunRecordStress(AEffect* effect, std::chrono::milliseconds duration,
                                   const std::function<void()>& idle)
{
  RecordStressCounts counts;
  std::atomic<bool> done{false};
  std::thread audio(AudioThread, effect, std::cref(done), std::ref(counts.blocks));
  std::thread automation(AutomationThread, effect, std::cref(done),
                         std::ref(counts.parameterCalls));
  std::thread dispatcher(DispatcherThread, effect, std::cref(done),
                         std::ref(counts.dispatcherRounds));
  const auto end = std::chrono::steady_clock::now() + duration;
  while (std::chrono::steady_clock::now() < end) {
    if (idle)
      idle();
    else
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  done = true;
  audio.join();
  automation.join();
  dispatcher.join();
  Dispatch(effect, effMainsChanged, 0, 1);
  return counts;
}

void ExpectWholeRecords(const std::vector<uint8_t>& bank)
{
  ASSERT_EQ(bank.size(), 128 * sizeof(VSTPluginProgram));
  for (size_t p = 0; p < 128; ++p) {
    VSTPluginProgram program;
    std::memcpy(&program, bank.data() + p * sizeof program, sizeof program);
    SCOPED_TRACE("program " + std::to_string(p));
    EXPECT_NE(std::memchr(program.name, '\0', sizeof program.name), nullptr);
    EXPECT_GE(program.initDelay, 0);
    EXPECT_LE(program.initDelay, 999);
    EXPECT_GE(program.changeDelay, 0);
    EXPECT_LE(program.changeDelay, 999);
    EXPECT_EQ(program.alignment[0] | program.alignment[1] | program.alignment[2], 0);
    for (int k = 0; k < kStripsPerProgram; ++k) {
      const VSTPluginStrip& strip = program.strips[k];
      EXPECT_LE(strip.formatA, 2);
      EXPECT_LE(strip.formatB, 2);
      EXPECT_LE(strip.channelA, 16);
      EXPECT_LE(strip.channelB, 16);
      EXPECT_LE(strip.numberA, 128);
      EXPECT_LE(strip.numberB, 128);
      EXPECT_LE(strip.valueA, 128);
      EXPECT_LE(strip.valueB, 128);
    }
  }
}

} // namespace testsupport
