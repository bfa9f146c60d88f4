#include "recio/errors.h"

#include <gtest/gtest.h>

#include <string>

#include "recio/startup.h"

namespace recio {
namespace {

std::string report(Error e, std::int32_t unit, std::string_view file) {
  char line[400];
  return std::string(line, format_report(line, sizeof line, e, unit, file));
}

TEST(Report, FillsUnitAndFileIntoTheMessage) {
  EXPECT_EQ(
      report(Error::kEndOfFile, 5, "CONIN$"),
      "forrtl: severe (24): end-of-file during read, unit 5, file CONIN$");
  EXPECT_EQ(report(Error::kFormattedOnUnformatted, 7, "/tmp/x/LP.TMP"),
            "forrtl: severe (257): formatted I/O to unit open for unformatted "
            "transfers, unit 7, file /tmp/x/LP.TMP");
  EXPECT_EQ(report(Error::kFileExists, 0, {}),
            "forrtl: severe (601): file already exists");
  EXPECT_EQ(report(Error::kAbortEvent, 0, "control-C"),
            "forrtl: error (200): program aborting due to control-C event");
}

TEST(Report, UnknownNumberSaysMessageNotFound) {
  EXPECT_EQ(report(Error::kUnformattedOnFormatted, 9, "f"),
            "forrtl: severe (256): Message not found");
}

TEST(Report, NeverWritesPastItsBuffer) {
  char line[20];
  EXPECT_EQ(format_report(line, sizeof line, Error::kEndOfFile, 5,
                          std::string(1000, 'x')),
            sizeof line);
}

TEST(Status, SevereErrorsCarryTheTopBits) {
  EXPECT_EQ(status_code(Error::kEndOfFile), 0xC0000018u);
  EXPECT_EQ(status_code(Error::kFileExists) & 0xFF, 89u);
  EXPECT_EQ(RunEnd::numeric_stop(1111).status() & 0xFF, 87u);
  EXPECT_EQ(RunEnd::numeric_stop(2222).status() & 0xFF, 174u);
  EXPECT_EQ(RunEnd::numeric_stop(2222).line(), "2222");
  EXPECT_EQ(RunEnd::plain_stop().status(), 0u);
}

TEST(Status, AFailureNeverExitsZero) {
  EXPECT_EQ(
      RunEnd::report(Error::kUnformattedOnFormatted, 7, "f").exit_status(),
      255);
  EXPECT_EQ(RunEnd::message("bad header", 2).exit_status(), 2);
  EXPECT_EQ(RunEnd::message("x", 512).exit_status(), 255);
  EXPECT_EQ(RunEnd::report(Error::kEndOfFile, 5, "CONIN$").exit_status(), 24);
  EXPECT_EQ(RunEnd::plain_stop().exit_status(), 0);
  // A stop is not a failure: its code modulo 256, whatever it is.
  EXPECT_EQ(RunEnd::numeric_stop(256).exit_status(), 0);
  EXPECT_EQ(exit_status(0xC0000100u, true), 255);
}

TEST(Report, ALongFileNameIsNeverCut) {
  const std::string file = "/" + std::string(5000, 'd') + "/LP.TMP";
  const RunEnd end = RunEnd::report(Error::kFormattedOnUnformatted, 9, file);
  EXPECT_EQ(end.line(),
            "forrtl: severe (257): formatted I/O to unit open for unformatted "
            "transfers, unit 9, file " +
                file);
  const RunEnd copy = end;
  EXPECT_EQ(copy.line(), end.line());
}

TEST(Switch, FollowsTheSwitchRule) {
  for (const char* on : {"t", "True", "y", "YES", "Y", "1", "007", "10"}) {
    EXPECT_TRUE(switch_on(on)) << on;
  }
  for (const char* off : {"", "0", "000", "no", "false", "1a", " 1", "-1"}) {
    EXPECT_FALSE(switch_on(off)) << off;
  }
  EXPECT_FALSE(switch_on(nullptr));
}

}  // namespace
}  // namespace recio
