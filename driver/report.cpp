#include "driver/report.h"

#include <algorithm>

#include "common/lp.h"
#include "recio/layout.h"
#include "recio/record_write.h"

namespace driver {
namespace {

constexpr std::int32_t kOutputUnit = 6;
constexpr auto kBannerBefore =
    recio::layout("(\" ********** DATA BEFORE CALLING LINEAR **********\")");
constexpr auto kBannerAfter =
    recio::layout("(\" ========== DATA AFTER  CALLING LINEAR ==========\")");
constexpr auto kReals = recio::layout("(1X, 1P, 11E10.3)");
constexpr auto kIntegers = recio::layout("(1X, 11I5)");
constexpr auto kValuesCaption = recio::layout("(\" VALUES OF VARIABLES =\")");
constexpr auto kValues = recio::layout("(1X, 1P, 8E10.3)");
constexpr auto kObjective =
    recio::layout("(\" OBJECTIVE FUNCTION  =\", 1P, E15.8)");

void write_reals(const recio::Layout& layout, lp::VectorRef<double> v,
                 std::int32_t count) {
  recio::WriteStatement w(kOutputUnit, layout);
  w.put(v.span().first(std::size_t(std::max(count, 0))));
  w.finish();
}

void write_integers(lp::VectorRef<std::int32_t> v, std::int32_t count) {
  recio::WriteStatement w(kOutputUnit, kIntegers);
  for (std::int32_t k = 1; k <= count; ++k) w.put(v(k));
  w.finish();
}

}  // namespace

void write_echo(deck::Storage& s, Echo which) {
  recio::write_record(
      kOutputUnit, which == Echo::kBeforeCall ? kBannerBefore : kBannerAfter);
  const lp::MatrixRef a = s.a();
  for (std::int32_t i = 1; i <= s.M; ++i) {
    recio::WriteStatement w(kOutputUnit, kReals);
    w.put_each(std::size_t(s.N),
               [&a, i](std::size_t j) { return a(i, std::int32_t(j) + 1); });
    w.finish();
  }
  write_reals(kReals, s.bound(), s.NV);
  write_integers(s.row(), s.M - 1);
  write_integers(s.col(), s.N - 1);
}

void write_result(deck::Storage& s) {
  recio::write_record(kOutputUnit, kValuesCaption);
  write_reals(kValues, s.x(), s.NV);
  recio::WriteStatement w(kOutputUnit, kObjective);
  w.put(-s.a()(s.M, s.N));
  w.finish();
}

}  // namespace driver
