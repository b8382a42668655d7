// quillet-host info: what a host learns when it loads the plug-in.
#include "host/CommandLine.h"
#include "host/HostOptions.h"

#include <cstdio>

namespace qhost::cli {

namespace {

std::string FourChars(int32_t code)
{
  std::string text;
  for (int shift = 24; shift >= 0; shift -= 8) {
    const char c = static_cast<char>((code >> shift) & 0xFF);
    text += (c >= 32 && c < 127) ? c : '.';
  }
  return text;
}

std::string FlagNames(int32_t flags)
{
  static const struct
  {
    int32_t bit;
    const char* name;
  } names[] = {{effFlagsHasEditor, "editor"},
               {effFlagsHasClip, "clip"},
               {effFlagsHasVu, "vu"},
               {effFlagsCanMono, "mono"},
               {effFlagsCanReplacing, "replacing"},
               {effFlagsProgramChunks, "chunks"},
               {effFlagsIsSynth, "synth"},
               {effFlagsNoSoundInStop, "no-tail"},
               {effFlagsExtIsAsync, "async"},
               {effFlagsExtHasBuffer, "external-buffer"}};
  std::string text;
  for (const auto& entry : names) {
    if (flags & entry.bit) {
      if (!text.empty())
        text += ", ";
      text += entry.name;
    }
  }
  return text;
}

} // namespace

int Info(const HostOptions& options)
{
  const std::string& path = options.positional[0];
  PluginLibrary library(path);
  if (!LoadLibrary(library))
    return 2;
  PluginInstance plugin(library, options.config);
  if (!plugin.Loaded()) {
    std::printf("Load refused: %s returned no effect record (host product \"%s\").\n", path.c_str(),
                options.config.product.c_str());
    return 3;
  }
  AEffect* e = plugin.Effect();
  std::printf("Plug-in        %s\n", path.c_str());
  std::printf("magic          0x%08X '%s'\n", static_cast<uint32_t>(e->magic),
              FourChars(e->magic).c_str());
  std::printf("programs       %d\n", e->numPrograms);
  std::printf("parameters     %d\n", e->numParams);
  std::printf("inputs         %d\n", e->numInputs);
  std::printf("outputs        %d\n", e->numOutputs);
  std::printf("flags          0x%X (%s)\n", static_cast<uint32_t>(e->flags),
              FlagNames(e->flags).c_str());
  std::printf("unique id      0x%08X '%s'\n", static_cast<uint32_t>(e->uniqueID),
              FourChars(e->uniqueID).c_str());
  std::printf("version        %d\n", e->version);
  std::printf("initial delay  %d\n", e->initialDelay);
  std::printf("io ratio       %g\n", static_cast<double>(e->ioRatio));
  std::printf("object         %s\n", e->object ? "set" : "null");

  plugin.StartUp();
  std::printf("effect name    %s\n", plugin.EffectName().c_str());
  std::printf("product        %s\n", plugin.ProductString().c_str());
  std::printf("vendor         %s\n", plugin.VendorString().c_str());
  std::printf("vendor version %ld\n", static_cast<long>(plugin.Dispatch(effGetVendorVersion)));
  std::printf("category       %ld\n", static_cast<long>(plugin.Dispatch(effGetPlugCategory)));
  std::printf("vst version    %ld\n", static_cast<long>(plugin.Dispatch(effGetVstVersion)));

  std::puts("canDo");
  static const char* const capabilities[] = {"sendVstEvents",
                                             "sendVstMidiEvent",
                                             "receiveVstEvents",
                                             "receiveVstMidiEvent",
                                             "receiveVstTimeInfo",
                                             "sendVstTimeInfo",
                                             "offline",
                                             "midiProgramNames",
                                             "bypass"};
  for (const char* capability : capabilities)
    std::printf("  %-20s %ld\n", capability, static_cast<long>(plugin.CanDo(capability)));

  std::puts("parameters");
  for (int32_t i = 0; i < e->numParams; ++i) {
    std::printf("  %d  %-12s %-4s %g\n", i, plugin.ParameterName(i).c_str(),
                plugin.ParameterDisplay(i).c_str(), static_cast<double>(plugin.GetParameter(i)));
  }
  std::puts("programs");
  for (int32_t i = 0; i < e->numPrograms; ++i)
    std::printf("  %3d  %s\n", i, plugin.ProgramNameIndexed(i).c_str());

  plugin.Suspend();
  plugin.Close();
  return 0;
}

} // namespace qhost::cli
