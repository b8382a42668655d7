// Lv2FileParameters: the LV2 edition's two file parameters, "SysEx file" and
// "Preset file" (patch:writable properties whose range is atom:Path, which
// hosts show as file choosers). A host sets one with a patch:Set message on
// the events input; run() hands the path to the host's worker, which reads
// the file with the one reader of its kind (files/) and hands it to the
// plug-in through its effect record, as a host would:
//   - a .syx file: its messages replace the current program's and the
//     program's dump request stays (the .syx rule of quillet-host --sysex),
//     through the plug-in's own vendor call; nothing is sent, and the
//     program's selection flags stay as they were;
//   - a .fxb file: the whole bank, then the bank's current program is
//     selected, as a host does after loading a bank (and as a restored
//     state does);
//   - a .fxp file: the current program, as a VST 2 host loads a program
//     (the program chunk, which leaves the bank's pacing as it was).
// A refused file (unreadable, broken, another plug-in's) changes nothing and
// gives one line in the host's log: the parameter, the file, and the reason
// (for a .syx file the offset of the byte at fault). The path of the last
// file taken goes back to the host as a patch:Set on the events output, and
// again on a patch:Get and after a refusal, so that the host's chooser
// shows it; a file the editor loaded is reported the same way. The state
// never holds a path: the files' bytes went into the bank, which the state
// holds.
//
// Threads:
// - audio (run, and the worker's responses, which a host delivers in run's
//   context): Take, Taken, Report; noexcept, nothing allocated, no lock;
// - the host's worker: Work;
// - the host's GUI thread: EditorTook, handed to Report through a slot of
//   its own (an atomic flag: no lock on either side).
#pragma once

#include "lv2/Lv2Uris.h"

#include <lv2/atom/forge.h>
#include <lv2/worker/worker.h>

#include <atomic>
#include <cstdint>
#include <string>

class Lv2Adapter;
class Lv2EventBridge;

class Lv2FileParameters
{
public:
  // The longest path handed to the worker (a host's worker takes a few
  // kilobytes per job); a longer one is refused with a line.
  static constexpr uint32_t kMaxPathBytes = 2048;

  Lv2FileParameters(Lv2Adapter& adapter, const Lv2Uris& uris, const LV2_URID_Map& map);
  Lv2FileParameters(const Lv2FileParameters&) = delete;
  Lv2FileParameters& operator=(const Lv2FileParameters&) = delete;

  // Audio thread: an object of the events input. A patch:Set of one of the
  // parameters with a path is scheduled on the worker (nothing happens
  // without one: `schedule` null); a patch:Get asks for the reports (of
  // one parameter, or of both). Anything else is left alone.
  void Take(const LV2_Atom* object, const LV2_Worker_Schedule* schedule) noexcept;
  // Audio thread: the reports due, as patch:Set messages after what the
  // output holds; what finds no room waits for the next run.
  void Report(Lv2EventBridge& bridge) noexcept;
  // Audio thread (a worker's response): the file of a job was taken.
  void Taken(uint32_t size, const void* data) noexcept;
  // GUI thread: the editor took a file (a .syx: "SysEx file", else "Preset
  // file"), for the next run's report. False while the last one waits for
  // a run: the caller tries again later. An empty path and one over
  // kMaxPathBytes are not reported.
  bool EditorTook(bool sysex, const char* path) noexcept;

  // Whether a worker job is one of Take's (the program selections are four
  // bytes, these longer).
  static bool IsJob(uint32_t size) noexcept;
  // Worker: reads the job's file and hands it to the plug-in; a file taken
  // is answered through `respond` (when the host gives one).
  LV2_Worker_Status Work(LV2_Worker_Respond_Function respond, LV2_Worker_Respond_Handle handle,
                         uint32_t size, const void* data);

private:
  enum Parameter : uint32_t
  {
    kSysEx = 0,
    kPreset = 1,
    kParameters = 2
  };
  // A job (and a response): the parameter, the path's length (kTooLong: a
  // path over kMaxPathBytes, not carried), then the path and a zero. The
  // response to a refused file is the parameter with kRefused, no path.
  struct Job
  {
    uint32_t parameter;
    uint32_t pathBytes;
  };
  static constexpr uint32_t kTooLong = 0xFFFFFFFFu;
  static constexpr uint32_t kRefused = 0x80000000u;

  // Worker: false with `error` ("PATH: reason") when the file was refused.
  bool LoadSyx(const std::string& path, std::string& error);
  bool LoadPreset(const std::string& path, std::string& error);
  uint32_t ParameterOf(uint32_t urid) const noexcept;

  Lv2Adapter& adapter;
  const Lv2Uris& uris;

  // The audio thread's alone: a job being built, the forge and buffer of a
  // report, the last path taken per parameter (length 0: none yet) and the
  // reports due (a bit per parameter).
  uint8_t job[sizeof(Job) + kMaxPathBytes + 1] = {};
  LV2_Atom_Forge forge{};
  alignas(8) uint8_t report[kMaxPathBytes + 128] = {};
  char taken[kParameters][kMaxPathBytes + 1] = {};
  uint32_t takenBytes[kParameters] = {};
  uint32_t due = 0;

  // The editor's file for the next report: written by the GUI thread while
  // `editorFull` is false, read by the audio thread while it is true.
  std::atomic<bool> editorFull{false};
  uint32_t editorParameter = 0;
  uint32_t editorPathBytes = 0;
  char editorPath[kMaxPathBytes + 1] = {};
};
