#include "host/TestSynth.h"

#include <utility>

namespace qhost {

TestSynth::TestSynth(TestSynthConfig config_) : config(std::move(config_))
{
  if (config.dump)
    answer = WriteSyx(*config.dump);
  // A data byte changed, still a data byte.
  if (config.alter >= 0 && static_cast<size_t>(config.alter) < answer.size())
    answer[static_cast<size_t>(config.alter)] ^= 0x01;
}

void TestSynth::Heard(const std::vector<uint8_t>& bytes, double ms)
{
  if (!config.dump || config.dump->Count() == 0 || bytes.empty() || bytes[0] != 0xF0 ||
      static_cast<int32_t>(bytes.size()) >= config.dump->Message(0).size)
    return;
  ++requests;
  if (requests <= config.drop)
    return;
  // Each message of the answer goes as one SysEx event.
  size_t at = 0;
  for (int32_t i = 0; i < config.dump->Count(); ++i) {
    const auto size = static_cast<size_t>(config.dump->Message(i).size);
    pending.push_back(
        {ms + config.latencyMs,
         std::vector<uint8_t>(answer.begin() + static_cast<std::ptrdiff_t>(at),
                              answer.begin() + static_cast<std::ptrdiff_t>(at + size))});
    at += size;
  }
}

std::vector<std::vector<uint8_t>> TestSynth::Due(double ms)
{
  std::vector<std::vector<uint8_t>> due;
  std::vector<Pending> later;
  for (Pending& p : pending) {
    if (p.at <= ms)
      due.push_back(std::move(p.bytes));
    else
      later.push_back(std::move(p));
  }
  pending.swap(later);
  return due;
}

std::string TestSynth::AlterFault(const SysExSet& dump, int64_t offset)
{
  const std::vector<uint8_t> bytes = WriteSyx(dump);
  if (offset < 0 || static_cast<size_t>(offset) >= bytes.size() ||
      bytes[static_cast<size_t>(offset)] >= 0x80)
    return "the offset is that of a data byte of the file (1 to " +
           std::to_string(bytes.size() - 2) + ", not an F0 or F7)";
  return std::string();
}

} // namespace qhost
