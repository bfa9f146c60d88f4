#include "deck/load.h"

#include <cstddef>
#include <vector>

#include "deck/unit_reader.h"

namespace deck {

void load(const model::Deck& d, std::int32_t IUNIT, std::int32_t IOUT,
          Storage& s) {
  s.IUNIT = IUNIT;
  s.IOUT = IOUT;
  s.M = d.M;
  s.N = d.N;
  s.NBOUND = static_cast<std::int32_t>(d.bounds.size());
  lp::MatrixRef a = s.a();
  for (std::int32_t i = 1; i <= d.M; ++i) {
    const std::vector<double>& row = d.rows[std::size_t(i - 1)];
    for (std::int32_t j = 1; j <= d.N; ++j) a(i, j) = row[std::size_t(j - 1)];
  }
  for (std::int32_t k = 1; k <= s.NBOUND && k <= lp::kMaxVariables; ++k) {
    s.bound()(k) = d.bounds[std::size_t(k - 1)];
  }
  for (std::int32_t i = 1; i <= d.M - 1; ++i) {
    s.row()(i) = d.row_kinds[std::size_t(i - 1)];
  }
  for (std::int32_t j = 1; j <= d.N - 1; ++j) s.col()(j) = 0;
  prepare(s);
}

}  // namespace deck
