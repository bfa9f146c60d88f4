// Fuzz target: the whole driver on a deck held in memory. The deck is put
// behind standard input, standard output goes to /dev/null, and the run's
// ending comes back as a recio::RunEnd. Checked beyond "no crash, no
// sanitizer report": the ending is one a run may have, and a scratch file
// left behind holds whole, consistently framed records.
#include <cstdint>
#include <set>
#include <string>
#include <string_view>

#include "driver/karvon.h"
#include "fuzz/fuzz_support.h"
#include "recio/endings.h"
#include "recio/errors.h"
#include "recio/units.h"

namespace {

// Every report a deck can cause when its files and devices behave: end of
// input, a bad field, an open of LP.TMP that finds the file (or a unit that
// cannot be connected), a formatted transfer on the scratch unit, and a
// write refused at the file-size cap.
const std::set<std::int32_t> kExpectedErrors = {24, 30,  38,  43,
                                                64, 257, 600, 601};

std::uint32_t le32(std::string_view b, std::size_t at) {
  std::uint32_t v = 0;
  for (std::size_t i = 0; i < 4; ++i) {
    v |= std::uint32_t(static_cast<unsigned char>(b[at + i])) << (8 * i);
  }
  return v;
}

// LP.TMP holds length-framed records only, whole, with their reals: each
// record a multiple of 8 bytes (M x N reals) with equal leading and trailing
// lengths.
void check_scratch_file() {
  const std::string f = fuzz::read_file("LP.TMP");
  std::size_t pos = 0;
  while (pos < f.size()) {
    if (f.size() - pos < 8) fuzz::finding("LP.TMP ends inside a length word");
    const std::uint32_t length = le32(f, pos);
    if (f.size() - pos - 8 < length)
      fuzz::finding("LP.TMP ends inside a record");
    if (le32(f, pos + 4 + length) != length) {
      fuzz::finding("LP.TMP: trailing length differs from the leading one");
    }
    if (length % 8 != 0)
      fuzz::finding("LP.TMP: a record that is not whole reals");
    pos += 8 + std::size_t(length);
  }
}

void check_ending(const recio::RunEnd& end) {
  switch (end.kind()) {
    case recio::RunEnd::Kind::kPlainStop:
      if (end.status() != 0) fuzz::finding("plain stop with a nonzero status");
      break;
    case recio::RunEnd::Kind::kNumericStop:
      if (end.status() != 1111 && end.status() != 2222) {
        fuzz::finding("numeric stop " + std::to_string(end.status()));
      }
      break;
    case recio::RunEnd::Kind::kReport: {
      const std::int32_t n = fuzz::error_number(end);
      if (kExpectedErrors.count(n) == 0) {
        fuzz::finding("unexpected report: " + std::string(end.line()));
      }
      if (end.line().substr(0, 16) != "forrtl: severe (") {
        fuzz::finding("malformed report: " + std::string(end.line()));
      }
      break;
    }
    case recio::RunEnd::Kind::kMessage:
      if (end.status() != 2 ||
          end.line().substr(0, 32) != "KARVON: invalid problem header: ") {
        fuzz::finding("unexpected message: " + std::string(end.line()));
      }
      break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::enter_private_directory();
  for (const char* name : {"FORT0", "FORT5", "FORT6", "FOR_RUN_FLAWED_PENTIUM",
                           "FOR_IGNORE_EXCEPTIONS"}) {
    ::unsetenv(name);
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  fuzz::clear_directory();
  fuzz::set_standard_input(data, size);
  try {
    driver::run();
  } catch (const recio::RunEnd& end) {
    check_ending(end);
    // The stops write their record on unit 6 (here /dev/null) and close
    // every unit; a report's line would go to standard error, so for those
    // only the units are closed.
    if (end.kind() == recio::RunEnd::Kind::kPlainStop ||
        end.kind() == recio::RunEnd::Kind::kNumericStop) {
      // Writing the stop record can fail in its own right: unit 6 connected
      // to LP.TMP (error 257), a refused write (error 38).
      const int status = recio::end_run(end);
      if (status != static_cast<int>(end.status() & 0xFFu) &&
          status != (257 & 0xFF) && status != 38) {
        fuzz::finding("stop ended with status " + std::to_string(status));
      }
    } else {
      (void)recio::close_all();
    }
  }
  check_scratch_file();
  return 0;
}
