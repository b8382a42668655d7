#include "model/SysEx.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>

bool ValidSysEx(SysExView message) noexcept
{
  if (!message.data || message.size < 2 || message.size > kMaxSysExBytes)
    return false;
  if (message.data[0] != midi::kSysExStart || message.data[message.size - 1] != midi::kSysExEnd)
    return false;
  for (int32_t i = 1; i < message.size - 1; ++i) {
    if (midi::IsStatus(message.data[i]))
      return false;
  }
  return true;
}

int32_t SysExHeaderBytes(SysExView message) noexcept
{
  if (!message.data || message.size < 2)
    return message.size < 0 ? 0 : message.size;
  const int32_t id = message.data[1] == 0x00 ? 3 : 1;
  return std::min(1 + id + 2, message.size);
}

// ------------------------------------------------------------- the set

const int32_t* SysExSet::Offsets() const noexcept
{
  return reinterpret_cast<const int32_t*>(reinterpret_cast<const uint8_t*>(this) +
                                          sizeof(SysExSet));
}

const uint8_t* SysExSet::RequestBytes() const noexcept
{
  return reinterpret_cast<const uint8_t*>(Offsets() + count + 1);
}

const uint8_t* SysExSet::MessageBytes() const noexcept
{
  return RequestBytes() + requestBytes;
}

SysExView SysExSet::Message(int32_t index) const noexcept
{
  if (index < 0 || index >= count)
    return {};
  const int32_t* offsets = Offsets();
  return {MessageBytes() + offsets[index], offsets[index + 1] - offsets[index]};
}

SysExView SysExSet::Request() const noexcept
{
  if (requestBytes == 0)
    return {};
  return {RequestBytes(), requestBytes};
}

int32_t SysExSet::DontCare(int32_t index) const noexcept
{
  return index >= 0 && index < dontCareCount ? dontCare[index] : 0;
}

bool SysExSet::IsDontCare(int32_t offset) const noexcept
{
  for (int32_t i = 0; i < dontCareCount; ++i) {
    if (dontCare[i] == offset)
      return true;
  }
  return false;
}

// ---------------------------------------------------------- the builder

SysExSet::Builder::Builder(const SysExSet* from)
{
  if (!from)
    return;
  for (int32_t i = 0; i < from->Count(); ++i) {
    const SysExView m = from->Message(i);
    messages.emplace_back(m.data, m.data + m.size);
  }
  const SysExView r = from->Request();
  if (r.size)
    request.assign(r.data, r.data + r.size);
  for (int32_t i = 0; i < from->DontCareCount(); ++i)
    dontCare.push_back(static_cast<uint16_t>(from->DontCare(i)));
  totalBytes = from->TotalBytes();
}

SysExChange SysExSet::Builder::Append(SysExView message)
{
  if (!ValidSysEx(message))
    return SysExChange::Invalid;
  if (message.size > kMaxSysExListBytes - totalBytes)
    return SysExChange::Full;
  messages.emplace_back(message.data, message.data + message.size);
  totalBytes += message.size;
  return SysExChange::Appended;
}

SysExChange SysExSet::Builder::Remove(int32_t index)
{
  if (index < 0 || index >= Count())
    return SysExChange::Invalid;
  totalBytes -= static_cast<int32_t>(messages[static_cast<size_t>(index)].size());
  messages.erase(messages.begin() + index);
  return SysExChange::Removed;
}

SysExChange SysExSet::Builder::SetRequest(SysExView message)
{
  if (message.size == 0) {
    request.clear();
    return SysExChange::Removed;
  }
  if (!ValidSysEx(message))
    return SysExChange::Invalid;
  const bool had = !request.empty();
  request.assign(message.data, message.data + message.size);
  return had ? SysExChange::Replaced : SysExChange::Appended;
}

SysExChange SysExSet::Builder::Learn(SysExView message)
{
  if (!ValidSysEx(message))
    return SysExChange::Invalid;
  const auto header = static_cast<size_t>(SysExHeaderBytes(message));
  for (std::vector<uint8_t>& stored : messages) {
    if (stored.size() == static_cast<size_t>(message.size) &&
        std::memcmp(stored.data(), message.data, header) == 0) {
      stored.assign(message.data, message.data + message.size);
      return SysExChange::Replaced;
    }
  }
  return Append(message);
}

SysExChange SysExSet::Builder::MarkDontCare(int32_t offset)
{
  if (offset < 1 || offset > kMaxDontCareOffset)
    return SysExChange::Invalid;
  const auto at = std::lower_bound(dontCare.begin(), dontCare.end(), offset);
  if (at != dontCare.end() && *at == offset)
    return SysExChange::Replaced;
  if (static_cast<int32_t>(dontCare.size()) >= kMaxDontCareBytes)
    return SysExChange::Full;
  dontCare.insert(at, static_cast<uint16_t>(offset));
  return SysExChange::Appended;
}

std::unique_ptr<const SysExSet> SysExSet::Builder::Build() const
{
  const auto count = static_cast<int32_t>(messages.size());
  const size_t offsetBytes = sizeof(int32_t) * static_cast<size_t>(count + 1);
  const size_t bytes =
      sizeof(SysExSet) + offsetBytes + request.size() + static_cast<size_t>(totalBytes);
  void* memory = ::operator new(bytes);
  auto* set = new (memory) SysExSet();
  set->count = count;
  set->totalBytes = totalBytes;
  set->requestBytes = static_cast<int32_t>(request.size());
  set->dontCareCount = static_cast<int32_t>(dontCare.size());
  std::copy(dontCare.begin(), dontCare.end(), set->dontCare);

  uint8_t* offsets = static_cast<uint8_t*>(memory) + sizeof(SysExSet);
  uint8_t* at = offsets + offsetBytes;
  if (!request.empty())
    std::memcpy(at, request.data(), request.size());
  at += request.size();
  int32_t offset = 0;
  for (int32_t i = 0; i <= count; ++i) {
    std::memcpy(offsets + sizeof(int32_t) * static_cast<size_t>(i), &offset, sizeof offset);
    if (i == count)
      break;
    const std::vector<uint8_t>& m = messages[static_cast<size_t>(i)];
    std::memcpy(at + offset, m.data(), m.size());
    offset += static_cast<int32_t>(m.size());
  }
  return std::unique_ptr<const SysExSet>(set);
}

std::unique_ptr<const SysExSet> ReplaceMessages(const SysExSet* current, const SysExSet& messages)
{
  // `messages` is a set, so within the list's limits: every append is taken.
  SysExSet::Builder builder;
  for (int32_t i = 0; i < messages.Count(); ++i)
    builder.Append(messages.Message(i));
  if (current && current->Request().size > 0)
    builder.SetRequest(current->Request());
  for (int32_t i = 0; current && i < current->DontCareCount(); ++i)
    builder.MarkDontCare(current->DontCare(i));
  return builder.Build();
}

// ------------------------------------------------------------ .syx files

namespace {

SyxResult Refused(size_t offset, const char* format, ...) __attribute__((format(printf, 2, 3)));

SyxResult Refused(size_t offset, const char* format, ...)
{
  char line[160];
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(line, sizeof line, format, arguments);
  va_end(arguments);
  SyxResult result;
  result.offset = offset;
  result.reason = line;
  return result;
}

} // namespace

SyxResult ParseSyx(const uint8_t* bytes, size_t size)
{
  if (!bytes || size == 0)
    return Refused(0, "the file is empty");
  SysExSet::Builder builder;
  size_t at = 0;
  while (at < size) {
    if (bytes[at] != midi::kSysExStart)
      return Refused(at, "byte 0x%02X at offset %zu is outside an F0...F7 message", bytes[at], at);
    const size_t start = at++;
    for (;;) {
      if (at == size)
        return Refused(start, "the message at offset %zu has no F7 before the end of the file",
                       start);
      if (at - start + 1 > static_cast<size_t>(kMaxSysExBytes))
        return Refused(start, "the message at offset %zu is longer than %d bytes", start,
                       kMaxSysExBytes);
      if (bytes[at] == midi::kSysExEnd)
        break;
      if (midi::IsStatus(bytes[at]))
        return Refused(at,
                       "byte 0x%02X at offset %zu is not a data byte (in the message at "
                       "offset %zu)",
                       bytes[at], at, start);
      ++at;
    }
    ++at;
    const SysExView message{bytes + start, static_cast<int32_t>(at - start)};
    if (builder.Append(message) == SysExChange::Full)
      return Refused(start, "the messages come to more than %d bytes with the one at offset %zu",
                     kMaxSysExListBytes, start);
  }
  SyxResult result;
  result.set = builder.Build();
  return result;
}

std::vector<uint8_t> WriteSyx(const SysExSet& set)
{
  std::vector<uint8_t> file;
  file.reserve(static_cast<size_t>(set.TotalBytes()));
  for (int32_t i = 0; i < set.Count(); ++i) {
    const SysExView m = set.Message(i);
    file.insert(file.end(), m.data, m.data + m.size);
  }
  return file;
}

// ---------------------------------------------------- the chunk section

namespace {

void PutU32(uint8_t*& out, uint32_t value) noexcept
{
  for (int i = 0; i < 4; ++i)
    *out++ = static_cast<uint8_t>(value >> (8 * i));
}

void PutBytes(uint8_t*& out, SysExView bytes) noexcept
{
  if (bytes.size > 0)
    std::memcpy(out, bytes.data, static_cast<size_t>(bytes.size));
  out += bytes.size;
}

// Reads a count or a size at `at` when four bytes are left.
bool GetU32(const uint8_t* bytes, int32_t size, int32_t& at, uint32_t& value) noexcept
{
  if (size - at < 4)
    return false;
  value = 0;
  for (int i = 0; i < 4; ++i)
    value |= static_cast<uint32_t>(bytes[at + i]) << (8 * i);
  at += 4;
  return true;
}

} // namespace

int32_t SysExSectionBytes(const SysExSet* set) noexcept
{
  if (!set)
    return kEmptySysExSectionBytes;
  return kEmptySysExSectionBytes + set->Request().size + 4 * set->Count() + set->TotalBytes();
}

void WriteSysExSection(const SysExSet* set, uint8_t* out) noexcept
{
  const SysExView request = set ? set->Request() : SysExView{};
  PutU32(out, static_cast<uint32_t>(request.size));
  PutBytes(out, request);
  const int32_t count = set ? set->Count() : 0;
  PutU32(out, static_cast<uint32_t>(count));
  for (int32_t i = 0; i < count; ++i) {
    const SysExView m = set->Message(i);
    PutU32(out, static_cast<uint32_t>(m.size));
    PutBytes(out, m);
  }
}

bool ReadSysExSection(const uint8_t* bytes, int32_t size, int32_t& used,
                      std::unique_ptr<const SysExSet>& out)
{
  if (!bytes || size < kEmptySysExSectionBytes)
    return false;
  int32_t at = 0;
  uint32_t requestBytes = 0;
  if (!GetU32(bytes, size, at, requestBytes) ||
      requestBytes > static_cast<uint32_t>(kMaxSysExBytes) ||
      requestBytes > static_cast<uint32_t>(size - at))
    return false;
  SysExSet::Builder builder;
  if (requestBytes > 0) {
    if (builder.SetRequest({bytes + at, static_cast<int32_t>(requestBytes)}) !=
        SysExChange::Appended)
      return false;
    at += static_cast<int32_t>(requestBytes);
  }
  uint32_t count = 0;
  // Every message has at least two bytes: a larger count cannot be within
  // the list's limit.
  if (!GetU32(bytes, size, at, count) || count > static_cast<uint32_t>(kMaxSysExListBytes / 2))
    return false;
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t messageBytes = 0;
    if (!GetU32(bytes, size, at, messageBytes) ||
        messageBytes > static_cast<uint32_t>(kMaxSysExBytes) ||
        messageBytes > static_cast<uint32_t>(size - at))
      return false;
    if (builder.Append({bytes + at, static_cast<int32_t>(messageBytes)}) != SysExChange::Appended)
      return false;
    at += static_cast<int32_t>(messageBytes);
  }
  used = at;
  if (requestBytes == 0 && count == 0)
    out.reset();
  else
    out = builder.Build();
  return true;
}

int32_t DontCareSectionBytes(const SysExSet* set) noexcept
{
  return 1 + 2 * (set ? set->DontCareCount() : 0);
}

void WriteDontCareSection(const SysExSet* set, uint8_t* out) noexcept
{
  const int32_t count = set ? set->DontCareCount() : 0;
  *out++ = static_cast<uint8_t>(count);
  for (int32_t i = 0; i < count; ++i) {
    const int32_t offset = set->DontCare(i);
    *out++ = static_cast<uint8_t>(offset);
    *out++ = static_cast<uint8_t>(offset >> 8);
  }
}

bool ReadDontCareSection(const uint8_t* bytes, int32_t size, int32_t& used,
                         std::unique_ptr<const SysExSet>& set)
{
  if (!bytes || size < 1)
    return false;
  const int32_t count = bytes[0];
  if (count > kMaxDontCareBytes || size - 1 < 2 * count)
    return false;
  if (count == 0) {
    used = 1;
    return true;
  }
  SysExSet::Builder builder(set.get());
  // A set read from its SysEx section has none; ascending and each once
  // keeps one way of writing each list, so that a section reads back as it
  // was written.
  int32_t last = 0;
  for (int32_t i = 0; i < count; ++i) {
    const int32_t offset = bytes[1 + 2 * i] | bytes[2 + 2 * i] << 8;
    if (offset <= last || builder.MarkDontCare(offset) != SysExChange::Appended)
      return false;
    last = offset;
  }
  used = 1 + 2 * count;
  set = builder.Build();
  return true;
}

// ------------------------------------------------------------ printing

void DescribeHeard(const HeardSysEx& message, char (&text)[kSysExDescriptionSize]) noexcept
{
  if (message.size <= 0) {
    std::snprintf(text, sizeof text, "none");
    return;
  }
  int used = std::snprintf(text, sizeof text, "%d B ", message.size);
  for (int32_t i = 0;
       i < std::min<int32_t>(message.size, 4) && used > 0 && used < static_cast<int>(sizeof text);
       ++i)
    used += std::snprintf(text + used, sizeof text - static_cast<size_t>(used), " %02X",
                          message.head[i]);
}

void Describe(SysExView message, char (&text)[kSysExDescriptionSize]) noexcept
{
  HeardSysEx head;
  if (message.data && message.size > 0) {
    head.size = message.size;
    for (int32_t i = 0; i < 4 && i < message.size; ++i)
      head.head[i] = message.data[i];
  }
  DescribeHeard(head, text);
}
