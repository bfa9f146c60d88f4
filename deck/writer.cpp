#include "deck/writer.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <span>
#include <vector>

#include "deck/field_text.h"
#include "deck/format.h"
#include "recio/field_out.h"

namespace deck {
namespace {

class Records {
 public:
  explicit Records(Text& out) : out_(out) {}

  // One read of integers, kFieldsPerRecord a record, and one (empty) record
  // when there are none.
  void integers(const std::vector<std::int32_t>& values) {
    std::size_t k = 0;
    do {
      std::string record;
      for (std::size_t f = 0; f < kFieldsPerRecord && k < values.size();
           ++f, ++k) {
        std::array<char, kIntegerWidth> field{};
        recio::render_int(field, values[k]);
        record.append(field.data(), field.size());
      }
      line(record);
    } while (k < values.size());
  }

  // One read of reals, kFieldsPerRecord a record, right-justified.
  void reals(const std::vector<double>& values) {
    std::size_t k = 0;
    do {
      std::string record;
      for (std::size_t f = 0; f < kFieldsPerRecord && k < values.size();
           ++f, ++k) {
        const FieldText field = real_field_text(values[k]);
        record.append(kRealWidth - field.text.size(), ' ');
        record.append(field.text);
        count(values[k], field.read_back);
      }
      line(record);
    } while (k < values.size());
  }

 private:
  void line(const std::string& record) {
    out_.text.append(record);
    out_.text.push_back('\n');
  }
  void count(double value, double read_back) {
    if (read_back == value) return;
    ++out_.rounded;
    const double change = std::abs(read_back - value) / std::abs(value);
    if (change > out_.largest_change) out_.largest_change = change;
  }

  Text& out_;
};

}  // namespace

Text to_text(const model::Deck& deck, const Settings& settings) {
  Text out;
  Records records(out);
  records.integers({settings.IUNIT, settings.IOUT});
  records.integers(
      {deck.M, deck.N, static_cast<std::int32_t>(deck.bounds.size())});
  for (const std::vector<double>& row : deck.rows) records.reals(row);
  records.reals(deck.bounds);
  records.integers(deck.row_kinds);
  records.integers(std::vector<std::int32_t>(deck.columns.size(), 0));
  if (settings.close) {
    records.integers({0, 0});
    records.integers({kClosingM, kClosingN, 0});
  }
  return out;
}

}  // namespace deck
