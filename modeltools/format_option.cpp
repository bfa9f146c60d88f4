#include "modeltools/format_option.h"

namespace modeltools {

std::optional<modelio::Format> format_option(const std::string& arg) {
  if (arg == "--mps") return modelio::Format::kMps;
  if (arg == "--freemps") return modelio::Format::kFreeMps;
  if (arg == "--lp") return modelio::Format::kLp;
  if (arg == "--deck") return modelio::Format::kDeck;
  return std::nullopt;
}

bool option_value(const std::vector<std::string>& args, std::size_t& i,
                  std::string& into, std::string& error) {
  const std::string& arg = args[i];
  const std::size_t eq = arg.find('=');
  if (eq != std::string::npos) {
    into = arg.substr(eq + 1);
    return true;
  }
  if (i + 1 >= args.size()) {
    error = arg + " needs a value";
    return false;
  }
  into = args[++i];
  return true;
}

}  // namespace modeltools
