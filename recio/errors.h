#pragma once
// Run-time error numbers, their report lines, and the one way a run ends.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace recio {

// The run-time errors this program can meet, by their documented numbers.
enum class Error : std::int32_t {
  kRewind = 20,
  kEndOfFile = 24,
  kOpenFailure = 30,
  kWriteFailure = 38,
  kReadFailure = 39,
  kNoMemory = 41,
  kFileName = 43,
  kFormatLoop = 60,
  kTypeMismatch = 61,
  kInputConversion = 64,
  kTooMuchData = 67,
  kAccessViolation = 157,
  kIntegerDivide = 164,
  kStackOverflow = 170,
  kAbortEvent = 200,
  kFlawedDivide = 201,
  // An unformatted transfer on a unit connected for formatted transfer. The
  // message table has no text for it: it is reported as "Message not found".
  kUnformattedOnFormatted = 256,
  kFormattedOnUnformatted = 257,
  kAccessNotAllowed = 600,
  kFileExists = 601,
  kTooManyFiles = 603,
};

// Every way a run ends, raised as one exception and caught only in main
// (or by a test). It carries what must be written and the exit status.
class RunEnd {
 public:
  enum class Kind : std::uint8_t {
    kPlainStop,    // "Stop - Program terminated." on unit 6, status 0
    kNumericStop,  // "Return code <code>" on unit 6, status <code>
    kReport,       // one report line on the error stream
    kMessage,      // one line of the driver's own on standard error
  };

  Kind kind() const { return kind_; }
  // The full status code (1111, 0xC0000018, ...).
  std::uint32_t status() const { return status_; }
  // The process exit status: the status code modulo 256, except that a
  // failure (a report or a message) never exits 0: it exits 255 instead.
  int exit_status() const;
  // The report or message line, without its line end, however long.
  std::string_view line() const {
    return long_line_ ? std::string_view(*long_line_)
                      : std::string_view(line_, length_);
  }

  static RunEnd plain_stop();
  static RunEnd numeric_stop(std::int32_t code);
  static RunEnd report(Error error, std::int32_t unit, std::string_view file);
  static RunEnd message(std::string_view text, std::uint32_t status);

 private:
  RunEnd(Kind kind, std::uint32_t status) : kind_(kind), status_(status) {}
  void set_line(std::string_view text);

  Kind kind_;
  std::uint32_t status_;
  // Lines are built in place without allocating (the report of a failed
  // allocation too); one naming a long file is kept whole on the heap,
  // shared so that copying the exception never allocates.
  std::uint32_t length_ = 0;
  char line_[400] = {};
  std::shared_ptr<const std::string> long_line_;
};

// The exit status of an ending with status code `code`: the code modulo 256,
// but 255 where a failure's code is a multiple of 256.
int exit_status(std::uint32_t code, bool failure);

// Builds the report line of `error` ("forrtl: severe (24): end-of-file during
// read, unit 5, file CONIN$") into `out`; returns its length. Writes at most
// out_size bytes, allocates nothing, and may be called from a signal handler.
// A line is at most kReportRoom bytes longer than the file name.
std::size_t format_report(char* out, std::size_t out_size, Error error,
                          std::int32_t unit, std::string_view file);
inline constexpr std::size_t kReportRoom = 200;

// The status code of an error: 0xC0000000 + N for a severe one.
std::uint32_t status_code(Error error);

// Raise a severe error that names no unit (600, 601, 603, 41, 201). The
// errors on a unit, which name its file, are raised by fail(error, unit) in
// units.h: this file knows nothing of units.
[[noreturn]] void fail(Error error);
// The plain stop and the numeric stop. Do not return.
[[noreturn]] void stop_plain();
[[noreturn]] void stop_numeric(std::int32_t code);

}  // namespace recio
