#pragma once
// Runs a program as a child process with files for its standard streams.

#include <filesystem>

namespace peer {

struct ProcessEnd {
  int exit_status = -1;  // -1 when ended by a signal
  int signal = 0;
};

// Runs `program` with no arguments in `workdir`, reading `input` and writing
// `output` and `error`. The child gets this process's environment without
// the variables that redirect karvon's units and reports (FORTn, FORT0) or
// change its run-time switches (FOR_...), so the run does not depend on who
// starts it.
ProcessEnd run_program(const std::filesystem::path& program,
                       const std::filesystem::path& workdir,
                       const std::filesystem::path& input,
                       const std::filesystem::path& output,
                       const std::filesystem::path& error);

}  // namespace peer
