#include "recio/units.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "recio/os_file.h"

namespace recio {
namespace {

std::map<std::int32_t, Unit>& table() {
  static std::map<std::int32_t, Unit> units;
  return units;
}

constexpr std::string_view kConsoleIn = "CONIN$";
constexpr std::string_view kConsoleOut = "CONOUT$";

// Connects `number` by default: the file its FORT<n> variable names, else the
// standard stream or "fort.<n>". Unit 5 is always connected for input.
Unit& connect_default(std::int32_t number, Unit::Form form, bool for_output) {
  if (number == 5 && form == Unit::Form::kFormatted) for_output = false;
  const std::string var = "FORT" + std::to_string(number);
  const char* value = os::env(var.c_str());
  std::string_view name = value != nullptr ? os::trim(value) : "";
  int fd = -1;
  std::string shown;
  if (name.empty()) {
    if (number == 5) {
      fd = 0;
      shown = kConsoleIn;
    } else if (number == 6) {
      fd = 1;
      shown = kConsoleOut;
    } else if (number == 0) {
      fd = 2;
      shown = kConsoleOut;
    }
  }
  bool owns = false;
  if (fd < 0) {
    const std::string file =
        name.empty() ? "fort." + std::to_string(number) : std::string(name);
    std::optional<std::string> path = os::full_path(file);
    if (!path) throw RunEnd::report(Error::kFileName, number, file);
    shown = std::move(*path);
    const os::OpenMode mode = form == Unit::Form::kUnformatted
                                  ? os::OpenMode::kReadWrite
                              : for_output ? os::OpenMode::kWriteTruncate
                                           : os::OpenMode::kRead;
    const os::Opened opened = os::open_file(shown, mode);
    if (opened.fd < 0) throw RunEnd::report(opened.error, number, shown);
    fd = opened.fd;
    owns = true;
  }
  auto [it, inserted] = table().try_emplace(number, number, std::move(shown),
                                            fd, owns, form, !for_output);
  return it->second;
}

}  // namespace

// ---------------------------------------------------------------------------
// FormattedOutput

FormattedOutput::FormattedOutput(const Unit& unit, int fd, bool control_mode)
    : unit_(unit),
      record_(256, ' '),
      control_(control_mode),
      buffer_(fd, control_mode) {}

char* FormattedOutput::place_slow(std::size_t width) {
  const std::size_t end = pos_ + width;
  if (end + 2 > record_.size()) {
    record_.resize(std::max(end + 2, record_.size() * 2));
  }
  if (pos_ > hwm_)
    std::fill(record_.begin() + std::ptrdiff_t(hwm_),
              record_.begin() + std::ptrdiff_t(pos_), ' ');
  char* at = record_.data() + pos_;
  pos_ = end;
  hwm_ = std::max(hwm_, end);
  return at;
}

void FormattedOutput::emit(const char* data, std::size_t n) {
  if (!buffer_.append(data, n)) fail(Error::kWriteFailure, unit_.number());
}

void FormattedOutput::end_record() {
  if (hwm_ + 2 > record_.size()) record_.resize(hwm_ + 2);
  if (!control_) {
    // Plain mode: every character as built, then CR LF.
    record_[hwm_] = '\r';
    record_[hwm_ + 1] = '\n';
    emit(record_.data(), hwm_ + 2);
  } else {
    // Terminal: the first character places the rest of the record.
    const char control = hwm_ > 0 ? record_[0] : ' ';
    const std::size_t rest = hwm_ > 0 ? hwm_ - 1 : 0;
    std::string_view before;
    switch (control) {
      case '0':
        before = "\n";
        break;
      case '1':
        before = "\f";
        break;
      case '+':
        before = "\x1b[A\r";  // back over the line just ended
        break;
      default:
        break;
    }
    std::string line;
    if (newline_pending_ && control != '+') line += '\n';
    line += before;
    line.append(record_.data() + 1, rest);
    newline_pending_ = control == '$';
    if (!newline_pending_) line += '\n';
    emit(line.data(), line.size());
  }
  pos_ = 0;
  hwm_ = 0;
  open_ = false;
}

bool FormattedOutput::close() {
  if (open_) {
    // A record still held open by `$` is written with its line end.
    open_ = false;
    try {
      end_record();
    } catch (const RunEnd&) {
      return false;
    }
  }
  if (newline_pending_) {
    newline_pending_ = false;
    if (!buffer_.append("\n", 1)) return false;
  }
  return buffer_.flush();
}

// ---------------------------------------------------------------------------
// FormattedInput

FormattedInput::FormattedInput(const Unit& unit, int fd, bool is_standard_input)
    : unit_(unit),
      fd_(fd),
      standard_input_(is_standard_input),
      buf_(std::size_t(1) << 16) {}

bool FormattedInput::fill() {
  if (at_eof_) return false;
  // Before waiting for more input, everything written so far goes out: a
  // reader at the other end of a pipe, or whoever types the input, sees each
  // problem's output without waiting for the end of the input. Once per
  // refill (64 KiB of input from a file), not per record.
  flush_all_units();
  if (begin_ > 0) {
    std::memmove(buf_.data(), buf_.data() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
  }
  if (end_ == buf_.size()) buf_.resize(buf_.size() * 2);
  const ssize_t r = os::read_some(fd_, buf_.data() + end_, buf_.size() - end_);
  if (r < 0) fail(Error::kReadFailure, unit_.number());
  if (r == 0) {
    at_eof_ = true;
    return false;
  }
  end_ += static_cast<std::size_t>(r);
  return true;
}

bool FormattedInput::next_record(std::string_view& record) {
  std::size_t scanned = begin_;
  for (;;) {
    const void* nl = std::memchr(buf_.data() + scanned, '\n', end_ - scanned);
    if (nl != nullptr) {
      const std::size_t at =
          std::size_t(static_cast<const char*>(nl) - buf_.data());
      std::size_t len = at - begin_;
      if (len > 0 && buf_[at - 1] == '\r') --len;
      record = std::string_view(buf_.data() + begin_, len);
      begin_ = at + 1;
      break;
    }
    scanned = end_ - begin_;  // offsets shift when fill() compacts
    if (!fill()) {
      if (end_ == begin_) return false;
      // A last line without a line feed is still a record. Only a carriage
      // return directly before a line feed is dropped: one that ends the
      // input stays in the record.
      record = std::string_view(buf_.data() + begin_, end_ - begin_);
      begin_ = end_;
      break;
    }
  }
  // From standard input, a line holding only 0x1A is the end of the input.
  if (standard_input_ && record.size() == 1 && record[0] == '\x1a') {
    at_eof_ = true;
    begin_ = end_;
    return false;
  }
  return true;
}

// ---------------------------------------------------------------------------
// Unit

Unit::Unit(std::int32_t number, std::string name, int fd, bool owns_fd,
           Form form, bool input_only)
    : number_(number),
      name_(std::move(name)),
      fd_(fd),
      owns_fd_(owns_fd),
      form_(form),
      input_only_(input_only),
      id_(os::file_id(fd)) {}

Unit::~Unit() {
  if (owns_fd_) os::close_file(fd_);
}

FormattedOutput& Unit::output() {
  if (!out_) {
    // Only the standard streams on a terminal use control characters; every
    // named file is plain.
    const bool control = !owns_fd_ && os::is_terminal(fd_);
    out_ = std::make_unique<FormattedOutput>(*this, fd_, control);
  }
  return *out_;
}

FormattedInput& Unit::input() {
  if (!in_) {
    in_ = std::make_unique<FormattedInput>(*this, fd_, fd_ == 0 && !owns_fd_);
  }
  return *in_;
}

bool Unit::close() { return out_ ? out_->close() : true; }

void Unit::rewind() {
  if (form_ == Form::kFormatted) {
    // Records written so far go out first; the next transfer starts at the
    // beginning of the file.
    if (!flush()) fail(Error::kWriteFailure, number_);
    if (!os::seek_to_start(fd_)) fail(Error::kRewind, number_);
    return;
  }
  position = 0;
  truncate_next = true;
}

// ---------------------------------------------------------------------------
// The table

Unit* find_unit(std::int32_t unit) {
  auto it = table().find(unit);
  return it == table().end() ? nullptr : &it->second;
}

void fail(Error error, std::int32_t unit) {
  throw RunEnd::report(error, unit, unit_file_name(unit));
}

void rewind(std::int32_t unit) {
  if (Unit* u = find_unit(unit)) u->rewind();
}

FormattedOutput& formatted_output(std::int32_t unit) {
  Unit* u = find_unit(unit);
  if (u == nullptr) u = &connect_default(unit, Unit::Form::kFormatted, true);
  if (u->form() != Unit::Form::kFormatted) {
    fail(Error::kFormattedOnUnformatted, unit);
  }
  // A unit connected for input (unit 5) refuses every write at once, even
  // where its descriptor would take the bytes (a terminal).
  if (u->input_only()) fail(Error::kWriteFailure, unit);
  FormattedOutput& out = u->output();
  units_detail::last_output = {unit, &out};
  return out;
}

FormattedInput& formatted_input(std::int32_t unit) {
  Unit* u = find_unit(unit);
  if (u == nullptr) u = &connect_default(unit, Unit::Form::kFormatted, false);
  if (u->form() != Unit::Form::kFormatted) {
    fail(Error::kFormattedOnUnformatted, unit);
  }
  return u->input();
}

Unit& unformatted_unit(std::int32_t unit) {
  Unit* u = find_unit(unit);
  if (u == nullptr) u = &connect_default(unit, Unit::Form::kUnformatted, true);
  if (u->form() != Unit::Form::kUnformatted) {
    // There is no message for this in the table: the report says so.
    fail(Error::kUnformattedOnFormatted, unit);
  }
  return *u;
}

std::string_view unit_file_name(std::int32_t unit) {
  const Unit* u = find_unit(unit);
  return u == nullptr ? std::string_view() : std::string_view(u->name());
}

void open_new(std::int32_t unit, std::string_view name) {
  std::string_view trimmed = os::trim(name);
  if (trimmed.size() > 256) trimmed = trimmed.substr(0, 256);
  const std::optional<std::string> full = os::full_path(trimmed);
  if (!full) throw RunEnd::report(Error::kFileName, unit, trimmed);
  const std::string& path = *full;
  if (Unit* present = find_unit(unit)) {
    if (present->same_file(os::file_id(path))) {
      return;  // the same file on the same unit: nothing changes
    }
    // Another file: the present connection is closed (its file kept).
    const bool flushed = present->close();
    units_detail::last_output = {};
    table().erase(unit);
    if (!flushed) fail(Error::kWriteFailure);
  }
  const os::Opened opened = os::open_file(path, os::OpenMode::kCreateNew);
  if (opened.fd < 0) {
    const Error e = opened.error;
    if (e == Error::kFileName || e == Error::kOpenFailure) {
      throw RunEnd::report(e, unit, path);
    }
    fail(e);
  }
  table().try_emplace(unit, unit, path, opened.fd, true,
                      Unit::Form::kUnformatted, false);
}

void flush_all_units() {
  for (auto& [number, unit] : table()) {
    if (!unit.flush()) {
      fail(Error::kWriteFailure, number);
    }
  }
}

std::optional<RunEnd> close_all() noexcept {
  std::optional<RunEnd> failure;
  for (auto& [number, unit] : table()) {
    if (!unit.close() && !failure) {
      failure = RunEnd::report(Error::kWriteFailure, number, unit.name());
    }
  }
  units_detail::last_output = {};
  table().clear();
  return failure;
}

}  // namespace recio
