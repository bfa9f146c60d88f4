#include "diag/chkout.h"

#include <cassert>
#include <span>
#include <string_view>

#include "recio/layout.h"
#include "recio/record_write.h"

namespace diag {
namespace {

// Each value is a write of its own, joined into one line by `$`, so a value
// line is never split however many columns there are.
constexpr auto kFirstValue = recio::layout(R"(("  |", F7.2, $))");
constexpr auto kNextValue = recio::layout("(F9.2, $)");
constexpr auto kBodyEnd = recio::layout(R"(("   |", F8.2, "   |", I4))");
constexpr auto kObjectiveEnd = recio::layout(R"(("   |", F8.2, "   |  LI"))");
constexpr auto kPhaseOneEnd = recio::layout(R"(("   |", F8.2, "   *  M "))");
// Eight pieces per record: a separator wider than eight columns continues
// on a new record that starts again with "  +".
constexpr auto kSeparator = recio::layout(R"(("  +", 8A))");
constexpr auto kFirstLabel = recio::layout(R"(("  |", I6, $))");
constexpr auto kNextLabel = recio::layout("(I9, $)");
// Ends the label line and opens the DJ line two columns in.
constexpr auto kLabelCaption =
    recio::layout(R"(("    <--   LJ    |", /, 2X, $))");
constexpr auto kDjValue = recio::layout("(1P, E9.2, $)");
// Ends the DJ line, then one empty line closes the print.
constexpr auto kDjCaption = recio::layout(R"(("   <--   DJ", /))");

constexpr std::string_view kColumnDashes = "---------";
constexpr std::string_view kOuterTail = "-+-----------+-----";
constexpr std::string_view kMiddleTail = "-+-----------+-  ^ ";

void separator(std::int32_t unit, std::int32_t N, std::string_view tail) {
  recio::WriteStatement w(unit, kSeparator);
  for (std::int32_t j = 1; j <= N - 1; ++j) w.put(kColumnDashes);
  w.put(tail);
  w.finish();
}

// Columns 1..N-1 of row i, left open for the right-hand-side box. A(i,1) is
// written even when N = 1, where it is also the right-hand side.
void row_values(std::int32_t unit, lp::MatrixRef A, std::int32_t i,
                std::int32_t N) {
  {
    recio::WriteStatement w(unit, kFirstValue);
    w.put(A(i, 1));
    w.finish();
  }
  if (N > 2) {
    recio::write_each(
        unit, kNextValue, std::size_t(N - 2),
        [&A, i](std::size_t j) { return A(i, std::int32_t(j) + 2); });
  }
}

void row_end(std::int32_t unit, const recio::Layout& layout, double rhs) {
  recio::WriteStatement w(unit, layout);
  w.put(rhs);
  w.finish();
}

}  // namespace

void CHKOUT(lp::MatrixRef A, lp::VectorRef<const std::int32_t> LI,
            lp::VectorRef<const std::int32_t> LJ,
            lp::VectorRef<const double> DJ,
            [[maybe_unused]] lp::VectorRef<const std::int32_t> LI0,
            [[maybe_unused]] lp::VectorRef<const std::int32_t> LJ0,
            std::int32_t M, std::int32_t N, [[maybe_unused]] std::int32_t NV,
            [[maybe_unused]] std::int32_t LDA,
            [[maybe_unused]] std::int32_t NCOL, std::int32_t IOUT,
            [[maybe_unused]] std::int32_t ITER,
            [[maybe_unused]] std::int32_t IP,
            [[maybe_unused]] std::int32_t JP) {
  if (IOUT <= 0) return;
  assert(A.rows() == LDA && A.cols() == NCOL);

  separator(IOUT, N, kOuterTail);
  for (std::int32_t i = 1; i <= M - 1; ++i) {
    row_values(IOUT, A, i, N);
    recio::WriteStatement w(IOUT, kBodyEnd);
    w.put(A(i, N));
    w.put(LI(i));
    w.finish();
  }
  separator(IOUT, N, kMiddleTail);
  row_values(IOUT, A, M, N);
  row_end(IOUT, kObjectiveEnd, A(M, N));
  row_values(IOUT, A, M + 1, N);
  row_end(IOUT, kPhaseOneEnd, A(M + 1, N));
  separator(IOUT, N, kOuterTail);

  {
    recio::WriteStatement w(IOUT, kFirstLabel);
    w.put(LJ(1));
    w.finish();
  }
  if (N > 2) {
    recio::write_each(IOUT, kNextLabel, std::size_t(N - 2),
                      [&LJ](std::size_t j) { return LJ(std::int32_t(j) + 2); });
  }
  recio::write_record(IOUT, kLabelCaption);
  if (N > 1) {
    recio::write_each(IOUT, kDjValue, std::size_t(N - 1),
                      [&DJ](std::size_t j) { return DJ(std::int32_t(j) + 1); });
  }
  recio::write_record(IOUT, kDjCaption);
}

void TableauPrint::step(const karvon::Step& s) {
  const karvon::TableauView& t = s.tableau;
  // CHKOUT reads A and changes nothing; MatrixRef is the solver's writable
  // view, so constness is set aside for the call only.
  const lp::MatrixRef A(std::span<double>(const_cast<double*>(t.a), t.a_size),
                        t.lda, t.ncol);
  const lp::VectorRef<const std::int32_t> LI({t.row, t.row_size});
  const lp::VectorRef<const std::int32_t> LJ({t.col, t.col_size});
  const lp::VectorRef<const double> DJ({t.bound, t.bound_size});
  CHKOUT(A, LI, LJ, DJ, LI, LJ, t.M, t.N, t.NV, t.lda, t.ncol, unit_,
         s.iteration, s.ip, s.jp);
}

}  // namespace diag
