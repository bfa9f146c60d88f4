#include "deck/text_reader.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/lp.h"
#include "deck/format.h"
#include "deck/unit_reader.h"
#include "recio/field_in.h"

namespace deck {
namespace {

// Thrown with the line-numbered message; caught in read_text.
struct Refusal {
  std::string message;
};

// The deck's records, one a line, with a carriage return before the line
// feed dropped; a line holding only 0x1A ends the input, as on standard
// input.
class Records {
 public:
  Records(std::string_view text, const std::string& name)
      : text_(text), name_(name) {}

  bool next(std::string_view& record) {
    if (pos_ >= text_.size()) return false;
    std::size_t end = text_.find('\n', pos_);
    if (end == std::string_view::npos) end = text_.size();
    record = text_.substr(pos_, end - pos_);
    if (!record.empty() && record.back() == '\r') record.remove_suffix(1);
    pos_ = end + 1;
    ++line_;
    if (record == "\x1a") {
      pos_ = text_.size();
      return false;
    }
    return true;
  }
  // Nothing but blank records (or none) is left.
  bool only_blanks_left() const {
    return text_.find_first_not_of(" \t\r\n", pos_) == std::string_view::npos;
  }
  std::int64_t line() const { return line_; }
  [[noreturn]] void refuse(std::int64_t line, const std::string& text) const {
    throw Refusal{name_ + ":" + std::to_string(line) + ": " + text};
  }

 private:
  std::string_view text_;
  const std::string& name_;
  std::size_t pos_ = 0;
  std::int64_t line_ = 0;
};

// One read statement of kIntegers or kReals: it starts on a new record and
// goes on to the next one after kFieldsPerRecord fields.
class Statement {
 public:
  Statement(Records& records, std::size_t width, const char* what)
      : records_(records), width_(width) {
    next_record(what);
    first_line_ = records_.line();
  }

  std::int32_t integer() {
    const std::string_view field = cut();
    std::int32_t value = 0;
    if (!recio::parse_int(field, value)) refuse(field, "a whole number");
    return value;
  }
  double real() {
    const std::string_view field = cut();
    double value = 0;
    if (!recio::parse_real(field, 0, value)) refuse(field, "a number");
    if (!std::isfinite(value)) refuse(field, "a finite number");
    return value;
  }
  std::int64_t first_line() const { return first_line_; }

 private:
  void next_record(const char* what) {
    if (!records_.next(record_)) {
      records_.refuse(records_.line() + 1, std::string("the deck ends where ") +
                                               what + " should follow");
    }
    pos_ = 0;
    fields_ = 0;
  }
  std::string_view cut() {
    if (fields_ == kFieldsPerRecord) next_record("more values of a list");
    ++fields_;
    column_ = pos_ + 1;
    return recio::cut_field(record_, pos_, width_);
  }
  [[noreturn]] void refuse(std::string_view field, const char* kind) {
    std::string text(1, '\'');
    text.append(field);
    text += "' in columns " + std::to_string(column_) + "-" +
            std::to_string(column_ + field.size() - 1) + " is not " + kind;
    records_.refuse(records_.line(), text);
  }

  Records& records_;
  std::size_t width_;
  std::string_view record_;
  std::size_t pos_ = 0;
  std::size_t fields_ = 0;
  std::size_t column_ = 1;
  std::int64_t first_line_ = 0;
};

// karvon runs a problem whose labels clash or name variables it does not
// have, and its answer means nothing: every label must name its own
// variable among 1..NV.
void check_labels(Storage& s, const Records& records, const Statement& kinds,
                  const Statement& labels) {
  std::vector<bool> taken(static_cast<std::size_t>(s.NV) + 1);
  const auto claim = [&](std::int32_t label, std::int64_t line,
                         const std::string& where) {
    const std::int32_t k = label < 0 ? -label : label;
    if (k > s.NV) {
      records.refuse(line, where + " names variable " + std::to_string(k) +
                               ", above the " + std::to_string(s.NV) +
                               " variables of the problem");
    }
    if (taken[static_cast<std::size_t>(k)]) {
      records.refuse(line, where + " names variable " + std::to_string(k) +
                               ", which another label names too");
    }
    taken[static_cast<std::size_t>(k)] = true;
  };
  for (std::int32_t i = 1; i <= s.M - 1; ++i) {
    if (s.row()(i) != 0) {
      claim(s.row()(i), kinds.first_line(), "row kind " + std::to_string(i));
    }
  }
  for (std::int32_t j = 1; j <= s.N - 1; ++j) {
    claim(s.col()(j), labels.first_line(), "column label " + std::to_string(j));
  }
}

// Reads one problem into `s` and prepares it; false at a closing header or
// at the end of the input before a settings record.
bool read_problem(Records& records, Storage& s) {
  {
    if (records.only_blanks_left()) return false;
    Statement settings(records, kIntegerWidth, "a settings record");
    s.IUNIT = settings.integer();
    s.IOUT = settings.integer();
  }
  Statement header(records, kIntegerWidth, "a problem header");
  s.M = header.integer();
  s.N = header.integer();
  s.NBOUND = header.integer();
  if (is_closing_header(s.M, s.N)) return false;
  if (is_invalid_header(s.M, s.N)) {
    records.refuse(header.first_line(), invalid_header_text(s.M, s.N));
  }
  lp::MatrixRef a = s.a();
  for (std::int32_t i = 1; i <= s.M; ++i) {
    Statement row(records, kRealWidth, "a tableau row");
    for (std::int32_t j = 1; j <= s.N; ++j) a(i, j) = row.real();
  }
  {
    Statement bounds(records, kRealWidth, "the bounds");
    for (std::int32_t k = 1; k <= s.NBOUND; ++k) {
      const double value = bounds.real();
      if (k <= lp::kMaxVariables) s.bound()(k) = value;
    }
  }
  Statement kinds(records, kIntegerWidth, "the row kinds");
  for (std::int32_t i = 1; i <= s.M - 1; ++i) s.row()(i) = kinds.integer();
  Statement labels(records, kIntegerWidth, "the column labels");
  for (std::int32_t j = 1; j <= s.N - 1; ++j) s.col()(j) = labels.integer();
  prepare(s);
  check_labels(s, records, kinds, labels);
  return true;
}

}  // namespace

std::string read_text(std::string_view text, const std::string& display_name,
                      Storage& s, const std::function<void(Storage&)>& take) {
  Records records(text, display_name);
  try {
    while (read_problem(records, s)) take(s);
  } catch (const Refusal& refusal) {
    return refusal.message;
  }
  return {};
}

bool begins_as_deck(std::string_view text) {
  const std::string name;
  Records records(text, name);
  try {
    Statement settings(records, kIntegerWidth, "a settings record");
    settings.integer();
    settings.integer();
    Statement header(records, kIntegerWidth, "a problem header");
    header.integer();
    header.integer();
    header.integer();
  } catch (const Refusal&) {
    return false;
  }
  return true;
}

}  // namespace deck
