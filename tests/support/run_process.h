#pragma once
// Runs a program as a child process with files for its standard streams.

#include <filesystem>
#include <string>
#include <vector>

namespace test_support {

struct ProcessEnd {
  int exit_status = -1;  // -1 when ended by a signal
  int signal = 0;
};

// Runs `program` with `arguments` in `workdir`, reading `input` and writing
// `output` and `error`. The child gets this process's environment without
// the variables that redirect karvon's units and reports (FORTn, FORT0) or
// change its run-time switches (FOR_...), so the run does not depend on who
// starts it.
ProcessEnd run_program(const std::filesystem::path& program,
                       const std::filesystem::path& workdir,
                       const std::filesystem::path& input,
                       const std::filesystem::path& output,
                       const std::filesystem::path& error,
                       const std::vector<std::string>& arguments = {});

}  // namespace test_support
