#pragma once
// A model file of any format the tools read, as models in general form.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "files/files.h"
#include "model/model.h"

namespace modelio {

enum class Format {
  kMps,      // fixed MPS, then free MPS when the fixed reading fails
  kFreeMps,  // free MPS only
  kLp,       // CPLEX LP
  kDeck,     // a karvon deck: one model for each problem
};

// The format a file's name announces: .mps, .freemps, .lp, and .deck,
// .dat or .txt for decks (in any case); nothing for another name.
std::optional<Format> format_of_name(const std::string& name);

// The format the first lines of a file show: an MPS section header (NAME,
// ROWS or OBJSENSE in column 1; free MPS reads as kMps, which tries both),
// an LP objective line (Minimize, max, ...), or a deck's settings record and
// problem header, whole numbers in their fixed columns. Blank lines and
// comment lines ("*" in MPS, "\" in LP) come first in any of them. Nothing
// when the text is none of these.
std::optional<Format> format_of_text(std::string_view head);

// A model file opened for reading, its format decided by the one rule
// karvon-solve and karvon-trace share: the format asked for, else the one
// its name announces, else the one its first lines show.
class ModelInput {
 public:
  enum class Opened {
    kOpen,
    kUnreadable,     // missing, a directory, ...: `error` says which
    kUnknownFormat,  // neither the name nor the content tells
  };

  // Opens `name` ("-" for standard input); standard input, pipes and
  // devices are first copied (file().path() is then the copy). On failure
  // `error` holds one line naming the file.
  [[nodiscard]] Opened open(const std::string& name,
                            std::optional<Format> asked, std::string& error);
  Format format() const { return format_; }
  const files::InputFile& file() const { return file_; }
  const std::string& name() const { return name_; }

 private:
  files::InputFile file_;
  std::string name_;
  Format format_ = Format::kDeck;
};

struct ModelsRead {
  bool ok = false;
  std::vector<model::Model> models;
  std::string error;                  // one line, with the file and line
  std::vector<std::string> warnings;  // the readers' warnings
};

// Reads the models of `input` in its format. An MPS file's OBJSENSE section
// is taken out and applied to the model (GLPK reads the rest). A deck's
// problems are named after the file, with their number when there are
// several.
ModelsRead read_models(const ModelInput& input);

}  // namespace modelio
