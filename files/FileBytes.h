// Whole files in and out, for every place that reads or writes a user's
// file (.syx, .fxb, .fxp, presets): one rule for what is refused and how
// the refusal reads, so quillet-host, the editor and the LV2 edition answer
// alike. Plain functions; any thread but the audio thread (they make
// system calls and allocate).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace files {

// The largest file read: far above a whole bank with every program's SysEx
// list full (128 x 64 KiB plus the records), far below what could take a
// host's memory.
constexpr size_t kMaxFileBytes = 64u << 20;

// Reads the whole file at `path` into `bytes`. False, with `error` set to
// one line "PATH: reason" and `bytes` unchanged, for a missing or unreadable
// file, a folder or anything else that is not a regular file, and a file
// over `limit` bytes.
bool ReadFileBytes(const std::string& path, std::vector<uint8_t>& bytes, std::string& error,
                   size_t limit = kMaxFileBytes);

// Writes `bytes` as the file at `path`, replacing it only once the new
// contents are whole on disk (a failed write leaves the old file as it
// was). False with `error` ("PATH: reason") when it cannot be written.
bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error);

} // namespace files
