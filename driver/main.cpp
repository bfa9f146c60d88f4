#include <limits>
#include <new>

#include "driver/karvon.h"
#include "recio/endings.h"
#include "recio/errors.h"
#include "recio/startup.h"

static_assert(std::numeric_limits<double>::is_iec559);

int main() {
  recio::start_up();
  try {
    driver::run();
  } catch (const recio::RunEnd& end) {
    return recio::end_run(end);
  } catch (const std::bad_alloc&) {
    return recio::end_run(
        recio::RunEnd::report(recio::Error::kNoMemory, 0, {}));
  }
}
