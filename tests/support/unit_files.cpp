#include "tests/support/unit_files.h"

#include <stdlib.h>

#include <cerrno>
#include <fstream>
#include <iterator>
#include <system_error>

#include "recio/units.h"

namespace test_support {

namespace fs = std::filesystem;

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

ScratchDir::ScratchDir(std::string_view prefix) {
  std::string pattern =
      (fs::temp_directory_path() / (std::string(prefix) + "_XXXXXX")).string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    throw std::system_error(errno, std::generic_category(), "mkdtemp");
  }
  path_ = pattern;
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

UnitFilesTest::UnitFilesTest() { fs::current_path(dir_.path()); }

UnitFilesTest::~UnitFilesTest() {
  (void)recio::close_all();
  for (const std::string& variable : variables_) ::unsetenv(variable.c_str());
  fs::current_path(previous_);
}

void UnitFilesTest::connect(std::int32_t unit, std::string_view name) {
  variables_.push_back("FORT" + std::to_string(unit));
  ::setenv(variables_.back().c_str(), (dir() / name).c_str(), 1);
}

std::string UnitFilesTest::written(std::string_view name) {
  EXPECT_FALSE(recio::close_all().has_value());
  return read_file(dir() / name);
}

}  // namespace test_support
