#pragma once
// The vocabulary every part of karvon shares: the views of the Fortran-era
// arrays the solver works on, its result codes, its tolerance, the two
// meanings of a large bound, and the size of the tableau the driver keeps.
// It includes nothing of the project's own, so any folder may use it.

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <span>
#include <type_traits>

namespace lp {

// An lda x ncol column-major array, indexed from 1 like the data it describes.
// Owns nothing and costs nothing: operator() is one multiply-add on indices.
class MatrixRef {
 public:
  constexpr MatrixRef(std::span<double> data, std::int32_t lda,
                      std::int32_t ncol)
      : data_(data.data()), lda_(lda), ncol_(ncol) {
    assert(lda >= 0 && ncol >= 0);
    assert(data.size() >= std::size_t(lda) * std::size_t(ncol));
  }

  constexpr double& operator()(std::int32_t i, std::int32_t j) const {
    assert(1 <= i && i <= lda_ && 1 <= j && j <= ncol_);
    return data_[std::size_t(j - 1) * std::size_t(lda_) + std::size_t(i - 1)];
  }
  // Column j from row 1, lda entries.
  constexpr std::span<double> column(std::int32_t j) const {
    assert(1 <= j && j <= ncol_);
    return {data_ + std::size_t(j - 1) * std::size_t(lda_), std::size_t(lda_)};
  }
  // The whole lda x ncol array.
  constexpr std::span<double> span() const {
    return {data_, std::size_t(lda_) * std::size_t(ncol_)};
  }
  constexpr std::int32_t rows() const { return lda_; }
  constexpr std::int32_t cols() const { return ncol_; }

 private:
  double* data_;
  std::int32_t lda_;
  std::int32_t ncol_;
};

// A vector indexed from 1.
template <typename T>
class VectorRef {
 public:
  constexpr explicit VectorRef(std::span<T> data) : data_(data) {}
  // A read-only view of a writable vector: VectorRef<int> to
  // VectorRef<const int>, so a routine that only reads says so.
  template <typename U>
  requires std::is_same_v<const U, T> && std::is_const_v<T>
  constexpr VectorRef(VectorRef<U> other)  // implicit on purpose
      : data_(other.span()) {}

  constexpr T& operator()(std::int32_t i) const {
    assert(1 <= i && std::size_t(i) <= data_.size());
    return data_[std::size_t(i - 1)];
  }
  constexpr std::int32_t size() const {
    return static_cast<std::int32_t>(data_.size());
  }
  constexpr std::span<T> span() const { return data_; }

 private:
  std::span<T> data_;
};

// The solver's result codes (STATUS).
enum Status : std::int32_t {
  kOptimal = 0,
  kUnbounded = 1,
  kIterationLimit = 2,  // MAXIT iterations made without an end
  kInfeasible = -1,
  kUnsettled = -2,  // phase 1 did not settle, or a recomputation stopped early
};

// A pivot, a reduced cost or an infeasibility must exceed this in magnitude
// to count.
inline constexpr double kEps = 1.0e-6;

// A large bound means two things, so it has two names. The solver takes any
// bound of kNoBoundThreshold or more as no bound at all (a test); a deck, the
// driver and the model transformations write kNoBoundFill, well beyond it,
// where there is none (a value).
inline constexpr double kNoBoundThreshold = 1.0e10;
inline constexpr double kNoBoundFill = 1.0e30;
static_assert(kNoBoundFill >= kNoBoundThreshold);

// The tableau the driver keeps: kLda rows (the constraint rows, the
// objective and the solver's phase-1 row) by kNcol columns (the variables
// and the right side), and room for a bound on every variable a label can
// name.
inline constexpr std::int32_t kLda = 51;
inline constexpr std::int32_t kNcol = 61;
inline constexpr std::int32_t kMaxConstraintRows = kLda - 2;  // 49
inline constexpr std::int32_t kMaxColumns = kNcol - 1;        // 60
inline constexpr std::int32_t kMaxVariables = 110;
static_assert(kMaxConstraintRows == 49 && kMaxColumns == 60);

}  // namespace lp
