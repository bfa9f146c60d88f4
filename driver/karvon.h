#pragma once
// KARVON: reads linear programs from unit 5, solves each with LINEAR and
// reports on unit 6, until a closing header.

namespace driver {

// Runs problems until the input ends the run; every ending (the plain stop,
// a stop code, a run-time error) is raised as recio::RunEnd.
[[noreturn]] void run();

}  // namespace driver
