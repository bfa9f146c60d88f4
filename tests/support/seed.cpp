#include "tests/support/seed.h"

#include <cstdlib>
#include <string>

namespace test_support {
namespace {

std::uint64_t seed_from_environment(std::uint64_t fallback) {
  const char* text = std::getenv("KARVON_TEST_SEED");
  return text != nullptr && *text != '\0' ? std::strtoull(text, nullptr, 10)
                                          : fallback;
}

}  // namespace

Seed::Seed(std::uint64_t fallback)
    : value_(seed_from_environment(fallback)),
      trace_(__FILE__, __LINE__,
             "seed " + std::to_string(value_) + ": KARVON_TEST_SEED=" +
                 std::to_string(value_) + " replays this test") {}

}  // namespace test_support
