#!/usr/bin/env python3
"""One netlib problem end to end: `mps2deck FILE | karvon` through a real pipe.

Usage: netlib_test.py MPS2DECK KARVON FILE.mps EXPECTED
EXPECTED is the published optimal objective value, or 'infeasible' for a
problem whose run must print no result."""
import os
import re
import subprocess
import sys
import tempfile

OBJECTIVE = re.compile(rb'^ OBJECTIVE FUNCTION  =(.{15})\r?$', re.M)


def main():
    mps2deck, karvon, mps, expected = sys.argv[1:5]
    env = {k: v for k, v in os.environ.items() if not k.startswith(('FORT', 'FOR_'))}
    with tempfile.TemporaryDirectory() as cwd:
        conv = subprocess.Popen([os.path.abspath(mps2deck), os.path.abspath(mps)],
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE, cwd=cwd, env=env)
        run = subprocess.Popen([os.path.abspath(karvon)], stdin=conv.stdout,
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE, cwd=cwd, env=env)
        conv.stdout.close()  # karvon holds the pipe's only reading end
        out, err = run.communicate(timeout=120)
        conv_err = conv.stderr.read()
        conv.wait(timeout=120)
        conv.stderr.close()
    failures = []
    if conv.returncode != 0:
        failures.append('mps2deck exit status %d: %r' % (conv.returncode, conv_err))
    if run.returncode != 0 or err:
        failures.append('karvon exit status %d, stderr %r' % (run.returncode, err))
    if not out.endswith(b'Stop - Program terminated.\r\n'):
        failures.append('karvon did not reach the closing header: %r' % out[-200:])
    found = OBJECTIVE.findall(out)
    if expected == 'infeasible':
        if found or b'VALUES OF VARIABLES' in out:
            failures.append('a result was printed for an infeasible problem: %r' % found)
    elif len(found) != 1:
        failures.append('expected one objective line, found %d' % len(found))
    else:
        value, want = float(found[0]), float(expected)
        if abs(value - want) > 1e-6 * abs(want):
            failures.append('objective %r, expected %s (relative error %.2e)'
                            % (value, expected, abs(value - want) / abs(want)))
    for f in failures:
        print(os.path.basename(mps) + ': ' + f)
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
