#pragma once
// Formatted read statements: read records from a unit and convert fields.
//
//   recio::ReadStatement r(5, kIntegers);   // reads one record
//   r.get(iunit); r.get(iout);
//   r.finish();
//
// A statement always consumes at least one record; when the items outlast
// the layout, the next record is read and the layout starts again.

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "recio/layout.h"

namespace recio {

class FormattedInput;

class ReadStatement {
 public:
  ReadStatement(std::int32_t unit, const Layout& layout);
  // The statement keeps a reference to its layout: no temporaries.
  ReadStatement(std::int32_t unit, Layout&& layout) = delete;
  ReadStatement(const ReadStatement&) = delete;
  ReadStatement& operator=(const ReadStatement&) = delete;

  void get(std::int32_t& value);
  void get(double& value);
  // Reals into values[0], values[1], ... in turn, as get() on each does;
  // the fields of a data descriptor's repeats are read in one loop.
  void get(std::span<double> values);
  // Reals for items 0, ..., n - 1, each handed to store(i, value) once
  // read, gathered in spans (a tableau row, say, has its own stride).
  template <class Store>
  void get_each(std::size_t n, Store store) {
    constexpr std::size_t kChunk = 64;
    std::array<double, kChunk> chunk;
    for (std::size_t i = 0; i < n; i += kChunk) {
      const std::size_t count = std::min(kChunk, n - i);
      get(std::span<double>(chunk.data(), count));
      for (std::size_t j = 0; j < count; ++j) store(i + j, chunk[j]);
    }
  }
  void finish() {}

 private:
  void next_record();
  // Skips descriptors up to the next data descriptor (the next record and
  // the layout again when it runs out) and returns it.
  const Descriptor& next_data() {
    std::int32_t count = 0;
    return next_data(1, count);
  }
  // The data descriptor for up to `most` next items, and in `count` how
  // many of them it takes in a row.
  const Descriptor& next_data(std::int32_t most, std::int32_t& count);
  // The next field of `width` columns: shorter where the record ends or a
  // comma ends it early.
  std::string_view cut_field(std::int32_t width);

  std::int32_t unit_;
  const Layout& layout_;
  FormattedInput& in_;
  std::string_view record_;
  std::size_t pos_ = 0;
  bool commas_ = false;  // whether the record holds a comma
  LayoutCursor cursor_;
};

}  // namespace recio
