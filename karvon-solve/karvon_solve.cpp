// karvon-solve: a model file in, a report in the model's terms out.

#include <karvon/version.h>

#include <cstdio>
#include <exception>
#include <iostream>
#include <limits>
#include <new>
#include <string>
#include <vector>

#include "deck/writer.h"
#include "files/files.h"
#include "karvon-solve/report.h"
#include "karvon-solve/solve_model.h"
#include "karvon-solve/solve_options.h"
#include "modelio/model_file.h"
#include "modelio/model_writer.h"

static_assert(std::numeric_limits<double>::is_iec559);

namespace {

constexpr int kRefused = 1;
constexpr int kUsage = 2;

void say(const std::string& text) {
  std::cerr << "karvon-solve: " << text << '\n';
}

// A wrong command line, or a file that needs a format option.
int usage_error(const std::string& text) {
  say(text);
  std::cerr << "Try 'karvon-solve --help' for more information.\n";
  return kUsage;
}

// Writes `text` to `path` whole, or says why not.
bool write_whole(const std::string& path, const std::string& text) {
  std::string error;
  if (files::write_output(path, text, error)) return true;
  say(error);
  return false;
}

// The one model that a file of one model stands for.
bool one_model(const std::vector<model::Model>& models,
               const std::string& input, const char* what) {
  if (models.size() == 1) return true;
  say(input + ": holds " + std::to_string(models.size()) + " problems and " +
      what + " takes one: choose it with --problem K");
  return false;
}

int convert(const tools::SolveOptions& o,
            const std::vector<model::Model>& models) {
  const auto write = [&](const std::string& path, modelio::OutputFormat format,
                         const char* what) {
    if (path.empty()) return true;
    modelio::ModelText text;
    if (format == modelio::OutputFormat::kDeck) {
      text = modelio::deck_text(models, deck::Settings{});
    } else {
      if (!one_model(models, o.input, what)) return false;
      const model::Model& m = models.front();
      if (format == modelio::OutputFormat::kMps && o.no_objsense &&
          m.maximize) {
        say(o.input + ": " + modelio::minimum_note(m));
        text = modelio::model_text(modelio::as_minimum(m), format);
      } else {
        text = modelio::model_text(m, format);
      }
    }
    for (const std::string& n : text.notes) say(o.input + ": " + n);
    if (!text.ok) {
      say(o.input + ": " + text.error);
      return false;
    }
    return write_whole(path, text.text);
  };
  const bool ok =
      write(o.write_mps, modelio::OutputFormat::kMps, "--write-mps") &&
      write(o.write_lp, modelio::OutputFormat::kLp, "--write-lp") &&
      write(o.write_deck, modelio::OutputFormat::kDeck, "--write-deck");
  return ok ? 0 : kRefused;
}

int solve(const tools::SolveOptions& o,
          const std::vector<model::Model>& models) {
  if (!o.solution.empty() && !one_model(models, o.input, "--solution")) {
    return kRefused;
  }
  for (std::size_t k = 0; k < models.size(); ++k) {
    const model::Model& m = models[k];
    const tools::SolveAttempt attempt =
        tools::solve_model(m, o.tableau, o.limits);
    if (!attempt.solved) {
      say(o.input + ": " + (models.size() > 1 ? m.name + ": " : "") +
          attempt.refusal);
      return kRefused;
    }
    if (attempt.solution.relaxed_integers > 0) {
      say(o.input + ": " + std::to_string(attempt.solution.relaxed_integers) +
          " integer column(s) relaxed: solved as continuous");
    }
    if (k > 0) std::cout << '\n';
    std::cout << tools::report_text(m, attempt.solution) << std::flush;
    if (!o.solution.empty() &&
        !write_whole(o.solution,
                     tools::solution_file_text(m, attempt.solution))) {
      return kRefused;
    }
  }
  std::cout.flush();
  if (!std::cout) {
    say("cannot write the report to standard output");
    return kRefused;
  }
  return 0;
}

int run(const tools::SolveOptions& o) {
  const std::string refusal =
      files::same_file_refusal(o.input, {{"--solution", o.solution},
                                         {"--write-mps", o.write_mps},
                                         {"--write-lp", o.write_lp},
                                         {"--write-deck", o.write_deck}});
  if (!refusal.empty()) {
    say(refusal);
    return kRefused;
  }
  modelio::ModelInput input;
  std::string error;
  switch (input.open(o.input, o.format, error)) {
    case modelio::ModelInput::Opened::kOpen:
      break;
    case modelio::ModelInput::Opened::kUnreadable:
      say(error);
      return kRefused;
    case modelio::ModelInput::Opened::kUnknownFormat:
      return usage_error(error);
  }
  modelio::ModelsRead read = modelio::read_models(input);
  for (const std::string& w : read.warnings) say(w);
  if (!read.ok) {
    say(read.error);
    return kRefused;
  }
  std::vector<model::Model> models = std::move(read.models);
  if (o.problem > 0) {
    if (static_cast<std::size_t>(o.problem) > models.size()) {
      say(o.input + ": holds " + std::to_string(models.size()) +
          " problem(s), not " + std::to_string(o.problem));
      return kRefused;
    }
    models = {models[static_cast<std::size_t>(o.problem) - 1]};
  }
  if (o.maximize) {
    for (model::Model& m : models) m.maximize = true;
  }
  return o.converts() ? convert(o, models) : solve(o, models);
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    const tools::ParsedSolveOptions parsed = tools::parse_solve_options(args);
    if (!parsed.ok) return usage_error(parsed.error);
    if (parsed.options.help) {
      std::cout << tools::solve_usage();
      return 0;
    }
    if (parsed.options.version) {
      std::cout << "karvon-solve " << karvon::version() << '\n';
      return 0;
    }
    files::prepare_program();
    return run(parsed.options);
  } catch (const std::bad_alloc&) {
    // Nothing that needs memory of its own.
    std::fputs("karvon-solve: out of memory\n", stderr);
    return kRefused;
  } catch (const std::exception& e) {
    say(std::string("cannot solve the model: ") + e.what());
    return kRefused;
  }
}
