#include "trace/trace_run.h"

#include "common/lp.h"
#include "driver/problem_input.h"
#include "driver/storage.h"
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

}  // namespace

TracedRun trace_deck() {
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
      Recorder recorder(p);
      solver::LINEAR(s.a(), s.row(), s.col(), s.bound(), s.x(), s.M, s.N, s.NV,
                     s.STATUS, s.ITER, lp::kLda, lp::kNcol, s.asave(), s.row0(),
                     s.col0(), s.IUNIT != 0 ? kKeepInMemory : 0, &recorder);
      p.ended = true;
      p.status = s.STATUS;
      p.iterations = s.ITER;
      p.x.assign(s.X.begin(), s.X.begin() + s.NV);
    }
  } catch (const recio::RunEnd& end) {
    run.note = ending_note(end);
  }
  return run;
}

}  // namespace trace
