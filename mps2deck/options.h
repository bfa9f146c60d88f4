#pragma once
// The command line of mps2deck.

#include <cstddef>
#include <string>
#include <vector>

#include "deck/writer.h"
#include "mps2deck/mps_reader.h"

namespace mps2deck {

struct Options {
  std::string input = "-";  // "-": standard input
  std::string output;       // empty: standard output
  deck::Settings settings;
  MpsFormat format = MpsFormat::kAuto;
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

// The value of the option args[i]: after "=" in the same argument, or the
// next argument (i then moves onto it). False, with `error` set, when there
// is none. Shared by the command lines of the model tools.
bool option_value(const std::vector<std::string>& args, std::size_t& i,
                  std::string& into, std::string& error);

// The text of --help.
std::string usage_text();

}  // namespace mps2deck
