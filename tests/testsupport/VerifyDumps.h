// The dump and the dump request the verify tests of both editions and of
// quillet-host send and answer.
#pragma once

#include <cstdint>
#include <vector>

namespace testsupport {

// A dump of `size` bytes: F0 7D, a device byte 10, a command 20, data, F7.
inline std::vector<uint8_t> Dump(int32_t size, uint8_t command = 0x20)
{
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  for (size_t i = 0; i < bytes.size(); ++i)
    bytes[i] = static_cast<uint8_t>(i * 7 % 128);
  bytes[0] = 0xF0;
  bytes[1] = 0x7D;
  bytes[2] = 0x10;
  bytes[3] = command;
  bytes.back() = 0xF7;
  return bytes;
}

// Its request.
inline const std::vector<uint8_t> kRequest = {0xF0, 0x7D, 0x10, 0x11, 0xF7};

} // namespace testsupport
