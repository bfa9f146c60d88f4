#include "mps2deck/deck_text.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <span>
#include <vector>

#include "mps2deck/field_text.h"
#include "recio/field_out.h"

namespace mps2deck {
namespace {

constexpr std::size_t kPerRecord = 11;  // fields of 11I5 and 11F10.0
constexpr std::size_t kIntWidth = 5;

class Records {
 public:
  explicit Records(DeckText& out) : out_(out) {}

  // One read of integers: 11 five-column fields a record, and one (empty)
  // record when there are none.
  void integers(const std::vector<std::int32_t>& values) {
    std::size_t k = 0;
    do {
      std::string record;
      for (std::size_t f = 0; f < kPerRecord && k < values.size(); ++f, ++k) {
        std::array<char, kIntWidth> field{};
        recio::render_int(field, values[k]);
        record.append(field.data(), field.size());
      }
      line(record);
    } while (k < values.size());
  }

  // One read of reals, 11 ten-column fields a record, right-justified.
  void reals(const std::vector<double>& values) {
    std::size_t k = 0;
    do {
      std::string record;
      for (std::size_t f = 0; f < kPerRecord && k < values.size(); ++f, ++k) {
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

  DeckText& out_;
};

}  // namespace

DeckText deck_text(const Deck& deck, const DeckSettings& settings) {
  DeckText out;
  Records records(out);
  records.integers({settings.IUNIT, settings.IOUT});
  records.integers(
      {deck.M, deck.N, static_cast<std::int32_t>(deck.bounds.size())});
  for (const std::vector<double>& row : deck.rows) records.reals(row);
  records.reals(deck.bounds);
  records.integers(deck.row_kinds);
  // Column labels 0: the driver numbers the columns 1..N-1 itself.
  records.integers(std::vector<std::int32_t>(deck.columns.size(), 0));
  if (settings.close) {
    records.integers({0, 0});
    records.integers({0, 0, 0});
  }
  return out;
}

}  // namespace mps2deck
