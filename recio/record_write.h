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

#include <cstdint>
#include <string_view>

#include "recio/layout.h"

namespace recio {

class FormattedOutput;  // the unit's record buffer (units.h)

class WriteStatement {
 public:
  WriteStatement(std::int32_t unit, const Layout& layout);
  // The statement keeps a reference to its layout: no temporaries.
  WriteStatement(std::int32_t unit, Layout&& layout) = delete;
  WriteStatement(const WriteStatement&) = delete;
  WriteStatement& operator=(const WriteStatement&) = delete;
  ~WriteStatement() = default;

  void put(std::int32_t value);
  void put(double value);
  void put(std::string_view text);
  // Ends the statement: writes literals up to the next data descriptor or the
  // end of the layout, then the record unless `$` held it open.
  void finish();

 private:
  // Acts on descriptors up to the next data descriptor, starting the layout
  // again on a new record when it runs out, and returns that descriptor.
  const Descriptor& next_data();
  // Carries out one descriptor that takes no item.
  void act(const Descriptor& d);

  std::int32_t unit_;
  const Layout& layout_;
  FormattedOutput& out_;
  std::size_t index_ = 0;       // current descriptor
  std::int32_t repeat_left_ = 0;  // repeats left of the current data descriptor
  std::int32_t scale_ = 0;
  bool dollar_ = false;
};

// A statement with no items: write(6, layout) for literal-only layouts.
void write_record(std::int32_t unit, const Layout& layout);

}  // namespace recio
