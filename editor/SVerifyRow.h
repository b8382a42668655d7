// SVerifyRow: the drawer's status row of the last send: its total time and
// whether the synth holds what was sent ("Verified", "Differs at byte 12
// (sent 05, synth 07)", "No answer"), in red once the last try has failed.
// The panel reads it from the engine on notice 340 (a result came) and on
// 237 (a send began or ended) and draws it into its back buffer.
//
// Threads: the host's GUI thread (the panel's), under the display lock
// when it draws.
#pragma once

#include "model/SysExVerify.h"

#include <cstdint>

class VSTPlugin;

namespace vexo::gui::context {
class SDrawing;
}

class SVerifyRow
{
public:
  // The row's height in the drawer.
  static constexpr int kHeight = 14;

  // Reads the engine's last result and send time.
  void Read(VSTPlugin& plugin);
  // Into the device the caller has set: the row from `y`, across `width`.
  void Draw(vexo::gui::context::SDrawing& drawing, int y, int width) const;

  // The text as drawn ("Verified  (send 1,363 ms)") and whether it is red.
  const char* Text() const { return text; }
  bool Failed() const { return failed; }

private:
  char text[kVerifyTextSize + 32] = {};
  bool failed = false;
};
