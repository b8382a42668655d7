#include "support/system/SSystemData.h"

namespace vexo::system {

namespace {

using Text = vexo::data::datastring<32, char>;

constexpr const char* kFrame = "========================================";  // 40
constexpr const char* kSection = "---------------------------------------"; // 39

void AppendExtension(Text& text, const char* name, bool available)
{
  text.Append("\n[ ");
  text.Append(name);
  text.Append(available ? ": available ]" : ": not available ]");
}

} // namespace

SSystemData::SSystemData() = default;
SSystemData::~SSystemData() = default;

void SSystemData::getOSInfos(const char* folder)
{
  os.QueryFeatures(folder);
  osText.Clear(true);
  osText.Append(os.description);
  osQualifies = os.qualifies;
}

void SSystemData::getCPUInfos(const char* folder)
{
  processor.QueryRegistry(folder);
  processorMHz = processor.MHz;
  processorCount = processor.count;
  cpuText.Clear(true);
  cpuText.Append("CPU Type: ");
  cpuText.Append(processor.vendor);
  cpuText.Append("\nCPU Model: ");
  cpuText.Append(processor.modelName);
  cpuText.Append("\nCPU Count: ");
  cpuText.Append(32, "%i", processor.count);
  hasSSE = (processor.features & SProcessorData::kSSE) != 0;
  hasSSE2 = (processor.features & SProcessorData::kSSE2) != 0;
  hasMMX = (processor.features & SProcessorData::kMMX) != 0;
  has3DNow = (processor.features & SProcessorData::k3DNow) != 0;
}

void SSystemData::getDisplayInfos(void (*fill)(SMonitorLayout& layout))
{
  if (display)
    return;
  display = std::make_unique<SMonitorLayout>();
  if (fill)
    fill(*display);
}

bool SSystemData::Qualifies(bool needSSE, bool needSSE2) const
{
  if (needSSE2)
    return osQualifies && hasMMX && hasSSE && hasSSE2;
  if (needSSE)
    return osQualifies && hasMMX && hasSSE;
  return osQualifies && hasMMX;
}

vexo::data::datastring<32, char> SSystemData::FeatureMessage() const
{
  Text text;
  text.Append(kFrame);
  text.Append("\nS Y S T E M\n");
  text.Append(kFrame);
  text.Append('\n');
  text.Append(osText.Text());
  // The kernel files end in line breaks; a description cut short may not.
  if (osText.Length() > 1 && osText.Text()[osText.Length() - 2] != '\n')
    text.Append('\n');
  text.Append(kSection);
  text.Append('\n');
  text.Append(cpuText.Text());
  text.Append(128, "\nCPU Clock: %i MHz", processorMHz);
  AppendExtension(text, "MMX", hasMMX);
  AppendExtension(text, "SSE", hasSSE);
  AppendExtension(text, "SSE2", hasSSE2);
  text.Append('\n');
  text.Append(kSection);
  if (display) {
    const SMonitorLayout::Rect& box = display->BoundingBox();
    text.Append(128, "\nScreensize: %i x %i", box.Width(), box.Height());
    if (display->Estimated())
      text.Append("\nestimation (due to lack of information): ");
    int number = 0;
    for (const SMonitorLayout::Rect& monitor : display->Monitors())
      text.Append(160, "\nDisplay %i: %i x %i @ [X=%i, Y=%i]", ++number, monitor.Width(),
                  monitor.Height(), monitor.left, monitor.top);
  } else {
    text.Append("\nScreensize: unknown");
  }
  text.Append('\n');
  text.Append(kFrame);
  text.Append('\n');
  return text;
}

vexo::data::datastring<32, char> SSystemData::ErrorMessage(bool needSSE, bool needSSE2) const
{
  Text text;
  text.Append(kFrame);
  text.Append("\nE R R O R\n");
  text.Append(kFrame);
  text.Append('\n');
  text.Append(
      "This Computer doesn't meet\nthe following necessary reqs\nto operate this software:\n");
  // The kernel is a requirement as much as the extensions are; without this
  // line a refusal for an old kernel would list nothing.
  if (!osQualifies)
    text.Append("\nLinux Kernel 2.5: not available.");
  if (!hasMMX)
    text.Append("\nMMX: not available.");
  if ((needSSE || needSSE2) && !hasSSE)
    text.Append("\nSSE: not available.");
  if (needSSE2 && !hasSSE2)
    text.Append("\nSSE2: not available.");
  text.Append('\n');
  text.Append(kFrame);
  text.Append('\n');
  return text;
}

} // namespace vexo::system
