#pragma once
// What tests that touch the file system share: a private directory, a file
// read back whole, and a fixture that connects karvon's units to files of
// its own directory.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace test_support {

// The bytes of a file; empty when it cannot be read.
std::string read_file(const std::filesystem::path& path);

// A fresh directory under the system's temporary folder, removed with all
// it holds when the object goes.
class ScratchDir {
 public:
  explicit ScratchDir(std::string_view prefix = "karvon_test");
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// A test run inside its own scratch directory, the working directory while
// it runs. At its end every unit is closed, the FORTn variables set by
// connect() are removed, and the former working directory is restored.
class UnitFilesTest : public ::testing::Test {
 protected:
  UnitFilesTest();
  ~UnitFilesTest() override;

  // Unit `unit` is the file `name` of the directory from now on (FORTn).
  void connect(std::int32_t unit, std::string_view name);
  // Closes every unit, which must end without a run-time error, and returns
  // the bytes of the file `name` of the directory.
  std::string written(std::string_view name);
  const std::filesystem::path& dir() const { return dir_.path(); }

 private:
  ScratchDir dir_;
  std::filesystem::path previous_ = std::filesystem::current_path();
  std::vector<std::string> variables_;
};

}  // namespace test_support
