#include "trace/trace_run.h"

#include <cstddef>
#include <map>
#include <string>

#include "api/model_deck.h"
#include "common/lp.h"
#include "driver/problem_input.h"
#include "driver/storage.h"
#include "model/deck_builder.h"
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

ModelTerms terms_of(const model::Deck& d) {
  std::map<std::size_t, int> parts;  // deck columns of each model column
  for (const model::DeckColumn& c : d.columns) ++parts[c.model_column];
  ModelTerms t;
  for (const model::DeckColumn& c : d.columns) {
    if (c.sign > 0) {
      t.columns.push_back({c.name, c.name});
    } else if (parts[c.model_column] > 1) {
      t.columns.push_back(
          {joined("-", c.name), joined("negative part of ", c.name)});
    } else {
      t.columns.push_back(
          {joined("-", c.name), c.name + " below its upper bound"});
    }
  }
  t.rows = d.row_names;
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
  const model::BuildResult built =
      model::build_deck(karvon::detail::to_transform(model));
  const ModelTerms terms = built.ok ? terms_of(built.deck) : ModelTerms{};
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
  // The driver's storage, reused by every problem without being cleared, so
  // that what one problem leaves behind shows in the next as it does there.
  static driver::Storage s;
  try {
    for (;;) {
      driver::read_settings(s);
      driver::read_header(s);
      driver::read_problem(s);
      driver::prepare(s);
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
