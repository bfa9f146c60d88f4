#include "trace/recorder.h"

#include <algorithm>
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

namespace {

// The view of `t` into `r`, reusing r's storage.
void copy_step(const karvon::Step& s, const ProblemTrace& p, StepRecord& r) {
  const karvon::TableauView& t = s.tableau;
  r.kind = s.kind;
  r.phase = s.phase;
  r.iteration = s.iteration;
  r.restarts = s.restarts;
  r.ip = s.ip;
  r.jp = s.jp;
  r.entering = s.entering;
  r.leaving = s.leaving;
  r.a.clear();
  const auto copy_row = [&](std::int32_t i) {
    for (std::int32_t j = 1; j <= p.view_cols; ++j) r.a.push_back(t.at(i, j));
    r.a.push_back(t.at(i, t.N));
  };
  for (std::int32_t i = 1; i <= p.view_rows; ++i) copy_row(i);
  copy_row(t.M);
  copy_row(t.M + 1);
  r.row.assign(t.row, t.row + p.view_rows);
  r.col.assign(t.col, t.col + p.view_cols);
  r.bound.assign(t.bound, t.bound + t.NV);
}

// The values of variables 1..NV as the solver fills them on exit: basic
// variables at their row's right-hand side, the others at 0 or,
// complemented, at their bound, none above its bound.
void values_of(const karvon::TableauView& t, std::vector<double>& x) {
  x.assign(std::size_t(t.NV), 0.0);
  for (std::int32_t k = 1; k <= t.NV; ++k) {
    if (t.upper_bound(k) < 0.0) x[std::size_t(k - 1)] = -t.upper_bound(k);
  }
  for (std::int32_t i = 1; i <= t.M - 1; ++i) {
    const std::int32_t k = t.row_label(i);
    if (k > 0 && k <= t.NV) x[std::size_t(k - 1)] = t.at(i, t.N);
  }
  for (std::int32_t k = 1; k <= t.NV; ++k) {
    const double b = std::fabs(t.upper_bound(k));
    if (b <= x[std::size_t(k - 1)]) x[std::size_t(k - 1)] = b;
  }
}

}  // namespace

Recorder::Recorder(ProblemTrace& into, const Budget& budget,
                   const ModelTerms* terms)
    : into_(into), terms_(terms), budget_(budget) {}

void Recorder::start(const karvon::TableauView& t) {
  into_.steps.clear();
  into_.M = t.M;
  into_.N = t.N;
  into_.NV = t.NV;
  into_.view_rows = std::min(t.M - 1, kViewRows);
  into_.view_cols = std::min(t.N - 1, kViewColumns);
  into_.names = name_variables(t, terms_);
  into_.total = 0;
  next_ = 0;
  // No more steps than the page's bytes would hold in memory (the page
  // writes them in about a third more), the first and the last at least.
  const std::int64_t bytes =
      8 * (std::int64_t(into_.view_rows + 2) * (into_.view_cols + 1) + t.NV) +
      4 * (into_.view_rows + into_.view_cols) +
      std::int64_t(sizeof(StepRecord));
  const std::int64_t keep = std::max<std::int64_t>(
      std::min<std::int64_t>(budget_.max_steps, budget_.max_bytes / bytes), 2);
  keep_first_ = std::size_t(keep - keep / 2);
  keep_last_ = std::size_t(keep / 2);
}

Recorder::~Recorder() { finish(); }

void Recorder::step(const karvon::Step& s) {
  const karvon::TableauView& t = s.tableau;
  // A second entry is a second solve of the same tableau (the standard-form
  // entry tries an unsettled solve once more): the record keeps the solve
  // whose result stands.
  if (s.kind == karvon::StepKind::kEntry) start(t);
  ++into_.total;
  values_of(t, into_.x);
  std::vector<StepRecord>& steps = into_.steps;
  if (steps.size() < keep_first_ + keep_last_) {
    copy_step(s, into_, steps.emplace_back());
  } else if (keep_last_ > 0) {
    copy_step(s, into_, steps[keep_first_ + next_]);
    next_ = (next_ + 1) % keep_last_;
  }
  into_.first = steps.size();
}

void Recorder::finish() {
  std::vector<StepRecord>& steps = into_.steps;
  if (std::int64_t(steps.size()) < into_.total) {
    // The ring's oldest record first.
    std::rotate(steps.begin() + std::ptrdiff_t(keep_first_),
                steps.begin() + std::ptrdiff_t(keep_first_ + next_),
                steps.end());
    into_.first = keep_first_;
  }
  next_ = 0;
}

}  // namespace trace
