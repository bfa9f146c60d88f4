#pragma once
// KARVON: reads linear programs from unit 5, solves each with LINEAR and
// reports on unit 6, until a closing header.

#include "deck/storage.h"

namespace driver {

// Runs problems until the input ends the run; every ending (the plain stop,
// a stop code, a run-time error) is raised as recio::RunEnd.
[[noreturn]] void run();

// LINEAR on the problem held in s, the tableau printed on unit IOUT after
// every step when IOUT > 0.
void solve(deck::Storage& s);

}  // namespace driver
