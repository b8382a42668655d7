// vexo::file::SFolder: what a folder holds, for the toolkit's file dialog:
// its sub-folders and the regular files whose name ends in one suffix, each
// list sorted by name (byte order), hidden entries (a leading '.') left out.
// Plain functions; any thread but the audio thread (they make system calls
// and allocate).
#pragma once

#include <string>
#include <vector>

namespace vexo::file {

struct SFolderListing
{
  std::string folder;               // as asked, without a trailing '/' (but "/")
  std::vector<std::string> folders; // names only
  std::vector<std::string> files;   // names only
};

class SFolder
{
public:
  // Lists `folder`. False (the listing empty) when it cannot be read. The
  // suffix is compared without regard to case (".syx" takes "A.SYX"); an
  // empty suffix takes every regular file.
  static bool List(const std::string& folder, const std::string& suffix, SFolderListing& listing);
  // The folder above `folder` ("/a/b" gives "/a", "/a" gives "/", "/"
  // stays "/").
  static std::string Parent(const std::string& folder);
  // `folder` and `name` joined by one '/'.
  static std::string Join(const std::string& folder, const std::string& name);
  // Whether `path` names a folder that can be listed.
  static bool IsFolder(const std::string& path);
  // Whether something (a file, a folder, ...) is at `path`.
  static bool Exists(const std::string& path);
  // The user's home folder ($HOME), else the working folder, else "/".
  static std::string Home();
};

} // namespace vexo::file
