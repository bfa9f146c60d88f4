#pragma once
// The records of one problem as karvon reads them from unit 5, and the
// preparation every reader of a problem makes once its records are in.

#include "deck/storage.h"

namespace deck {

// The settings record: IUNIT, IOUT.
void read_settings(Storage& s);

// The header: M, N, NBOUND, then the header test. A closing header makes the
// plain stop; an invalid one ends the run with a message and status 2. Does
// not return in either case.
void read_header(Storage& s);

// The tableau rows, the bounds, the row kinds and the column labels. Bounds
// beyond the 110 that BOUND holds are read and dropped, so the input stays in
// step.
void read_problem(Storage& s);

// Numbers the variables (NV), labels the rows and fills absent bounds with
// 1.0e30.
void prepare(Storage& s);

}  // namespace deck
