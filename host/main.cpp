// quillet-host: loads a VST 2 plug-in the way a Linux host does and drives it
// from the command line. See Usage below.
#include "host/CommandLine.h"
#include "model/MessageKinds.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

// The kinds a strip message may be, from the model's table: a line each
// with its spelling and ranges (the ranges on a line of their own when
// both do not fit in 80 columns).
void PrintKinds(FILE* out)
{
  constexpr int kIndent = 29;
  constexpr int kColumn = 30;
  for (const strips::MessageKind& kind : strips::AllKinds()) {
    char syntax[64];
    char ranges[64];
    const int32_t length = strips::Syntax(kind, syntax, sizeof syntax);
    strips::Ranges(kind, ranges, sizeof ranges);
    const int fits = kIndent + kColumn + static_cast<int>(std::strlen(ranges));
    if (length < kColumn && fits <= 80)
      std::fprintf(out, "%*s%-*s%s\n", kIndent, "", kColumn, syntax, ranges);
    else
      std::fprintf(out, "%*s%s\n%*s%s\n", kIndent, "", syntax, kIndent + 4, "", ranges);
  }
}

void Usage(FILE* out)
{
  std::fputs(
      "usage: quillet-host COMMAND PATH.so [options]\n"
      "\n"
      "commands:\n"
      "  info   print what a host learns at load (record, names, capabilities,\n"
      "         parameters, programs) or why the load was refused\n"
      "  run    load as a host does, optionally restore a preset, run the audio loop\n"
      "         in real time and print every MIDI event the plug-in sends\n"
      "  edit   open the plug-in's editor in a host window on the X display\n"
      "\n"
      "options of every command:\n"
      "  --host-product TEXT      the host's product string\n"
      "  --host-version N         the host's VST version answer (0 refuses the load)\n"
      "  --host-vendor-version N  the host's vendor version\n"
      "\n"
      "options of run:\n"
      "  --bank FILE.fxb          restore a bank (then the host selects its current program)\n"
      "  --program FILE.fxp       restore a program into the current program (after the\n"
      "                           bank when both are given)\n"
      "  --save-bank FILE.fxb     save the bank after the run\n"
      "  --seconds S              how long to run (default 3)\n"
      "  --rate HZ                sample rate (default 44100)\n"
      "  --block FRAMES           block size (default 512)\n"
      "  --set INDEX=VALUE        set any parameter (0.0 to 1.0) before the run, the\n"
      "                           internal ones (200-237) included\n"
      "  --strip P:S:A[:B]        store strip S of program P and put it in use; A and B are\n"
      "                           off or a message, CH 1-16 and the rest as sent:\n",
      out);
  PrintKinds(out);
  strips::KindList learned;
  learned.lead = "  --learn                  learn incoming";
  learned.which = strips::Learned;
  learned.titles = true;
  learned.tail = " messages";
  learned.width = 80;
  learned.indent = "                           ";
  char learn[512];
  strips::ListKinds(learned, learn, sizeof learn);
  std::fprintf(out,
               "  --spacing MS             pace the messages of a send MS apart (0-250)\n"
               "  --settle MS              wait at least MS after a Program Change (0-2000)\n"
               "%s\n",
               learn);
  std::fputs("  --send-on-play           send the current program when the transport starts\n"
             "  --play@SECONDS           the host's transport starts playing at that time\n"
             "  --no-time-info           the host answers no time info\n"
             "  --select N@SECONDS       the host selects program N at that time\n"
             "  --midi-in \"MS BYTES...\"  feed MIDI at MS milliseconds, e.g. \"500 C0 05\"\n"
             "  --resend@SECONDS         trigger a resend (parameter 0 up and down)\n"
             "\n"
             "options of edit:\n"
             "  --host-style NAME        how the host hands its display and delivers X events:\n"
             "                           ardour (learns \"_XEventProc\" from the reparented\n"
             "                           editor, idle every 40 ms, hides instead of closing),\n"
             "                           own-loop (drains its queue, never reads the property),\n"
             "                           qtractor (no display, never reads the property),\n"
             "                           eventproc (the default: every event of a window to its\n"
             "                           \"_XEventProc\"), no-display-eventproc, selective (takes\n"
             "                           only its own window's events)\n"
             "  --no-display             the same as --host-style no-display-eventproc\n"
             "  --no-eventproc           the same as --host-style selective\n"
             "  --bank FILE.fxb          restore a bank first\n"
             "  --select N@SECONDS       select program N at that time\n"
             "  --seconds S              close the editor and the plug-in after S seconds\n"
             "  --screenshot FILE.png@S  save what the host window shows (repeatable)\n"
             "  --set INDEX=VALUE[@S]    set any parameter, internal ones too (232 spacing,\n"
             "                           233 settle, 234 learn, 235 send on play), before the\n"
             "                           editor opens or at S seconds\n"
             "  --midi-in \"MS BYTES...\"  feed MIDI at MS milliseconds while the editor is open\n"
             "  --click X,Y@S            a left click at X,Y of the host window at S seconds\n"
             "  --save-bank FILE.fxb     save the bank after the editor closed\n",
             out);
}

} // namespace

int main(int argc, char** argv)
{
  if (argc < 2) {
    Usage(stderr);
    return 2;
  }
  const std::string command = argv[1];
  if (command == "info")
    return qhost::cli::Info(argc - 2, argv + 2);
  if (command == "run")
    return qhost::cli::Run(argc - 2, argv + 2);
  if (command == "edit")
    return qhost::cli::Edit(argc - 2, argv + 2);
  if (command == "--help" || command == "-h" || command == "help") {
    Usage(stdout);
    return 0;
  }
  qhost::cli::Fail("unknown command " + command);
  Usage(stderr);
  return 2;
}
