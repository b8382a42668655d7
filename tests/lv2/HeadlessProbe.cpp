// lv2-headless-probe: loads the LV2 bundle with the lilv test host as a
// host without a display does, switches thru on, passes a note through and
// prints what came out, one message a line. It links nothing of the
// plug-in but loads the bundle, so everything it prints on standard error
// is the plug-in library's. Run by tests/lv2/Lv2HeadlessTest.cpp.
#include "tests/lv2/Lv2TestHost.h"

#include <cstdio>

int main()
{
  lv2test::Lv2TestHost host;
  if (!host.Loaded()) {
    std::printf("not loaded: %s\n", host.Error().c_str());
    return 1;
  }
  host.Activate();
  // The first block takes the ports as they are; thru acts when it moves.
  host.Run();
  host.SetControl(3, 1.0f);
  host.Run();
  host.QueueMidi({0x90, 0x3C, 0x64}, 10);
  host.Run();
  std::fputs(lv2test::Format(host.Received()).c_str(), stdout);
  return 0;
}
