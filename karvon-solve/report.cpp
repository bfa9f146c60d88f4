#include "karvon-solve/report.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "common/lp.h"

namespace tools {
namespace {

// "%.10g", and the empty text for an infinity.
std::string number(double v) {
  if (!std::isfinite(v)) return "";  // no bound, or not known
  if (v == 0) v = 0;                 // no "-0"
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.10g", v);
  return buf;
}

// The shortest text that reads back as `v`, as solution files want.
std::string exact(double v) {
  if (v == 0) v = 0;
  std::array<char, 32> buf{};
  const auto [end, ec] = std::to_chars(buf.data(), buf.data() + buf.size(), v);
  (void)ec;  // 32 characters hold any double
  return std::string(buf.data(), end);
}

// A value the solver computed: rounding noise below its tolerance is 0, as
// the solver itself takes it.
std::string computed(double v) {
  return number(std::fabs(v) < lp::kEps ? 0.0 : v);
}

std::string field(const std::string& text, int width) {
  const auto w = static_cast<std::size_t>(width);
  return text.size() >= w ? text : std::string(w - text.size(), ' ') + text;
}

// One line of a table: number, name (on a line of its own when it is
// longer than 12 characters), the basis status when there is one,
// activity, lower, upper, marginal.
void table_line(std::string& out, std::size_t number_from_1,
                const std::string& name, const char* status, double activity,
                double lower, double upper, double marginal) {
  char head[32];
  std::snprintf(head, sizeof head, "%6zu ", number_from_1);
  out += head;
  if (name.size() > 12) {
    out += name + "\n" + std::string(20, ' ');
  } else {
    out += name + std::string(13 - name.size(), ' ');
  }
  if (status != nullptr) {
    const std::string st = status;
    out += st + std::string(st.size() < 3 ? 3 - st.size() : 0, ' ');
  }
  const std::string up = lower == upper ? "=" : number(upper);
  out += field(computed(activity), 16) + " " + field(number(lower), 16) + " " +
         field(up, 16) + " " + field(computed(marginal), 16) + "\n";
}

// `what` fills the name's 12 columns.
void table_head(std::string& out, const char* what, bool with_status) {
  out +=
      std::string("   No. ") + what + (with_status ? " St" : "") +
      "         Activity      Lower bound      Upper bound         Marginal\n"
      "------ ------------ " +
      (with_status ? "-- " : "") +
      "---------------- ---------------- ---------------- "
      "----------------\n";
}

// The status of entry k, or none when the solution has no basis.
const char* status_of(const std::vector<karvon::BasisStatus>& statuses,
                      std::size_t k) {
  return statuses.empty() ? nullptr : karvon::to_string(statuses[k]);
}

// HiGHS's number for a basis status: lower 0, basic 1, upper 2, zero 3.
// A fixed column or an equation is nonbasic at its lower side, as HiGHS
// writes it.
int highs_basis(karvon::BasisStatus status) {
  switch (status) {
    case karvon::BasisStatus::kBasic:
      return 1;
    case karvon::BasisStatus::kUpper:
      return 2;
    case karvon::BasisStatus::kFree:
      return 3;
    case karvon::BasisStatus::kLower:
    case karvon::BasisStatus::kFixed:
      return 0;
  }
  return 0;
}

const char* highs_status(karvon::ModelStatus status) {
  switch (status) {
    case karvon::ModelStatus::kOptimal:
      return "Optimal";
    case karvon::ModelStatus::kInfeasible:
      return "Infeasible";
    case karvon::ModelStatus::kUnbounded:
      return "Unbounded";
    case karvon::ModelStatus::kIterationLimit:
      return "Iteration limit reached";
    case karvon::ModelStatus::kTimeLimit:
      return "Time limit reached";
    default:
      return "Unknown";
  }
}

// The checks of the answer on the model, as glpsol's report gives its
// quality conditions.
void quality_section(std::string& out, const ModelSolution& s) {
  char line[160];
  out += "\nQuality of the answer, checked on the model as given:\n";
  std::snprintf(line, sizeof line,
                "  largest primal infeasibility (relative)  %.3e\n",
                s.quality.primal_infeasibility);
  out += line;
  const bool dual = s.status == karvon::ModelStatus::kOptimal ||
                    s.status == karvon::ModelStatus::kNotCertified;
  if (dual) {
    std::snprintf(line, sizeof line,
                  "  largest dual infeasibility (relative)    %.3e\n"
                  "  duality gap (relative)                   %.3e\n",
                  s.quality.dual_infeasibility, s.quality.duality_gap);
    out += line;
  }
  const char* proof = s.status == karvon::ModelStatus::kUnbounded
                          ? "an improving ray"
                      : s.status == karvon::ModelStatus::kInfeasible
                          ? "a proof of infeasibility"
                          : "the optimality conditions";
  out += std::string("  certified: ") +
         (s.quality.certified ? std::string("yes, ") + proof + " checked"
                              : std::string("no")) +
         "\n";
}

}  // namespace

const char* status_words(karvon::ModelStatus status) {
  switch (status) {
    case karvon::ModelStatus::kOptimal:
      return "OPTIMAL";
    case karvon::ModelStatus::kInfeasible:
      return "INFEASIBLE";
    case karvon::ModelStatus::kUnbounded:
      return "UNBOUNDED";
    case karvon::ModelStatus::kIterationLimit:
      return "ITERATION LIMIT";
    case karvon::ModelStatus::kTimeLimit:
      return "TIME LIMIT";
    case karvon::ModelStatus::kNotCertified:
      return "OPTIMAL, NOT CERTIFIED";
    default:
      return "UNDECIDED (numerical trouble)";
  }
}

std::string report_text(const model::Model& model,
                        const ModelSolution& solution) {
  std::size_t nonzeros = 0;
  for (const auto& c : model.columns) nonzeros += c.entries.size();
  std::string out;
  out += "Problem:    " + model.name + "\n";
  out += "Rows:       " + std::to_string(model.rows.size()) + "\n";
  out += "Columns:    " + std::to_string(model.columns.size()) + "\n";
  out += "Non-zeros:  " + std::to_string(nonzeros) + "\n";
  out += std::string("Status:     ") + status_words(solution.status) + "\n";
  out += "Objective:  " +
         (model.objective_name.empty() ? std::string("obj")
                                       : model.objective_name) +
         " = " + computed(solution.objective) +
         (model.maximize ? " (MAXimum)" : " (MINimum)") + "\n";
  out += "Iterations: " + std::to_string(solution.iterations) + "\n";
  if (solution.relaxed_integers > 0) {
    out += "Relaxed:    " + std::to_string(solution.relaxed_integers) +
           " integer column(s) solved as continuous\n";
  }
  out += "\n";
  table_head(out, "Row name    ", !solution.row_status.empty());
  for (std::size_t i = 0; i < model.rows.size(); ++i) {
    const auto& r = model.rows[i];
    table_line(out, i + 1, r.name, status_of(solution.row_status, i),
               solution.activities[i], r.lower, r.upper, solution.duals[i]);
  }
  out += "\n";
  table_head(out, "Column name ", !solution.col_status.empty());
  for (std::size_t j = 0; j < model.columns.size(); ++j) {
    const auto& c = model.columns[j];
    table_line(out, j + 1, c.name, status_of(solution.col_status, j),
               solution.values[j], c.lower, c.upper, solution.reduced_costs[j]);
  }
  quality_section(out, solution);
  return out;
}

std::string solution_file_text(const model::Model& model,
                               const ModelSolution& solution) {
  const bool have = solution.status == karvon::ModelStatus::kOptimal;
  std::string out = "Model status\n";
  out += std::string(highs_status(solution.status)) + "\n";
  const auto section = [&](const std::vector<double>& by_column,
                           const std::vector<double>& by_row) {
    out += "# Columns " + std::to_string(model.columns.size()) + "\n";
    for (std::size_t j = 0; j < model.columns.size(); ++j) {
      out += model.columns[j].name + " " + exact(by_column[j]) + "\n";
    }
    out += "# Rows " + std::to_string(model.rows.size()) + "\n";
    for (std::size_t i = 0; i < model.rows.size(); ++i) {
      out += model.rows[i].name + " " + exact(by_row[i]) + "\n";
    }
  };
  out += "\n# Primal solution values\n";
  if (have) {
    out += "Feasible\nObjective " + exact(solution.objective) + "\n";
    section(solution.values, solution.activities);
  } else {
    out += "None\n";
  }
  out += "\n# Dual solution values\n";
  if (have) {
    out += "Feasible\n";
    section(solution.reduced_costs, solution.duals);
  } else {
    out += "None\n";
  }
  out += "\n# Basis\nHiGHS v1\n";
  if (solution.col_status.empty() && solution.row_status.empty()) {
    return out + "None\n";
  }
  const auto statuses = [&](const char* what,
                            const std::vector<karvon::BasisStatus>& list) {
    out += std::string("# ") + what + " " + std::to_string(list.size()) + "\n";
    for (const karvon::BasisStatus st : list) {
      out += std::to_string(highs_basis(st)) + " ";
    }
    out += "\n";
  };
  out += "Valid\n";
  statuses("Columns", solution.col_status);
  statuses("Rows", solution.row_status);
  return out;
}

}  // namespace tools
