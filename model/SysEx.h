// The SysEx messages of a program: one or more System Exclusive messages
// (F0 ... F7) that are sent with the program, the dump request that asks
// a device for them when Learn is switched on, and the program's don't-care
// bytes (offsets of its dumps that a verify does not compare). Here are the
// rules of such a list (what a message may be, the limits, the learn rule
// that replaces a message the device sends again), the .syx file format,
// and the program's SysEx section of the chunk extension (version 2) and
// its don't-care section (version 4).
//
// A SysExSet is immutable once built: the engine publishes one per program
// and the audio thread sends from it while other threads build the next
// (engine/SysExStore.h), so no set is ever edited in place. Its accessors
// are noexcept, allocate nothing and may be called from any thread,
// the audio thread included, as may ValidSysEx, the section writer and
// Describe. The builder, the .syx reader and writer and the section reader
// allocate: they belong to the threads that edit (the editor, a chunk load,
// the learning thread).
//
// Part of the chunk format's definition: the MIDI byte rules and the
// standard library only.
#pragma once

#include "midi/MidiBytes.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// One message of at most 64 KiB, F0 and F7 included.
constexpr int32_t kMaxSysExBytes = 65536;
// All the messages of one program together (the dump request not counted).
constexpr int32_t kMaxSysExListBytes = 65536;
// The pause after each SysEx message that is sent, a bank-wide setting.
constexpr int32_t kMaxSysExGapMs = 2000;
// The don't-care bytes of one program, and the highest offset one may have
// (the last byte of the longest message is its F7, which the comparison
// never skips, nor the F0 at offset 0).
constexpr int32_t kMaxDontCareBytes = 16;
constexpr int32_t kMaxDontCareOffset = kMaxSysExBytes - 1;

// A borrowed run of bytes: a message inside a SysExSet, an incoming
// message, a file's bytes. {nullptr, 0} is the neutral "none".
struct SysExView
{
  const uint8_t* data = nullptr;
  int32_t size = 0;
};

// F0 first, F7 last, every byte between them below 0x80, 2 to 64 KiB in all.
bool ValidSysEx(SysExView message) noexcept;

// What a change asked of SysExSet::Builder did. Refused changes (Invalid,
// Full) leave the builder as it was.
enum class SysExChange
{
  Appended, // a new message at the end (or a request where there was none)
  Replaced, // a stored message (or the request) replaced in its place
  Removed,  // a message (or the request) taken out
  Invalid,  // not a message (ValidSysEx), or an index out of range
  Full      // the list would grow over kMaxSysExListBytes (or the don't-care
            // bytes over kMaxDontCareBytes)
};

class SysExSet
{
public:
  class Builder;

  SysExSet(const SysExSet&) = delete;
  SysExSet& operator=(const SysExSet&) = delete;

  int32_t Count() const noexcept { return count; }
  // Message `index`, valid as long as the set; {nullptr, 0} for an index
  // out of range.
  SysExView Message(int32_t index) const noexcept;
  // The bytes of all the messages (the request not counted).
  int32_t TotalBytes() const noexcept { return totalBytes; }
  // The dump request; size 0 when there is none.
  SysExView Request() const noexcept;
  // The don't-care bytes, ascending: offsets from the F0 of each stored
  // dump whose byte a verify skips (model/SysExVerify.h).
  int32_t DontCareCount() const noexcept { return dontCareCount; }
  // Offset `index` of them; 0 (no offset one may mark) out of range.
  int32_t DontCare(int32_t index) const noexcept;
  bool IsDontCare(int32_t offset) const noexcept;
  // No message, no request and no don't-care byte: what a program without
  // SysEx has.
  bool Empty() const noexcept { return count == 0 && requestBytes == 0 && dontCareCount == 0; }

  // The set and its bytes are one allocation (made by the builder), so
  // the set is freed as it was allocated: as raw memory.
  ~SysExSet() = default;
  static void operator delete(void* memory) noexcept { ::operator delete(memory); }

private:
  SysExSet() = default;

  // Behind the object: int32_t offsets[count + 1] (where each message
  // starts among the message bytes; the last is totalBytes), then the
  // request's bytes, then the messages' bytes back to back.
  const int32_t* Offsets() const noexcept;
  const uint8_t* RequestBytes() const noexcept;
  const uint8_t* MessageBytes() const noexcept;

  int32_t count = 0;
  int32_t totalBytes = 0;
  int32_t requestBytes = 0;
  int32_t dontCareCount = 0;
  uint16_t dontCare[kMaxDontCareBytes] = {};
};

// Collects the messages of a set that is being edited; Build makes the
// immutable set. Not for the audio thread (it allocates).
class SysExSet::Builder
{
public:
  Builder() = default;
  // A copy of `from`'s messages, request and don't-care bytes (nullptr:
  // empty).
  explicit Builder(const SysExSet* from);

  // Adds `message` at the end.
  SysExChange Append(SysExView message);
  // Takes out message `index` (Invalid when there is none).
  SysExChange Remove(int32_t index);
  // Sets the dump request; a view of size 0 removes it (Removed, also when
  // there was none). The request does not count against the list's limit.
  SysExChange SetRequest(SysExView request);
  // A message the device sent while learning: it replaces the stored
  // message with the same header and the same length, in its place, else
  // it is appended. The header is F0, the manufacturer id (one byte, or
  // three when the first is 00) and the two bytes after it (device and
  // command), as far as the message reaches: a device that sends its
  // edit buffer twice leaves one copy, while the messages of a dump that
  // differ in header or length are all kept, in the order they came.
  SysExChange Learn(SysExView message);
  // Marks byte `offset` (1 to kMaxDontCareOffset) of the dumps don't-care:
  // Appended, Replaced when it already is (nothing changes), Invalid for
  // an offset out of range, Full when kMaxDontCareBytes are marked.
  SysExChange MarkDontCare(int32_t offset);

  int32_t Count() const { return static_cast<int32_t>(messages.size()); }
  int32_t TotalBytes() const { return totalBytes; }

  std::unique_ptr<const SysExSet> Build() const;

private:
  std::vector<std::vector<uint8_t>> messages;
  std::vector<uint8_t> request;
  std::vector<uint16_t> dontCare; // ascending
  int32_t totalBytes = 0;
};

// The bytes of the header that the learn rule compares (see Learn).
int32_t SysExHeaderBytes(SysExView message) noexcept;

// A .syx file given to a program: its messages replace the program's
// messages, and the program's dump request and don't-care bytes stay. `current` is the
// program's set (nullptr: none). Not for the audio thread.
std::unique_ptr<const SysExSet> ReplaceMessages(const SysExSet* current, const SysExSet& messages);

// ------------------------------------------------------------ .syx files

// A .syx file read: the set of its messages (no request), or, when it is
// refused, the offset of the byte at fault and a line that says why.
struct SyxResult
{
  std::unique_ptr<const SysExSet> set; // nullptr when refused
  size_t offset = 0;
  std::string reason;

  bool Ok() const { return set != nullptr; }
};

// A .syx file is its messages back to back, nothing between them. Refused:
// an empty file, a byte outside an F0 ... F7 message, a byte of 0x80 or more
// inside one, a message without its F7, a message over kMaxSysExBytes, or
// messages over kMaxSysExListBytes in all.
SyxResult ParseSyx(const uint8_t* bytes, size_t size);
// The set's messages back to back (the request is not part of a file).
std::vector<uint8_t> WriteSyx(const SysExSet& set);

// ---------------------------------------------------- the chunk section
//
// A program's SysEx in the tail of the chunk extension, little-endian:
//   uint32 requestBytes, the request's bytes,
//   uint32 count, then count times (uint32 size, the message's bytes).
// A program without SysEx is the 8 bytes of two zero counts.

constexpr int32_t kEmptySysExSectionBytes = 8;

// The section's size for `set` (nullptr: no SysEx).
int32_t SysExSectionBytes(const SysExSet* set) noexcept;
// Writes the section, SysExSectionBytes(set) bytes, at `out`.
void WriteSysExSection(const SysExSet* set, uint8_t* out) noexcept;
// Reads the section at the start of `bytes` (`size` bytes left of the
// chunk). True when it is whole and every message, the request and the
// list are within their limits: `out` holds the set (nullptr for a
// section without SysEx) and `used` the section's size. False otherwise,
// and then `out` and `used` are left as they were. Never reads past
// `size`.
bool ReadSysExSection(const uint8_t* bytes, int32_t size, int32_t& used,
                      std::unique_ptr<const SysExSet>& out);

// A program's don't-care bytes, in a version-4 tail after every program's
// SysEx section (so that a reader of version 2 or 3 still finds the
// sections where they were), little-endian:
//   uint8 count (0 to kMaxDontCareBytes), then count times uint16 offset
//   (1 to kMaxDontCareOffset, ascending, each once).
// A program without any is the one byte 0.

// The section's size for `set` (nullptr: none).
int32_t DontCareSectionBytes(const SysExSet* set) noexcept;
// Writes it, DontCareSectionBytes(set) bytes, at `out`.
void WriteDontCareSection(const SysExSet* set, uint8_t* out) noexcept;
// Reads the section at the start of `bytes` (`size` bytes left of the
// chunk) into `set` (the program's set as its SysEx section gave it,
// nullptr for none): true when it is whole and within the rules above,
// and then `set` has those bytes marked (a set of them alone when it was
// nullptr) and `used` is the section's size. False otherwise, and then
// `set` and `used` are left as they were. Never reads past `size`.
bool ReadDontCareSection(const uint8_t* bytes, int32_t size, int32_t& used,
                         std::unique_ptr<const SysExSet>& set);

// ------------------------------------------------------------ printing

// Room for the longest text of Describe ("65536 B  F0 00 20 33").
constexpr int32_t kSysExDescriptionSize = 32;

// A message as the editor lists it: its size and first bytes,
// "392 B  F0 3E 13 00"; "none" for an empty view. No allocation.
void Describe(SysExView message, char (&text)[kSysExDescriptionSize]) noexcept;

// A message known by its size and first bytes alone (what learning last
// heard): size 0 is none.
struct HeardSysEx
{
  int32_t size = 0;
  uint8_t head[4] = {};
};
// As Describe: "163 B  F0 43 00 09"; "none" for size 0.
void DescribeHeard(const HeardSysEx& message, char (&text)[kSysExDescriptionSize]) noexcept;
