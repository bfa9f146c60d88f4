#include "modelio/mps_reader.h"

#include <glpk.h>

#include <charconv>
#include <csetjmp>
#include <cstddef>
#include <memory>
#include <new>
#include <string_view>

namespace modelio {
namespace {

// GLPK prints its messages through a hook, in pieces; they are collected
// here and never reach the terminal.
int collect(void* info, const char* text) {
  // Nothing may leave by an exception through GLPK's C frames: a message
  // that finds no memory is lost, not thrown.
  try {
    static_cast<std::string*>(info)->append(text);
  } catch (const std::bad_alloc&) {
  }
  return 1;  // the text is taken care of: GLPK prints nothing itself
}

struct ProblemDeleter {
  void operator()(glp_prob* p) const { glp_delete_prob(p); }
};
using Problem = std::unique_ptr<glp_prob, ProblemDeleter>;

// One attempt with one of GLPK's two readers.
struct Attempt {
  int rc = 0;
  std::string log;
  std::string error;  // the line-numbered message, display name in front
  long line = 0;      // its line number, 0 when it names none
  std::vector<std::string> warnings;
};

std::string_view trim_end(std::string_view s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) {
    s.remove_suffix(1);
  }
  return s;
}

// Sorts the reader's log lines: "path:LINE: text" is an error, or a warning
// when the text starts with "warning:". The path becomes the display name.
void sort_log(Attempt& attempt, const std::string& path,
              const std::string& display_name) {
  const std::string prefix = path + ":";
  std::string_view log = attempt.log;
  while (!log.empty()) {
    const std::size_t end = log.find('\n');
    const std::string_view line = trim_end(log.substr(0, end));
    log.remove_prefix(end == std::string_view::npos ? log.size() : end + 1);
    if (!line.starts_with(prefix)) {
      continue;
    }
    const std::string_view rest = line.substr(prefix.size());
    long number = 0;
    const auto [after, ec] =
        std::from_chars(rest.data(), rest.data() + rest.size(), number);
    const std::string message = display_name + ":" + std::string(rest);
    if (ec == std::errc() &&
        std::string_view(after).starts_with(": warning:")) {
      attempt.warnings.push_back(message);
    } else {
      attempt.error = message;
      attempt.line = ec == std::errc() ? number : 0;
    }
  }
}

double lower_of(int type, double lb) {
  return type == GLP_LO || type == GLP_DB || type == GLP_FX ? lb : -kInfinity;
}
double upper_of(int type, double lb, double ub) {
  if (type == GLP_FX) {
    return lb;
  }
  return type == GLP_UP || type == GLP_DB ? ub : kInfinity;
}

// Which of GLPK's readers made the problem.
enum class Source { kMps, kLp };

Model extract(glp_prob* p, Source source) {
  Model model;
  const char* name = glp_get_prob_name(p);
  model.name = name != nullptr ? name : "";
  const char* objective = glp_get_obj_name(p);
  model.objective_name = objective != nullptr ? objective : "";
  // GLPK keeps a right-hand side r of the objective row as the constant +r;
  // the usual reading (and ours) is -r. Its MPS reader always minimises. An
  // LP file's constant is what it says.
  const double constant = glp_get_obj_coef(p, 0);
  model.objective_constant = source == Source::kMps ? -constant : constant;
  model.maximize = glp_get_obj_dir(p) == GLP_MAX;

  const int rows = glp_get_num_rows(p);
  for (int i = 1; i <= rows; ++i) {
    const int type = glp_get_row_type(p, i);
    const double lb = glp_get_row_lb(p, i);
    model.rows.push_back({glp_get_row_name(p, i), lower_of(type, lb),
                          upper_of(type, lb, glp_get_row_ub(p, i))});
  }
  const int columns = glp_get_num_cols(p);
  std::vector<int> index(static_cast<std::size_t>(rows) + 1);
  std::vector<double> value(static_cast<std::size_t>(rows) + 1);
  for (int j = 1; j <= columns; ++j) {
    const int type = glp_get_col_type(p, j);
    const double lb = glp_get_col_lb(p, j);
    ModelColumn column{glp_get_col_name(p, j),
                       lower_of(type, lb),
                       upper_of(type, lb, glp_get_col_ub(p, j)),
                       glp_get_obj_coef(p, j),
                       glp_get_col_kind(p, j) != GLP_CV,
                       {}};
    const int count = glp_get_mat_col(p, j, index.data(), value.data());
    for (int k = 1; k <= count; ++k) {
      const auto at = static_cast<std::size_t>(k);
      column.entries.emplace_back(index[at] - 1, value[at]);
    }
    model.columns.push_back(std::move(column));
  }
  return model;
}

// glp_read_mps with GLP_MPS_DECK or GLP_MPS_FILE, or glp_read_lp for -1.
constexpr int kLpFormat = -1;

// GLPK ends the process (abort) at a fatal error of its own, running out of
// memory above all, unless its error hook leaves by longjmp. Only GLPK's C
// frames lie between the setjmp and the hook, so nothing of ours is skipped.
std::jmp_buf g_fatal;
void leave_glpk(void*) { std::longjmp(g_fatal, 1); }

// One of GLPK's readers on `p`; false after a fatal error, when GLPK's
// environment (and `p` with it) is already gone.
bool read_guarded(glp_prob* p, int glpk_format, const char* path, int& rc) {
  glp_error_hook(leave_glpk, nullptr);
  if (setjmp(g_fatal) != 0) {
    glp_free_env();
    return false;
  }
  rc = glpk_format == kLpFormat ? glp_read_lp(p, nullptr, path)
                                : glp_read_mps(p, glpk_format, nullptr, path);
  glp_error_hook(nullptr, nullptr);
  return true;
}

Attempt attempt_read(const std::string& path, const std::string& display_name,
                     int glpk_format, Model* model) {
  Attempt attempt;
  glp_term_hook(collect, &attempt.log);
  {
    Problem problem(glp_create_prob());
    const bool lp = glpk_format == kLpFormat;
    if (!read_guarded(problem.get(), glpk_format, path.c_str(), attempt.rc)) {
      // A reader's fatal errors are, in practice, memory it could not get:
      // the same one line as any other allocation failure.
      (void)problem.release();
      throw std::bad_alloc();
    }
    if (attempt.rc == 0) {
      *model = extract(problem.get(), lp ? Source::kLp : Source::kMps);
    }
  }
  glp_term_hook(nullptr, nullptr);
  // Everything GLPK allocated goes back now; it starts afresh when called
  // again.
  glp_free_env();
  sort_log(attempt, path, display_name);
  if (attempt.rc != 0 && attempt.error.empty()) {
    attempt.error = display_name + (glpk_format == kLpFormat
                                        ? ": cannot be read as an LP file"
                                        : ": cannot be read as an MPS file");
  }
  return attempt;
}

}  // namespace

ReadResult read_mps(const std::string& path, const std::string& display_name,
                    MpsFormat format) {
  ReadResult result;
  Attempt fixed;
  if (format != MpsFormat::kFree) {
    fixed = attempt_read(path, display_name, GLP_MPS_DECK, &result.model);
    if (fixed.rc == 0) {
      result.ok = true;
      result.warnings = std::move(fixed.warnings);
      return result;
    }
    if (format == MpsFormat::kFixed) {
      result.error = std::move(fixed.error);
      return result;
    }
  }
  Attempt free = attempt_read(path, display_name, GLP_MPS_FILE, &result.model);
  if (free.rc == 0) {
    result.ok = true;
    result.warnings = std::move(free.warnings);
    return result;
  }
  // Both refused it: the reader that read further is the one whose format
  // the file is more likely in.
  const bool fixed_further =
      format == MpsFormat::kAuto && fixed.line > free.line;
  result.error = std::move(fixed_further ? fixed.error : free.error);
  return result;
}

ReadResult read_lp(const std::string& path, const std::string& display_name) {
  ReadResult result;
  Attempt lp = attempt_read(path, display_name, kLpFormat, &result.model);
  result.ok = lp.rc == 0;
  result.warnings = std::move(lp.warnings);
  result.error = std::move(lp.error);
  return result;
}

}  // namespace modelio
