// karvon-trace: writes the simplex steps of every problem of a deck as one
// self-contained HTML page.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>
#include <string>
#include <string_view>

#include "recio/startup.h"
#include "recio/units.h"
#include "trace/page.h"
#include "trace/trace_run.h"

namespace {

constexpr std::string_view kUsage =
    "Usage: karvon-trace [OPTION]... FILE -o PAGE\n"
    "Solves every problem of the karvon deck FILE (- for standard input) and\n"
    "writes each step of the simplex method to PAGE, one HTML file that works\n"
    "offline.\n"
    "\n"
    "  -o, --output PAGE  the page to write (required)\n"
    "      --title TEXT   the page's title (default: FILE's name)\n"
    "  -h, --help         this help\n"
    "\n"
    "Exit status: 0 when the deck ended with its closing header, 1 when the\n"
    "run ended early (the page then shows the problems before the ending),\n"
    "2 for a wrong command line or a page that could not be written.\n";

int usage_error(std::string_view what) {
  std::fprintf(stderr, "karvon-trace: %.*s\nTry 'karvon-trace --help'.\n",
               int(what.size()), what.data());
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string input;
  std::string output;
  std::string title;
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
  if (title.empty()) {
    title = input == "-" ? "standard input"
                         : std::filesystem::path(input).filename().string();
  }

  recio::start_up();
  // Unit 5 reads the deck: the file FORT5 names, or standard input.
  if (input != "-" && ::setenv("FORT5", input.c_str(), 1) != 0) {
    return usage_error("cannot set up the input unit");
  }
  trace::TracedRun run;
  try {
    run = trace::trace_deck();
  } catch (const std::bad_alloc&) {
    std::fputs("karvon-trace: out of memory\n", stderr);
    return 2;
  }
  (void)recio::close_all();

  const std::string html = trace::page(run.problems, title, run.note);
  std::ofstream out(output, std::ios::binary | std::ios::trunc);
  out.write(html.data(), std::streamsize(html.size()));
  out.close();
  if (!out) {
    std::fprintf(stderr, "karvon-trace: cannot write %s\n", output.c_str());
    return 2;
  }
  if (!run.note.empty()) {
    std::fprintf(stderr, "karvon-trace: %s\n", run.note.c_str());
    return 1;
  }
  return 0;
}
