#include "gui/SInfo.h"

#include <cstdio>

namespace vexo::gui {

// Every message also goes to standard error, so that a user whose host runs
// without a visible desktop still learns what happened.
void SInfo(const char* text, const char* title)
{
  std::fprintf(stderr, "%s: %s\n", title ? title : "", text ? text : "");
  std::fflush(stderr);
}

} // namespace vexo::gui
