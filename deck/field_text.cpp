#include "deck/field_text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <limits>
#include <string_view>
#include <system_error>
#include <tuple>
#include <vector>

#include "recio/field_in.h"

namespace deck {
namespace {

// The most significant digits a double ever needs to read back exactly.
constexpr int kMaxDigits = 17;

// A decimal number: sign, digits (no leading or trailing zeros) and the power
// of ten of the last digit. 1.25e-7 is {false, "125", -9}.
struct Decimal {
  bool negative;
  std::string digits;
  int exponent;
};

// Among texts that fit, the nearest value wins; then the plainest notation
// (`rank`), then the most conventional spelling within it (`pref`), then the
// shortest.
struct Choice {
  double distance = std::numeric_limits<double>::infinity();
  int rank = 0;
  int pref = 0;
  std::size_t length = 0;
  FieldText field;

  bool beaten_by(double d, int r, int p, std::size_t n) const {
    return std::tie(d, r, p, n) < std::tie(distance, rank, pref, length);
  }
};

class Chooser {
 public:
  Chooser(double value, std::size_t width) : value_(value), width_(width) {}

  // Offers one spelling of a candidate; keeps it when it fits and is better.
  void offer(std::string text, int rank, int pref) {
    if (text.size() > width_) {
      return;
    }
    double back = 0;
    if (!recio::parse_real(text, 0, back)) {
      return;
    }
    const double distance = std::abs(back - value_);
    if (best_.beaten_by(distance, rank, pref, text.size())) {
      best_ =
          Choice{distance, rank, pref, text.size(), {std::move(text), back}};
    }
  }
  bool exact() const { return best_.distance == 0; }
  // Whether `n` zeros alone would already overflow the field.
  bool too_many_zeros(int n) const { return n > static_cast<int>(width_); }
  bool too_long(std::size_t n) const { return n > width_; }
  const FieldText& result() const { return best_.field; }

 private:
  double value_;
  std::size_t width_;
  Choice best_;
};

std::string zeros(int n) {
  return std::string(static_cast<std::size_t>(n), '0');
}

// Joins pieces of text (one allocation, and none of operator+'s temporaries).
std::string cat(std::initializer_list<std::string_view> pieces) {
  std::string out;
  for (const std::string_view p : pieces) out.append(p);
  return out;
}

// Notations, plainest first. A fixed notation that needs more than
// kMaxFillerZeros zeros beside the digits (0.0000001, 100000000.0) is no
// plainer than an exponent.
constexpr int kFixed = 0;
constexpr int kExponent = 1;
constexpr int kBareSign = 2;
constexpr int kMaxFillerZeros = 4;

// Fixed notation: 25.0, 25., 25 for whole numbers; 0.5 or .5 below one.
void offer_fixed(const Decimal& d, Chooser& chooser) {
  const std::string_view sign = d.negative ? "-" : "";
  const int count = static_cast<int>(d.digits.size());
  const int decimals = -d.exponent;
  const int filler = decimals <= 0 ? -decimals : decimals - count;
  if (chooser.too_many_zeros(filler)) {
    return;
  }
  const int rank = filler > kMaxFillerZeros ? kExponent : kFixed;
  if (decimals <= 0) {
    const std::string whole = cat({sign, d.digits, zeros(filler)});
    chooser.offer(cat({whole, ".0"}), rank, 0);
    chooser.offer(cat({whole, "."}), rank, 1);
    chooser.offer(whole, rank, 2);
    return;
  }
  if (decimals < count) {
    const auto split = static_cast<std::size_t>(count - decimals);
    const std::string_view digits = d.digits;
    chooser.offer(
        cat({sign, digits.substr(0, split), ".", digits.substr(split)}), rank,
        0);
    return;
  }
  const std::string fraction = cat({".", zeros(filler), d.digits});
  chooser.offer(cat({sign, "0", fraction}), rank, 0);
  chooser.offer(cat({sign, fraction}), rank, 1);
}

// Exponent notation, the point after the first digit (1.5E-7, 1.0E-7) or,
// less conventionally, anywhere else (15E-8, .15E-6); an exponent of zero or
// more with or without its "+"; and the same with the bare sign the driver
// also reads (1.5-7).
void offer_exponent(const Decimal& d, Chooser& chooser) {
  const std::string_view sign = d.negative ? "-" : "";
  const std::string_view digits = d.digits;
  const int count = static_cast<int>(digits.size());
  struct Mantissa {
    std::string text;
    int pref;
    int before;  // digits before the point
  };
  std::vector<Mantissa> mantissas;
  if (count == 1) {
    mantissas.push_back({cat({sign, digits, ".0"}), 0, 1});
    mantissas.push_back({cat({sign, digits, "."}), 1, 1});
    mantissas.push_back({cat({sign, digits}), 2, 1});
  } else {
    mantissas.push_back({cat({sign, digits}), 3, count});
  }
  for (int before = 0; before < count; ++before) {
    const auto split = static_cast<std::size_t>(before);
    mantissas.push_back(
        {cat({sign, digits.substr(0, split), ".", digits.substr(split)}),
         before == 1 ? 0 : 3, before});
  }
  for (const Mantissa& m : mantissas) {
    const int power = d.exponent + count - m.before;
    const std::string magnitude = std::to_string(std::abs(power));
    if (chooser.too_long(m.text.size() + 1 + magnitude.size())) {
      continue;  // even the bare sign does not fit
    }
    const std::string_view power_sign = power < 0 ? "-" : "+";
    chooser.offer(cat({m.text, "E", power_sign, magnitude}), kExponent,
                  2 * m.pref);
    if (power >= 0) {
      chooser.offer(cat({m.text, "E", magnitude}), kExponent, 2 * m.pref + 1);
    }
    chooser.offer(cat({m.text, power_sign, magnitude}), kBareSign, m.pref);
  }
}

// The decimal digits x 10^exponent, its trailing zeros taken off. `digits`
// is not 0.
Decimal make_decimal(bool negative, std::uint64_t digits, int exponent) {
  while (digits % 10 == 0) {
    digits /= 10;
    ++exponent;
  }
  return {negative, std::to_string(digits), exponent};
}

// The value rounded to `count` significant digits: the digits as an integer
// and the power of ten of the last one.
std::pair<std::uint64_t, int> round_to_digits(double magnitude, int count) {
  std::array<char, 64> buf{};
  const auto [end, ec] =
      std::to_chars(buf.data(), buf.data() + buf.size(), magnitude,
                    std::chars_format::scientific, count - 1);
  (void)ec;  // 64 characters hold any double at 17 digits
  const std::string_view text(buf.data(),
                              static_cast<std::size_t>(end - buf.data()));
  const std::size_t e = text.find('e');
  std::uint64_t digits = 0;
  for (const char c : text.substr(0, e)) {
    if (c != '.') {
      digits = digits * 10 + static_cast<std::uint64_t>(c - '0');
    }
  }
  int power = 0;
  const std::string_view exp_text = text.substr(e + 1);
  std::from_chars(exp_text.data() + (exp_text[0] == '+' ? 1 : 0),
                  exp_text.data() + exp_text.size(), power);
  return {digits, power - (count - 1)};
}

}  // namespace

FieldText real_field_text(double value, std::size_t width) {
  if (value == 0) {
    return {"0.0", 0.0};
  }
  const bool negative = std::signbit(value);
  const double magnitude = std::abs(value);
  Chooser chooser(value, width);
  // The value rounded to `count` digits is the nearest decimal of that many
  // digits, but near a power of two (where the doubles' spacing changes) a
  // neighbour one unit away can read back exactly when the rounded one does
  // not, so both neighbours are offered too. The first count that gives an
  // exact text gives the shortest ones: more digits only make longer texts.
  // No text holds more digits than the field has columns.
  const int most = std::min(kMaxDigits, static_cast<int>(width));
  for (int count = 1; count <= most && !chooser.exact(); ++count) {
    const auto [digits, exponent] = round_to_digits(magnitude, count);
    for (const std::uint64_t candidate : {digits, digits - 1, digits + 1}) {
      if (candidate == 0) {
        continue;
      }
      const Decimal d = make_decimal(negative, candidate, exponent);
      offer_fixed(d, chooser);
      offer_exponent(d, chooser);
    }
  }
  return chooser.result();
}

}  // namespace deck
