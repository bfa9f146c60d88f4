#include "recio/record_write.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <span>

#include "recio/field_out.h"
#include "recio/units.h"

namespace recio {

const Descriptor& WriteStatement::next_data(std::int32_t most,
                                            std::int32_t& count) {
  for (;;) {
    if (const Descriptor* d = cursor_.take_data(most, count)) return *d;
    if (const Descriptor* d = cursor_.take_other()) {
      act(*d);
      continue;
    }
    // Items remain at the end of the layout: the record ends and the layout
    // starts again (the scale factor stays as it is).
    if (!layout_.has_data()) fail(Error::kFormatLoop, unit_);
    out_.end_record();
    cursor_.restart();
  }
}

void WriteStatement::act_slow(const Descriptor& d) {
  switch (d.kind) {
    case Descriptor::Kind::kLiteral: {
      char* at = out_.place(d.text.size());
      std::memcpy(at, d.text.data(), d.text.size());
      break;
    }
    case Descriptor::Kind::kSkip:
      out_.skip(std::size_t(d.width));
      break;
    case Descriptor::Kind::kScale:
      scale_ = d.scale;
      break;
    case Descriptor::Kind::kSlash:
      out_.end_record();
      break;
    case Descriptor::Kind::kDollar:
      dollar_ = true;
      break;
    default:
      break;
  }
}

void WriteStatement::put(std::string_view text) {
  const Descriptor& d = next_data();
  if (d.kind != Descriptor::Kind::kChar) fail(Error::kTypeMismatch, unit_);
  std::memcpy(out_.place(text.size()), text.data(), text.size());
}

void WriteStatement::put(std::span<const double> values) {
  while (!values.empty()) {
    std::int32_t count = 0;
    const Descriptor& d = next_data(
        std::int32_t(std::min<std::size_t>(values.size(), INT32_MAX)), count);
    if (!takes(d, 0.0)) fail(Error::kTypeMismatch, unit_);
    const auto n = std::size_t(count);
    const auto w = std::size_t(d.width);
    render_real_each(d, scale_, std::span<char>(out_.place(w * n), w * n),
                     values.first(n));
    values = values.subspan(n);
  }
}

void write_record(std::int32_t unit, const Layout& layout) {
  WriteStatement w(unit, layout);
  w.finish();
}

const Descriptor* single_item_held_open(const Layout& layout,
                                        std::int32_t& scale) {
  scale = 0;
  std::size_t i = 0;
  if (layout.size() == 3 && layout[0].kind == Descriptor::Kind::kScale) {
    scale = layout[0].scale;
    i = 1;
  }
  if (layout.size() != i + 2 || !layout[i].is_data() || layout[i].repeat != 1 ||
      layout[i + 1].kind != Descriptor::Kind::kDollar) {
    return nullptr;
  }
  return &layout[i];
}

}  // namespace recio
