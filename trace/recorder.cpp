#include "trace/recorder.h"

#include <cmath>
#include <cstdlib>
#include <string_view>

namespace trace {

std::string joined(std::string_view head, const std::string& tail) {
  std::string s(head);
  s += tail;
  return s;
}

std::vector<VariableName> name_variables(const karvon::TableauView& entry,
                                         const ModelTerms* terms) {
  std::int32_t artificials = 0;
  for (std::int32_t i = 1; i <= entry.M - 1; ++i) {
    if (entry.row_label(i) == 0) ++artificials;
  }
  std::vector<VariableName> names(std::size_t(entry.NV + artificials));
  for (std::size_t k = 0; k < names.size(); ++k) {
    names[k].short_name = joined("x", std::to_string(k + 1));
    names[k].long_name = names[k].short_name;
  }
  if (terms != nullptr) {
    for (std::size_t k = 0; k < terms->columns.size() && k < names.size();
         ++k) {
      names[k] = terms->columns[k];
    }
  }
  std::int32_t c = 0;
  for (std::int32_t i = 1; i <= entry.M - 1; ++i) {
    const std::int32_t label = entry.row_label(i);
    const bool named = terms != nullptr && std::size_t(i) <= terms->rows.size();
    // A number as in the driver's print, or the model's name in brackets.
    const std::string row =
        named ? terms->rows[std::size_t(i - 1)] : std::to_string(i);
    const std::string tag = named ? joined("(", row) + ')' : row;
    if (label == 0) {
      ++c;
      names[std::size_t(entry.NV + c - 1)] = {
          joined("a", tag), joined("artificial of row ", row)};
    } else if (std::abs(label) > entry.N - 1 && std::abs(label) <= entry.NV) {
      names[std::size_t(std::abs(label) - 1)] = {
          joined("s", tag),
          joined(label > 0 ? "slack of row " : "surplus of row ", row)};
    }
  }
  return names;
}

void Recorder::step(const karvon::Step& s) {
  const karvon::TableauView& t = s.tableau;
  if (s.kind == karvon::StepKind::kEntry) {
    // A second entry is a second solve of the same tableau (the
    // standard-form entry tries an unsettled solve once more): the record
    // keeps the solve whose result stands.
    into_.steps.clear();
    into_.M = t.M;
    into_.N = t.N;
    into_.NV = t.NV;
    into_.names = name_variables(t, terms_);
  }
  StepRecord r{s.kind,     s.phase,   s.iteration, s.restarts, s.ip, s.jp,
               s.entering, s.leaving, {},          {},         {},   {}};
  r.a.reserve(std::size_t(t.M + 1) * std::size_t(t.N));
  for (std::int32_t i = 1; i <= t.M + 1; ++i) {
    for (std::int32_t j = 1; j <= t.N; ++j) r.a.push_back(t.at(i, j));
  }
  for (std::int32_t i = 1; i <= t.M - 1; ++i) r.row.push_back(t.row_label(i));
  for (std::int32_t j = 1; j <= t.N - 1; ++j) r.col.push_back(t.col_label(j));
  for (std::int32_t k = 1; k <= t.NV; ++k) r.bound.push_back(t.upper_bound(k));
  into_.steps.push_back(std::move(r));
}

std::vector<double> values_after(const ProblemTrace& p,
                                 const StepRecord& last) {
  const auto bound = [&](std::int32_t k) {
    return last.bound[std::size_t(k - 1)];
  };
  std::vector<double> x(std::size_t(p.NV), 0.0);
  for (std::int32_t k = 1; k <= p.NV; ++k) {
    if (bound(k) < 0.0) x[std::size_t(k - 1)] = -bound(k);
  }
  for (std::int32_t i = 1; i <= p.M - 1; ++i) {
    const std::int32_t k = last.row[std::size_t(i - 1)];
    if (k > 0 && k <= p.NV) {
      x[std::size_t(k - 1)] =
          last.a[std::size_t(i - 1) * std::size_t(p.N) + std::size_t(p.N - 1)];
    }
  }
  for (std::int32_t k = 1; k <= p.NV; ++k) {
    if (std::fabs(bound(k)) <= x[std::size_t(k - 1)])
      x[std::size_t(k - 1)] = std::fabs(bound(k));
  }
  return x;
}

}  // namespace trace
