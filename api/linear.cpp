// LINEAR for library callers: the caller's arrays in, the solver's views
// over them; the record layer's run endings out as the library's
// exceptions.

#include "solver/linear.h"

#include <cstdio>
#include <span>
#include <string>

#include "common/lp.h"
#include "diag/chkout.h"
#include "karvon/karvon.h"
#include "karvon/version.h"
#include "recio/errors.h"
#include "recio/units.h"

namespace karvon {
namespace {

template <typename T>
std::span<T> as_span(ArrayRef<T> a) {
  return {a.data(), a.size()};
}

// The print on unit IOUT, then the caller's own observer.
class PrintThenObserve final : public StepObserver {
 public:
  PrintThenObserve(std::int32_t unit, StepObserver* next)
      : print_(unit), next_(next) {}
  void step(const Step& s) override {
    print_.step(s);
    next_->step(s);
  }

 private:
  diag::TableauPrint print_;
  StepObserver* next_;
};

}  // namespace

const char* version() noexcept {
  static constexpr char kText[] = {'0' + KARVON_VERSION_MAJOR, '.',
                                   '0' + KARVON_VERSION_MINOR, '.',
                                   '0' + KARVON_VERSION_PATCH, '\0'};
  static_assert(KARVON_VERSION_MAJOR < 10 && KARVON_VERSION_MINOR < 10 &&
                    KARVON_VERSION_PATCH < 10,
                "one digit each");
  return kText;
}

Stop::Stop(std::int32_t code) : code_(code), text_{} {
  std::snprintf(text_, sizeof text_, "Return code %d", static_cast<int>(code));
}

const char* Stop::what() const noexcept { return text_; }

UnitError::UnitError(const std::string& report, std::uint32_t status)
    : std::runtime_error(report), status_(status) {}

void LINEAR(ArrayRef<double> A, ArrayRef<std::int32_t> ROW,
            ArrayRef<std::int32_t> COL, ArrayRef<double> BOUND,
            ArrayRef<double> X, std::int32_t M, std::int32_t N, std::int32_t NV,
            std::int32_t& STATUS, std::int32_t& ITER, std::int32_t LDA,
            std::int32_t NCOL, ArrayRef<double> ASAVE,
            ArrayRef<std::int32_t> ROW0, ArrayRef<std::int32_t> COL0,
            std::int32_t IUNIT, std::int32_t IOUT, StepObserver* observer) {
  diag::TableauPrint print(IOUT);
  PrintThenObserve both(IOUT, observer);
  StepObserver* watch = observer;
  if (IOUT > 0 && observer != nullptr) {
    watch = &both;
  } else if (IOUT > 0) {
    watch = &print;
  }
  try {
    solver::LINEAR(lp::MatrixRef(as_span(A), LDA, NCOL),
                   lp::VectorRef<std::int32_t>(as_span(ROW)),
                   lp::VectorRef<std::int32_t>(as_span(COL)),
                   lp::VectorRef<double>(as_span(BOUND)),
                   lp::VectorRef<double>(as_span(X)), M, N, NV, STATUS, ITER,
                   LDA, NCOL, lp::MatrixRef(as_span(ASAVE), LDA, NCOL),
                   lp::VectorRef<std::int32_t>(as_span(ROW0)),
                   lp::VectorRef<std::int32_t>(as_span(COL0)), IUNIT, watch);
  } catch (const recio::RunEnd& end) {
    // The solver raises numeric stops itself; every other ending comes from
    // a unit it printed to or saved on.
    if (end.kind() == recio::RunEnd::Kind::kNumericStop)
      throw Stop(static_cast<std::int32_t>(end.status()));
    throw UnitError(std::string(end.line()), end.status());
  }
}

bool close_units() { return !recio::close_all().has_value(); }

}  // namespace karvon
