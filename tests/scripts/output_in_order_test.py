#!/usr/bin/env python3
"""Collected output still arrives in order and in time.

- Every ending writes out the records of every unit before its report line:
  in a file holding both streams (`karvon < deck > out 2>&1`) the report comes
  last, after every record the run wrote (an error, the invalid-header
  message, a console event).
- Before karvon waits for more input it writes out what is pending: a reader
  at the other end of a pipe gets each problem's output while the input stays
  open.
- The first record of each unit goes straight to its file: a device that
  refuses writes (/dev/full, a pipe whose reader has left) ends the run at
  the first record, before the solve writes LP.TMP.
- Unit 5 is connected for input: the first write to it ends the run with
  error 38, whether standard input is a file or a terminal.

Usage: output_in_order_test.py KARVON"""
import os
import pty
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import termios
import time

from karvon_decks import (CLOSING, CYCLING_ROWS, SMALL_OBJECTIVE, SMALL_ROWS, Checks, clean_env,
                          problem, report_line, run, run_merged)

EXE = None

# What unit 6 shows of a problem with IOUT = 5 before LINEAR's first print:
# the echo before the call.
ECHO_BEFORE_CALL = (b' ********** DATA BEFORE CALLING LINEAR **********\r\n'
                    b'  1.000E+00 1.000E+00 4.000E+00\r\n'
                    b'  1.000E+00 3.000E+00 6.000E+00\r\n'
                    b' -1.000E+00-2.000E+00 0.000E+00\r\n'
                    b'  1.000E+30 1.000E+30 1.000E+30 1.000E+30\r\n'
                    b'     3    4\r\n'
                    b'     1    2\r\n')
UNIT5_REPORT = report_line(38, 'error during write, unit 5, file CONIN$')


def temp_dir():
    d = tempfile.mkdtemp(prefix='karvon_order_')
    os.chmod(d, 0o755)
    return d


def read_until(fd, done, timeout):
    """Reads from `fd` until done(data) holds, the other end closes, or
    `timeout` seconds pass; never blocks longer than that."""
    data = b''
    deadline = time.monotonic() + timeout
    while not done(data):
        left = deadline - time.monotonic()
        if left <= 0:
            break
        ready, _, _ = select.select([fd], [], [], min(left, 0.2))
        if not ready:
            continue
        chunk = os.read(fd, 65536)
        if not chunk:
            break
        data += chunk
    return data


# -- the report comes after the output ---------------------------------------

def report_after_output(c):
    endings = [
        # Input ends inside the second problem.
        ('end of input', problem(SMALL_ROWS, iout=6) + problem(SMALL_ROWS)[:40], 24,
         report_line(24, 'end-of-file during read, unit 5, file CONIN$')),
        # A bad field while the records are still collected.
        ('bad field', problem(SMALL_ROWS, iout=6) + b'    0    0\n    3    x\n', 64,
         report_line(64, 'input conversion error, unit 5, file CONIN$')),
        ('invalid header', problem(SMALL_ROWS, iout=6) + b'    0    0\n   -1    3    0\n', 2,
         b'KARVON: invalid problem header: M = -1, N = 3\n'),
        # The print file too is written out before the report.
        ('print on unit 7', problem(SMALL_ROWS, iout=7) + b'    0    0\n    3    x\n', 64,
         report_line(64, 'input conversion error, unit 5, file CONIN$')),
    ]
    for name, deck, status, last_line in endings:
        apart = run(EXE, deck)
        d = temp_dir()
        merged = run_merged(EXE, deck, cwd=d)
        c.check('%s: stream apart' % name, apart.err, last_line)
        c.check('%s: merged file holds the records, then the report' % name, merged.out,
                apart.out + last_line)
        c.check('%s: status' % name, merged.status, status)
        if name == 'print on unit 7':
            c.check('%s: files' % name, merged.files, ['fort.7'])
            with open(os.path.join(d, 'fort.7'), 'rb') as f:
                c.check('%s: print file written out' % name, f.read().endswith(b'\r\n'), True)
        else:
            c.check('%s: files' % name, merged.files, [])
        shutil.rmtree(d)


def console_event_after_output(c):
    # Cycling problems with the print on run for seconds (each writes 58 MB),
    # their records collected in the buffer: Ctrl-C comes while some are
    # pending.
    d = temp_dir()
    with tempfile.TemporaryFile() as deck, tempfile.TemporaryFile() as out:
        deck.write(problem(CYCLING_ROWS, iout=6) * 8 + CLOSING)
        deck.seek(0)
        p = subprocess.Popen([EXE], stdin=deck, stdout=out, stderr=subprocess.STDOUT, cwd=d,
                             env=clean_env())
        try:
            time.sleep(0.3)
            p.send_signal(signal.SIGINT)
            rc = p.wait(timeout=60)
        finally:
            if p.poll() is None:
                p.kill()
                p.wait()
        out.seek(0)
        merged = out.read()
    want = report_line(200, 'program aborting due to control-C event', severity='error')
    c.check('Ctrl-C: status', rc, 130)
    c.check('Ctrl-C: the report is the last line', merged.endswith(want), True)
    c.check('Ctrl-C: one report', merged.count(b'forrtl'), 1)
    c.check('Ctrl-C: whole records before it', merged[:-len(want)].endswith(b'\r\n'), True)
    c.check('Ctrl-C: records were written', len(merged) > 4096, True)
    c.check('Ctrl-C: files', os.listdir(d), [])
    shutil.rmtree(d)


# -- a pipe reader gets each problem without waiting for the end ---------------

def pipe_reader_gets_each_problem(c):
    one = run(EXE, problem(SMALL_ROWS)).out
    c.check('pipe: one problem alone ends with its result', one.endswith(SMALL_OBJECTIVE), True)
    d = temp_dir()
    p = subprocess.Popen([EXE], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                         stderr=subprocess.PIPE, cwd=d, env=clean_env())
    try:
        for k in (1, 2):
            # One whole problem, and the pipe stays open.
            p.stdin.write(problem(SMALL_ROWS))
            p.stdin.flush()
            got = read_until(p.stdout.fileno(), lambda data: len(data) >= len(one), timeout=10)
            c.check('pipe: problem %d arrives while the input stays open' % k, got, one)
        p.stdin.write(CLOSING)
        p.stdin.close()
        rest = read_until(p.stdout.fileno(), lambda data: False, timeout=10)
        rc = p.wait(timeout=10)
        c.check('pipe: the stop record after the closing header', rest,
                b'Stop - Program terminated.\r\n')
        c.check('pipe: status', rc, 0)
        c.check('pipe: nothing on standard error', p.stderr.read(), b'')
    finally:
        if p.poll() is None:
            p.kill()
            p.wait()
    c.check('pipe: files', os.listdir(d), [])
    shutil.rmtree(d)


# -- a device that refuses writes stops the run at the first record -----------

def refusing_device_stops_at_first_record(c):
    deck = problem(SMALL_ROWS, iunit=9) * 2 + CLOSING
    want = report_line(38, 'error during write, unit 6, file CONOUT$')
    for name in ('/dev/full', 'a pipe whose reader has left'):
        d = temp_dir()
        if name == '/dev/full':
            stdout = os.open('/dev/full', os.O_WRONLY)
        else:
            r, stdout = os.pipe()
            os.close(r)
        with tempfile.TemporaryFile() as deck_file:
            deck_file.write(deck)
            deck_file.seek(0)
            p = subprocess.Popen([EXE], stdin=deck_file, stdout=stdout, stderr=subprocess.PIPE,
                                 cwd=d, env=clean_env())
            os.close(stdout)
            try:
                _, err = p.communicate(timeout=60)
            finally:
                if p.poll() is None:
                    p.kill()
                    p.wait()
        c.check('%s: report' % name, err, want)
        c.check('%s: status' % name, p.returncode, 38)
        c.check('%s: files' % name, os.listdir(d), ['LP.TMP'])
        c.check('%s: LP.TMP left empty (no solve ran)' % name,
                os.path.getsize(os.path.join(d, 'LP.TMP')), 0)
        shutil.rmtree(d)


# -- a write to unit 5 fails at once -------------------------------------------

def write_to_unit5_fails_at_once(c):
    deck = problem(SMALL_ROWS, iout=5) + CLOSING
    # Standard input a file.
    merged = run_merged(EXE, deck)
    c.check('unit 5, input from a file: merged output', merged.out, ECHO_BEFORE_CALL + UNIT5_REPORT)
    c.check('unit 5, input from a file: status', merged.status, 38)
    c.check('unit 5, input from a file: files', merged.files, [])
    # Standard input a terminal, whose descriptor would take the bytes.
    d = temp_dir()
    master, slave = pty.openpty()
    attrs = termios.tcgetattr(slave)
    attrs[3] &= ~termios.ECHO
    termios.tcsetattr(slave, termios.TCSANOW, attrs)
    with tempfile.TemporaryFile() as out:
        p = subprocess.Popen([EXE], stdin=slave, stdout=out, stderr=subprocess.STDOUT, cwd=d,
                             env=clean_env())
        os.close(slave)
        try:
            os.write(master, deck)
            rc = p.wait(timeout=30)
        finally:
            if p.poll() is None:
                p.kill()
                p.wait()
            os.close(master)
        out.seek(0)
        got = out.read()
    c.check('unit 5, input from a terminal: merged output', got, ECHO_BEFORE_CALL + UNIT5_REPORT)
    c.check('unit 5, input from a terminal: status', rc, 38)
    c.check('unit 5, input from a terminal: files', os.listdir(d), [])
    shutil.rmtree(d)


def main():
    global EXE
    EXE = os.path.abspath(sys.argv[1])
    return Checks().main([report_after_output, console_event_after_output,
                          pipe_reader_gets_each_problem, refusing_device_stops_at_first_record,
                          write_to_unit5_fails_at_once])


if __name__ == '__main__':
    sys.exit(main())
