// The audio path in steady state allocates nothing and takes no lock of the
// system. This program replaces the allocator and the blocking calls of the
// C library with counting versions (the plug-in, loaded through the host
// layer, binds to them too) and counts what the audio thread calls while it
// is inside the plug-in.
#include "engine/Parameters.h"
#include "tests/testsupport/PluginFixture.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <pthread.h>
#include <semaphore.h>

#include <atomic>
#include <thread>

extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void __libc_free(void*);
}

namespace {

// Set on the audio thread while it runs the plug-in's audio path.
thread_local bool measuring = false;
std::atomic<int> allocations{0};
std::atomic<int> blockingCalls{0};

bool Counting() { return measuring && !qhost::InHostCallback(); }

template <typename Function>
Function Next(const char* name)
{
  return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

} // namespace

extern "C" {

void* malloc(size_t size)
{
  if (Counting())
    ++allocations;
  return __libc_malloc(size);
}

void* calloc(size_t count, size_t size)
{
  if (Counting())
    ++allocations;
  return __libc_calloc(count, size);
}

void* realloc(void* pointer, size_t size)
{
  if (Counting())
    ++allocations;
  return __libc_realloc(pointer, size);
}

void free(void* pointer)
{
  if (Counting() && pointer)
    ++allocations;
  __libc_free(pointer);
}

int pthread_mutex_lock(pthread_mutex_t* mutex)
{
  static auto next = Next<int (*)(pthread_mutex_t*)>("pthread_mutex_lock");
  if (Counting())
    ++blockingCalls;
  return next(mutex);
}

int pthread_cond_wait(pthread_cond_t* condition, pthread_mutex_t* mutex)
{
  static auto next = Next<int (*)(pthread_cond_t*, pthread_mutex_t*)>("pthread_cond_wait");
  if (Counting())
    ++blockingCalls;
  return next(condition, mutex);
}

int sem_wait(sem_t* semaphore)
{
  static auto next = Next<int (*)(sem_t*)>("sem_wait");
  if (Counting())
    ++blockingCalls;
  return next(semaphore);
}

} // extern "C"

namespace {

class AudioPath : public testsupport::PluginTest
{
protected:
  // The plug-in's part of one block, called as the host's audio thread would,
  // with buffers made beforehand.
  void Block(VstEvents* events)
  {
    AEffect* effect = Effect();
    measuring = true;
    if (events)
      effect->dispatcher(effect, effProcessEvents, 0, 0, events, 0.0f);
    effect->processReplacing(effect, inputs, outputs, kFrames);
    measuring = false;
  }

  static constexpr int32_t kFrames = 512;
  float buffers[4][kFrames] = {};
  float* inputs[2] = {buffers[0], buffers[1]};
  float* outputs[2] = {buffers[2], buffers[3]};
};

} // namespace

TEST_F(AudioPath, SteadyStateNeitherAllocatesNorLocks)
{
  // The counting must see the plug-in's calls, or the test proves nothing.
  measuring = true;
  void* probe = malloc(16);
  free(probe);
  measuring = false;
  ASSERT_EQ(allocations.exchange(0), 2);

  Start();
  Plugin().SetParameter(param::kThru, 1.0f);
  Plugin().SetParameter(param::kPresetSwitching, 1.0f);
  for (int32_t strip = 0; strip < 1; ++strip) {
    Plugin().SetParameter(param::kChannelA + strip, 1.0f / 16.0f);
    Plugin().SetParameter(param::kNumberA + strip, 8.0f / 128.0f);
    Plugin().SetParameter(param::kValueA + strip, 100.0f / 128.0f);
  }

  // 200 events: note ons and offs through thru, controllers, and a Program
  // Change back to the same program (selected on the audio thread).
  VstMidiEvent store[200] = {};
  VstEventBlock<200> block{};
  block.numEvents = 200;
  for (int i = 0; i < 200; ++i) {
    VstMidiEvent& event = store[i];
    event.type = kVstMidiType;
    event.byteSize = 24;
    const int note = 36 + (i / 2) % 48;
    event.midiData[0] = i == 199 ? 0xC0 : (i % 2 == 0 ? 0x90 : 0x80);
    event.midiData[1] = static_cast<uint8_t>(i == 199 ? 0 : note);
    event.midiData[2] = 0x40;
    block.events[i] = reinterpret_cast<VstEvent*>(&event);
  }

  for (int i = 0; i < 20; ++i) // warm-up
    Block(block.AsEvents());
  allocations = 0;
  blockingCalls = 0;

  // Meanwhile another thread keeps triggering resends.
  std::atomic<bool> done{false};
  std::thread resender([&] {
    while (!done) {
      Plugin().SetParameter(param::kResend, 1.0f);
      Plugin().SetParameter(param::kResend, 0.0f);
      std::this_thread::yield();
    }
  });
  for (int i = 0; i < 500; ++i)
    Block(block.AsEvents());
  done = true;
  resender.join();
  for (int i = 0; i < 10; ++i)
    Block(nullptr);

  EXPECT_EQ(allocations, 0);
  EXPECT_EQ(blockingCalls, 0);
  EXPECT_GT(Plugin().Received().size(), 500u * 190u) << "the blocks really carried MIDI";
}
