#pragma once
// Record layouts in the field-descriptor notation: "(1X, 1P, 11E10.3)".
//
// A layout is parsed once, at compile time when it is a constant, into a
// short list of descriptors; statements walk that list. A malformed constant
// layout does not compile (the parser throws, which is not a constant
// expression).

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string_view>

namespace recio {

struct Descriptor {
  enum class Kind : std::uint8_t {
    kInt,      // Iw
    kFixed,    // Fw.d
    kExp,      // Ew.d
    kChar,     // A (width = the item's own length)
    kScale,    // kP
    kSkip,     // nX
    kLiteral,  // "text" or 'text'
    kSlash,    // /
    kDollar,   // $
  };
  Kind kind = Kind::kSkip;
  std::int32_t repeat = 1;  // data descriptors and / only
  std::int32_t width = 0;   // w, or n of nX
  std::int32_t decimals = 0;
  std::int32_t scale = 0;  // k of kP
  std::string_view text;   // literal text

  constexpr bool is_data() const {
    return kind == Kind::kInt || kind == Kind::kFixed || kind == Kind::kExp ||
           kind == Kind::kChar;
  }
};

class Layout {
 public:
  static constexpr std::size_t kMaxDescriptors = 16;

  constexpr std::size_t size() const { return count_; }
  constexpr const Descriptor& operator[](std::size_t i) const {
    return items_[i];
  }
  constexpr const Descriptor* begin() const { return items_.data(); }
  constexpr const Descriptor* end() const { return items_.data() + count_; }
  constexpr bool has_data() const { return has_data_; }

  constexpr void add(const Descriptor& d) {
    if (count_ == kMaxDescriptors) throw std::length_error("layout too long");
    items_[count_++] = d;
    if (d.is_data()) has_data_ = true;
  }

 private:
  std::array<Descriptor, kMaxDescriptors> items_{};
  std::size_t count_ = 0;
  bool has_data_ = false;
};

// Where a statement stands in its layout: the current descriptor and the
// repeats left of a data descriptor already begun. Reads and writes walk a
// layout the same way; what they do at each descriptor differs.
class LayoutCursor {
 public:
  constexpr explicit LayoutCursor(const Layout& layout) : layout_(layout) {}

  // The data descriptor for the next item, when the cursor stands on one
  // (and moves on); nullptr when a descriptor that takes no item, or the
  // end of the layout, comes first.
  constexpr const Descriptor* take_data() {
    if (index_ < layout_.size()) {
      const Descriptor& d = layout_[index_];
      if (d.is_data()) {
        if (repeat_left_ == 0) repeat_left_ = d.repeat;
        if (--repeat_left_ == 0) ++index_;
        return &d;
      }
    }
    return nullptr;
  }
  // As take_data(), for up to `most` (>= 1) items in a row: `count` gets
  // how many of them the descriptor takes before the cursor moves on.
  constexpr const Descriptor* take_data(std::int32_t most,
                                        std::int32_t& count) {
    if (index_ < layout_.size()) {
      const Descriptor& d = layout_[index_];
      if (d.is_data()) {
        if (repeat_left_ == 0) repeat_left_ = d.repeat;
        count = repeat_left_ < most ? repeat_left_ : most;
        repeat_left_ -= count;
        if (repeat_left_ == 0) ++index_;
        return &d;
      }
    }
    return nullptr;
  }
  // The descriptor under the cursor when it takes no item (the cursor moves
  // past it); nullptr at a data descriptor, inside a repeat, or at the end.
  constexpr const Descriptor* take_other() {
    if (index_ == layout_.size() || repeat_left_ != 0 ||
        layout_[index_].is_data()) {
      return nullptr;
    }
    return &layout_[index_++];
  }
  constexpr bool at_end() const { return index_ == layout_.size(); }
  // Back to the first descriptor, when the items outlast the layout.
  constexpr void restart() { index_ = 0; }

 private:
  const Layout& layout_;
  std::size_t index_ = 0;
  std::int32_t repeat_left_ = 0;
};

namespace layout_detail {

constexpr bool is_digit(char c) { return c >= '0' && c <= '9'; }
constexpr char upper(char c) { return c >= 'a' && c <= 'z' ? char(c - 32) : c; }

class Parser {
 public:
  constexpr explicit Parser(std::string_view s) : s_(s) {}

  constexpr Layout parse() {
    skip_blanks();
    expect('(');
    Layout out;
    for (;;) {
      skip_blanks();
      if (peek() == ')') {
        ++i_;
        break;
      }
      item(out);
      skip_blanks();
      if (peek() == ',') {
        ++i_;
      } else if (peek() != ')' && peek() != '/' && peek() != '$' &&
                 !(out.size() > 0 &&
                   (out[out.size() - 1].kind == Descriptor::Kind::kSlash ||
                    out[out.size() - 1].kind == Descriptor::Kind::kDollar))) {
        throw std::invalid_argument("expected ',' or ')' in layout");
      }
    }
    skip_blanks();
    if (i_ != s_.size()) throw std::invalid_argument("text after layout");
    return out;
  }

 private:
  constexpr char peek() const { return i_ < s_.size() ? s_[i_] : '\0'; }
  constexpr void skip_blanks() {
    while (i_ < s_.size() && s_[i_] == ' ') ++i_;
  }
  constexpr void expect(char c) {
    if (peek() != c) throw std::invalid_argument("unexpected character");
    ++i_;
  }
  constexpr bool number(std::int32_t& v) {
    if (!is_digit(peek())) return false;
    v = 0;
    while (is_digit(peek())) {
      v = v * 10 + (s_[i_] - '0');
      if (v > 100000) throw std::invalid_argument("number too large");
      ++i_;
    }
    return true;
  }

  constexpr void item(Layout& out) {
    Descriptor d;
    const char c = peek();
    if (c == '"' || c == '\'') {
      ++i_;
      const std::size_t start = i_;
      while (i_ < s_.size() && s_[i_] != c) ++i_;
      if (i_ == s_.size()) throw std::invalid_argument("unclosed literal");
      d.kind = Descriptor::Kind::kLiteral;
      d.text = s_.substr(start, i_ - start);
      ++i_;
      out.add(d);
      return;
    }
    if (c == '/') {
      ++i_;
      d.kind = Descriptor::Kind::kSlash;
      out.add(d);
      return;
    }
    if (c == '$') {
      ++i_;
      d.kind = Descriptor::Kind::kDollar;
      out.add(d);
      return;
    }
    bool negative = false;
    if (c == '-') {
      negative = true;
      ++i_;
    }
    std::int32_t count = 1;
    const bool has_count = number(count);
    switch (upper(peek())) {
      case 'P':
        if (!has_count) throw std::invalid_argument("P needs a scale factor");
        ++i_;
        d.kind = Descriptor::Kind::kScale;
        d.scale = negative ? -count : count;
        break;
      case 'X':
        ++i_;
        d.kind = Descriptor::Kind::kSkip;
        d.width = count;
        break;
      case 'A':
        ++i_;
        d.kind = Descriptor::Kind::kChar;
        d.repeat = count;
        break;
      case 'I':
        ++i_;
        d.kind = Descriptor::Kind::kInt;
        d.repeat = count;
        if (!number(d.width) || d.width == 0) {
          throw std::invalid_argument("I needs a width");
        }
        break;
      case 'F':
      case 'E':
        d.kind = upper(peek()) == 'F' ? Descriptor::Kind::kFixed
                                      : Descriptor::Kind::kExp;
        ++i_;
        d.repeat = count;
        if (!number(d.width) || d.width == 0) {
          throw std::invalid_argument("F/E needs a width");
        }
        expect('.');
        if (!number(d.decimals)) throw std::invalid_argument("F/E needs .d");
        break;
      default:
        throw std::invalid_argument("unknown descriptor");
    }
    if (negative && d.kind != Descriptor::Kind::kScale) {
      throw std::invalid_argument("misplaced '-'");
    }
    if (d.repeat == 0) throw std::invalid_argument("zero repeat count");
    out.add(d);
  }

  std::string_view s_;
  std::size_t i_ = 0;
};

}  // namespace layout_detail

// Parses a layout. In a constant expression a malformed layout is a
// compile-time error; at run time it throws std::invalid_argument.
constexpr Layout layout(std::string_view text) {
  return layout_detail::Parser(text).parse();
}

}  // namespace recio
