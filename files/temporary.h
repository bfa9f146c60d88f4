#pragma once
// Temporary files with names: the list a signal handler removes, and new
// names that no other run has taken. Used by the files of this folder only.

#include <signal.h>
#include <sys/types.h>

#include <string>

namespace files::temporary {

// Holds off SIGTERM, SIGINT and SIGHUP for its lifetime, so that creating a
// file and remembering its name (or renaming it and forgetting the name) is
// one step for the handler: it never misses a file nor removes one that has
// just taken its final name.
class Blocked {
 public:
  Blocked();
  ~Blocked();
  Blocked(const Blocked&) = delete;
  Blocked& operator=(const Blocked&) = delete;

 private:
  sigset_t saved_;
};

// A file created under a new name and remembered for removal at a signal
// until forgotten. The name is `stem` (a folder and a file name's start),
// "." and six letters or digits; a name already taken is passed over, so a
// file left by a killed run is never reused nor overwritten.
class Named {
 public:
  Named() = default;
  Named(const Named&) = delete;
  Named& operator=(const Named&) = delete;
  // Removes the file if it is still remembered.
  ~Named();

  // Creates the file with `flags` (O_CREAT | O_EXCL are added) and `mode`
  // (the umask applies). The descriptor, or -1 with errno set.
  int create(const std::string& stem, int flags, mode_t mode);
  // Makes a hard link named like a new file to the open file `fd` (a file
  // without a name); false with errno set.
  [[nodiscard]] bool link(const std::string& stem, int fd);
  // Renames the file to `target`; false with errno set (the file is then
  // still remembered).
  [[nodiscard]] bool rename_to(const std::string& target);
  // Removes the file now.
  void remove();
  const std::string& path() const { return path_; }

 private:
  void remember();
  void forget();

  std::string path_;
  int slot_ = -1;
};

// A name from `stem` that no file has now: "." and six letters or digits.
std::string unique_name(const std::string& stem);

// Installs the handler that removes remembered files (see prepare_program).
void install_handler();

}  // namespace files::temporary
