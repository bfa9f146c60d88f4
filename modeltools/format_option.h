#pragma once
// The command lines of the model tools: the options that name a model
// file's format, the same in every program that reads model files, and how
// an option takes its value.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "modelio/model_file.h"

namespace modeltools {

// The format that a format option names (--mps, --freemps, --lp, --deck);
// nothing for any other argument.
std::optional<modelio::Format> format_option(const std::string& arg);

// The value of the option args[i]: after "=" in the same argument, or the
// next argument (i then moves onto it). False, with `error` set, when there
// is none. Shared by the command lines of the model tools.
bool option_value(const std::vector<std::string>& args, std::size_t& i,
                  std::string& into, std::string& error);

}  // namespace modeltools
