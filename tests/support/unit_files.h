#pragma once
// What tests that touch the file system share: a private directory, a file
// read back whole, and a fixture that connects karvon's units to files of
// its own directory.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
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
  std::filesystem::path operator/(std::string_view name) const {
    return path_ / name;
  }

 private:
  std::filesystem::path path_;
};

// A test run inside its own scratch directory, the working directory while
// it runs. connect() names a file there for a unit through its FORTn
// variable. TearDown closes every unit, removes the variables, returns to
// the former working directory and removes the scratch directory.
class UnitFilesTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Unit `unit` is the file `name` of the directory from now on.
  void connect(std::int32_t unit, std::string_view name);
  // Closes every unit, which must end without a run-time error, and returns
  // the bytes of the file `name` of the directory.
  std::string written(std::string_view name);

  const std::filesystem::path& dir() const { return dir_->path(); }

 private:
  std::unique_ptr<ScratchDir> dir_;
  std::filesystem::path previous_;
  std::vector<std::string> variables_;
};

}  // namespace test_support
