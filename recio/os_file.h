#pragma once
// The only calls to the operating system's file services.

#include <sys/types.h>

#include <cstddef>
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

// The run-time error for a failed open of `path` with errno `err`.
Error open_error(int err, const std::string& path);

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
