#pragma once
// One output field's text from a value: pure functions of the value, the
// width, the decimals and the scale factor. No unit, and no state but the
// test switch at the end.
//
// Real digits come from the exact binary value, rounded once, half away
// from zero (float_digits). A value that does not fit is w asterisks. In F
// and E fields a NaN is " NaN" and an infinity " Infinity" or " -Infinity",
// from the second column with blanks after it; a field exactly as wide as
// the text holds it from the first column, a narrower one is asterisks.
//
// Each kind has one reference definition (field_reference.h); render_int
// and render_exp are theirs alone. The fast paths (field_out.cpp) give
// the same text for the fields they hold and defer to the reference for the
// rest: render_fixed takes Fw.d without a scale factor, up to three
// decimals and 16 columns, of values whose rounded digits number at most
// eight; render_fixed_each adds runs of such fields 8 to 16 wide, and
// render_exp_each runs of 1P,Ew.d with up to three decimals, 8 to 16 wide.
// force_reference_fields switches the fast paths off.

#include <cstdint>
#include <span>

namespace recio {

// Iw: right-justified decimal, "-" directly before the digits of a negative
// value, w asterisks when it does not fit. The field is out.size() wide.
void render_int(std::span<char> out, std::int32_t value);

// Fw.d with scale factor k (the value is multiplied by 10.0, k times over,
// 0.1 for k < 0, in double arithmetic, before rendering). "-" for a negative
// value, even one that rounds to zero (-0.001 in F7.2 is "  -0.00"); no sign
// for an exact zero of either sign. A value below one gets a "0" before the
// point only when it fits with the sign: -.50 in F4.2, .50 in F3.2. The
// field is out.size() wide; d < 0 gives asterisks.
void render_fixed(std::span<char> out, std::int32_t d, std::int32_t k,
                  double value);

// Fw.d for each value in turn, the fields side by side: the same text as
// render_fixed on each w-column piece of out, w = out.size() / the number of
// values (a whole multiple). The tableau's lines are such runs.
void render_fixed_each(std::span<char> out, std::int32_t d, std::int32_t k,
                       std::span<const double> values);

// Ew.d with scale factor k: k > 0 gives d + 1 significant digits, k of them
// before the point (1P: one); k <= 0 gives "0.", -k zeros and d + k digits.
// The exponent is "E+dd" up to 99 and "+ddd" from 100 to 999; outside
// -d < k <= d + 1, or past 999, the field is asterisks. An exact zero takes
// k as 0 and no sign: 1P,E10.3 of 0 is " 0.000E+00". The field is
// out.size() wide.
void render_exp(std::span<char> out, std::int32_t d, std::int32_t k,
                double value);

// Ew.d for each value in turn, the fields side by side, as render_fixed_each
// for Fw.d: the same text as render_exp on each w-column piece of out.
void render_exp_each(std::span<char> out, std::int32_t d, std::int32_t k,
                     std::span<const double> values);

// For tests: on, every F and E field, alone or in a run, is written by its
// reference definition, so that the fast paths can be held to it and a
// rounding question settled in one place; off (the default), the fast paths
// take the fields they hold. Set it while no other thread writes fields.
void force_reference_fields(bool on);

}  // namespace recio
