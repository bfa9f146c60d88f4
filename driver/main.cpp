#include <karvon/version.h>
#include <unistd.h>

#include <cstdio>
#include <limits>
#include <new>
#include <string>
#include <string_view>

#include "driver/karvon.h"
#include "recio/endings.h"
#include "recio/errors.h"
#include "recio/os_file.h"
#include "recio/startup.h"

static_assert(std::numeric_limits<double>::is_iec559);

namespace {

constexpr std::string_view kUsage =
    "Usage: karvon [--help | --version] < DECK\n"
    "Solve the linear programs of a deck read from standard input with LINEAR\n"
    "and print each problem before and after the solver call, the values of\n"
    "the variables and the objective value.\n"
    "\n"
    "The deck's records (settings, header, tableau rows, bounds, row kinds,\n"
    "column labels) are described in karvon(1) and in docs/decks.md.\n"
    "A header with M = 0 ends the run.\n"
    "\n"
    "  --help     show this help and exit\n"
    "  --version  show the version and exit\n"
    "Other arguments are ignored.\n";

// --help and --version answer at once and read nothing; the first of them
// wins. Any other argument is ignored, as it always was.
bool answered(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help") {
      std::fwrite(kUsage.data(), 1, kUsage.size(), stdout);
    } else if (arg == "--version") {
      const std::string version = karvon::version();
      std::printf("karvon %s\n", version.c_str());
    } else {
      continue;
    }
    std::fflush(stdout);
    return true;
  }
  return false;
}

// `word` as the shell reads it back: quoted when it holds anything but
// letters, digits and the harmless punctuation of file names.
std::string shell_word(std::string_view word) {
  constexpr std::string_view kPlain =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"
      "._/+-,=:@%";
  if (!word.empty() && word.find_first_not_of(kPlain) == word.npos) {
    return std::string(word);
  }
  std::string quoted = "'";
  for (const char c : word) {
    quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  }
  return quoted + "'";
}

// `karvon deck.txt` is the natural first guess, and it would leave karvon
// waiting on the terminal without a word: one line says where the deck is
// read from. Redirected input, or a deck that FORT5 names, says nothing, so
// what karvon writes for a deck stays as it was.
void hint_at_standard_input(int argc, char** argv) {
  if (argc < 2 || ::isatty(STDIN_FILENO) != 1) return;
  const char* fort5 = recio::os::env("FORT5");
  if (fort5 != nullptr && !recio::os::trim(fort5).empty()) return;
  std::string_view deck = "DECK";
  for (int i = 1; i < argc; ++i) {
    if (argv[i][0] != '-') {
      deck = argv[i];
      break;
    }
  }
  const std::string line =
      "karvon: the deck is read from standard input, not from the command "
      "line: karvon < " +
      shell_word(deck) + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
}

}  // namespace

int main(int argc, char** argv) {
  if (answered(argc, argv)) return std::ferror(stdout) ? 1 : 0;
  hint_at_standard_input(argc, argv);
  recio::start_up();
  try {
    driver::run();
  } catch (const recio::RunEnd& end) {
    return recio::end_run(end);
  } catch (const std::bad_alloc&) {
    return recio::end_run(
        recio::RunEnd::report(recio::Error::kNoMemory, 0, {}));
  }
}
