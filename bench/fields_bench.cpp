// Nanoseconds per field: rendering E10.3 (1P), F9.2 and I5 (alone and, for
// the reals, in runs of 1,024 fields), and reading
// F10.0 and I5, each beside the C library doing the same job (snprintf,
// strtod, strtol) on the same values.

#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "recio/field_in.h"
#include "recio/field_out.h"

namespace {

constexpr std::size_t kValues = 1024;  // a power of two: index with a mask

// Tableau-like reals: magnitudes from 1e-6 to 1e6, either sign, a few
// exact zeros and small integers among them.
std::vector<double> sample_reals(double max_magnitude) {
  std::mt19937_64 rng(42);
  std::uniform_real_distribution<double> exponent(-6.0,
                                                  std::log10(max_magnitude));
  std::uniform_int_distribution<int> kind(0, 9);
  std::vector<double> values(kValues);
  for (double& v : values) {
    switch (kind(rng)) {
      case 0:
        v = 0.0;
        break;
      case 1:
        v = static_cast<double>(static_cast<int>(rng() % 200) - 100);
        break;
      default:
        v = std::pow(10.0, exponent(rng)) * ((rng() & 1) != 0 ? -1.0 : 1.0);
        break;
    }
  }
  return values;
}

std::vector<std::int32_t> sample_ints() {
  std::mt19937_64 rng(7);
  std::uniform_int_distribution<std::int32_t> u(-9999, 99999);
  std::vector<std::int32_t> values(kValues);
  for (std::int32_t& v : values) {
    v = u(rng);
  }
  return values;
}

void render_e10_3(benchmark::State& state) {
  const std::vector<double> values = sample_reals(1e6);
  std::array<char, 10> field{};
  std::size_t i = 0;
  for (auto _ : state) {
    recio::render_exp(field, 3, 1, values[i++ & (kValues - 1)]);
    benchmark::DoNotOptimize(field.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
}

void snprintf_e10_3(benchmark::State& state) {
  const std::vector<double> values = sample_reals(1e6);
  std::array<char, 32> field{};
  std::size_t i = 0;
  for (auto _ : state) {
    std::snprintf(field.data(), field.size(), "%10.3E",
                  values[i++ & (kValues - 1)]);
    benchmark::DoNotOptimize(field.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
}

void render_f9_2(benchmark::State& state) {
  const std::vector<double> values = sample_reals(1e5);
  std::array<char, 9> field{};
  std::size_t i = 0;
  for (auto _ : state) {
    recio::render_fixed(field, 2, 0, values[i++ & (kValues - 1)]);
    benchmark::DoNotOptimize(field.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
}

// Whole runs of fields side by side, the form a tableau line and an echo
// record take: one iteration renders all kValues values.
template <bool kFixed>
void render_run(benchmark::State& state) {
  const std::vector<double> values = sample_reals(kFixed ? 1e5 : 1e6);
  const std::size_t w = kFixed ? 9 : 10;
  std::vector<char> line(w * kValues);
  for (auto _ : state) {
    if constexpr (kFixed) {
      recio::render_fixed_each(line, 2, 0, values);
    } else {
      recio::render_exp_each(line, 3, 1, values);
    }
    benchmark::DoNotOptimize(line.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() *
                          static_cast<benchmark::IterationCount>(kValues));
}

void snprintf_f9_2(benchmark::State& state) {
  const std::vector<double> values = sample_reals(1e5);
  std::array<char, 32> field{};
  std::size_t i = 0;
  for (auto _ : state) {
    std::snprintf(field.data(), field.size(), "%9.2f",
                  values[i++ & (kValues - 1)]);
    benchmark::DoNotOptimize(field.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
}

void render_i5(benchmark::State& state) {
  const std::vector<std::int32_t> values = sample_ints();
  std::array<char, 5> field{};
  std::size_t i = 0;
  for (auto _ : state) {
    recio::render_int(field, values[i++ & (kValues - 1)]);
    benchmark::DoNotOptimize(field.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
}

void snprintf_i5(benchmark::State& state) {
  const std::vector<std::int32_t> values = sample_ints();
  std::array<char, 16> field{};
  std::size_t i = 0;
  for (auto _ : state) {
    std::snprintf(field.data(), field.size(), "%5d",
                  values[i++ & (kValues - 1)]);
    benchmark::DoNotOptimize(field.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
}

// Input fields as the driver meets them: right-justified in ten columns,
// written the way people type numbers (-2.5, 1200, 0.000125, 3e4).
std::vector<std::string> sample_f10_fields() {
  std::mt19937_64 rng(11);
  std::vector<std::string> fields;
  fields.reserve(kValues);
  const std::vector<double> values = sample_reals(1e6);
  for (std::size_t i = 0; i < kValues; ++i) {
    std::array<char, 32> text{};
    const double v = values[i];
    switch (rng() % 3) {
      case 0:
        std::snprintf(text.data(), text.size(), "%10.4g", v);
        break;
      case 1:
        std::snprintf(text.data(), text.size(), "%10.0f", std::round(v));
        break;
      default:
        std::snprintf(text.data(), text.size(), "%10.3f", std::fmod(v, 1e5));
        break;
    }
    fields.emplace_back(text.data());
    fields.back().resize(10, ' ');
  }
  return fields;
}

void parse_f10_0(benchmark::State& state) {
  const std::vector<std::string> fields = sample_f10_fields();
  std::size_t i = 0;
  for (auto _ : state) {
    double v = 0;
    const bool ok = recio::parse_real(fields[i++ & (kValues - 1)], 0, v);
    benchmark::DoNotOptimize(ok);
    benchmark::DoNotOptimize(v);
  }
  state.SetItemsProcessed(state.iterations());
}

void strtod_f10_0(benchmark::State& state) {
  const std::vector<std::string> fields = sample_f10_fields();
  std::size_t i = 0;
  for (auto _ : state) {
    const double v = std::strtod(fields[i++ & (kValues - 1)].c_str(), nullptr);
    benchmark::DoNotOptimize(v);
  }
  state.SetItemsProcessed(state.iterations());
}

std::vector<std::string> sample_i5_fields() {
  std::vector<std::string> fields;
  fields.reserve(kValues);
  for (const std::int32_t v : sample_ints()) {
    std::array<char, 16> text{};
    std::snprintf(text.data(), text.size(), "%5d", v);
    fields.emplace_back(text.data());
  }
  return fields;
}

void parse_i5(benchmark::State& state) {
  const std::vector<std::string> fields = sample_i5_fields();
  std::size_t i = 0;
  for (auto _ : state) {
    std::int32_t v = 0;
    const bool ok = recio::parse_int(fields[i++ & (kValues - 1)], v);
    benchmark::DoNotOptimize(ok);
    benchmark::DoNotOptimize(v);
  }
  state.SetItemsProcessed(state.iterations());
}

void strtol_i5(benchmark::State& state) {
  const std::vector<std::string> fields = sample_i5_fields();
  std::size_t i = 0;
  for (auto _ : state) {
    const long v =
        std::strtol(fields[i++ & (kValues - 1)].c_str(), nullptr, 10);
    benchmark::DoNotOptimize(v);
  }
  state.SetItemsProcessed(state.iterations());
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::RegisterBenchmark("render/E10.3_1P", render_e10_3);
  benchmark::RegisterBenchmark("snprintf/E10.3", snprintf_e10_3);
  benchmark::RegisterBenchmark("render/F9.2", render_f9_2);
  benchmark::RegisterBenchmark("snprintf/F9.2", snprintf_f9_2);
  benchmark::RegisterBenchmark("run/E10.3_1P_x1024", render_run<false>);
  benchmark::RegisterBenchmark("run/F9.2_x1024", render_run<true>);
  benchmark::RegisterBenchmark("render/I5", render_i5);
  benchmark::RegisterBenchmark("snprintf/I5", snprintf_i5);
  benchmark::RegisterBenchmark("parse/F10.0", parse_f10_0);
  benchmark::RegisterBenchmark("strtod/F10.0", strtod_f10_0);
  benchmark::RegisterBenchmark("parse/I5", parse_i5);
  benchmark::RegisterBenchmark("strtol/I5", strtol_i5);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
