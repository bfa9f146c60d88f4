#pragma once
// The engine's steps as a karvon::StepObserver sees them: the tableau in the
// form LINEAR's observers know, in the model's own units. Columns and rows
// are numbered as the engine numbers its variables, from 1: the model's
// columns first, then the logical variable of each row (its activity A x).
// Every variable is measured from its lower bound (or from 0 when it has
// none), a nonbasic one at its upper bound is shown complemented, so that
//   row i:   v(basic) = A(i,N) - sum over j of A(i,j) v(column j)
//   row M:   -z       = A(M,N) - sum over j of A(M,j) v(column j)
// as for LINEAR. Building the view costs as much as a pivot, and only an
// observed solve pays it.

#include <cstdint>
#include <vector>

#include "karvon/observer.h"
#include "simplex/engine.h"
#include "simplex/scaling.h"

namespace simplex {

class StepView final : public EngineWatcher {
 public:
  explicit StepView(karvon::StepObserver& observer) : observer_(observer) {}
  // The scaling of the problem the engine runs on, for the steps that follow.
  void use(const Scaling& s) { scaling_ = &s; }
  void step(const Engine& e, Event event, std::int32_t p, std::int32_t q,
            std::int32_t entering, std::int32_t leaving) override;

 private:
  void build(const Engine& e, bool flag_infeasible);
  void tell(const Engine& e, karvon::StepKind kind, std::int32_t ip,
            std::int32_t jp, std::int32_t entering, std::int32_t leaving);

  karvon::StepObserver& observer_;
  const Scaling* scaling_ = nullptr;
  std::vector<double> a_;
  std::vector<double> bound_;
  std::vector<std::int32_t> row_;
  std::vector<std::int32_t> col_;
  bool entered_ = false;
  std::int32_t restarts_ = 0;
};

}  // namespace simplex
