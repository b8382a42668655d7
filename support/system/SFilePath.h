// vexo::file::SFilePath: path helpers. Only the directory part of a path is
// needed by the plug-in (to learn the folder its file was loaded from).
#pragma once

namespace vexo::file {

class SFilePath
{
public:
  // Writes into destination the directory part of path, with its trailing
  // separator ('/' or '\\'): "/usr/lib/vst/plug.so" gives "/usr/lib/vst/".
  // A path ending in a separator is copied whole. A path without a
  // separator, or whose file name (without extension) has 128 characters or
  // more, gives the empty text; an empty path writes nothing. destination
  // must hold the whole path. `limit` is reserved (callers pass -1).
  static void GetDir(char* destination, const char* path, int limit);
};

} // namespace vexo::file
