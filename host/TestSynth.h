// TestSynth: a synth for tests and demos on the plug-in's input
// (quillet-host run --synth FILE.syx). It answers a dump request with the
// file's messages after a latency, as a synth answers with its dump; it can
// leave out its first answers or change one byte of them, so that every
// verify result and every retry can be seen.
//
// A dump request is any SysEx message it receives that is shorter than the
// file's first message (a request is a few bytes; the dumps the plug-in
// sends are not answered).
//
// Threads: the thread that runs the blocks (quillet-host's main thread, or
// a test's).
#pragma once

#include "model/SysEx.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qhost {

struct TestSynthConfig
{
  std::shared_ptr<const SysExSet> dump; // what it answers (the file's messages)
  double latencyMs = 10.0;              // from the request to the answer
  int32_t drop = 0;                     // requests not answered, the first ones
  int64_t alter = -1;                   // the offset in the answer of a byte changed (-1: none)
};

class TestSynth
{
public:
  explicit TestSynth(TestSynthConfig config);

  // The plug-in sent SysEx message `bytes` at `ms`.
  void Heard(const std::vector<uint8_t>& bytes, double ms);
  // The answers due by `ms`, each a SysEx message, oldest first; they are
  // taken.
  std::vector<std::vector<uint8_t>> Due(double ms);
  int32_t Requests() const { return requests; }

  // Checks --synth-alter's OFFSET against the answer: a byte between its
  // first F0 and its last F7. Empty when it is one, else why not.
  static std::string AlterFault(const SysExSet& dump, int64_t offset);

private:
  struct Pending
  {
    double at;
    std::vector<uint8_t> bytes;
  };
  TestSynthConfig config;
  std::vector<uint8_t> answer; // the file's messages back to back, altered
  std::vector<Pending> pending;
  int32_t requests = 0;
};

} // namespace qhost
