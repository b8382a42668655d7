// Fuzz target: the LV2 edition, loaded from its bundle by the lilv test
// host, fed what a careless or hostile LV2 host could hand it: atom
// sequences with any events (short messages of any bytes, SysEx of any
// length, with or without its end, transport positions, objects and atoms
// of unknown types, frames before, inside and past the block, at the ends of
// the 64-bit range, in time order or not), sequences of
// raw bytes, control values out of range (NaN, infinities, huge), states of
// any type and size (the plug-in's own bank mutated, or made of the input),
// runs of any length (none, longer than the host's block length) and output
// ports of little room.
//
// After every run the output port is checked as a host reads it: a sequence
// within its room, in time order, every frame inside the run, every event a
// whole MIDI message (its status byte's length, or F0 ... F7). A state that
// was refused leaves the saved bank as it was; one that was taken saves
// again as it was given.
//
// Input:
//   byte 0      bit 0: the host has a worker; bit 1: it gives its block
//               length; bits 2-3: the output port's room (48, 200, 4096 or
//               65536 bytes); bit 4: sequences hold their events in the
//               order queued, not in time order
//   then steps, each a kind byte:
//     0..119    a sequence: a count (0..63), per event a kind byte, a frame
//               choice and its bytes; then a run length choice
//     120..149  a sequence of raw bytes (its size field from the input,
//               kept within the buffer), then a run
//     150..189  a control port set to an odd value
//     190..229  a state restored (kind, type, size, program from the input)
//     230..239  the state saved, restored and saved again
//     240..255  deactivated and activated again, then a run
#include "midi/MidiBytes.h"
#include "tests/fuzz/FuzzSupport.h"
#include "tests/lv2/Lv2TestHost.h"

#include <lv2/atom/atom.h>
#include <lv2/atom/util.h>
#include <lv2/time/time.h>

#include <dlfcn.h>

#include <cstring>
#include <map>

namespace {

constexpr int kMaxSteps = 48;
constexpr const char* kBankKey = "urn:quillet:quillet:bank";
constexpr const char* kProgramKey = "urn:quillet:quillet:program";
const uint32_t kRooms[] = {48, 200, 4096, 65536};
const uint32_t kRuns[] = {0, 1, 64, 511, 512, 513, 1500, 5000};
const uint32_t kStateSizes[] = {0,     1,     100,   33807, 33808, 33809, 35327,
                                35328, 35329, 43543, 43544, 43545, 50000, 70656};

// Frames at the ends of the 64-bit range and around 32-bit limits: a frame
// is a host's number, and the plug-in subtracts the sub-block's start.
const int64_t kExtremeFrames[] = {
    INT64_MIN,        INT64_MIN + 1,      INT64_MAX,  INT64_MAX - 1,    -1,
    INT32_MIN,        INT32_MAX,          UINT32_MAX, int64_t{1} << 32, -(int64_t{1} << 32),
    int64_t{1} << 62, -(int64_t{1} << 62)};

int64_t Frame(fuzz::Bytes& in, uint32_t run)
{
  switch (in.U8() % 8) {
  case 0:
    return 0;
  case 1:
    return run ? in.Below(run) : 0;
  case 2:
    return static_cast<int64_t>(run) + in.U8(); // past the block
  case 3:
    return -static_cast<int64_t>(in.U16()); // before it
  case 4:
    return static_cast<int64_t>(in.U32()) << 20;
  case 5:
    return in.U16();
  case 6:
    return kExtremeFrames[in.U8() % (sizeof kExtremeFrames / sizeof kExtremeFrames[0])];
  default: { // any 64-bit frame
    const uint64_t high = in.U32();
    return static_cast<int64_t>(high << 32 | in.U32());
  }
  }
}

std::vector<uint8_t> Take(fuzz::Bytes& in, size_t count)
{
  std::vector<uint8_t> bytes(count);
  for (uint8_t& byte : bytes)
    byte = in.U8();
  return bytes;
}

void QueueEvent(lv2test::Lv2TestHost& host, fuzz::Bytes& in, uint32_t run)
{
  const uint8_t kind = in.U8();
  const int64_t frame = Frame(in, run);
  switch (kind % 8) {
  case 0:
  case 1:
  case 2: // a short message: a status and one to three more bytes
    host.QueueMidi(Take(in, 1 + in.U8() % 4), frame);
    break;
  case 3: { // SysEx of any length, mostly whole
    std::vector<uint8_t> bytes = Take(in, in.U16() % 300);
    bytes.insert(bytes.begin(), 0xF0);
    if (kind & 0x80)
      bytes.push_back(0xF7);
    host.QueueMidi(bytes, frame);
    break;
  }
  case 4:
    host.QueuePosition(in.OddFloat(), frame);
    break;
  case 5: // an object of any type with any body
    host.QueueAtom(host.Map(LV2_ATOM__Object), Take(in, in.U8() % 40), frame);
    break;
  case 6: // an atom of an unknown or random type
    host.QueueAtom(in.U8() % 2 ? host.Map("urn:quillet:fuzz#unknown") : in.U16(),
                   Take(in, in.U8() % 24), frame);
    break;
  default: // an empty MIDI event
    host.QueueMidi({}, frame);
    break;
  }
}

void CheckOutput(lv2test::Lv2TestHost& host, uint32_t run)
{
  const auto* sequence = reinterpret_cast<const LV2_Atom_Sequence*>(host.Output());
  if (sequence->atom.type != host.Map(LV2_ATOM__Sequence)) {
    // Only a port too small for an empty sequence is left as it was.
    fuzz::Require(host.OutputCapacity() < sizeof(LV2_Atom_Sequence),
                  "the output port holds no sequence");
    return;
  }
  fuzz::Require(sizeof(LV2_Atom) + sequence->atom.size <= host.OutputCapacity(),
                "the output sequence is larger than its port");
  int64_t last = 0;
  LV2_ATOM_SEQUENCE_FOREACH(sequence, event)
  {
    fuzz::Require(event->time.frames >= last, "the output is not in time order");
    fuzz::Require(event->time.frames >= 0 && event->time.frames < (run ? run : 1),
                  "an output event lies outside the run");
    last = event->time.frames;
    fuzz::Require(event->body.type == host.MidiType(), "an output event that is no MIDI");
    const auto* bytes = static_cast<const uint8_t*>(LV2_ATOM_BODY_CONST(&event->body));
    const uint32_t size = event->body.size;
    fuzz::Require(size > 0, "an empty MIDI event");
    if (bytes[0] == 0xF0) {
      fuzz::Require(size >= 2 && bytes[size - 1] == 0xF7, "a SysEx message without its end");
      continue;
    }
    fuzz::Require(midi::MessageLength(bytes[0]) == static_cast<int32_t>(size),
                  "a MIDI event not of its status byte's length");
    for (uint32_t i = 1; i < size; ++i)
      fuzz::Require(bytes[i] < 0x80, "a data byte of 128 or more");
  }
}

void RunChecked(lv2test::Lv2TestHost& host, uint32_t run)
{
  host.Run(run);
  CheckOutput(host, run);
}

std::vector<uint8_t> SavedBank(lv2test::Lv2TestHost& host)
{
  std::map<uint32_t, lv2test::Property> state;
  fuzz::Require(host.Save(state) == LV2_STATE_SUCCESS, "the state could not be saved");
  return state[host.Map(kBankKey)].value;
}

void RestoreFromInput(lv2test::Lv2TestHost& host, fuzz::Bytes& in)
{
  const std::vector<uint8_t> before = SavedBank(host);
  const uint8_t kind = in.U8();
  std::vector<uint8_t> bank;
  const uint32_t size = kStateSizes[in.U8() % (sizeof kStateSizes / sizeof kStateSizes[0])];
  if (kind & 1) {
    // The plug-in's own bank, resized and mutated.
    bank = before;
    bank.resize(size, 0);
    for (int edits = in.U8() % 16; edits > 0 && !bank.empty(); --edits)
      bank[in.Below(static_cast<uint32_t>(bank.size()))] = in.U8();
  } else {
    bank = Take(in, size);
  }
  static const char* const types[] = {LV2_ATOM__Chunk, LV2_ATOM__Chunk, LV2_ATOM__String,
                                      LV2_ATOM__Int, "urn:quillet:fuzz#type"};
  std::map<uint32_t, lv2test::Property> state;
  if (!(kind & 2))
    state[host.Map(kBankKey)] = {host.Map(types[in.U8() % 5]), bank};
  if (!(kind & 4)) {
    std::vector<uint8_t> program = Take(in, kind & 8 ? 4 : in.U8() % 9);
    state[host.Map(kProgramKey)] = {host.Map(kind & 16 ? LV2_ATOM__Float : LV2_ATOM__Int), program};
  }
  if (host.Restore(state) != LV2_STATE_SUCCESS)
    fuzz::Require(SavedBank(host) == before, "a refused state changed the bank");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  // Every input makes a host of its own, whose lilv unloads the binary at
  // its end; the binary stays loaded for the process, as the other targets'
  // plug-in does (the fuzzer keeps pointers into its coverage counters).
  static void* const resident =
      dlopen(QUILLET_LV2_BUNDLE "/quillet_lv2.so", RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  fuzz::Require(resident != nullptr, "the LV2 binary cannot be loaded");
  fuzz::Bytes in(data, size);
  const uint8_t options = in.U8();
  lv2test::Lv2TestHost::Config config;
  config.worker = (options & 1) != 0;
  config.maxBlock = options & 2 ? 512 : 0;
  config.outCapacity = kRooms[(options >> 2) % 4];
  lv2test::Lv2TestHost host(config);
  fuzz::Require(host.Loaded(), "the LV2 edition did not load");
  host.SortQueued((options & 16) == 0);
  host.Activate();

  for (int step = 0; step < kMaxSteps && !in.Empty(); ++step) {
    const uint8_t kind = in.U8();
    if (kind < 120) {
      const uint32_t run = kRuns[in.U8() % 8];
      for (int count = in.U8() % 64; count > 0; --count)
        QueueEvent(host, in, run);
      RunChecked(host, run);
    } else if (kind < 150) {
      std::vector<uint8_t>& raw = host.RawInput();
      raw = Take(in, 16 + in.U8() * 4);
      LV2_Atom_Sequence head{};
      head.atom.type = host.Map(LV2_ATOM__Sequence);
      head.atom.size = in.U32() % static_cast<uint32_t>(raw.size() - sizeof(LV2_Atom) + 1);
      std::memcpy(raw.data(), &head, sizeof head.atom);
      host.UseRawInput(true);
      RunChecked(host, kRuns[in.U8() % 8]);
      host.UseRawInput(false);
    } else if (kind < 190) {
      host.SetControl(2 + in.U8() % 3, in.OddFloat());
    } else if (kind < 230) {
      RestoreFromInput(host, in);
    } else if (kind < 240) {
      std::map<uint32_t, lv2test::Property> state;
      fuzz::Require(host.Save(state) == LV2_STATE_SUCCESS, "the state could not be saved");
      fuzz::Require(host.Restore(state) == LV2_STATE_SUCCESS, "its own state was refused");
      fuzz::Require(SavedBank(host) == state[host.Map(kBankKey)].value,
                    "its own state did not save again as it was");
    } else {
      host.Deactivate();
      host.Activate();
      RunChecked(host, kRuns[in.U8() % 8]);
    }
  }
  return 0;
}
