// quillet-host: loads a VST 2 plug-in the way a Linux host does and drives it
// from the command line; `quillet-host --help` lists the commands and the
// options (host/HostOptions.cpp holds them).
//
// Exit status: 0 done; 1 the run ended but lost something the user asked
// for (learning was full); 2 a refused command line, file or chunk, or a
// library that cannot be loaded; 3 the plug-in refused to load.
#include "host/CommandLine.h"
#include "host/HostOptions.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
  using namespace qhost::cli;
  if (argc < 2) {
    PrintHelp(stderr, 0);
    return 2;
  }
  std::string name = argv[1];
  if (name == "--help" || name == "-h")
    name = "help";
  const unsigned command = CommandNamed(name);
  if (!command) {
    Fail("unknown command " + name + " (quillet-host --help lists the commands)");
    return 2;
  }
  HostOptions options;
  if (!ParseOptions(command, argc - 2, argv + 2, options))
    return 2;
  if (command == kHelp || options.help) {
    const unsigned about = command == kHelp && !options.positional.empty()
                               ? CommandNamed(options.positional[0])
                           : command == kHelp ? 0
                                              : command;
    if (command == kHelp && !options.positional.empty() && !about)
      return Fail("unknown command " + options.positional[0]);
    if (options.markdown)
      PrintMarkdown(stdout);
    else
      PrintHelp(stdout, about);
    return 0;
  }
  WarnAboutTimes(options);
  switch (command) {
  case kInfo:
    return Info(options);
  case kRun:
    return Run(options);
  case kEdit:
    return Edit(options);
  default:
    return Lv2Preset(options);
  }
}
