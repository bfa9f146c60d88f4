#include "driver/karvon.h"

#include "common/lp.h"
#include "deck/storage.h"
#include "deck/unit_reader.h"
#include "diag/chkout.h"
#include "driver/report.h"
#include "recio/startup.h"
#include "recio/unformatted.h"
#include "solver/linear.h"

namespace driver {

void solve(deck::Storage& s) {
  diag::TableauPrint print(s.IOUT);
  solver::LINEAR(s.a(), s.row(), s.col(), s.bound(), s.x(), s.M, s.N, s.NV,
                 s.STATUS, s.ITER, lp::kLda, lp::kNcol, s.asave(), s.row0(),
                 s.col0(), s.IUNIT, s.IOUT > 0 ? &print : nullptr);
}

void run() {
  recio::division_check();
  // One storage object for the whole run; never cleared between problems.
  static deck::Storage s;
  for (;;) {
    deck::read_settings(s);
    if (s.IUNIT > 0) recio::open_new_unformatted(s.IUNIT, "LP.TMP");
    deck::read_header(s);
    deck::read_problem(s);
    deck::prepare(s);
    write_echo(s, Echo::kBeforeCall);
    solve(s);
    write_echo(s, Echo::kAfterCall);
    if (s.STATUS == 0) write_result(s);
  }
}

}  // namespace driver
