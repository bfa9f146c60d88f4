#include "solver/scratch.h"

#include "recio/unformatted.h"
#include "recio/units.h"

namespace solver {
namespace {

// Visits the block (1..M, 1..N) column by column: the order of the record.
template <typename Visit>
void each_entry(std::int32_t M, std::int32_t N, Visit visit) {
  for (std::int32_t j = 1; j <= N; ++j) {
    for (std::int32_t i = 1; i <= M; ++i) visit(i, j);
  }
}

}  // namespace

void save_initial_tableau(lp::MatrixRef A, std::int32_t M, std::int32_t N,
                          std::int32_t IUNIT, lp::MatrixRef ASAVE) {
  if (IUNIT > 0) {
    // Rewind first: the write that follows cuts the file off after itself,
    // so an earlier problem's record is gone.
    recio::rewind(IUNIT);
    recio::UnformattedWrite w(IUNIT);
    each_entry(M, N, [&](std::int32_t i, std::int32_t j) { w.put(A(i, j)); });
    w.finish();
  } else if (IUNIT < 0) {
    each_entry(M, N,
               [&](std::int32_t i, std::int32_t j) { ASAVE(i, j) = A(i, j); });
  }
}

void reload_initial_tableau(lp::MatrixRef A, std::int32_t M, std::int32_t N,
                            std::int32_t IUNIT, lp::MatrixRef ASAVE) {
  if (IUNIT > 0) {
    // The record was written earlier in the same call with the same M and
    // N, so it holds exactly the M * N values asked for.
    recio::rewind(IUNIT);
    recio::UnformattedRead r(IUNIT);
    each_entry(M, N,
               [&](std::int32_t i, std::int32_t j) { A(i, j) = r.get_real(); });
    r.finish();
  } else if (IUNIT < 0) {
    each_entry(M, N,
               [&](std::int32_t i, std::int32_t j) { A(i, j) = ASAVE(i, j); });
  }
}

}  // namespace solver
