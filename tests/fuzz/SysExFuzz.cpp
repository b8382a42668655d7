// The fuzz target of the SysEx model (model/SysEx.h) on its own: the readers
// of a program's SysEx section, its don't-care section and .syx files, which
// take bytes from chunks and files as they come. The first byte chooses:
//     even  the rest is a SysEx section (ReadSysExSection), and what follows
//           the section read is its don't-care section (ReadDontCareSection)
//     odd   the rest is a .syx file (ParseSyx)
// A section that is read must be exactly the bytes it writes back; a file
// that is read must write back as it was, and its set must make a section
// that reads back; a refused file names a byte inside it. Every set read is
// also learned message by message, which must stay within the list's limit.
#include "model/SysEx.h"
#include "tests/fuzz/FuzzSupport.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

void CheckSet(const SysExSet& set)
{
  fuzz::Require(set.TotalBytes() <= kMaxSysExListBytes, "a list stays within its limit");
  int32_t total = 0;
  SysExSet::Builder learned;
  for (int32_t i = 0; i < set.Count(); ++i) {
    const SysExView m = set.Message(i);
    fuzz::Require(ValidSysEx(m), "every message of a set is a SysEx message");
    total += m.size;
    const SysExChange change = learned.Learn(m);
    fuzz::Require(change == SysExChange::Appended || change == SysExChange::Replaced,
                  "a message of a set within its limit can always be learned");
  }
  fuzz::Require(total == set.TotalBytes(), "a set's messages add up to its total");
  fuzz::Require(learned.TotalBytes() <= set.TotalBytes(), "learning never grows a list");
  fuzz::Require(set.Message(set.Count()).data == nullptr, "an index past the end is none");
  char text[kSysExDescriptionSize];
  Describe(set.Message(0), text);
  fuzz::Require(std::memchr(text, 0, sizeof text) != nullptr, "a description is terminated");
}

// The don't-care section after a SysEx section, read onto its set.
void DontCare(const uint8_t* bytes, int32_t size, std::unique_ptr<const SysExSet> set)
{
  std::vector<uint8_t> exact(bytes, bytes + size);
  const SysExSet* before = set.get();
  const std::vector<uint8_t> messages = before ? WriteSyx(*before) : std::vector<uint8_t>();
  int32_t used = -1;
  if (!ReadDontCareSection(exact.data(), size, used, set)) {
    fuzz::Require(used == -1 && set.get() == before, "a refused section leaves its outputs alone");
    return;
  }
  fuzz::Require(used >= 1 && used <= size, "a section is inside its bytes");
  fuzz::Require(DontCareSectionBytes(set.get()) == used, "a section is as large as it was read");
  std::vector<uint8_t> written(static_cast<size_t>(used));
  WriteDontCareSection(set.get(), written.data());
  fuzz::Require(std::equal(written.begin(), written.end(), exact.begin()),
                "a don't-care section reads back as it was written");
  if (!set)
    return;
  fuzz::Require(WriteSyx(*set) == messages, "marks leave the messages as they were");
  fuzz::Require(set->DontCareCount() <= kMaxDontCareBytes, "at most 16 marks");
  for (int32_t i = 0; i < set->DontCareCount(); ++i) {
    fuzz::Require(set->DontCare(i) >= 1 && set->DontCare(i) <= kMaxDontCareOffset &&
                      (i == 0 || set->DontCare(i) > set->DontCare(i - 1)),
                  "marks are in range, ascending, each once");
    fuzz::Require(set->IsDontCare(set->DontCare(i)), "a mark is found");
  }
}

void Section(const uint8_t* bytes, int32_t size)
{
  // The section in memory of exactly its size, so that a read past it is a
  // fault under the sanitizers.
  std::vector<uint8_t> exact(bytes, bytes + size);
  int32_t used = -1;
  std::unique_ptr<const SysExSet> set;
  if (!ReadSysExSection(exact.data(), size, used, set)) {
    fuzz::Require(used == -1 && !set, "a refused section leaves its outputs alone");
    return;
  }
  fuzz::Require(used >= kEmptySysExSectionBytes && used <= size, "a section is inside its bytes");
  fuzz::Require(SysExSectionBytes(set.get()) == used, "a section is as large as it was read");
  std::vector<uint8_t> written(static_cast<size_t>(used));
  WriteSysExSection(set.get(), written.data());
  fuzz::Require(std::equal(written.begin(), written.end(), exact.begin()),
                "a section reads back as it was written");
  if (set)
    CheckSet(*set);
  if (used < size)
    DontCare(exact.data() + used, size - used, std::move(set));
}

void File(const uint8_t* bytes, size_t size)
{
  std::vector<uint8_t> exact(bytes, bytes + size);
  const SyxResult result = ParseSyx(exact.data(), size);
  if (!result.Ok()) {
    fuzz::Require(!result.reason.empty(), "a refused file says why");
    fuzz::Require(size == 0 || result.offset < size, "a refused file names a byte inside it");
    return;
  }
  fuzz::Require(WriteSyx(*result.set) == exact, "a file writes back as it was read");
  CheckSet(*result.set);
  std::vector<uint8_t> section(static_cast<size_t>(SysExSectionBytes(result.set.get())));
  WriteSysExSection(result.set.get(), section.data());
  Section(section.data(), static_cast<int32_t>(section.size()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  if (size == 0)
    return 0;
  if (data[0] % 2 == 0)
    Section(data + 1, static_cast<int32_t>(size - 1));
  else
    File(data + 1, size - 1);
  return 0;
}
