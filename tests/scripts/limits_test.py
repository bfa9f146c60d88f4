#!/usr/bin/env python3
"""The limits, each run to its end with bounded memory: the largest problem
(M = 50, N = 61, NBOUND = 110) with the print and the scratch file on;
10,000 problems in one deck; an input line of 1 MB; problems that cycle
until the iteration limit. Peak resident sizes are printed and checked
against a bound (the sanitizer build gets a larger one). The largest
problem's values come from a fixed seed; KARVON_TEST_SEED sets another.

Usage: limits_test.py KARVON"""
import os
import random
import struct
import sys
import tempfile

from karvon_decks import (CLOSING, CYCLING_ROWS, SMALL_OBJECTIVE, SMALL_ROWS, is_sanitized,
                          largest_problem, problem, run, run_measured, test_seed)

# Peak resident size allowed, in MiB: the program keeps fixed arrays and
# record buffers, so no deck may make it grow with its length.
BOUND_MIB = 64
SANITIZED_BOUND_MIB = 768
# Growth allowed from the smallest deck to the longest.
GROWTH_MIB = 16


def main():
    exe = os.path.abspath(sys.argv[1])
    bound = (SANITIZED_BOUND_MIB if is_sanitized(exe) else BOUND_MIB) * 1024
    seed = test_seed(5)
    rng = random.Random(seed)
    failures = []
    peaks = {}

    def measure(name, deck, want_status=0, env=None):
        with tempfile.TemporaryDirectory() as cwd:
            path = os.path.join(cwd, 'deck.txt')
            with open(path, 'wb') as f:
                f.write(deck)
            status, peak, err = run_measured(exe, path, cwd, env)
        peaks[name] = peak
        if status != want_status or err:
            failures.append('%s: status %d, stderr %r' % (name, status, err[:200]))
        if peak > bound:
            failures.append('%s: peak resident size %d KiB over %d KiB' % (name, peak, bound))
        return peak

    # The largest problem: every record at its widest, LP.TMP at its largest.
    big = largest_problem(rng)
    # Bounds for all 110 entries (one more than the 109 variables): the
    # variables' bind, the slacks' never do.
    deck = problem(big, bounds=[40.0] * 60 + [1000.0] * 50, iunit=9, iout=6) + CLOSING
    r = run(exe, deck)
    widest = max(len(line) for line in r.out.split(b'\r\n'))
    if r.status != 0 or b' OBJECTIVE FUNCTION  =' not in r.out:
        failures.append('largest problem: status %d, tail %r' % (r.status, r.out[-80:]))
    if widest != 9 * 61 + 12:
        failures.append('largest problem: widest record %d characters, expected 561' % widest)
    with tempfile.TemporaryDirectory() as cwd:
        r = run(exe, deck, cwd=cwd)
        with open(os.path.join(cwd, 'LP.TMP'), 'rb') as f:
            scratch = f.read()
    if len(scratch) != 24408 or scratch[:4] != struct.pack('<I', 24400) or scratch[-4:] != scratch[:4]:
        failures.append('largest problem: LP.TMP of %d bytes' % len(scratch))
    measure('largest problem', deck)
    base = measure('one small problem', problem(SMALL_ROWS) + CLOSING)

    # 10,000 problems in one deck, the scratch file rewritten by each.
    many = problem(SMALL_ROWS, iunit=9) * 10000 + CLOSING
    r = run(exe, many)
    if r.status != 0 or r.out.count(SMALL_OBJECTIVE) != 10000:
        failures.append('10,000 problems: status %d, %d results'
                        % (r.status, r.out.count(SMALL_OBJECTIVE)))
    peak = measure('10,000 problems', many)
    if peak > base + GROWTH_MIB * 1024:
        failures.append('10,000 problems: peak grew from %d to %d KiB' % (base, peak))

    # Lines of 1 MB: the columns past the last field are not read.
    tail = b'x' * (1 << 20)
    one = problem(SMALL_ROWS).split(b'\n')
    long_lines = b'\n'.join(line + b' ' * 120 + tail if line else line for line in one)
    r = run(exe, long_lines + CLOSING)
    if r.status != 0 or not r.out.endswith(SMALL_OBJECTIVE + b'Stop - Program terminated.\r\n'):
        failures.append('1 MB lines: status %d, stderr %r, tail %r' % (r.status, r.err[:100], r.out[-80:]))
    measure('1 MB lines', long_lines + CLOSING)
    # Problems that cycle: each solve ends at the iteration limit, reports no
    # solution, and leaves the basis where the cycle stood after 100000
    # pivots (100000 = 6 x 16666 + 4: the fourth basis of the six).
    cycling = problem(CYCLING_ROWS, iunit=-1) * 3 + problem(SMALL_ROWS) + CLOSING
    r = run(exe, cycling)
    after = r.out.split(b' ========== DATA AFTER  CALLING LINEAR ==========\r\n')[1:]
    if r.status != 0 or len(after) != 4 or r.out.count(b'VALUES OF VARIABLES') != 1:
        failures.append('cycling: status %d, %d solves' % (r.status, len(after)))
    for k, text in enumerate(after[:3]):
        labels = text.split(b'\r\n')[5:7]
        if labels != [b'     3    4    7', b'     5    6    1    2']:
            failures.append('cycling problem %d: labels after the call %r' % (k + 1, labels))
    measure('cycling', cycling)
    # The print shows every pivot: entry, before the first iteration and
    # after each of the 100000.
    if not is_sanitized(exe):
        r = run(exe, problem(CYCLING_ROWS, iout=6) + CLOSING)
        prints = r.out.count(b'<--   DJ\r\n')
        if prints != 100002:
            failures.append('cycling with the print on: %d prints, expected 100002' % prints)

    for name, peak in peaks.items():
        print('peak resident size, %s: %.1f MiB' % (name, peak / 1024.0))
    for f in failures:
        print(f)
    print('%d failed' % len(failures))
    if failures:
        print('seed %d: KARVON_TEST_SEED=%d replays this run' % (seed, seed))
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
