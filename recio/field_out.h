#pragma once
// One output field's text from a value: pure functions of the value, the
// width, the decimals and the scale factor. No unit, no state.

#include <cstdint>
#include <span>

namespace recio {

// Iw: right-justified decimal, "-" directly before the digits of a negative
// value, w asterisks when it does not fit. The field is out.size() wide.
void render_int(std::span<char> out, std::int32_t value);

// Fw.d with scale factor k (the value is multiplied by 10.0, k times over,
// before rendering). Digits come from the exact binary value, rounded half
// away from zero. The field is out.size() wide.
void render_fixed(std::span<char> out, std::int32_t d, std::int32_t k,
                  double value);

// Ew.d with scale factor k: 1P gives one digit before the point; the
// exponent is "E+dd" up to 99 and "+ddd" from 100 on. The field is
// out.size() wide.
void render_exp(std::span<char> out, std::int32_t d, std::int32_t k,
                double value);

}  // namespace recio
