// The checked entry points from several threads at once: every thread
// solves the same models, in the tableau form and the standard form, and
// must get what one thread alone got, to the last bit. Built with
// ThreadSanitizer, which reports any data race between them.

#include <cstdint>
#include <cstdio>
#include <thread>
#include <vector>

#include "api/test_problems.h"
#include "karvon/karvon.h"

namespace {

using karvon::testing::small_tableau_problem;

constexpr int kThreads = 4;
constexpr int kRounds = 20;

// Models of a few shapes from a fixed sequence of small integers.
std::vector<karvon::Model> models() {
  std::uint32_t state = 12345;
  const auto next = [&state](int range) {
    state = state * 1103515245u + 12345u;
    return static_cast<double>(static_cast<int>((state >> 16) % 32768u) %
                               range);
  };
  std::vector<karvon::Model> all;
  for (int k = 0; k < 12; ++k) {
    const int rows = 2 + k % 5;
    const int n = 3 + k % 4;
    karvon::Model m;
    m.sense = k % 2 == 0 ? karvon::Sense::kMinimize : karvon::Sense::kMaximize;
    for (int j = 0; j < n; ++j) {
      m.cost.push_back(next(9) - 4);
      m.col_lower.push_back(j % 3 == 0 ? -karvon::kInfinity : -next(3));
      m.col_upper.push_back(5 + next(4));
    }
    for (int i = 0; i < rows; ++i) {
      for (int j = 0; j < n; ++j) m.matrix.push_back(next(7) - 3);
      m.row_lower.push_back(i % 2 == 0 ? -karvon::kInfinity : -next(5));
      m.row_upper.push_back(3 + next(5));
    }
    all.push_back(m);
  }
  return all;
}

bool same(const karvon::ModelResult& a, const karvon::ModelResult& b) {
  return a.status == b.status && a.objective == b.objective && a.x == b.x &&
         a.row_duals == b.row_duals && a.reduced_costs == b.reduced_costs &&
         a.iterations == b.iterations;
}

}  // namespace

int main() {
  const std::vector<karvon::Model> all = models();
  std::vector<karvon::ModelResult> alone;
  for (const karvon::Model& m : all) alone.push_back(karvon::solve(m));
  const karvon::Solution tableau_alone = karvon::solve(small_tableau_problem());

  std::vector<int> mismatches(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < kRounds; ++round) {
        for (std::size_t k = 0; k < all.size(); ++k)
          if (!same(karvon::solve(all[k]), alone[k]))
            ++mismatches[std::size_t(t)];
        const karvon::Solution s = karvon::solve(small_tableau_problem());
        if (s.values != tableau_alone.values) ++mismatches[std::size_t(t)];
      }
    });
  }
  for (std::thread& t : threads) t.join();
  int total = 0;
  for (const int m : mismatches) total += m;
  int optimal = 0;
  for (const karvon::ModelResult& r : alone) optimal += r.optimal() ? 1 : 0;
  std::printf(
      "%d threads x %d rounds of %zu models (%d optimal): %d mismatches\n",
      kThreads, kRounds, all.size(), optimal, total);
  return total == 0 && optimal > 0 ? 0 : 1;
}
