#include "recio/startup.h"

#include <cfenv>

#include "recio/endings.h"
#include "recio/os_file.h"

namespace recio {

bool switch_on(const char* value) {
  if (value == nullptr || value[0] == '\0') return false;
  const char c = value[0];
  if (c == 't' || c == 'T' || c == 'y' || c == 'Y') return true;
  bool nonzero = false;
  for (const char* p = value; *p != '\0'; ++p) {
    if (*p < '0' || *p > '9') return false;
    if (*p != '0') nonzero = true;
  }
  return nonzero;
}

void start_up() {
  // A standard stream that the program was started without must stay absent:
  // otherwise the first file opened (LP.TMP, say) takes its descriptor, and
  // the records meant for the console land in that file while the run
  // reports success.
  os::hold_closed_standard_streams();
  // Nothing traps: every exception masked, round to nearest. Doubles on
  // x86-64 are computed in SSE2 registers, so 53-bit precision holds.
  std::fesetround(FE_TONEAREST);
  feclearexcept(FE_ALL_EXCEPT);
  fedisableexcept(FE_ALL_EXCEPT);

  // A reader that goes away shows as a failed write (error 38), reported
  // like any other; so does a write past the file-size limit (ulimit -f),
  // which would otherwise kill the process without a report.
  os::ignore_write_signals();

  // There are no pop-up boxes on this system; FOR_NOERROR_DIALOGS is
  // accepted and changes nothing.
  prepare_endings(!switch_on(os::env("FOR_IGNORE_EXCEPTIONS")));
}

void division_check() {
  volatile double x = 4195835.0;
  volatile double y = 3145727.0;
  const double r = x - (x / y) * y;
  if (r != 0.0 && !switch_on(os::env("FOR_RUN_FLAWED_PENTIUM"))) {
    fail(Error::kFlawedDivide);
  }
}

}  // namespace recio
