#pragma once
// The trace as one self-contained HTML page: the data as compact JSON, the
// style and the script inline, nothing fetched.

#include <string>
#include <string_view>
#include <vector>

#include "trace/recorder.h"

namespace trace {

// `title` names the input; `note` (may be empty) says why the run ended
// early.
std::string page(const std::vector<ProblemTrace>& problems,
                 std::string_view title, std::string_view note);

// One problem as JSON: tableaux and bounds as base64 of the doubles
// little-endian bytes, everything else plain.
std::string problem_json(const ProblemTrace& p);

// The shortest text that reads back as the same double; "NaN", "Infinity"
// and "-Infinity" quoted, as JSON has no literal for them.
std::string json_number(double v);

}  // namespace trace
