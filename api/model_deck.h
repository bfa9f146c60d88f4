#pragma once
// The model that the standard-form entry hands to the transformations:
// rows and columns in order, unnamed ones named R1, R2, ... and C1, C2, ...,
// minimised (a maximisation negates the costs and the offset). model::
// build_deck of it gives the deck that solve(const Model&) solves.

#include "karvon/karvon.h"
#include "model/model.h"

namespace karvon::detail {

model::Model to_transform(const Model& m);

}  // namespace karvon::detail
