#pragma once
// The seed of a randomised test, fixed so that a failure can be replayed.

#include <gtest/gtest.h>

#include <cstdint>

namespace test_support {

// KARVON_TEST_SEED when it is set, else the test's own fixed `fallback`.
// While the object lives, every failure names the seed and how to replay it.
class Seed {
 public:
  explicit Seed(std::uint64_t fallback);
  operator std::uint64_t() const { return value_; }

 private:
  std::uint64_t value_;
  ::testing::ScopedTrace trace_;
};

}  // namespace test_support
