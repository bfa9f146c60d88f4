#include "modelio/model_file.h"

#include <cctype>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <utility>

#include "files/files.h"
#include "modelio/deck_reader.h"
#include "modelio/objective_sense.h"
#include "mps2deck/mps_reader.h"

namespace modelio {
namespace {

std::string lower_case(std::string text) {
  for (char& c : text) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return text;
}

// A file's base name without its folder and extension.
std::string stem_of(const std::string& name) {
  std::string base = name.substr(name.find_last_of('/') + 1);
  const std::size_t dot = base.find_last_of('.');
  if (dot != std::string::npos && dot > 0) base.resize(dot);
  return base.empty() ? "model" : base;
}

bool slurp(const std::string& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream all;
  all << in.rdbuf();
  text = std::move(all).str();
  return !in.bad();
}

ModelsRead read_mps_text(const files::InputFile& input, const std::string& text,
                         Format format) {
  ModelsRead out;
  const std::string& name = input.display_name();
  const SenseSection sense = take_objective_sense(text, name);
  if (!sense.ok) {
    out.error = sense.error;
    return out;
  }
  files::InputFile stripped;
  std::string path = input.path();
  if (sense.found) {
    if (!stripped.hold(sense.text, name, out.error)) return out;
    path = stripped.path();
  }
  mps2deck::ReadResult read = mps2deck::read_mps(
      path, name,
      format == Format::kFreeMps ? mps2deck::MpsFormat::kFree
                                 : mps2deck::MpsFormat::kAuto);
  out.warnings = std::move(read.warnings);
  if (!read.ok) {
    out.error = std::move(read.error);
    return out;
  }
  read.model.maximize = sense.maximize;
  out.models.push_back(std::move(read.model));
  out.ok = true;
  return out;
}

}  // namespace

std::optional<Format> format_of_name(const std::string& name) {
  const std::size_t dot = name.find_last_of('.');
  if (dot == std::string::npos || name.find('/', dot) != std::string::npos) {
    return std::nullopt;
  }
  const std::string ext = lower_case(name.substr(dot + 1));
  if (ext == "mps") return Format::kMps;
  if (ext == "freemps") return Format::kFreeMps;
  if (ext == "lp") return Format::kLp;
  if (ext == "deck" || ext == "dat") return Format::kDeck;
  return std::nullopt;
}

ModelsRead read_models(const std::string& name, Format format) {
  ModelsRead out;
  files::InputFile input;
  if (!input.open(name, out.error)) return out;
  const std::string& display = input.display_name();
  if (format == Format::kLp) {
    mps2deck::ReadResult read = mps2deck::read_lp(input.path(), display);
    out.warnings = std::move(read.warnings);
    if (!read.ok) {
      out.error = std::move(read.error);
      return out;
    }
    out.models.push_back(std::move(read.model));
    out.ok = true;
    return out;
  }
  std::string text;
  if (!slurp(input.path(), text)) {
    out.error = display + ": cannot be read";
    return out;
  }
  if (format != Format::kDeck) return read_mps_text(input, text, format);

  DeckRead deck = read_deck(text, display);
  if (!deck.ok) {
    out.error = std::move(deck.error);
    return out;
  }
  const std::string stem = stem_of(name == "-" ? "deck" : name);
  for (std::size_t k = 0; k < deck.problems.size(); ++k) {
    model::Model& m = deck.problems[k];
    m.name =
        deck.problems.size() == 1 ? stem : stem + "_" + std::to_string(k + 1);
    m.objective_name = "obj";
  }
  out.models = std::move(deck.problems);
  out.ok = true;
  return out;
}

}  // namespace modelio
