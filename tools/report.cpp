#include "tools/report.h"

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

const char* highs_status(Outcome outcome) {
  switch (outcome) {
    case Outcome::kOptimal:
      return "Optimal";
    case Outcome::kInfeasible:
      return "Infeasible";
    case Outcome::kUnbounded:
      return "Unbounded";
    case Outcome::kIterationLimit:
      return "Iteration limit reached";
    case Outcome::kUnsettled:
    case Outcome::kNotCertified:
      return "Unknown";
    case Outcome::kTimeLimit:
      return "Time limit reached";
  }
  return "Unknown";
}

}  // namespace

const char* outcome_words(Outcome outcome) {
  switch (outcome) {
    case Outcome::kOptimal:
      return "OPTIMAL";
    case Outcome::kInfeasible:
      return "INFEASIBLE";
    case Outcome::kUnbounded:
      return "UNBOUNDED";
    case Outcome::kIterationLimit:
      return "ITERATION LIMIT";
    case Outcome::kUnsettled:
      return "UNDECIDED (phase 1 did not settle)";
    case Outcome::kTimeLimit:
      return "TIME LIMIT";
    case Outcome::kNotCertified:
      return "OPTIMAL, NOT CERTIFIED (the answer fails its check against the "
             "model)";
  }
  return "UNDECIDED";
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
  out += std::string("Status:     ") + outcome_words(solution.outcome) + "\n";
  out += "Objective:  " +
         (model.objective_name.empty() ? std::string("obj")
                                       : model.objective_name) +
         " = " + computed(solution.objective) +
         (model.maximize ? " (MAXimum)" : " (MINimum)") + "\n";
  out += "Iterations: " + std::to_string(solution.iterations) + "\n\n";
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
  return out;
}

std::string solution_file_text(const model::Model& model,
                               const ModelSolution& solution) {
  const bool have = solution.outcome == Outcome::kOptimal;
  std::string out = "Model status\n";
  out += std::string(highs_status(solution.outcome)) + "\n";
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
