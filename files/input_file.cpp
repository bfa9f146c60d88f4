#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "files/files.h"
#include "files/temporary.h"
#include "recio/os_file.h"

namespace files {
namespace {

std::string reason() { return std::strerror(errno); }

// Copies everything readable from `from` to `to`; on failure says which
// side failed in `reading`.
bool copy_all(int from, int to, bool& reading) {
  std::vector<char> buf(std::size_t(1) << 16);
  for (;;) {
    const ssize_t n = recio::os::read_some(from, buf.data(), buf.size());
    reading = n < 0;
    if (n <= 0) return n == 0;
    if (!recio::os::write_all(to, buf.data(), static_cast<std::size_t>(n))) {
      return false;
    }
  }
}

std::string temporary_folder() {
  const char* dir = std::getenv("TMPDIR");
  return dir != nullptr && *dir != '\0' ? dir : "/tmp";
}

}  // namespace

InputFile::InputFile() = default;

InputFile::~InputFile() {
  if (fd_ >= 0) ::close(fd_);
}

int InputFile::make_copy(std::string& error) {
  const std::string dir = temporary_folder();
  // A file without a name, read back through its descriptor's name in
  // /proc: nothing to remove at any ending, SIGKILL included.
  int fd = ::open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd >= 0) {
    const std::string proc = "/proc/self/fd/" + std::to_string(fd);
    if (::access(proc.c_str(), R_OK) == 0) {
      fd_ = fd;
      path_ = proc;
      return fd;
    }
    ::close(fd);
  }
  named_ = std::make_unique<temporary::Named>();
  fd = named_->create(dir + "/karvon-input", O_RDWR, 0600);
  if (fd < 0) {
    error = "cannot make a temporary copy of " + display_name_ + " in " + dir +
            ": " + reason();
    named_.reset();
    return -1;
  }
  fd_ = fd;
  path_ = named_->path();
  return fd;
}

bool InputFile::open(const std::string& name, std::string& error) {
  const bool standard_input = name == "-";
  display_name_ = standard_input ? "<stdin>" : name;
  const int fd = standard_input ? STDIN_FILENO
                                : ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = name + ": " + reason();
    return false;
  }
  const auto done = [&](bool ok) {
    if (!standard_input) ::close(fd);
    return ok;
  };
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    error = display_name_ + ": " + reason();
    return done(false);
  }
  if (S_ISDIR(st.st_mode)) {
    error = display_name_ + ": is a directory";
    return done(false);
  }
  if (S_ISREG(st.st_mode) && !standard_input) {
    path_ = name;
    return done(true);
  }
  const int copy = make_copy(error);
  if (copy < 0) return done(false);
  bool reading = false;
  if (!copy_all(fd, copy, reading)) {
    error = (reading ? "cannot read " : "cannot make a temporary copy of ") +
            display_name_ + ": " + reason();
    return done(false);
  }
  return done(true);
}

bool InputFile::hold(std::string_view text, const std::string& display_name,
                     std::string& error) {
  display_name_ = display_name;
  const int fd = make_copy(error);
  if (fd < 0) return false;
  if (!recio::os::write_all(fd, text.data(), text.size())) {
    error =
        "cannot make a temporary copy of " + display_name_ + ": " + reason();
    named_.reset();
    return false;
  }
  return true;
}

}  // namespace files
