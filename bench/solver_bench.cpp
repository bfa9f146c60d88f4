// One pivot on the driver's largest tableau, and one whole solve.

#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <random>

#include "solver/gauss.h"
#include "solver/linear.h"
#include "solver/tableau.h"

namespace {

constexpr std::int32_t kLda = 51;
constexpr std::int32_t kNcol = 61;
using Tableau = std::array<double, std::size_t(kLda) * std::size_t(kNcol)>;

Tableau random_tableau(std::uint32_t seed) {
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  Tableau a{};
  for (double& v : a) v = u(rng);
  return a;
}

// GAUSS over all 51 rows and 61 columns. Pivoting twice on the same entry
// brings the tableau back (up to rounding), so the values stay tame however
// many times the loop runs.
void BM_GaussPivot51x61(benchmark::State& state) {
  Tableau a = random_tableau(1);
  solver::MatrixRef A(a, kLda, kNcol);
  A(20, 30) = 2.0;
  for (auto _ : state) {
    solver::GAUSS(A, 50, kNcol, 20, 30, 1.0, 51, -1, kLda, kNcol);
    benchmark::DoNotOptimize(a.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_GaussPivot51x61);

// A feasible problem with 48 constraints and 59 columns: random rows of
// nonnegative coefficients with a positive right-hand side (x = 0 is
// feasible), every row labelled as a slack, a random objective. Each run
// solves a fresh copy: LINEAR works in place.
struct Problem {
  static constexpr std::int32_t kM = 49;
  static constexpr std::int32_t kN = 60;
  static constexpr std::int32_t kNv = kN - 1 + kM - 1;
  Tableau a{};
  std::array<std::int32_t, kLda> row{};
  std::array<std::int32_t, kNcol> col{};
  std::array<double, 110> bound{};

  explicit Problem(std::uint32_t seed) {
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> coef(0.0, 10.0);
    std::uniform_real_distribution<double> cost(-10.0, 1.0);
    solver::MatrixRef A(a, kLda, kNcol);
    for (std::int32_t i = 1; i <= kM - 1; ++i) {
      for (std::int32_t j = 1; j <= kN - 1; ++j) A(i, j) = coef(rng);
      A(i, kN) = 100.0 + coef(rng);
      row[std::size_t(i - 1)] = kN - 1 + i;
    }
    for (std::int32_t j = 1; j <= kN - 1; ++j) {
      A(kM, j) = cost(rng);
      col[std::size_t(j - 1)] = j;
    }
    for (std::int32_t k = 1; k <= kNv; ++k) bound[std::size_t(k - 1)] = 1.0e30;
  }
};

void BM_Linear49x60(benchmark::State& state) {
  const Problem original(7);
  Problem p = original;
  Tableau asave{};
  std::array<double, 110> x{};
  std::array<std::int32_t, kLda> row0{};
  std::array<std::int32_t, kNcol> col0{};
  std::int32_t status = 0;
  std::int32_t iter = 0;
  for (auto _ : state) {
    state.PauseTiming();
    p = original;
    state.ResumeTiming();
    solver::LINEAR(solver::MatrixRef(p.a, kLda, kNcol),
                   solver::VectorRef<std::int32_t>(p.row),
                   solver::VectorRef<std::int32_t>(p.col),
                   solver::VectorRef<double>(p.bound),
                   solver::VectorRef<double>(x), Problem::kM, Problem::kN,
                   Problem::kNv, status, iter, kLda, kNcol,
                   solver::MatrixRef(asave, kLda, kNcol),
                   solver::VectorRef<std::int32_t>(row0),
                   solver::VectorRef<std::int32_t>(col0), 0, nullptr);
    benchmark::DoNotOptimize(x.data());
  }
  state.counters["iterations"] = iter;
  state.counters["status"] = status;
}
BENCHMARK(BM_Linear49x60);

}  // namespace

BENCHMARK_MAIN();
