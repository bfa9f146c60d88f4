#include "modelio/objective_sense.h"

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <optional>
#include <vector>

namespace modelio {
namespace {

std::vector<std::string_view> words(std::string_view line) {
  std::vector<std::string_view> out;
  std::size_t pos = 0;
  for (;;) {
    pos = line.find_first_not_of(" \t\r", pos);
    if (pos == std::string_view::npos) return out;
    const std::size_t end =
        std::min(line.find_first_of(" \t\r", pos), line.size());
    out.push_back(line.substr(pos, end - pos));
    pos = end;
  }
}

std::string upper(std::string_view word) {
  std::string out(word);
  for (char& c : out)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

// true for a maximum, false for a minimum, nothing for another word.
std::optional<bool> sense_of(std::string_view word) {
  const std::string w = upper(word);
  if (w == "MAX" || w == "MAXIMIZE" || w == "MAXIMISE") return true;
  if (w == "MIN" || w == "MINIMIZE" || w == "MINIMISE") return false;
  return std::nullopt;
}

}  // namespace

SenseSection take_objective_sense(std::string_view text,
                                  const std::string& display_name) {
  SenseSection out;
  out.text.reserve(text.size());
  bool expecting = false;  // inside the section, its sense not yet seen
  std::size_t header_line = 0;
  std::size_t number = 0;
  const auto refuse = [&](std::size_t line, const std::string& why) {
    out.ok = false;
    out.error = display_name + ":" + std::to_string(line) + ": " + why;
    return out;
  };
  const auto apply = [&](std::string_view word) {
    const std::optional<bool> sense = sense_of(word);
    if (sense) out.maximize = *sense;
    return sense.has_value();
  };
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    const bool last = end == std::string_view::npos;
    if (last) end = text.size();
    const std::string_view line = text.substr(pos, end - pos);
    ++number;
    const std::vector<std::string_view> w = words(line);
    // Comments and blank lines are passed over.
    const bool comment = w.empty() || line[0] == '*';
    const bool header = !comment && line[0] != ' ' && line[0] != '\t';
    bool take = false;
    if (header) {
      if (expecting) return refuse(header_line, "OBJSENSE without MAX or MIN");
      if (!w.empty() && upper(w[0]) == "OBJSENSE") {
        if (out.found) return refuse(number, "a second OBJSENSE section");
        out.found = take = true;
        header_line = number;
        expecting = w.size() < 2;
        if (w.size() == 2 && !apply(w[1])) {
          return refuse(number, "OBJSENSE must be MAX or MIN, not '" +
                                    std::string(w[1]) + "'");
        }
        if (w.size() > 2) return refuse(number, "OBJSENSE takes one word");
      }
    } else if (expecting && !comment) {
      take = true;
      expecting = false;
      if (w.size() != 1 || !apply(w[0])) {
        return refuse(number, "OBJSENSE must be MAX or MIN, not '" +
                                  std::string(w[0]) + "'");
      }
    }
    out.text.append(take ? std::string_view("*") : line);
    if (!last) out.text.push_back('\n');
    pos = end + 1;
  }
  if (expecting) return refuse(header_line, "OBJSENSE without MAX or MIN");
  return out;
}

}  // namespace modelio
