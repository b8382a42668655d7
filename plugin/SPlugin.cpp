#include "plugin/SPlugin.h"

#include "gui/SGlobals.h"
#include "gui/SInfo.h"
#include "gui/XDisplay.h"
#include "plugin/PluginInfo.h"

#include <cstring>
#include <memory>

static_assert(quillet::kUniqueId == FourCC('Q', 'L', 'T', 'X'));

SPlugin::SPlugin(audioMasterCallback audioMaster_, int& status)
    : AudioEffectX(audioMaster_, quillet::kNumPrograms, quillet::kNumHostParameters)
{
  // Built under owners so that a throw releases what exists so far.
  auto ownedGlobals = std::make_unique<SGlobals>();
  const SPluginEditorFactory factory = EditorFactory();
  std::unique_ptr<SIPluginEditor> ownedEditor(factory ? factory(this, ownedGlobals.get(), status)
                                                      : nullptr);
  globals = ownedGlobals.release();
  pluginEditor = ownedEditor.release();
  editor = pluginEditor;
  setFlag(effFlagsHasEditor, editor != nullptr);

  isSynth(true);
  setUniqueID(quillet::kUniqueId);
  cEffect.version = quillet::kEffectVersion;
  setNumInputs(2);
  setNumOutputs(2);
  canProcessReplacing(true);
  hasVu(false);
  hasClip(false);
  programsAreChunks(true);
  canMono(true);
  suspended = true;
}

SPlugin::~SPlugin()
{
  // The editor uses the shared resources until it is gone.
  DestroyEditor();
  delete globals;
}

void SPlugin::DestroyEditor()
{
  delete editor;
  editor = nullptr;
  pluginEditor = nullptr;
}

VstIntPtr SPlugin::dispatcher(int32_t opcode, int32_t index, VstIntPtr value, void* ptr, float opt)
{
  switch (opcode) {
  case effEditGetRect:
    if (!ptr)
      return 0;
    *static_cast<ERect**>(ptr) = &editRect;
    return 1;
  case effEditOpen: {
    if (!ptr || !pluginEditor)
      return 0;
    // The toolkit draws on its own connection only. Without one (no server
    // reached at load) it opens one to the server of the display the host
    // hands, which it does not keep; with neither there is no editor.
    if (!vexo::gui::ConnectionForHost(reinterpret_cast<Display*>(value)))
      return 0;
    pluginEditor->open(ptr);
    return 1;
  }
  case effEditClose:
    if (pluginEditor)
      pluginEditor->close();
    return 1;
  case effEditIdle:
    // The editor is refreshed by the toolkit's idle thread and its events are
    // read by the toolkit's pump; this call, on the host's GUI thread, is
    // where the host learns what the editor asked of it meanwhile (a new
    // size, automation), since the host may touch its GUI in its answers.
    if (pluginEditor)
      pluginEditor->HostIdle();
    return 0;
  default:
    return AudioEffectX::dispatcher(opcode, index, value, ptr, opt);
  }
}

void SPlugin::suspend()
{
  suspended = true;
}

void SPlugin::resume()
{
  // Hosts are asked for the plug-in's folder once, on the first resume, as
  // they expect; nothing of the plug-in needs the answer.
  if (!directoryAsked) {
    directoryAsked = true;
    getDirectory();
  }
  wantEvents(1);
  suspended = false;
}

bool SPlugin::getEffectName(char* text)
{
  std::strcpy(text, quillet::kProductName);
  return true;
}

bool SPlugin::getProductString(char* text)
{
  std::strcpy(text, quillet::kProductName);
  return true;
}

bool SPlugin::getVendorString(char* text)
{
  std::strcpy(text, quillet::kVendorDomain);
  return true;
}

int32_t SPlugin::getVendorVersion()
{
  return quillet::kVendorVersion;
}

int32_t SPlugin::canDo(char* text)
{
  static const char* const capabilities[] = {"sendVstMidiEvent", "sendVstEvents",
                                             "receiveVstEvents", "receiveVstMidiEvent",
                                             "receiveVstTimeInfo"};
  for (const char* capability : capabilities) {
    if (std::strcmp(text, capability) == 0)
      return 1;
  }
  return -1;
}

const char* SPlugin::PluginHostName() const
{
  if (!pluginEditor)
    return "";
  return pluginEditor->HostDisplayName();
}

namespace {

std::atomic<SPluginEditorFactory>& InstalledFactory()
{
  static std::atomic<SPluginEditorFactory> factory{nullptr};
  return factory;
}

} // namespace

void SPlugin::SetEditorFactory(SPluginEditorFactory factory)
{
  InstalledFactory().store(factory, std::memory_order_release);
}

SPluginEditorFactory SPlugin::EditorFactory()
{
  return InstalledFactory().load(std::memory_order_acquire);
}

void SPlugin::ShowMessage(const char* text)
{
  vexo::gui::SInfo(text, quillet::kProductName);
}

bool SPlugin::EditorClosed()
{
  return editorClosed.load(std::memory_order_acquire);
}

void SPlugin::SetEditorClosed(bool closed)
{
  vexo::threading::SLockGuard hold(lock);
  editorClosed.store(closed, std::memory_order_release);
}

void SPlugin::AutomateInHost(int32_t index, float value)
{
  callHost(audioMasterAutomate, index, 0, nullptr, value);
}

void SPlugin::SetEditRect(int16_t width, int16_t height)
{
  editRect.top = 0;
  editRect.left = 0;
  editRect.bottom = height;
  editRect.right = width;
}
