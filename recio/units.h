#pragma once
// The unit table: numbered units, the files they are connected to, and the
// formatted records on their way to and from those files (the bytes of
// output records wait in an OutputBuffer, output_buffer.h). The errors on a
// unit are raised here, naming its file.

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "recio/errors.h"
#include "recio/os_file.h"
#include "recio/output_buffer.h"

namespace recio {

class Unit;

// The formatted-output side of a unit: the record being built and its
// buffer.
class FormattedOutput {
 public:
  FormattedOutput(const Unit& unit, int fd, bool control_mode);

  // Begins a statement: a fresh record unless the previous statement left
  // one open with `$`.
  void begin_statement() {
    if (open_) {
      open_ = false;
      return;
    }
    pos_ = 0;
    hwm_ = 0;
  }
  // Returns room for `width` characters at the current position, blanks
  // filling any gap from the high-water mark, and moves past them.
  char* place(std::size_t width) {
    const std::size_t end = pos_ + width;
    if (end + 2 > record_.size() || pos_ > hwm_) [[unlikely]] {
      return place_slow(width);
    }
    char* at = record_.data() + pos_;
    pos_ = end;
    hwm_ = end > hwm_ ? end : hwm_;
    return at;
  }
  void skip(std::size_t n) { pos_ += n; }
  // Writes the record (up to its high-water mark) with its line end.
  void end_record();
  void hold_open() { open_ = true; }
  bool record_open() const { return open_; }
  // Writes a record held open by `$`, then flushes; false on a failed write.
  [[nodiscard]] bool close();
  [[nodiscard]] bool flush() { return buffer_.flush(); }
  bool control_mode() const { return control_; }

 private:
  void emit(const char* data, std::size_t n);
  // place() when the record must grow or a gap must be blanked.
  char* place_slow(std::size_t width);

  const Unit& unit_;
  std::vector<char> record_;
  std::size_t pos_ = 0;
  std::size_t hwm_ = 0;
  bool open_ = false;
  bool control_;
  bool newline_pending_ = false;  // terminal: a `$` record left the line open
  OutputBuffer buffer_;
};

// The formatted-input side of a unit: lines read in large blocks.
class FormattedInput {
 public:
  FormattedInput(const Unit& unit, int fd, bool is_standard_input);
  // The next record (without its line end); false at end of input. A failed
  // read raises error 39.
  bool next_record(std::string_view& record);

 private:
  bool fill();

  const Unit& unit_;
  int fd_;
  bool standard_input_;
  bool at_eof_ = false;
  std::vector<char> buf_;
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
};

class Unit {
 public:
  enum class Form : std::uint8_t { kFormatted, kUnformatted };

  Unit(std::int32_t number, std::string name, int fd, bool owns_fd, Form form,
       bool input_only);
  ~Unit();
  Unit(const Unit&) = delete;
  Unit& operator=(const Unit&) = delete;

  std::int32_t number() const { return number_; }
  const std::string& name() const { return name_; }
  Form form() const { return form_; }
  int fd() const { return fd_; }
  // Connected for input: every write is refused (error 38).
  bool input_only() const { return input_only_; }
  // Whether `id` (a file's identity, if known) is this unit's file.
  bool same_file(const std::optional<os::FileId>& id) const {
    return id && id_ && *id == *id_;
  }

  FormattedOutput& output();
  FormattedInput& input();

  // Unformatted state.
  off_t position = 0;
  bool truncate_next = false;
  std::vector<unsigned char> record;

  // Writes out buffered records (a record held open stays open); false if a
  // write failed.
  [[nodiscard]] bool flush() { return out_ ? out_->flush() : true; }
  // Writes a record held open, then flushes; false if a write failed.
  [[nodiscard]] bool close();
  // Positions the unit before its first record. Formatted: pending records
  // are written out and the file is read or written again from its start.
  // Unformatted: the next write truncates the file after itself.
  void rewind();

 private:
  std::int32_t number_;
  std::string name_;
  int fd_;
  bool owns_fd_;
  Form form_;
  bool input_only_;
  std::optional<os::FileId> id_;
  std::unique_ptr<FormattedOutput> out_;
  std::unique_ptr<FormattedInput> in_;
};

// The unit for a formatted write or read, connected by default on first use
// ("FORT<n>" names a file; else 5 is standard input, 6 standard output, 0
// standard error, any other n the file "fort.<n>"). A unit connected for
// unformatted transfer raises error 257.
FormattedOutput& formatted_output(std::int32_t unit);
FormattedInput& formatted_input(std::int32_t unit);

namespace units_detail {
// The formatted output of the unit written to last. Statements on one unit
// follow one another by the million (a tableau print writes each value with
// a statement of its own), so while the unit stays the same they skip the
// table. Cleared whenever a unit leaves the table.
struct LastOutput {
  std::int32_t number = 0;
  FormattedOutput* out = nullptr;
};
inline LastOutput last_output;
}  // namespace units_detail

// formatted_output() for the unit written to last, without the table.
inline FormattedOutput& current_formatted_output(std::int32_t unit) {
  const units_detail::LastOutput& last = units_detail::last_output;
  if (last.out != nullptr && last.number == unit) [[likely]] {
    return *last.out;
  }
  return formatted_output(unit);
}

// The unit for an unformatted transfer, connected by default on first use.
Unit& unformatted_unit(std::int32_t unit);

// The connected unit, or nullptr.
Unit* find_unit(std::int32_t unit);

// Raise a severe run-time error on `unit`, naming the file it is connected
// to. Does not return.
[[noreturn]] void fail(Error error, std::int32_t unit);

// Position `unit` before its first record (Unit::rewind). Does nothing for
// an unconnected unit.
void rewind(std::int32_t unit);

// Connects `unit` to a newly created file (status "NEW", unformatted).
void open_new(std::int32_t unit, std::string_view name);

// The file name that messages show for `unit` ("CONIN$", "CONOUT$" or a full
// path name); empty when it is not connected.
std::string_view unit_file_name(std::int32_t unit);

// Writes out pending output of every unit (before every wait for input).
void flush_all_units();

// Closes every unit: records held open are written, buffers flushed, named
// files kept; the table is emptied. Returns the report of the first write
// that failed, if any.
std::optional<RunEnd> close_all() noexcept;

}  // namespace recio
