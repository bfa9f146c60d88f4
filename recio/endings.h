#pragma once
// The endings of a run: the stops, the report lines and the error stream,
// and the handlers of console events and processor exceptions, which end the
// run from a signal. Every ending writes out the records collected for every
// unit before its report line.

#include "recio/errors.h"

namespace recio {

// Captures the error stream's name (FORT0) and installs the console-event
// handlers and, when `processor_exceptions`, the processor-exception
// handlers. Called once, by start_up().
void prepare_endings(bool processor_exceptions);

// Carries out an ending: writes the stop record, closes every unit
// (everything written reaches its file), then writes the report line, and
// returns the process exit status (RunEnd::exit_status). Never throws.
int end_run(const RunEnd& end) noexcept;

}  // namespace recio
