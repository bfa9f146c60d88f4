#pragma once
// One solve of a model on the model road: scale, run the simplex engine,
// take the answer back to the problem's own terms, check it there, and
// repair what does not pass before saying anything.

#include <cstdint>
#include <optional>
#include <vector>

#include "karvon/observer.h"
#include "simplex/certify.h"
#include "simplex/engine.h"
#include "simplex/problem.h"

namespace simplex {

enum class Status : std::uint8_t {
  kOptimal,
  kInfeasible,
  kUnbounded,
  kIterationLimit,
  kTimeLimit,
  kUnsettled,
  kNotCertified,  // an optimum whose check failed after every repair
};

struct Options {
  std::int64_t iteration_limit = 0;  // 0: none
  double time_limit = kInf;          // seconds
  // The engine's form; by default the one form_for picks. An observer
  // always gets the tableau form.
  std::optional<Form> form;
};

struct Answer {
  Status status = Status::kUnsettled;
  std::int64_t iterations = 0;
  std::vector<double> x;         // n values
  std::vector<double> activity;  // A x, m values
  // At an optimum (certified or not): m row duals and n reduced costs.
  std::vector<double> row_duals;
  std::vector<double> reduced_costs;
  std::vector<Position> col_position;
  std::vector<Position> row_position;
  std::vector<double> ray;     // kUnbounded: n values
  std::vector<double> farkas;  // kInfeasible: m values
  Measures measures;
  bool certified = false;
};

// The bytes the tableau and the basis factors of a rows x cols problem
// take: what a caller compares with its memory limit before solving.
std::uint64_t bytes_needed(std::int64_t rows, std::int64_t cols);

// Solves `p`. The observer, when given, hears every step of the engine, in
// the problem's own units (simplex/step_view.h).
Answer solve(const Problem& p, const Options& options,
             karvon::StepObserver* observer = nullptr);

}  // namespace simplex
