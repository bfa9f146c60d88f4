#include "files/temporary.h"

#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "files/files.h"
#include "recio/os_file.h"

namespace files::temporary {
namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP, SIGQUIT};
constexpr int kSignalCount = sizeof kSignals / sizeof kSignals[0];

// The remembered names, in fixed storage a handler can read: a run has at
// most a few temporary files at once (an input copy, a changed copy, the
// output being written).
constexpr int kSlots = 16;
constexpr std::size_t kNameSize = 4096;
char g_names[kSlots][kNameSize];
volatile sig_atomic_t g_used[kSlots];

struct sigaction g_previous[kSignalCount];

sigset_t handled_signals() {
  sigset_t set;
  sigemptyset(&set);
  for (const int sig : kSignals) sigaddset(&set, sig);
  return set;
}

// Removes every remembered file, then lets the signal do what it did
// before: the handler that was there is called, or the default action ends
// the process once this handler returns. Async-signal-safe.
void on_signal(int sig) {
  for (int i = 0; i < kSlots; ++i) {
    if (g_used[i] != 0) ::unlink(g_names[i]);
  }
  for (int i = 0; i < kSignalCount; ++i) {
    if (kSignals[i] != sig) continue;
    const struct sigaction& previous = g_previous[i];
    if ((previous.sa_flags & SA_SIGINFO) == 0 &&
        previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN) {
      previous.sa_handler(sig);
      return;
    }
  }
  struct sigaction plain {};
  plain.sa_handler = SIG_DFL;
  ::sigaction(sig, &plain, nullptr);
  ::raise(sig);
}

}  // namespace

Blocked::Blocked() {
  const sigset_t set = handled_signals();
  ::pthread_sigmask(SIG_BLOCK, &set, &saved_);
}

Blocked::~Blocked() { ::pthread_sigmask(SIG_SETMASK, &saved_, nullptr); }

std::string unique_name(const std::string& stem) {
  static constexpr char kLetters[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  unsigned char bytes[6];
  if (::getrandom(bytes, sizeof bytes, GRND_NONBLOCK) !=
      static_cast<ssize_t>(sizeof bytes)) {
    // Without the system's randomness the clock and the process decide; a
    // name that is taken is passed over by the caller all the same.
    static unsigned counter = 0;
    auto mix = static_cast<unsigned long long>(
        std::chrono::steady_clock::now().time_since_epoch().count());
    mix ^= (static_cast<unsigned long long>(::getpid()) << 32) ^ ++counter;
    for (unsigned char& b : bytes) {
      b = static_cast<unsigned char>(mix);
      mix = mix * 6364136223846793005ULL + 1442695040888963407ULL;
      b ^= static_cast<unsigned char>(mix >> 56);
    }
  }
  std::string name = stem + ".";
  for (const unsigned char b : bytes) name += kLetters[b % 62];
  return name;
}

Named::~Named() {
  if (!path_.empty()) remove();
}

void Named::remember() {
  if (path_.size() >= kNameSize) return;
  for (int i = 0; i < kSlots; ++i) {
    if (g_used[i] != 0) continue;
    std::memcpy(g_names[i], path_.c_str(), path_.size() + 1);
    g_used[i] = 1;
    slot_ = i;
    return;
  }
}

void Named::forget() {
  if (slot_ >= 0) g_used[slot_] = 0;
  slot_ = -1;
  path_.clear();
}

int Named::create(const std::string& stem, int flags, mode_t mode) {
  const Blocked blocked;
  for (;;) {
    const std::string name = unique_name(stem);
    const int fd =
        ::open(name.c_str(), flags | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0 && errno == EEXIST) continue;
    if (fd >= 0) {
      path_ = name;
      remember();
    }
    return fd;
  }
}

bool Named::link(const std::string& stem, int fd) {
  const Blocked blocked;
  const std::string proc = "/proc/self/fd/" + std::to_string(fd);
  for (;;) {
    const std::string name = unique_name(stem);
    int rc = ::linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, name.c_str(),
                      AT_SYMLINK_FOLLOW);
    // Without /proc, the descriptor itself (a privilege root has).
    if (rc != 0 && errno != EEXIST) {
      rc = ::linkat(fd, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH);
    }
    if (rc != 0 && errno == EEXIST) continue;
    if (rc != 0) return false;
    path_ = name;
    remember();
    return true;
  }
}

bool Named::rename_to(const std::string& target) {
  const Blocked blocked;
  if (::rename(path_.c_str(), target.c_str()) != 0) return false;
  forget();
  return true;
}

void Named::remove() {
  const Blocked blocked;
  const int saved = errno;
  ::unlink(path_.c_str());
  forget();
  errno = saved;
}

void install_handler() {
  struct sigaction ours {};
  ours.sa_handler = on_signal;
  ours.sa_mask = handled_signals();
  for (int i = 0; i < kSignalCount; ++i) {
    struct sigaction current {};
    ::sigaction(kSignals[i], nullptr, &current);
    // A signal the program was started to ignore (nohup) stays ignored.
    if ((current.sa_flags & SA_SIGINFO) == 0 && current.sa_handler == SIG_IGN) {
      continue;
    }
    g_previous[i] = current;
    ::sigaction(kSignals[i], &ours, nullptr);
  }
}

}  // namespace files::temporary

namespace files {

void prepare_program() {
  recio::os::ignore_write_signals();
  temporary::install_handler();
}

}  // namespace files
