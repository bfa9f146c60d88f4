// Fuzz target: any bytes as the input records of unit 5, read under the
// deck's layouts (11I5) and (11F10.0), and as the records of an unformatted
// unit. Every value and every ending is checked against a plain second
// reading of the same bytes written here from the record rules, so a
// disagreement is a finding even when nothing crashes.
//
// Input: byte 0 chooses the mode, byte 1 the items per statement, the rest
// is the file.
//   mode 0: every statement (11I5)      mode 1: every statement (11F10.0)
//   mode 2: the two alternate           mode 3: unformatted records
#include <fcntl.h>
#include <unistd.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "deck/format.h"
#include "fuzz/fuzz_support.h"
#include "recio/errors.h"
#include "recio/record_read.h"
#include "recio/unformatted.h"
#include "recio/units.h"

namespace {

using deck::kIntegers;
using deck::kReals;
constexpr auto kFieldsPerRecord = std::int32_t(deck::kFieldsPerRecord);
constexpr std::int32_t kScratchUnit = 9;
constexpr const char* kScratchName = "scratch.bin";

// One observed step of a reading: a value (integers widened, reals as their
// bits) or the error number that ended it.
struct Step {
  bool is_error = false;
  std::int64_t value = 0;
  bool operator==(const Step&) const = default;
};

Step value_step(std::int64_t v) { return Step{false, v}; }
Step real_step(double v) {
  // -0.0 and 0.0 are one value here: the rules do not say which a "-0"
  // field gives.
  if (v == 0.0) v = 0.0;
  return Step{false, std::bit_cast<std::int64_t>(v)};
}
Step error_step(std::int32_t n) { return Step{true, n}; }

bool integers_for(std::uint8_t mode, std::size_t statement) {
  if (mode == 0) return true;
  if (mode == 1) return false;
  return statement % 2 == 0;
}

// ---------------------------------------------------------------------------
// The reading under test.

std::vector<Step> read_formatted(std::uint8_t mode, std::int32_t items) {
  std::vector<Step> steps;
  try {
    for (std::size_t s = 0;; ++s) {
      const bool ints = integers_for(mode, s);
      recio::ReadStatement r(deck::kInputUnit, ints ? kIntegers : kReals);
      for (std::int32_t k = 0; k < items; ++k) {
        if (ints) {
          std::int32_t v = 0;
          r.get(v);
          steps.push_back(value_step(v));
        } else {
          double v = 0.0;
          r.get(v);
          steps.push_back(real_step(v));
        }
      }
      r.finish();
    }
  } catch (const recio::RunEnd& end) {
    steps.push_back(error_step(fuzz::error_number(end)));
  }
  return steps;
}

// ---------------------------------------------------------------------------
// The second reading, from the rules alone.

enum class Parse { kValue, kError, kUnknown };

std::string without_blanks(std::string_view field) {
  std::string s;
  for (char c : field) {
    if (c != ' ') s += c;
  }
  return s;
}

Parse reference_int(std::string_view field, std::int64_t& value) {
  const std::string s = without_blanks(field);
  value = 0;
  std::size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  std::int64_t v = 0;
  for (; i < s.size(); ++i) {
    if (s[i] < '0' || s[i] > '9') return Parse::kError;
    v = std::min<std::int64_t>(v * 10 + (s[i] - '0'), std::int64_t(1) << 40);
  }
  if (negative) v = -v;
  if (v < INT32_MIN || v > INT32_MAX) return Parse::kError;
  value = v;
  return Parse::kValue;
}

bool is_exponent_letter(char c) {
  return c == 'E' || c == 'e' || c == 'D' || c == 'd' || c == 'Q' || c == 'q';
}

Parse reference_real(std::string_view field, std::int32_t d, double& value) {
  const std::string s = without_blanks(field);
  value = 0.0;
  for (char c : s) {
    const bool allowed = (c >= '0' && c <= '9') || c == '+' || c == '-' ||
                         c == '.' || is_exponent_letter(c);
    if (!allowed) return Parse::kError;
  }
  if (s.empty()) return Parse::kValue;
  std::size_t i = 0;
  bool negative = false;
  if (s[i] == '+' || s[i] == '-') negative = s[i++] == '-';
  std::string digits;
  std::int64_t decimals = -1;
  for (; i < s.size(); ++i) {
    if (s[i] >= '0' && s[i] <= '9') {
      digits += s[i];
      if (decimals >= 0) ++decimals;
    } else if (s[i] == '.') {
      if (decimals >= 0) return Parse::kError;
      decimals = 0;
    } else {
      break;
    }
  }
  std::int64_t exponent = 0;
  if (i < s.size()) {
    if (is_exponent_letter(s[i])) ++i;
    // A sign here is either the exponent's or, straight after the mantissa,
    // the exponent's start (1.5+3).
    bool exp_negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
      exp_negative = s[i++] == '-';
    if (i == s.size()) return Parse::kUnknown;  // an exponent without digits
    for (; i < s.size(); ++i) {
      if (s[i] < '0' || s[i] > '9') return Parse::kError;
      exponent = std::min<std::int64_t>(exponent * 10 + (s[i] - '0'), 10000000);
    }
    if (exp_negative) exponent = -exponent;
  }
  if (digits.empty()) return Parse::kUnknown;  // a sign or point alone
  if (decimals < 0) decimals = d;
  const std::string text = digits + "e" + std::to_string(exponent - decimals);
  value = std::strtod(text.c_str(), nullptr);
  if (negative) value = -value;
  return Parse::kValue;
}

// The records of the bytes: lines without their line feed (and a carriage
// return before it); a last line without one still counts, a carriage return
// at its end included; a line holding only 0x1A ends the input.
std::vector<std::string_view> records_of(std::string_view bytes) {
  std::vector<std::string_view> out;
  while (!bytes.empty()) {
    const std::size_t nl = bytes.find('\n');
    std::string_view line = bytes.substr(0, nl);
    const bool ended = nl != std::string_view::npos;
    bytes = ended ? bytes.substr(nl + 1) : std::string_view();
    if (ended && !line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line == "\x1a") break;
    out.push_back(line);
  }
  return out;
}

// The steps the rules predict; the last one is kUnknown's cut-off when the
// rules leave a field open (the comparison stops there).
std::vector<Step> reference_formatted(std::string_view bytes, std::uint8_t mode,
                                      std::int32_t items, bool& complete) {
  const std::vector<std::string_view> records = records_of(bytes);
  std::vector<Step> steps;
  complete = true;
  std::size_t next = 0;
  for (std::size_t s = 0;; ++s) {
    const bool ints = integers_for(mode, s);
    const std::size_t width = ints ? deck::kIntegerWidth : deck::kRealWidth;
    if (next == records.size()) {
      steps.push_back(error_step(24));
      return steps;
    }
    std::string_view record = records[next++];
    std::size_t pos = 0;
    std::int32_t field = 0;
    for (std::int32_t k = 0; k < items; ++k) {
      if (field == kFieldsPerRecord) {
        if (next == records.size()) {
          steps.push_back(error_step(24));
          return steps;
        }
        record = records[next++];
        pos = 0;
        field = 0;
      }
      ++field;
      std::string_view text;
      if (pos < record.size()) {
        text = record.substr(pos, width);
        const std::size_t comma = text.find(',');
        if (comma != std::string_view::npos) {
          text = text.substr(0, comma);
          pos += comma + 1;
        } else {
          pos += width;
        }
      } else {
        pos += width;
      }
      Parse p;
      Step step;
      if (ints) {
        std::int64_t v = 0;
        p = reference_int(text, v);
        step = value_step(v);
      } else {
        double v = 0.0;
        p = reference_real(text, 0, v);
        step = real_step(v);
      }
      if (p == Parse::kUnknown) {
        complete = false;
        return steps;
      }
      if (p == Parse::kError) {
        steps.push_back(error_step(64));
        return steps;
      }
      steps.push_back(step);
    }
  }
}

std::string describe(const std::vector<Step>& steps, std::size_t at) {
  if (at >= steps.size()) return "<nothing>";
  const Step& s = steps[at];
  if (s.is_error) return "error " + std::to_string(s.value);
  return "value bits " + std::to_string(s.value);
}

void check_formatted(std::string_view bytes, std::uint8_t mode,
                     std::int32_t items) {
  fuzz::set_standard_input(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                           bytes.size());
  const std::vector<Step> got = read_formatted(mode, items);
  (void)recio::close_all();
  bool complete = true;
  const std::vector<Step> want =
      reference_formatted(bytes, mode, items, complete);
  const std::size_t n =
      complete ? std::max(got.size(), want.size()) : want.size();
  for (std::size_t i = 0; i < n; ++i) {
    if (i >= got.size() || i >= want.size() || !(got[i] == want[i])) {
      fuzz::finding("step " + std::to_string(i) + ": read " + describe(got, i) +
                    ", the rules give " + describe(want, i));
    }
  }
}

// ---------------------------------------------------------------------------
// Unformatted records: items taken as reals or integers by the bits of
// `kinds`, one record per statement.

std::uint32_t le32(std::string_view b, std::size_t at) {
  std::uint32_t v = 0;
  for (std::size_t i = 0; i < 4; ++i) {
    v |= std::uint32_t(static_cast<unsigned char>(b[at + i])) << (8 * i);
  }
  return v;
}

std::uint64_t le64(std::string_view b, std::size_t at) {
  std::uint64_t v = 0;
  for (std::size_t i = 0; i < 8; ++i) {
    v |= std::uint64_t(static_cast<unsigned char>(b[at + i])) << (8 * i);
  }
  return v;
}

void check_unformatted(std::string_view bytes, std::int32_t items,
                       std::uint8_t kinds) {
  {
    const int fd = ::open(kScratchName, O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0 ||
        ::write(fd, bytes.data(), bytes.size()) != ssize_t(bytes.size())) {
      fuzz::finding("cannot write the scratch file");
    }
    ::close(fd);
  }
  auto is_real = [kinds](std::int32_t k) {
    return ((kinds >> (k % 8)) & 1) == 0;
  };
  std::vector<Step> got;
  try {
    for (;;) {
      recio::UnformattedRead r(kScratchUnit);
      for (std::int32_t k = 0; k < items; ++k) {
        got.push_back(
            is_real(k) ? value_step(std::bit_cast<std::int64_t>(r.get_real()))
                       : value_step(r.get_int()));
      }
      r.finish();
    }
  } catch (const recio::RunEnd& end) {
    got.push_back(error_step(fuzz::error_number(end)));
  }
  (void)recio::close_all();

  std::vector<Step> want;
  std::size_t pos = 0;
  for (;;) {
    if (pos == bytes.size()) {
      want.push_back(error_step(24));
      break;
    }
    if (bytes.size() - pos < 4) {
      want.push_back(error_step(39));
      break;
    }
    const std::uint64_t length = le32(bytes, pos);
    if (pos + 8 + length > bytes.size()) {
      want.push_back(error_step(39));
      break;
    }
    std::size_t at = pos + 4;
    const std::size_t end = at + length;
    bool short_record = false;
    for (std::int32_t k = 0; k < items; ++k) {
      const std::size_t size = is_real(k) ? 8 : 4;
      if (at + size > end) {
        short_record = true;
        break;
      }
      want.push_back(
          size == 8 ? value_step(static_cast<std::int64_t>(le64(bytes, at)))
                    : value_step(static_cast<std::int32_t>(le32(bytes, at))));
      at += size;
    }
    if (short_record) {
      want.push_back(error_step(67));
      break;
    }
    pos += 8 + length;
  }
  if (got != want) {
    std::size_t i = 0;
    while (i < got.size() && i < want.size() && got[i] == want[i]) ++i;
    fuzz::finding("unformatted step " + std::to_string(i) + ": read " +
                  describe(got, i) + ", the framing gives " +
                  describe(want, i));
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::enter_private_directory();
  char cwd[4096];
  if (::getcwd(cwd, sizeof cwd) == nullptr) fuzz::finding("getcwd");
  const std::string scratch = std::string(cwd) + "/" + kScratchName;
  ::setenv("FORT9", scratch.c_str(), 1);
  ::unsetenv("FORT5");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  if (size < 2) return 0;
  const std::uint8_t mode = data[0] & 3;
  const std::int32_t items = 1 + data[1] % 40;
  const std::string_view bytes(reinterpret_cast<const char*>(data + 2),
                               size - 2);
  if (mode == 3) {
    check_unformatted(bytes, items, static_cast<std::uint8_t>(data[0] >> 2));
  } else {
    check_formatted(bytes, mode, items);
  }
  return 0;
}
