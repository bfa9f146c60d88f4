#pragma once
// The seed of a randomised test, fixed so that a failure can be replayed.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <random>

namespace test_support {

// KARVON_TEST_SEED when it is set, else the test's own fixed `fallback`.
// While the object lives, every failure names the seed and how to replay it.
class Seed {
 public:
  explicit Seed(std::uint64_t fallback)
      : value_(std::getenv("KARVON_TEST_SEED") != nullptr
                   ? std::strtoull(std::getenv("KARVON_TEST_SEED"), nullptr, 10)
                   : fallback),
        trace_(__FILE__, __LINE__,
               ::testing::Message()
                   << "seed " << value_ << ": KARVON_TEST_SEED=" << value_
                   << " replays this test") {}
  operator std::uint64_t() const { return value_; }

 private:
  std::uint64_t value_;
  ::testing::ScopedTrace trace_;
};

// The engine of a randomised test, drawn from such a seed.
class SeededRng : private Seed, public std::mt19937_64 {
 public:
  explicit SeededRng(std::uint64_t fallback)
      : Seed(fallback), std::mt19937_64(static_cast<std::uint64_t>(*this)) {}
};

}  // namespace test_support
