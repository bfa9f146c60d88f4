// karvon-trace: writes the simplex steps of every problem of a deck, or of
// a model file, as one self-contained HTML page.

#include <fcntl.h>
#include <karvon/version.h>
#include <unistd.h>

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "files/files.h"
#include "modelio/model_file.h"
#include "modeltools/format_option.h"
#include "modeltools/standard_form.h"
#include "recio/startup.h"
#include "recio/units.h"
#include "trace/page.h"
#include "trace/trace_run.h"

namespace {

constexpr std::string_view kUsage =
    "Usage: karvon-trace [OPTION]... FILE -o PAGE\n"
    "Solve every problem of the karvon deck FILE (- for standard input), or\n"
    "the model in an MPS or LP file, and write each step of the simplex\n"
    "method to PAGE, one HTML file that works offline. The format comes from\n"
    "an option, else from the name: .mps (fixed MPS, then free), .freemps,\n"
    ".lp (CPLEX LP), .deck, .dat or .txt (a deck), else from the first lines:\n"
    "an MPS NAME or ROWS header, an LP objective, a deck's first records.\n"
    "A model's variables are named after its columns and rows.\n"
    "\n"
    "  -o, --output PAGE  the page to write (required)\n"
    "      --title TEXT   the page's title (default: FILE's name)\n"
    "      --max-steps N  steps kept of each problem, the first half and the\n"
    "                     last half (at least 2; default 1000)\n"
    "      --max-bytes N  the page's size: every problem keeps fewer steps\n"
    "                     when they would not fit (default 20000000)\n"
    "      --mps, --freemps, --lp, --deck\n"
    "                     read FILE in this format whatever its name\n"
    "  -h, --help         show this help and exit\n"
    "      --version      show the version and exit\n"
    "\n"
    "PAGE, when it is a regular file or does not exist yet, is replaced whole\n"
    "once the page is complete (a rewritten page keeps its mode); a FIFO, a\n"
    "device or - (standard output) is written straight. A PAGE that is FILE\n"
    "itself is refused before anything is read. A page that cannot be written\n"
    "(disk full, file too large) leaves the previous one as it was, and no\n"
    "temporary file stays behind, not even after SIGTERM or Ctrl-C.\n"
    "\n"
    "Exit status: 0 when the deck ended with its closing header or the model\n"
    "was solved, 1 when the run ended early (the page then shows the problems\n"
    "before the ending), the model was refused or the page could not be\n"
    "written, 2 for a wrong command line or a file whose format cannot be\n"
    "told.\n"
    "\n"
    "A page shows the first and the last steps of a long solve, a view of at\n"
    "most 49 rows and 60 columns of a large tableau, and says what it left\n"
    "out. See karvon-trace(1).\n";

int usage_error(std::string_view what) {
  std::fprintf(
      stderr,
      "karvon-trace: %.*s\nTry 'karvon-trace --help' for more information.\n",
      int(what.size()), what.data());
  return 2;
}

// A count for an option: digits only, at least `least`.
std::optional<std::int64_t> count_option(std::string_view text,
                                         std::int64_t least) {
  std::int64_t v = 0;
  const auto [end, ec] =
      std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc{} || end != text.data() + text.size() || v < least) {
    return std::nullopt;
  }
  return v;
}

// The models of a model file, each solved with its steps recorded.
trace::TracedRun trace_models(const modelio::ModelInput& input,
                              trace::PageBudget& budget) {
  trace::TracedRun run;
  modelio::ModelsRead read = modelio::read_models(input);
  for (const std::string& w : read.warnings) {
    std::fprintf(stderr, "karvon-trace: %s\n", w.c_str());
  }
  if (!read.ok) {
    run.note = read.error;
    return run;
  }
  for (const model::Model& m : read.models) {
    std::size_t integers = 0;
    for (const model::ModelColumn& c : m.columns) integers += c.integer ? 1 : 0;
    if (integers > 0) {
      std::fprintf(stderr,
                   "karvon-trace: %s: %zu integer column(s) relaxed: solved "
                   "as continuous\n",
                   m.name.c_str(), integers);
    }
    run.note = trace::trace_model(modeltools::standard_form(m), run, budget);
    if (!run.note.empty()) break;
  }
  return run;
}

// Points unit 5 at the deck of `input`.
bool read_deck_from(const modelio::ModelInput& input) {
  const std::string& path = input.file().path();
  if (input.name() != "-") return ::setenv("FORT5", path.c_str(), 1) == 0;
  const int fd = ::open(path.c_str(), O_RDONLY);
  if (fd < 0) return false;
  const bool moved = ::dup2(fd, STDIN_FILENO) == STDIN_FILENO;
  ::close(fd);
  return moved;
}

}  // namespace

int trace_main(int argc, char** argv) {
  std::string input;
  std::string output;
  std::string title;
  std::optional<modelio::Format> format;
  trace::Budget budget;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      std::fwrite(kUsage.data(), 1, kUsage.size(), stdout);
      return std::fflush(stdout) == 0 ? 0 : 1;
    }
    if (arg == "--version") {
      std::printf("karvon-trace %s\n", karvon::version());
      return std::fflush(stdout) == 0 ? 0 : 1;
    }
    if (arg == "-o" || arg == "--output" || arg == "--title") {
      if (i + 1 >= argc)
        return usage_error(std::string(arg) + " needs a value");
      (arg == "--title" ? title : output) = argv[++i];
    } else if (arg == "--max-steps" || arg == "--max-bytes") {
      if (i + 1 >= argc)
        return usage_error(std::string(arg) + " needs a value");
      const bool steps = arg == "--max-steps";
      // Two steps at least: the first and the last.
      const auto n = count_option(argv[++i], steps ? 2 : 1);
      if (!n || (steps && *n > std::numeric_limits<std::int32_t>::max())) {
        return usage_error(std::string(arg) +
                           " takes a whole number of at least " +
                           (steps ? "2" : "1") + ", not '" + argv[i] + "'");
      }
      if (steps) {
        budget.max_steps = std::int32_t(*n);
      } else {
        budget.max_bytes = *n;
      }
    } else if (const auto named = modeltools::format_option(std::string(arg))) {
      format = named;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return usage_error("unknown option " + std::string(arg));
    } else if (input.empty()) {
      input = arg;
    } else {
      return usage_error("more than one input file");
    }
  }
  if (input.empty()) return usage_error("no input file");
  if (output.empty()) return usage_error("no page to write (-o PAGE)");
  const std::string refusal = files::same_file_refusal(input, {{"-o", output}});
  if (!refusal.empty()) {
    std::fprintf(stderr, "karvon-trace: %s\n", refusal.c_str());
    return 1;
  }
  if (title.empty()) {
    title = input == "-" ? "standard input"
                         : std::filesystem::path(input).filename().string();
  }

  recio::start_up();
  // After the runtime's handlers, which it then calls in turn.
  files::prepare_program();
  modelio::ModelInput model_input;
  std::string error;
  switch (model_input.open(input, format, error)) {
    case modelio::ModelInput::Opened::kOpen:
      break;
    case modelio::ModelInput::Opened::kUnreadable:
      std::fprintf(stderr, "karvon-trace: %s\n", error.c_str());
      return 1;
    case modelio::ModelInput::Opened::kUnknownFormat:
      return usage_error(error);
  }
  const bool deck = model_input.format() == modelio::Format::kDeck;
  // Unit 5 reads the deck: standard input, or the file FORT5 names. Standard
  // input has been copied to tell its format, so the copy takes its place.
  if (deck && !read_deck_from(model_input)) {
    return usage_error("cannot set up the input unit");
  }
  trace::PageBudget page_budget(budget, title);
  const trace::TracedRun run = deck ? trace::trace_deck(page_budget)
                                    : trace_models(model_input, page_budget);
  (void)recio::close_all();
  // The page is as large as everything recorded: it may fail alike (main
  // reports that).
  const std::string html = trace::page(run.problems, title, run.note);
  if (!files::write_output(output, html, error)) {
    std::fprintf(stderr, "karvon-trace: %s\n", error.c_str());
    return 1;
  }
  if (!run.note.empty()) {
    std::fprintf(stderr, "karvon-trace: %s\n", run.note.c_str());
    return 1;
  }
  return 0;
}

int main(int argc, char** argv) {
  try {
    return trace_main(argc, argv);
  } catch (const std::bad_alloc&) {
    // Nothing that needs memory of its own.
    std::fputs("karvon-trace: out of memory\n", stderr);
    return 1;
  }
}
