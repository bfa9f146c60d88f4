#include "fuzz/fuzz_support.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace fuzz {
namespace {

constexpr rlim_t kFileSizeCap = rlim_t(64) << 20;

void must(bool ok, const char* what) {
  if (!ok) {
    std::perror(what);
    std::abort();
  }
}

}  // namespace

void enter_private_directory() {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern =
      std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") +
      "/karvon_fuzz_XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  must(::mkdtemp(name.data()) != nullptr, "mkdtemp");
  must(::chdir(name.data()) == 0, "chdir");
  const int null_fd = ::open("/dev/null", O_WRONLY);
  must(null_fd >= 0 && ::dup2(null_fd, 1) == 1, "stdout to /dev/null");
  ::close(null_fd);
  // Past the cap a write fails with EFBIG instead of raising SIGXFSZ.
  ::signal(SIGXFSZ, SIG_IGN);
  struct rlimit rl {};
  rl.rlim_cur = kFileSizeCap;
  rl.rlim_max = kFileSizeCap;
  must(::setrlimit(RLIMIT_FSIZE, &rl) == 0, "setrlimit");
}

void clear_directory() {
  DIR* dir = ::opendir(".");
  if (dir == nullptr) return;
  std::vector<std::string> names;
  while (const dirent* e = ::readdir(dir)) {
    if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) {
      names.emplace_back(e->d_name);
    }
  }
  ::closedir(dir);
  for (const std::string& n : names) ::unlink(n.c_str());
}

void set_standard_input(const std::uint8_t* data, std::size_t size) {
  const char* name = "input.deck";
  const int fd = ::open(name, O_RDWR | O_CREAT | O_TRUNC, 0600);
  must(fd >= 0, "open input");
  std::size_t done = 0;
  while (done < size) {
    const ssize_t w = ::write(fd, data + done, size - done);
    must(w > 0, "write input");
    done += static_cast<std::size_t>(w);
  }
  must(::lseek(fd, 0, SEEK_SET) == 0, "lseek input");
  must(::dup2(fd, 0) == 0, "dup2 input");
  ::close(fd);
  // The deck's own files may not share the name; nothing else needs it.
  ::unlink(name);
}

std::string read_file(const char* name) {
  std::string out;
  const int fd = ::open(name, O_RDONLY);
  if (fd < 0) return out;
  char buf[1 << 14];
  for (;;) {
    const ssize_t r = ::read(fd, buf, sizeof buf);
    if (r <= 0) break;
    out.append(buf, static_cast<std::size_t>(r));
  }
  ::close(fd);
  return out;
}

std::int32_t error_number(const recio::RunEnd& end) {
  if (end.kind() != recio::RunEnd::Kind::kReport) return -1;
  return static_cast<std::int32_t>(end.status() & 0xFFFFu);
}

void finding(const std::string& what) {
  std::fprintf(stderr, "FINDING: %s\n", what.c_str());
  std::abort();
}

}  // namespace fuzz
