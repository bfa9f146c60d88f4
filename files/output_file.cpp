#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <optional>

#include "files/files.h"
#include "files/temporary.h"
#include "recio/os_file.h"

namespace files {
namespace {

std::string reason() { return std::strerror(errno); }

// The descriptor that a name stands for, whatever the name of the file
// behind it: /dev/stdin, /dev/stdout, /dev/stderr, /dev/fd/N and
// /proc/self/fd/N (also thread-self and this process's number). A file
// opened again through such a name would start at its beginning and
// overwrite what the descriptor has written; the descriptor itself is
// written instead.
std::optional<int> descriptor_named(const std::string& name) {
  const std::optional<std::string> full = recio::os::full_path(name);
  if (!full) return std::nullopt;
  std::string_view p = *full;
  if (p == "/dev/stdin") return 0;
  if (p == "/dev/stdout") return 1;
  if (p == "/dev/stderr") return 2;
  const std::string own = "/proc/" + std::to_string(::getpid()) + "/fd/";
  for (const std::string_view folder :
       {std::string_view("/dev/fd/"), std::string_view("/proc/self/fd/"),
        std::string_view("/proc/thread-self/fd/"), std::string_view(own)}) {
    if (!p.starts_with(folder)) continue;
    p.remove_prefix(folder.size());
    int fd = -1;
    const auto [end, ec] = std::from_chars(p.data(), p.data() + p.size(), fd);
    if (ec == std::errc() && end == p.data() + p.size()) return fd;
    return std::nullopt;
  }
  return std::nullopt;
}

// Where `path` leads: its symbolic links followed one by one, each hop's
// name looked at, so that a link to /dev/stdout is known as standard output
// and a link to a regular file is rewritten where it points (the link
// stays a link). A dangling link leads to the name it holds.
struct Target {
  std::string path;       // the name to write or create
  std::optional<int> fd;  // the descriptor a hop names
};

Target follow(const std::string& path) {
  Target t{path, descriptor_named(path)};
  for (int hops = 0; hops < 40 && !t.fd; ++hops) {
    struct stat st {};
    if (::lstat(t.path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) break;
    // Links in /proc report no true size: room for any path.
    std::string link(
        std::max<std::size_t>(static_cast<std::size_t>(st.st_size), 4096) + 1,
        '\0');
    const ssize_t n = ::readlink(t.path.c_str(), link.data(), link.size());
    if (n < 0 || static_cast<std::size_t>(n) >= link.size()) break;
    link.resize(static_cast<std::size_t>(n));
    if (link.front() != '/') {
      const std::size_t slash = t.path.rfind('/');
      if (slash != std::string::npos) link = t.path.substr(0, slash + 1) + link;
    }
    t.path = link;
    t.fd = descriptor_named(t.path);
  }
  return t;
}

bool write_straight(int fd, const std::string& name, std::string_view text,
                    std::string& error) {
  if (recio::os::write_all(fd, text.data(), text.size())) return true;
  error = "cannot write " + name + ": " + reason();
  return false;
}

// A new file in `target`'s folder, open for writing, that takes `target`'s
// place with `put_in_place`. Without a name where the file system allows
// (nothing to remove, whatever ends the run), else under a new name that a
// signal removes.
class Replacement {
 public:
  explicit Replacement(const std::string& target)
      : target_(target), stem_(target) {
    const std::size_t slash = target.rfind('/');
    dir_ = slash == std::string::npos ? "."
           : slash == 0               ? "/"
                                      : target.substr(0, slash);
    fd_ = ::open(dir_.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd_ < 0 &&
        (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
      fd_ = named_.create(stem_, O_WRONLY, 0666);
    }
  }
  ~Replacement() {
    if (fd_ >= 0) ::close(fd_);
  }
  Replacement(const Replacement&) = delete;
  Replacement& operator=(const Replacement&) = delete;

  int fd() const { return fd_; }

  // Links the file in (when it has no name yet), closes it and renames it
  // over the target; false with errno set.
  [[nodiscard]] bool put_in_place() {
    if (named_.path().empty() && !named_.link(stem_, fd_)) return false;
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0 || !named_.rename_to(target_)) return false;
    // The new name itself survives a crash too; a folder that cannot be
    // synced (some file systems refuse) changes nothing already done.
    const int dir = ::open(dir_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
      (void)::fsync(dir);
      ::close(dir);
    }
    return true;
  }

 private:
  std::string target_;
  std::string stem_;
  std::string dir_;
  temporary::Named named_;
  int fd_ = -1;
};

// The mode, owner and group of the file being replaced, given to its
// replacement: rewriting a private file keeps it private. Only root may give
// a file away; for anyone else the owner is the writer, as with any write.
bool keep_attributes(int fd, const struct stat& old) {
  if (::geteuid() == 0 && ::fchown(fd, old.st_uid, old.st_gid) != 0) {
    return false;
  }
  return ::fchmod(fd, old.st_mode & 07777) == 0;
}

bool replace(const std::string& name, const std::string& target,
             const struct stat* old, std::string_view text,
             std::string& error) {
  Replacement file(target);
  if (file.fd() < 0) {
    error = "cannot create " + name + ": " + reason();
    return false;
  }
  if ((old != nullptr && !keep_attributes(file.fd(), *old)) ||
      !recio::os::write_all(file.fd(), text.data(), text.size()) ||
      ::fsync(file.fd()) != 0) {
    error = "cannot write " + name + ": " + reason();
    return false;
  }
  if (!file.put_in_place()) {
    error = "cannot replace " + name + ": " + reason();
    return false;
  }
  return true;
}

}  // namespace

std::string same_file_refusal(const std::string& input,
                              const std::vector<Output>& outputs) {
  struct stat in {};
  if ((input == "-" ? ::fstat(STDIN_FILENO, &in)
                    : ::stat(input.c_str(), &in)) != 0 ||
      !S_ISREG(in.st_mode)) {
    return {};
  }
  // Only a regular file is refused: reading a terminal and writing to it is
  // what a terminal is for.
  for (const Output& out : outputs) {
    if (out.path.empty()) continue;
    struct stat st {};
    const bool exists = out.path == "-" ? ::fstat(STDOUT_FILENO, &st) == 0
                                        : ::stat(out.path.c_str(), &st) == 0;
    if (exists && st.st_dev == in.st_dev && st.st_ino == in.st_ino) {
      return out.what + " " + out.path + " is the input " +
             (input == "-" ? std::string("<stdin>") : input) +
             ": nothing was read or written";
    }
  }
  return {};
}

bool write_output(const std::string& path, std::string_view text,
                  std::string& error) {
  if (path == "-")
    return write_straight(STDOUT_FILENO, "standard output", text, error);
  const Target target = follow(path);
  if (target.fd) {
    if (::fcntl(*target.fd, F_GETFD) == -1) {
      error = "cannot write " + path + ": " + reason();
      return false;
    }
    return write_straight(*target.fd, path, text, error);
  }
  // What the name itself leads to decides; the followed name is only where a
  // regular file is replaced (a link the kernel resolves by itself, like
  // another process's descriptor, may have no name to follow).
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    if (errno != ENOENT) {
      error = "cannot write " + path + ": " + reason();
      return false;
    }
    return replace(path, target.path, nullptr, text, error);
  }
  struct stat followed {};
  if (S_ISREG(st.st_mode) && ::stat(target.path.c_str(), &followed) == 0 &&
      followed.st_dev == st.st_dev && followed.st_ino == st.st_ino) {
    return replace(path, target.path, &st, text, error);
  }
  if (S_ISDIR(st.st_mode)) {
    error = "cannot write " + path + ": " + std::strerror(EISDIR);
    return false;
  }
  // A FIFO, a device, a terminal: whoever is on the other side reads what
  // is written, as it is written. (A regular file here has no name of its
  // own to be replaced by, and is rewritten in place.)
  const int fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC |
                                          (S_ISREG(st.st_mode) ? O_TRUNC : 0));
  if (fd < 0) {
    error = "cannot write " + path + ": " + reason();
    return false;
  }
  const bool ok = write_straight(fd, path, text, error);
  if (::close(fd) != 0 && ok) {
    error = "cannot write " + path + ": " + reason();
    return false;
  }
  return ok;
}

}  // namespace files
