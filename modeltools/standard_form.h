#pragma once
// A model read from a file, handed to the library in the library's types.

#include <karvon/karvon.h>

#include "model/model.h"

namespace modeltools {

// `model` as the library's standard-form entry takes it: the same columns,
// rows, bounds and names in the same order, the integer columns marked.
karvon::Model standard_form(const model::Model& model);

}  // namespace modeltools
