#include "recio/os_file.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
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
  // However long the working directory's name is: a name longer than the
  // buffer on the stack is taken into one that grows.
  char buf[4096];
  std::string dir;
  if (::getcwd(buf, sizeof buf) != nullptr) {
    dir = buf;
  } else {
    // Removed (ENOENT) or unreadable: no name to take relative names in.
    if (errno != ERANGE) return std::nullopt;
    dir.assign(2 * sizeof buf, '\0');
    while (::getcwd(dir.data(), dir.size()) == nullptr) {
      if (errno != ERANGE) return std::nullopt;
      dir.resize(dir.size() * 2);
    }
    dir.resize(std::strlen(dir.c_str()));
  }
  // Not a path (Linux writes "(unreachable)" for a directory outside the
  // process's root): no full path name either.
  if (dir.empty() || dir.front() != '/') return std::nullopt;
  dir += '/';
  dir += name;
  return lexically_normal(dir);
}

namespace {

// The run-time error for a failed open of `path` with errno `err`.
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
                              : slash == 0               ? std::string("/")
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

int open_flags(OpenMode mode) {
  switch (mode) {
    case OpenMode::kRead:
      return O_RDONLY;
    case OpenMode::kWriteTruncate:
      return O_WRONLY | O_CREAT | O_TRUNC;
    case OpenMode::kReadWrite:
      return O_RDWR | O_CREAT;
    case OpenMode::kCreateNew:
      return O_RDWR | O_CREAT | O_EXCL;
    case OpenMode::kAppend:
      break;
  }
  return O_WRONLY | O_APPEND | O_CREAT;
}

}  // namespace

Opened open_file(const std::string& path, OpenMode mode) {
  Opened opened;
  opened.fd = ::open(path.c_str(), open_flags(mode) | O_CLOEXEC, 0666);
  if (opened.fd < 0) opened.error = open_error(errno, path);
  return opened;
}

void close_file(int fd) { ::close(fd); }

std::optional<FileId> file_id(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return std::nullopt;
  return FileId{st.st_dev, st.st_ino};
}

std::optional<FileId> file_id(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return FileId{st.st_dev, st.st_ino};
}

off_t file_size(int fd) {
  struct stat st {};
  return ::fstat(fd, &st) == 0 ? st.st_size : off_t(-1);
}

bool seek_to_start(int fd) { return ::lseek(fd, 0, SEEK_SET) >= 0; }

bool truncate_file(int fd, off_t size) { return ::ftruncate(fd, size) == 0; }

void hold_closed_standard_streams() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // Opened the wrong way round: a write to 1 or 2 fails (error 38), a read
    // from 0 fails (error 39).
    const int held = ::open("/dev/null", (fd == 0 ? O_WRONLY : O_RDONLY));
    if (held >= 0 && held != fd) {
      ::dup2(held, fd);
      ::close(held);
    }
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

constexpr int kConsoleSignals[] = {SIGINT, SIGQUIT, SIGHUP, SIGTERM};

sigset_t console_signals() {
  sigset_t set;
  sigemptyset(&set);
  for (const int sig : kConsoleSignals) sigaddset(&set, sig);
  return set;
}

void (*g_exception_handler)(int, std::uintptr_t) = nullptr;
alignas(16) char g_alt_stack[1 << 16];

void on_exception_signal(int sig, siginfo_t* info, void*) {
  const auto address =
      info != nullptr ? reinterpret_cast<std::uintptr_t>(info->si_addr) : 0;
  g_exception_handler(sig, address);
}

}  // namespace

void on_console_events(void (*handler)(int signal)) {
  struct sigaction sa {};
  sa.sa_handler = handler;
  sa.sa_mask = console_signals();
  sa.sa_flags = 0;
  for (const int sig : kConsoleSignals) ::sigaction(sig, &sa, nullptr);
}

void on_processor_exceptions(void (*handler)(int signal,
                                             std::uintptr_t address)) {
  g_exception_handler = handler;
  stack_t ss{};
  ss.ss_sp = g_alt_stack;
  ss.ss_size = sizeof g_alt_stack;
  ::sigaltstack(&ss, nullptr);
  struct sigaction sa {};
  sa.sa_sigaction = on_exception_signal;
  sigfillset(&sa.sa_mask);
  sa.sa_flags = static_cast<int>(SA_SIGINFO | SA_ONSTACK | SA_RESETHAND);
  ::sigaction(SIGSEGV, &sa, nullptr);
  ::sigaction(SIGBUS, &sa, nullptr);
  ::sigaction(SIGFPE, &sa, nullptr);
}

std::uintptr_t stack_limit() {
  struct rlimit rl {};
  if (::getrlimit(RLIMIT_STACK, &rl) == 0 && rl.rlim_cur != RLIM_INFINITY) {
    return rl.rlim_cur;
  }
  return std::uintptr_t(8) << 20;
}

void ignore_write_signals() {
  ::signal(SIGPIPE, SIG_IGN);
  ::signal(SIGXFSZ, SIG_IGN);
}

void exit_now(int status) { ::_exit(status); }

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
