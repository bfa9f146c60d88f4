#include "recio/record_read.h"

#include <algorithm>
#include <cstdint>

#include "recio/field_in.h"
#include "recio/units.h"

namespace recio {

ReadStatement::ReadStatement(std::int32_t unit, const Layout& layout)
    : unit_(unit),
      layout_(layout),
      in_(formatted_input(unit)),
      cursor_(layout) {
  next_record();
}

void ReadStatement::next_record() {
  if (!in_.next_record(record_)) fail(Error::kEndOfFile, unit_);
  pos_ = 0;
  commas_ = record_.find(',') != std::string_view::npos;
}

const Descriptor& ReadStatement::next_data(std::int32_t most,
                                           std::int32_t& count) {
  for (;;) {
    if (const Descriptor* d = cursor_.take_data(most, count)) return *d;
    if (const Descriptor* d = cursor_.take_other()) {
      if (d->kind == Descriptor::Kind::kSkip) {
        pos_ += std::size_t(d->width);
      } else if (d->kind == Descriptor::Kind::kSlash) {
        next_record();
      }
      continue;
    }
    // More items than fields: the next record, and the layout again.
    if (!layout_.has_data()) fail(Error::kFormatLoop, unit_);
    next_record();
    cursor_.restart();
  }
}

std::string_view ReadStatement::cut_field(std::int32_t width) {
  return recio::cut_field(record_, pos_, std::size_t(width), commas_);
}

void ReadStatement::get(std::int32_t& value) {
  const Descriptor& d = next_data();
  if (d.kind != Descriptor::Kind::kInt) fail(Error::kTypeMismatch, unit_);
  if (!parse_int(cut_field(d.width), value)) {
    fail(Error::kInputConversion, unit_);
  }
}

void ReadStatement::get(std::span<double> values) {
  while (!values.empty()) {
    std::int32_t count = 0;
    const Descriptor& d = next_data(
        std::int32_t(std::min<std::size_t>(values.size(), INT32_MAX)), count);
    if (d.kind != Descriptor::Kind::kFixed &&
        d.kind != Descriptor::Kind::kExp) {
      fail(Error::kTypeMismatch, unit_);
    }
    for (double& value : values.first(std::size_t(count))) {
      if (!parse_real(cut_field(d.width), d.decimals, value)) {
        fail(Error::kInputConversion, unit_);
      }
    }
    values = values.subspan(std::size_t(count));
  }
}

void ReadStatement::get(double& value) {
  const Descriptor& d = next_data();
  if (d.kind != Descriptor::Kind::kFixed && d.kind != Descriptor::Kind::kExp) {
    fail(Error::kTypeMismatch, unit_);
  }
  if (!parse_real(cut_field(d.width), d.decimals, value)) {
    fail(Error::kInputConversion, unit_);
  }
}

}  // namespace recio
