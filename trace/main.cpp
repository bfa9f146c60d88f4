// karvon-trace: writes the simplex steps of every problem of a deck, or of
// a model file, as one self-contained HTML page.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "files/files.h"
#include "modelio/model_file.h"
#include "recio/startup.h"
#include "recio/units.h"
#include "tools/solve_model.h"
#include "tools/solve_options.h"
#include "trace/page.h"
#include "trace/trace_run.h"

namespace {

constexpr std::string_view kUsage =
    "Usage: karvon-trace [OPTION]... FILE -o PAGE\n"
    "Solves every problem of the karvon deck FILE (- for standard input), or\n"
    "the model in an MPS or LP file, and writes each step of the simplex\n"
    "method to PAGE, one HTML file that works offline. The format comes from\n"
    "the name: .mps (fixed MPS, then free), .freemps, .lp (CPLEX LP); any\n"
    "other name is read as a deck. A model's variables are named after its\n"
    "columns and rows.\n"
    "\n"
    "  -o, --output PAGE  the page to write (required)\n"
    "      --title TEXT   the page's title (default: FILE's name)\n"
    "      --mps, --freemps, --lp, --deck\n"
    "                     read FILE in this format whatever its name\n"
    "  -h, --help         this help\n"
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
    "written, 2 for a wrong command line.\n";

int usage_error(std::string_view what) {
  std::fprintf(stderr, "karvon-trace: %.*s\nTry 'karvon-trace --help'.\n",
               int(what.size()), what.data());
  return 2;
}

// The models of a model file, each solved with its steps recorded.
trace::TracedRun trace_models(const std::string& input,
                              modelio::Format format) {
  trace::TracedRun run;
  modelio::ModelsRead read = modelio::read_models(input, format);
  for (const std::string& w : read.warnings) {
    std::fprintf(stderr, "karvon-trace: %s\n", w.c_str());
  }
  if (!read.ok) {
    run.note = read.error;
    return run;
  }
  for (const model::Model& m : read.models) {
    trace::TracedRun one = trace::trace_model(tools::standard_form(m));
    for (trace::ProblemTrace& p : one.problems) {
      run.problems.push_back(std::move(p));
    }
    if (!one.note.empty()) {
      run.note = one.note;
      break;
    }
  }
  return run;
}

}  // namespace

int trace_main(int argc, char** argv) {
  std::string input;
  std::string output;
  std::string title;
  std::optional<modelio::Format> format;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      std::fwrite(kUsage.data(), 1, kUsage.size(), stdout);
      return 0;
    }
    if (arg == "-o" || arg == "--output" || arg == "--title") {
      if (i + 1 >= argc)
        return usage_error(std::string(arg) + " needs a value");
      (arg == "--title" ? title : output) = argv[++i];
    } else if (const auto named = tools::format_option(std::string(arg))) {
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

  // A name that announces no model format is a deck's, as it always was.
  if (!format) format = modelio::format_of_name(input);
  if (!format) format = modelio::Format::kDeck;

  recio::start_up();
  // After the runtime's handlers, which it then calls in turn.
  files::prepare_program();
  // Unit 5 reads the deck: the file FORT5 names, or standard input.
  if (input != "-" && ::setenv("FORT5", input.c_str(), 1) != 0) {
    return usage_error("cannot set up the input unit");
  }
  const trace::TracedRun run = *format == modelio::Format::kDeck
                                   ? trace::trace_deck()
                                   : trace_models(input, *format);
  (void)recio::close_all();

  const std::string html = trace::page(run.problems, title, run.note);
  std::string error;
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
