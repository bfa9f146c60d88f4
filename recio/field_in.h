#pragma once
// One input field's value from its text: pure functions. The caller has
// already cut the field (a comma ends it early; a short record pads it with
// blanks), so `text` holds just the field's characters. On false the value
// is left as it was.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace recio {

// Cuts the next field of `width` columns from `record` at `pos` and moves
// `pos` past it: shorter where the record ends (a field beyond the end is
// empty and reads as blanks), or where a comma ends it early (the next field
// then starts after the comma).
// `commas` false says the record holds none, so no field needs a look.
inline std::string_view cut_field(std::string_view record, std::size_t& pos,
                                  std::size_t width, bool commas = true) {
  if (pos >= record.size()) {
    pos += width;
    return {};
  }
  const std::string_view field = record.substr(pos, width);
  const std::size_t comma = commas ? field.find(',') : std::string_view::npos;
  if (comma != std::string_view::npos) {
    pos += comma + 1;
    return field.substr(0, comma);
  }
  pos += width;
  return field;
}

// Iw: blanks ignored, an optional sign, decimal digits. An empty or blank
// field, or a sign alone, is 0. Returns false for any other character or a
// value outside the 4-byte range (the caller reports input conversion error
// 64).
[[nodiscard]] bool parse_int(std::string_view text, std::int32_t& value);

// Fw.d / Ew.d: blanks ignored; sign, digits with at most one ".", optional
// exponent (E, D or Q in either case, or a bare sign: 1.5+3 is 1500.0).
// Without a "." the last d digits of the mantissa are decimals. The result
// is the nearest double (ties to even), infinite or zero beyond the range.
// An empty or blank field, or a sign alone, is 0 (with that sign). Returns
// false on text outside this grammar: no mantissa digit ("." or "E5"), an
// exponent marker without digits ("1.5E", "1.5+"), words such as "inf".
[[nodiscard]] bool parse_real(std::string_view text, std::int32_t d,
                              double& value);

}  // namespace recio
