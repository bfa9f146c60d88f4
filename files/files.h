#pragma once
// The model tools' files (karvon-solve, mps2deck, karvon-trace and the Python
// module's trace page): the input as a reader gets it, and outputs that
// never destroy what they touch. Beside recio/os_file.* (karvon's runtime)
// this is where the tools ask the operating system for their files.
//
// An output that is a regular file, or a name not yet taken, is written to a
// nameless file in the same folder, synced and then put in place by rename:
// it appears whole or not at all, a failed write leaves the previous file
// untouched, and two runs writing one page never mix. Anything else (a FIFO,
// a device, a terminal, "-" or a name for a descriptor like /dev/stdout) is
// written straight, as the reader on its other side expects.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace files {
namespace temporary {
class Named;
}

// Once at start-up of a program: a write past the file-size limit or into a
// pipe without a reader fails and is reported instead of killing the
// process, and SIGTERM, SIGINT, SIGHUP and SIGQUIT first remove the program's
// temporary files (a handler installed before is then called, or the signal
// ends the process as it would have).
void prepare_program();

// The model's file as a reader gets it. A regular file is read where it is;
// standard input, a pipe or a device is first copied into a temporary file
// (the reader may go through the text twice). The copy has no name in any
// folder wherever the system allows, so even SIGKILL leaves nothing behind;
// otherwise its name is removed when this object goes or a signal ends the
// program.
class InputFile {
 public:
  InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  ~InputFile();

  // Prepares `name` ("-" for standard input); false with a message in
  // `error` when it cannot be read.
  [[nodiscard]] bool open(const std::string& name, std::string& error);
  // Holds `text` (a file already read and changed) for a reader that takes
  // only a file's name; `display_name` names it in messages. False with a
  // message when it cannot be written (nothing is then left behind).
  [[nodiscard]] bool hold(std::string_view text,
                          const std::string& display_name, std::string& error);
  // The name to hand to a reader.
  const std::string& path() const { return path_; }
  // The name messages use: as given, or "<stdin>".
  const std::string& display_name() const { return display_name_; }

 private:
  // A new temporary file as this object's file, open for writing; -1 with a
  // message on failure.
  int make_copy(std::string& error);

  std::string path_;
  std::string display_name_;
  std::unique_ptr<temporary::Named> named_;  // a copy with a name, or none
  int fd_ = -1;                              // the copy, held open
};

// An output named on the command line: `what` says which (the option, as
// "--solution"), `path` is the name ("-" for standard output).
struct Output {
  std::string what;
  std::string path;
};

// Before anything is read: "" when no output is the input `input` itself
// ("-" for standard input), else the one line that refuses the run, naming
// both. Outputs with an empty name are not asked for; outputs that do not
// exist yet are never the input.
std::string same_file_refusal(const std::string& input,
                              const std::vector<Output>& outputs);

// Writes `text` to `path` as described above. False with the file's name
// and the reason in `error` when anything fails; the previous file is then
// as it was and no temporary file is left.
[[nodiscard]] bool write_output(const std::string& path, std::string_view text,
                                std::string& error);

}  // namespace files
