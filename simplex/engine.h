#pragma once
// The model road's simplex method: a bounded-variable primal simplex on a
// dense condensed tableau, of any size that fits in memory.
//
// Every row i of the problem gets a logical variable r_i = a_i . x, bounded
// by the row's sides, so that the whole system is homogeneous:
//   x_B = T x_N        (m basic variables from the n nonbasic ones)
//   z   = d . x_N      (the objective; d the reduced costs)
// T (m x n), d and the phase-1 reduced costs d1 are held together as one
// (m+2) x n column-major array (each column padded with zeros to a whole
// number of the kernels' lanes), d in row m and d1 in row m+1, and a pivot
// updates all three at once. Variables 0..n-1 are the
// columns, n..n+m-1 the logicals; at the start the logicals are basic and
// T is A.
//
// A model with many more columns than rows is better served by the revised
// form: instead of T, the engine keeps the inverse of the basis (m x m), d
// and d1, and works out of the problem's own columns what an iteration
// needs: the entering column of T, and its pivot row. The steepest-edge
// weights are then updated from the inner products of the columns with the
// entering one (T_j . T_q = N_j . w). Both forms take the same steps in
// exact arithmetic; they differ in rounding only.
//
// Phase 1 minimises the sum of infeasibilities of the basic variables with
// costs of +-1 worked out afresh each iteration; phase 2 minimises the
// costs. The choices that keep it sound on real models:
//  - steepest-edge pricing: the tableau holds every column whole, so the
//    exact norms come almost free with the pivot that touches them;
//  - tolerances on a scaled problem (the caller scales), a two-pass ratio
//    test that takes the largest pivot among the near-ties;
//  - small perturbations of the bounds and the costs against degeneracy,
//    taken out before an ending is declared (the method then goes on from
//    where it stands with the data as given);
//  - a smallest-index rule while the objective stalls, so it cannot cycle;
//  - the tableau recomputed from the problem's own data for the current
//    basis (dense LU of the basis) when it drifts, and, once asked to be
//    careful, before any ending is declared.

#include <chrono>
#include <cstdint>
#include <vector>

#include "simplex/kernels.h"
#include "simplex/problem.h"

namespace simplex {

enum class Outcome : std::uint8_t {
  kOptimal,
  kInfeasible,
  kUnbounded,
  kIterationLimit,
  kTimeLimit,
  kUnsettled,  // the basis became singular and could not be repaired
};

struct Limits {
  std::int64_t iterations = 0;  // 0: none
  std::chrono::steady_clock::time_point deadline =
      std::chrono::steady_clock::time_point::max();
};

// What an observer of the engine sees after each step.
enum class Event : std::uint8_t { kStart, kPivot, kBoundFlip, kRecomputed };

class Engine;

// How the engine holds the problem as it stands (see above).
enum class Form : std::uint8_t { kTableau, kRevised };

// The form for a problem of this shape: the revised one when A is sparse
// (under a tenth of its entries nonzero) and the inverse of the basis no
// larger than the tableau. Its pivot then costs about the nonzeros of A
// and of the entering column times those of the pivot row of B^-1, where
// the tableau's costs rows x columns (on netlib, 0.3 to 7 x less).
Form form_for(const Problem& p);

class EngineWatcher {
 public:
  virtual ~EngineWatcher() = default;
  // `q` the column and `p` the row of a pivot (p = -1 for a bound flip, both
  // -1 for the other events); `entering` and `leaving` are variables.
  virtual void step(const Engine& e, Event event, std::int32_t p,
                    std::int32_t q, std::int32_t entering,
                    std::int32_t leaving) = 0;
};

class Engine {
 public:
  // `p` must outlive the engine. Allocates the tableau, (rows+2) x cols, or
  // in the revised form the inverse of the basis, rows x rows.
  explicit Engine(const Problem& p, Form form = Form::kTableau);

  // Runs from the current basis until an ending. May be called again after
  // the caller tightened something (it then goes on from where it stood).
  Outcome run(const Limits& limits, EngineWatcher* watcher = nullptr);

  // Recomputes T, d and the basic values from the problem for the current
  // basis. False when the basis is singular beyond repair.
  bool recompute();

  // Starts from the basis another engine ended with (positions of the n+m
  // variables): exactly m basic ones. False when the count is off or the
  // basis is singular beyond repair.
  bool load_basis(const std::vector<Position>& positions);

  // From now on, recompute the tableau from the problem before declaring
  // any ending (an answer from the updated tableau failed its check).
  void be_careful() { careful_ = true; }

  std::int32_t rows() const { return m_; }
  std::int32_t cols() const { return n_; }
  double value(std::int32_t k) const { return x_[std::size_t(k)]; }
  Position position(std::int32_t k) const { return pos_[std::size_t(k)]; }
  // The reduced cost of variable k: d of its column, 0 when basic.
  double reduced_cost(std::int32_t k) const;
  // The phase-1 cost of the basic variable of row i: -1 below its lower
  // bound, +1 above its upper bound, 0 within.
  double phase_cost(std::int32_t i) const;
  // After kUnbounded: the change of every variable (n+m) per unit step.
  const std::vector<double>& ray() const { return ray_; }
  // After kInfeasible: the phase-1 multipliers of the rows (m).
  const std::vector<double>& farkas() const { return farkas_; }
  std::int64_t iterations() const { return iterations_; }
  bool in_phase_one() const { return phase_one_; }

  Form form() const { return form_; }
  // The tableau as it stands, for observers (the tableau form only): column
  // q from entry q * ld().
  const AlignedVector& tableau() const { return t_; }
  std::int32_t ld() const { return ld_; }
  const std::vector<std::int32_t>& basic() const { return head_; }
  const std::vector<std::int32_t>& nonbasic() const { return nonb_; }
  double lower(std::int32_t k) const { return lo_[std::size_t(k)]; }
  double upper(std::int32_t k) const { return up_[std::size_t(k)]; }

 private:
  struct Choice {
    std::int32_t q = -1;
    double dir = 0;  // +1: the entering variable rises, -1: it falls
  };
  struct Ratio {
    std::int32_t p = -1;  // -1: a bound flip, or nothing blocks
    double theta = 0;
    bool blocked = false;
    double bound = 0;  // the bound the leaving variable stops at
  };

  // The reduced cost and the phase-1 reduced cost of column q, and the
  // stride from one column's to the next.
  double& d(std::int32_t q) { return dd_[std::size_t(q) * dstride_]; }
  double d(std::int32_t q) const { return dd_[std::size_t(q) * dstride_]; }
  double& d1(std::int32_t q) { return dd_[std::size_t(q) * dstride_ + 1]; }
  double d1(std::int32_t q) const { return dd_[std::size_t(q) * dstride_ + 1]; }
  // Column q of T (its m rows): in the revised form, only after
  // load_column(q).
  const double* column(std::int32_t q) const {
    return form_ == Form::kTableau ? &t_[std::size_t(q) * std::size_t(ld_)]
                                   : col_.data();
  }
  void load_column(std::int32_t q);

  // The revised form's own pieces (simplex/revised.cpp).
  void revised_start();
  void revised_pivot(std::int32_t p, std::int32_t q);
  void revised_add_rows(const std::vector<double>& weight, std::size_t offset);
  void revised_start_values();
  void revised_reset_weights();
  void revised_invert(const std::vector<double>& lu,
                      const std::vector<std::int32_t>& perm);
  // N_k . v for variable k: its column of [A, -I].
  double dot_column(std::int32_t k, const double* v) const;

  void start_values();
  void reset_weights();
  bool sync_phase_one();
  void reset_phase_one();
  Choice price(const double* costs, std::size_t stride) const;
  bool stops_at(std::size_t k, double a, double& bound, double& slack) const;
  Ratio ratio_test(const Choice& c);
  void pivot(std::int32_t p, std::int32_t q);
  void step(const Choice& c, const Ratio& r);
  void recompute_reduced_costs();
  void perturb_costs();
  void remove_perturbation();
  void perturb_bounds();
  void restore_bounds();
  double next_random();
  bool drifted() const;
  bool factor_basis(std::vector<double>& lu, std::vector<std::int32_t>& perm);
  void tableau_from_factors(const std::vector<double>& lu,
                            const std::vector<std::int32_t>& perm);
  void solve_basis(const std::vector<double>& lu,
                   const std::vector<std::int32_t>& perm,
                   std::vector<double>& v) const;
  void save_ray(const Choice& c);
  void save_farkas();
  void rest_at_bound(std::int32_t k);

  const Problem& p_;
  Form form_;
  std::int32_t m_;
  std::int32_t n_;
  std::int32_t ld_;
  // The tableau form: T, d, d1, each column padded to whole lanes.
  AlignedVector t_;
  // Where d and d1 live: rows m and m+1 of the tableau, or (revised form)
  // side by side in a vector of their own.
  double* dd_ = nullptr;
  std::size_t dstride_ = 0;
  std::vector<double> dd_own_;
  // The revised form: the inverse of the basis by columns, the loaded
  // column of T, row p of the inverse, and scratch.
  std::vector<double> binv_;
  std::vector<double> col_;
  std::vector<double> rho_;
  std::vector<double> work_;
  std::vector<double> work2_;
  bool refactor_ = false;  // the last pivot was found inaccurate
  std::vector<double> lo_, up_, cost_, cost_given_, lo_given_, up_given_;
  std::vector<double> x_;
  std::vector<Position> pos_;
  std::vector<std::int32_t> head_;  // the basic variable of each row
  std::vector<std::int32_t> nonb_;  // the nonbasic variable of each column
  std::vector<std::int32_t> slot_;  // row or column of each variable
  // The phase-1 cost of each row as counted in row m+1 of the tableau.
  std::vector<double> counted_;
  std::vector<double> gamma_;     // 1 + |T\'s column|^2: steepest-edge weights
  std::vector<std::int32_t> nz_;  // nonzero rows of the pivot column
  struct Candidate {
    std::int32_t row;
    double ratio;
    double pivot;
    double bound;
  };
  std::vector<Candidate> candidates_;  // rows that may leave, for one test
  std::vector<std::uint8_t> barred_;   // columns refused a pivot this round
  std::vector<double> ray_, farkas_;
  std::int64_t iterations_ = 0;
  std::int64_t stalled_ = 0;
  std::int64_t since_check_ = 0;
  std::uint64_t seed_ = 0x9e3779b97f4a7c15ULL;
  bool perturbed_ = false;
  bool bounds_perturbed_ = false;
  bool ever_perturbed_ = false;
  bool fresh_ = false;
  bool phase_one_ = true;
  bool smallest_index_ = false;
  bool careful_ = false;
  bool phase_one_fresh_ = false;
};

}  // namespace simplex
