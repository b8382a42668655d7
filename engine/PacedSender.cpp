#include "engine/PacedSender.h"

#include "midi/MidiBytes.h"

#include "model/Parameters.h"
#include "support/threading/FieldAccess.h"

#include <cstring>

static_assert(std::atomic<uint64_t>::is_always_lock_free, "the verify result is one word");

bool PacedSender::pacing() const noexcept
{
  // Changes only needs the audio thread's memory of what went; DIN speed
  // spaces every message by its cable time.
  const ExtensionSettings& settings = bank.Settings();
  return field::Load(settings.spacingMs) > 0 || field::Load(settings.settleMs) > 0 ||
         field::Load(settings.changesOnly) != 0 || field::Load(settings.dinSpeed) != 0;
}

void PacedSender::Send(SendCause cause, int32_t program) noexcept
{
  const uint32_t serial = (sendSerial.fetch_add(1) + 1) & kSerialMask;
  // SysEx messages are always sent from the audio thread, which pins their
  // set; the program is then the one current there.
  if (pacing() || HasSysEx(program)) {
    // The audio thread takes it up at its next block.
    pendingRequest.store(serial << 2 | static_cast<uint32_t>(cause));
    return;
  }
  // This send goes past the audio thread's memory of what each channel
  // holds.
  memory.Forget();
  ForEachSendMessage(bank[program], bank.Extension(program),
                     [&](const uint8_t* bytes, int32_t size, bool) {
                       // A message of several MIDI messages goes out as consecutive events.
                       midi::ForEachMessage(bytes, size, [&](const uint8_t* midi, int32_t length) {
                         VstMidiEvent event = BlockOutput::FreshEvent();
                         std::memcpy(event.midiData, midi, static_cast<size_t>(length));
                         generated.Push(event);
                       });
                     });
}

void PacedSender::Cancel(SendCause cause) noexcept
{
  const auto which = static_cast<uint32_t>(cause);
  cancels[which].fetch_add(1);
  // A send of that cause the audio thread has not taken up yet goes too.
  uint32_t request = pendingRequest.load();
  if (request != 0 && (request & 3) == which)
    pendingRequest.compare_exchange_strong(request, 0);
}

bool PacedSender::Run(int32_t frames, int32_t program, float sampleRate, BlockOutput& out) noexcept
{
  samplesPerMs = sampleRate >= 1.0f && sampleRate <= 1e7f ? sampleRate / 1000.0 : 44.1;
  // The host has read the last block's events: the set of a send that has
  // ended (and its verify) may go now.
  if (!paced.active && paced.pinned && verify.phase == VerifyPhase::Idle) {
    sysex.Unpin();
    paced.pinned = false;
    paced.set = nullptr;
  }
  const uint32_t serial = sendSerial.load() & kSerialMask;
  bool notice = false;
  if (paced.active && (paced.serial != serial ||
                       cancels[static_cast<uint32_t>(paced.cause)].load() != paced.cancelMark)) {
    end();
    notice = true;
  }
  // A later send ends a verify (it verifies itself).
  if (verify.phase != VerifyPhase::Idle && verify.serial != serial)
    stopVerify();
  const uint32_t request = pendingRequest.exchange(0);
  // A request overtaken by a later send (paced or not) is dropped.
  if (request != 0 && (request >> 2) == serial) {
    verify.attempt = 1;
    verify.tries = ClampMs(field::Load(bank.Settings().retries), kMaxRetries) + 1;
    start(static_cast<SendCause>(request & 3), serial, program, sampleRate, false);
    notice = notice || paced.active;
  }
  // The request shares the one pin with the sends: it waits for a block
  // in which no send holds it.
  if (!paced.active && !paced.pinned && dumpRequested.load(std::memory_order_relaxed))
    sendDumpRequest(program, out);
  if (!paced.active || frames <= 0) {
    if (verify.phase != VerifyPhase::Idle && frames > 0) {
      runVerify(frames, out);
      // A retry began.
      notice = notice || paced.active;
    }
    return notice;
  }

  // A message goes whole: when the output has no room for all its events,
  // it waits for the next block.
  while (paced.wait < frames) {
    const auto frame = static_cast<int32_t>(paced.wait);
    if (paced.next == paced.sysexAt && paced.sysexNext < paced.sysexCount) {
      const SysExView message = paced.set->Message(paced.sysexNext);
      if (message.size > 0 && !out.InsertSysEx(message.data, message.size, frame))
        break;
      paced.wait += paced.sysexGap + (paced.din ? samplesOf(CableMs(message.size)) : 0);
      ++paced.sysexNext;
      continue;
    }
    if (paced.next == paced.count)
      break;
    const Item& item = paced.items[paced.next];
    if (!out.InsertAt(item.bytes, item.size, frame))
      break;
    paced.wait += item.gap;
    ++paced.next;
  }
  if (paced.next == paced.count && paced.sysexNext == paced.sysexCount) {
    const bool check = verifyWanted();
    end();
    if (check) {
      beginVerify();
      runVerify(frames, out);
    }
    return true;
  }
  // A message the full output could not take goes at the next block's start.
  paced.wait = paced.wait > frames ? paced.wait - frames : 0;
  return notice;
}

void PacedSender::start(SendCause cause, uint32_t serial, int32_t program, float sampleRate,
                        bool whole) noexcept
{
  stopVerify();
  const ExtensionSettings& settings = bank.Settings();
  const int32_t spacing = ClampMs(field::Load(settings.spacingMs), kMaxSpacingMs);
  const int32_t settle = ClampMs(field::Load(settings.settleMs), kMaxSettleMs);
  samplesPerMs = sampleRate >= 1.0f && sampleRate <= 1e7f ? sampleRate / 1000.0 : 44.1;
  // The gaps a send uses, in samples, worked out once (all are
  // non-negative, so adding a half and cutting rounds as lround does).
  const int32_t spacingGap = samplesOf(spacing);
  const int32_t settleGap = samplesOf(settle > spacing ? settle : spacing);
  // With DIN speed a wait counts from when the message has left the cable.
  const bool din = field::Load(settings.dinSpeed) != 0;

  // The messages as the send lists them now, in send order; the SysEx
  // messages go after the first Program Change (and its settle time), or
  // first of all.
  paced.count = 0;
  ForEachSendMessage(bank[program], bank.Extension(program),
                     [&](const uint8_t* bytes, int32_t size, bool settles) {
                       Item& item = paced.items[paced.count++];
                       std::memcpy(item.bytes, bytes, static_cast<size_t>(size));
                       item.size = static_cast<uint8_t>(size);
                       item.settles = settles;
                       item.gap = (settles ? settleGap : spacingGap) +
                                  (din ? samplesOf(CableMs(size)) : 0);
                     });
  // A new pin replaces the old one: the host is done with the last block.
  paced.set = sysex.Pin(program);
  paced.pinned = paced.set != nullptr;
  paced.sysexCount = paced.set ? paced.set->Count() : 0;
  paced.sysexNext = 0;
  paced.sysexGap = samplesOf(ClampMs(field::Load(settings.sysexGapMs), kMaxSysExGapMs));
  paced.din = din;
  leaveOutKnown(!whole && cause == SendCause::Change && field::Load(settings.changesOnly) != 0);
  // The SysEx messages go after the first Program Change (and its settle
  // time), or first of all.
  paced.sysexAt = 0;
  for (int32_t i = 0; i < paced.count; ++i) {
    if (paced.items[i].settles) {
      paced.sysexAt = i + 1;
      break;
    }
  }
  paced.program = program;
  {
    int64_t total = 0;
    for (int32_t i = 0; i < paced.count; ++i)
      total += paced.items[i].gap;
    for (int32_t i = 0; i < paced.sysexCount; ++i)
      total += paced.sysexGap + (din ? samplesOf(CableMs(paced.set->Message(i).size)) : 0);
    sendMs.store(static_cast<int32_t>(static_cast<double>(total) / samplesPerMs + 0.5),
                 std::memory_order_relaxed);
  }
  paced.next = 0;
  paced.wait = 0;
  paced.serial = serial;
  paced.cause = cause;
  paced.cancelMark = cancels[static_cast<uint32_t>(cause)].load();
  if (paced.count == 0 && paced.sysexCount == 0)
    return;
  paced.active = true;
  pacedActive.store(true);
}

void PacedSender::sendDumpRequest(int32_t program, BlockOutput& out) noexcept
{
  const SysExSet* set = sysex.Pin(program);
  const SysExView request = set ? set->Request() : SysExView{};
  if (request.size <= 0) {
    sysex.Unpin();
    dumpRequested.store(false);
    return;
  }
  // A block without room for it tries again in the next.
  if (!out.InsertSysEx(request.data, request.size, 0)) {
    sysex.Unpin();
    return;
  }
  dumpRequested.store(false);
  // Kept until the host has read the block (Run lets it go then).
  paced.set = set;
  paced.pinned = true;
}

void PacedSender::end() noexcept
{
  // The pin stays until the next block (Run lets it go then).
  paced.active = false;
  paced.count = 0;
  paced.next = 0;
  paced.sysexCount = 0;
  paced.sysexNext = 0;
  pacedActive.store(false);
}

// ------------------------------------------------------------ changes only

namespace {

// A fingerprint of a set's messages (FNV-1a over their sizes and bytes).
uint64_t Fingerprint(const SysExSet& set) noexcept
{
  uint64_t hash = 1469598103934665603ull;
  auto mix = [&hash](uint8_t byte) {
    hash ^= byte;
    hash *= 1099511628211ull;
  };
  for (int32_t i = 0; i < set.Count(); ++i) {
    const SysExView message = set.Message(i);
    for (int32_t shift = 0; shift < 32; shift += 8)
      mix(static_cast<uint8_t>(message.size >> shift));
    for (int32_t b = 0; b < message.size; ++b)
      mix(message.data[b]);
  }
  return hash;
}

} // namespace

void PacedSender::leaveOutKnown(bool changesOnly) noexcept
{
  memory.Begin();
  if (changesOnly) {
    // The Program Change and Bank Select each channel gets in this send.
    int16_t program[16];
    int16_t msb[16];
    int16_t lsb[16];
    for (int32_t c = 0; c < 16; ++c)
      program[c] = msb[c] = lsb[c] = SentMemory::kUnknown;
    for (int32_t i = 0; i < paced.count; ++i) {
      const Item& item = paced.items[i];
      midi::ForEachMessage(item.bytes, item.size, [&](const uint8_t* m, int32_t) {
        const int32_t c = m[0] & midi::kChannelMask;
        if ((m[0] & 0xF0) == midi::kProgramChange && program[c] == SentMemory::kUnknown)
          program[c] = m[1];
        else if ((m[0] & 0xF0) == midi::kControlChange && m[1] == 0 && program[c] < 0)
          msb[c] = m[2];
        else if ((m[0] & 0xF0) == midi::kControlChange && m[1] == 32 && program[c] < 0)
          lsb[c] = m[2];
      });
    }
    // A channel that gets another patch gets everything; one that keeps its
    // patch (or gets none) only what it does not hold already.
    bool samePatch[16];
    bool allSame = true;
    for (int32_t c = 0; c < 16; ++c) {
      samePatch[c] =
          program[c] == SentMemory::kUnknown || memory.SamePatch(c, program[c], msb[c], lsb[c]);
      allSame = allSame && samePatch[c];
    }
    int32_t kept = 0;
    for (int32_t i = 0; i < paced.count; ++i) {
      const Item& item = paced.items[i];
      bool known = samePatch[item.bytes[0] & midi::kChannelMask];
      if (known)
        midi::ForEachMessage(item.bytes, item.size,
                             [&](const uint8_t* m, int32_t) { known = known && memory.Holds(m); });
      if (!known)
        paced.items[kept++] = item;
    }
    paced.count = kept;
    if (paced.set && paced.sysexCount > 0) {
      const uint64_t print = Fingerprint(*paced.set);
      if (allSame && memory.SysExSame(print))
        paced.sysexCount = 0;
      else
        memory.SysExSent(print);
    }
  } else if (paced.sysexCount > 0) {
    // Not known by its bytes: the next changes-only send sends it.
    memory.SysExForget();
  }
  for (int32_t i = 0; i < paced.count; ++i)
    midi::ForEachMessage(paced.items[i].bytes, paced.items[i].size,
                         [&](const uint8_t* m, int32_t) { memory.Sent(m); });
}

// ------------------------------------------------------------------ verify

bool PacedSender::verifyWanted() const noexcept
{
  return field::Load(bank.Settings().verifyMs) > 0 && paced.set && paced.set->Count() > 0 &&
         paced.set->Request().size > 0;
}

void PacedSender::beginVerify() noexcept
{
  verify.phase = VerifyPhase::Gap;
  // The last message's gap ends `paced.wait` samples after this block's
  // start.
  verify.wait = paced.wait;
  verify.program = paced.program;
  verify.serial = paced.serial;
  verify.cause = paced.cause;
}

void PacedSender::runVerify(int32_t frames, BlockOutput& out) noexcept
{
  if (verify.phase == VerifyPhase::Gap) {
    if (verify.wait >= frames) {
      verify.wait -= frames;
      return;
    }
    const SysExView request = paced.set ? paced.set->Request() : SysExView{};
    if (request.size <= 0) {
      stopVerify();
      return;
    }
    const auto frame = static_cast<int32_t>(verify.wait);
    // A block without room for it tries again at the next block's start.
    if (!out.InsertSysEx(request.data, request.size, frame)) {
      verify.wait = 0;
      return;
    }
    // Replies to an earlier request are no answer to this one.
    passReplies();
    double ms = field::Load(bank.Settings().verifyMs);
    // On a cable the request and the reply take their time too.
    if (paced.din) {
      int32_t longest = 0;
      for (int32_t i = 0; i < paced.set->Count(); ++i)
        longest = paced.set->Message(i).size > longest ? paced.set->Message(i).size : longest;
      ms += CableMs(request.size) + CableMs(longest);
    }
    verify.left = frame + static_cast<int64_t>(samplesOf(ms));
    verify.phase = VerifyPhase::Listen;
    listening.store(true, std::memory_order_relaxed);
  }
  // The first reply with a stored dump's header and length is compared;
  // anything else that comes is not for us.
  for (;;) {
    const uint32_t size = replies.Pop(replyBuffer.get());
    if (size == 0)
      break;
    const SysExView reply{replyBuffer.get(), static_cast<int32_t>(size)};
    const int32_t index = ReplyIndex(*paced.set, reply);
    if (index >= 0) {
      finishVerify(CompareReply(paced.set->Message(index), reply, paced.set));
      return;
    }
    others.NotAReply(reply.data, reply.size);
  }
  verify.left -= frames;
  if (verify.left <= 0) {
    VerifyResult none;
    none.code = VerifyCode::NoAnswer;
    finishVerify(none);
  }
}

void PacedSender::finishVerify(VerifyResult r) noexcept
{
  r.program = verify.program;
  r.attempt = verify.attempt;
  r.tries = verify.tries;
  r.last = r.code == VerifyCode::Verified || verify.attempt >= verify.tries;
  result.store(PackVerify(r), std::memory_order_release);
  results.fetch_add(1, std::memory_order_acq_rel);
  verifyDue.store(true);
  const int32_t attempt = verify.attempt;
  stopVerify();
  if (r.last)
    return;
  // The whole send again (nothing left out), verified again.
  verify.attempt = attempt + 1;
  start(verify.cause, sendSerial.load() & kSerialMask, verify.program,
        static_cast<float>(samplesPerMs * 1000.0), true);
}

void PacedSender::stopVerify() noexcept
{
  verify.phase = VerifyPhase::Idle;
  listening.store(false, std::memory_order_relaxed);
  passReplies();
}

void PacedSender::passReplies() noexcept
{
  for (;;) {
    const uint32_t size = replies.Pop(replyBuffer.get());
    if (size == 0)
      return;
    others.NotAReply(replyBuffer.get(), static_cast<int32_t>(size));
  }
}
