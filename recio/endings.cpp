#include "recio/endings.h"

#include <signal.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "recio/os_file.h"
#include "recio/output_buffer.h"
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

int error_fd() {
  if (g_error_fd < 0) {
    int fd = -1;
    if (g_fort0[0] != '\0') {
      fd = os::open_file(g_fort0, os::OpenMode::kAppend).fd;
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
  // What was written comes before the report, as at every ending.
  OutputBuffer::flush_all_from_signal();
  if (sig != SIGTERM) {
    const std::string_view event = sig == SIGINT    ? "control-C"
                                   : sig == SIGQUIT ? "control-BREAK"
                                                    : "window-CLOSE";
    report_from_signal(Error::kAbortEvent, event);
  }
  os::exit_now(128 + sig);
}

void on_processor_exception(int sig, std::uintptr_t address) {
  Error error = Error::kAccessViolation;
  if (sig == SIGFPE) {
    error = Error::kIntegerDivide;
  } else if (address != 0 && address < g_stack_top &&
             g_stack_top - address <= g_stack_limit + (1 << 20)) {
    error = Error::kStackOverflow;
  }
  g_stopping = 1;
  OutputBuffer::flush_all_from_signal();
  report_from_signal(error, {});
  os::exit_now(exit_status(status_code(error), true));
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

void prepare_endings(bool processor_exceptions) {
  const char* fort0 = os::env("FORT0");
  if (fort0 != nullptr) {
    const std::string_view name = os::trim(fort0);
    const std::size_t n = std::min(name.size(), sizeof g_fort0 - 1);
    std::memcpy(g_fort0, name.data(), n);
    g_fort0[n] = '\0';
  }
  os::on_console_events(on_console_event);
  if (processor_exceptions) {
    int here = 0;
    g_stack_top = reinterpret_cast<std::uintptr_t>(&here);
    g_stack_limit = os::stack_limit();
    os::on_processor_exceptions(on_processor_exception);
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
