#pragma once
// What the fuzz targets share: a private working directory, the input bytes
// placed behind standard input, and the check that a run ended the way a
// run may end.

#include <cstddef>
#include <cstdint>
#include <string>

#include "recio/errors.h"

namespace fuzz {

// Creates a private directory under the system's temporary directory, makes
// it the current directory, sends standard output to /dev/null and caps the
// size of any file written (a cycling deck printing to "fort.7" must not
// fill the disk: the cap turns into a failed write, error 38; run the
// fuzzer with -handle_xfsz=0 so that it leaves that to the target). Call
// once.
void enter_private_directory();

// Removes every file in the current directory (LP.TMP, fort.N, ...).
void clear_directory();

// Writes `data` to a file and puts that file behind standard input, read
// from its start.
void set_standard_input(const std::uint8_t* data, std::size_t size);

// The file's bytes, or an empty string when it does not exist.
std::string read_file(const char* name);

// The error number of a report, or -1 for any other ending.
std::int32_t error_number(const recio::RunEnd& end);

// Aborts (a finding) with `what` on standard error.
[[noreturn]] void finding(const std::string& what);

}  // namespace fuzz
