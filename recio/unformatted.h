#pragma once
// Unformatted sequential records: a 4-byte little-endian length, the items'
// bytes, the length again.

#include <cstdint>
#include <span>
#include <string_view>

namespace recio {

class Unit;

// The rewind of a unit, formatted or unformatted, is in units.h.

// Opens `unit` on a new file `name` ("NEW", unformatted, sequential). A repeat
// open of the same file on the same unit changes nothing.
void open_new_unformatted(std::int32_t unit, std::string_view name);

// One record: built in memory, then written as length, bytes, length.
class UnformattedWrite {
 public:
  explicit UnformattedWrite(std::int32_t unit);
  UnformattedWrite(const UnformattedWrite&) = delete;
  UnformattedWrite& operator=(const UnformattedWrite&) = delete;

  void put(double value);
  void put(std::int32_t value);
  void finish();

 private:
  std::int32_t unit_;
  Unit& u_;
};

// Reads the next record of `unit` whole; items are then taken in order.
class UnformattedRead {
 public:
  explicit UnformattedRead(std::int32_t unit);
  UnformattedRead(const UnformattedRead&) = delete;
  UnformattedRead& operator=(const UnformattedRead&) = delete;

  double get_real();
  std::int32_t get_int();
  void finish() {}

 private:
  std::int32_t unit_;
  Unit& u_;
  std::size_t pos_ = 0;
};

}  // namespace recio
