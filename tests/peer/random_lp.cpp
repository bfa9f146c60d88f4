#include "tests/peer/random_lp.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <charconv>
#include <cstdlib>
#include <ostream>
#include <system_error>

#include "deck/format.h"

namespace peer {
namespace {

// splitmix64: tiny, fast and the same on every platform, unlike the
// standard distributions, so a seed names the same deck everywhere.
class Rng {
 public:
  explicit Rng(std::uint64_t seed) : state_(seed) {}

  std::uint64_t next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  // Uniform in lo..hi, both included; the modulo bias is below 2^-50.
  std::int32_t between(std::int32_t lo, std::int32_t hi) {
    assert(lo <= hi);
    const auto span = std::uint64_t(std::int64_t(hi) - lo + 1);
    return static_cast<std::int32_t>(lo + std::int64_t(next() % span));
  }
  double unit() { return double(next() >> 11) * 0x1p-53; }
  bool chance(double p) { return unit() < p; }

 private:
  std::uint64_t state_;
};

constexpr auto kPerRecord = deck::kFieldsPerRecord;

// A nonzero constraint coefficient: mostly a digit, sometimes a half.
double coefficient(Rng& rng) {
  if (rng.chance(0.8)) {
    const std::int32_t k = rng.between(1, 9);
    return rng.chance(0.5) ? k : -k;
  }
  const std::int32_t k = 2 * rng.between(0, 8) + 1;  // odd: a true half
  return (rng.chance(0.5) ? k : -k) / 2.0;
}

// A nonnegative amount in quarters: slack gaps, bound margins, shifts.
double quarters(Rng& rng, std::int32_t lo, std::int32_t hi) {
  return rng.between(lo, hi) / 4.0;
}

// The values below are multiples of 1/4 and far below 2^53, so every sum and
// product the generator forms is exact.
struct Draft {
  Problem p;
  std::vector<double> witness;               // a feasible x, when there is one
  std::vector<std::optional<double>> upper;  // per variable number - 1
  double bound_chance = 0.0;
  double density = 1.0;
};

double activity(const Draft& d, std::span<const double> row) {
  double sum = 0.0;
  for (std::size_t j = 0; j < row.size(); ++j) sum += row[j] * d.witness[j];
  return sum;
}

// A row that the witness satisfies: an equation, a <= row with some room or
// none, or a >= row likewise; its slack may get a bound no tighter than the
// room the witness leaves.
void add_witnessed_row(Draft& d, Rng& rng, std::vector<double> row,
                       std::int32_t kind) {
  const double r = activity(d, row);
  const double gap = rng.chance(0.3) ? 0.0 : quarters(rng, 1, 40);
  d.p.a.insert(d.p.a.end(), row.begin(), row.end());
  d.p.kind.push_back(kind);
  d.p.rhs.push_back(kind == 0 ? r : kind > 0 ? r + gap : r - gap);
  if (kind != 0) {
    std::optional<double> u;
    if (rng.chance(d.bound_chance)) {
      u = gap + quarters(rng, 0, 16);
      if (*u == 0.0) u = quarters(rng, 1, 8);
    }
    d.upper.push_back(u);
  }
}

std::vector<double> random_row(Draft& d, Rng& rng) {
  std::vector<double> row(std::size_t(d.p.vars), 0.0);
  for (double& v : row) {
    if (rng.chance(d.density)) v = coefficient(rng);
  }
  return row;
}

std::int32_t random_kind(Rng& rng) {
  const double u = rng.unit();
  return u < 0.2 ? 0 : u < 0.65 ? 1 : -1;
}

// Every variable with a positive coefficient: sum a.x <= rhs caps them all,
// so with the bounds x >= 0 the feasible set is bounded.
std::vector<double> budget_row(Draft& d, Rng& rng) {
  std::vector<double> row(std::size_t(d.p.vars));
  for (double& v : row) {
    v = rng.chance(0.8) ? rng.between(1, 9) : (2 * rng.between(0, 8) + 1) / 2.0;
  }
  return row;
}

// A row no x >= 0 within its bounds can meet, in one of three ways: the
// opposite of a row already there, beyond it; nonnegative terms summing to a
// negative amount; or one bounded variable pushed past its bound while the
// other terms can only pull the other way.
void add_conflicting_row(Draft& d, Rng& rng) {
  const std::int32_t n = d.p.vars;
  const auto base = std::int32_t(d.p.kind.size());
  const double delta = quarters(rng, 1, 8);
  std::vector<double> row(std::size_t(n), 0.0);
  std::int32_t kind = 0;
  double rhs = 0.0;

  std::vector<std::int32_t> bounded;
  for (std::int32_t j = 0; j < n; ++j) {
    if (d.upper[std::size_t(j)]) bounded.push_back(j);
  }
  std::int32_t way = rng.between(0, 2);
  if (way == 0 && base == 0) way = 1;
  if (way == 2 && bounded.empty()) way = 1;

  if (way == 0) {
    const std::int32_t i = rng.between(0, base - 1);
    const double b = d.p.rhs[std::size_t(i)];
    const std::int32_t k = d.p.kind[std::size_t(i)];
    const double scale =
        std::array<double, 3>{1.0, -1.0, 2.0}[std::size_t(rng.between(0, 2))];
    // "a.x >= b + delta" against a row with a.x <= b (or = b), and
    // "a.x <= b - delta" against a.x >= b; scaled, and flipped when the
    // scale is negative.
    const double beyond = k >= 0 ? b + delta : b - delta;
    std::int32_t direction = k >= 0 ? -1 : 1;
    for (std::int32_t j = 0; j < n; ++j) {
      row[std::size_t(j)] = scale * d.p.coef(i, j);
    }
    if (scale < 0.0) direction = -direction;
    kind = direction;
    rhs = scale * beyond;
  } else if (way == 1) {
    for (double& v : row) {
      if (rng.chance(d.density)) v = std::abs(coefficient(rng));
    }
    row[std::size_t(rng.between(0, n - 1))] = rng.between(1, 9);
    kind = rng.chance(0.5) ? 0 : 1;
    rhs = -delta;
  } else {
    const std::int32_t j =
        bounded[std::size_t(rng.between(0, std::int32_t(bounded.size()) - 1))];
    for (double& v : row) {
      if (rng.chance(d.density)) v = -std::abs(coefficient(rng));
    }
    row[std::size_t(j)] = rng.between(1, 2);
    kind = -1;
    rhs = row[std::size_t(j)] * *d.upper[std::size_t(j)] + delta;
  }
  d.p.a.insert(d.p.a.end(), row.begin(), row.end());
  d.p.kind.push_back(kind);
  d.p.rhs.push_back(rhs);
  if (kind != 0) d.upper.push_back(std::nullopt);
}

// Moves the last row to position `to`, keeping the slack bounds in step.
void move_last_row(Draft& d, std::int32_t to) {
  Problem& p = d.p;
  const auto last = std::int32_t(p.kind.size()) - 1;
  if (to == last) return;
  const auto n = std::ptrdiff_t(p.vars);
  std::rotate(p.a.begin() + to * n, p.a.begin() + last * n, p.a.end());
  std::rotate(p.rhs.begin() + to, p.rhs.begin() + last, p.rhs.end());
  // The slack bounds follow the rows that have a slack.
  std::int32_t slot = p.vars;
  for (std::int32_t i = 0; i < to; ++i) slot += p.kind[std::size_t(i)] != 0;
  if (p.kind[std::size_t(last)] != 0) {
    std::rotate(d.upper.begin() + slot, d.upper.end() - 1, d.upper.end());
  }
  std::rotate(p.kind.begin() + to, p.kind.begin() + last, p.kind.end());
}

// The NBOUND values: each present bound, a zero or negative value (read as
// "no bound") in the gaps, sometimes a few such values past the last bound.
void write_bound_field(Draft& d, Rng& rng) {
  const auto nv = std::int32_t(d.upper.size());
  std::int32_t last = 0;
  for (std::int32_t k = 1; k <= nv; ++k) {
    if (d.upper[std::size_t(k - 1)]) last = k;
  }
  std::int32_t nbound = last;
  if (rng.chance(0.2)) nbound = rng.between(last, nv);
  for (std::int32_t k = 1; k <= nbound; ++k) {
    const auto& u = d.upper[std::size_t(k - 1)];
    d.p.bound_field.push_back(u                 ? *u
                              : rng.chance(0.5) ? 0.0
                                                : -double(rng.between(1, 9)));
  }
}

Intent draw_intent(Rng& rng, const Shape& s) {
  const double total = s.bounded + s.open + s.infeasible;
  const double u = rng.unit() * total;
  if (u < s.bounded) return Intent::kFeasibleBounded;
  if (u < s.bounded + s.open) return Intent::kFeasibleOpen;
  return Intent::kInfeasible;
}

std::uint64_t problem_seed(std::uint64_t seed, std::int32_t index) {
  const auto n = static_cast<std::uint64_t>(index) + 1U;
  Rng mix(seed ^ (std::uint64_t{0xD1B54A32D192ED03U} * n));
  return mix.next();
}

}  // namespace

std::int32_t Problem::variable_count() const {
  std::int32_t nv = vars;
  for (std::int32_t k : kind) nv += k != 0;
  return nv;
}

std::int32_t Problem::slack_number(std::int32_t row) const {
  if (kind[std::size_t(row)] == 0) return 0;
  std::int32_t number = vars;
  for (std::int32_t i = 0; i <= row; ++i) number += kind[std::size_t(i)] != 0;
  return number;
}

std::optional<double> Problem::upper_bound(std::int32_t k) const {
  if (k < 1 || std::size_t(k) > bound_field.size()) return std::nullopt;
  const double u = bound_field[std::size_t(k - 1)];
  if (!(u > 0.0)) return std::nullopt;
  return u;
}

Problem random_problem(std::uint64_t seed, std::int32_t index,
                       const Shape& shape) {
  Draft d;
  d.p.seed = problem_seed(seed, index);
  Rng rng(d.p.seed);
  Problem& p = d.p;
  p.intent = draw_intent(rng, shape);
  p.rows = rng.between(shape.min_rows, shape.max_rows);
  p.vars = rng.between(shape.min_vars, shape.max_vars);
  if (p.intent == Intent::kInfeasible && p.rows == 0) {
    if (shape.max_rows > 0) {
      p.rows = 1;
    } else {
      p.intent = Intent::kFeasibleBounded;
    }
  }
  static constexpr std::array<double, 3> kBoundChances{0.0, 0.3, 0.7};
  d.bound_chance = kBoundChances[std::size_t(rng.between(0, 2))];
  d.density = shape.min_density + rng.unit() * (1.0 - shape.min_density);
  if (shape.mixed_scratch) {
    static constexpr std::array<std::int32_t, 3> kUnits{0, -1, kScratchUnit};
    p.iunit = kUnits[std::size_t(rng.between(0, 2))];
  }

  // The witness, and the structural bounds it respects. A bounded problem
  // without rows gets every bound, since no row can cap it.
  const bool all_bounded = p.intent == Intent::kFeasibleBounded && p.rows == 0;
  for (std::int32_t j = 0; j < p.vars; ++j) {
    const double x = rng.chance(0.35) ? 0.0 : rng.between(1, 10) / 2.0;
    d.witness.push_back(x);
    std::optional<double> u;
    if (all_bounded || rng.chance(d.bound_chance)) {
      u = x + quarters(rng, 0, 16);
      if (*u == 0.0) u = quarters(rng, 1, 8);
    }
    d.upper.push_back(u);
  }

  const std::int32_t free_rows =
      p.rows - (p.intent == Intent::kInfeasible ||
                (p.intent == Intent::kFeasibleBounded && p.rows > 0));
  for (std::int32_t i = 0; i < free_rows; ++i) {
    add_witnessed_row(d, rng, random_row(d, rng), random_kind(rng));
  }
  if (p.intent == Intent::kFeasibleBounded && p.rows > 0) {
    add_witnessed_row(d, rng, budget_row(d, rng), 1);
    move_last_row(d, rng.between(0, p.rows - 1));
  }
  if (p.intent == Intent::kInfeasible) {
    add_conflicting_row(d, rng);
    move_last_row(d, rng.between(0, p.rows - 1));
  }

  for (std::int32_t j = 0; j < p.vars; ++j) {
    p.cost.push_back(rng.chance(0.15) ? 0.0 : coefficient(rng));
  }
  p.cost_rhs = rng.chance(0.5) ? 0.0 : quarters(rng, -40, 40);
  write_bound_field(d, rng);
  if (p.intent != Intent::kInfeasible) p.witness = d.witness;
  assert(std::int32_t(p.kind.size()) == p.rows);
  assert(std::int32_t(d.upper.size()) == p.variable_count());
  return p;
}

std::vector<Problem> random_problems(std::uint64_t seed, std::int32_t count,
                                     const Shape& shape) {
  std::vector<Problem> problems;
  problems.reserve(std::size_t(count));
  for (std::int32_t i = 0; i < count; ++i) {
    problems.push_back(random_problem(seed, i, shape));
  }
  return problems;
}

std::string field_text(double value) {
  char buf[32];
  // Shortest form: exact for these values, which need few digits.
  const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value + 0.0);
  assert(ec == std::errc{});
  const auto len = std::size_t(end - buf);
  assert(len <= deck::kRealWidth);
  return std::string(deck::kRealWidth - len, ' ') + std::string(buf, len);
}

namespace {

std::string int_field(std::int32_t value) {
  std::string s = std::to_string(value);
  assert(s.size() <= deck::kIntegerWidth);
  return std::string(deck::kIntegerWidth - s.size(), ' ') + s;
}

// One read of a list: eleven fields a record, and one empty record for an
// empty list.
template <typename T, typename Format>
void write_list(std::ostream& out, std::span<const T> values, Format format) {
  if (values.empty()) {
    out << '\n';
    return;
  }
  for (std::size_t k = 0; k < values.size(); ++k) {
    out << format(values[k]);
    if ((k + 1) % kPerRecord == 0 || k + 1 == values.size()) out << '\n';
  }
}

}  // namespace

void write_problem(std::ostream& out, const Problem& p, std::int32_t iout) {
  out << int_field(p.iunit) << int_field(iout) << '\n';
  out << int_field(p.rows + 1) << int_field(p.vars + 1)
      << int_field(std::int32_t(p.bound_field.size())) << '\n';
  std::vector<double> line(std::size_t(p.vars) + 1);
  for (std::int32_t i = 0; i < p.rows; ++i) {
    for (std::int32_t j = 0; j < p.vars; ++j) {
      line[std::size_t(j)] = p.coef(i, j);
    }
    line.back() = p.rhs[std::size_t(i)];
    write_list<double>(out, line, field_text);
  }
  std::copy(p.cost.begin(), p.cost.end(), line.begin());
  line.back() = p.cost_rhs;
  write_list<double>(out, line, field_text);
  write_list<double>(out, p.bound_field, field_text);
  write_list<std::int32_t>(out, p.kind, int_field);
  const std::vector<std::int32_t> labels(std::size_t(p.vars), 0);
  write_list<std::int32_t>(out, labels, int_field);
}

void write_deck(std::ostream& out, std::span<const Problem> problems,
                std::int32_t iout) {
  for (const Problem& p : problems) write_problem(out, p, iout);
  out << int_field(0) << int_field(0) << '\n';
  out << int_field(0) << int_field(0) << int_field(0) << '\n';
}

}  // namespace peer
