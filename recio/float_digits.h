#pragma once
// Decimal digits of a double, taken from its exact binary value and rounded
// exactly once, half away from zero, with the carry included. Every real
// field draws its digits from here.

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>

namespace recio {

// The `point` argument of significant_digits when no "." is wanted.
inline constexpr std::size_t kNoPoint = std::numeric_limits<std::size_t>::max();

// Writes the first n significant decimal digits of |value| to `out` as
// characters '0'..'9', rounded half away from zero at the last of them.
// Without a point n is out.size(); with point <= n, a "." follows the first
// `point` digits and n is out.size() - 1. `value` must be finite and not
// zero, and n at least 1.
// Returns the decimal exponent e of the rounded value:
// |value| ~ 0.d1 d2 ... dn x 10^e, so d1 is never '0'.
// 9.9996 to 4 digits with point 1 is "1.000" and e = 2: the carry adds a
// digit, so the exponent goes up.
[[nodiscard]] std::int32_t significant_digits(double value, std::span<char> out,
                                              std::size_t point = kNoPoint);

// Writes |value| rounded half away from zero to `decimals` (>= 0) digits
// after the point, right-aligned at the end of `out`: the integer digits
// (none when the integer part is 0), ".", then exactly `decimals` digits.
// No sign. `value` must be finite.
// Returns the length written, or -1 (out unspecified) when it is longer
// than out.size().
// 0.125 with 2 decimals is ".13"; 2.675 is "2.67" (the double lies below
// 2.675); 9.996 is "10.00"; -0.001 is ".00"; 0 is ".00".
[[nodiscard]] std::int32_t fixed_digits(double value, std::int32_t decimals,
                                        std::span<char> out);

// |value| x 10^decimals rounded half away from zero, for decimals <= 3 and
// |value| < 2^52, with 64-bit integers alone: the 53-bit significand times
// 10^decimals stays below 2^63 and is exact, and the binary point falls
// inside it or above it, so the bits below the point decide the rounding
// exactly (a tie is the bit just below the point set, and goes up). Zeros
// and subnormals give 0. False, `rounded` untouched, outside that range (and
// for infinities and NaNs).
inline constexpr std::size_t kMaxShortDecimals = 3;

[[nodiscard]] inline bool round_short_fixed(double value, std::size_t decimals,
                                            std::uint64_t& rounded) {
  static constexpr std::array<std::uint64_t, kMaxShortDecimals + 1> kScale = {
      1, 10, 100, 1000};
  const auto bits = std::bit_cast<std::uint64_t>(value);
  const auto biased = static_cast<std::int32_t>((bits >> 52) & 0x7FF);
  if (decimals > kMaxShortDecimals || biased >= 1075) {
    return false;
  }
  const std::uint64_t m =
      (bits & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52);
  const std::uint64_t x = m * kScale[decimals];
  // The binary point lies `below` + 1 bits up in x (`below` 0 and up).
  const std::int32_t below = 1074 - biased;
  // From 63 on, x / 2^(below + 1) < 2^63 / 2^64 lies below one half; zeros
  // and subnormals (biased 0) are among those. Otherwise x with one bit
  // below the point kept, plus that bit's half, halved: the rounded quotient
  // in one shift (x < 2^63, so the sum does not overflow).
  rounded = below >= 63 ? 0 : ((x >> below) + 1) >> 1;
  return true;
}

}  // namespace recio
