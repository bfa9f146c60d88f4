// The benchmark decks and the in-process side of the benchmark: decks of
// 1,000 random feasible problems per size (the generator of the peer
// check), and, on the very same problems, the time of one LINEAR call and of
// one glp_simplex call per problem.
//
//   lp_decks write SIZE IOUT FILE [COUNT]   the deck, e.g. SIZE = 49x60
//   lp_decks time SIZE [COUNT [REPEATS]]    one JSON object on stdout
//
// SIZE is constraints x variables (the tableau has one row and one column
// more). Each problem is timed REPEATS times (default 5) on a fresh copy of
// its data and its median kept; the JSON gives the median and the sum of
// those over the problems, the iteration counts, the outcomes on both sides
// and the number of fields karvon prints for the deck with IOUT 6.

#include <glpk.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "common/lp.h"
#include "deck/storage.h"
#include "tests/peer/glpk_model.h"
#include "tests/peer/in_process.h"
#include "tests/peer/random_lp.h"

namespace {

constexpr std::int32_t kDeckSize = 1000;
constexpr std::int32_t kRepeats = 5;

struct Size {
  std::int32_t rows = 0;
  std::int32_t vars = 0;
};

bool parse_size(const std::string& text, Size& size) {
  const std::size_t x = text.find('x');
  if (x == std::string::npos) return false;
  size.rows = std::atoi(text.substr(0, x).c_str());
  size.vars = std::atoi(text.substr(x + 1).c_str());
  return size.rows >= 0 && size.rows <= lp::kMaxConstraintRows &&
         size.vars >= 1 && size.vars <= lp::kMaxColumns;
}

// Dense feasible problems with a row that bounds them, of one size; mixed
// row kinds and some upper bounds as the generator draws them. No scratch
// copy: IUNIT 0.
peer::Shape bench_shape(Size size) {
  peer::Shape shape;
  shape.min_rows = shape.max_rows = size.rows;
  shape.min_vars = shape.max_vars = size.vars;
  shape.bounded = 1.0;
  shape.open = 0.0;
  shape.infeasible = 0.0;
  shape.min_density = 1.0;
  shape.mixed_scratch = false;
  return shape;
}

std::uint64_t bench_seed(Size size) {
  return 7919u * std::uint64_t(size.rows) + std::uint64_t(size.vars);
}

std::vector<peer::Problem> bench_problems(Size size, std::int32_t count) {
  return peer::random_problems(bench_seed(size), count, bench_shape(size));
}

using Clock = std::chrono::steady_clock;

double median(std::vector<double> v) {
  if (v.empty()) return 0.0;
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2.0;
}

double sum(const std::vector<double>& v) {
  double s = 0.0;
  for (double x : v) s += x;
  return s;
}

template <typename Work>
double median_ns(std::int32_t repeats, Work work) {
  std::vector<double> t;
  for (std::int32_t r = 0; r < repeats; ++r) t.push_back(work());
  return median(std::move(t));
}

// Numeric fields karvon prints for one problem with IOUT 6 and IUNIT 0:
// both echoes, the result, and the tableau print on entry, before the
// first iteration and after each (no recomputation without a saved
// tableau); a problem found infeasible before any iteration is printed once.
double printed_fields(const peer::Problem& p, std::int32_t status,
                      std::int32_t iter) {
  const double m = p.rows + 1;
  const double n = p.vars + 1;
  const double nv = p.variable_count();
  const double echo = m * n + nv + (m - 1) + (n - 1);
  const double result = status == 0 ? nv + 1 : 0;
  const double print = (m + 1) * n + (m - 1) + 2 * (n - 1);
  const double prints = status == -1 && iter == 0 ? 1 : iter + 2;
  return 2 * echo + result + prints * print;
}

int write_command(Size size, std::int32_t iout, const std::string& file,
                  std::int32_t count) {
  const std::vector<peer::Problem> problems = bench_problems(size, count);
  std::ofstream out(file, std::ios::binary);
  peer::write_deck(out, problems, iout);
  out.close();
  if (!out) {
    std::cerr << "cannot write " << file << "\n";
    return 1;
  }
  return 0;
}

int time_command(Size size, std::int32_t count, std::int32_t repeats) {
  const std::vector<peer::Problem> problems = bench_problems(size, count);
  auto pristine = std::make_unique<deck::Storage>();
  auto work = std::make_unique<deck::Storage>();
  glp_term_out(GLP_OFF);

  std::vector<double> linear_ns;
  std::vector<double> glpk_ns;
  std::vector<double> iterations;
  std::int32_t optimal = 0;
  std::int32_t glpk_optimal = 0;
  std::int32_t agree = 0;
  double fields = 0.0;
  for (const peer::Problem& p : problems) {
    peer::load_problem(*pristine, p);
    // One untimed call first: caches warm, and the outcome to report.
    *work = *pristine;
    peer::call_linear(*work);
    const std::int32_t status = work->STATUS;
    const std::int32_t iter = work->ITER;
    const double objective = -work->a()(work->M, work->N);
    linear_ns.push_back(median_ns(repeats, [&] {
      *work = *pristine;
      const auto start = Clock::now();
      peer::call_linear(*work);
      return std::chrono::duration<double, std::nano>(Clock::now() - start)
          .count();
    }));
    iterations.push_back(iter);
    fields += printed_fields(p, status, iter);

    const peer::GlpkProblem lp = peer::glpk_model(p);
    glp_std_basis(lp.get());
    const peer::Outcome outcome = peer::run_simplex(lp.get());
    glpk_ns.push_back(median_ns(repeats, [&] {
      glp_std_basis(lp.get());
      const auto start = Clock::now();
      peer::run_simplex(lp.get());
      return std::chrono::duration<double, std::nano>(Clock::now() - start)
          .count();
    }));

    optimal += status == 0;
    glpk_optimal += outcome == peer::Outcome::kOptimal;
    const double g = glp_get_obj_val(lp.get());
    agree += status == 0 && outcome == peer::Outcome::kOptimal &&
             std::abs(objective - g) <=
                 1e-6 * std::max({1.0, std::abs(objective), std::abs(g)});
  }

  std::printf(
      "{\"size\": \"%dx%d\", \"problems\": %d, \"repeats\": %d,\n"
      " \"linear_median_ns\": %.1f, \"linear_sum_ns\": %.1f,\n"
      " \"glpk_median_ns\": %.1f, \"glpk_sum_ns\": %.1f,\n"
      " \"iter_median\": %.1f, \"iter_mean\": %.2f,\n"
      " \"linear_optimal\": %d, \"glpk_optimal\": %d, \"same_optimum\": %d,\n"
      " \"fields_iout6\": %.0f}\n",
      size.rows, size.vars, count, repeats, median(linear_ns), sum(linear_ns),
      median(glpk_ns), sum(glpk_ns), median(iterations),
      sum(iterations) / double(std::max<std::size_t>(1, iterations.size())),
      optimal, glpk_optimal, agree, fields);
  return 0;
}

int usage() {
  std::cerr << "usage: lp_decks write SIZE IOUT FILE [COUNT]\n"
               "       lp_decks time SIZE [COUNT [REPEATS]]\n"
               "SIZE is constraints x variables, e.g. 49x60\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  Size size;
  if (args.size() < 2 || !parse_size(args[1], size)) return usage();
  if (args[0] == "write" && args.size() >= 4) {
    const std::int32_t count =
        args.size() > 4 ? std::atoi(args[4].c_str()) : kDeckSize;
    return write_command(size, std::atoi(args[2].c_str()), args[3], count);
  }
  if (args[0] == "time") {
    const std::int32_t count =
        args.size() > 2 ? std::atoi(args[2].c_str()) : kDeckSize;
    const std::int32_t repeats =
        args.size() > 3 ? std::atoi(args[3].c_str()) : kRepeats;
    return time_command(size, count, std::max(1, repeats));
  }
  return usage();
}
