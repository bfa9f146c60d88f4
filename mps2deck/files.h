#pragma once
// The files of mps2deck: its input, copied when it can be read only once,
// and its output, which appears whole or not at all.

#include <optional>
#include <string>
#include <string_view>

namespace mps2deck {

// The model's file as the reader gets it. A regular file is read where it
// is; standard input, a pipe or a device is first copied into a temporary
// file (the reader may go through the text twice), removed again when this
// object goes.
class InputFile {
 public:
  InputFile() = default;
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  ~InputFile();

  // Prepares `name` ("-" for standard input); false with a message in
  // `error` when it cannot be read.
  [[nodiscard]] bool open(const std::string& name, std::string& error);
  const std::string& path() const { return path_; }
  // The name messages use: as given, or "<stdin>".
  const std::string& display_name() const { return display_name_; }

 private:
  std::string path_;
  std::string display_name_;
  bool temporary_ = false;
};

// Writes `text` to standard output; false with a message on a failed write.
[[nodiscard]] bool write_standard_output(std::string_view text,
                                         std::string& error);

// Writes `text` to a new file in the temporary folder (TMPDIR, or the
// usual one) and puts its name in `path`; the caller removes it. False with
// a message when that fails (nothing is then left behind).
[[nodiscard]] bool write_temporary(std::string_view text, std::string& path,
                                   std::string& error);

// Writes `text` to `path` through a new file beside it, renamed over `path`
// once complete, so that `path` never holds part of a deck. False with a
// message when any step fails; the new file is then removed.
[[nodiscard]] bool write_file_whole(const std::string& path,
                                    std::string_view text, std::string& error);

}  // namespace mps2deck
