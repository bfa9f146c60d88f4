#include "modelio/deck_reader.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <utility>

#include "common/lp.h"
#include "deck/storage.h"
#include "deck/text_reader.h"

namespace modelio {
namespace {

// "x3", "r12": the names of a deck problem's variables and rows.
std::string numbered(char prefix, std::int32_t k) {
  std::string name(1, prefix);
  name += std::to_string(k);
  return name;
}

// The upper bound of variable k, infinite when it has none.
double upper_bound(deck::Storage& s, std::int32_t k) {
  const double bound = s.bound()(std::abs(k));
  return bound >= lp::kNoBoundThreshold ? model::kInfinity : bound;
}

model::Model as_model(deck::Storage& s) {
  model::Model m;
  const lp::MatrixRef a = s.a();
  for (std::int32_t j = 1; j <= s.N - 1; ++j) {
    model::ModelColumn c{numbered('x', std::abs(s.col()(j))),
                         0,
                         upper_bound(s, s.col()(j)),
                         a(s.M, j),
                         false,
                         {}};
    for (std::int32_t i = 1; i <= s.M - 1; ++i) {
      if (a(i, j) != 0) c.entries.emplace_back(i - 1, a(i, j));
    }
    m.columns.push_back(std::move(c));
  }
  // Row I: s*x(k) + sum = b with 0 <= x(k) <= u, so sum = b - s*x(k)
  // lies in [b - u, b] for s = +1 and in [b, b + u] for s = -1.
  for (std::int32_t i = 1; i <= s.M - 1; ++i) {
    const double b = a(i, s.N);
    const std::int32_t label = s.row()(i);
    model::ModelRow r{numbered('r', i), b, b};
    if (label > 0) r.lower = b - upper_bound(s, label);
    if (label < 0) r.upper = b + upper_bound(s, label);
    m.rows.push_back(std::move(r));
  }
  m.objective_constant = -a(s.M, s.N);
  return m;
}

}  // namespace

DeckRead read_deck(std::string_view text, const std::string& display_name) {
  DeckRead result;
  // karvon's storage: problems reuse it without clearing, as there.
  const auto storage = std::make_unique<deck::Storage>();
  result.error = deck::read_text(
      text, display_name, *storage,
      [&result](deck::Storage& s) { result.problems.push_back(as_model(s)); });
  if (!result.error.empty()) {
    result.problems.clear();
    return result;
  }
  if (result.problems.empty()) {
    result.error = display_name + ": the deck holds no problem";
    return result;
  }
  result.ok = true;
  return result;
}

}  // namespace modelio
