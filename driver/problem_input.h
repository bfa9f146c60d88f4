#pragma once
// The records of one problem on unit 5, and the preparation of its labels
// and bounds.

#include "driver/storage.h"

namespace driver {

// The settings record: IUNIT, IOUT.
void read_settings(Storage& s);

// The header: M, N, NBOUND, then the header test. A closing header (N > 61,
// M = 0 or M >= 51) makes the plain stop; a header the solver cannot take
// (M < 0 or N < 1) ends the run with a message and status 2. Does not return
// in either case.
void read_header(Storage& s);

// The tableau rows, the bounds, the row kinds and the column labels. Bounds
// beyond the 110 that BOUND holds are read and dropped, so the input stays in
// step.
void read_problem(Storage& s);

// Numbers the variables (NV), labels the rows and fills absent bounds with
// 1.0e30.
void prepare(Storage& s);

}  // namespace driver
