// mps2deck: an MPS model in, a deck for karvon out.

#include <karvon/version.h>

#include <cstdio>
#include <exception>
#include <iostream>
#include <limits>
#include <new>
#include <string>
#include <vector>

#include "deck/conversion.h"
#include "files/files.h"
#include "modelio/mps_reader.h"
#include "mps2deck/options.h"

static_assert(std::numeric_limits<double>::is_iec559);

namespace {

constexpr int kRefused = 1;
constexpr int kUsage = 2;

void say(const std::string& text) { std::cerr << "mps2deck: " << text << '\n'; }

int convert(const mps2deck::Options& options) {
  std::string error =
      files::same_file_refusal(options.input, {{"-o", options.output}});
  if (!error.empty()) {
    say(error);
    return kRefused;
  }
  files::InputFile input;
  if (!input.open(options.input, error)) {
    say(error);
    return kRefused;
  }
  const std::string& name = input.display_name();
  const modelio::ReadResult read =
      modelio::read_mps(input.path(), name, options.format);
  for (const std::string& w : read.warnings) say(w);
  if (!read.ok) {
    say(read.error);
    return kRefused;
  }
  const deck::Conversion deck = deck::from_model(read.model, options.settings);
  for (const std::string& n : deck.notes) say(name + ": " + n);
  if (!deck.ok) {
    say(name + ": " + deck.error);
    return kRefused;
  }
  if (!files::write_output(options.output.empty() ? "-" : options.output,
                           deck.text, error)) {
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
    if (parsed.options.version) {
      std::cout << "mps2deck " << karvon::version() << '\n';
      return 0;
    }
    files::prepare_program();
    return convert(parsed.options);
  } catch (const std::bad_alloc&) {
    // Nothing that needs memory of its own.
    std::fputs("mps2deck: out of memory\n", stderr);
    return kRefused;
  } catch (const std::exception& e) {
    say(std::string("cannot convert the model: ") + e.what());
    return kRefused;
  }
}
