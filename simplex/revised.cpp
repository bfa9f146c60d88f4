// The revised form of the engine: the inverse of the basis instead of the
// tableau. With B the basis (the columns of [A, -I] of the basic
// variables) and N_k the column of variable k,
//   T_q = -B^-1 N_k        column q of T, k nonbasic in column q
//   T_pj = -(row p of B^-1) . N_k
//   d_j = c_k + sum_i c_B(i) T_ij,  and d1 alike with the phase-1 costs,
// so an iteration needs one column of T (for the ratio test) and one row
// (for the updates of d, d1 and the weights), at a cost of about m^2 and
// the nonzeros of A, where the tableau costs m x n.
//
// B^-1 is held by columns: column r of it is contiguous, which is what
// every use below reads, and what the update after a pivot writes.

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "simplex/engine.h"
#include "simplex/kernels.h"

namespace simplex {
namespace {

// The pivot element as the column gives it against the same element as
// the row gives it: further apart than this (relative), the inverse has
// drifted and is worked out afresh.
constexpr double kPivotAgreement = 1e-9;
// The entering column's updated weight against its exact one: further
// apart than this (relative), all weights are worked out afresh.
constexpr double kWeightAgreement = 0.1;

}  // namespace

// All logicals basic: B = -I.
void Engine::revised_start() {
  const auto m = std::size_t(m_);
  binv_.assign(m * m, 0.0);
  for (std::size_t i = 0; i < m; ++i) binv_[i * m + i] = -1.0;
  col_.assign(m, 0.0);
  rho_.assign(m, 0.0);
  work_.assign(m, 0.0);
}

double Engine::dot_column(std::int32_t k, const double* v) const {
  if (k >= n_) return -v[k - n_];
  double s = 0;
  for (auto e = p_.start[std::size_t(k)]; e < p_.start[std::size_t(k) + 1]; ++e)
    s += p_.value[std::size_t(e)] * v[p_.index[std::size_t(e)]];
  return s;
}

// col_ = T_q = -B^-1 N_k.
void Engine::load_column(std::int32_t q) {
  if (form_ == Form::kTableau) return;
  const auto m = std::size_t(m_);
  const std::int32_t k = nonb_[std::size_t(q)];
  if (k >= n_) {
    const double* b = &binv_[std::size_t(k - n_) * m];
    std::copy(b, b + m, col_.begin());
    return;
  }
  std::fill(col_.begin(), col_.end(), 0.0);
  for (auto e = p_.start[std::size_t(k)]; e < p_.start[std::size_t(k) + 1]; ++e)
    axpy(col_.data(), &binv_[std::size_t(p_.index[std::size_t(e)]) * m],
         -p_.value[std::size_t(e)], m);
}

// Adds sum_i weight_i T_ij to d (offset 0) or d1 (offset 1) of every
// column j: with v = B^-T weight, that is -v . N_k.
void Engine::revised_add_rows(const std::vector<double>& weight,
                              std::size_t offset) {
  const auto m = std::size_t(m_);
  for (std::size_t r = 0; r < m; ++r)
    work_[r] = dot(&binv_[r * m], weight.data(), m);
  for (std::int32_t q = 0; q < n_; ++q)
    dd_[std::size_t(q) * dstride_ + offset] -=
        dot_column(nonb_[std::size_t(q)], work_.data());
}

// x_B = T x_N = -B^-1 (N x_N).
void Engine::revised_start_values() {
  const auto m = std::size_t(m_);
  std::vector<double> v(m, 0.0);
  for (std::int32_t q = 0; q < n_; ++q) {
    const std::int32_t k = nonb_[std::size_t(q)];
    const double x = x_[std::size_t(k)];
    if (x == 0.0) continue;
    if (k >= n_) {
      v[std::size_t(k - n_)] -= x;
      continue;
    }
    for (auto e = p_.start[std::size_t(k)]; e < p_.start[std::size_t(k) + 1];
         ++e)
      v[std::size_t(p_.index[std::size_t(e)])] += p_.value[std::size_t(e)] * x;
  }
  std::vector<double> xb(m, 0.0);
  for (std::size_t r = 0; r < m; ++r)
    if (v[r] != 0.0) axpy(xb.data(), &binv_[r * m], -v[r], m);
  for (std::size_t i = 0; i < m; ++i) x_[std::size_t(head_[i])] = xb[i];
}

// gamma_q = 1 + |T_q|^2, each column worked out.
void Engine::revised_reset_weights() {
  for (std::int32_t q = 0; q < n_; ++q) {
    load_column(q);
    gamma_[std::size_t(q)] = 1.0 + sum_of_squares(col_.data(), col_.size());
  }
}

// B^-1 from the factors of B, column by column.
void Engine::revised_invert(const std::vector<double>& lu,
                            const std::vector<std::int32_t>& perm) {
  const auto m = std::size_t(m_);
  std::vector<double> v(m);
  for (std::size_t r = 0; r < m; ++r) {
    std::fill(v.begin(), v.end(), 0.0);
    v[r] = 1.0;
    solve_basis(lu, perm, v);
    std::copy(v.begin(), v.end(), binv_.begin() + std::ptrdiff_t(r * m));
  }
}

// The exchange of row p's basic variable with column q's nonbasic one, as
// the tableau form's pivot does it, on d, d1, the weights and B^-1. col_
// holds T_q.
void Engine::revised_pivot(std::int32_t p, std::int32_t q) {
  const auto m = std::size_t(m_);
  const auto ps = std::size_t(p);
  const double piv = col_[ps];
  for (std::size_t r = 0; r < m; ++r) rho_[r] = binv_[r * m + ps];
  // The pivot as row p gives it, against the column's.
  const double from_row = -dot_column(nonb_[std::size_t(q)], rho_.data());
  if (std::fabs(from_row - piv) > kPivotAgreement * (1.0 + std::fabs(piv)))
    refactor_ = true;
  // w = B^-T B^-1 N_k = -B^-T T_q, so that T_j . T_q = N_j . w, from B^-1
  // as it was; in the same pass over it, B' replaces B's column p by N_k:
  // with u = B^-1 N_k = -T_q, row p of B'^-1 is row p of B^-1 over u_p,
  // every other row i loses u_i times it. A column with few nonzeros is
  // taken entry by entry, a fuller one whole.
  nz_.clear();
  for (std::size_t i = 0; i < m; ++i)
    if (col_[i] != 0.0) nz_.push_back(std::int32_t(i));
  const bool sparse = nz_.size() * 4 < m;
  for (std::size_t r = 0; r < m; ++r) {
    double* b = &binv_[r * m];
    const double f = -rho_[r] / piv;
    double s = 0;
    if (sparse) {
      for (const std::int32_t i : nz_) s += b[i] * col_[std::size_t(i)];
      if (f != 0.0)
        for (const std::int32_t i : nz_) b[i] += col_[std::size_t(i)] * f;
    } else {
      s = f != 0.0 ? dot_axpy(b, col_.data(), f, m) : dot(b, col_.data(), m);
    }
    if (f != 0.0) b[ps] = f;
    work_[r] = -s;
  }
  // The entering column's weight as updated, against its own: when they
  // part, the updates have gathered too much rounding and every weight is
  // worked out afresh after this pivot.
  double exact = 1.0;
  for (const std::int32_t i : nz_)
    exact += col_[std::size_t(i)] * col_[std::size_t(i)];
  const bool reset =
      std::fabs(gamma_[std::size_t(q)] - exact) > kWeightAgreement * exact;
  gamma_[std::size_t(q)] = exact;
  const double dq = d(q);
  const double d1q = d1(q);
  const double gq = gamma_[std::size_t(q)];
  for (std::int32_t j = 0; j < n_; ++j) {
    if (j == q) continue;
    const std::int32_t k = nonb_[std::size_t(j)];
    const double a = -dot_column(k, rho_.data());
    if (a == 0.0) continue;
    const double f = -a / piv;
    d(j) += dq * f;
    d1(j) += d1q * f;
    double& g = gamma_[std::size_t(j)];
    g += 2.0 * f * dot_column(k, work_.data()) + f * f * gq;
    g = std::max(g, 1.0 + f * f);
  }
  d(q) = dq / piv;
  d1(q) = d1q / piv;
  double g = 1.0 / (piv * piv);
  for (const std::int32_t i : nz_) {
    if (i == p) continue;
    const double t = col_[std::size_t(i)] / piv;
    g += t * t;
  }
  gamma_[std::size_t(q)] = 1.0 + g;
  if (reset) revised_reset_weights();
}

}  // namespace simplex
