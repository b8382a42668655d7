#include "editor/SVerifyRow.h"

#include "editor/SNumberText.h"
#include "engine/VSTPlugin.h"
#include "gui/SStaticData.h"
#include "gui/context/SColour.h"
#include "gui/context/SDrawFont.h"
#include "gui/context/SDrawing.h"

#include <cstdio>
#include <cstring>

namespace {

int Colour(int r, int g, int b)
{
  return static_cast<int>(vexo::gui::SCOL(r, g, b));
}

} // namespace

void SVerifyRow::Read(VSTPlugin& plugin)
{
  const VerifyResult result = plugin.LastVerify();
  DescribeVerify(result, words);
  std::snprintf(brief, sizeof brief, "%s", words);
  if (char* cut = std::strpbrk(brief, "(,"); cut && cut > brief)
    cut[cut[-1] == ' ' ? -1 : 0] = '\0';
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
  if (result.code == VerifyCode::None) {
    std::snprintf(text, sizeof text, "Verify: none yet  (send %s ms)", ms);
    std::snprintf(words, sizeof words, "Verify: none yet");
    std::snprintf(brief, sizeof brief, "Verify: none yet");
  } else {
    std::snprintf(text, sizeof text, "%s  (send %s ms)", words, ms);
  }
}

const char* SVerifyRow::Fitting(const vexo::gui::context::SDrawFont* font, int room) const
{
  if (!font)
    return text;
  for (const char* form : {static_cast<const char*>(text), static_cast<const char*>(words)}) {
    if (font->TextWidth(form) <= room)
      return form;
  }
  return brief;
}

void SVerifyRow::Draw(vexo::gui::context::SDrawing& drawing, int y, int width) const
{
  drawing.SetBrush(statdata.FindBrush(Colour(77, 81, 84)));
  drawing.FillRect(2, y, width - 2, y + kHeight - 2);
  vexo::gui::context::SDrawFont* font = statdata.FindFont(7);
  drawing.SetFont(font);
  drawing.SetTextColour(failed ? Colour(255, 0, 0) : Colour(0, 255, 128), false);
  const vexo::gui::context::Point origin{0, 0};
  // The text stops short of the "Skip byte" button when it is there.
  const int right = CanSkip() ? SkipX(width) - 2 : width - 6;
  drawing.DrawLabel(Fitting(font, right - 10),
                    vexo::gui::context::Rect{10, y, right, y + kHeight - 2},
                    vexo::gui::context::kAlignLeft, origin);
}
