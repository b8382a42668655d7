// PacedSender: the sending of a program's stored messages. A send goes out
// all at once (through the generated-messages ring, in the next block) or,
// when a spacing or settle time is set or the program has SysEx messages,
// paced: the audio thread puts each message into the block it falls in, at
// its frame. With SysEx the order is: the strips up to and including the
// first Program Change, then (after its settle time) the SysEx messages,
// each followed by the SysEx gap, then the remaining strips, paced as
// always; without a Program Change the SysEx messages come first.
//
// Threads:
// - any thread sends (Send) and cancels what remains of a paced send that
//   an option started (Cancel); both only touch atomics (and the ring);
// - the audio thread takes up a paced send asked for, drops one that a
//   newer send or its option ended, and inserts the messages that fall in
//   the block (Run). The send in progress (`paced`) is the audio thread's
//   alone. It pins the program's SysEx set in the SysEx store when the send
//   begins and lets it go at the start of the block after the send ended,
//   when the host has read the last SysEx message's bytes;
// - the threads that publish SysEx sets say which programs have any
//   (NoteSysEx), so that any thread knows without the store's lock that a
//   send must take the paced path.
// Nothing here allocates, waits or enters the kernel.
#pragma once

#include "engine/BlockOutput.h"
#include "engine/MidiEventQueue.h"
#include "engine/SysExStore.h"
#include "model/StripMessages.h"
#include "model/VSTPluginProgramBank.h"

#include <atomic>
#include <cstdint>

// What started a send, for the options whose switching off cancels it.
enum class SendCause : int32_t
{
  Other = 0,
  Init = 1,
  Change = 2,
  Play = 3
};

// The longest short message a strip sends (the model's message kinds say
// how long each is).
constexpr int32_t kMaxSendBytes = strips::kMaxShortMessageBytes;

// The messages a send of a program carries, in send order: `emit(bytes,
// size, settles)` for each message that is sent (1 to kMaxSendBytes bytes,
// one or more MIDI messages that go out together; `settles` for a message
// after which the synth needs the settle time, a Program Change). The one
// place where a send's bytes are built from the strips.
template <class Emit>
void ForEachSendMessage(const VSTPluginProgram& program, const ProgramExtension& extension,
                        Emit&& emit) noexcept
{
  for (int32_t strip = 0; strip < kStripsPerProgram; ++strip) {
    if (!field::Load(program.strips[strip].inUse))
      continue;
    for (int32_t message = 0; message < 2; ++message) {
      const strips::Message m = strips::Read(program, extension, strip, message);
      strips::MessageBytes bytes;
      if (strips::Bytes(m, bytes) > 0 && bytes.size <= kMaxSendBytes)
        emit(static_cast<const uint8_t*>(bytes.data), bytes.size, strips::Settles(m));
    }
  }
}

class PacedSender
{
public:
  PacedSender(const VSTPluginProgramBank& bank_, MidiEventQueue& generated_, SysExStore& sysex_)
      : bank(bank_), generated(generated_), sysex(sysex_)
  {
  }
  PacedSender(const PacedSender&) = delete;
  PacedSender& operator=(const PacedSender&) = delete;

  // Any thread. Sends `program`'s messages: at once when nothing paces
  // them, else from the audio thread's next block on (the program current
  // then). Every send, paced or not, ends what remains of a paced one.
  void Send(SendCause cause, int32_t program) noexcept;
  // Any thread. Stops what remains of a paced send when `cause` started it.
  void Cancel(SendCause cause) noexcept;
  // A paced send is in progress (notice 237). Any thread.
  bool Active() const noexcept { return pacedActive; }
  // Any thread, after publishing program `program`'s SysEx set: whether it
  // has messages to send.
  void NoteSysEx(int32_t program, bool has) noexcept
  {
    if (program < 0 || program >= kBankPrograms)
      return;
    const uint32_t bit = uint32_t{1} << (program % 32);
    if (has)
      withSysEx[program / 32].fetch_or(bit);
    else
      withSysEx[program / 32].fetch_and(~bit);
  }
  bool HasSysEx(int32_t program) const noexcept
  {
    return program >= 0 && program < kBankPrograms &&
           (withSysEx[program / 32].load() >> (program % 32) & 1) != 0;
  }

  // Audio thread, once per block of `frames`: the program that is current,
  // the sample rate. Puts the paced messages that fall in the block into
  // `out`; true when a paced send began or ended (notice 237 is due).
  bool Run(int32_t frames, int32_t program, float sampleRate, BlockOutput& out) noexcept;

private:
  bool pacing() const noexcept;
  void start(SendCause cause, uint32_t serial, int32_t program, float sampleRate) noexcept;
  void end() noexcept;

  const VSTPluginProgramBank& bank;
  MidiEventQueue& generated;
  SysExStore& sysex;
  // Bit p of word p / 32: program p has SysEx messages.
  std::atomic<uint32_t> withSysEx[(kBankPrograms + 31) / 32] = {};

  // `sendSerial` counts sends (any thread adds one for every send, paced or
  // not, which cancels a paced send in progress); `pendingRequest` holds
  // the serial (shifted by two) and the cause of a paced send not yet taken
  // up by the audio thread (0: none); `cancels` counts the switching off of
  // each option that starts sends.
  static constexpr uint32_t kSerialMask = 0x3FFFFFFF;
  std::atomic<uint32_t> sendSerial{0};
  std::atomic<uint32_t> pendingRequest{0};
  std::atomic<uint32_t> cancels[4] = {};
  std::atomic<bool> pacedActive{false};
  // A message of the send: its bytes (one or more MIDI messages, which go
  // out as consecutive events at one frame) and the gap after it.
  struct Item
  {
    uint8_t bytes[kMaxSendBytes];
    uint8_t size;
    int32_t gap; // samples from this message to the next
  };
  // The send in progress: the audio thread's alone.
  struct PacedSend
  {
    static constexpr int32_t kMaxMessages = 2 * kStripsPerProgram;
    Item items[kMaxMessages];
    int32_t count = 0;
    int32_t next = 0;
    // The SysEx messages (from the pinned set; none: null), which go
    // before item `sysexAt`, each followed by `sysexGap` samples.
    const SysExSet* set = nullptr;
    int32_t sysexAt = 0;
    int32_t sysexNext = 0;
    int32_t sysexCount = 0;
    int32_t sysexGap = 0;
    int64_t wait = 0; // samples from this block's start to the next message
    uint32_t serial = 0;
    uint32_t cancelMark = 0;
    SendCause cause = SendCause::Other;
    bool active = false;
    // A set is pinned (it stays so until the block after the send ended).
    bool pinned = false;
  } paced;
};
