#include "modeltools/format_option.h"

namespace modeltools {

std::optional<modelio::Format> format_option(const std::string& arg) {
  if (arg == "--mps") return modelio::Format::kMps;
  if (arg == "--freemps") return modelio::Format::kFreeMps;
  if (arg == "--lp") return modelio::Format::kLp;
  if (arg == "--deck") return modelio::Format::kDeck;
  return std::nullopt;
}

}  // namespace modeltools
