#include "engine/Learner.h"

#include "model/Parameters.h"

namespace {

uint32_t Pack(const strips::Message& m) noexcept
{
  return static_cast<uint32_t>(m.kind) << 24 | static_cast<uint32_t>(m.channel) << 16 |
         static_cast<uint32_t>(m.number) << 8 | m.value;
}

} // namespace

void Learner::StartThread()
{
  thread.Start([this] { loop(); });
}

void Learner::StopThread()
{
  thread.Stop();
}

bool Learner::SetOn(bool on)
{
  if (learnOn.exchange(on) == on)
    return false;
  if (on) {
    lastHeard.store(0); // the drawer shows what this learning hears
    thread.Wake();      // it looks by itself from now on
  }
  if (!on) {
    // Both flags go, whichever was set.
    const bool strips = learnFull.exchange(false);
    const bool sysexWasFull = sysexFull.exchange(false);
    if (strips || sysexWasFull)
      owner.LearnerNotice(param::kLearnNotice);
  }
  return true;
}

strips::Message Learner::LastHeard() const
{
  const uint32_t packed = lastHeard.load();
  strips::Message m;
  m.kind = static_cast<uint8_t>(packed >> 24);
  m.format = m.kind == kKindProgramChange ? 1 : 0;
  m.channel = static_cast<uint8_t>(packed >> 16);
  m.number = static_cast<uint8_t>(packed >> 8);
  m.value = static_cast<uint8_t>(packed);
  return m;
}

void Learner::loop()
{
  // Sleeps first: the thread starts in the plug-in's constructor, before
  // the object is whole, and touches it only once the audio thread has
  // woken it.
  for (;;) {
    // Says it sleeps, then looks once more: a message pushed before the
    // audio thread could see the flag is found here, any later one wakes it.
    // While learning is on it looks every kPollMs (the audio thread does
    // not post then); a switch to on wakes it.
    sleeping.exchange(true);
    if (learned.Empty() && heardSysEx.Empty() && !pacedNoticeDue.load() &&
        !thread.SleepFor(learnOn.load() ? kPollMs : -1))
      return;
    sleeping.store(false);
    if (thread.StopRequested())
      return;
    apply();
    applySysEx();
    if (pacedNoticeDue.exchange(false))
      owner.LearnerNotice(param::kPacedNotice);
  }
}

void Learner::apply()
{
  // In batches: the strip lock is taken once for a batch, and the editor is
  // told after it has been let go.
  constexpr int kBatch = 64;
  bool changed = false;
  for (;;) {
    strips::LearnPlace places[kBatch];
    int count = 0;
    {
      std::lock_guard<std::recursive_mutex> hold(stripLock);
      const int32_t current = owner.LearnerProgram();
      std::atomic<uint32_t>& marks = learnedSlots[current];
      LearnedMessage message;
      while (count < kBatch && learned.Pop(message)) {
        const strips::SlotSet before = marks.load();
        const strips::LearnPlace place =
            strips::Learn(bank[current], bank.Extension(current), before, message);
        // Bit by bit, so that a hand edit meanwhile (setParameter clears
        // its slot's bit without the strip lock) is not undone.
        marks.fetch_or(place.learned & ~before);
        marks.fetch_and(~(before & ~place.learned));
        places[count++] = place;
        lastHeard.store(Pack(message));
      }
    }
    if (count == 0)
      break;
    changed = true;
    for (int i = 0; i < count; ++i)
      tell(places[i]);
  }
  if (changed)
    owner.LearnerNotice(param::kLearnNotice);
}

void Learner::applySysEx()
{
  if (heardSysEx.Empty())
    return;
  // Everything waiting goes into one new set of the program current now,
  // published once.
  bool changed = false;
  bool refused = false;
  {
    std::lock_guard<std::recursive_mutex> hold(stripLock);
    const int32_t current = owner.LearnerProgram();
    std::unique_ptr<SysExSet::Builder> builder;
    {
      SysExStore::Reader reader(sysex);
      builder = std::make_unique<SysExSet::Builder>(reader.Current(current));
    }
    for (uint32_t size; (size = heardSysEx.Pop(sysexBuffer.get())) != 0;) {
      const SysExView message{sysexBuffer.get(), static_cast<int32_t>(size)};
      switch (builder->Learn(message)) {
      case SysExChange::Appended:
        sysexFull.store(false);
        changed = true;
        break;
      case SysExChange::Replaced:
        changed = true;
        break;
      case SysExChange::Full:
        sysexFull.store(true);
        refused = true;
        break;
      default: // not a whole message: nothing to learn
        break;
      }
    }
    if (changed)
      owner.LearnerPublishSysEx(current, builder->Build());
  }
  if (changed)
    owner.LearnerNotice(param::kSysExNotice);
  if (refused || changed)
    owner.LearnerNotice(param::kLearnNotice);
}

void Learner::tell(const strips::LearnPlace& place)
{
  if (place.result == strips::LearnResult::Full) {
    learnFull.store(true);
    return;
  }
  if (place.result != strips::LearnResult::Updated)
    learnFull.store(false);
  // The fields the editor shows for every slot written (a learned message
  // may have moved others), then its columns when a strip was added.
  for (int32_t slot = 0; slot < 2 * kStripsPerProgram; ++slot) {
    if (!(place.changed & strips::SlotBit(slot / 2, slot % 2)))
      continue;
    for (int32_t group = slot % 2; group < param::kStripGroups; group += 2)
      owner.LearnerNotice(param::StripIndex(group, slot / 2));
    owner.LearnerNotice(param::KindIndex(slot % 2, slot / 2));
  }
  if (place.result == strips::LearnResult::Added)
    owner.LearnerNotice(param::kLayoutNotice);
}
