#include "recio/errors.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace recio {
namespace {

enum class Severity : std::uint8_t { kInfo, kWarning, kError, kSevere };

struct Message {
  Error error;
  Severity severity;
  std::string_view text;  // %d: unit number, %s: file name (or event name)
};

constexpr std::array kMessages = {
    Message{Error::kRewind, Severity::kSevere,
            "REWIND error, unit %d, file %s"},
    Message{Error::kEndOfFile, Severity::kSevere,
            "end-of-file during read, unit %d, file %s"},
    Message{Error::kOpenFailure, Severity::kSevere,
            "open failure, unit %d, file %s"},
    Message{Error::kWriteFailure, Severity::kSevere,
            "error during write, unit %d, file %s"},
    Message{Error::kReadFailure, Severity::kSevere,
            "error during read, unit %d, file %s"},
    Message{Error::kNoMemory, Severity::kSevere, "insufficient virtual memory"},
    Message{Error::kFileName, Severity::kSevere,
            "file name specification error, unit %d, file %s"},
    Message{Error::kFormatLoop, Severity::kSevere,
            "infinite format loop, unit %d, file %s"},
    Message{Error::kTypeMismatch, Severity::kSevere,
            "format/variable-type mismatch, unit %d, file %s"},
    Message{Error::kInputConversion, Severity::kSevere,
            "input conversion error, unit %d, file %s"},
    Message{Error::kTooMuchData, Severity::kSevere,
            "input statement requires too much data, unit %d, file %s"},
    Message{Error::kAccessViolation, Severity::kSevere,
            "Program Exception - access violation"},
    Message{Error::kIntegerDivide, Severity::kSevere,
            "Program Exception - integer divide by zero"},
    Message{Error::kStackOverflow, Severity::kSevere,
            "Program Exception - stack overflow"},
    Message{Error::kAbortEvent, Severity::kError,
            "program aborting due to %s event"},
    Message{Error::kFlawedDivide, Severity::kSevere,
            "Intel Pentium fdiv flaw detected, please update the processor"},
    Message{Error::kFormattedOnUnformatted, Severity::kSevere,
            "formatted I/O to unit open for unformatted transfers, unit %d, "
            "file %s"},
    Message{Error::kAccessNotAllowed, Severity::kSevere, "access not allowed"},
    Message{Error::kFileExists, Severity::kSevere, "file already exists"},
    Message{Error::kTooManyFiles, Severity::kSevere, "too many open files"},
};

// A report line is its message with the unit and file filled in, behind a
// prefix and a number: kReportRoom must hold all but the file name.
constexpr bool reports_fit() {
  for (const Message& m : kMessages) {
    if (m.text.size() + 64 > kReportRoom) return false;
  }
  return true;
}
static_assert(reports_fit());

const Message* find_message(Error error) {
  for (const Message& m : kMessages) {
    if (m.error == error) return &m;
  }
  return nullptr;
}

std::string_view prefix(Severity s) {
  switch (s) {
    case Severity::kInfo:
      return "forrtl: info";
    case Severity::kWarning:
      return "forrtl: warning";
    case Severity::kError:
      return "forrtl: error";
    case Severity::kSevere:
      break;
  }
  return "forrtl: severe";
}

// Appends to a fixed buffer, silently dropping what does not fit. No
// allocation: the report is also built inside signal handlers.
class LineBuilder {
 public:
  LineBuilder(char* out, std::size_t size) : out_(out), size_(size) {}
  void add(std::string_view s) {
    const std::size_t n = std::min(s.size(), size_ - len_);
    std::memcpy(out_ + len_, s.data(), n);
    len_ += n;
  }
  void add_int(std::int64_t v) {
    char digits[24];
    std::size_t n = 0;
    const bool negative = v < 0;
    std::uint64_t u =
        negative ? std::uint64_t(0) - std::uint64_t(v) : std::uint64_t(v);
    do {
      digits[n++] = static_cast<char>('0' + u % 10);
      u /= 10;
    } while (u != 0);
    if (negative) digits[n++] = '-';
    while (n > 0) add(std::string_view(&digits[--n], 1));
  }
  std::size_t size() const { return len_; }

 private:
  char* out_;
  std::size_t size_;
  std::size_t len_ = 0;
};

}  // namespace

std::uint32_t status_code(Error error) {
  const Message* m = find_message(error);
  const Severity s = m != nullptr ? m->severity : Severity::kSevere;
  const std::uint32_t top = s == Severity::kSevere  ? 0xC0000000u
                            : s == Severity::kError ? 0x80000000u
                            : s == Severity::kInfo  ? 0x40000000u
                                                    : 0u;
  return top + (static_cast<std::uint32_t>(error) & 0xFFFFu);
}

std::size_t format_report(char* out, std::size_t out_size, Error error,
                          std::int32_t unit, std::string_view file) {
  const Message* m = find_message(error);
  LineBuilder line(out, out_size);
  line.add(prefix(m != nullptr ? m->severity : Severity::kSevere));
  line.add(" (");
  line.add_int(static_cast<std::int32_t>(error));
  line.add("): ");
  if (m == nullptr) {
    line.add("Message not found");
    return line.size();
  }
  const std::string_view text = m->text;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 1 < text.size()) {
      if (text[i + 1] == 'd') {
        line.add_int(unit);
        ++i;
        continue;
      }
      if (text[i + 1] == 's') {
        line.add(file);
        ++i;
        continue;
      }
    }
    line.add(text.substr(i, 1));
  }
  return line.size();
}

void RunEnd::set_line(std::string_view text) {
  if (text.size() > sizeof line_) {
    long_line_ = std::make_shared<const std::string>(text);
    return;
  }
  length_ = static_cast<std::uint32_t>(text.size());
  std::memcpy(line_, text.data(), length_);
}

RunEnd RunEnd::plain_stop() { return RunEnd(Kind::kPlainStop, 0); }

RunEnd RunEnd::numeric_stop(std::int32_t code) {
  RunEnd end(Kind::kNumericStop, static_cast<std::uint32_t>(code));
  char text[32];
  LineBuilder line(text, sizeof text);
  line.add_int(code);
  end.set_line({text, line.size()});
  return end;
}

RunEnd RunEnd::report(Error error, std::int32_t unit, std::string_view file) {
  RunEnd end(Kind::kReport, status_code(error));
  if (file.size() + kReportRoom <= sizeof end.line_) {
    end.length_ = static_cast<std::uint32_t>(
        format_report(end.line_, sizeof end.line_, error, unit, file));
  } else {
    // A long file name (a deep working directory): the whole line, never cut.
    std::string line(file.size() + kReportRoom, '\0');
    line.resize(format_report(line.data(), line.size(), error, unit, file));
    end.long_line_ = std::make_shared<const std::string>(std::move(line));
  }
  return end;
}

int RunEnd::exit_status() const {
  return recio::exit_status(status_,
                            kind_ == Kind::kReport || kind_ == Kind::kMessage);
}

int exit_status(std::uint32_t code, bool failure) {
  const int status = static_cast<int>(code & 0xFFu);
  return failure && status == 0 ? 255 : status;
}

RunEnd RunEnd::message(std::string_view text, std::uint32_t status) {
  RunEnd end(Kind::kMessage, status);
  end.set_line(text);
  return end;
}

void fail(Error error) { throw RunEnd::report(error, 0, {}); }

void stop_plain() { throw RunEnd::plain_stop(); }

void stop_numeric(std::int32_t code) { throw RunEnd::numeric_stop(code); }

}  // namespace recio
