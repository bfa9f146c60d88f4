#pragma once
// The command line of mps2deck.

#include <cstddef>
#include <string>
#include <vector>

#include "deck/writer.h"
#include "modelio/mps_reader.h"

namespace mps2deck {

struct Options {
  std::string input = "-";  // "-": standard input
  std::string output;       // empty: standard output
  deck::Settings settings;
  modelio::MpsFormat format = modelio::MpsFormat::kAuto;
  bool help = false;
  bool version = false;
};

struct ParsedOptions {
  bool ok = false;
  Options options;
  std::string error;  // what is wrong with the command line
};

// Parses argv[1..]: --help, --version, -o FILE, --iunit N, --iout N (also
// --iunit=N),
// --no-close, --fixed, --free, and at most one input file ("-" for standard
// input). N must fit the five columns of its settings field; --iunit may not
// name unit 5 or 6, which carry the deck itself and the report, nor --iout
// unit 5.
ParsedOptions parse_options(const std::vector<std::string>& args);

// The text of --help.
std::string usage_text();

}  // namespace mps2deck
