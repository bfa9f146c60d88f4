// mps2deck: an MPS model in, a deck for karvon out.

#include <cstdio>
#include <exception>
#include <iostream>
#include <limits>
#include <string>
#include <vector>

#include "model/deck_builder.h"
#include "mps2deck/deck_text.h"
#include "mps2deck/files.h"
#include "mps2deck/mps_reader.h"
#include "mps2deck/options.h"

static_assert(std::numeric_limits<double>::is_iec559);

namespace {

constexpr int kRefused = 1;
constexpr int kUsage = 2;

void say(const std::string& text) { std::cerr << "mps2deck: " << text << '\n'; }

std::string relative_change(double change) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.1e", change);
  return buf;
}

int convert(const mps2deck::Options& options) {
  mps2deck::InputFile input;
  std::string error;
  if (!input.open(options.input, error)) {
    say(error);
    return kRefused;
  }
  const std::string& name = input.display_name();
  const mps2deck::ReadResult read =
      mps2deck::read_mps(input.path(), name, options.format);
  for (const std::string& w : read.warnings) say(w);
  if (!read.ok) {
    say(read.error);
    return kRefused;
  }
  const model::BuildResult built = model::build_deck(read.model);
  for (const std::string& n : built.notes) say(name + ": " + n);
  if (!built.ok) {
    say(name + ": " + built.error);
    return kRefused;
  }
  const mps2deck::DeckText deck =
      mps2deck::deck_text(built.deck, options.settings);
  if (deck.rounded > 0) {
    say(name + ": note: " + std::to_string(deck.rounded) +
        " value(s) have no exact ten-column form and were rounded; largest "
        "relative change " +
        relative_change(deck.largest_change));
  }
  const bool written =
      options.output.empty()
          ? mps2deck::write_standard_output(deck.text, error)
          : mps2deck::write_file_whole(options.output, deck.text, error);
  if (!written) {
    say(error);
    return kRefused;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    const mps2deck::ParsedOptions parsed = mps2deck::parse_options(args);
    if (!parsed.ok) {
      say(parsed.error);
      std::cerr << "Try 'mps2deck --help' for more information.\n";
      return kUsage;
    }
    if (parsed.options.help) {
      std::cout << mps2deck::usage_text();
      return 0;
    }
    return convert(parsed.options);
  } catch (const std::exception& e) {
    say(std::string("cannot convert the model: ") + e.what());
    return kRefused;
  }
}
