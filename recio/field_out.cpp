#include "recio/field_out.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cassert>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <utility>

#include "recio/field_reference.h"
#include "recio/float_digits.h"

// The output fields as the reports write them: the F and E fields nearly
// every report writes take fast paths, their digits put together in
// registers, and runs of fields of one width with the width and the
// decimals made constants. Each gives the text of its reference definition
// (field_reference.h) and defers to it for every field it does not hold.

namespace recio {
namespace {

// Set by tests only; a relaxed load is a plain load, so the fast paths pay
// nothing for the switch but the test of a byte they already have in cache.
std::atomic<bool> reference_fields{false};

bool reference_only() {
  return reference_fields.load(std::memory_order_relaxed);
}

// The eight decimal digits of n < 10^8, leading zeros included, one per
// byte in memory order (most significant first), as values 0..9: n split in
// 32-bit lanes by 10^4, then 16-bit lanes by 100, then bytes by 10, each
// quotient by a multiply and a shift that are exact in that range.
std::uint64_t eight_digits(std::uint32_t n) {
  // n / 10^4 by the multiply and shift that are exact for every 32-bit n
  // (written out: the compiler otherwise picks a slow division here).
  const std::uint64_t high = (std::uint64_t{n} * 3518437209u) >> 45;
  std::uint64_t x = high | ((std::uint64_t{n} - high * 10000) << 32);
  const std::uint64_t hundreds = ((x * 10486) >> 20) & 0x0000007F0000007Fu;
  x = hundreds | ((x - hundreds * 100) << 16);
  const std::uint64_t tens = ((x * 103) >> 10) & 0x000F000F000F000Fu;
  return tens | ((x - tens * 10) << 8);
}

// The short path's text in a field narrower than 8 or with more than eight
// columns before the point: put together in a scratch line ending at column
// 24 (point at 23 - d), the field copied from its end. Kept out of line so
// that the common fields need no stack frame for the scratch line.
template <std::size_t decimals>
[[gnu::noinline]] void write_narrow_fixed(std::span<char> out,
                                          std::uint64_t integer,
                                          std::uint64_t rest, bool negative,
                                          std::size_t before_point) {
  constexpr std::uint64_t kBlanks = 0x2020202020202020u;
  std::array<char, 32> line{};
  std::memcpy(line.data(), &kBlanks, 8);
  std::memcpy(line.data() + 8, &kBlanks, 8);
  const std::size_t point = 23 - decimals;
  std::memcpy(line.data() + point - 8, &integer, 8);
  std::memcpy(line.data() + point, &rest, 8);
  if (negative) {
    line[point - before_point - 1] = '-';
  }
  std::copy_n(line.data() + 24 - out.size(), out.size(), out.begin());
}

// The n <= 4 ASCII digits of r < 10^n, leading zeros included, most
// significant first in memory (the low byte). Each quotient by 100 is a
// multiply and a shift, exact in its range; the pairs come from a table.
template <std::size_t n>
[[gnu::always_inline]] inline std::uint64_t ascii_digits(std::uint64_t r) {
  const auto pair = [](std::uint64_t i) {
    std::uint16_t two = 0;
    std::memcpy(&two, digits_detail::kDigitPairs.data() + 2 * i, 2);
    return std::uint64_t{two};
  };
  if constexpr (n == 1) {
    return '0' + r;
  } else if constexpr (n == 2) {
    return pair(r);
  } else if constexpr (n == 3) {
    const std::uint64_t hundreds = (r * 41) >> 12;
    return ('0' + hundreds) | pair(r - hundreds * 100) << 8;
  } else {
    static_assert(n == 4);
    const std::uint64_t hundreds = (r * 5243) >> 19;
    return pair(hundreds) | pair(r - hundreds * 100) << 16;
  }
}

// How many digits before the point write_small_fixed handles: two, where
// the d + 2 digits of r fit ascii_digits (d <= 2), else one.
template <std::size_t decimals>
inline constexpr std::size_t kSmallWhole = decimals <= 2 ? 2 : 1;

// Fw.d, 8 <= w <= 16, of a value whose rounded digits r < 10^(d + kSmallWhole)
// have at most kSmallWhole digits before the point (the "0" of a value below
// one included, which always fits here): nearly every field of a tableau.
// Its characters, the sign before them and blanks to their left are known
// places in the field's last eight columns, so no digit needs counting; a
// leading zero of the integer part turns into a blank and the sign moves
// right over it, by arithmetic (which way it goes varies from field to
// field, so no branch).
template <std::size_t decimals>
[[gnu::always_inline]] inline void write_small_fixed(std::span<char> out,
                                                     std::uint64_t r,
                                                     bool negative) {
  constexpr std::size_t kWhole = kSmallWhole<decimals>;
  constexpr std::uint64_t kBlanks = 0x2020202020202020u;
  const std::uint64_t digits = ascii_digits<decimals + kWhole>(r);
  // The integer digits, the point, the decimals.
  constexpr unsigned kIntegerBits = 8 * kWhole;
  const std::uint64_t text =
      (digits & ((std::uint64_t{1} << kIntegerBits) - 1)) |
      std::uint64_t{'.'} << kIntegerBits |
      (digits >> kIntegerBits) << (kIntegerBits + 8);
  constexpr unsigned kTextStart = 8 * (7 - kWhole - decimals);
  std::uint64_t last = (kBlanks >> (64 - kTextStart)) | text << kTextStart;
  // A leading zero among two integer digits: its '0' becomes a blank.
  std::uint64_t short_whole = 0;
  if constexpr (kWhole == 2) {
    short_whole = r < digits_detail::kPow10[decimals + 1] ? 1 : 0;
    last -= (short_whole * std::uint64_t{'0' - ' '}) << kTextStart;
  }
  // The sign in the column before the first digit shown, added to its blank.
  last += (static_cast<std::uint64_t>(negative) * std::uint64_t{'-' - ' '})
          << (kTextStart - 8 + 8 * short_whole);
  std::memcpy(out.data(), &kBlanks, 8);
  std::memcpy(out.data() + out.size() - 8, &last, 8);
}

// Fw.d for the values most fields meet: up to three decimals, no scale
// factor, |value| < 2^52 whose rounded digits number at most eight, a field
// at most 16 wide. The digits come from one integer and are put together in
// registers. False when the value or the field is not one of those; the
// general path then writes the field.
// One instance per count of decimals, so that every shift is a constant;
// inlined, so that a run of fields of one width folds the width in too.
template <std::size_t decimals>
[[gnu::always_inline]] inline bool render_short_fixed(std::span<char> out,
                                                      double value) {
  constexpr std::size_t kMaxWidth = 16;
  constexpr std::uint64_t kEightDigitLimit = 100000000;
  std::uint64_t r = 0;
  const std::size_t w = out.size();
  if (w > kMaxWidth || !round_short_fixed(value, decimals, r) ||
      r >= kEightDigitLimit) {
    return false;
  }
  // The sign bit of anything but a zero, read from the bits.
  const auto bits = std::bit_cast<std::uint64_t>(value);
  // (Both tests and-ed as bits: half the values are negative, a branch on
  // the first would be a coin toss.)
  const bool negative =
      ((bits >> 63) & static_cast<std::uint64_t>((bits << 1) != 0)) != 0;
  if (w >= 8 && r < digits_detail::kPow10[decimals + kSmallWhole<decimals>])
      [[likely]] {
    write_small_fixed<decimals>(out, r, negative);
    return true;
  }
  const std::size_t sign = negative ? 1 : 0;
  const std::uint64_t digits = eight_digits(static_cast<std::uint32_t>(r));
  // The integer part's digits, none when it is 0; that 0 is shown only
  // when it fits with the sign. They are the first 8 - d digits, moved up
  // by d: their leading zero bytes are then the low ones. Zeros are common
  // in a tableau; the top bit set keeps the count of trailing zeros from
  // needing a branch for them (63, which with the 1 added counts all eight
  // bytes), and a digit byte's own trailing zeros (at most 3) are
  // discarded with the rest of the byte.
  const std::uint64_t integer_digits = digits << (8 * decimals);
  const std::size_t whole =
      8 - (static_cast<std::size_t>(
               std::countr_zero(integer_digits | (std::uint64_t{1} << 63))) +
           1) /
              8;
  const std::size_t length = whole + 1 + decimals;
  if (length + sign > w) {
    field_reference::fill(out, '*');
    return true;
  }
  constexpr std::uint64_t kZeros = 0x3030303030303030u;
  constexpr std::uint64_t kBlanks = 0x2020202020202020u;
  // The integer part in eight columns, its units digit last: the first
  // 8 - d digits moved up by d, every column before the integer part's own
  // digits blank, then the "0" of a value below one (when it fits with the
  // sign) and the sign. Each is added to blanks: no byte carries.
  // The sign and the leading zero vary from one value to the next as a coin
  // does: they are added arithmetically, never branched on.
  const bool lead_zero = (whole == 0) & (length + 1 + sign <= w);
  const std::size_t before_point = whole + (lead_zero ? 1 : 0);
  const std::size_t shown = before_point + sign;
  const std::uint64_t blank_mask =
      (~std::uint64_t{0} >> (4 * whole)) >> (4 * whole);
  std::uint64_t integer =
      kBlanks + ((integer_digits + (kZeros - kBlanks)) & ~blank_mask);
  integer +=
      static_cast<std::uint64_t>(lead_zero) * (std::uint64_t{'0' - ' '} << 56);
  // The decimals after the point, in the next word.
  std::uint64_t rest = '.';
  if constexpr (decimals > 0) {
    rest |= ((digits >> (64 - 8 * decimals)) + (kZeros >> (64 - 8 * decimals)))
            << 8;
  }
  if (w >= 8 && shown <= 8) {
    // The sign in the column left of the digits (and the "0"): from the
    // top byte down by their count, at most 7 here with a sign. (Without
    // one the count may be 8; the shift is then kept in range and the term
    // is zero anyway.)
    integer += (static_cast<std::uint64_t>(negative) *
                (std::uint64_t{'-' - ' '} << 56)) >>
               ((8 * before_point) & 63);
    // The text is the integer word, then the rest: 9 + d columns ending the
    // field, blanks before them. The field's last eight columns and its
    // first eight are cut from it in registers and stored whole, so nothing
    // is read back from memory.
    const std::uint64_t last =
        (integer >> (8 * (decimals + 1))) | (rest << (8 * (7 - decimals)));
    std::uint64_t first = 0;
    const auto text = static_cast<std::int64_t>(9 + decimals);
    const std::int64_t spare = static_cast<std::int64_t>(w) - text;
    if (spare >= 0) {
      const auto b = static_cast<unsigned>(8 * spare);
      first = spare == 0 ? integer : (integer << b) | (kBlanks >> (64 - b));
    } else {
      const auto b = static_cast<unsigned>(-8 * spare);
      first = (integer >> b) | (rest << (64 - b));
    }
    std::memcpy(out.data(), &first, 8);
    std::memcpy(out.data() + w - 8, &last, 8);
    return true;
  }
  write_narrow_fixed<decimals>(out, integer, rest, negative, before_point);
  return true;
}

bool render_short_fixed(std::span<char> out, std::int32_t d, double value) {
  switch (d) {
    case 0:
      return render_short_fixed<0>(out, value);
    case 1:
      return render_short_fixed<1>(out, value);
    case 2:
      return render_short_fixed<2>(out, value);
    case 3:
      return render_short_fixed<3>(out, value);
    default:
      return false;
  }
}

}  // namespace

void render_fixed(std::span<char> out, std::int32_t d, std::int32_t k,
                  double value) {
  // An empty field needs no test here: the short path writes nothing into
  // it (at most asterisks over no columns), the reference returns at once.
  if (k == 0 && !reference_only() && render_short_fixed(out, d, value)) {
    return;
  }
  field_reference::render_fixed(out, d, k, value);
}

namespace {

// Runs of fields of one width and one count of decimals, side by side:
// with both fixed, the short paths' width tests and shifts are constants.
// A kind of run says which (decimals, width) pairs its short path takes and
// renders a run of them; the table below holds one instance per pair.
using Run = void (*)(char*, std::span<const double>);
constexpr std::size_t kRunMinWidth = 8;
constexpr std::size_t kRunMaxWidth = 16;

// Fw.d without a scale factor, up to three decimals, any width the short
// path stores as two words.
struct FixedRuns {
  static constexpr std::int32_t kScale = 0;
  static constexpr std::size_t kMaxDecimals = kMaxShortDecimals;
  template <std::size_t decimals, std::size_t width>
  static constexpr bool takes() {
    return true;
  }
  template <std::size_t decimals, std::size_t width>
  static void run(char* at, std::span<const double> values) {
    for (const double value : values) {
      const std::span<char> field(at, width);
      if (!render_short_fixed<decimals>(field, value)) {
        field_reference::render_fixed(field, decimals, 0, value);
      }
      at += width;
    }
  }
  static void one(std::span<char> out, std::int32_t d, std::int32_t k,
                  double value) {
    render_fixed(out, d, k, value);
  }
};

// Ew.d with 1P, the scale factor of nearly every E field: d + 1 <= 4
// significant digits, one before the point, an exponent of two digits, in
// a field wide enough for the text and its sign (w >= d + 7, up to 16). The
// text is put together in a 16-column line in registers, right-justified,
// and the field's first and last eight columns are stored from it. An
// exact zero is copied whole. False, nothing written, for values outside
// round_short_significant's range (their exponents are all within two
// digits).
// Ew.d of an exact zero, which takes neither the scale factor nor the sign:
// "0." (the "0" always fits here), d zeros and "E+00", right-justified.
template <std::size_t decimals, std::size_t width>
constexpr std::array<char, width> kExpZero = [] {
  std::array<char, width> text{};
  text.fill(' ');
  const std::size_t point = width - 5 - decimals;
  text[point - 1] = '0';
  text[point] = '.';
  for (std::size_t i = point + 1; i < width - 4; ++i) text[i] = '0';
  text[width - 4] = 'E';
  text[width - 3] = '+';
  text[width - 2] = '0';
  text[width - 1] = '0';
  return text;
}();

template <std::size_t decimals, std::size_t width>
[[gnu::always_inline]] inline bool render_short_exp(char* out, double value) {
  static_assert(width >= decimals + 7 && width <= 16 && width >= 8);
  std::uint64_t r = 0;
  std::int32_t e = 0;
  if (!round_short_significant(value, decimals + 1, r, e)) {
    // Zeros are common in a tableau; tested only once the digits failed,
    // they cost the other values nothing.
    if (value != 0) return false;
    std::memcpy(out, kExpZero<decimals, width>.data(), width);
    return true;
  }
  constexpr std::uint64_t kBlanks = 0x2020202020202020u;
  // With 1P the mantissa is d.ddd and the exponent e - 1.
  const std::int32_t shown = e - 1;
  const std::uint64_t below_one = shown < 0 ? 1u : 0u;
  const auto magnitude = static_cast<std::uint64_t>(shown < 0 ? -shown : shown);
  const std::uint64_t exponent =
      'E' | ('+' + 2 * below_one) << 8 | ascii_digits<2>(magnitude) << 16;
  const std::uint64_t digits = ascii_digits<decimals + 1>(r);
  const std::uint64_t mantissa =
      (digits & 0xFF) | std::uint64_t{'.'} << 8 | (digits >> 8) << 16;
  // The text, d + 6 characters, ends a 16-column line: `high` holds its
  // last eight columns (the exponent and up to four characters before it),
  // `low` the eight before them, blanks where there is no text.
  constexpr std::size_t kMantissa = decimals + 2;
  std::uint64_t high = exponent << 32;
  std::uint64_t low = kBlanks;
  if constexpr (kMantissa < 4) {
    high |=
        mantissa << (8 * (4 - kMantissa)) | kBlanks >> (8 * (4 + kMantissa));
  } else if constexpr (kMantissa == 4) {
    high |= mantissa;
  } else {
    high |= mantissa >> (8 * (kMantissa - 4));
    low = kBlanks >> (8 * (kMantissa - 4)) | mantissa << (8 * (12 - kMantissa));
  }
  // The sign bit (never a zero here) adds '-' to the blank before the text.
  const std::uint64_t minus =
      (std::bit_cast<std::uint64_t>(value) >> 63) * std::uint64_t{'-' - ' '};
  constexpr std::size_t kSign = 15 - (decimals + 6);  // its column in the line
  if constexpr (kSign >= 8) {
    high += minus << (8 * (kSign - 8));
  } else {
    low += minus << (8 * kSign);
  }
  // The field is the line's last `width` columns.
  std::uint64_t first = high;
  if constexpr (width == 16) {
    first = low;
  } else if constexpr (width > 8) {
    first = low >> (8 * (16 - width)) | high << (8 * (width - 8));
  }
  std::memcpy(out, &first, 8);
  std::memcpy(out + width - 8, &high, 8);
  return true;
}

// Ew.d with 1P, up to four significant digits, in a field that holds the
// text with its sign.
struct ExpRuns {
  static constexpr std::int32_t kScale = 1;
  static constexpr std::size_t kMaxDecimals = 3;
  template <std::size_t decimals, std::size_t width>
  static constexpr bool takes() {
    return width >= decimals + 7;
  }
  template <std::size_t decimals, std::size_t width>
  static void run(char* at, std::span<const double> values) {
    for (const double value : values) {
      if (!render_short_exp<decimals, width>(at, value)) {
        render_exp(std::span<char>(at, width), decimals, 1, value);
      }
      at += width;
    }
  }
  static void one(std::span<char> out, std::int32_t d, std::int32_t k,
                  double value) {
    render_exp(out, d, k, value);
  }
};

template <class Kind, std::size_t decimals, std::size_t width>
constexpr Run run_of() {
  if constexpr (Kind::template takes<decimals, width>()) {
    return &Kind::template run<decimals, width>;
  } else {
    return nullptr;
  }
}

template <class Kind, std::size_t decimals, std::size_t... offset>
constexpr std::array<Run, sizeof...(offset)> runs_of(
    std::index_sequence<offset...> /*widths*/) {
  return {run_of<Kind, decimals, kRunMinWidth + offset>()...};
}

template <class Kind, std::size_t... decimals>
constexpr auto run_table(std::index_sequence<decimals...> /*counts*/) {
  return std::array{runs_of<Kind, decimals>(
      std::make_index_sequence<kRunMaxWidth - kRunMinWidth + 1>())...};
}

template <class Kind>
constexpr auto kRuns =
    run_table<Kind>(std::make_index_sequence<Kind::kMaxDecimals + 1>());

// The values' fields w = out.size() / values.size() wide: as one run where
// the kind's short path takes the width, the decimals and the scale factor,
// one field at a time otherwise.
template <class Kind>
void render_each(std::span<char> out, std::int32_t d, std::int32_t k,
                 std::span<const double> values) {
  if (values.empty()) {
    return;
  }
  const std::size_t w = out.size() / values.size();
  assert(w * values.size() == out.size());
  if (k == Kind::kScale && !reference_only() && d >= 0 &&
      std::size_t(d) <= Kind::kMaxDecimals && w >= kRunMinWidth &&
      w <= kRunMaxWidth) {
    if (const Run run = kRuns<Kind>[std::size_t(d)][w - kRunMinWidth]) {
      run(out.data(), values);
      return;
    }
  }
  for (std::size_t i = 0; i < values.size(); ++i) {
    Kind::one(out.subspan(i * w, w), d, k, values[i]);
  }
}

}  // namespace

void render_exp_each(std::span<char> out, std::int32_t d, std::int32_t k,
                     std::span<const double> values) {
  render_each<ExpRuns>(out, d, k, values);
}

void render_fixed_each(std::span<char> out, std::int32_t d, std::int32_t k,
                       std::span<const double> values) {
  render_each<FixedRuns>(out, d, k, values);
}

void render_int(std::span<char> out, std::int32_t value) {
  field_reference::render_int(out, value);
}

void render_exp(std::span<char> out, std::int32_t d, std::int32_t k,
                double value) {
  field_reference::render_exp(out, d, k, value);
}

void force_reference_fields(bool on) {
  reference_fields.store(on, std::memory_order_relaxed);
}

}  // namespace recio
