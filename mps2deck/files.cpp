#include "mps2deck/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace mps2deck {
namespace {

std::string system_error(const std::string& what) {
  return what + ": " + std::strerror(errno);
}

// Writes all of `text` to `fd`, through short writes and interruptions.
bool write_all(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t n = ::write(fd, text.data(), text.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    text.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// Copies everything readable from `from` to `to`.
bool copy_all(int from, int to) {
  std::vector<char> buf(std::size_t(1) << 16);
  for (;;) {
    const ssize_t n = ::read(from, buf.data(), buf.size());
    if (n == 0) return true;
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (!write_all(to, {buf.data(), static_cast<std::size_t>(n)})) return false;
  }
}

// A new file from `pattern` (ending in XXXXXX), its name written back.
int make_temporary(std::string& pattern) {
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  const int fd = ::mkstemp(name.data());
  if (fd >= 0) pattern = name.data();
  return fd;
}

// The pattern of a new file in the temporary folder.
std::string temporary_pattern() {
  const char* dir = std::getenv("TMPDIR");
  return std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") +
         "/mps2deck.XXXXXX";
}

}  // namespace

InputFile::~InputFile() {
  if (temporary_) ::unlink(path_.c_str());
}

bool InputFile::open(const std::string& name, std::string& error) {
  const bool standard_input = name == "-";
  display_name_ = standard_input ? "<stdin>" : name;
  const int fd = standard_input ? STDIN_FILENO : ::open(name.c_str(), O_RDONLY);
  if (fd < 0) {
    error = system_error(name);
    return false;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    error = system_error(display_name_);
    if (!standard_input) ::close(fd);
    return false;
  }
  if (S_ISDIR(st.st_mode)) {
    error = display_name_ + ": is a directory";
    ::close(fd);
    return false;
  }
  if (S_ISREG(st.st_mode) && !standard_input) {
    ::close(fd);
    path_ = name;
    return true;
  }
  path_ = temporary_pattern();
  const int copy = make_temporary(path_);
  if (copy < 0) {
    error = system_error("cannot make a temporary copy of " + display_name_);
    if (!standard_input) ::close(fd);
    return false;
  }
  temporary_ = true;
  const bool copied = copy_all(fd, copy);
  if (!copied) error = system_error("cannot read " + display_name_);
  if (::close(copy) != 0 && copied) {
    error = system_error("cannot make a temporary copy of " + display_name_);
    if (!standard_input) ::close(fd);
    return false;
  }
  if (!standard_input) ::close(fd);
  return copied;
}

bool write_standard_output(std::string_view text, std::string& error) {
  if (!write_all(STDOUT_FILENO, text)) {
    error = system_error("cannot write the deck to standard output");
    return false;
  }
  return true;
}

bool write_temporary(std::string_view text, std::string& path,
                     std::string& error) {
  path = temporary_pattern();
  const int fd = make_temporary(path);
  if (fd < 0) {
    error = system_error("cannot create a temporary file");
    return false;
  }
  const bool written = write_all(fd, text);
  if (::close(fd) != 0 || !written) {
    error = system_error("cannot write the temporary file " + path);
    ::unlink(path.c_str());
    return false;
  }
  return true;
}

bool write_file_whole(const std::string& path, std::string_view text,
                      std::string& error) {
  std::string temporary = path + ".XXXXXX";
  const int fd = make_temporary(temporary);
  if (fd < 0) {
    error = system_error("cannot create a file beside " + path);
    return false;
  }
  // mkstemp makes the file private; the deck gets the usual permissions.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  bool ok = ::fchmod(fd, 0666 & ~mask) == 0 && write_all(fd, text);
  if (!ok) error = system_error("cannot write " + path);
  if (::close(fd) != 0 && ok) {
    ok = false;
    error = system_error("cannot write " + path);
  }
  if (ok && ::rename(temporary.c_str(), path.c_str()) != 0) {
    ok = false;
    error = system_error("cannot replace " + path);
  }
  if (!ok) ::unlink(temporary.c_str());
  return ok;
}

}  // namespace mps2deck
