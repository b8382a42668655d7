#include "editor/SVerifyRow.h"

#include "editor/SNumberText.h"
#include "engine/VSTPlugin.h"
#include "gui/SStaticData.h"
#include "gui/context/SColour.h"
#include "gui/context/SDrawing.h"

#include <cstdio>

namespace {

int Colour(int r, int g, int b)
{
  return static_cast<int>(vexo::gui::SCOL(r, g, b));
}

} // namespace

void SVerifyRow::Read(VSTPlugin& plugin)
{
  const VerifyResult result = plugin.LastVerify();
  char words[kVerifyTextSize];
  DescribeVerify(result, words);
  failed =
      result.last && (result.code == VerifyCode::Differs || result.code == VerifyCode::NoAnswer);
  // A new result may be skipped again.
  const uint32_t count = plugin.VerifyCount();
  if (count != results)
    skipped = false;
  results = count;
  const bool differs =
      result.code == VerifyCode::Differs && result.at > 0 && result.at < result.bytes - 1;
  skipProgram = result.program;
  skipAt = differs ? result.at : 0;
  char ms[16];
  WithThousands(plugin.LastSendMs(), ms);
  if (result.code == VerifyCode::None)
    std::snprintf(text, sizeof text, "Verify: none yet  (send %s ms)", ms);
  else
    std::snprintf(text, sizeof text, "%s  (send %s ms)", words, ms);
}

void SVerifyRow::Draw(vexo::gui::context::SDrawing& drawing, int y, int width) const
{
  drawing.SetBrush(statdata.FindBrush(Colour(77, 81, 84)));
  drawing.FillRect(2, y, width - 2, y + kHeight - 2);
  drawing.SetFont(statdata.FindFont(7));
  drawing.SetTextColour(failed ? Colour(255, 0, 0) : Colour(0, 255, 128), false);
  const vexo::gui::context::Point origin{0, 0};
  // The text stops short of the "Skip byte" button when it is there.
  const int right = CanSkip() ? SkipX(width) - 2 : width - 6;
  drawing.DrawLabel(text, vexo::gui::context::Rect{10, y, right, y + kHeight - 2},
                    vexo::gui::context::kAlignLeft, origin);
}
