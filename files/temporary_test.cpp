// Temporary files with names (where the file system has no nameless ones)
// at the signals that end a program: removed first, then the signal does
// what it did before. Each case runs in a child process of its own.

#include "files/temporary.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "files/files.h"
#include "tests/support/unit_files.h"

namespace {

void exit_42(int) { ::_exit(42); }

struct SignalCase {
  const char* name;
  int signal;
  void (*before)(int);  // the handler the program had, or SIG_DFL / SIG_IGN
  bool killed;          // the child ends by the signal itself
  int status;           // else its exit status
  bool removed;         // the file is gone
};

const SignalCase kCases[] = {
    {"SIGTERM, default action", SIGTERM, SIG_DFL, true, 0, true},
    {"SIGINT, default action", SIGINT, SIG_DFL, true, 0, true},
    {"SIGHUP, default action", SIGHUP, SIG_DFL, true, 0, true},
    {"SIGINT, the program's own handler after", SIGINT, exit_42, false, 42,
     true},
    // nohup: the program goes on, and so does its file.
    {"SIGHUP ignored", SIGHUP, SIG_IGN, false, 0, false},
};

TEST(TemporaryFiles, SignalsRemoveThemThenActAsBefore) {
  for (const SignalCase& c : kCases) {
    SCOPED_TRACE(c.name);
    const test_support::ScratchDir dir("karvon_files");
    const std::string stem = (dir.path() / "out").string();
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ::signal(c.signal, c.before);
      files::prepare_program();
      files::temporary::Named file;
      if (file.create(stem, O_WRONLY, 0600) < 0) ::_exit(3);
      ::raise(c.signal);
      // Still here: the file stays for the parent to see.
      ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    if (c.killed) {
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.signal);
    } else {
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == c.status);
    }
    EXPECT_EQ(std::filesystem::is_empty(dir.path()), c.removed);
  }
}

}  // namespace
