#include "model/deck_builder.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "common/lp.h"

namespace model {
namespace {

// Model files write "no bound" as 1e30 and more; so does the deck.
constexpr double kMpsInfinity = 1.0e30;

// A row left without coefficients after fixed columns were substituted
// holds when 0 lies between its sides; the substitution's rounding is
// forgiven up to this fraction of the substituted terms' size.
constexpr double kSubstitutionTolerance = 1.0e-9;

std::string number(double value) {
  std::array<char, 32> buf{};
  const auto [end, ec] =
      std::to_chars(buf.data(), buf.data() + buf.size(), value);
  (void)ec;  // 32 characters hold the shortest form of any double
  return std::string(buf.data(), end);
}

std::string quoted(const std::string& name) { return "'" + name + "'"; }

double lower_side(double v) { return v <= -kMpsInfinity ? -kInfinity : v; }
double upper_side(double v) { return v >= kMpsInfinity ? kInfinity : v; }

// A model column as deck columns.
struct ColumnMap {
  std::vector<std::size_t> deck;  // indexes into Deck::columns
  double shift = 0;               // the substituted value when deck is empty
};

// What the substitutions and shifts of the columns did to one row.
struct RowShift {
  double sum = 0;   // sum of coefficient times shift, to move the sides
  double size = 0;  // sum of magnitudes of those terms
  bool has_coefficient = false;  // in a column the deck keeps
  bool has_entry = false;        // in any column
};

class Builder {
 public:
  explicit Builder(const Model& model)
      : model_(model),
        shifts_(model.rows.size()),
        constant_(model.objective_constant) {}

  BuildResult run() {
    if (map_columns() && map_rows() && check_limits()) {
      fill_tableau();
      fill_bounds();
      result_.ok = true;
    }
    return std::move(result_);
  }

 private:
  bool fail(std::string text, Failure failure = Failure::kRefused) {
    result_.failure = failure;
    result_.error = std::move(text);
    return false;
  }
  void note(std::string text) { result_.notes.push_back(std::move(text)); }

  std::size_t add_column(const ModelColumn& column, double shift, double sign,
                         double upper) {
    result_.deck.columns.push_back({column.name, maps_.size(), shift, sign});
    column_bounds_.push_back(upper);
    return result_.deck.columns.size() - 1;
  }

  bool map_columns() {
    std::int32_t integers = 0;
    for (const ModelColumn& c : model_.columns) {
      const double lo = lower_side(c.lower);
      const double hi = upper_side(c.upper);
      if (c.integer) ++integers;
      if (lo > hi) {
        // Some readers take UP below zero on a column with no other bound
        // as [-inf, u]; GLPK keeps the lower bound 0. Say which was read.
        const std::string hint =
            lo == 0 && hi < 0
                ? " (give MI or LO as well for a lower bound below zero)"
                : "";
        return fail("column " + quoted(c.name) + " has its lower bound " +
                        number(lo) + " above its upper bound " + number(hi) +
                        hint,
                    Failure::kInfeasible);
      }
      ColumnMap map;
      if (lo == hi) {
        map.shift = lo;  // fixed: no deck column
      } else if (std::isfinite(lo)) {
        map.shift = lo;
        map.deck.push_back(add_column(c, lo, 1, hi - lo));
      } else if (std::isfinite(hi)) {
        map.shift = hi;
        map.deck.push_back(add_column(c, hi, -1, kInfinity));
      } else {
        map.deck.push_back(add_column(c, 0, 1, kInfinity));
        map.deck.push_back(add_column(c, 0, -1, kInfinity));
      }
      for (const auto& [row, a] : c.entries) {
        RowShift& s = shifts_[static_cast<std::size_t>(row)];
        s.sum += a * map.shift;
        s.size += std::abs(a * map.shift);
        s.has_entry = true;
        if (!map.deck.empty()) s.has_coefficient = true;
      }
      constant_ += c.cost * map.shift;
      maps_.push_back(std::move(map));
    }
    if (integers > 0) {
      note("warning: " + std::to_string(integers) +
           " integer column(s) read as continuous: the deck is the linear "
           "relaxation");
    }
    return true;
  }

  bool map_rows() {
    for (std::size_t i = 0; i < model_.rows.size(); ++i) {
      const ModelRow& r = model_.rows[i];
      const RowShift& s = shifts_[i];
      const double lo = lower_side(r.lower) - s.sum;
      const double hi = upper_side(r.upper) - s.sum;
      if (lo > hi) {
        return fail("row " + quoted(r.name) +
                        " has its lower side above its upper side",
                    Failure::kInfeasible);
      }
      if (!s.has_coefficient) {
        const double tolerance = kSubstitutionTolerance * s.size;
        const std::string empty =
            s.has_entry
                ? " has no coefficients left once fixed columns are substituted"
                : " has no coefficients";
        if (lo > tolerance || hi < -tolerance) {
          return fail("row " + quoted(r.name) + empty +
                          " and can never hold (" + number(lo) +
                          " <= 0 <= " + number(hi) + " is false)",
                      Failure::kInfeasible);
        }
        note("note: row " + quoted(r.name) + empty +
             " and always holds: dropped");
        deck_row_.push_back(-1);
        continue;
      }
      if (!std::isfinite(lo) && !std::isfinite(hi)) {
        note("note: row " + quoted(r.name) + " is free: dropped");
        deck_row_.push_back(-1);
        continue;
      }
      std::int32_t kind = 0;
      double side = lo;
      double slack_bound = kInfinity;
      if (lo == hi) {
        kind = 0;
      } else if (std::isfinite(hi)) {
        // L rows and ranges: slack = hi - row >= 0, at most the range's width.
        kind = 1;
        side = hi;
        if (std::isfinite(lo))
          slack_bound = upper_side(r.upper) - lower_side(r.lower);
      } else {
        kind = -1;  // G rows: surplus = row - lo >= 0
      }
      deck_row_.push_back(static_cast<std::int32_t>(kept_rows_.size()));
      kept_rows_.push_back({i, kind, side, slack_bound});
    }
    return true;
  }

  bool check_limits() {
    const auto rows = kept_rows_.size();
    const auto columns = result_.deck.columns.size();
    result_.rows = rows;
    result_.columns = columns;
    if (rows > std::size_t(lp::kMaxConstraintRows)) {
      return fail("the model has " + std::to_string(rows) +
                      " constraint rows; a deck holds at most " +
                      std::to_string(lp::kMaxConstraintRows),
                  Failure::kTooLarge);
    }
    if (columns > std::size_t(lp::kMaxColumns)) {
      return fail("the model has " + std::to_string(columns) +
                      " columns after free columns are split in two and fixed "
                      "ones substituted; a deck holds at most " +
                      std::to_string(lp::kMaxColumns),
                  Failure::kTooLarge);
    }
    return true;
  }

  void fill_tableau() {
    Deck& d = result_.deck;
    d.M = static_cast<std::int32_t>(kept_rows_.size()) + 1;
    d.N = static_cast<std::int32_t>(d.columns.size()) + 1;
    const auto width = static_cast<std::size_t>(d.N);
    d.rows.assign(static_cast<std::size_t>(d.M),
                  std::vector<double>(width, 0.0));
    for (const KeptRow& k : kept_rows_) {
      d.row_kinds.push_back(k.kind);
      d.row_names.push_back(model_.rows[k.model_row].name);
      d.model_rows.push_back(k.model_row);
      d.rows[d.row_names.size() - 1][width - 1] = k.side;
    }
    std::vector<double>& objective = d.rows.back();
    for (std::size_t j = 0; j < model_.columns.size(); ++j) {
      const ModelColumn& c = model_.columns[j];
      for (const std::size_t deck_column : maps_[j].deck) {
        const double sign = d.columns[deck_column].sign;
        objective[deck_column] = sign * c.cost;
        for (const auto& [row, a] : c.entries) {
          const std::int32_t at = deck_row_[static_cast<std::size_t>(row)];
          if (at >= 0)
            d.rows[static_cast<std::size_t>(at)][deck_column] = sign * a;
        }
      }
    }
    // The objective row reads -z = A(M,N) - sum(c * y): with z = c.y + K,
    // A(M,N) = -K, so the solver's -A(M,N) is the model's objective.
    objective[width - 1] = -constant_;
  }

  void fill_bounds() {
    Deck& d = result_.deck;
    std::vector<double> all = column_bounds_;
    for (const KeptRow& k : kept_rows_) {
      if (k.kind != 0) all.push_back(k.slack_bound);
    }
    std::size_t count = 0;
    for (std::size_t v = 0; v < all.size(); ++v) {
      if (std::isfinite(all[v])) {
        count = v + 1;
        if (all[v] >= lp::kNoBoundThreshold) {
          note("warning: an upper bound of " + number(all[v]) + " (variable " +
               std::to_string(v + 1) + ") is beyond what the solver enforces");
        }
      }
    }
    for (std::size_t v = 0; v < count; ++v) {
      d.bounds.push_back(std::isfinite(all[v]) ? all[v] : lp::kNoBoundFill);
    }
  }

  struct KeptRow {
    std::size_t model_row;
    std::int32_t kind;
    double side;
    double slack_bound;
  };

  const Model& model_;
  BuildResult result_;
  std::vector<RowShift> shifts_;        // by model row
  std::vector<ColumnMap> maps_;         // by model column
  std::vector<double> column_bounds_;   // by deck column, infinite for none
  std::vector<KeptRow> kept_rows_;      // in deck order
  std::vector<std::int32_t> deck_row_;  // by model row: deck row or -1
  double constant_;                     // of the objective, grown by the shifts
};

}  // namespace

BuildResult build_deck(const Model& model) {
  Builder builder(model);
  BuildResult result = builder.run();
  if (result.ok) {
    for (const auto& row : result.deck.rows) {
      for (const double v : row) {
        if (!std::isfinite(v)) {
          result.ok = false;
          result.failure = Failure::kRefused;
          result.error =
              "a value of the deck overflows after the columns are shifted";
          return result;
        }
      }
    }
  }
  return result;
}

}  // namespace model
