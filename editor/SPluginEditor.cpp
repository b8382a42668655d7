#include "editor/SPluginEditor.h"

#include "plugin/AudioEffectX.h"

#include <X11/Xlib.h>

#include <cstring>

namespace {

struct HostPattern
{
  const char* text;
  int32_t id;
};

// Tested in this order; the first match decides. "Cubase" is refined by the
// host's vendor version.
constexpr HostPattern kHostPatterns[] = {
    {"Cubase", 8},     {"Samplitude", 10}, {"SAVIHost", 6},
    {"Melodyne", 7},   {"Tracktion", 11},  {"Cantabile", 5},
    {"Phrazor", 12},   {"Usine", 13},      {"energyXT", 2},
};

constexpr int32_t kHostUsine = 13;
constexpr int32_t kCubaseVersion4 = 8199;

} // namespace

SPluginEditor::SPluginEditor(AudioEffect* plugin_, SGlobals* globals_, int& status)
    : AEffEditor(plugin_), globals(globals_), plugin(plugin_)
{
  // Several threads (idle refreshes, event delivery) share the connection.
  XInitThreads();
  for (auto& pending : pendingIndices)
    pending = 0;
  GetHostApp(status);
}

SPluginEditor::~SPluginEditor()
{
  if (isOpen)
    close();
}

const char* SPluginEditor::HostName(int32_t id)
{
  static const char* const names[] = {
      "(unknown)", "Sonar",     "Energy XT", "Project 5",  "FL Studio", "Cantabile",     "SaviHost",
      "Melodyne",  "Cubase/Nuendo", "Cubase4/Nuendo4", "Samplitude", "Tracktion", "Phrazor", "Usine"};
  if (id < 1 || id > 13)
    return names[0];
  return names[id];
}

void SPluginEditor::GetHostApp(int& status)
{
  auto* host = static_cast<AudioEffectX*>(effect);
  if (!host)
    return;
  // Hosts may write up to 64 characters; the buffers are larger still.
  char vendor[128] = {};
  char product[128] = {};
  host->getHostVendorString(vendor);
  host->getHostProductString(product);
  product[sizeof product - 1] = '\0';

  hostApp = 0;
  if (product[0] == '\0')
    return;
  for (const HostPattern& pattern : kHostPatterns) {
    if (!std::strstr(product, pattern.text))
      continue;
    hostApp = pattern.id;
    if (hostApp == 8 && host->getHostVendorVersion() > kCubaseVersion4)
      hostApp = 9;
    if (hostApp == kHostUsine)
      status = 3;
    return;
  }
}

int32_t SPluginEditor::open(void* /*parent*/)
{
  // The panel does not exist yet; refuse the request without effect.
  return 0;
}

void SPluginEditor::close()
{
  // A close before any open does nothing.
  if (!isOpen)
    return;
  isOpen = false;
}

void SPluginEditor::idlestatic(void* editor)
{
  if (editor)
    static_cast<SPluginEditor*>(editor)->idle();
}

void SPluginEditor::idle()
{
  if (!isOpen)
    return;
  if (updateFlag.exchange(0) != 0)
    update();
  else if (indexedUpdatePending.exchange(0) != 0)
    updateIndexed();
}

void SPluginEditor::update()
{
  if (!isOpen)
    return;
  for (auto& pending : pendingIndices)
    pending = 0;
}

void SPluginEditor::postUpdate() { updateFlag = 1; }

void SPluginEditor::updateIndexed()
{
  if (!isOpen)
    return;
  for (auto& pending : pendingIndices)
    pending.exchange(0);
}

void SPluginEditor::postUpdateIndexed(int32_t index)
{
  // The engine only sends 0 to 141; anything outside the array is dropped.
  if (index < 0 || index >= kPendingIndices)
    return;
  pendingIndices[index] = 1;
  indexedUpdatePending = 1;
}

void SPluginEditor::updateAtIndex(int32_t index)
{
  if (!isOpen || index < 0 || index >= kPendingIndices)
    return;
  pendingIndices[index] = 0;
}

void SPluginEditor::idleslow() {}
