// Large-file calls on 32-bit builds too: without them stat() and readdir()
// refuse entries whose inode or size does not fit 32 bits (EOVERFLOW),
// which a 64-bit file system gives to many.
#ifndef _FILE_OFFSET_BITS
#define _FILE_OFFSET_BITS 64
#endif

#include "support/system/SFolder.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace vexo::file {

namespace {

bool EndsWithNoCase(const std::string& name, const std::string& suffix)
{
  if (name.size() <= suffix.size())
    return suffix.empty() && !name.empty();
  const size_t start = name.size() - suffix.size();
  for (size_t i = 0; i < suffix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(name[start + i])) !=
        std::tolower(static_cast<unsigned char>(suffix[i])))
      return false;
  }
  return true;
}

std::string Trimmed(const std::string& folder)
{
  std::string out = folder.empty() ? std::string("/") : folder;
  while (out.size() > 1 && out.back() == '/')
    out.pop_back();
  return out;
}

} // namespace

bool SFolder::List(const std::string& folder, const std::string& suffix, SFolderListing& listing)
{
  listing = SFolderListing{};
  listing.folder = Trimmed(folder);
  DIR* dir = opendir(listing.folder.c_str());
  if (!dir)
    return false;
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name.empty() || name[0] == '.')
      continue;
    // Links are followed: a link to a folder is a folder.
    struct stat info
    {
    };
    if (stat(Join(listing.folder, name).c_str(), &info) != 0)
      continue;
    if (S_ISDIR(info.st_mode))
      listing.folders.push_back(name);
    else if (S_ISREG(info.st_mode) && EndsWithNoCase(name, suffix))
      listing.files.push_back(name);
  }
  closedir(dir);
  std::sort(listing.folders.begin(), listing.folders.end());
  std::sort(listing.files.begin(), listing.files.end());
  return true;
}

std::string SFolder::Parent(const std::string& folder)
{
  const std::string path = Trimmed(folder);
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos)
    return ".";
  if (slash == 0)
    return "/";
  return path.substr(0, slash);
}

std::string SFolder::Join(const std::string& folder, const std::string& name)
{
  const std::string base = Trimmed(folder);
  return base == "/" ? "/" + name : base + "/" + name;
}

bool SFolder::IsFolder(const std::string& path)
{
  struct stat info
  {
  };
  return !path.empty() && stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
         access(path.c_str(), R_OK | X_OK) == 0;
}

bool SFolder::Exists(const std::string& path)
{
  struct stat info
  {
  };
  return !path.empty() && stat(path.c_str(), &info) == 0;
}

std::string SFolder::Home()
{
  if (const char* home = std::getenv("HOME"); home && IsFolder(home))
    return Trimmed(home);
  char here[4096];
  if (getcwd(here, sizeof here))
    return Trimmed(here);
  return "/";
}

} // namespace vexo::file
