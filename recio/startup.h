#pragma once
// Start-up and the environment switches. The endings of a run are in
// endings.h.

#include "recio/errors.h"

namespace recio {

// Holds the standard streams the program was started without, masks every
// floating-point exception (round to nearest, double precision), makes
// refused writes fail instead of killing the process, and prepares the
// endings (the error stream, the console-event and processor-exception
// handlers).
void start_up();

// The processor division check: 4195835 - (4195835 / 3145727) * 3145727 must
// be exactly 0. Raises severe error 201 unless FOR_RUN_FLAWED_PENTIUM is on.
void division_check();

// The switch rule: on when the value begins with t, T, y or Y, or is all
// decimal digits with a nonzero value. Off when null, empty or anything else.
bool switch_on(const char* value);

}  // namespace recio
