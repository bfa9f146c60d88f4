#include "tools/solve_options.h"

#include <charconv>
#include <system_error>

#include "mps2deck/options.h"

namespace tools {
namespace {

class Parser {
 public:
  explicit Parser(const std::vector<std::string>& args) : args_(args) {}

  ParsedSolveOptions run() {
    SolveOptions& o = out_.options;
    bool have_input = false;
    for (i_ = 0; i_ < args_.size(); ++i_) {
      const std::string& arg = args_[i_];
      const std::string flag = arg.substr(0, arg.find('='));
      if (arg == "--help" || arg == "-h") {
        o.help = true;
      } else if (arg == "--version") {
        o.version = true;
      } else if (const auto format = format_option(arg)) {
        o.format = format;
      } else if (arg == "--max") {
        o.maximize = true;
      } else if (arg == "--tableau") {
        o.tableau = true;
      } else if (flag == "--solution") {
        if (!file_value(arg, o.solution)) return out_;
      } else if (flag == "--write-mps") {
        if (!file_value(arg, o.write_mps)) return out_;
      } else if (flag == "--write-lp") {
        if (!file_value(arg, o.write_lp)) return out_;
      } else if (flag == "--write-deck") {
        if (!file_value(arg, o.write_deck)) return out_;
      } else if (flag == "--problem") {
        std::string text;
        if (!value(text)) return out_;
        const auto [end, ec] =
            std::from_chars(text.data(), text.data() + text.size(), o.problem);
        if (ec != std::errc() || end != text.data() + text.size() ||
            o.problem < 1) {
          return fail("--problem needs a number from 1 on, not '" + text + "'");
        }
      } else if (arg.size() > 1 && arg[0] == '-') {
        return fail("unknown option '" + arg + "'");
      } else {
        if (have_input) return fail("more than one model file");
        have_input = true;
        o.input = arg;
      }
    }
    if (o.help || o.version) {
      out_.ok = true;
      return out_;
    }
    if (!have_input) return fail("no model file given");
    if (!o.format) o.format = modelio::format_of_name(o.input);
    if (!o.format) {
      return fail("cannot tell the format of '" + o.input +
                  "' from its name: give --mps, --freemps, --lp or --deck");
    }
    out_.ok = true;
    return out_;
  }

 private:
  ParsedSolveOptions fail(std::string text) {
    out_.ok = false;
    out_.error = std::move(text);
    return out_;
  }

  bool value(std::string& into) {
    return mps2deck::option_value(args_, i_, into, out_.error);
  }

  bool file_value(const std::string& arg, std::string& into) {
    if (!value(into)) return false;
    if (into.empty()) {
      fail(arg.substr(0, arg.find('=')) + " needs a file name");
      return false;
    }
    return true;
  }

  const std::vector<std::string>& args_;
  std::size_t i_ = 0;
  ParsedSolveOptions out_;
};

}  // namespace

std::optional<modelio::Format> format_option(const std::string& arg) {
  if (arg == "--mps") return modelio::Format::kMps;
  if (arg == "--freemps") return modelio::Format::kFreeMps;
  if (arg == "--lp") return modelio::Format::kLp;
  if (arg == "--deck") return modelio::Format::kDeck;
  return std::nullopt;
}

ParsedSolveOptions parse_solve_options(const std::vector<std::string>& args) {
  return Parser(args).run();
}

std::string solve_usage() {
  return R"(Usage: karvon-solve [OPTION]... FILE
Solve the linear program in FILE with LINEAR and report it in the model's
terms on standard output: status, objective, rows and columns by name.

  karvon-solve afiro.mps

The format comes from the name: .mps (fixed MPS, then free), .freemps,
.lp (CPLEX LP), .deck or .dat (a karvon deck, each problem in turn).
An OBJSENSE section in an MPS file is taken out and applied.

Options:
  --mps, --freemps, --lp, --deck
                      read FILE in this format whatever its name
  --max               maximise the objective
  --problem K         only the K-th problem of a deck
  --solution FILE     also write the solution in HiGHS's plain-text format
  --tableau           print the tableau after every step, as karvon does
                      with IOUT = 6
  --write-mps FILE    write the model in free MPS and stop without solving
  --write-lp FILE     write the model in CPLEX LP and stop
  --write-deck FILE   write the model as a karvon deck and stop
  -h, --help          show this help and exit
  --version           show the version and exit

An output FILE that is a regular file is replaced whole once complete (its
mode kept); a FIFO, a device or - (standard output) is written straight; the
input itself is refused. See OUTPUT FILES in karvon-solve(1).

Exit status: 0 when the model was read and solved, whatever the outcome;
1 when it was refused or a file could not be written; 2 for a wrong
command line. See karvon-solve(1).
)";
}

}  // namespace tools
