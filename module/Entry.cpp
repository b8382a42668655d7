#include "module/Entry.h"

#include "editor/SPluginEditor.h"
#include "engine/VSTPlugin.h"
#include "gui/SInfo.h"
#include "plugin/PluginInfo.h"
#include "support/data/datastring.h"
#include "support/system/SSystemData.h"

#include <cstdio>

namespace {

// The text shown when the load is refused with a status other than 4.
vexo::data::datastring<32, char> FailureText(int status, const VSTPlugin* plugin)
{
  vexo::data::datastring<32, char> text;
  text.Append("Failed to load plugin\n(Reason: ");
  if (status == loadstatus::kSystemNotSupported) {
    text.Append("System not supported");
    text.Append("\nPlease check the requirements");
    text.Append(")");
  } else if (status == loadstatus::kHostNotSupported) {
    text.Append("Host not supported (");
    text.Append(plugin ? plugin->PluginHostName() : "");
    text.Append(")");
    text.Append(")");
  } else {
    text.Append("Internal Error");
    text.Append("\nPlease report to \n");
    text.Append(quillet::kSupportAddress);
    text.Append(")");
  }
  return text;
}

// Every plug-in this library makes gets the real editor.
[[maybe_unused]] const bool editorFactoryInstalled =
    (SPlugin::SetEditorFactory(&MakePluginEditor), true);

} // namespace

AEffect* QuilletEntry(audioMasterCallback audioMaster)
{
  if (!audioMaster || audioMaster(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0)
    return nullptr;

  int status = loadstatus::kOk;
  VSTPlugin* plugin = nullptr;
  if (!sd.Qualifies(false, false)) {
    // The message box only says that the system is not supported; the
    // report on standard error tells a user reading the host's log what is
    // missing.
    const vexo::data::datastring<32, char> report = sd.ErrorMessage(false, false);
    std::fputs(report.Text(), stderr);
    std::fflush(stderr);
    status = loadstatus::kSystemNotSupported;
  } else {
    // Composed for completeness, not shown: a successful load stays quiet.
    sd.FeatureMessage();
    plugin = new VSTPlugin(audioMaster, status);
    if (status == loadstatus::kOk)
      return plugin->getAeffect();
    if (status == loadstatus::kSilentRefusal) {
      delete plugin;
      return nullptr;
    }
  }

  const vexo::data::datastring<32, char> text = FailureText(status, plugin);
  vexo::gui::SInfo(text.Text(), quillet::kProductName);
  delete plugin;
  return nullptr;
}
