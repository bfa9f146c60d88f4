#pragma once
// The command line of karvon-solve.

#include <karvon/karvon.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "modelio/model_file.h"

namespace tools {

struct SolveOptions {
  std::string input;
  std::optional<modelio::Format>
      format;  // from the name or content when absent
  bool maximize = false;
  std::int32_t problem = 0;  // 0: every problem of a deck
  std::string solution;      // --solution FILE
  bool tableau = false;
  karvon::SolveOptions
      limits;                // --iteration-limit, --time-limit, --memory-limit
  bool no_objsense = false;  // a maximum written to MPS as a minimum
  std::string write_mps, write_lp, write_deck;
  bool help = false;
  bool version = false;

  bool converts() const {
    return !write_mps.empty() || !write_lp.empty() || !write_deck.empty();
  }
};

struct ParsedSolveOptions {
  bool ok = false;
  SolveOptions options;
  std::string error;  // what is wrong with the command line
};

// Parses argv[1..]. Options with a value take it as the next argument or
// after "=". Exactly one FILE ("-" for standard input) unless --help or
// --version is given.
ParsedSolveOptions parse_solve_options(const std::vector<std::string>& args);

// The text of --help.
std::string solve_usage();

}  // namespace tools
