#pragma once
// The saved initial tableau: one length-framed record on the scratch unit,
// the copy in ASAVE, or nothing.

#include <cstdint>

#include "common/lp.h"

namespace solver {

// Keeps A(1..M, 1..N) for later recomputation.
//   IUNIT > 0: rewinds unit IUNIT and writes one unformatted record holding
//              the block column by column, packed (stride M, not LDA); the
//              file then holds this record only.
//   IUNIT < 0: ASAVE(i,j) = A(i,j) over the same block; nothing else of
//              ASAVE changes.
//   IUNIT = 0: nothing.
// The phase-1 row M+1 is never part of the block.
void save_initial_tableau(lp::MatrixRef A, std::int32_t M, std::int32_t N,
                          std::int32_t IUNIT, lp::MatrixRef ASAVE);

// Puts the block back into A(1..M, 1..N), bit for bit: after a rewind, the
// one record of unit IUNIT (IUNIT > 0), or ASAVE (IUNIT < 0); nothing when
// IUNIT = 0. Rows above M are not touched.
void reload_initial_tableau(lp::MatrixRef A, std::int32_t M, std::int32_t N,
                            std::int32_t IUNIT, lp::MatrixRef ASAVE);

}  // namespace solver
