#pragma once
// Start-up, the ending of a run, and the environment switches.

#include "recio/errors.h"

namespace recio {

// Masks every floating-point exception (round to nearest, double precision)
// and installs the console-event and processor-exception handlers.
void start_up();

// The processor division check: 4195835 - (4195835 / 3145727) * 3145727 must
// be exactly 0. Raises severe error 201 unless FOR_RUN_FLAWED_PENTIUM is on.
void division_check();

// Carries out an ending: writes the stop record or the report line, closes
// every unit (everything written reaches its file) and returns the process
// exit status (the status code modulo 256). Never throws.
int end_run(const RunEnd& end) noexcept;

// The switch rule: on when the value begins with t, T, y or Y, or is all
// decimal digits with a nonzero value. Off when null, empty or anything else.
bool switch_on(const char* value);

}  // namespace recio
