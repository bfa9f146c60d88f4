// One pivot on the driver's largest tableau, and one whole solve.

#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <random>

#include "common/lp.h"
#include "solver/gauss.h"
#include "solver/linear.h"

namespace {

using lp::kLda;
using lp::kNcol;
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
  lp::MatrixRef A(a, kLda, kNcol);
  A(20, 30) = 2.0;
  for (auto _ : state) {
    solver::GAUSS(A, kLda - 1, kNcol, 20, 30, 1.0, kLda, -1, kLda, kNcol);
    benchmark::DoNotOptimize(a.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_GaussPivot51x61);

// The same pivot at a chosen vector width (doubles per vector: 2 SSE2, 4 AVX,
// 8 AVX-512), so that every path the dispatch may take is timed on any
// processor that runs it.
void BM_GaussPivotAtWidth(benchmark::State& state) {
  const auto lanes = solver::Lanes(state.range(0));
  if (std::uint8_t(lanes) > std::uint8_t(solver::widest_lanes())) {
    state.SkipWithError("width not offered by this processor");
    return;
  }
  Tableau a = random_tableau(1);
  lp::MatrixRef A(a, kLda, kNcol);
  A(20, 30) = 2.0;
  for (auto _ : state) {
    solver::eliminate(A, kNcol, 20, 30, 1.0, kLda, kLda, lanes);
    benchmark::DoNotOptimize(a.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_GaussPivotAtWidth)->Arg(2)->Arg(4)->Arg(8);

// The store-rate floor of that pivot: the time to store the 51 x 61 = 3,111
// doubles in place, in the pivot's column order (every other column, then the
// pivot column), W at a time with the same overlapping last store, and no
// loads or arithmetic. A pivot cannot write its entries faster than this.
template <std::size_t W>
struct StoreVector {
  using type [[gnu::vector_size(W * sizeof(double))]] = double;
};

template <std::size_t W>
[[gnu::always_inline]] inline void store_columns(double* a, double value) {
  typename StoreVector<W>::type v;
  for (std::size_t i = 0; i < W; ++i) v[i] = value;
  const auto rows = std::size_t(kLda);
  const auto column = [a, rows](std::int32_t j) {
    return a + std::size_t(j - 1) * rows;
  };
  const auto store = [&v, rows](double* y) {
    for (std::size_t i = 0; i + W <= rows; i += W)
      std::memcpy(y + i, &v, sizeof v);
    if (rows % W != 0) std::memcpy(y + rows - W, &v, sizeof v);
  };
  constexpr std::int32_t kPivotColumn = 30;
  for (std::int32_t j = 1; j <= kNcol; ++j) {
    if (j != kPivotColumn) store(column(j));
  }
  store(column(kPivotColumn));
}

void store_floor_sse2(double* a, double value) { store_columns<2>(a, value); }
[[gnu::target("avx")]] void store_floor_avx(double* a, double value) {
  store_columns<4>(a, value);
}
[[gnu::target("avx512f")]] void store_floor_avx512(double* a, double value) {
  store_columns<8>(a, value);
}

void BM_StoreFloorAtWidth(benchmark::State& state) {
  const auto lanes = solver::Lanes(state.range(0));
  if (std::uint8_t(lanes) > std::uint8_t(solver::widest_lanes())) {
    state.SkipWithError("width not offered by this processor");
    return;
  }
  void (*const floor)(double*, double) =
      lanes == solver::Lanes::kEight  ? store_floor_avx512
      : lanes == solver::Lanes::kFour ? store_floor_avx
                                      : store_floor_sse2;
  Tableau a = random_tableau(1);
  double value = 0.0;
  for (auto _ : state) {
    floor(a.data(), value);
    value += 1.0;
    benchmark::DoNotOptimize(a.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_StoreFloorAtWidth)->Arg(2)->Arg(4)->Arg(8);

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
  std::array<double, lp::kMaxVariables> bound{};

  explicit Problem(std::uint32_t seed) {
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> coef(0.0, 10.0);
    std::uniform_real_distribution<double> cost(-10.0, 1.0);
    lp::MatrixRef A(a, kLda, kNcol);
    for (std::int32_t i = 1; i <= kM - 1; ++i) {
      for (std::int32_t j = 1; j <= kN - 1; ++j) A(i, j) = coef(rng);
      A(i, kN) = 100.0 + coef(rng);
      row[std::size_t(i - 1)] = kN - 1 + i;
    }
    for (std::int32_t j = 1; j <= kN - 1; ++j) {
      A(kM, j) = cost(rng);
      col[std::size_t(j - 1)] = j;
    }
    for (std::int32_t k = 1; k <= kNv; ++k)
      bound[std::size_t(k - 1)] = lp::kNoBoundFill;
  }
};

void BM_Linear49x60(benchmark::State& state) {
  const Problem original(7);
  Problem p = original;
  Tableau asave{};
  std::array<double, lp::kMaxVariables> x{};
  std::array<std::int32_t, kLda> row0{};
  std::array<std::int32_t, kNcol> col0{};
  std::int32_t status = 0;
  std::int32_t iter = 0;
  for (auto _ : state) {
    state.PauseTiming();
    p = original;
    state.ResumeTiming();
    solver::LINEAR(
        lp::MatrixRef(p.a, kLda, kNcol), lp::VectorRef<std::int32_t>(p.row),
        lp::VectorRef<std::int32_t>(p.col), lp::VectorRef<double>(p.bound),
        lp::VectorRef<double>(x), Problem::kM, Problem::kN, Problem::kNv,
        status, iter, kLda, kNcol, lp::MatrixRef(asave, kLda, kNcol),
        lp::VectorRef<std::int32_t>(row0), lp::VectorRef<std::int32_t>(col0), 0,
        nullptr);
    benchmark::DoNotOptimize(x.data());
  }
  state.counters["iterations"] = iter;
  state.counters["status"] = status;
}
BENCHMARK(BM_Linear49x60);

}  // namespace

// The report names the width GAUSS takes on this processor.
int main(int argc, char** argv) {
  const auto widest = solver::widest_lanes();
  benchmark::AddCustomContext("vector_width",
                              widest == solver::Lanes::kEight  ? "8 (AVX-512)"
                              : widest == solver::Lanes::kFour ? "4 (AVX)"
                              : widest == solver::Lanes::kTwo  ? "2 (SSE2)"
                                                               : "1 (scalar)");
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
