#pragma once
// Vectors of results compared entry by entry within an absolute tolerance,
// each miss named by what the vector holds and the entry's index.

#include <gtest/gtest.h>

#include <cstddef>
#include <vector>

namespace test_support {

inline void expect_near(const std::vector<double>& got,
                        const std::vector<double>& want, const char* what,
                        double tolerance = 1e-9) {
  ASSERT_EQ(got.size(), want.size()) << what;
  for (std::size_t k = 0; k < want.size(); ++k) {
    EXPECT_NEAR(got[k], want[k], tolerance) << what << " " << k;
  }
}

}  // namespace test_support
