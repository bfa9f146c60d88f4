#include "tests/peer/karvon_output.h"

#include <cerrno>
#include <cstdlib>

namespace peer {
namespace {

constexpr std::string_view kBefore =
    " ********** DATA BEFORE CALLING LINEAR **********";
constexpr std::string_view kAfter =
    " ========== DATA AFTER  CALLING LINEAR ==========";
constexpr std::string_view kValues = " VALUES OF VARIABLES =";
constexpr std::string_view kObjective = " OBJECTIVE FUNCTION  =";
constexpr std::string_view kStop = "Stop - Program terminated.";
constexpr std::size_t kValueWidth = 10;  // E10.3

// A whole field as a number; false for anything strtod does not consume
// entirely (asterisks, NaN spelled otherwise, stray text).
bool parse_number(std::string_view field, double& value) {
  while (!field.empty() && field.front() == ' ') field.remove_prefix(1);
  if (field.empty()) return false;
  const std::string text(field);
  char* end = nullptr;
  errno = 0;
  value = std::strtod(text.c_str(), &end);
  return errno == 0 && end == text.c_str() + text.size();
}

}  // namespace

PrintedRun parse_karvon_output(std::string_view out) {
  PrintedRun run;
  enum class Where { kStart, kBefore, kAfter, kValues, kDone };
  Where where = Where::kStart;
  std::size_t line_number = 0;
  auto fail = [&](std::string_view what) {
    run.error =
        "line " + std::to_string(line_number) + ": " + std::string(what);
    return run;
  };
  while (!out.empty()) {
    const std::size_t end = out.find("\r\n");
    if (end == std::string_view::npos) return fail("record without CR LF");
    const std::string_view line = out.substr(0, end);
    out.remove_prefix(end + 2);
    ++line_number;
    if (where == Where::kDone) return fail("output after the stop record");
    if (line == kBefore) {
      if (where == Where::kBefore || where == Where::kValues) {
        return fail("a problem without its second echo or its objective");
      }
      run.problems.emplace_back();
      where = Where::kBefore;
    } else if (line == kAfter) {
      if (where != Where::kBefore) return fail("second echo out of place");
      where = Where::kAfter;
    } else if (line == kValues) {
      if (where != Where::kAfter) return fail("values out of place");
      run.problems.back().optimal = true;
      where = Where::kValues;
    } else if (line.starts_with(kObjective)) {
      if (where != Where::kValues) return fail("objective out of place");
      if (!parse_number(line.substr(kObjective.size()),
                        run.problems.back().objective)) {
        return fail("unreadable objective");
      }
      where = Where::kAfter;
    } else if (line == kStop) {
      if (where == Where::kBefore || where == Where::kValues) {
        return fail("stop inside a problem");
      }
      run.stopped = true;
      where = Where::kDone;
    } else if (where == Where::kValues) {
      // One blank, then up to eight fields of ten columns.
      if (line.empty() || line.front() != ' ') return fail("bad values record");
      for (std::size_t at = 1; at < line.size(); at += kValueWidth) {
        double v = 0.0;
        if (!parse_number(line.substr(at, kValueWidth), v)) {
          return fail("unreadable value");
        }
        run.problems.back().x.push_back(v);
      }
    } else if (where == Where::kStart) {
      return fail("output before the first problem");
    }
  }
  return run;
}

}  // namespace peer
