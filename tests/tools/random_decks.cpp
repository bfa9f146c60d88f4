// Writes seeded random problems of every shape the driver takes, one deck
// each, for the round trips of the model tools.
//
// Usage: random_decks SEED COUNT FOLDER   (FOLDER/deck_000.dat, ...)

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <span>
#include <string>

#include "tests/peer/random_lp.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: random_decks SEED COUNT FOLDER\n");
    return 2;
  }
  peer::Shape shape;
  shape.mixed_scratch = false;  // no LP.TMP: the decks may run side by side
  const auto problems = peer::random_problems(
      std::strtoull(argv[1], nullptr, 10),
      static_cast<std::int32_t>(std::atoi(argv[2])), shape);
  for (std::size_t k = 0; k < problems.size(); ++k) {
    char name[32];
    std::snprintf(name, sizeof name, "/deck_%03zu.dat", k);
    std::ofstream out(std::string(argv[3]) + name, std::ios::binary);
    peer::write_deck(out, std::span(&problems[k], 1), 0);
    if (!out) return 1;
  }
  return 0;
}
