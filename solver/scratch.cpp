#include "solver/scratch.h"

#include "recio/unformatted.h"
#include "recio/units.h"

namespace solver {

void save_initial_tableau(MatrixRef A, std::int32_t M, std::int32_t N,
                          std::int32_t IUNIT, MatrixRef ASAVE) {
  if (IUNIT > 0) {
    // Rewind first: the write that follows cuts the file off after itself,
    // so an earlier problem's record is gone.
    recio::rewind(IUNIT);
    recio::UnformattedWrite w(IUNIT);
    for (std::int32_t j = 1; j <= N; ++j) {
      for (std::int32_t i = 1; i <= M; ++i) w.put(A(i, j));
    }
    w.finish();
  } else if (IUNIT < 0) {
    for (std::int32_t j = 1; j <= N; ++j) {
      for (std::int32_t i = 1; i <= M; ++i) ASAVE(i, j) = A(i, j);
    }
  }
}

void reload_initial_tableau(MatrixRef A, std::int32_t M, std::int32_t N,
                            std::int32_t IUNIT, MatrixRef ASAVE) {
  if (IUNIT > 0) {
    // The record was written earlier in the same call with the same M and
    // N, so it holds exactly the M * N values asked for.
    recio::rewind(IUNIT);
    recio::UnformattedRead r(IUNIT);
    for (std::int32_t j = 1; j <= N; ++j) {
      for (std::int32_t i = 1; i <= M; ++i) A(i, j) = r.get_real();
    }
    r.finish();
  } else if (IUNIT < 0) {
    for (std::int32_t j = 1; j <= N; ++j) {
      for (std::int32_t i = 1; i <= M; ++i) A(i, j) = ASAVE(i, j);
    }
  }
}

}  // namespace solver
