#include "engine/PacedSender.h"

#include "midi/MidiBytes.h"

#include "model/Parameters.h"
#include "support/threading/FieldAccess.h"

#include <cstring>

bool PacedSender::pacing() const noexcept
{
  const ExtensionSettings& settings = bank.Settings();
  return field::Load(settings.spacingMs) > 0 || field::Load(settings.settleMs) > 0;
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
  // The host has read the last block's events: the set of a send that has
  // ended may go now.
  if (!paced.active && paced.pinned) {
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
  const uint32_t request = pendingRequest.exchange(0);
  // A request overtaken by a later send (paced or not) is dropped.
  if (request != 0 && (request >> 2) == serial) {
    start(static_cast<SendCause>(request & 3), serial, program, sampleRate);
    notice = notice || paced.active;
  }
  // The request shares the one pin with the sends: it waits for a block
  // in which no send holds it.
  if (!paced.active && !paced.pinned && dumpRequested.load(std::memory_order_relaxed))
    sendDumpRequest(program, out);
  if (!paced.active || frames <= 0)
    return notice;

  // A message goes whole: when the output has no room for all its events,
  // it waits for the next block.
  while (paced.wait < frames) {
    const auto frame = static_cast<int32_t>(paced.wait);
    if (paced.next == paced.sysexAt && paced.sysexNext < paced.sysexCount) {
      const SysExView message = paced.set->Message(paced.sysexNext);
      if (message.size > 0 && !out.InsertSysEx(message.data, message.size, frame))
        break;
      paced.wait += paced.sysexGap;
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
    end();
    return true;
  }
  // A message the full output could not take goes at the next block's start.
  paced.wait = paced.wait > frames ? paced.wait - frames : 0;
  return notice;
}

void PacedSender::start(SendCause cause, uint32_t serial, int32_t program,
                        float sampleRate) noexcept
{
  const ExtensionSettings& settings = bank.Settings();
  const int32_t spacing = ClampMs(field::Load(settings.spacingMs), kMaxSpacingMs);
  const int32_t settle = ClampMs(field::Load(settings.settleMs), kMaxSettleMs);
  const double samplesPerMs = sampleRate >= 1.0f && sampleRate <= 1e7f ? sampleRate / 1000.0 : 44.1;
  // The gaps a send uses, in samples, worked out once (all are
  // non-negative, so adding a half and cutting rounds as lround does).
  const auto samples = [samplesPerMs](int32_t ms) {
    return static_cast<int32_t>(ms * samplesPerMs + 0.5);
  };
  const int32_t spacingGap = samples(spacing);
  const int32_t settleGap = samples(settle > spacing ? settle : spacing);

  // The messages as the send lists them now, in send order; the SysEx
  // messages go after the first Program Change (and its settle time), or
  // first of all.
  paced.count = 0;
  paced.sysexAt = -1;
  ForEachSendMessage(bank[program], bank.Extension(program),
                     [&](const uint8_t* bytes, int32_t size, bool settles) {
                       Item& item = paced.items[paced.count++];
                       std::memcpy(item.bytes, bytes, static_cast<size_t>(size));
                       item.size = static_cast<uint8_t>(size);
                       item.gap = settles ? settleGap : spacingGap;
                       if (settles && paced.sysexAt < 0)
                         paced.sysexAt = paced.count;
                     });
  if (paced.sysexAt < 0)
    paced.sysexAt = 0;
  // A new pin replaces the old one: the host is done with the last block.
  paced.set = sysex.Pin(program);
  paced.pinned = paced.set != nullptr;
  paced.sysexCount = paced.set ? paced.set->Count() : 0;
  paced.sysexNext = 0;
  paced.sysexGap = samples(ClampMs(field::Load(settings.sysexGapMs), kMaxSysExGapMs));
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
