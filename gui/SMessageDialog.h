// vexo::gui::SMessageDialog: the message box: a top-level dialog with a bold
// title line, a message of one or more lines and an "OK" button that closes
// (hides) it. It is laid out around its texts: as wide as the wider of the
// widest message line and the title, plus margins, and as high as the
// message lines plus room for the title and the button. vexo::gui::SInfo
// keeps one for the library's life.
//
// Threads: as SDialog. The box's handlers run on the thread that reads its
// connection; filling and showing it from another thread happens inside
// the display lock of its connection (SInfo does so).
#pragma once

#include "gui/SDialog.h"
#include "support/data/datastring.h"

#include <cstdint>
#include <functional>

namespace vexo::gui {

namespace context {
class SDrawFont;
}

template <bool Flag> class SLabel;
template <bool Flag> class SButton;

// The geometry of a message box for measured texts.
struct SMessageLayout
{
  int32_t height = 0; // h: the message lines + 88, the top of the button
  int32_t width = 0;  // m: the wider of message and title
  Rect titleLabel;    // in the dialog
  Rect messageLabel;  // in the dialog
  Rect okButton;      // in the dialog
  int32_t dialogWidth = 0;
  int32_t dialogHeight = 0;
};

class SMessageDialog : public SDialog
{
public:
  // Measures a line: its width and height in pixels.
  using LineMeasure = std::function<void(const char* line, int32_t& width, int32_t& height)>;

  // The box at 0, 0, 320 x 240, hidden, with an empty title and message.
  SMessageDialog();
  // Deletes the children, then the fonts.
  ~SMessageDialog() override;

  // "OK" (event 3 with value 1 from the button) closes the box and drops
  // the button's pressed and hover state.
  void ParseEvent(SEvent* event) override;

  // Appended operations.
  // Lays the box out for the texts and shows it without waiting, centred
  // on its monitor.
  virtual void ShowMessage(const char* message, const char* title);
  // Stores the texts and lays the box out; does not show it.
  virtual void SetMessage(const char* message, const char* title);
  // Lays the box out, centres it and waits in the modal loop.
  virtual int ShowModal(const char* message, const char* title);
  using SDialog::ShowModal;

  // The widest line (w) and the summed line heights (h) of a message, lines
  // separated by "\n": an empty line counts a fixed height, that of the
  // last line measured before the first empty line, else that of "W". An
  // empty message gives 0, 0.
  static void MeasureMessage(const char* message, const LineMeasure& measure, int32_t& width,
                             int32_t& height);
  // The geometry for the measures of the message and the title's width.
  static SMessageLayout LayOut(int32_t messageWidth, int32_t messageHeight, int32_t titleWidth);

  context::SDrawFont* titleFont = nullptr; // owned; bold, size 10
  SLabel<false>* titleLabel = nullptr;     // child
  SLabel<false>* messageLabel = nullptr;   // child
  SButton<false>* okButton = nullptr;      // child
  vexo::data::datastring<32, char> messageText;
  vexo::data::datastring<32, char> titleText;
  context::SDrawFont* messageFont = nullptr; // owned; size 7

private:
  // Stores the texts and applies the layout (SetMessage without the name).
  void Apply(const char* message, const char* title);
  // Centres on the monitor of the box's centre and raises the window.
  void Place();
};

} // namespace vexo::gui
