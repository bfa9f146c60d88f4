// The model road's inner loops at the sizes real models bring: one pivot of
// an (m+2) x n column-major tableau, the pricing over its n columns and the
// ratio test over its m rows, beside the floors a pivot cannot beat (storing
// every entry once, and reading and writing every entry once).
//
// The engine keeps these loops private, so the three below follow its code
// step for step (the dense path of Engine::pivot, the phase-2 branches of
// Engine::price and Engine::ratio_test); the arithmetic of the pivot is the
// library's own simplex::pivot_columns at the width chosen for the run.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "simplex/kernels.h"
#include "simplex/problem.h"

namespace {

using simplex::kInf;
using simplex::Position;

struct Size {
  std::size_t rows;  // the tableau's, its two cost rows included
  std::size_t cols;
};
constexpr Size kSizes[] = {{51, 61}, {200, 400}, {1000, 2000}, {3000, 6000}};
constexpr int kWidths[] = {2, 4, 8};

// A dense tableau of values in [-1, 1] whose pivot entry is 2: pivoting
// twice on the same entry brings it back up to rounding, so the values stay
// tame however often the loop runs. Laid out as the engine lays it out:
// each column padded with zeros to whole lanes (ld rows), on 64-byte
// boundaries.
struct Tableau {
  std::size_t rows;
  std::size_t cols;
  std::size_t ld;
  std::size_t p;
  std::size_t q;
  simplex::AlignedVector t;
  std::vector<double> gamma;

  explicit Tableau(Size s)
      : rows(s.rows),
        cols(s.cols),
        ld(simplex::padded_rows(s.rows)),
        p(s.rows / 3),
        q(s.cols / 2) {
    std::mt19937_64 rng(1);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    t.assign(ld * cols, 0.0);
    for (std::size_t j = 0; j < cols; ++j)
      for (std::size_t i = 0; i < rows; ++i) t[j * ld + i] = u(rng);
    t[q * ld + p] = 2.0;
    gamma.assign(cols, 1.0);
  }
  double* column(std::size_t j) { return &t[j * ld]; }
  const double* column(std::size_t j) const { return &t[j * ld]; }
};

// The engine's pivot on a dense column q: the list of its nonzero rows,
// then every other column updated with its steepest-edge weight by
// simplex::pivot_columns, then column q divided by the pivot. The last two
// rows stand for the cost rows, which take no part in the weights.
void pivot(Tableau& a, std::vector<std::int32_t>& nz) {
  const std::size_t ld = a.ld;
  double* cq = a.column(a.q);
  const double piv = cq[a.p];
  nz.clear();
  for (std::size_t i = 0; i < a.rows; ++i)
    if (cq[i] != 0.0 && i != a.p) nz.push_back(std::int32_t(i));
  cq[a.p] = 0.0;
  simplex::pivot_columns(
      {a.t.data(), ld, a.rows - 2, a.cols, a.p, a.q, cq, piv, a.gamma.data()});
  for (const std::int32_t i : nz) cq[i] /= piv;
  cq[a.p] = 1.0 / piv;
  a.gamma[a.q] = 1.0 + simplex::sum_of_squares(cq, a.rows - 2);
}

bool width_offered(benchmark::State& state, int width) {
  if (simplex::use_vector_width(width) == width) return true;
  state.SkipWithError("width not offered by this processor");
  return false;
}

void BM_Pivot(benchmark::State& state, Size s, int width) {
  if (!width_offered(state, width)) return;
  Tableau a(s);
  std::vector<std::int32_t> nz;
  nz.reserve(a.rows);
  for (auto _ : state) {
    pivot(a, nz);
    benchmark::DoNotOptimize(a.t.data());
    benchmark::ClobberMemory();
  }
  simplex::use_vector_width(8);
  state.SetBytesProcessed(std::int64_t(state.iterations()) *
                          std::int64_t(a.rows * a.cols * sizeof(double)));
}

template <std::size_t W>
struct Vector {
  using type [[gnu::vector_size(W * sizeof(double))]] = double;
};

// Every entry of the tableau written once, column by column in the pivot's
// order (every other column, then column q), W at a time with the same
// overlapping last store as a column's tail, each column from its boundary
// (the padding is not written); with `read`, every entry is also read and
// changed (y += v): streaming the tableau through memory once.
template <std::size_t W, bool read>
[[gnu::always_inline]] inline void touch_columns(Tableau& a, double value) {
  using V = typename Vector<W>::type;
  V v;
  for (std::size_t i = 0; i < W; ++i) v[i] = value;
  const std::size_t rows = a.rows;
  const auto touch = [&v, rows](double* y) {
    const auto at = [&v, y](std::size_t i) {
      V w = v;
      if constexpr (read) {
        std::memcpy(&w, y + i, sizeof w);
        w += v;
      }
      std::memcpy(y + i, &w, sizeof w);
    };
    for (std::size_t i = 0; i + W <= rows; i += W) at(i);
    if (rows % W != 0) at(rows - W);
  };
  for (std::size_t j = 0; j < a.cols; ++j)
    if (j != a.q) touch(a.column(j));
  touch(a.column(a.q));
}

template <bool read>
void touch_sse2(Tableau& a, double value) {
  touch_columns<2, read>(a, value);
}
template <bool read>
[[gnu::target("avx2")]] void touch_avx2(Tableau& a, double value) {
  touch_columns<4, read>(a, value);
}
template <bool read>
[[gnu::target("avx512f")]] void touch_avx512(Tableau& a, double value) {
  touch_columns<8, read>(a, value);
}

template <bool read>
void BM_Floor(benchmark::State& state, Size s, int width) {
  if (!width_offered(state, width)) return;
  simplex::use_vector_width(8);
  void (*const floor)(Tableau&, double) = width == 8   ? touch_avx512<read>
                                          : width == 4 ? touch_avx2<read>
                                                       : touch_sse2<read>;
  Tableau a(s);
  double value = read ? 0x1p-30 : 0.0;
  for (auto _ : state) {
    floor(a, value);
    if constexpr (read) {
      value = -value;  // the entries go back and forth, never grow
    } else {
      value += 1.0;
    }
    benchmark::DoNotOptimize(a.t.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(std::int64_t(state.iterations()) *
                          std::int64_t(a.rows * a.cols * sizeof(double)));
}

// The state pricing and the ratio test read besides the tableau, drawn as a
// dense model with 0 <= x <= 1 and rows a.x <= b has it in mid-solve:
// columns (variables 0..n-1) rest at either bound, and the basic variables
// of the rows are a mix of columns and logicals (no lower side).
struct Basis {
  std::vector<Position> pos;
  std::vector<std::int32_t> head;
  std::vector<std::int32_t> nonb;
  std::vector<double> x, lo, up, gamma;
  std::vector<std::uint8_t> barred;

  explicit Basis(const Tableau& a) {
    const std::size_t m = a.rows - 2;
    const std::size_t n = a.cols;
    std::mt19937_64 rng(2);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    std::vector<std::int32_t> vars(n + m);
    for (std::size_t k = 0; k < n + m; ++k) vars[k] = std::int32_t(k);
    std::shuffle(vars.begin(), vars.end(), rng);
    head.assign(vars.begin(), vars.begin() + std::ptrdiff_t(m));
    nonb.assign(vars.begin() + std::ptrdiff_t(m), vars.end());
    pos.resize(n + m);
    x.resize(n + m);
    lo.resize(n + m);
    up.resize(n + m);
    for (std::size_t k = 0; k < n + m; ++k) {
      lo[k] = k < n ? 0.0 : -kInf;
      up[k] = k < n ? 1.0 : 1.0 + 9.0 * u(rng);
      x[k] = k < n ? u(rng) : up[k] - u(rng);
      pos[k] = u(rng) < 0.5 ? Position::kLower : Position::kUpper;
    }
    for (const std::int32_t k : head) pos[std::size_t(k)] = Position::kBasic;
    for (const std::int32_t k : nonb) {
      const auto s = std::size_t(k);
      if (lo[s] == -kInf) pos[s] = Position::kUpper;
      x[s] = pos[s] == Position::kLower ? lo[s] : up[s];
    }
    gamma.resize(n);
    for (double& g : gamma) g = 1.0 + 9.0 * u(rng);
    barred.assign(n, 0);
  }
};

constexpr double kDualTol = 1e-9;
constexpr double kPrimalTol = 1e-9;
constexpr double kZeroTol = 1e-11;

struct Choice {
  std::int32_t q = -1;
  double dir = 0;
};

// Phase-2 pricing: the reduced costs are row m of the tableau, one entry
// per column, (m+2) doubles apart.
Choice price(const Tableau& a, const Basis& b) {
  const double* d = &a.t[a.rows - 2];
  const std::size_t stride = a.ld;
  Choice best;
  double gain = 0;
  for (std::size_t q = 0; q < a.cols; ++q) {
    if (b.barred[q] != 0) continue;
    const double dq = d[q * stride];
    const Position at = b.pos[std::size_t(b.nonb[q])];
    double dir = 0;
    if (dq < -kDualTol && (at == Position::kLower || at == Position::kFree)) {
      dir = 1.0;
    } else if (dq > kDualTol &&
               (at == Position::kUpper || at == Position::kFree)) {
      dir = -1.0;
    } else {
      continue;
    }
    if (dq * dq > gain * b.gamma[q]) {
      gain = dq * dq / b.gamma[q];
      best = {std::int32_t(q), dir};
    }
  }
  return best;
}

struct Ratio {
  std::int32_t p = -1;
  double theta = 0;
};

// The phase-2 two-pass ratio test over the m rows of column q: the longest
// step within the bounds widened by the tolerance, then the largest pivot
// among the rows that block within it.
Ratio ratio_test(const Tableau& a, const Basis& b, const Choice& c) {
  const double* col = a.column(std::size_t(c.q));
  const std::size_t m = a.rows - 2;
  double theta_max = kInf;
  for (std::size_t i = 0; i < m; ++i) {
    const double v = col[i] * c.dir;
    if (std::fabs(v) <= kZeroTol) continue;
    const auto k = std::size_t(b.head[i]);
    double limit;
    if (v > 0) {
      if (!std::isfinite(b.up[k])) continue;
      limit = b.up[k] + kPrimalTol;
    } else {
      if (!std::isfinite(b.lo[k])) continue;
      limit = b.lo[k] - kPrimalTol;
    }
    theta_max = std::min(theta_max, (limit - b.x[k]) / v);
  }
  Ratio r;
  double best_pivot = 0;
  for (std::size_t i = 0; i < m && theta_max < kInf; ++i) {
    const double v = col[i] * c.dir;
    if (std::fabs(v) <= kZeroTol) continue;
    const auto k = std::size_t(b.head[i]);
    double bound;
    if (v > 0) {
      if (!std::isfinite(b.up[k])) continue;
      bound = b.up[k];
    } else {
      if (!std::isfinite(b.lo[k])) continue;
      bound = b.lo[k];
    }
    const double ratio = (bound - b.x[k]) / v;
    if (ratio > theta_max) continue;
    if (std::fabs(v) > best_pivot) {
      best_pivot = std::fabs(v);
      r.p = std::int32_t(i);
      r.theta = std::max(ratio, 0.0);
    }
  }
  return r;
}

void BM_Pricing(benchmark::State& state, Size s) {
  const Tableau a(s);
  const Basis b(a);
  for (auto _ : state) benchmark::DoNotOptimize(price(a, b));
  state.SetItemsProcessed(std::int64_t(state.iterations()) *
                          std::int64_t(a.cols));
}

void BM_RatioTest(benchmark::State& state, Size s) {
  const Tableau a(s);
  const Basis b(a);
  const Choice c{std::int32_t(a.q), 1.0};
  for (auto _ : state) benchmark::DoNotOptimize(ratio_test(a, b, c));
  state.SetItemsProcessed(std::int64_t(state.iterations()) *
                          std::int64_t(a.rows - 2));
}

// Phase 1's reduced costs: every column's entries in the infeasible rows
// (here every fourth row, half below and half above their bounds) weighted
// by +-1. The engine's loop, one column at a time, and the kernel that takes
// eight columns side by side; both give the same bits.
struct Infeasible {
  std::vector<std::int32_t> rows;
  std::vector<double> costs;
  std::vector<double> d;
  explicit Infeasible(const Tableau& a) : d(a.cols) {
    for (std::size_t i = 0; i + 1 < a.rows; i += 4) {
      rows.push_back(std::int32_t(i));
      costs.push_back(i % 8 == 0 ? -1.0 : 1.0);
    }
  }
};

void BM_PhaseOneCostsByColumn(benchmark::State& state, Size s) {
  const Tableau a(s);
  Infeasible inf(a);
  for (auto _ : state) {
    for (std::size_t q = 0; q < a.cols; ++q) {
      const double* col = a.column(q);
      double sum = 0.0;
      for (std::size_t r = 0; r < inf.rows.size(); ++r)
        sum += inf.costs[r] * col[inf.rows[r]];
      inf.d[q] = sum;
    }
    benchmark::DoNotOptimize(inf.d.data());
    benchmark::ClobberMemory();
  }
}

void BM_PhaseOneCostsSideBySide(benchmark::State& state, Size s) {
  const Tableau a(s);
  Infeasible inf(a);
  for (auto _ : state) {
    simplex::weighted_row_sums(a.t.data(), a.ld, a.cols, inf.rows.data(),
                               inf.costs.data(), inf.rows.size(), inf.d.data());
    benchmark::DoNotOptimize(inf.d.data());
    benchmark::ClobberMemory();
  }
}

std::string name(const char* what, Size s) {
  return std::string(what) + "/" + std::to_string(s.rows) + "x" +
         std::to_string(s.cols);
}

}  // namespace

// Names: model_pivot/ROWSxCOLS/wW, model_store/..., model_stream/...,
// model_pricing/ROWSxCOLS, model_ratio/ROWSxCOLS,
// model_phase1_by_column/ROWSxCOLS, model_phase1_side_by_side/ROWSxCOLS;
// the report names the width the dispatch takes on this processor.
int main(int argc, char** argv) {
  const int widest = simplex::use_vector_width(8);
  benchmark::AddCustomContext("model_vector_width", std::to_string(widest));
  for (const Size s : kSizes) {
    for (const int w : kWidths) {
      const std::string width = "/w" + std::to_string(w);
      benchmark::RegisterBenchmark((name("model_pivot", s) + width).c_str(),
                                   BM_Pivot, s, w);
      benchmark::RegisterBenchmark((name("model_store", s) + width).c_str(),
                                   BM_Floor<false>, s, w);
      benchmark::RegisterBenchmark((name("model_stream", s) + width).c_str(),
                                   BM_Floor<true>, s, w);
    }
    benchmark::RegisterBenchmark(name("model_pricing", s).c_str(), BM_Pricing,
                                 s);
    benchmark::RegisterBenchmark(name("model_ratio", s).c_str(), BM_RatioTest,
                                 s);
    benchmark::RegisterBenchmark(name("model_phase1_by_column", s).c_str(),
                                 BM_PhaseOneCostsByColumn, s);
    benchmark::RegisterBenchmark(name("model_phase1_side_by_side", s).c_str(),
                                 BM_PhaseOneCostsSideBySide, s);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
