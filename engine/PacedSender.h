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
// - any thread asks for the current program's dump request (RequestDump);
//   the audio thread sends it at the start of the first block in which no
//   paced send holds the pin, pinned like a send's set until the next block;
// - the threads that publish SysEx sets say which programs have any
//   (NoteSysEx), so that any thread knows without the store's lock that a
//   send must take the paced path;
// - verify (the audio thread's too): when a paced send of a program with a
//   dump request and stored dumps has ended and the gap after its last
//   message is out, the request goes out and the sender listens for the
//   verify time. The thread that hands the host's events over copies the
//   SysEx that comes in meanwhile into `replies` (HearReply; one producer);
//   the audio thread compares the first reply (model/SysExVerify.h),
//   publishes the result in one atomic word and, on a failure with tries
//   left, sends the program whole again. The set stays pinned from the
//   send to the result;
// - "Changes only" and "DIN speed" are read at the start of each send:
//   the first leaves out what each channel holds already (SentMemory.h),
//   the second adds a message's time on a 31,250-baud cable to the wait
//   after it.
// Nothing here allocates (after construction), waits or enters the kernel.
#pragma once

#include "engine/BlockOutput.h"
#include "engine/MidiEventQueue.h"
#include "engine/SentMemory.h"
#include "engine/SysExInbox.h"
#include "engine/SysExStore.h"
#include "model/StripMessages.h"
#include "model/SysExVerify.h"
#include "model/VSTPluginProgramBank.h"

#include <atomic>
#include <cstdint>
#include <memory>

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
  // Where the SysEx that came in while a verify listened goes when it is no
  // reply (learning, when it is on). Audio thread.
  class Others
  {
  public:
    virtual void NotAReply(const uint8_t* bytes, int32_t size) noexcept = 0;

  protected:
    ~Others() = default;
  };

  PacedSender(const VSTPluginProgramBank& bank_, MidiEventQueue& generated_, SysExStore& sysex_,
              Others& others_)
      : bank(bank_), generated(generated_), sysex(sysex_), others(others_),
        replyBuffer(new uint8_t[SysExInbox::kLargestMessage])
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
  // Any thread. Sends the dump request of the program that is current at
  // the audio thread's next free block (one not taken by a paced send),
  // once, at its first frame. A program without a request sends nothing.
  void RequestDump() noexcept { dumpRequested.store(true); }
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

  // A verify listens for the synth's reply (the host's SysEx goes to
  // HearReply then, not to learning). Any thread.
  bool Listening() const noexcept { return listening.load(std::memory_order_relaxed); }
  // The thread that hands the host's events over: a SysEx message that came
  // in while listening. Dropped when the inbox is full.
  void HearReply(const uint8_t* bytes, int32_t size) noexcept
  {
    if (bytes && size > 0)
      replies.Push(bytes, static_cast<uint32_t>(size));
  }
  // The last verify result (PackVerify; 0: none yet) and how many results
  // there have been. Any thread.
  uint64_t VerifyWord() const noexcept { return result.load(std::memory_order_acquire); }
  uint32_t VerifyCount() const noexcept { return results.load(std::memory_order_acquire); }
  // A result came since the last call (notice 340 is due). Any thread.
  bool TakeVerifyNotice() noexcept
  {
    return verifyDue.load(std::memory_order_relaxed) && verifyDue.exchange(false);
  }
  // The last paced send's time from its first message until its last one
  // and the gap after it are out, in ms (cable time included with DIN
  // speed). Any thread.
  int32_t LastSendMs() const noexcept { return sendMs.load(std::memory_order_relaxed); }

  // Audio thread, once per block of `frames`: the program that is current,
  // the sample rate. Puts the paced messages that fall in the block into
  // `out`; true when a paced send began or ended (notice 237 is due).
  bool Run(int32_t frames, int32_t program, float sampleRate, BlockOutput& out) noexcept;

private:
  bool pacing() const noexcept;
  // `whole`: a retry, which never leaves anything out.
  void start(SendCause cause, uint32_t serial, int32_t program, float sampleRate,
             bool whole) noexcept;
  void end() noexcept;
  void sendDumpRequest(int32_t program, BlockOutput& out) noexcept;
  // Changes only: drops the items a channel holds already (and the SysEx
  // when it is the last send's); records what goes.
  void leaveOutKnown(bool changesOnly) noexcept;
  // Verify, after a send has ended in this block (`paced.wait` samples
  // after its start the last gap is out) / in each block while it runs.
  bool verifyWanted() const noexcept;
  void beginVerify() noexcept;
  void runVerify(int32_t frames, BlockOutput& out) noexcept;
  void finishVerify(VerifyResult result) noexcept;
  void stopVerify() noexcept;
  // Hands what waits in `replies` on to `others`.
  void passReplies() noexcept;
  int32_t samplesOf(double ms) const noexcept
  {
    return static_cast<int32_t>(ms * samplesPerMs + 0.5);
  }

  const VSTPluginProgramBank& bank;
  MidiEventQueue& generated;
  SysExStore& sysex;
  Others& others;
  // Bit p of word p / 32: program p has SysEx messages.
  std::atomic<uint32_t> withSysEx[(kBankPrograms + 31) / 32] = {};
  // A dump request is asked for: set by any thread, cleared by the audio
  // thread once it has sent it (or found none).
  std::atomic<bool> dumpRequested{false};

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
    bool settles;
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
    bool din = false; // DIN speed: each SysEx message's cable time is added
    int32_t program = 0;
    int64_t wait = 0; // samples from this block's start to the next message
    uint32_t serial = 0;
    uint32_t cancelMark = 0;
    SendCause cause = SendCause::Other;
    bool active = false;
    // A set is pinned (it stays so until the block after the send ended).
    bool pinned = false;
  } paced;
  // The sample rate of the last block, for a retry's send.
  double samplesPerMs = 44.1;
  // What each channel was last sent (Changes only). Audio thread.
  SentMemory memory;

  // Verify: the audio thread's, except the atomics.
  enum class VerifyPhase
  {
    Idle,
    Gap,   // the last message and its gap are going out
    Listen // the request went out; waiting for the reply
  };
  struct Verify
  {
    VerifyPhase phase = VerifyPhase::Idle;
    int64_t wait = 0; // Gap: samples from this block's start to the request
    int64_t left = 0; // Listen: samples from this block's start to "No answer"
    int32_t program = 0;
    int32_t attempt = 1;
    int32_t tries = 1;
    uint32_t serial = 0;
    SendCause cause = SendCause::Other;
  } verify;
  // Set by the audio thread while it listens, read by the thread that hands
  // the host's events over (which then copies SysEx into `replies`).
  std::atomic<bool> listening{false};
  // The replies on their way: HearReply's thread writes, the audio thread
  // reads into `replyBuffer` (allocated once, here).
  SysExInbox replies;
  std::unique_ptr<uint8_t[]> replyBuffer;
  // The last result (PackVerify), the results so far and whether one is not
  // yet told: written by the audio thread, read by any.
  std::atomic<uint64_t> result{0};
  std::atomic<uint32_t> results{0};
  std::atomic<bool> verifyDue{false};
  std::atomic<int32_t> sendMs{0};
};
