#include "karvon-solve/solve_options.h"

#include <charconv>
#include <system_error>

#include "modeltools/format_option.h"

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
      } else if (const auto format = modeltools::format_option(arg)) {
        o.format = format;
      } else if (arg == "--max") {
        o.maximize = true;
      } else if (arg == "--tableau") {
        o.tableau = true;
      } else if (arg == "--no-objsense") {
        o.no_objsense = true;
      } else if (flag == "--solution") {
        if (!file_value(arg, o.solution)) return out_;
      } else if (flag == "--write-mps") {
        if (!file_value(arg, o.write_mps)) return out_;
      } else if (flag == "--write-lp") {
        if (!file_value(arg, o.write_lp)) return out_;
      } else if (flag == "--write-deck") {
        if (!file_value(arg, o.write_deck)) return out_;
      } else if (flag == "--iteration-limit") {
        std::string text;
        if (!value(text)) return out_;
        const auto [end, ec] = std::from_chars(
            text.data(), text.data() + text.size(), o.limits.iteration_limit);
        if (ec != std::errc() || end != text.data() + text.size() ||
            o.limits.iteration_limit < 1) {
          return fail("--iteration-limit needs a number from 1 on, not '" +
                      text + "'");
        }
      } else if (flag == "--time-limit" || flag == "--memory-limit") {
        std::string text;
        if (!value(text)) return out_;
        double v = 0;
        const auto [end, ec] =
            std::from_chars(text.data(), text.data() + text.size(), v);
        if (ec != std::errc() || end != text.data() + text.size() || !(v > 0)) {
          return fail(flag + " needs a positive number, not '" + text + "'");
        }
        if (flag == "--time-limit") {
          o.limits.time_limit = v;
        } else {
          if (v > 1e12) v = 1e12;
          o.limits.memory_limit = static_cast<std::uint64_t>(v * 1048576.0);
        }
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
    if (o.no_objsense && o.write_mps.empty()) {
      return fail("--no-objsense goes with --write-mps");
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
    return modeltools::option_value(args_, i_, into, out_.error);
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

ParsedSolveOptions parse_solve_options(const std::vector<std::string>& args) {
  return Parser(args).run();
}

std::string solve_usage() {
  return R"(Usage: karvon-solve [OPTION]... FILE
Solve the linear program in FILE with karvon's simplex method for models
and report it in the model's terms on standard output: status, objective,
rows and columns by name.

  karvon-solve afiro.mps

The format comes from an option, else from the name: .mps (fixed MPS,
then free), .freemps, .lp (CPLEX LP), .deck, .dat or .txt (a karvon deck,
each problem in turn), else from the first lines: an MPS NAME or ROWS
header, an LP objective (Minimize, max, ...), a deck's first records.
An OBJSENSE section in an MPS file is taken out and applied.

Options:
  --mps, --freemps, --lp, --deck
                      read FILE in this format whatever its name
  --max               maximise the objective
  --problem K         only the K-th problem of a deck
  --solution FILE     also write the solution in HiGHS's plain-text format
  --tableau           print the tableau after every step, as karvon does
                      with IOUT = 6
  --iteration-limit N stop after N iterations (ITERATION LIMIT)
  --time-limit S      stop after S seconds (TIME LIMIT)
  --memory-limit MB   refuse a model whose tableau needs more (default:
                      half of the machine's memory)
  --write-mps FILE    write the model in free MPS and stop without solving
  --no-objsense       with --write-mps, write a maximum as the minimum of
                      the negated objective, for readers without OBJSENSE
  --write-lp FILE     write the model in CPLEX LP and stop
  --write-deck FILE   write the model as a karvon deck and stop
  -h, --help          show this help and exit
  --version           show the version and exit

An output FILE that is a regular file is replaced whole once complete (its
mode kept); a FIFO, a device or - (standard output) is written straight; the
input itself is refused. See OUTPUT FILES in karvon-solve(1).

Exit status: 0 when the model was read and solved, whatever the outcome;
1 when it was refused or a file could not be read or written; 2 for a
wrong command line or a file whose format cannot be told.
See karvon-solve(1).
)";
}

}  // namespace tools
