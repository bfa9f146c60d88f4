#include "mps2deck/options.h"

#include <charconv>
#include <cstdint>
#include <optional>
#include <string_view>
#include <system_error>

#include "deck/format.h"
#include "modeltools/format_option.h"

namespace mps2deck {
namespace {

constexpr std::int32_t power_of_ten(std::size_t n) {
  return n == 0 ? 1 : 10 * power_of_ten(n - 1);
}

// A settings field is deck::kIntegerWidth columns, a sign included.
constexpr std::int32_t kLeastUnit = 1 - power_of_ten(deck::kIntegerWidth - 1);
constexpr std::int32_t kGreatestUnit = power_of_ten(deck::kIntegerWidth) - 1;
static_assert(kLeastUnit == -9999 && kGreatestUnit == 99999);
constexpr std::int32_t kInputUnit = deck::kInputUnit;
constexpr std::int32_t kOutputUnit = 6;

std::optional<std::int32_t> unit_number(std::string_view text) {
  std::int32_t value = 0;
  const auto [end, ec] =
      std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() ||
      value < kLeastUnit || value > kGreatestUnit) {
    return std::nullopt;
  }
  return value;
}

class Parser {
 public:
  explicit Parser(const std::vector<std::string>& args) : args_(args) {}

  ParsedOptions run() {
    bool have_input = false;
    for (i_ = 0; i_ < args_.size(); ++i_) {
      const std::string& arg = args_[i_];
      if (arg == "-h" || arg == "--help") {
        out_.options.help = true;
      } else if (arg == "--version") {
        out_.options.version = true;
      } else if (arg == "--no-close") {
        out_.options.settings.close = false;
      } else if (arg == "--fixed") {
        out_.options.format = modelio::MpsFormat::kFixed;
      } else if (arg == "--free") {
        out_.options.format = modelio::MpsFormat::kFree;
      } else if (arg == "-o" || arg == "--output" ||
                 arg.starts_with("--output=")) {
        if (!value(out_.options.output)) return out_;
        if (out_.options.output.empty()) return fail("-o needs a file name");
      } else if (arg == "--iunit" || arg.starts_with("--iunit=")) {
        if (!unit("--iunit", out_.options.settings.IUNIT)) return out_;
        const std::int32_t u = out_.options.settings.IUNIT;
        if (u == kInputUnit || u == kOutputUnit) {
          return fail("--iunit " + std::to_string(u) +
                      ": units 5 and 6 carry the deck and the report, not the "
                      "scratch file");
        }
      } else if (arg == "--iout" || arg.starts_with("--iout=")) {
        if (!unit("--iout", out_.options.settings.IOUT)) return out_;
        if (out_.options.settings.IOUT == kInputUnit) {
          return fail("--iout 5: unit 5 is the deck's own input");
        }
      } else if (arg.size() > 1 && arg[0] == '-') {
        return fail("unknown option '" + arg + "'");
      } else {
        if (have_input) return fail("more than one input file");
        have_input = true;
        out_.options.input = arg;
      }
    }
    out_.ok = true;
    return out_;
  }

 private:
  ParsedOptions fail(std::string text) {
    out_.ok = false;
    out_.error = std::move(text);
    return out_;
  }

  // The option's value: after "=" in the same argument, or the next one.
  bool value(std::string& into) {
    return modeltools::option_value(args_, i_, into, out_.error);
  }

  bool unit(const std::string& name, std::int32_t& into) {
    std::string text;
    if (!value(text)) return false;
    const std::optional<std::int32_t> n = unit_number(text);
    if (!n) {
      fail(name + " needs a whole number from -9999 to 99999, not '" + text +
           "'");
      return false;
    }
    into = *n;
    return true;
  }

  const std::vector<std::string>& args_;
  std::size_t i_ = 0;
  ParsedOptions out_;
};

}  // namespace

ParsedOptions parse_options(const std::vector<std::string>& args) {
  return Parser(args).run();
}

std::string usage_text() {
  return R"(Usage: mps2deck [OPTION]... [FILE]
Convert the linear program in the MPS file FILE (standard input when FILE is
missing or -) into a deck for karvon, written on standard output:

  mps2deck model.mps | karvon

Options:
  -o FILE      write the deck to FILE instead: a regular FILE is replaced
               only once the whole deck is ready (its mode kept), and left
               alone when the model is refused or the write fails; a FIFO, a
               device or - is written straight
  --iunit N    the deck's IUNIT: where karvon keeps the initial tableau for
               recomputation (default -1: in memory; 0: nowhere; N > 0: the
               file LP.TMP on unit N, which must not exist yet)
  --iout N     the deck's IOUT: unit for the tableau prints after every step
               (default 0: none; 6: standard output; other N: file fort.N)
  --no-close   leave out the closing pair of records, so that decks can be
               joined into one input
  --fixed      read FILE in fixed MPS format only
  --free       read FILE in free MPS format only
               (default: fixed format, then free format)
  -h, --help   show this help and exit
  --version    show the version and exit

The first N row is the objective, minimised; a right-hand side r on it adds
the constant -r. A deck holds at most 49 constraint rows and 60 columns.
Messages go to standard error. Exit status: 0 when the deck is written,
1 when the model is refused or cannot be written, 2 for a wrong command line.
See mps2deck(1).
)";
}

}  // namespace mps2deck
