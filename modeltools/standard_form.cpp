#include "modeltools/standard_form.h"

#include <cstddef>
#include <cstdint>

namespace modeltools {

karvon::Model standard_form(const model::Model& m) {
  karvon::Model s;
  const std::size_t n = m.columns.size();
  s.sense = m.maximize ? karvon::Sense::kMaximize : karvon::Sense::kMinimize;
  s.offset = m.objective_constant;
  s.sparse.start.push_back(0);
  for (std::size_t j = 0; j < n; ++j) {
    const model::ModelColumn& c = m.columns[j];
    s.cost.push_back(c.cost);
    s.col_lower.push_back(c.lower);
    s.col_upper.push_back(c.upper);
    s.col_names.push_back(c.name);
    if (c.integer) s.integer_columns.push_back(static_cast<std::int32_t>(j));
    for (const auto& [row, a] : c.entries) {
      s.sparse.index.push_back(row);
      s.sparse.value.push_back(a);
    }
    s.sparse.start.push_back(static_cast<std::int64_t>(s.sparse.index.size()));
  }
  for (const model::ModelRow& r : m.rows) {
    s.row_lower.push_back(r.lower);
    s.row_upper.push_back(r.upper);
    s.row_names.push_back(r.name);
  }
  return s;
}

}  // namespace modeltools
