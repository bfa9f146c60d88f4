#!/usr/bin/env python3
"""How a run ends: a failure never exits 0, and the last line of input is
read as it stands.

- Error 256 ("Message not found": an unformatted transfer on a unit
  connected for formatted transfer) has a status code that is a multiple of
  256: it exits 255.
- Only a carriage return directly before a line feed is dropped: one that
  ends an unterminated last line stays in the record, and in an I field it
  is error 64.

Usage: endings_test.py KARVON"""
import os
import shutil
import sys
import tempfile

from karvon_decks import SMALL_ROWS, Checks, problem, report_line, run, run_merged

EXE = None


def message_not_found_exits_255(c):
    d = tempfile.mkdtemp(prefix='karvon_endings_')
    # The first problem prints on unit 7, connected to LP.TMP by FORT7; the
    # second has IUNIT = 7: the open of LP.TMP on unit 7 finds that same file
    # there, and the scratch write is an unformatted transfer on it.
    deck = problem(SMALL_ROWS, iout=7) + problem(SMALL_ROWS, iunit=7)
    apart = run(EXE, deck, env={'FORT7': 'LP.TMP'})
    r = run_merged(EXE, deck, cwd=d, env={'FORT7': 'LP.TMP'})
    want = report_line(256, 'Message not found')
    c.check('256: report', apart.err, want)
    c.check('256: merged file holds the records, then the report', r.out, apart.out + want)
    c.check('256: second echo written', apart.out.count(b'DATA BEFORE CALLING LINEAR'), 2)
    c.check('256: status', r.status, 255)
    c.check('256: files', r.files, ['LP.TMP'])
    with open(os.path.join(d, 'LP.TMP'), 'rb') as f:
        lp = f.read()
    c.check('256: LP.TMP holds the first problem\'s print, whole', lp.endswith(b'\r\n'), True)
    shutil.rmtree(d)


def carriage_return_ends_last_line(c):
    settings = b'    0    0\n'
    cases = [
        # The header `    0` + CR: the CR is column 6, in the N field.
        ('CR ends the input', settings + b'    0\r',
         report_line(64, 'input conversion error, unit 5, file CONIN$'), 64),
        ('CR LF ends the input', settings + b'    0\r\n',
         b'Stop - Program terminated.\r\n', 0),
        ('nothing ends the input', settings + b'    0',
         b'Stop - Program terminated.\r\n', 0),
        # A CR inside the last line, then its end: the same error.
        ('CR then more', settings + b"    0\r    0",
         report_line(64, 'input conversion error, unit 5, file CONIN$'), 64),
    ]
    for name, deck, want, status in cases:
        r = run_merged(EXE, deck)
        c.check('%s: merged output' % name, r.out, want)
        c.check('%s: status' % name, r.status, status)
        c.check('%s: files' % name, r.files, [])


def main():
    global EXE
    EXE = os.path.abspath(sys.argv[1])
    return Checks().main([message_not_found_exits_255, carriage_return_ends_last_line])


if __name__ == '__main__':
    sys.exit(main())
