#!/usr/bin/env python3
"""The README's recipe for running many decks with GNU parallel, run as
written on a few decks: each deck's output, errors and exit status must
equal those of the deck run alone, and the failure summary must name
exactly the failing decks.

Usage: parallel_recipe_test.py KARVON README E2E_FOLDER"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

# Decks that end normally, keep LP.TMP (IUNIT > 0), print the tableau, and
# one that fails (end of input inside a problem).
DECKS = ['worked_example_print', 'scratch_file_holds_last_tableau',
         'unbounded_and_infeasible', 'comma_fields', 'eof_mid_problem']


def recipe(readme):
    text = open(readme, encoding='utf-8').read()
    m = re.search(r'<!-- parallel-recipe -->\n```sh\n(.*?)```', text, re.S)
    if not m:
        sys.exit('the README has no parallel recipe')
    return m.group(1)


def alone(karvon, deck):
    with tempfile.TemporaryDirectory() as run:
        with open(deck, 'rb') as f:
            p = subprocess.run([karvon], stdin=f, capture_output=True, cwd=run)
        return p.stdout, p.stderr, b'%d\n' % p.returncode


def main():
    karvon, readme, e2e = (os.path.abspath(a) for a in sys.argv[1:4])
    if shutil.which('parallel') is None:
        sys.exit('GNU parallel is not installed (Debian package parallel)')
    failures = []
    with tempfile.TemporaryDirectory() as top:
        os.mkdir(os.path.join(top, 'decks'))
        for name in DECKS:
            shutil.copy(os.path.join(e2e, name + '.in'),
                        os.path.join(top, 'decks', name + '.dat'))
        bin_dir = os.path.join(top, 'bin')
        os.mkdir(bin_dir)
        os.symlink(os.path.abspath(karvon), os.path.join(bin_dir, 'karvon'))
        env = dict(os.environ, PATH=bin_dir + os.pathsep + os.environ['PATH'],
                   HOME=top)
        p = subprocess.run(['bash', '-c', recipe(readme)], cwd=top, env=env,
                           capture_output=True, text=True, timeout=300)
        summary = [l for l in p.stdout.splitlines() if l.startswith('FAILED')]
        if summary != ['FAILED (exit status 24): decks/eof_mid_problem.dat']:
            failures.append('failure summary: %r (stderr %r)' % (summary, p.stderr[-500:]))
        for name in DECKS:
            deck = os.path.join(top, 'decks', name + '.dat')
            want = alone(karvon, deck)
            for suffix, expected in zip(('.out', '.err', '.status'), want):
                path = deck + suffix
                got = open(path, 'rb').read() if os.path.exists(path) else None
                if got != expected:
                    failures.append('%s%s differs from the deck run alone' % (name, suffix))
            if not os.path.isdir(deck + '.dir'):
                failures.append('%s ran without a directory of its own' % name)
        if not os.path.exists(os.path.join(top, 'decks',
                                           'scratch_file_holds_last_tableau.dat.dir',
                                           'LP.TMP')):
            failures.append('LP.TMP is not kept in the deck\'s own directory')
    for f in failures:
        print('FAIL:', f)
    sys.exit(1 if failures else 0)


if __name__ == '__main__':
    main()
