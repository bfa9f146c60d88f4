#pragma once
// The OS layer: the only calls to the operating system, its file services
// (open, read, write, seek, truncate, close, file identities, the working
// directory) and its process services (signals, the stack limit, the exit).
// The rest of recio says what it wants done; this file says how on POSIX.

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "recio/errors.h"

namespace recio::os {

// Leading and trailing blanks removed.
std::string_view trim(std::string_view name);

// The full path name of `name`: relative names are taken in the current
// directory (the file need not exist), and "." and ".." components are
// dropped by the text alone, without following links. None when a relative
// name has no directory to be taken in (the working directory was removed):
// the caller then reports the name as given, and nothing is created.
std::optional<std::string> full_path(std::string_view name);

// How a file is opened. Every descriptor is closed on exec.
enum class OpenMode : std::uint8_t {
  kRead,           // formatted input
  kWriteTruncate,  // formatted output: created, emptied
  kReadWrite,      // unformatted, connected by default: created if missing
  kCreateNew,      // status "NEW": the file must not exist
  kAppend,         // the error file: created, written at its end
};

// An open file's descriptor, or (fd < 0) the run-time error that the failed
// open raises (43 for a bad name, 30, 600, 601, 603).
struct Opened {
  int fd = -1;
  Error error = Error::kOpenFailure;
};
Opened open_file(const std::string& path, OpenMode mode);
void close_file(int fd);

// A file's identity: two names or descriptors with equal identities are the
// same file.
struct FileId {
  dev_t device = 0;
  ino_t inode = 0;
  bool operator==(const FileId&) const = default;
};
// The identity of the file open on `fd` / named `path`; none on failure.
std::optional<FileId> file_id(int fd);
std::optional<FileId> file_id(const std::string& path);

// The size of the file open on `fd`; -1 on failure.
off_t file_size(int fd);
// Moves `fd` to the start of its file; false on failure.
[[nodiscard]] bool seek_to_start(int fd);
// Cuts the file open on `fd` to `size` bytes; false on failure.
[[nodiscard]] bool truncate_file(int fd, off_t size);

// A standard stream (0, 1, 2) that the program was started without keeps
// its number held by /dev/null, opened the wrong way round, so that every
// use fails and no file opened later takes its number.
void hold_closed_standard_streams();

// Writes all n bytes, retrying interrupted and partial writes. False on
// failure (errno set).
[[nodiscard]] bool write_all(int fd, const char* data, std::size_t n);
[[nodiscard]] bool pwrite_all(int fd, const char* data, std::size_t n,
                              off_t offset);

// Reads up to n bytes; retries interrupted reads. Returns the count, 0 at end
// of file, -1 on failure.
ssize_t read_some(int fd, char* data, std::size_t n);
// Reads exactly n bytes at offset unless the file ends first; returns the
// count read, or -1 on failure.
ssize_t pread_full(int fd, char* data, std::size_t n, off_t offset);

bool is_terminal(int fd);

// The value of an environment variable, or nullptr.
const char* env(const char* name);

// Console events: Ctrl-C (SIGINT), Ctrl-Break (SIGQUIT), the window closed
// (SIGHUP) and SIGTERM. `handler` gets the signal number and runs with all
// four blocked.
void on_console_events(void (*handler)(int signal));

// Processor exceptions: access violations (SIGSEGV, SIGBUS) and integer
// division by zero (SIGFPE). `handler` gets the signal number and the
// faulting address, runs on a stack of its own (so a stack overflow can be
// reported) with every signal blocked, and is called at most once.
void on_processor_exceptions(void (*handler)(int signal,
                                             std::uintptr_t address));

// The stack's size limit in bytes (8 MiB when unlimited).
std::uintptr_t stack_limit();

// A write to a pipe without a reader or past the file-size limit fails
// (and is reported) instead of killing the process.
void ignore_write_signals();

// Ends the process at once with `status`, running nothing. Async-signal-safe.
[[noreturn]] void exit_now(int status);

// Blocks the console-event signals for the lifetime of the object, so that
// a handler never sees a buffer or a file half-written by the main flow.
class SignalGuard {
 public:
  SignalGuard();
  ~SignalGuard();
  SignalGuard(const SignalGuard&) = delete;
  SignalGuard& operator=(const SignalGuard&) = delete;

 private:
  unsigned char saved_[128];
};

}  // namespace recio::os
