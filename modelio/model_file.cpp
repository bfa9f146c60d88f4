#include "modelio/model_file.h"

#include <array>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <utility>

#include "deck/text_reader.h"
#include "files/files.h"
#include "modelio/deck_reader.h"
#include "modelio/mps_reader.h"
#include "modelio/objective_sense.h"

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
  modelio::ReadResult read =
      modelio::read_mps(path, name,
                        format == Format::kFreeMps ? modelio::MpsFormat::kFree
                                                   : modelio::MpsFormat::kAuto);
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

// The first word of `line` in lower case, and whether it starts in column 1.
std::string first_word(std::string_view line, bool& in_column_1) {
  const std::size_t start = line.find_first_not_of(" \t");
  in_column_1 = start == 0;
  if (start == std::string_view::npos) return {};
  const std::size_t end = line.find_first_of(" \t", start);
  return lower_case(std::string(line.substr(start, end - start)));
}

// The first line that is neither blank nor a comment of either format.
std::string_view first_statement(std::string_view text) {
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    pos = end + 1;
    const std::size_t first = line.find_first_not_of(" \t");
    if (first == std::string_view::npos) continue;
    if (line[first] == '\\' || line[0] == '*') continue;
    return line;
  }
  return {};
}

// How much of a file its format is told from.
constexpr std::size_t kHeadSize = std::size_t(1) << 16;

std::string head_of(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string head(kHeadSize, '\0');
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<std::size_t>(in.gcount()));
  return head;
}

}  // namespace

std::optional<Format> format_of_text(std::string_view head) {
  bool in_column_1 = false;
  const std::string word = first_word(first_statement(head), in_column_1);
  if (in_column_1 && (word == "name" || word == "rows" || word == "objsense")) {
    return Format::kMps;
  }
  constexpr std::array<const char*, 8> kObjectives = {
      "minimize", "minimise", "minimum", "min",
      "maximize", "maximise", "maximum", "max"};
  for (const char* objective : kObjectives) {
    if (word == objective) return Format::kLp;
  }
  if (deck::begins_as_deck(head)) return Format::kDeck;
  return std::nullopt;
}

ModelInput::Opened ModelInput::open(const std::string& name,
                                    std::optional<Format> asked,
                                    std::string& error) {
  name_ = name;
  if (!file_.open(name, error)) return Opened::kUnreadable;
  if (!asked) asked = format_of_name(name);
  if (!asked) asked = format_of_text(head_of(file_.path()));
  if (!asked) {
    error = file_.display_name() +
            ": cannot tell its format from its name or its first lines "
            "(an MPS NAME or ROWS header, an LP objective, a deck's first "
            "records): give --mps, --freemps, --lp or --deck";
    return Opened::kUnknownFormat;
  }
  format_ = *asked;
  return Opened::kOpen;
}

std::optional<Format> format_of_name(const std::string& name) {
  const std::size_t dot = name.find_last_of('.');
  if (dot == std::string::npos || name.find('/', dot) != std::string::npos) {
    return std::nullopt;
  }
  const std::string ext = lower_case(name.substr(dot + 1));
  if (ext == "mps") return Format::kMps;
  if (ext == "freemps") return Format::kFreeMps;
  if (ext == "lp") return Format::kLp;
  if (ext == "deck" || ext == "dat" || ext == "txt") return Format::kDeck;
  return std::nullopt;
}

ModelsRead read_models(const ModelInput& model_input) {
  ModelsRead out;
  const files::InputFile& input = model_input.file();
  const std::string& name = model_input.name();
  const Format format = model_input.format();
  const std::string& display = input.display_name();
  if (format == Format::kLp) {
    modelio::ReadResult read = modelio::read_lp(input.path(), display);
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
