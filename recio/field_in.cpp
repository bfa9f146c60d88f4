#include "recio/field_in.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cstddef>
#include <cstring>
#include <limits>
#include <system_error>

namespace recio {
namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

int digit_value(char c) { return c - '0'; }

// Powers of ten that a double holds exactly.
constexpr std::array<double, 23> kExactPowers = {
    1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
    1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// An exponent beyond this gives 0 or infinity whatever the digits; clamping
// at it keeps every sum below in range.
constexpr std::int64_t kExponentLimit = 100000;

// What one pass over an F/E field finds.
struct RealField {
  bool negative = false;
  std::uint64_t leading = 0;     // the first up to 19 significant digits
  std::int64_t significant = 0;  // count of significant digits in all
  // value = (all significant digits as an integer) x 10^scale
  std::int64_t scale = 0;
  std::size_t mantissa_begin = 0;  // where the mantissa's text starts
  std::size_t mantissa_end = 0;    // and where it ends
};

// Reads the exponent's digits from text[i...]: blanks ignored, at least
// one digit, nothing after them. It saturates instead of overflowing: no
// count of digits or decimals in this text can bring an exponent past the
// limit plus the text's length back into range.
bool parse_exponent_digits(std::string_view text, std::size_t i,
                           std::int64_t& exponent) {
  const std::int64_t limit =
      kExponentLimit + static_cast<std::int64_t>(text.size());
  bool any = false;
  std::int64_t value = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c == ' ') {
      continue;
    }
    if (!is_digit(c)) {
      return false;
    }
    any = true;
    value = value > limit / 10 ? limit
                               : std::min(value * 10 + digit_value(c), limit);
  }
  exponent = value;
  return any;
}

// The index of the first character of text that is not a blank (text.size()
// when there is none). Fields are right-justified, so most start with a run
// of blanks of varying length: eight columns are tested at a time, and the
// first non-blank found from the low bytes of the word.
std::size_t skip_blanks(std::string_view text) {
  constexpr std::uint64_t kBlanks = 0x2020202020202020u;
  std::size_t i = 0;
  for (; i + 8 <= text.size(); i += 8) {
    std::uint64_t word = 0;
    std::memcpy(&word, text.data() + i, 8);
    if constexpr (std::endian::native == std::endian::little) {
      const std::uint64_t other = word ^ kBlanks;
      if (other != 0) {
        return i + static_cast<std::size_t>(std::countr_zero(other)) / 8;
      }
    } else if (word != kBlanks) {
      break;
    }
  }
  while (i < text.size() && text[i] == ' ') {
    ++i;
  }
  return i;
}

// The grammar of an F/E field, in one pass. False outside it.
bool scan_real(std::string_view text, std::int32_t d, RealField& field) {
  std::size_t i = skip_blanks(text);
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    field.negative = text[i] == '-';
    ++i;
  }
  field.mantissa_begin = i;
  std::int64_t digits = 0;        // mantissa digits, leading zeros included
  std::int64_t after_point = -1;  // digits after the ".", -1 without one
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (is_digit(c)) {
      ++digits;
      if (after_point >= 0) {
        ++after_point;
      }
      if (field.significant > 0 || c != '0') {
        if (field.significant < 19) {
          field.leading =
              field.leading * 10 + static_cast<std::uint64_t>(digit_value(c));
        }
        ++field.significant;
      }
    } else if (c == '.') {
      if (after_point >= 0) {
        return false;  // a second point
      }
      after_point = 0;
    } else if (c != ' ') {
      break;
    }
  }
  field.mantissa_end = i;
  std::int64_t exponent = 0;
  if (i < text.size()) {
    const char c = text[i];
    const bool letter =
        c == 'E' || c == 'e' || c == 'D' || c == 'd' || c == 'Q' || c == 'q';
    if (!letter && c != '+' && c != '-') {
      return false;  // a tab, a letter, "inf", "nan", ...
    }
    if (letter) {
      ++i;
      while (i < text.size() && text[i] == ' ') {
        ++i;
      }
    }
    bool exponent_negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
      exponent_negative = text[i] == '-';
      ++i;
    }
    // "1.5E" and "1.5+" promise an exponent and give none: rejected, as is
    // an exponent with no mantissa digits before it ("E5", ".E5").
    if (!parse_exponent_digits(text, i, exponent) || digits == 0) {
      return false;
    }
    if (exponent_negative) {
      exponent = -exponent;
    }
  } else if (digits == 0) {
    // Blanks or a lone sign read as zero, like an integer field; a point
    // with no digit at all ("." or "-.") is not a number.
    return after_point < 0;
  }
  // Without a point the last d digits are decimals.
  const std::int64_t decimals = after_point >= 0 ? after_point : d;
  // Every digit after the first significant one is in the integer, so the
  // decimals (however many: the field may be long) come off its scale.
  field.scale = exponent - decimals;
  return true;
}

// Enough digits to decide the rounding of any decimal: a tie between two
// doubles has at most 767 significant digits, so keeping 779 and standing in
// a single 1 for everything dropped lands in the same gap between ties.
constexpr std::size_t kKeptDigits = 780;

// The careful conversion: the significant digits and the scale written out
// as "ddd...e-xx" (no point, so no locale), then std::from_chars.
double convert_exactly(std::string_view text, const RealField& field) {
  std::array<char, kKeptDigits + 16> buffer{};
  std::size_t n = 0;
  bool dropped_nonzero = false;
  std::int64_t dropped = 0;
  for (std::size_t i = field.mantissa_begin; i < field.mantissa_end; ++i) {
    const char c = text[i];
    if (!is_digit(c) || (n == 0 && c == '0')) {
      continue;
    }
    if (n < kKeptDigits - 1) {
      buffer[n++] = c;
    } else {
      ++dropped;
      dropped_nonzero = dropped_nonzero || c != '0';
    }
  }
  std::int64_t scale = field.scale + dropped;
  if (dropped_nonzero) {
    buffer[n++] = '1';
    --scale;
  }
  // With at most 780 digits, any exponent past the limit gives 0 or
  // infinity all the same.
  scale = std::clamp(scale, -kExponentLimit, kExponentLimit);
  buffer[n++] = 'e';
  const auto written =
      std::to_chars(buffer.data() + n, buffer.data() + buffer.size(), scale);
  double magnitude = 0;
  const auto result = std::from_chars(buffer.data(), written.ptr, magnitude);
  if (result.ec == std::errc::result_out_of_range) {
    // The value rounds to zero or beyond the largest double; which one
    // follows from where its leading digit stands.
    magnitude = static_cast<std::int64_t>(n) + scale > 0
                    ? std::numeric_limits<double>::infinity()
                    : 0.0;
  }
  return magnitude;
}

}  // namespace

bool parse_int(std::string_view text, std::int32_t& value) {
  std::size_t i = skip_blanks(text);
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  // The magnitude may reach 2^31 for the most negative value; stop as soon
  // as it passes that, so no number of digits can overflow.
  constexpr std::uint64_t kMaxMagnitude = std::uint64_t{1} << 31;
  std::uint64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c == ' ') {
      continue;
    }
    if (!is_digit(c)) {
      return false;
    }
    magnitude = magnitude * 10 + static_cast<std::uint64_t>(digit_value(c));
    if (magnitude > kMaxMagnitude) {
      return false;
    }
  }
  if (!negative && magnitude == kMaxMagnitude) {
    return false;
  }
  const auto signed_magnitude = static_cast<std::int64_t>(magnitude);
  value = static_cast<std::int32_t>(negative ? -signed_magnitude
                                             : signed_magnitude);
  return true;
}

namespace {

// The field most decks hold: blanks, an optional sign, then digits with at
// most one point running to the field's end, fifteen digits at most. Its
// value is the digits over a power of ten, both exact doubles, so one
// division rounds once, to nearest: what the general path gives too. False,
// value untouched, for any other field.
bool parse_plain_real(std::string_view text, std::int32_t d, double& value) {
  constexpr std::ptrdiff_t kMaxDigits = 15;
  const char* p = text.data();
  const char* const end = p + text.size();
  // Leading blanks eight at a time while eight columns remain.
  constexpr std::uint64_t kBlanks = 0x2020202020202020u;
  while (end - p >= 8) {
    std::uint64_t word = 0;
    std::memcpy(&word, p, 8);
    if (word != kBlanks) {
      p += std::countr_zero(word ^ kBlanks) / 8;
      break;
    }
    p += 8;
  }
  while (p != end && *p == ' ') ++p;
  const bool negative = p != end && *p == '-';
  if (p != end && (*p == '-' || *p == '+')) ++p;
  const char* const first = p;
  std::uint64_t digits = 0;
  const auto take_digits = [&p, end, &digits] {
    for (; p != end && static_cast<unsigned char>(*p - '0') < 10; ++p) {
      digits = digits * 10 + static_cast<std::uint64_t>(*p - '0');
    }
  };
  take_digits();
  std::ptrdiff_t decimals = d;
  std::ptrdiff_t count = p - first;
  if (p != end && *p == '.') {
    const char* const point = ++p;
    take_digits();
    decimals = p - point;
    count += decimals;
  }
  if (p != end || count == 0 || count > kMaxDigits || decimals < 0 ||
      decimals >= std::ptrdiff_t(kExactPowers.size())) {
    return false;
  }
  const double magnitude = static_cast<double>(digits) /
                           kExactPowers[static_cast<std::size_t>(decimals)];
  value = negative ? -magnitude : magnitude;
  return true;
}

// parse_real for the fields parse_plain_real leaves. Kept out of line so
// that the plain path saves and restores none of the registers this needs.
[[gnu::noinline]] bool parse_general_real(std::string_view text, std::int32_t d,
                                          double& value) {
  RealField field;
  if (!scan_real(text, d < 0 ? 0 : d, field)) {
    return false;
  }
  double magnitude = 0;
  if (field.significant == 0) {
    magnitude = 0;
  } else if (field.significant <= 15 && field.scale >= -22 &&
             field.scale <= 22) {
    // Clinger's fast path: both the digits (< 10^15) and the power of ten
    // are exact doubles, so one multiplication or division rounds once,
    // to nearest.
    const auto digits = static_cast<double>(field.leading);
    magnitude =
        field.scale >= 0
            ? digits * kExactPowers[static_cast<std::size_t>(field.scale)]
            : digits / kExactPowers[static_cast<std::size_t>(-field.scale)];
  } else {
    magnitude = convert_exactly(text, field);
  }
  value = field.negative ? -magnitude : magnitude;
  return true;
}

}  // namespace

bool parse_real(std::string_view text, std::int32_t d, double& value) {
  return parse_plain_real(text, d, value) || parse_general_real(text, d, value);
}

}  // namespace recio
