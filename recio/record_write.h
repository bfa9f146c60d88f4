#pragma once
// Formatted write statements: walk a layout over items and write records to
// a unit.
//
//   recio::WriteStatement w(6, kTableauRow);
//   for (std::int32_t j = 1; j <= n; ++j) w.put(a(i, j));
//   w.finish();
//
// The statement continues a record that the unit's previous statement left
// open with `$`. finish() writes the last record (unless the layout ended in
// `$`); the destructor never writes.

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <type_traits>

#include "recio/errors.h"
#include "recio/field_out.h"
#include "recio/layout.h"
#include "recio/units.h"

namespace recio {

// Whether the descriptor is for an item of the value's type.
inline bool takes(const Descriptor& d, std::int32_t /*value*/) {
  return d.kind == Descriptor::Kind::kInt;
}
inline bool takes(const Descriptor& d, double /*value*/) {
  return d.kind == Descriptor::Kind::kFixed || d.kind == Descriptor::Kind::kExp;
}

// One item's field at the output's current position: false, with nothing
// written, when the descriptor is not for an item of that type.
inline bool write_field(FormattedOutput& out, const Descriptor& d,
                        std::int32_t /*scale*/, std::int32_t value) {
  if (d.kind != Descriptor::Kind::kInt) return false;
  const auto w = static_cast<std::size_t>(d.width);
  render_int(std::span<char>(out.place(w), w), value);
  return true;
}

// A run of F or E fields side by side, one per value.
inline void render_real_each(const Descriptor& d, std::int32_t scale,
                             std::span<char> out,
                             std::span<const double> values) {
  if (d.kind == Descriptor::Kind::kFixed) {
    render_fixed_each(out, d.decimals, scale, values);
  } else {
    render_exp_each(out, d.decimals, scale, values);
  }
}

inline bool write_field(FormattedOutput& out, const Descriptor& d,
                        std::int32_t scale, double value) {
  const auto w = static_cast<std::size_t>(d.width);
  if (d.kind == Descriptor::Kind::kFixed) {
    render_fixed(std::span<char>(out.place(w), w), d.decimals, scale, value);
  } else if (d.kind == Descriptor::Kind::kExp) {
    render_exp(std::span<char>(out.place(w), w), d.decimals, scale, value);
  } else {
    return false;
  }
  return true;
}

// Hands value_at(0), ..., value_at(n - 1) to `take` in order, gathered in
// spans of up to 64 reals: a run of fields is rendered from contiguous
// values, whatever the values' own stride (a tableau row, say).
template <class ValueAt, class Take>
void in_chunks(std::size_t n, ValueAt value_at, Take take) {
  constexpr std::size_t kChunk = 64;
  std::array<double, kChunk> chunk;
  for (std::size_t i = 0; i < n; i += kChunk) {
    const std::size_t count = std::min(kChunk, n - i);
    for (std::size_t j = 0; j < count; ++j) chunk[j] = value_at(i + j);
    take(std::span<const double>(chunk.data(), count));
  }
}

// The statements' hot paths are defined here, inline: a tableau print makes
// one statement per value, hundreds of millions in a run, and each would
// otherwise cost several calls around the one that renders its field.
class WriteStatement {
 public:
  WriteStatement(std::int32_t unit, const Layout& layout)
      : unit_(unit),
        layout_(layout),
        cursor_(layout),
        out_(current_formatted_output(unit)) {
    out_.begin_statement();
  }
  // The statement keeps a reference to its layout: no temporaries.
  WriteStatement(std::int32_t unit, Layout&& layout) = delete;
  WriteStatement(const WriteStatement&) = delete;
  WriteStatement& operator=(const WriteStatement&) = delete;
  ~WriteStatement() = default;

  void put(std::int32_t value);
  void put(double value);
  void put(std::string_view text);
  // The values as items in turn, as put() on each does; the repeats of a
  // data descriptor are rendered as one run.
  void put(std::span<const double> values);
  // Reals value_at(0), ..., value_at(n - 1) as put(span) takes them.
  template <class ValueAt>
  void put_each(std::size_t n, ValueAt value_at) {
    in_chunks(n, value_at, [this](std::span<const double> v) { put(v); });
  }
  // Ends the statement: writes literals up to the next data descriptor or the
  // end of the layout, then the record unless `$` held it open.
  void finish();

 private:
  // Acts on descriptors up to the next data descriptor, starting the layout
  // again on a new record when it runs out, and returns that descriptor.
  const Descriptor& next_data() {
    if (const Descriptor* d = cursor_.take_data()) [[likely]] {
      return *d;
    }
    return next_data_slow();
  }
  // next_data() past descriptors that take no item or the layout's end.
  const Descriptor& next_data_slow() {
    std::int32_t count = 0;
    return next_data(1, count);
  }
  // The data descriptor for up to `most` next items, and in `count` how
  // many of them it takes in a row.
  const Descriptor& next_data(std::int32_t most, std::int32_t& count);
  // Carries out one descriptor that takes no item.
  void act(const Descriptor& d) {
    if (d.kind == Descriptor::Kind::kDollar) {
      dollar_ = true;
    } else {
      act_slow(d);
    }
  }
  void act_slow(const Descriptor& d);

  std::int32_t unit_;
  const Layout& layout_;
  LayoutCursor cursor_;
  FormattedOutput& out_;
  std::int32_t scale_ = 0;
  bool dollar_ = false;
};

inline void WriteStatement::put(std::int32_t value) {
  // The descriptor first: the walk to it may meet a scale factor.
  const Descriptor& d = next_data();
  if (!write_field(out_, d, scale_, value)) {
    fail(Error::kTypeMismatch, unit_);
  }
}

inline void WriteStatement::put(double value) {
  // The descriptor first: the walk to it may meet a scale factor.
  const Descriptor& d = next_data();
  if (!write_field(out_, d, scale_, value)) {
    fail(Error::kTypeMismatch, unit_);
  }
}

inline void WriteStatement::finish() {
  // Literals up to the next data descriptor, or to the end, still belong to
  // this statement.
  while (const Descriptor* d = cursor_.take_other()) act(*d);
  if (dollar_) {
    out_.hold_open();
  } else {
    out_.end_record();
  }
}

// A statement with no items: write(6, layout) for literal-only layouts.
void write_record(std::int32_t unit, const Layout& layout);

// The one data descriptor of a layout that is, in order, an optional scale
// factor, one data descriptor for a single item, and `$`; nullptr for any
// other layout. `scale` gets the factor (0 without one).
const Descriptor* single_item_held_open(const Layout& layout,
                                        std::int32_t& scale);

// Writes value_at(0), ..., value_at(n - 1) (each an std::int32_t or a
// double) with a statement each, exactly as
//   for (i = 0; i < n; ++i) {
//     WriteStatement w(unit, layout); w.put(value_at(i)); w.finish();
//   }
// does. A line built one value at a time (a layout of one descriptor and
// `$`) is the common case: its statements each come to placing one field and
// leaving the record open, without walking the layout.
template <class ValueAt>
void write_each(std::int32_t unit, const Layout& layout, std::size_t n,
                ValueAt value_at) {
  using Value = decltype(value_at(std::size_t{0}));
  std::int32_t scale = 0;
  const Descriptor* d = single_item_held_open(layout, scale);
  if (d != nullptr && takes(*d, Value{})) {
    if (n == 0) return;
    // The fields lie side by side: their room is taken at once, and each
    // statement after the first finds the record open, as `$` left it.
    FormattedOutput& out = current_formatted_output(unit);
    out.begin_statement();
    const auto w = static_cast<std::size_t>(d->width);
    char* at = out.place(w * n);
    if constexpr (std::is_same_v<Value, std::int32_t>) {
      for (std::size_t i = 0; i < n; ++i, at += w) {
        render_int(std::span<char>(at, w), value_at(i));
      }
    } else {
      in_chunks(n, value_at, [&](std::span<const double> values) {
        render_real_each(*d, scale, std::span<char>(at, w * values.size()),
                         values);
        at += w * values.size();
      });
    }
    out.hold_open();
    return;
  }
  // Another layout, or items of the wrong type (which the first statement
  // reports).
  for (std::size_t i = 0; i < n; ++i) {
    WriteStatement w(unit, layout);
    w.put(value_at(i));
    w.finish();
  }
}

}  // namespace recio
