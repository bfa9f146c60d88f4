#pragma once
// The options that name a model file's format, the same in every program
// that reads model files.

#include <optional>
#include <string>

#include "modelio/model_file.h"

namespace modeltools {

// The format that a format option names (--mps, --freemps, --lp, --deck);
// nothing for any other argument.
std::optional<modelio::Format> format_option(const std::string& arg);

}  // namespace modeltools
