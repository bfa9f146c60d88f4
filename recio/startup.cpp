#include "recio/startup.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cfenv>
#include <cstring>
#include <string_view>

#include "recio/os_file.h"
#include "recio/units.h"

namespace recio {
namespace {

// Set once a stop is under way: a console event arriving then leaves that
// stop to finish with its own status.
volatile sig_atomic_t g_stopping = 0;

// The error stream, chosen at the first report: the FORT0 file (appended
// to) or standard error. Captured at start-up so that a handler needs no
// getenv.
char g_fort0[4096];
volatile sig_atomic_t g_error_fd = -1;

// For telling a stack overflow from another access violation.
std::uintptr_t g_stack_top = 0;
std::uintptr_t g_stack_limit = 0;
alignas(16) char g_alt_stack[1 << 16];

int error_fd() {
  if (g_error_fd < 0) {
    int fd = -1;
    if (g_fort0[0] != '\0') {
      fd = ::open(g_fort0, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    }
    g_error_fd = fd >= 0 ? fd : 2;
  }
  return g_error_fd;
}

// One line and its line feed on `fd`, whole however long it is: in one
// write when it fits the buffer (every line a signal handler writes does).
// Async-signal-safe.
void write_line(int fd, std::string_view line) {
  char buf[512];
  if (line.size() < sizeof buf) {
    std::memcpy(buf, line.data(), line.size());
    buf[line.size()] = '\n';
    (void)os::write_all(fd, buf, line.size() + 1);
    return;
  }
  if (os::write_all(fd, line.data(), line.size())) {
    (void)os::write_all(fd, "\n", 1);
  }
}

// One report line on the error stream. Async-signal-safe.
void write_error_line(std::string_view line) { write_line(error_fd(), line); }

void report_from_signal(Error error, std::string_view event) {
  char line[256];
  const std::size_t n = format_report(line, sizeof line, error, 0, event);
  write_error_line({line, n});
}

void on_console_event(int sig) {
  if (g_stopping != 0) return;
  g_stopping = 1;
  if (sig != SIGTERM) {
    const std::string_view event = sig == SIGINT    ? "control-C"
                                   : sig == SIGQUIT ? "control-BREAK"
                                                    : "window-CLOSE";
    // What was written comes before the report, as at every ending.
    OutputBuffer::flush_all_from_signal();
    report_from_signal(Error::kAbortEvent, event);
  } else {
    OutputBuffer::flush_all_from_signal();
  }
  ::_exit(128 + sig);
}

void on_processor_exception(int sig, siginfo_t* info, void*) {
  Error error = Error::kAccessViolation;
  if (sig == SIGFPE) {
    error = Error::kIntegerDivide;
  } else if (info != nullptr) {
    const auto addr = reinterpret_cast<std::uintptr_t>(info->si_addr);
    if (addr < g_stack_top && g_stack_top - addr <= g_stack_limit + (1 << 20)) {
      error = Error::kStackOverflow;
    }
  }
  g_stopping = 1;
  OutputBuffer::flush_all_from_signal();
  report_from_signal(error, {});
  ::_exit(exit_status(status_code(error), true));
}

void install(int sig, void (*handler)(int)) {
  struct sigaction sa {};
  sa.sa_handler = handler;
  sigemptyset(&sa.sa_mask);
  sigaddset(&sa.sa_mask, SIGINT);
  sigaddset(&sa.sa_mask, SIGQUIT);
  sigaddset(&sa.sa_mask, SIGHUP);
  sigaddset(&sa.sa_mask, SIGTERM);
  sa.sa_flags = 0;
  ::sigaction(sig, &sa, nullptr);
}

void install_exception_handlers() {
  stack_t ss {};
  ss.ss_sp = g_alt_stack;
  ss.ss_size = sizeof g_alt_stack;
  ::sigaltstack(&ss, nullptr);
  int here = 0;
  g_stack_top = reinterpret_cast<std::uintptr_t>(&here);
  struct rlimit rl {};
  if (::getrlimit(RLIMIT_STACK, &rl) == 0 && rl.rlim_cur != RLIM_INFINITY) {
    g_stack_limit = rl.rlim_cur;
  } else {
    g_stack_limit = std::uintptr_t(8) << 20;
  }
  struct sigaction sa {};
  sa.sa_sigaction = on_processor_exception;
  sigfillset(&sa.sa_mask);
  sa.sa_flags = static_cast<int>(SA_SIGINFO | SA_ONSTACK | SA_RESETHAND);
  ::sigaction(SIGSEGV, &sa, nullptr);
  ::sigaction(SIGBUS, &sa, nullptr);
  ::sigaction(SIGFPE, &sa, nullptr);
}

// A standard stream that the program was started without must stay absent:
// otherwise the first file opened (LP.TMP, say) takes its descriptor, and
// the records meant for the console land in that file while the run reports
// success. Its descriptor is held by /dev/null opened the wrong way round,
// so every use fails and is reported (a write: error 38, a read: error 39).
void hold_closed_standard_streams() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    const int held = ::open("/dev/null", (fd == 0 ? O_WRONLY : O_RDONLY));
    if (held >= 0 && held != fd) {
      ::dup2(held, fd);
      ::close(held);
    }
  }
}

// Writes the stop record on unit 6 in its record mode: in plain mode the text
// as it stands, on a terminal behind a blank control character.
void write_stop_record(std::string_view text) {
  FormattedOutput& out = formatted_output(6);
  if (out.record_open()) out.end_record();
  out.begin_statement();
  const bool control = out.control_mode();
  char* at = out.place(text.size() + (control ? 1 : 0));
  if (control) *at++ = ' ';
  std::memcpy(at, text.data(), text.size());
  out.end_record();
}

}  // namespace

bool switch_on(const char* value) {
  if (value == nullptr || value[0] == '\0') return false;
  const char c = value[0];
  if (c == 't' || c == 'T' || c == 'y' || c == 'Y') return true;
  bool nonzero = false;
  for (const char* p = value; *p != '\0'; ++p) {
    if (*p < '0' || *p > '9') return false;
    if (*p != '0') nonzero = true;
  }
  return nonzero;
}

void start_up() {
  hold_closed_standard_streams();
  // Nothing traps: every exception masked, round to nearest. Doubles on
  // x86-64 are computed in SSE2 registers, so 53-bit precision holds.
  std::fesetround(FE_TONEAREST);
  feclearexcept(FE_ALL_EXCEPT);
  fedisableexcept(FE_ALL_EXCEPT);

  const char* fort0 = os::env("FORT0");
  if (fort0 != nullptr) {
    const std::string_view name = os::trim(fort0);
    const std::size_t n = std::min(name.size(), sizeof g_fort0 - 1);
    std::memcpy(g_fort0, name.data(), n);
    g_fort0[n] = '\0';
  }

  install(SIGINT, on_console_event);
  install(SIGQUIT, on_console_event);
  install(SIGHUP, on_console_event);
  install(SIGTERM, on_console_event);
  // A reader that goes away shows as a failed write (error 38), reported
  // like any other; so does a write past the file-size limit (ulimit -f),
  // which would otherwise kill the process without a report.
  ::signal(SIGPIPE, SIG_IGN);
  ::signal(SIGXFSZ, SIG_IGN);

  // There are no pop-up boxes on this system; FOR_NOERROR_DIALOGS is
  // accepted and changes nothing.
  if (!switch_on(os::env("FOR_IGNORE_EXCEPTIONS"))) {
    install_exception_handlers();
  }
}

void division_check() {
  volatile double x = 4195835.0;
  volatile double y = 3145727.0;
  const double r = x - (x / y) * y;
  if (r != 0.0 && !switch_on(os::env("FOR_RUN_FLAWED_PENTIUM"))) {
    fail(Error::kFlawedDivide);
  }
}

int end_run(const RunEnd& first) noexcept {
  g_stopping = 1;
  RunEnd end = first;
  // Writing the stop record can itself fail (unit 6 on the scratch file, a
  // full disk); that failure is then what ends the run.
  if (end.kind() == RunEnd::Kind::kPlainStop ||
      end.kind() == RunEnd::Kind::kNumericStop) {
    try {
      if (end.kind() == RunEnd::Kind::kPlainStop) {
        write_stop_record("Stop - Program terminated.");
      } else {
        char text[64] = "Return code ";
        const std::string_view code = end.line();
        const std::size_t n = std::min(code.size(), sizeof text - 13);
        std::memcpy(text + 12, code.data(), n);
        write_stop_record({text, 12 + n});
      }
    } catch (const RunEnd& inner) {
      end = inner;
    } catch (...) {
      end = RunEnd::report(Error::kNoMemory, 0, {});
    }
  }
  // Every unit's pending records are written out before the report line, so
  // that a file holding both output and reports reads in the order things
  // happened. A write that fails now is reported only after a stop; a
  // failure already being reported stays the one reported.
  std::optional<RunEnd> failure = close_all();
  switch (end.kind()) {
    case RunEnd::Kind::kPlainStop:
    case RunEnd::Kind::kNumericStop:
      if (failure) {
        end = *failure;
        write_error_line(end.line());
      }
      break;
    case RunEnd::Kind::kReport:
      write_error_line(end.line());
      break;
    case RunEnd::Kind::kMessage:
      write_line(2, end.line());
      break;
  }
  return end.exit_status();
}

}  // namespace recio
