#pragma once
// The reference definitions of the output fields: every I, F and E field
// can be written by these alone, and every fast path in field_out.cpp must
// give their text, byte for byte. Read them to settle what a field holds.
//
// They are inline so that field_out.cpp, which alone includes this header,
// compiles them with its runs in one translation unit: a run's fields that
// leave the fast path then reach them with the width and the decimals still
// constants.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>

#include "recio/float_digits.h"

namespace recio::field_reference {

inline void fill(std::span<char> out, char c) {
  std::fill(out.begin(), out.end(), c);
}

// Blanks the columns left of a right-justified field. They are few: up to
// 16 columns two overlapping stores of 4 or 8 blanks
// do it without a call to memset.
inline void blank(std::span<char> out) {
  static constexpr std::array<char, 8> kBlanks = {' ', ' ', ' ', ' ',
                                                  ' ', ' ', ' ', ' '};
  const std::size_t w = out.size();
  if (w >= 8 && w <= 16) {
    std::memcpy(out.data(), kBlanks.data(), 8);
    std::memcpy(out.data() + (w - 8), kBlanks.data(), 8);
  } else if (w >= 4 && w < 8) {
    std::memcpy(out.data(), kBlanks.data(), 4);
    std::memcpy(out.data() + (w - 4), kBlanks.data(), 4);
  } else if (w < 4) {
    for (std::size_t i = 0; i < 3; ++i) {
      if (i < w) {
        out[i] = ' ';
      }
    }
  } else {
    fill(out, ' ');
  }
}

// NaN and the infinities in F and E fields: blank field, text from the
// second column; a field exactly as wide as the text holds it from the first
// column, a narrower one is asterisks. A NaN never shows a sign.
inline void render_non_finite(std::span<char> out, double value) {
  const std::string_view text = std::isnan(value)     ? "NaN"
                                : std::signbit(value) ? "-Infinity"
                                                      : "Infinity";
  if (out.size() < text.size()) {
    fill(out, '*');
    return;
  }
  fill(out, ' ');
  const std::size_t start = out.size() == text.size() ? 0 : 1;
  std::copy(text.begin(), text.end(),
            out.begin() + static_cast<std::ptrdiff_t>(start));
}

// kP on an F field: the value times 10.0, k times over (0.1 for k < 0), in
// double arithmetic, each product rounded as it happens. Once the value is
// zero or infinite nothing changes any more, which also bounds the loop.
inline double apply_scale(double value, std::int32_t k) {
  const double factor = k > 0 ? 10.0 : 0.1;
  const std::int64_t times = k > 0 ? std::int64_t{k} : -std::int64_t{k};
  for (std::int64_t i = 0; i < times; ++i) {
    if (value == 0 || std::isinf(value)) {
      break;
    }
    value *= factor;
  }
  return value;
}

// The exponent field, always four characters: E+dd / E-dd, then +ddd / -ddd
// without the letter. False when |x| > 999 does not fit.
inline bool write_exponent(std::span<char, 4> out, std::int64_t x) {
  if (x < -999 || x > 999) {
    return false;
  }
  const char sign = x < 0 ? '-' : '+';
  const auto magnitude = static_cast<std::uint32_t>(x < 0 ? -x : x);
  if (magnitude <= 99) {
    out[0] = 'E';
    out[1] = sign;
  } else {
    out[0] = sign;
    out[1] = static_cast<char>('0' + magnitude / 100);
  }
  out[2] = static_cast<char>('0' + magnitude / 10 % 10);
  out[3] = static_cast<char>('0' + magnitude % 10);
  return true;
}

inline void render_int(std::span<char> out, std::int32_t value) {
  const bool negative = value < 0;
  // Unsigned negation keeps the most negative value exact.
  std::uint32_t magnitude = negative ? 0u - static_cast<std::uint32_t>(value)
                                     : static_cast<std::uint32_t>(value);
  // Counted by comparisons rather than a loop whose length varies from one
  // value to the next.
  static constexpr std::array<std::uint32_t, 9> kTens = {
      10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000, 1000000000};
  std::size_t digits = 1;
  for (const std::uint32_t power : kTens) {
    digits += magnitude >= power ? 1 : 0;
  }
  const std::size_t needed = digits + (negative ? 1 : 0);
  if (needed > out.size()) {
    fill(out, '*');
    return;
  }
  std::size_t i = out.size();
  while (magnitude >= 10) {
    const std::uint32_t pair = magnitude % 100;
    magnitude /= 100;
    out[--i] = static_cast<char>('0' + pair % 10);
    out[--i] = static_cast<char>('0' + pair / 10);
  }
  if (i > out.size() - digits) {
    out[--i] = static_cast<char>('0' + magnitude);
  }
  if (negative) {
    out[--i] = '-';
  }
  blank(out.first(i));
}

// Kept out of line so that the fast path, which nearly every field takes,
// saves and restores none of the registers this one needs.
[[gnu::noinline]] inline void render_fixed(std::span<char> out, std::int32_t d,
                                           std::int32_t k, double value) {
  if (out.empty()) {
    return;
  }
  if (!std::isfinite(value)) {
    render_non_finite(out, value);
    return;
  }
  if (k != 0) {
    value = apply_scale(value, k);
    if (!std::isfinite(value)) {
      render_non_finite(out, value);
      return;
    }
  }
  // -0.001 in F7.2 is "  -0.00": the sign belongs to the value, not to the
  // rounded digits; only an exact zero goes without it.
  const bool negative = std::signbit(value) && value != 0;
  const std::size_t sign = negative ? 1 : 0;
  const std::int32_t length = fixed_digits(value, d, out.subspan(sign));
  if (length < 0) {
    fill(out, '*');
    return;
  }
  std::size_t start = out.size() - static_cast<std::size_t>(length);
  // A value below one gets a "0" before the point only when it still fits
  // with the sign: -.50 in F4.2, 0.50 in F4.2, .50 in F3.2.
  if (out[start] == '.' && start > sign) {
    out[--start] = '0';
  }
  if (negative) {
    out[--start] = '-';
  }
  blank(out.first(start));
}

inline void render_exp(std::span<char> out, std::int32_t d, std::int32_t k,
                       double value) {
  if (out.empty()) {
    return;
  }
  if (!std::isfinite(value)) {
    render_non_finite(out, value);
    return;
  }
  const std::size_t w = out.size();
  if (d < 0) {
    fill(out, '*');
    return;
  }
  const auto decimals = static_cast<std::size_t>(d);
  if (value == 0) {
    // An exact zero ignores the scale factor and the sign: "0." (the "0"
    // when it fits), d zeros, E+00. 1P,E10.3 of 0 is " 0.000E+00".
    if (decimals + 5 > w) {
      fill(out, '*');
      return;
    }
    std::size_t start = w - decimals - 5;
    out[start] = '.';
    fill(out.subspan(start + 1, decimals), '0');
    std::copy_n("E+00", 4, out.begin() + static_cast<std::ptrdiff_t>(w - 4));
    if (start > 0) {
      out[--start] = '0';
    }
    blank(out.first(start));
    return;
  }
  // k > 0: d + 1 significant digits, k of them before the point (k <= d + 1).
  // k <= 0: "0.", -k zeros, d + k significant digits (k > -d). Outside those
  // bounds the field cannot show a digit in its place: asterisks.
  // (Counted in 64 bits: d and k may be anything.)
  const std::int64_t digits_wanted =
      k > 0 ? std::int64_t{d} + 1 : std::int64_t{d} + k;
  if ((k > 0 && k > digits_wanted) || digits_wanted < 1) {
    fill(out, '*');
    return;
  }
  const auto n = static_cast<std::size_t>(digits_wanted);
  const auto zeros = static_cast<std::size_t>(k > 0 ? 0 : -std::int64_t{k});
  const std::size_t mantissa = n + 1 + zeros;
  const bool negative = std::signbit(value);
  const std::size_t sign = negative ? 1 : 0;
  if (mantissa + 4 + sign > w) {
    fill(out, '*');
    return;
  }
  std::size_t start = w - 4 - mantissa;
  std::int32_t e = 0;  // |value| ~ 0.d1 d2 ... x 10^e after rounding
  if (k > 0) {
    e = significant_digits(value, out.subspan(start, mantissa),
                           static_cast<std::size_t>(k));
  } else {
    out[start] = '.';
    fill(out.subspan(start + 1, zeros), '0');
    e = significant_digits(value, out.subspan(start + 1 + zeros, n));
    if (start > sign) {
      out[--start] = '0';
    }
  }
  // The printed exponent is the rounded value's exponent less k: with 1P the
  // mantissa lies in 1.000... to 9.999...
  if (!write_exponent(out.last<4>(), std::int64_t{e} - k)) {
    fill(out, '*');  // only reachable with |k| in the hundreds
    return;
  }
  if (negative) {
    out[--start] = '-';
  }
  blank(out.first(start));
}

}  // namespace recio::field_reference
