#pragma once
// OBJSENSE sections of MPS files, which GLPK's reader refuses: found, taken
// out (each of their lines becomes a comment line, so that line numbers stay
// as they were) and applied to the model that GLPK reads from the rest.

#include <string>
#include <string_view>

namespace modelio {

struct SenseSection {
  bool ok = true;
  bool found = false;
  bool maximize = false;
  std::string text;   // the file with the section's lines made comments
  std::string error;  // "model.mps:3: OBJSENSE must be MAX or MIN, not 'UP'"
};

// Looks for a section header OBJSENSE (in column 1) whose sense, MAX or MIN
// (also MAXIMIZE, MAXIMISE, MINIMIZE, MINIMISE, in any case), stands on the
// same line or on the next data line.
SenseSection take_objective_sense(std::string_view text,
                                  const std::string& display_name);

}  // namespace modelio
