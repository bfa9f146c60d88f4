#pragma once
// GAUSS: one exchange step on the simplex tableau, in place.

#include <cstdint>

#include "common/lp.h"

namespace solver {

// Pivots on A(IP,JP): the variable of column JP becomes basic in row IP and
// the one that was basic there takes over column JP.
//   A       in/out  LDA x NCOL tableau; rows 1..K, columns 1..N change.
//   M       in      rows up to the objective row; row M+1 is the phase-1 row.
//   N       in      columns to transform, the right-hand side included.
//   IP, JP  in      the pivot position, 1 <= IP <= K, 1 <= JP <= N.
//   SGN     in      placed in the pivot position before the row is divided,
//                   so column JP comes out as SGN/p in row IP.
//   K       in      rows 1..K are transformed (M+1 in phase 1, M in phase 2).
//   LV      in      the label row IP held before the exchange; when it is
//                   negative the phase-1 row's entry in column JP starts from
//                   1.0 instead of 0.0.
//   LDA, NCOL in    dimensions of A.
// No pivot test: the caller guarantees |A(IP,JP)| > lp::kEps.
void GAUSS(lp::MatrixRef A, std::int32_t M, std::int32_t N, std::int32_t IP,
           std::int32_t JP, double SGN, std::int32_t K, std::int32_t LV,
           std::int32_t LDA, std::int32_t NCOL);

// The elimination shared by GAUSS and RECOMP. Every entry gets exactly the
// value of the textbook row-by-row step:
//   p = A(ip,jp); A(ip,jp) = sgn; A(ip,j) = A(ip,j) / p for every j;
//   then for every row i <= k other than ip: f = A(i,jp) (taken before it is
//   overwritten); A(i,jp) = b (1.0 for row `one_row`, else 0.0);
//   A(i,j) = A(i,j) - f * A(ip,j) for every j.
// one_row = 0 means no row starts from 1.0.
void eliminate(lp::MatrixRef A, std::int32_t N, std::int32_t ip,
               std::int32_t jp, double sgn, std::int32_t k,
               std::int32_t one_row);

// The same elimination with a chosen width of the column loop (doubles per
// vector: SSE2, AVX, AVX-512), so that tests can hold every width to the
// same bits. `eliminate` takes the widest the processor offers; a wider one
// than it offers runs as the widest.
enum class Lanes : std::uint8_t {
  kOne = 1,
  kTwo = 2,
  kFour = 4,
  kEight = 8,
};
Lanes widest_lanes();
void eliminate(lp::MatrixRef A, std::int32_t N, std::int32_t ip,
               std::int32_t jp, double sgn, std::int32_t k,
               std::int32_t one_row, Lanes lanes);

}  // namespace solver
