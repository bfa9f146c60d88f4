#include "modelio/model_writer.h"

#include <glpk.h>

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <utility>

#include "deck/conversion.h"
#include "files/files.h"

namespace modelio {
namespace {

using model::kInfinity;

int silence(void*, const char*) { return 1; }

struct ProblemDeleter {
  void operator()(glp_prob* p) const { glp_delete_prob(p); }
};

int glpk_type(double lower, double upper) {
  const bool lo = std::isfinite(lower);
  const bool up = std::isfinite(upper);
  if (lo && up) return lower == upper ? GLP_FX : GLP_DB;
  if (lo) return GLP_LO;
  return up ? GLP_UP : GLP_FR;
}

double finite_or_zero(double v) { return std::isfinite(v) ? v : 0.0; }

// A name no column of the model has.
std::string constant_column_name(const model::Model& m) {
  std::set<std::string> names;
  for (const auto& c : m.columns) names.insert(c.name);
  std::string name = kConstantColumn;
  for (int k = 1; names.count(name) != 0; ++k) {
    name = std::string(kConstantColumn) + "_" + std::to_string(k);
  }
  return name;
}

void fill(glp_prob* p, const model::Model& m) {
  glp_set_prob_name(p, m.name.empty() ? nullptr : m.name.c_str());
  glp_set_obj_name(p,
                   m.objective_name.empty() ? "obj" : m.objective_name.c_str());
  glp_set_obj_dir(p, m.maximize ? GLP_MAX : GLP_MIN);
  if (!m.rows.empty()) glp_add_rows(p, static_cast<int>(m.rows.size()));
  for (std::size_t i = 0; i < m.rows.size(); ++i) {
    const int at = static_cast<int>(i) + 1;
    const auto& r = m.rows[i];
    glp_set_row_name(p, at, r.name.c_str());
    glp_set_row_bnds(p, at, glpk_type(r.lower, r.upper),
                     finite_or_zero(r.lower), finite_or_zero(r.upper));
  }
  std::vector<int> index(m.rows.size() + 1);
  std::vector<double> value(m.rows.size() + 1);
  for (const auto& c : m.columns) {
    const int at = glp_add_cols(p, 1);
    glp_set_col_name(p, at, c.name.c_str());
    // An integer column stays one: the LP file lists it under General.
    if (c.integer) glp_set_col_kind(p, at, GLP_IV);
    glp_set_col_bnds(p, at, glpk_type(c.lower, c.upper),
                     finite_or_zero(c.lower), finite_or_zero(c.upper));
    glp_set_obj_coef(p, at, c.cost);
    int count = 0;
    for (const auto& [row, a] : c.entries) {
      ++count;
      index[static_cast<std::size_t>(count)] = row + 1;
      value[static_cast<std::size_t>(count)] = a;
    }
    glp_set_mat_col(p, at, count, index.data(), value.data());
  }
  if (m.objective_constant != 0) {
    const int at = glp_add_cols(p, 1);
    glp_set_col_name(p, at, constant_column_name(m).c_str());
    glp_set_col_bnds(p, at, GLP_FX, 1.0, 1.0);
    glp_set_obj_coef(p, at, m.objective_constant);
  }
}

// The shortest text that reads back as `v`.
std::string number(double v) {
  std::array<char, 32> buf{};
  const auto [end, ec] = std::to_chars(buf.data(), buf.data() + buf.size(), v);
  (void)ec;  // 32 characters hold any double
  return std::string(buf.data(), end);
}

// A name no row of the model has, for the objective.
std::string objective_row_name(const model::Model& m) {
  std::set<std::string> names;
  for (const auto& r : m.rows) names.insert(r.name);
  std::string name = m.objective_name.empty() ? "obj" : m.objective_name;
  const std::string base = name;
  for (int k = 1; names.count(name) != 0; ++k) {
    name = base + "_" + std::to_string(k);
  }
  return name;
}

// Free MPS, every number in its shortest exact form.
std::string free_mps(const model::Model& m, std::string& error) {
  const auto bad_name = [&](const std::string& name) {
    if (!name.empty() && name.find_first_of(" \t") == std::string::npos) {
      return false;
    }
    error = "the name '" + name + "' cannot stand in a free MPS file";
    return true;
  };
  const std::string objective = objective_row_name(m);
  std::string out =
      "NAME " + (m.name.empty() ? std::string("model") : m.name) + "\n";
  if (m.maximize) out += "OBJSENSE\n    MAX\n";
  out += "ROWS\n N " + objective + "\n";
  std::string rhs, ranges;
  for (const auto& r : m.rows) {
    if (bad_name(r.name)) return {};
    const bool lo = std::isfinite(r.lower);
    const bool up = std::isfinite(r.upper);
    const char* type = lo && up && r.lower == r.upper ? "E"
                       : up                           ? "L"
                       : lo                           ? "G"
                                                      : "N";
    out += std::string(" ") + type + " " + r.name + "\n";
    const double side = up ? r.upper : lo ? r.lower : 0.0;
    if (side != 0) rhs += " RHS " + r.name + " " + number(side) + "\n";
    if (lo && up && r.lower != r.upper) {
      ranges += " RNG " + r.name + " " + number(r.upper - r.lower) + "\n";
    }
  }
  out += "COLUMNS\n";
  std::string bounds;
  const auto add_bounds = [&](const std::string& name, double lower,
                              double upper) {
    const bool lo = std::isfinite(lower);
    const bool up = std::isfinite(upper);
    if (lo && up && lower == upper) {
      bounds += " FX BND " + name + " " + number(lower) + "\n";
      return;
    }
    if (!lo)
      bounds += std::string(" ") + (up ? "MI" : "FR") + " BND " + name + "\n";
    if (lo && (lower != 0 || (up && upper < 0))) {
      bounds += " LO BND " + name + " " + number(lower) + "\n";
    }
    if (up) bounds += " UP BND " + name + " " + number(upper) + "\n";
  };
  // Integer columns between MARKER lines, as they were read.
  bool in_integers = false;
  int markers = 0;
  const auto marker = [&](const char* kind) {
    out += " MARKER" + std::to_string(markers++) + " 'MARKER' '" + kind + "'\n";
  };
  for (const auto& c : m.columns) {
    if (bad_name(c.name)) return {};
    if (c.integer != in_integers) {
      marker(c.integer ? "INTORG" : "INTEND");
      in_integers = c.integer;
    }
    // A column is known by its lines here: one without any gets a zero cost.
    if (c.cost != 0 || c.entries.empty()) {
      out += " " + c.name + " " + objective + " " + number(c.cost) + "\n";
    }
    for (const auto& [row, a] : c.entries) {
      out += " " + c.name + " " + m.rows[static_cast<std::size_t>(row)].name +
             " " + number(a) + "\n";
    }
    add_bounds(c.name, c.lower, c.upper);
  }
  if (in_integers) marker("INTEND");
  if (m.objective_constant != 0) {
    const std::string name = constant_column_name(m);
    out += " " + name + " " + objective + " " + number(m.objective_constant) +
           "\n";
    add_bounds(name, 1.0, 1.0);
  }
  out += "RHS\n" + rhs;
  if (!ranges.empty()) out += "RANGES\n" + ranges;
  if (!bounds.empty()) out += "BOUNDS\n" + bounds;
  return out + "ENDATA\n";
}

}  // namespace

model::Model as_minimum(model::Model model) {
  if (!model.maximize) return model;
  for (auto& c : model.columns) c.cost = -c.cost;
  model.objective_constant = -model.objective_constant;
  model.maximize = false;
  return model;
}

std::string minimum_note(const model::Model& model) {
  return "note: " + model.name +
         ": written as the minimum of the negated objective; its optimal "
         "value is minus the maximum";
}

ModelText model_text(const model::Model& model, OutputFormat format) {
  ModelText out;
  if (format == OutputFormat::kMps) {
    out.text = free_mps(model, out.error);
    out.ok = out.error.empty();
    return out;
  }
  if (model.rows.empty()) {
    // GLPK's LP writer leaves out the objective and every column of a model
    // without rows: it would write an empty model.
    out.error = "a model without rows cannot be written as an LP file";
    return out;
  }
  // GLPK writes only to a file it names itself: an empty temporary file,
  // read back and gone with `scratch`.
  files::InputFile scratch;
  if (!scratch.hold("", "the LP text", out.error)) return out;
  const std::string& path = scratch.path();
  glp_term_hook(silence, nullptr);
  int rc = 0;
  {
    const std::unique_ptr<glp_prob, ProblemDeleter> p(glp_create_prob());
    fill(p.get(), model);
    rc = glp_write_lp(p.get(), nullptr, path.c_str());
  }
  glp_term_hook(nullptr, nullptr);
  glp_free_env();
  std::ifstream in(path, std::ios::binary);
  std::ostringstream all;
  all << in.rdbuf();
  if (rc != 0 || !in) {
    out.error = "the model cannot be written as an LP file";
    return out;
  }
  out.text = std::move(all).str();
  out.ok = true;
  return out;
}

ModelText deck_text(const std::vector<model::Model>& models,
                    const deck::Settings& settings) {
  ModelText out;
  for (std::size_t k = 0; k < models.size(); ++k) {
    if (models[k].maximize) out.notes.push_back(minimum_note(models[k]));
    model::Model m = as_minimum(models[k]);
    deck::Settings these = settings;
    these.close = settings.close && k + 1 == models.size();
    deck::Conversion converted = deck::from_model(m, these);
    for (auto& n : converted.notes) out.notes.push_back(std::move(n));
    if (!converted.ok) {
      out.error = m.name + ": " + converted.error;
      return out;
    }
    out.text += converted.text;
  }
  out.ok = true;
  return out;
}

}  // namespace modelio
