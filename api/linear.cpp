// LINEAR for library callers: spans in, the solver's views over them.

#include "solver/linear.h"

#include <optional>

#include "diag/chkout.h"
#include "karvon/karvon.h"
#include "recio/errors.h"
#include "recio/units.h"
#include "solver/tableau.h"

namespace karvon {
namespace {

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

void LINEAR(std::span<double> A, std::span<std::int32_t> ROW,
            std::span<std::int32_t> COL, std::span<double> BOUND,
            std::span<double> X, std::int32_t M, std::int32_t N,
            std::int32_t NV, std::int32_t& STATUS, std::int32_t& ITER,
            std::int32_t LDA, std::int32_t NCOL, std::span<double> ASAVE,
            std::span<std::int32_t> ROW0, std::span<std::int32_t> COL0,
            std::int32_t IUNIT, std::int32_t IOUT, StepObserver* observer) {
  diag::TableauPrint print(IOUT);
  PrintThenObserve both(IOUT, observer);
  StepObserver* watch = observer;
  if (IOUT > 0 && observer != nullptr) {
    watch = &both;
  } else if (IOUT > 0) {
    watch = &print;
  }
  solver::LINEAR(
      solver::MatrixRef(A, LDA, NCOL), solver::VectorRef<std::int32_t>(ROW),
      solver::VectorRef<std::int32_t>(COL), solver::VectorRef<double>(BOUND),
      solver::VectorRef<double>(X), M, N, NV, STATUS, ITER, LDA, NCOL,
      solver::MatrixRef(ASAVE, LDA, NCOL),
      solver::VectorRef<std::int32_t>(ROW0),
      solver::VectorRef<std::int32_t>(COL0), IUNIT, watch);
}

bool close_units() { return !recio::close_all().has_value(); }

}  // namespace karvon
