#pragma once
// The inner loops of the model road's simplex, compiled for the widest
// vectors the processor has. Each works in eight lanes whatever the
// width (one AVX-512 vector, two AVX ones, four SSE2 ones), so every width
// gives the same bits: the lanes are added up in one fixed order.

#include <cstddef>
#include <cstdint>

namespace simplex {

// y[i] += f * x[i] for i < n. Returns the sum of the new y[i]^2.
double axpy_squares(double* y, const double* x, double f, std::size_t n);

// The sum of x[i]^2 for i < n, in the same lanes and order.
double sum_of_squares(const double* x, std::size_t n);

// The sum of x[i] * y[i] for i < n, in the same lanes and order.
double dot(const double* x, const double* y, std::size_t n);

// y[i] += f * x[i] for i < n.
void axpy(double* y, const double* x, double f, std::size_t n);

// d[q] = the sum over r < k of weights[r] * t[q * ld + rows[r]], for q < n:
// weighted sums of rows of a column-major array, each column's terms added
// in the order of r, as a loop over one column at a time would add them
// (the same bits), but eight columns side by side, so that the additions
// of one column do not wait for each other.
void weighted_row_sums(const double* t, std::size_t ld, std::size_t n,
                       const std::int32_t* rows, const double* weights,
                       std::size_t k, double* d);

// The widths a test can pick: 8 (AVX-512), 4 (AVX2), 2 (SSE2). A width the
// processor lacks falls back to the widest it has. Returns the width in use.
int use_vector_width(int doubles);

}  // namespace simplex
