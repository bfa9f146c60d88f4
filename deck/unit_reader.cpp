#include "deck/unit_reader.h"

#include <string>

#include "common/lp.h"
#include "deck/format.h"
#include "recio/errors.h"
#include "recio/record_read.h"

namespace deck {

void read_settings(Storage& s) {
  recio::ReadStatement r(kInputUnit, kIntegers);
  r.get(s.IUNIT);
  r.get(s.IOUT);
  r.finish();
}

void read_header(Storage& s) {
  {
    recio::ReadStatement r(kInputUnit, kIntegers);
    r.get(s.M);
    r.get(s.N);
    r.get(s.NBOUND);
    r.finish();
  }
  if (is_closing_header(s.M, s.N)) recio::stop_plain();
  if (is_invalid_header(s.M, s.N)) {
    throw recio::RunEnd::message("KARVON: " + invalid_header_text(s.M, s.N), 2);
  }
}

void read_problem(Storage& s) {
  lp::MatrixRef a = s.a();
  for (std::int32_t i = 1; i <= s.M; ++i) {
    recio::ReadStatement r(kInputUnit, kReals);
    r.get_each(std::size_t(s.N), [&a, i](std::size_t j, double value) {
      a(i, std::int32_t(j) + 1) = value;
    });
    r.finish();
  }
  {
    recio::ReadStatement r(kInputUnit, kReals);
    for (std::int32_t k = 1; k <= s.NBOUND; ++k) {
      double value = 0.0;
      r.get(value);
      if (k <= lp::kMaxVariables) s.bound()(k) = value;
    }
    r.finish();
  }
  {
    recio::ReadStatement r(kInputUnit, kIntegers);
    for (std::int32_t i = 1; i <= s.M - 1; ++i) r.get(s.row()(i));
    r.finish();
  }
  {
    recio::ReadStatement r(kInputUnit, kIntegers);
    for (std::int32_t j = 1; j <= s.N - 1; ++j) r.get(s.col()(j));
    r.finish();
  }
}

void prepare(Storage& s) {
  for (std::int32_t j = 1; j <= s.N - 1; ++j) {
    if (s.col()(j) == 0) s.col()(j) = j;
  }
  s.NV = s.N - 1;
  for (std::int32_t i = 1; i <= s.M - 1; ++i) {
    std::int32_t& kind = s.row()(i);
    if (kind == 0) continue;
    ++s.NV;
    if (kind == 1) kind = s.NV;
    if (kind == -1) kind = -s.NV;
  }
  for (std::int32_t j = 1; j <= s.NV; ++j) {
    double& b = s.bound()(j);
    if (j > s.NBOUND) b = 0.0;
    if (!(b > 0.0)) b = lp::kNoBoundFill;
  }
}

}  // namespace deck
