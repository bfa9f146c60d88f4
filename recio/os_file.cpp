#include "recio/os_file.h"

#include <errno.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace recio::os {

std::string_view trim(std::string_view name) {
  while (!name.empty() && name.front() == ' ') name.remove_prefix(1);
  while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
  return name;
}

namespace {

// `path` (absolute) with its "." and ".." components and repeated slashes
// dropped by the text alone: links are not followed, so "link/.." is the
// directory holding the link. A trailing slash stays, as it asks for a
// directory.
std::string lexically_normal(std::string_view path) {
  std::string out;
  out.reserve(path.size());
  std::size_t i = 0;
  while (i < path.size()) {
    while (i < path.size() && path[i] == '/') ++i;
    const std::size_t end = std::min(path.find('/', i), path.size());
    const std::string_view part = path.substr(i, end - i);
    i = end;
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      // At the root, ".." is the root.
      out.resize(out.empty() ? 0 : out.rfind('/'));
      continue;
    }
    out += '/';
    out += part;
  }
  if (out.empty() || path.back() == '/') out += '/';
  return out;
}

}  // namespace

std::optional<std::string> full_path(std::string_view name) {
  if (!name.empty() && name.front() == '/') return lexically_normal(name);
  // However long the working directory's name is: the buffer grows.
  std::string dir(4096, '\0');
  while (::getcwd(dir.data(), dir.size()) == nullptr) {
    // Removed (ENOENT) or unreadable: no name to take relative names in.
    if (errno != ERANGE) return std::nullopt;
    dir.resize(dir.size() * 2);
  }
  dir.resize(std::strlen(dir.c_str()));
  // Not a path (Linux writes "(unreachable)" for a directory outside the
  // process's root): no full path name either.
  if (dir.empty() || dir.front() != '/') return std::nullopt;
  dir += '/';
  dir += name;
  return lexically_normal(dir);
}

Error open_error(int err, const std::string& path) {
  switch (err) {
    case EEXIST:
      return Error::kFileExists;
    case EACCES:
    case EPERM:
    case EROFS:
      return Error::kAccessNotAllowed;
    case EMFILE:
    case ENFILE:
      return Error::kTooManyFiles;
    case ENOTDIR:
    case ENAMETOOLONG:
    case EINVAL:
    case EISDIR:
      return Error::kFileName;
    case ENOENT: {
      // A missing directory on the path is a bad name; a missing file in an
      // existing directory is an open failure.
      const std::size_t slash = path.rfind('/');
      const std::string dir = slash == std::string::npos ? std::string(".")
                              : slash == 0 ? std::string("/")
                                           : path.substr(0, slash);
      struct stat st {};
      if (::stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        return Error::kFileName;
      }
      return Error::kOpenFailure;
    }
    default:
      return Error::kOpenFailure;
  }
}

bool write_all(int fd, const char* data, std::size_t n) {
  while (n > 0) {
    const ssize_t w = ::write(fd, data, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += w;
    n -= static_cast<std::size_t>(w);
  }
  return true;
}

bool pwrite_all(int fd, const char* data, std::size_t n, off_t offset) {
  while (n > 0) {
    const ssize_t w = ::pwrite(fd, data, n, offset);
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (w == 0) {
      errno = EIO;
      return false;
    }
    data += w;
    n -= static_cast<std::size_t>(w);
    offset += w;
  }
  return true;
}

ssize_t read_some(int fd, char* data, std::size_t n) {
  for (;;) {
    const ssize_t r = ::read(fd, data, n);
    if (r < 0 && errno == EINTR) continue;
    return r;
  }
}

ssize_t pread_full(int fd, char* data, std::size_t n, off_t offset) {
  std::size_t got = 0;
  while (got < n) {
    const ssize_t r = ::pread(fd, data + got, n - got, offset + off_t(got));
    if (r < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (r == 0) break;
    got += static_cast<std::size_t>(r);
  }
  return static_cast<ssize_t>(got);
}

bool is_terminal(int fd) { return ::isatty(fd) == 1; }

const char* env(const char* name) { return std::getenv(name); }

namespace {
sigset_t console_signals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGQUIT);
  sigaddset(&set, SIGHUP);
  sigaddset(&set, SIGTERM);
  return set;
}
}  // namespace

SignalGuard::SignalGuard() {
  static_assert(sizeof(sigset_t) <= sizeof saved_);
  const sigset_t set = console_signals();
  sigset_t old;
  ::sigprocmask(SIG_BLOCK, &set, &old);
  std::memcpy(saved_, &old, sizeof old);
}

SignalGuard::~SignalGuard() {
  sigset_t old;
  std::memcpy(&old, saved_, sizeof old);
  ::sigprocmask(SIG_SETMASK, &old, nullptr);
}

}  // namespace recio::os
