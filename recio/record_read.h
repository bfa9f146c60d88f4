#pragma once
// Formatted read statements: read records from a unit and convert fields.
//
//   recio::ReadStatement r(5, kIntegers);   // reads one record
//   r.get(iunit); r.get(iout);
//   r.finish();
//
// A statement always consumes at least one record; when the items outlast
// the layout, the next record is read and the layout starts again.

#include <cstdint>
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
  void finish() {}

 private:
  void next_record();
  // Skips descriptors up to the next data descriptor (the next record and
  // the layout again when it runs out) and returns it.
  const Descriptor& next_data();
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
