#!/usr/bin/env python3
"""File names as the system resolves them.

- A reported full path name has its `.` and `..` components dropped by the
  text alone, without following links.
- A report line is never cut, however long the working directory's name.
- When the working directory has been removed, opening a relative name fails
  with error 43 naming the file as given; nothing is created anywhere else.

Usage: file_names_test.py KARVON"""
import os
import shutil
import subprocess
import sys
import tempfile

from karvon_decks import SMALL_ROWS, Checks, clean_env, problem, report_line, run, run_merged

EXE = None


def temp_dir():
    d = os.path.realpath(tempfile.mkdtemp(prefix='karvon_names_'))
    os.chmod(d, 0o755)
    return d


def dot_components_dropped(c):
    d = temp_dir()
    os.mkdir(os.path.join(d, 'sub'))
    os.mkdir(os.path.join(d, 'sub', 'inner'))
    # A link whose `..` the system would take to sub/: by the text it is d.
    os.symlink(os.path.join(d, 'sub', 'inner'), os.path.join(d, 'link'))
    deck = problem(SMALL_ROWS)  # no closing header: the run ends with error 24
    with open(os.path.join(d, 'deck.txt'), 'wb') as f:
        f.write(deck)
    output = run(EXE, deck).out
    want = report_line(24, 'end-of-file during read, unit 5, file %s/deck.txt' % d)
    for name in ('%s/./deck.txt' % d, '%s/sub/../deck.txt' % d, '%s/link/../deck.txt' % d,
                 '%s//sub/./inner/../../deck.txt' % d, './sub/../deck.txt', 'link/../deck.txt'):
        r = run_merged(EXE, b'', cwd=d, env={'FORT5': name})
        c.check('FORT5=%s: merged output' % name, r.out, output + want)
        c.check('FORT5=%s: status' % name, r.status, 24)
        c.check('FORT5=%s: files' % name, r.files, ['deck.txt', 'link', 'sub'])
    shutil.rmtree(d)


def long_report_line_whole(c):
    base = temp_dir()
    d = base
    while len(d) < 600:
        d = os.path.join(d, 'a_rather_long_directory_name_%d' % len(d))
    os.makedirs(d)
    # The print unit is the scratch unit: error 257 names LP.TMP in full.
    r = run_merged(EXE, problem(SMALL_ROWS, iunit=9, iout=9), cwd=d)
    want = report_line(257, 'formatted I/O to unit open for unformatted transfers, unit 9, '
                       'file %s/LP.TMP' % d)
    c.check('long directory: the line is longer than 400', len(want) > 600, True)
    c.check('long directory: report whole and last', r.out.endswith(want), True)
    c.check('long directory: one report', r.out.count(b'forrtl'), 1)
    c.check('long directory: status', r.status, 257 % 256)
    c.check('long directory: files', r.files, ['LP.TMP'])
    shutil.rmtree(base)


# Runs in a child process: removes its own working directory, then becomes
# karvon, with the deck file on standard input.
_REMOVE_OWN_DIR = r"""
import os, sys
exe, deck = sys.argv[1], sys.argv[2]
os.rmdir(os.getcwd())
os.dup2(os.open(deck, os.O_RDONLY), 0)
os.execv(exe, [exe])
"""


def removed_working_directory(c):
    root_files = set(os.listdir('/'))
    cases = [
        ('LP.TMP', problem(SMALL_ROWS, iunit=9), {},
         report_line(43, 'file name specification error, unit 9, file LP.TMP'), b''),
        ('FORT7', problem(SMALL_ROWS, iout=7), {'FORT7': ' print.txt '},
         report_line(43, 'file name specification error, unit 7, file print.txt'), None),
        ('fort.7', problem(SMALL_ROWS, iout=7), {},
         report_line(43, 'file name specification error, unit 7, file fort.7'), None),
    ]
    for name, deck, env, want, output in cases:
        parent = temp_dir()
        d = os.path.join(parent, 'run')
        os.mkdir(d)
        deck_path = os.path.join(parent, 'deck')
        with open(deck_path, 'wb') as f:
            f.write(deck)
        with tempfile.TemporaryFile() as out:
            p = subprocess.run([sys.executable, '-c', _REMOVE_OWN_DIR, EXE, deck_path], cwd=d,
                               stdout=out, stderr=subprocess.STDOUT, env=clean_env(env),
                               timeout=60)
            out.seek(0)
            merged = out.read()
        if output is None:
            # The echo on unit 6 comes first; the print unit fails at its
            # first record.
            output = run(EXE, deck).out
            output = output[:output.index(b' ========== DATA AFTER')]
        c.check('removed directory, %s: merged output' % name, merged, output + want)
        c.check('removed directory, %s: status' % name, p.returncode, 43)
        c.check('removed directory, %s: nothing created beside it' % name,
                sorted(os.listdir(parent)), ['deck'])
        c.check('removed directory, %s: nothing created in /' % name,
                sorted(set(os.listdir('/')) - root_files), [])
        shutil.rmtree(parent)


def main():
    global EXE
    EXE = os.path.abspath(sys.argv[1])
    return Checks().main([dot_components_dropped, long_report_line_whole,
                          removed_working_directory])


if __name__ == '__main__':
    sys.exit(main())
