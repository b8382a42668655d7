#include "host/CommandLine.h"

#include "host/HostOptions.h"

#include <cstdio>

namespace qhost::cli {

int Fail(const std::string& message)
{
  std::fprintf(stderr, "quillet-host: %s\n", message.c_str());
  return 2;
}

bool LoadLibrary(const PluginLibrary& library)
{
  if (library.Loaded())
    return true;
  Fail("cannot load " + library.Path() + ": " + library.Error());
  return false;
}

void HostCall(PluginInstance& plugin, const Action& action)
{
  switch (action.kind) {
  case ActionKind::Select:
    plugin.SelectProgram(static_cast<int32_t>(action.program));
    break;
  case ActionKind::Resend:
    plugin.SetParameter(0, 1.0f);
    plugin.SetParameter(0, 0.0f);
    break;
  case ActionKind::Play:
    plugin.SetPlaying(true);
    break;
  case ActionKind::Midi:
    break;
  }
}

void QueueMidi(PluginInstance& plugin, const std::vector<uint8_t>& bytes, int32_t deltaFrames)
{
  if (bytes[0] == 0xF0) {
    plugin.QueueSysEx(bytes, deltaFrames);
    return;
  }
  plugin.QueueMidi(bytes[0], bytes.size() > 1 ? bytes[1] : 0, bytes.size() > 2 ? bytes[2] : 0,
                   deltaFrames);
}

} // namespace qhost::cli
