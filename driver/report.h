#pragma once
// What the driver prints on unit 6 around each solver call.

#include "deck/storage.h"

namespace driver {

enum class Echo { kBeforeCall, kAfterCall };

// The banner, the tableau rows 1..M, BOUND(1..NV), ROW(1..M-1) and
// COL(1..N-1).
void write_echo(deck::Storage& s, Echo which);

// The values of the variables and the objective value -A(M,N).
void write_result(deck::Storage& s);

}  // namespace driver
