// SysExInbox: SysEx messages the audio thread heard while Learn is on, on
// their way to the learning thread, which adds them to the program's list.
// A synth's dump may be 20 KB or more, far beyond the 32-byte cells of the
// other rings, so this is a ring of bytes: each message is a 4-byte length
// followed by its bytes, wrapping at the end of the buffer.
//
// One producer (the audio thread, in processEvents) and one consumer (the
// learning thread). `writePosition` counts the bytes the producer has
// written and is advanced only after a whole message (length and bytes) is
// in place (release); `readPosition` counts the bytes the consumer has
// taken and is advanced only after it has copied a whole message out
// (release), which hands that room back. Both count modulo 2^32, which the
// capacity (a power of two) divides, so `write - read` is always the bytes
// in use and `position % kCapacity` the place in the buffer. A
// message that does not fit the free room is dropped whole: the audio
// thread never waits. The buffer is allocated once, with the plug-in;
// nothing here allocates, blocks or enters the kernel afterwards.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstring>
#include <memory>

class SysExInbox
{
public:
  // Room for three of the largest messages a program can hold (64 KiB each)
  // with their lengths.
  static constexpr uint32_t kCapacity = 256 * 1024;
  static constexpr uint32_t kLargestMessage = 64 * 1024;
  static_assert((kCapacity & (kCapacity - 1)) == 0, "the capacity must be a power of two");

  SysExInbox() : buffer(new uint8_t[kCapacity]) {}
  SysExInbox(const SysExInbox&) = delete;
  SysExInbox& operator=(const SysExInbox&) = delete;

  // Producer only. False (the message dropped) when it is empty, larger than
  // kLargestMessage or the free room cannot take it.
  bool Push(const uint8_t* bytes, uint32_t size) noexcept
  {
    if (!bytes || size == 0 || size > kLargestMessage)
      return false;
    const uint32_t write = writePosition.load(std::memory_order_relaxed);
    const uint32_t used = write - readPosition.load(std::memory_order_acquire);
    if (kCapacity - used < sizeof size + size)
      return false;
    uint8_t length[sizeof size];
    std::memcpy(length, &size, sizeof size);
    CopyIn(write, length, sizeof size);
    CopyIn(write + sizeof size, bytes, size);
    writePosition.store(write + sizeof size + size, std::memory_order_release);
    return true;
  }

  // Consumer only. Copies the oldest message into `out` (room for
  // kLargestMessage bytes) and returns its size; 0 when none is waiting.
  uint32_t Pop(uint8_t* out) noexcept
  {
    const uint32_t read = readPosition.load(std::memory_order_relaxed);
    if (read == writePosition.load(std::memory_order_acquire))
      return 0;
    uint8_t length[sizeof(uint32_t)];
    CopyOut(read, length, sizeof length);
    uint32_t size = 0;
    std::memcpy(&size, length, sizeof size);
    CopyOut(read + sizeof size, out, size);
    readPosition.store(read + sizeof size + size, std::memory_order_release);
    return size;
  }

  bool Empty() const noexcept
  {
    return readPosition.load(std::memory_order_acquire) ==
           writePosition.load(std::memory_order_acquire);
  }

private:
  void CopyIn(uint32_t at, const uint8_t* bytes, uint32_t size) noexcept
  {
    const uint32_t start = at % kCapacity;
    const uint32_t first = size < kCapacity - start ? size : kCapacity - start;
    std::memcpy(buffer.get() + start, bytes, first);
    std::memcpy(buffer.get(), bytes + first, size - first);
  }

  void CopyOut(uint32_t at, uint8_t* bytes, uint32_t size) const noexcept
  {
    const uint32_t start = at % kCapacity;
    const uint32_t first = size < kCapacity - start ? size : kCapacity - start;
    std::memcpy(bytes, buffer.get() + start, first);
    std::memcpy(bytes + first, buffer.get(), size - first);
  }

  std::unique_ptr<uint8_t[]> buffer;
  alignas(64) std::atomic<uint32_t> writePosition{0};
  alignas(64) std::atomic<uint32_t> readPosition{0};
};
