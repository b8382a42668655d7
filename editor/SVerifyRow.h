// SVerifyRow: the drawer's status row of the last send: its total time and
// whether the synth holds what was sent ("Verified", "Differs at byte 12
// (sent 05, synth 07)", "No answer"), in red once the last try has failed.
// The panel reads it from the engine on notice 340 (a result came) and on
// 237 (a send began or ended) and draws it into its back buffer. A
// "Differs at byte N" has the panel's "Skip byte" button at the row's right
// end, which marks byte N of the verified program don't-care (the row says
// which program and byte; the panel makes the change).
//
// Threads: the host's GUI thread (the panel's), under the display lock
// when it draws.
#pragma once

#include "model/SysExVerify.h"

#include <cstdint>

class VSTPlugin;

namespace vexo::gui::context {
class SDrawing;
class SDrawFont;
} // namespace vexo::gui::context

class SVerifyRow
{
public:
  // The row's height in the drawer.
  static constexpr int kHeight = 14;
  // The "Skip byte" button at the right end of a row `width` wide.
  static constexpr int kSkipWidth = 40;
  static constexpr int SkipX(int width) { return width - kSkipWidth - 4; }

  // Reads the engine's last result and send time.
  void Read(VSTPlugin& plugin);
  // Into the device the caller has set: the row from `y`, across `width`.
  void Draw(vexo::gui::context::SDrawing& drawing, int y, int width) const;

  // The text as drawn ("Verified  (send 1,363 ms)") and whether it is red.
  const char* Text() const { return text; }
  bool Failed() const { return failed; }
  // What Draw draws in `room` pixels of `font`: the text, else the result
  // alone, else its first words.
  const char* Fitting(const vexo::gui::context::SDrawFont* font, int room) const;

  // The last result differs at a byte a program may mark (neither the F0
  // nor the last byte) and has not been skipped from this row: the row
  // offers "Skip byte" for byte SkipAt of program SkipProgram.
  bool CanSkip() const { return skipAt > 0 && !skipped; }
  int32_t SkipProgram() const { return skipProgram; }
  int32_t SkipAt() const { return skipAt; }
  // That byte is marked: no button until the next result.
  void Skipped() { skipped = true; }

private:
  char text[kVerifyTextSize + 32] = {};
  // Shorter forms for a narrow row, tried in turn when the text does not
  // fit: the result without the send time, then its first words ("Differs
  // at byte 12", "No answer").
  char words[kVerifyTextSize] = {};
  char brief[kVerifyTextSize] = {};
  bool failed = false;
  int32_t skipProgram = 0;
  int32_t skipAt = 0; // 0: nothing to skip
  bool skipped = false;
  uint32_t results = 0; // the engine's result count when read
};
