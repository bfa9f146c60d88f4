#include "trace/recorder.h"

#include <cstdlib>
#include <string_view>

namespace trace {
namespace {

// Built by appending: GCC 12 warns falsely about "literal" + std::string.
std::string joined(std::string_view head, const std::string& tail) {
  std::string s(head);
  s += tail;
  return s;
}

}  // namespace

std::vector<VariableName> name_variables(const karvon::TableauView& entry) {
  std::int32_t artificials = 0;
  for (std::int32_t i = 1; i <= entry.M - 1; ++i) {
    if (entry.row_label(i) == 0) ++artificials;
  }
  std::vector<VariableName> names(std::size_t(entry.NV + artificials));
  for (std::size_t k = 0; k < names.size(); ++k) {
    names[k].short_name = joined("x", std::to_string(k + 1));
    names[k].long_name = names[k].short_name;
  }
  std::int32_t c = 0;
  for (std::int32_t i = 1; i <= entry.M - 1; ++i) {
    const std::int32_t label = entry.row_label(i);
    const std::string row = std::to_string(i);
    if (label == 0) {
      ++c;
      names[std::size_t(entry.NV + c - 1)] = {
          joined("a", row), joined("artificial of row ", row)};
    } else if (std::abs(label) > entry.N - 1 && std::abs(label) <= entry.NV) {
      names[std::size_t(std::abs(label) - 1)] = {
          joined("s", row),
          joined(label > 0 ? "slack of row " : "surplus of row ", row)};
    }
  }
  return names;
}

void Recorder::step(const karvon::Step& s) {
  const karvon::TableauView& t = s.tableau;
  if (s.kind == karvon::StepKind::kEntry) {
    into_.M = t.M;
    into_.N = t.N;
    into_.NV = t.NV;
    into_.names = name_variables(t);
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

}  // namespace trace
