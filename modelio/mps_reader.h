#pragma once
// Reading an MPS file (fixed or free format) or an LP file into a Model.

#include <string>
#include <vector>

#include "model/model.h"

namespace modelio {

using model::kInfinity;
using model::Model;
using model::ModelColumn;
using model::ModelRow;

enum class MpsFormat { kAuto, kFixed, kFree };

struct ReadResult {
  bool ok = false;
  Model model;
  // Why the file was refused: "model.mps:12: row 'R9' not found".
  std::string error;
  // The reader's warnings, each one line with the file name and line.
  std::vector<std::string> warnings;
};

// Reads the MPS file `path`, naming it `display_name` in messages. kAuto
// tries the fixed format first, whose column positions leave little room
// for a misreading, then the free one; when both refuse the file, the
// message of the reader that got further through it is kept.
ReadResult read_mps(const std::string& path, const std::string& display_name,
                    MpsFormat format);

// Reads the CPLEX LP file `path` (GLPK's reader), naming it `display_name`
// in messages. The objective's sense and constant are kept.
ReadResult read_lp(const std::string& path, const std::string& display_name);

}  // namespace modelio
