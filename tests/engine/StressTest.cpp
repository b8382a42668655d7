// Several producers against the audio thread at once: the rings, the flags
// and the countdown must stay consistent (and, under the thread sanitizer,
// free of data races).
#include "model/Parameters.h"
#include "tests/testsupport/PluginFixture.h"
#include "tests/testsupport/RecordStress.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <map>
#include <thread>
#include <vector>

class Stress : public testsupport::PluginTest
{
};

TEST_F(Stress, ProducersOnSeveralThreadsAgainstTheAudioThread)
{
  Start();
  AEffect* effect = Effect();
  Plugin().SetParameter(param::kThru, 1.0f);
  Plugin().SetParameter(param::kChannelA, 1.0f / 16.0f);
  Plugin().SetParameter(param::kNumberA, 8.0f / 128.0f);
  Plugin().SetParameter(param::kValueA, 101.0f / 128.0f); // value 100
  Plugin().SetParameter(param::kSendOnChange, 1.0f);

  std::atomic<bool> done{false};
  std::vector<std::thread> producers;
  // Host events from a thread other than the audio thread.
  producers.emplace_back([&] {
    VstMidiEvent event{};
    event.type = kVstMidiType;
    event.byteSize = 24;
    VstEventBlock<1> block{};
    block.numEvents = 1;
    block.events[0] = reinterpret_cast<VstEvent*>(&event);
    for (int i = 0; !done; ++i) {
      event.midiData[0] = static_cast<uint8_t>(i % 2 ? 0x80 : 0x90);
      event.midiData[1] = static_cast<uint8_t>(i / 2 % 128);
      event.midiData[2] = 0x40;
      effect->dispatcher(effect, effProcessEvents, 0, 0, block.AsEvents(), 0.0f);
      std::this_thread::yield();
    }
  });
  // Resends from two threads (an editor and an automation lane).
  for (int t = 0; t < 2; ++t) {
    producers.emplace_back([&] {
      while (!done) {
        effect->setParameter(effect, param::kResend, 1.0f);
        effect->setParameter(effect, param::kResend, 0.0f);
        std::this_thread::yield();
      }
    });
  }
  // Program changes with countdowns started and cancelled.
  producers.emplace_back([&] {
    for (int i = 0; !done; ++i) {
      effect->setParameter(effect, param::kChangeDelay, (i % 3) / 999.0f);
      effect->dispatcher(effect, effSetProgram, 0, i % 4, nullptr, 0.0f);
      if (i % 5 == 0)
        effect->setParameter(effect, param::kThru, (i % 2) ? 1.0f : 0.0f);
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  });

  float buffers[4][128] = {};
  float* inputs[2] = {buffers[0], buffers[1]};
  float* outputs[2] = {buffers[2], buffers[3]};
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
  int blocks = 0;
  while (std::chrono::steady_clock::now() < end) {
    effect->processReplacing(effect, inputs, outputs, 128);
    ++blocks;
    std::this_thread::sleep_for(std::chrono::microseconds(100));
  }
  done = true;
  for (auto& producer : producers)
    producer.join();
  Plugin().Close(); // with a countdown possibly running

  const auto received = Plugin().Received();
  ASSERT_GT(received.size(), 100u);
  std::map<int, int> perCall;
  for (const qhost::ReceivedEvent& event : received) {
    const uint8_t status = event.bytes[0] & 0xF0;
    EXPECT_TRUE(status == 0x80 || status == 0x90 || status == 0xB0)
        << qhost::FormatMidi(event.bytes, 3);
    if (status == 0xB0) {
      EXPECT_EQ(event.bytes[1], 7);
      EXPECT_EQ(event.bytes[2], 100);
    }
    ++perCall[event.call];
  }
  EXPECT_EQ(static_cast<int>(perCall.size()), Plugin().SendEventCalls());
  for (const auto& [call, count] : perCall)
    EXPECT_LE(count, 256) << "call " << call;
  EXPECT_LE(Plugin().SendEventCalls(), blocks) << "at most one call per block";
}

TEST_F(Stress, RecordsStayWholeUnderAudioAutomationAndDispatcherThreads)
{
  Start();
  const testsupport::RecordStressCounts counts =
      testsupport::RunRecordStress(Effect(), std::chrono::milliseconds(600), nullptr);
  EXPECT_GT(counts.blocks, 20);
  EXPECT_GT(counts.parameterCalls, 1000);
  EXPECT_GT(counts.dispatcherRounds, 50);
  testsupport::ExpectWholeRecords(testsupport::CopyLiveChunk(Effect(), false));
  // Still the same plug-in afterwards: its bank loads back as saved.
  const std::vector<uint8_t> bank = Plugin().GetChunk(false);
  ASSERT_EQ(Plugin().SetChunk(bank, false), 1);
  EXPECT_EQ(Plugin().GetChunk(false), bank);
}
