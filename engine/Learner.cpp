#include "engine/Learner.h"

#include "model/Parameters.h"

#include <chrono>

namespace {

uint64_t Pack(const strips::Message& m) noexcept
{
  return static_cast<uint64_t>(m.kind) << 56 | static_cast<uint64_t>(m.format) << 48 |
         static_cast<uint64_t>(m.channel) << 40 | static_cast<uint64_t>(m.options) << 32 |
         static_cast<uint64_t>(m.number) << 16 | m.value;
}

// A controller the recogniser holds (it may begin an NRPN, an RPN or a
// 14-bit pair) is learned as the controller it is when nothing follows it
// within this time.
constexpr auto kHeldController = std::chrono::milliseconds(50);

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
    lastHeardSysEx.store(0);
    thread.Wake(); // it looks by itself from now on
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
  const uint64_t packed = lastHeard.load();
  strips::Message m;
  m.kind = static_cast<uint8_t>(packed >> 56);
  m.format = static_cast<uint8_t>(packed >> 48);
  m.channel = static_cast<uint8_t>(packed >> 40);
  m.options = static_cast<uint8_t>(packed >> 32);
  m.number = static_cast<uint16_t>(packed >> 16);
  m.value = static_cast<uint16_t>(packed);
  return m;
}

HeardSysEx Learner::LastHeardSysEx() const
{
  const uint64_t packed = lastHeardSysEx.load();
  HeardSysEx heard;
  heard.size = static_cast<int32_t>(packed >> 32);
  for (int i = 0; i < 4; ++i)
    heard.head[i] = static_cast<uint8_t>(packed >> (24 - 8 * i));
  return heard;
}

void Learner::loop()
{
  // Sleeps first: the thread starts in the plug-in's constructor, before
  // the object is whole, and touches it only once the audio thread has
  // woken it.
  std::chrono::steady_clock::time_point lastFed{};
  for (;;) {
    // Says it sleeps, then looks once more: a message pushed before the
    // audio thread could see the flag is found here, any later one wakes it.
    // While learning is on it looks every kPollMs (the audio thread does
    // not post then); a switch to on wakes it.
    // A controller the recogniser holds waits at most kHeldController.
    sleeping.exchange(true);
    const bool holding = recogniser.Holding();
    if (learned.Empty() && heardSysEx.Empty() && !pacedNoticeDue.load() &&
        !verifyNoticeDue.load() &&
        !thread.SleepFor(learnOn.load() ? kPollMs
                         : holding      ? static_cast<int>(kHeldController.count())
                                        : -1))
      return;
    sleeping.store(false);
    if (thread.StopRequested())
      return;
    const auto now = std::chrono::steady_clock::now();
    if (!learned.Empty())
      lastFed = now;
    // Nothing came after a held controller: it is learned as it is.
    apply(holding && learned.Empty() && now - lastFed >= kHeldController);
    applySysEx();
    if (pacedNoticeDue.exchange(false))
      owner.LearnerNotice(param::kPacedNotice);
    if (verifyNoticeDue.exchange(false))
      owner.LearnerNotice(param::kVerifyNotice);
  }
}

void Learner::apply(bool flushHeld)
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
      auto learn = [&](const strips::LearnRecogniser::Recognised* messages, int32_t n) {
        for (int32_t i = 0; i < n; ++i) {
          const strips::SlotSet before = marks.load();
          const strips::LearnPlace place =
              strips::Learn(bank[current], bank.Extension(current), before, messages[i].message,
                            messages[i].replaces);
          // Bit by bit, so that a hand edit meanwhile (Forget clears its
          // slot's bit without the strip lock) is not undone; and only
          // what changes, as the strips are written (StripLearning.h).
          if (const strips::SlotSet added = place.learned & ~before)
            marks.fetch_or(added);
          if (const strips::SlotSet dropped = before & ~place.learned)
            marks.fetch_and(~dropped);
          places[count++] = place;
          lastHeard.store(Pack(messages[i].message));
          lastHeardSysEx.store(0);
        }
      };
      // The recogniser makes one message of an NRPN's, an RPN's or a 14-bit
      // pair's controllers (StripLearning.h).
      strips::LearnRecogniser::Recognised messages[strips::LearnRecogniser::kMaxOut];
      for (int32_t channel = 1; flushHeld && channel <= 16; ++channel)
        learn(messages, recogniser.Flush(channel, messages));
      flushHeld = false;
      LearnedMessage message;
      while (count + strips::LearnRecogniser::kMaxOut <= kBatch && learned.Pop(message))
        learn(messages, recogniser.Feed(message, messages));
    }
    if (count == 0 && learned.Empty())
      break;
    changed = changed || count > 0;
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
      uint64_t packed = static_cast<uint64_t>(size) << 32;
      for (uint32_t i = 0; i < 4 && i < size; ++i)
        packed |= static_cast<uint64_t>(sysexBuffer[i]) << (24 - 8 * i);
      lastHeardSysEx.store(packed);
      lastHeard.store(0);
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
