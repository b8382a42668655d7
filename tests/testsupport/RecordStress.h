// Every kind of thread a host runs, at once, on one plug-in's program
// records: an audio thread (events with Program Changes, blocks), an
// automation thread over every parameter index and a dispatcher thread that
// selects programs, saves and loads bank and program chunks, suspends and
// resumes and renames programs. Under the thread sanitizer any access to a
// record that is not field by field shows up as a report (which fails the
// test program); in every build the records must come out whole.
#pragma once

#include "plugin/VstInterface.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

namespace testsupport {

struct RecordStressCounts
{
  int64_t blocks = 0;
  int64_t parameterCalls = 0;
  int64_t dispatcherRounds = 0;
};

// Runs the three threads for `duration`; the calling thread runs `idle`
// meanwhile (a host's GUI loop, or nothing). The plug-in is left resumed.
RecordStressCounts RunRecordStress(AEffect* effect, std::chrono::milliseconds duration,
                                   const std::function<void()>& idle);

// The live chunk copied byte by byte with relaxed loads, as a careful host
// would read it while the plug-in runs (the host's reading of the live
// records is its own business; this keeps it out of the sanitizer's view).
std::vector<uint8_t> CopyLiveChunk(AEffect* effect, bool program);

// Checks (with gtest) that every record of a bank chunk is whole: names
// terminated, fields within the ranges that any of the threads could have
// written.
void ExpectWholeRecords(const std::vector<uint8_t>& bank);

} // namespace testsupport
