#include "trace/trace_run.h"

#include <cstddef>
#include <string>

#include "common/lp.h"
#include "deck/storage.h"
#include "deck/unit_reader.h"
#include "recio/errors.h"
#include "solver/linear.h"

namespace trace {
namespace {

constexpr std::int32_t kKeepInMemory = -1;

std::string ending_note(const recio::RunEnd& end) {
  switch (end.kind()) {
    case recio::RunEnd::Kind::kPlainStop:
      return {};
    case recio::RunEnd::Kind::kNumericStop:
      return "the run stopped with code " + std::string(end.line());
    case recio::RunEnd::Kind::kReport:
    case recio::RunEnd::Kind::kMessage:
      break;
  }
  return std::string(end.line());
}

// The engine's variables are the model's columns, then the activity of
// each row; unnamed ones are called C1, C2, ... and R1, R2, ...
ModelTerms terms_of(const karvon::Model& m) {
  ModelTerms t;
  for (std::size_t j = 0; j < m.cost.size(); ++j) {
    const std::string name = j < m.col_names.size()
                                 ? m.col_names[j]
                                 : joined("C", std::to_string(j + 1));
    t.columns.push_back({name, name});
  }
  for (std::size_t i = 0; i < m.row_lower.size(); ++i) {
    t.rows.push_back(i < m.row_names.size()
                         ? m.row_names[i]
                         : joined("R", std::to_string(i + 1)));
  }
  return t;
}

std::int32_t status_code(karvon::ModelStatus status) {
  switch (status) {
    case karvon::ModelStatus::kOptimal:
      return karvon::kOptimal;
    case karvon::ModelStatus::kUnbounded:
      return karvon::kUnbounded;
    case karvon::ModelStatus::kInfeasible:
      return karvon::kInfeasible;
    case karvon::ModelStatus::kIterationLimit:
      return karvon::kIterationLimit;
    default:
      return karvon::kUnsettled;
  }
}

}  // namespace

std::string trace_model(const karvon::Model& model, TracedRun& run,
                        PageBudget& budget, karvon::ModelResult* result) {
  const ModelTerms terms = terms_of(model);
  ProblemTrace p;
  karvon::ModelResult r;
  {
    Recorder recorder(p, budget.budget(), &terms);
    r = karvon::solve(model, &recorder);
  }
  if (result != nullptr) *result = r;
  if (p.total == 0) return r.message;
  p.ended = true;
  p.status = status_code(r.status);
  p.iterations = static_cast<std::int32_t>(r.iterations);
  run.problems.push_back(std::move(p));
  budget.add(run.problems);
  return {};
}

TracedRun trace_deck(PageBudget& budget) {
  TracedRun run;
  // karvon's storage, reused by every problem without being cleared, so that
  // what one problem leaves behind shows in the next as it does there.
  static deck::Storage s;
  try {
    for (;;) {
      deck::read_settings(s);
      deck::read_header(s);
      deck::read_problem(s);
      deck::prepare(s);
      ProblemTrace& p = run.problems.emplace_back();
      {
        Recorder recorder(p, budget.budget());
        solver::LINEAR(s.a(), s.row(), s.col(), s.bound(), s.x(), s.M, s.N,
                       s.NV, s.STATUS, s.ITER, lp::kLda, lp::kNcol, s.asave(),
                       s.row0(), s.col0(), s.IUNIT != 0 ? kKeepInMemory : 0,
                       &recorder);
      }
      p.ended = true;
      p.status = s.STATUS;
      p.iterations = s.ITER;
      p.x.assign(s.X.begin(), s.X.begin() + s.NV);
      budget.add(run.problems);
    }
  } catch (const recio::RunEnd& end) {
    run.note = ending_note(end);
    // A solve the ending cut short keeps what it recorded.
    if (!run.problems.empty() && !run.problems.back().ended) {
      budget.add(run.problems);
    }
  }
  return run;
}

}  // namespace trace
