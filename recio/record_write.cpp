#include "recio/record_write.h"

#include <cstring>
#include <span>

#include "recio/field_out.h"
#include "recio/units.h"

namespace recio {

WriteStatement::WriteStatement(std::int32_t unit, const Layout& layout)
    : unit_(unit), layout_(layout), out_(formatted_output(unit)) {
  out_.begin_statement();
}

const Descriptor& WriteStatement::next_data() {
  for (;;) {
    if (index_ == layout_.size()) {
      // Items remain at the end of the layout: the record ends and the
      // layout starts again (the scale factor stays as it is).
      if (!layout_.has_data()) fail(Error::kFormatLoop, unit_);
      out_.end_record();
      index_ = 0;
      continue;
    }
    const Descriptor& d = layout_[index_];
    if (d.is_data()) {
      if (repeat_left_ == 0) repeat_left_ = d.repeat;
      if (--repeat_left_ == 0) ++index_;
      return d;
    }
    act(d);
    ++index_;
  }
}

void WriteStatement::act(const Descriptor& d) {
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

void WriteStatement::put(std::int32_t value) {
  const Descriptor& d = next_data();
  if (d.kind != Descriptor::Kind::kInt) fail(Error::kTypeMismatch, unit_);
  const std::size_t w = std::size_t(d.width);
  render_int(std::span<char>(out_.place(w), w), value);
}

void WriteStatement::put(double value) {
  const Descriptor& d = next_data();
  const std::size_t w = std::size_t(d.width);
  if (d.kind == Descriptor::Kind::kFixed) {
    render_fixed(std::span<char>(out_.place(w), w), d.decimals, scale_, value);
  } else if (d.kind == Descriptor::Kind::kExp) {
    render_exp(std::span<char>(out_.place(w), w), d.decimals, scale_, value);
  } else {
    fail(Error::kTypeMismatch, unit_);
  }
}

void WriteStatement::put(std::string_view text) {
  const Descriptor& d = next_data();
  if (d.kind != Descriptor::Kind::kChar) fail(Error::kTypeMismatch, unit_);
  std::memcpy(out_.place(text.size()), text.data(), text.size());
}

void WriteStatement::finish() {
  // Literals up to the next data descriptor, or to the end, still belong to
  // this statement.
  while (index_ < layout_.size() && repeat_left_ == 0) {
    const Descriptor& d = layout_[index_];
    if (d.is_data()) break;
    act(d);
    ++index_;
  }
  if (dollar_) {
    out_.hold_open();
  } else {
    out_.end_record();
  }
}

void write_record(std::int32_t unit, const Layout& layout) {
  WriteStatement w(unit, layout);
  w.finish();
}

}  // namespace recio
