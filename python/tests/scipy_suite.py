"""karvon.linprog under scipy's own linprog tests.

Runs scipy's optimize/tests/test_linprog.py, as installed with scipy, with
the module's `linprog` replaced by karvon's, and compares the outcome with
scipy_suite_expected.txt beside this file: each test that fails must fail
at the line its entry names, and each entry must still be needed. Every
problem the suite solves is also put to scipy's own linprog: a status or
objective of karvon's that differs from it fails the run, whatever the test
itself checks, so no wrong answer hides behind a test that stops early.

Exits 0 when all agree, 1 when not (printing what differs, with the
tracebacks), 77 when scipy's tests are not installed.

    scipy_suite.py [pytest arguments, e.g. -k marginals]
"""

import fnmatch
import importlib.util
import inspect
import os
import sys
import warnings

EXPECTED = os.path.join(os.path.dirname(os.path.abspath(__file__)),
                        "scipy_suite_expected.txt")
SUITE = "scipy.optimize.tests.test_linprog"
# Objectives agree within this, relative to 1 + |scipy's|: both solvers
# work to about 1e-9 of the data, and the suite's data are of order 1e4.
FUN_TOL = 1e-7


def expected_failures(path):
    """[(glob over Class::test, text of the failing line, reason)]."""
    entries = []
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            if not line.strip() or line.startswith("#"):
                continue
            fields = [field.strip() for field in line.split("|")]
            if len(fields) != 3 or not all(fields):
                raise SystemExit(f"{path}:{number}: want 'test | failing "
                                 f"line | reason', got {line!r}")
            entries.append(tuple(fields))
    return entries


def disagreement(scipy_linprog, args, kwargs, found):
    """What differs between karvon's answer `found` and scipy's to the same
    problem, or None. Limits, callbacks, starting points and integrality
    are left out of scipy's problem: the continuous problem is compared."""
    given = inspect.signature(scipy_linprog).bind(*args, **kwargs).arguments
    if {"maxiter", "time_limit"} & set(given.get("options") or {}) \
            or found.status == 1:
        return None
    problem = {k: given[k] for k in
               ("c", "A_ub", "b_ub", "A_eq", "b_eq", "bounds") if k in given}
    try:
        with warnings.catch_warnings():
            warnings.simplefilter("ignore")
            want = scipy_linprog(**problem, method="highs")
    except Exception:  # a problem scipy refuses is no answer to compare
        return None
    if want.status == 4 and found.status in (2, 3):
        return None  # scipy's "infeasible or unbounded"
    if found.status != want.status or (found.status == 0 and abs(
            found.fun - want.fun) > FUN_TOL * (1 + abs(want.fun))):
        return (f"karvon: status {found.status}, fun {found.fun}; scipy: "
                f"status {want.status}, fun {want.fun}; problem {problem}")
    return None


class Outcomes:
    """A pytest plugin: puts a checked karvon linprog in the suite's module
    before each test, and keeps each test's outcome and failure text."""

    def __init__(self, karvon_linprog, scipy_linprog):
        self.karvon_linprog = karvon_linprog
        self.scipy_linprog = scipy_linprog
        self.outcomes = {}
        self.wrong = {}
        self.test = None

    def linprog(self, *args, **kwargs):
        found = self.karvon_linprog(*args, **kwargs)
        why = disagreement(self.scipy_linprog, args, kwargs, found)
        if why is not None:
            self.wrong.setdefault(self.test, []).append(why)
        return found

    def pytest_runtest_setup(self, item):
        # Every test reads the module's global name `linprog` when it runs.
        self.test = item.nodeid.split("::", 1)[-1]
        item.module.linprog = self.linprog

    def pytest_runtest_logreport(self, report):
        name = report.nodeid.split("::", 1)[-1]
        if report.failed:
            self.outcomes[name] = ("failed", report.longreprtext)
        elif report.when == "call" or report.skipped:
            self.outcomes.setdefault(name, (report.outcome, ""))


def compare(outcomes, wrong, entries):
    """Lines that say where the outcome and the list disagree."""
    problems = [f"WRONG ANSWER in {name}: {why}"
                for name, whys in sorted(wrong.items()) for why in whys]
    used = set()
    for name, (outcome, text) in sorted(outcomes.items()):
        if outcome != "failed":
            continue
        match = [e for e in entries
                 if fnmatch.fnmatchcase(name, e[0]) and e[1] in text]
        if match:
            used.update(match)
        else:
            problems.append(f"UNEXPECTED FAILURE {name}\n{text}\n")
    problems += [f"NO LONGER FAILS: {e[0]} | {e[1]}" for e in entries
                 if e not in used]
    return problems


def main(argv):
    try:
        found = importlib.util.find_spec(SUITE)
    except ImportError:
        found = None
    if found is None:
        print(f"skipped: {SUITE} is not installed (Debian's python3-scipy "
              "installs it)")
        return 77
    import pytest
    from scipy.optimize import linprog as scipy_linprog

    import karvon

    entries = expected_failures(EXPECTED)
    plugin = Outcomes(karvon.linprog, scipy_linprog)
    sys.dont_write_bytecode = True
    pytest.main([found.origin, "-q", "--tb=short", "-p", "no:cacheprovider",
                 *argv], plugins=[plugin])
    if argv:
        # A part of the suite: entries for tests not run say nothing.
        entries = [e for e in entries if any(
            fnmatch.fnmatchcase(n, e[0]) for n in plugin.outcomes)]
    problems = compare(plugin.outcomes, plugin.wrong, entries)
    counts = {}
    for outcome, _ in plugin.outcomes.values():
        counts[outcome] = counts.get(outcome, 0) + 1
    print("\nscipy's linprog tests with karvon.linprog: "
          + ", ".join(f"{v} {k}" for k, v in sorted(counts.items()))
          + f"; {len(entries)} entries of expected failures")
    print("\n".join(problems) or "as expected")
    return 1 if problems or not plugin.outcomes else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
