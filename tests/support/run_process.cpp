#include "tests/support/run_process.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <system_error>
#include <vector>

extern char** environ;

namespace test_support {
namespace {

[[noreturn]] void child(const char* program, const char* workdir,
                        const char* input, const char* output,
                        const char* error, char* const* argv,
                        char* const* env) {
  // Only async-signal-safe calls between fork and exec.
  const int in = open(input, O_RDONLY);
  const int out = open(output, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const int err = open(error, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (in < 0 || out < 0 || err < 0 || chdir(workdir) != 0 || dup2(in, 0) < 0 ||
      dup2(out, 1) < 0 || dup2(err, 2) < 0) {
    _exit(126);
  }
  execve(program, argv, env);
  _exit(127);
}

}  // namespace

ProcessEnd run_program(const std::filesystem::path& program,
                       const std::filesystem::path& workdir,
                       const std::filesystem::path& input,
                       const std::filesystem::path& output,
                       const std::filesystem::path& error,
                       const std::vector<std::string>& arguments) {
  const std::string program_path = std::filesystem::absolute(program).string();
  const std::string workdir_path = workdir.string();
  const std::string input_path = std::filesystem::absolute(input).string();
  const std::string output_path = std::filesystem::absolute(output).string();
  const std::string error_path = std::filesystem::absolute(error).string();

  std::vector<char*> argv{const_cast<char*>(program_path.c_str())};
  for (const std::string& a : arguments)
    argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  std::vector<char*> env;
  for (char** e = environ; *e != nullptr; ++e) {
    if (std::strncmp(*e, "FORT", 4) == 0 || std::strncmp(*e, "FOR_", 4) == 0) {
      continue;
    }
    env.push_back(*e);
  }
  env.push_back(nullptr);

  const pid_t pid = fork();
  if (pid < 0) throw std::system_error(errno, std::generic_category(), "fork");
  if (pid == 0) {
    child(program_path.c_str(), workdir_path.c_str(), input_path.c_str(),
          output_path.c_str(), error_path.c_str(), argv.data(), env.data());
  }
  int wstatus = 0;
  while (waitpid(pid, &wstatus, 0) < 0) {
    if (errno != EINTR) {
      throw std::system_error(errno, std::generic_category(), "waitpid");
    }
  }
  ProcessEnd end;
  if (WIFEXITED(wstatus)) {
    end.exit_status = WEXITSTATUS(wstatus);
  } else if (WIFSIGNALED(wstatus)) {
    end.signal = WTERMSIG(wstatus);
  }
  return end;
}

}  // namespace test_support
