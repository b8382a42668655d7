// quillet-host: loads a VST 2 plug-in the way a Linux host does and drives it
// from the command line.
//
//   quillet-host info PATH.so [--host-product TEXT] [--host-version N]
//                             [--host-vendor-version N]
#include "host/VstHost.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

void Usage()
{
  std::fputs("usage: quillet-host info PATH.so [--host-product TEXT] [--host-version N]\n"
             "                                 [--host-vendor-version N]\n",
             stderr);
}

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
  } names[] = {{effFlagsHasEditor, "editor"},       {effFlagsHasClip, "clip"},
               {effFlagsHasVu, "vu"},               {effFlagsCanMono, "mono"},
               {effFlagsCanReplacing, "replacing"}, {effFlagsProgramChunks, "chunks"},
               {effFlagsIsSynth, "synth"},          {effFlagsNoSoundInStop, "no-tail"},
               {effFlagsExtIsAsync, "async"},       {effFlagsExtHasBuffer, "external-buffer"}};
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

// Parses a whole decimal number; false when the text is not one.
bool ParseInt(const char* text, long& value)
{
  char* end = nullptr;
  value = std::strtol(text, &end, 10);
  return end != text && *end == '\0';
}

struct CommonOptions
{
  std::string path;
  qhost::HostConfig config;
};

// Takes the options every command understands; returns false (after a
// message) on an unknown or incomplete one. Unknown options are left for the
// command when `rest` is given.
bool ParseCommon(int argc, char** argv, CommonOptions& options, std::vector<std::string>* rest)
{
  for (int i = 0; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](const char* name) -> const char* {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "quillet-host: %s needs a value\n", name);
        return nullptr;
      }
      return argv[++i];
    };
    long number = 0;
    if (arg == "--host-product") {
      const char* v = value("--host-product");
      if (!v)
        return false;
      options.config.product = v;
    } else if (arg == "--host-version" || arg == "--host-vendor-version") {
      const char* v = value(arg.c_str());
      if (!v)
        return false;
      if (!ParseInt(v, number)) {
        std::fprintf(stderr, "quillet-host: %s wants a number, not \"%s\"\n", arg.c_str(), v);
        return false;
      }
      (arg == "--host-version" ? options.config.version : options.config.vendorVersion) = number;
    } else if (!arg.empty() && arg[0] != '-' && options.path.empty()) {
      options.path = arg;
    } else if (rest) {
      rest->push_back(arg);
    } else {
      std::fprintf(stderr, "quillet-host: unknown option %s\n", arg.c_str());
      return false;
    }
  }
  if (options.path.empty()) {
    std::fputs("quillet-host: no plug-in given\n", stderr);
    return false;
  }
  return true;
}

int Info(int argc, char** argv)
{
  CommonOptions options;
  if (!ParseCommon(argc, argv, options, nullptr)) {
    Usage();
    return 2;
  }
  qhost::PluginLibrary library(options.path);
  if (!library.Loaded()) {
    std::fprintf(stderr, "quillet-host: cannot load %s: %s\n", options.path.c_str(),
                 library.Error().c_str());
    return 1;
  }
  qhost::PluginInstance plugin(library, options.config);
  if (!plugin.Loaded()) {
    std::printf("Load refused: %s returned no effect record (host product \"%s\").\n",
                options.path.c_str(), options.config.product.c_str());
    return 3;
  }
  AEffect* e = plugin.Effect();
  std::printf("Plug-in        %s\n", options.path.c_str());
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
  static const char* const capabilities[] = {
      "sendVstEvents",   "sendVstMidiEvent", "receiveVstEvents",   "receiveVstMidiEvent",
      "receiveVstTimeInfo", "sendVstTimeInfo", "offline",         "midiProgramNames",
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

} // namespace

int main(int argc, char** argv)
{
  if (argc < 2) {
    Usage();
    return 2;
  }
  const std::string command = argv[1];
  if (command == "info")
    return Info(argc - 2, argv + 2);
  if (command == "--help" || command == "-h") {
    Usage();
    return 0;
  }
  std::fprintf(stderr, "quillet-host: unknown command %s\n", command.c_str());
  Usage();
  return 2;
}
