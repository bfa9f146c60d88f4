// The tableau worked out afresh from the problem's own data for the
// current basis: a dense LU factorisation of the basis, then every nonbasic
// column, the reduced costs and the basic values from it. This is what puts
// right the rounding that the pivots gather, and what a basis from
// elsewhere is loaded by.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

#include "simplex/engine.h"
#include "simplex/kernels.h"

namespace simplex {
namespace {

// A singular basis: no entry of a column of the factor reaches this.
constexpr double kSingularTol = 1e-11;

}  // namespace

// LU with partial pivoting of B, whose column r is the column of the
// variable basic in row r of the tableau ([A, -I]: a logical's column is
// -e_i). A column without a pivot is replaced by the logical of a row not
// yet pivoted whose logical is nonbasic, and the factorisation starts over;
// the variable put out rests at a bound.
bool Engine::factor_basis(std::vector<double>& lu,
                          std::vector<std::int32_t>& perm) {
  const auto m = std::size_t(m_);
  for (std::int32_t attempt = 0; attempt <= m_; ++attempt) {
    lu.assign(m * m, 0.0);
    for (std::size_t r = 0; r < m; ++r) {
      const std::int32_t k = head_[r];
      double* col = &lu[r * m];
      if (k < n_) {
        for (auto e = p_.start[std::size_t(k)];
             e < p_.start[std::size_t(k) + 1]; ++e)
          col[std::size_t(p_.index[std::size_t(e)])] = p_.value[std::size_t(e)];
      } else {
        col[std::size_t(k - n_)] = -1.0;
      }
    }
    perm.resize(m);
    for (std::size_t i = 0; i < m; ++i) perm[i] = std::int32_t(i);
    std::size_t failed = m;
    for (std::size_t k = 0; k < m; ++k) {
      double* ck = &lu[k * m];
      std::size_t r = k;
      double best = std::fabs(ck[k]);
      for (std::size_t i = k + 1; i < m; ++i) {
        if (std::fabs(ck[i]) > best) {
          best = std::fabs(ck[i]);
          r = i;
        }
      }
      if (best <= kSingularTol) {
        failed = k;
        break;
      }
      if (r != k) {
        for (std::size_t j = 0; j < m; ++j)
          std::swap(lu[j * m + k], lu[j * m + r]);
        std::swap(perm[k], perm[r]);
      }
      const double piv = ck[k];
      for (std::size_t i = k + 1; i < m; ++i) ck[i] /= piv;
      for (std::size_t j = k + 1; j < m; ++j) {
        double* cj = &lu[j * m];
        const double f = cj[k];
        if (f != 0.0) axpy(cj + k + 1, ck + k + 1, -f, m - k - 1);
      }
    }
    if (failed == m) return true;
    // Rows perm[failed..m-1] have no pivot yet: bring in the logical of one
    // of them for the basic variable of tableau row `failed`.
    std::int32_t row = -1;
    for (std::size_t i = failed; i < m && row < 0; ++i) {
      const std::int32_t l = n_ + perm[i];
      if (pos_[std::size_t(l)] != Position::kBasic) row = perm[i];
    }
    if (row < 0) return false;
    const std::int32_t out = head_[failed];
    const std::int32_t in = n_ + row;
    const std::int32_t q = slot_[std::size_t(in)];
    head_[failed] = in;
    nonb_[std::size_t(q)] = out;
    slot_[std::size_t(in)] = std::int32_t(failed);
    slot_[std::size_t(out)] = q;
    pos_[std::size_t(in)] = Position::kBasic;
    rest_at_bound(out);
  }
  return false;
}

// Solves B w = v in place with the factors of factor_basis.
void Engine::solve_basis(const std::vector<double>& lu,
                         const std::vector<std::int32_t>& perm,
                         std::vector<double>& v) const {
  const auto m = std::size_t(m_);
  std::vector<double> w(m);
  for (std::size_t i = 0; i < m; ++i) w[i] = v[std::size_t(perm[i])];
  for (std::size_t k = 0; k < m; ++k) {
    const double wk = w[k];
    if (wk == 0.0) continue;
    axpy(&w[k + 1], &lu[k * m + k + 1], -wk, m - k - 1);
  }
  for (std::size_t k = m; k-- > 0;) {
    if (w[k] == 0.0) continue;
    const double* ck = &lu[k * m];
    w[k] /= ck[k];
    axpy(w.data(), ck, -w[k], k);
  }
  v.swap(w);
}

// T's column of nonbasic variable k is -B^-1 times k's column of [A, -I].
void Engine::tableau_from_factors(const std::vector<double>& lu,
                                  const std::vector<std::int32_t>& perm) {
  const auto m = std::size_t(m_);
  const auto ld = std::size_t(ld_);
  std::vector<double> v(m);
  for (std::int32_t q = 0; q < n_; ++q) {
    std::fill(v.begin(), v.end(), 0.0);
    const std::int32_t k = nonb_[std::size_t(q)];
    if (k < n_) {
      for (auto e = p_.start[std::size_t(k)]; e < p_.start[std::size_t(k) + 1];
           ++e)
        v[std::size_t(p_.index[std::size_t(e)])] = -p_.value[std::size_t(e)];
    } else {
      v[std::size_t(k - n_)] = 1.0;
    }
    solve_basis(lu, perm, v);
    std::copy(v.begin(), v.end(),
              t_.begin() + std::ptrdiff_t(std::size_t(q) * ld));
  }
}

bool Engine::recompute() {
  if (m_ > 0) {
    std::vector<double> lu;
    std::vector<std::int32_t> perm;
    if (!factor_basis(lu, perm)) return false;
    if (form_ == Form::kRevised) {
      revised_invert(lu, perm);
    } else {
      tableau_from_factors(lu, perm);
    }
  }
  recompute_reduced_costs();
  reset_weights();
  start_values();
  reset_phase_one();
  phase_one_fresh_ = true;
  fresh_ = true;
  refactor_ = false;
  since_check_ = 0;
  return true;
}

bool Engine::load_basis(const std::vector<Position>& positions) {
  std::int32_t basic = 0;
  for (const Position at : positions) basic += at == Position::kBasic ? 1 : 0;
  if (basic != m_ || positions.size() != x_.size()) return false;
  std::int32_t row = 0;
  std::int32_t col = 0;
  for (std::int32_t k = 0; k < n_ + m_; ++k) {
    const auto s = std::size_t(k);
    if (positions[s] == Position::kBasic) {
      head_[std::size_t(row)] = k;
      slot_[s] = row++;
      pos_[s] = Position::kBasic;
      continue;
    }
    nonb_[std::size_t(col)] = k;
    slot_[s] = col++;
    rest_at_bound(k);
    if (positions[s] == Position::kUpper && std::isfinite(up_[s])) {
      pos_[s] = lo_[s] == up_[s] ? Position::kFixed : Position::kUpper;
      x_[s] = up_[s];
    }
  }
  return recompute();
}

}  // namespace simplex
