#!/usr/bin/env python3
"""The README's recipe for running many decks with GNU parallel, run as
written on a few decks, twice on the same folder: first without a terminal
(nothing on standard error, no progress bar), then on a terminal (the
progress bar). After each run every deck's output and exit status must
equal those of the deck run alone, its errors too, or, for a deck that did
not end normally and wrote none (a solver stop), one line naming its exit
status and stop; the failure summary must name exactly the failing decks.

Usage: parallel_recipe_test.py KARVON README TESTS_FOLDER"""
import os
import pty
import re
import shutil
import subprocess
import sys
import tempfile

# Decks that end normally, keep LP.TMP (IUNIT > 0), print the tableau; one
# that fails with a report (end of input inside a problem), one with a
# message (an invalid header), one that the solver stops (Return code 2222).
DECKS = ['e2e/worked_example_print.in', 'e2e/scratch_file_holds_last_tableau.in',
         'e2e/unbounded_and_infeasible.in', 'e2e/comma_fields.in',
         'e2e/eof_mid_problem.in', 'e2e/bad_header_negative_m.in', 'golden/0072_dup.txt']
SUMMARY = ['FAILED (exit status 2): decks/bad_header_negative_m.dat: '
           'KARVON: invalid problem header: M = -1, N = 3',
           'FAILED (exit status 174): decks/dup.dat: exit status 174: Return code 2222',
           'FAILED (exit status 24): decks/eof_mid_problem.dat: '
           'forrtl: severe (24): end-of-file during read, unit 5, file CONIN$']


def recipe(readme):
    text = open(readme, encoding='utf-8').read()
    m = re.search(r'<!-- parallel-recipe -->\n```sh\n(.*?)```', text, re.S)
    if not m:
        sys.exit('the README has no parallel recipe')
    return m.group(1)


def deck_name(path):
    return re.sub(r'^\d+_', '', os.path.splitext(os.path.basename(path))[0]) + '.dat'


def alone(karvon, deck):
    """What the recipe must leave for `deck`: .out, .err, .status."""
    with tempfile.TemporaryDirectory() as run:
        with open(deck, 'rb') as f:
            p = subprocess.run([karvon], stdin=f, capture_output=True, cwd=run)
    err = p.stderr
    if p.returncode != 0 and not err:
        stop = p.stdout.rstrip(b'\r\n').split(b'\r\n')[-1]
        err = b'exit status %d: %s\n' % (p.returncode, stop)
    return p.stdout, err, b'%d\n' % p.returncode


def on_terminal(command, cwd, env):
    """Runs `command` with bash, all three streams on a new terminal; returns
    what the terminal showed."""
    pid, master = pty.fork()
    if pid == 0:
        try:
            os.chdir(cwd)
            os.execve('/bin/bash', ['bash', '-c', command], env)
        finally:
            os._exit(127)
    screen = b''
    while True:
        try:
            data = os.read(master, 65536)
        except OSError:  # the terminal's other side is closed
            break
        if not data:
            break
        screen += data
    os.waitpid(pid, 0)
    os.close(master)
    return screen.decode(errors='replace')


def main():
    karvon, readme, tests = (os.path.abspath(a) for a in sys.argv[1:4])
    if shutil.which('parallel') is None:
        sys.exit('GNU parallel is not installed (Debian package parallel)')
    failures = []
    with tempfile.TemporaryDirectory() as top:
        os.mkdir(os.path.join(top, 'decks'))
        for deck in DECKS:
            shutil.copy(os.path.join(tests, deck), os.path.join(top, 'decks', deck_name(deck)))
        bin_dir = os.path.join(top, 'bin')
        os.mkdir(bin_dir)
        os.symlink(os.path.abspath(karvon), os.path.join(bin_dir, 'karvon'))
        env = dict(os.environ, PATH=bin_dir + os.pathsep + os.environ['PATH'],
                   HOME=top)
        for where in ('without a terminal', 'on a terminal'):
            if where == 'on a terminal':
                shown = on_terminal(recipe(readme), top, env)
                summary = [l.rstrip('\r') for l in shown.split('\n') if l.startswith('FAILED')]
                if '100%' not in shown:
                    failures.append('%s: no progress bar: %r' % (where, shown[-300:]))
            else:
                p = subprocess.run(['bash', '-c', recipe(readme)], cwd=top, env=env,
                                   stdin=subprocess.DEVNULL, capture_output=True,
                                   text=True, timeout=300)
                summary = [l for l in p.stdout.splitlines() if l.startswith('FAILED')]
                if p.stderr:
                    failures.append('%s: standard error %r' % (where, p.stderr[-300:]))
            if summary != SUMMARY:
                failures.append('%s: failure summary %r' % (where, summary))
            for deck in DECKS:
                path = os.path.join(top, 'decks', deck_name(deck))
                for suffix, expected in zip(('.out', '.err', '.status'), alone(karvon, path)):
                    got = open(path + suffix, 'rb').read() if os.path.exists(path + suffix) else None
                    if got != expected:
                        failures.append('%s: %s%s is %r, expected %r' % (
                            where, deck_name(deck), suffix, (got or b'')[-80:], expected[-80:]))
                if not os.path.isdir(path + '.dir'):
                    failures.append('%s: %s ran without a directory of its own' % (where, deck))
            if not os.path.exists(os.path.join(
                    top, 'decks', 'scratch_file_holds_last_tableau.dat.dir', 'LP.TMP')):
                failures.append('%s: LP.TMP is not kept in the deck\'s own directory' % where)
    for f in failures:
        print('FAIL:', f)
    sys.exit(1 if failures else 0)


if __name__ == '__main__':
    main()
