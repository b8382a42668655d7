#include "gui/SMessageDialog.h"

#include "gui/SButton.h"
#include "gui/SGlobals.h"
#include "gui/SLabel.h"
#include "gui/SStaticData.h"
#include "gui/context/SDrawFont.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace vexo::gui {

using context::SDrawFont;

namespace {

constexpr int kStyleMessageBox = 0x880101;
constexpr int kInitialWidth = 320;
constexpr int kInitialHeight = 240;

int C(int index)
{
  return statdata.Colour(index);
}

} // namespace

SMessageDialog::SMessageDialog()
{
  Label name;
  name.Append("SDialog (ID ");
  name.Append(32, "%i", static_cast<int>(dialogGlobals->generator.Integer()));
  name.Append(")");
  CreateDialog(name.Text(), kStyleMessageBox, 0, 0, kInitialWidth, kInitialHeight);
  EnableEventHandler(kEventValue);
  SetColours(C(kColourDarkSlate), C(kColourDarkSlate), C(kColourBlack), C(kColourOrange),
             C(kColourWhite), C(kColourWhite), C(kColourWhite));
  messageFont = new SDrawFont(7, false, false, false, nullptr);
  titleFont = new SDrawFont(10, true, false, false, nullptr);

  const int W = kInitialWidth;
  const int H = kInitialHeight;
  const std::string base = name.Text();
  titleLabel =
      new SLabel<false>(dialogGlobals, this, static_cast<unsigned>(dialogGlobals->NextId()),
                        (base + " - TitleLabel").c_str(), 0, 10, 10, W - 20, 30);
  titleLabel->SetColours(C(kColourDarkSlate), C(kColourDarkSlate), C(kColourBlack),
                         C(kColourOrange), C(kColourOrange), C(kColourOrange), C(kColourOrange));
  titleLabel->SetLabel("", titleFont, 0);
  titleLabel->SetLabelColours(C(kColourWhite), C(kColourWhite));
  titleLabel->Show();
  Add(titleLabel);

  messageLabel =
      new SLabel<false>(dialogGlobals, this, static_cast<unsigned>(dialogGlobals->NextId()),
                        (base + " - MessageLabel").c_str(), 0, 10, 40, W - 20, H - 90);
  messageLabel->SetColours(C(kColourDarkSlate), C(kColourDarkSlate), C(kColourBlack),
                           C(kColourOrange), C(kColourWhite), C(kColourWhite), C(kColourWhite));
  messageLabel->SetLabel("", messageFont, 0);
  messageLabel->SetLabelColours(C(kColourWhite), C(kColourWhite));
  messageLabel->Show();
  Add(messageLabel);

  okButton = new SButton<false>(dialogGlobals, this, static_cast<unsigned>(dialogGlobals->NextId()),
                                (base + " - MessageButton").c_str(), kStyleRounded, (W / 2) - 20,
                                H - 40, 40, 20);
  okButton->SetColours(C(kColourCharcoal), C(kColourSlateGrey), C(kColourDarkSlate),
                       C(kColourOrange), C(kColourBlack), C(kColourWhite), C(kColourWhite));
  okButton->SetLabel("OK", titleFont, 0);
  okButton->SetLabelColours(C(kColourWhite), C(kColourGrey));
  okButton->SetType(kButtonTrigger);
  okButton->SetHoverColours(C(kColourSlateGrey), C(kColourSlateGrey));
  okButton->AddEventListener(this, kEventValue);
  okButton->Show();
  Add(okButton);

  Refresh();
}

SMessageDialog::~SMessageDialog()
{
  // The labels and the button draw with the fonts.
  DestroyChildren();
  titleLabel = messageLabel = nullptr;
  okButton = nullptr;
  delete titleFont;
  delete messageFont;
}

void SMessageDialog::ParseEvent(SEvent* event)
{
  if (!event || !EventHandled(event->code))
    return;
  if (event->code != kEventValue || event->value != 1 || !okButton ||
      event->sender != static_cast<SControl*>(okButton))
    return;
  CloseDialog();
  if (capture.load() == okButton)
    okButton->MouseReleaseCapture();
  okButton->ClearState();
}

void SMessageDialog::MeasureMessage(const char* message, const LineMeasure& measure, int32_t& width,
                                    int32_t& height)
{
  width = 0;
  height = 0;
  if (!message || !*message)
    return;
  int32_t lastHeight = -1;  // of the last line measured
  int32_t emptyHeight = -1; // fixed at the first empty line
  const char* start = message;
  for (;;) {
    const char* end = std::strchr(start, '\n');
    const size_t length = end ? static_cast<size_t>(end - start) : std::strlen(start);
    // The end of the text closes the last line; after a final "\n" there
    // is no further line.
    if (!end && length == 0)
      break;
    if (length > 0) {
      const std::string line(start, length);
      int32_t w = 0, h = 0;
      measure(line.c_str(), w, h);
      width = std::max(width, w);
      height += h;
      lastHeight = h;
    } else {
      if (emptyHeight < 0) {
        if (lastHeight >= 0) {
          emptyHeight = lastHeight;
        } else {
          int32_t w = 0;
          measure("W", w, emptyHeight);
        }
      }
      height += emptyHeight;
    }
    if (!end)
      break;
    start = end + 1;
  }
}

SMessageLayout SMessageDialog::LayOut(int32_t messageWidth, int32_t messageHeight,
                                      int32_t titleWidth)
{
  SMessageLayout layout;
  const int32_t h = messageHeight + 88;
  const int32_t m = std::max(messageWidth, titleWidth);
  layout.height = h;
  layout.width = m;
  layout.titleLabel = Rect{10, 10, 10 + m + 44, 10 + 20};
  layout.messageLabel = Rect{10, 40, 10 + m + 44, 40 + h - 50};
  const int32_t buttonLeft = ((m + 64) >> 1) - 20;
  layout.okButton = Rect{buttonLeft, h, buttonLeft + 40, h + 20};
  layout.dialogWidth = m + 64;
  layout.dialogHeight = h + 40;
  return layout;
}

void SMessageDialog::Apply(const char* message, const char* title)
{
  messageText.Clear(false);
  messageText.Append(message ? message : "");
  int32_t w = 0;
  int32_t h = 0;
  if (messageFont && messageFont->Loaded()) {
    const SDrawFont* font = messageFont;
    MeasureMessage(
        messageText.Text(),
        [font](const char* line, int32_t& lineWidth, int32_t& lineHeight) {
          int width = 0, ascent = 0, descent = 0;
          font->TextExtents(line, width, ascent, descent);
          lineWidth = width;
          lineHeight = ascent + descent;
        },
        w, h);
  }

  titleText.Clear(false);
  titleText.Append(title ? title : "");
  SetTitleText(titleText.Text());
  titleLabel->SetLabel(titleText.Text());
  const int32_t t = titleFont ? titleFont->TextWidth(titleText.Text()) : 0;

  messageLabel->SetLabel(messageText.Text(), messageFont, messageLabel->alignment);
  messageLabel->Refresh();

  const SMessageLayout layout = LayOut(w, h, t);
  titleLabel->SetSize(layout.titleLabel.Width(), layout.titleLabel.Height());
  messageLabel->SetSize(layout.messageLabel.Width(), layout.messageLabel.Height());
  okButton->SetPosition(layout.okButton.left, layout.okButton.top);
  // A box closed by "OK" is shown again without the pressed or hover look.
  okButton->ClearState();
  okButton->Refresh();
  ResizeDialog(layout.dialogWidth, layout.dialogHeight);
  titleLabel->Refresh();
  Refresh();
}

void SMessageDialog::Place()
{
  Center();
  Foreground(true);
}

void SMessageDialog::SetMessage(const char* message, const char* title)
{
  Apply(message, title);
}

void SMessageDialog::ShowMessage(const char* message, const char* title)
{
  Apply(message, title);
  Place();
  ShowDialog();
}

int SMessageDialog::ShowModal(const char* message, const char* title)
{
  Apply(message, title);
  Place();
  return SDialog::ShowModal();
}

} // namespace vexo::gui
