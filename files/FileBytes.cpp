#include "files/FileBytes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace files {

namespace {

std::string Reason(const std::string& path, const char* why)
{
  return path + ": " + why;
}

// Closes a descriptor when the scope ends.
struct Descriptor
{
  int fd;
  ~Descriptor()
  {
    if (fd >= 0)
      ::close(fd);
  }
};

} // namespace

bool ReadFileBytes(const std::string& path, std::vector<uint8_t>& bytes, std::string& error,
                   size_t limit)
{
  // Without waiting: opening a named pipe for reading would wait for a
  // writer (a worker thread or the editor stuck for good); opened at once,
  // it is refused below as no regular file. Regular files ignore the flag.
  Descriptor file{::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)};
  if (file.fd < 0) {
    error = Reason(path, std::strerror(errno));
    return false;
  }
  struct stat info = {};
  if (::fstat(file.fd, &info) != 0) {
    error = Reason(path, std::strerror(errno));
    return false;
  }
  if (S_ISDIR(info.st_mode)) {
    error = Reason(path, "is a folder, not a file");
    return false;
  }
  if (!S_ISREG(info.st_mode)) {
    error = Reason(path, "is not a regular file");
    return false;
  }
  if (static_cast<uint64_t>(info.st_size) > limit) {
    error = path + ": " + std::to_string(info.st_size) + " bytes, more than the " +
            std::to_string(limit) + " this reads";
    return false;
  }
  std::vector<uint8_t> read(static_cast<size_t>(info.st_size));
  size_t got = 0;
  while (got < read.size()) {
    const ssize_t n = ::read(file.fd, read.data() + got, read.size() - got);
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0) {
      error = Reason(path, std::strerror(errno));
      return false;
    }
    if (n == 0)
      break; // the file shrank while it was read: take what there is
    got += static_cast<size_t>(n);
  }
  read.resize(got);
  bytes = std::move(read);
  return true;
}

bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error)
{
  struct stat info = {};
  if (::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
    error = Reason(path, "is a folder, not a file");
    return false;
  }
  const std::string temporary = path + ".quillet-new";
  Descriptor file{::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644)};
  if (file.fd < 0) {
    error = Reason(path, std::strerror(errno));
    return false;
  }
  size_t put = 0;
  while (put < bytes.size()) {
    const ssize_t n = ::write(file.fd, bytes.data() + put, bytes.size() - put);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0) {
      error = Reason(path, n < 0 ? std::strerror(errno) : "cannot be written");
      ::unlink(temporary.c_str());
      return false;
    }
    put += static_cast<size_t>(n);
  }
  const int closed = ::close(file.fd);
  file.fd = -1;
  if (closed != 0 || std::rename(temporary.c_str(), path.c_str()) != 0) {
    error = Reason(path, std::strerror(errno));
    ::unlink(temporary.c_str());
    return false;
  }
  return true;
}

} // namespace files
