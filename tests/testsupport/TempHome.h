// A home folder of a test's own: made empty, HOME points at it while the
// object lives, and it goes with everything in it afterwards.
#pragma once

#include <cstdlib>
#include <stdlib.h>
#include <string>

namespace testsupport {

class TempHome
{
public:
  TempHome()
  {
    char folder[] = "/tmp/quillet-home-XXXXXX";
    if (mkdtemp(folder))
      path = folder;
    if (const char* home = std::getenv("HOME"))
      saved = home;
    if (!path.empty())
      setenv("HOME", path.c_str(), 1);
  }
  ~TempHome()
  {
    setenv("HOME", saved.c_str(), 1);
    if (!path.empty())
      std::system(("rm -rf '" + path + "'").c_str());
  }
  TempHome(const TempHome&) = delete;
  TempHome& operator=(const TempHome&) = delete;

  // Empty when no folder could be made.
  const std::string& Path() const { return path; }

private:
  std::string path;
  std::string saved;
};

} // namespace testsupport
