#!/usr/bin/env python3
"""Devices and files that fail under the running program: each failure ends
the run with its one report line and status, and what was written before it
stays whole.

Usage: failing_devices_test.py KARVON"""
import os
import resource
import shutil
import subprocess
import sys
import tempfile

from karvon_decks import CLOSING, SMALL_ROWS, clean_env, is_sanitized, problem

SOLVE = problem(SMALL_ROWS, iout=0)
SOLVE_SCRATCH = problem(SMALL_ROWS, iunit=9, iout=0)
SOLVE_PRINT7 = problem(SMALL_ROWS, iout=7)
# The records written before LINEAR's first print: the echo before the call.
ECHO_BEFORE_END = b'     3    4\r\n     1    2\r\n'


def report(n, text):
    return b'forrtl: severe (%d): %s\n' % (n, text.encode())


def start(exe, cwd, deck, stdin=None, stdout=subprocess.PIPE, env=None,
          preexec=None, argv0=None):
    """Starts karvon; `deck` goes to standard input unless `stdin` is given."""
    p = subprocess.Popen([argv0 or exe], executable=exe,
                         stdin=stdin if stdin is not None else subprocess.PIPE,
                         stdout=stdout, stderr=subprocess.PIPE, cwd=cwd,
                         env=clean_env(env), preexec_fn=preexec)
    return p


def finish(p, deck):
    out, err = p.communicate(deck if p.stdin else None, timeout=60)
    return out or b'', err, p.returncode


class Cases:
    def __init__(self, exe):
        self.exe = exe
        self.failures = []
        self.skipped = []
        self.checks = 0

    def check(self, name, got, want):
        self.checks += 1
        if got != want:
            self.failures.append('%s: got %r, expected %r' % (name, got, want))

    def dir(self):
        d = tempfile.mkdtemp(prefix='karvon_devices_')
        os.chmod(d, 0o755)
        return d

    # -- standard streams -------------------------------------------------

    def stdout_on_dev_full(self):
        d = self.dir()
        with open('/dev/full', 'wb') as full:
            p = start(self.exe, d, None, stdout=full)
            _, err, rc = finish(p, SOLVE + CLOSING)
        self.check('/dev/full: report', err, report(38, 'error during write, unit 6, file CONOUT$'))
        self.check('/dev/full: status', rc, 38)
        shutil.rmtree(d)

    def stdin_is_directory(self):
        d = self.dir()
        fd = os.open(d, os.O_RDONLY | os.O_DIRECTORY)
        try:
            p = start(self.exe, d, None, stdin=fd)
            out, err, rc = finish(p, None)
        finally:
            os.close(fd)
        self.check('stdin directory: report', err, report(39, 'error during read, unit 5, file CONIN$'))
        self.check('stdin directory: status', rc, 39)
        self.check('stdin directory: output', out, b'')
        shutil.rmtree(d)

    def closed_streams(self):
        # Standard output closed: the scratch file opened later must not take
        # its place (the echo would land in LP.TMP); the write fails instead,
        # at the echo's first record, before the solve writes LP.TMP.
        d = self.dir()
        p = start(self.exe, d, None, stdout=subprocess.DEVNULL, preexec=lambda: os.close(1))
        _, err, rc = finish(p, SOLVE_SCRATCH + CLOSING)
        self.check('stdout closed: report', err, report(38, 'error during write, unit 6, file CONOUT$'))
        self.check('stdout closed: status', rc, 38)
        self.check('stdout closed: LP.TMP size', os.path.getsize(os.path.join(d, 'LP.TMP')), 0)
        shutil.rmtree(d)
        # Standard input closed: a failed read.
        d = self.dir()
        p = start(self.exe, d, None, stdin=subprocess.DEVNULL, preexec=lambda: os.close(0))
        out, err, rc = finish(p, None)
        self.check('stdin closed: report', err, report(39, 'error during read, unit 5, file CONIN$'))
        self.check('stdin closed: status', rc, 39)
        shutil.rmtree(d)
        # Standard error closed: no report can be seen, the status still
        # tells, and no file receives the report instead.
        d = self.dir()
        with tempfile.TemporaryFile() as deck:
            deck.write(SOLVE_SCRATCH)
            deck.seek(0)
            p = subprocess.Popen([self.exe], stdin=deck, stdout=subprocess.PIPE,
                                 stderr=subprocess.DEVNULL, cwd=d, env=clean_env(),
                                 preexec_fn=lambda: os.close(2))
            out, _ = p.communicate(timeout=60)
        self.check('stderr closed: status', p.returncode, 24)
        self.check('stderr closed: output kept', out.endswith(b'-5.00000000E+00\r\n'), True)
        self.check('stderr closed: LP.TMP size', os.path.getsize(os.path.join(d, 'LP.TMP')), 8 + 72)
        shutil.rmtree(d)

    def file_size_limit(self):
        # Past `ulimit -f` a write fails (no SIGXFSZ kill): reported like any
        # refused write, on standard output and on the scratch file alike.
        def limit(size=50000):
            resource.setrlimit(resource.RLIMIT_FSIZE, (size, size))
        d = self.dir()
        with open(os.path.join(d, 'out'), 'wb') as out:
            p = start(self.exe, d, None, stdout=out, preexec=limit)
            _, err, rc = finish(p, problem(SMALL_ROWS, iout=6) * 100 + CLOSING)
        self.check('file-size limit, stdout: report', err,
                   report(38, 'error during write, unit 6, file CONOUT$'))
        self.check('file-size limit, stdout: status', rc, 38)
        wide = [[1.0] * 60 + [10.0]] * 49 + [[-1.0] * 60 + [0.0]]
        # The record is 24,408 bytes.
        p = start(self.exe, d, None, preexec=lambda: limit(10000))
        out, err, rc = finish(p, problem(wide, iunit=9) + CLOSING)
        self.check('file-size limit, LP.TMP: report', err,
                   report(38, 'error during write, unit 9, file %s/LP.TMP' % d))
        self.check('file-size limit, LP.TMP: status', rc, 38)
        self.check('file-size limit, LP.TMP: echo kept',
                   out.startswith(b' ********** DATA BEFORE CALLING LINEAR'), True)
        shutil.rmtree(d)

    def pipe_reader_exits_early(self):
        # SIGPIPE is ignored: the refused write is reported like any other.
        d = self.dir()
        deck = problem(SMALL_ROWS, iout=6) * 200 + CLOSING
        p = start(self.exe, d, None, stdin=subprocess.PIPE)
        p.stdin.write(deck)
        p.stdin.close()
        first = p.stdout.read(100)
        p.stdout.close()
        err = p.stderr.read()
        rc = p.wait(timeout=60)
        self.check('pipe closed: first bytes', first[:49], b' ********** DATA BEFORE CALLING LINEAR **********')
        self.check('pipe closed: report', err, report(38, 'error during write, unit 6, file CONOUT$'))
        self.check('pipe closed: status', rc, 38)
        shutil.rmtree(d)

    # -- named files ------------------------------------------------------

    def scratch_in_unwritable_directory(self):
        d = self.dir()
        run_dir = os.path.join(d, 'ro')
        os.mkdir(run_dir)
        os.chmod(run_dir, 0o555)
        # Root writes anywhere: run as an unprivileged user where we can.
        exe = os.path.join(d, 'karvon')
        shutil.copy(self.exe, exe)
        preexec = None
        if os.geteuid() == 0:
            setpriv = shutil.which('setpriv')
            if setpriv is None:
                self.skipped.append('LP.TMP in an unwritable directory: running as root '
                                    'and setpriv is missing')
                shutil.rmtree(d)
                return
            cmd = [setpriv, '--reuid=65534', '--regid=65534', '--clear-groups', exe]
        else:
            cmd = [exe]
        p = subprocess.Popen(cmd, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                             stderr=subprocess.PIPE, cwd=run_dir, env=clean_env(),
                             preexec_fn=preexec)
        out, err = p.communicate(SOLVE_SCRATCH + CLOSING, timeout=60)
        self.check('unwritable directory: report', err, report(600, 'access not allowed'))
        self.check('unwritable directory: status', p.returncode, 600 % 256)
        self.check('unwritable directory: output', out, b'')
        self.check('unwritable directory: files', os.listdir(run_dir), [])
        shutil.rmtree(d)

    def print_unit_names(self):
        d = self.dir()
        os.symlink('loop', os.path.join(d, 'loop'))
        with open(os.path.join(d, 'plain'), 'wb'):
            pass
        cases = [
            # A directory on the path that does not exist: a bad name.
            (os.path.join(d, 'missing', 'print.txt'), 43, 'file name specification error'),
            # A path through a plain file: a bad name.
            (os.path.join(d, 'plain', 'print.txt'), 43, 'file name specification error'),
            # A directory in place of the file: a bad name.
            (d, 43, 'file name specification error'),
            # A link that points at itself: any other failure.
            (os.path.join(d, 'loop'), 30, 'open failure'),
        ]
        for path, number, text in cases:
            p = start(self.exe, d, None, env={'FORT7': '  %s  ' % path})
            out, err, rc = finish(p, SOLVE_PRINT7 + CLOSING)
            want = report(number, '%s, unit 7, file %s' % (text, path))
            self.check('FORT7=%s: report' % path, err, want)
            self.check('FORT7=%s: status' % path, rc, number)
            self.check('FORT7=%s: echo kept' % path, out.endswith(ECHO_BEFORE_END), True)
        shutil.rmtree(d)

    def out_of_descriptors(self):
        # Room for the standard streams and LP.TMP only: the print file
        # cannot be opened.
        if is_sanitized(self.exe):
            # UBSan checks each virtual call by probing the object's memory
            # through a pipe; with no descriptor to spare, that probe fails
            # and the check reports a fault that is not there.
            self.skipped.append('no descriptor left: the sanitizers need descriptors of their own')
            return
        d = self.dir()
        p = start(self.exe, d, None,
                  preexec=lambda: resource.setrlimit(resource.RLIMIT_NOFILE, (4, 4)))
        out, err, rc = finish(p, problem(SMALL_ROWS, iunit=9, iout=7) + CLOSING)
        self.check('no descriptor left: report', err, report(603, 'too many open files'))
        self.check('no descriptor left: status', rc, 603 % 256)
        self.check('no descriptor left: echo kept', out.endswith(ECHO_BEFORE_END), True)
        self.check('no descriptor left: files', sorted(os.listdir(d)), ['LP.TMP'])
        shutil.rmtree(d)

    def error_file_cannot_open(self):
        d = self.dir()
        for fort0 in (os.path.join(d, 'missing', 'errors.log'), d):
            p = start(self.exe, d, None, env={'FORT0': fort0})
            out, err, rc = finish(p, SOLVE)
            self.check('FORT0=%s: report on stderr' % fort0, err,
                       report(24, 'end-of-file during read, unit 5, file CONIN$'))
            self.check('FORT0=%s: status' % fort0, rc, 24)
            self.check('FORT0=%s: output kept' % fort0, out.endswith(b'-5.00000000E+00\r\n'), True)
        shutil.rmtree(d)


def main():
    exe = os.path.abspath(sys.argv[1])
    cases = Cases(exe)
    for case in (cases.stdout_on_dev_full, cases.stdin_is_directory, cases.closed_streams,
                 cases.file_size_limit, cases.pipe_reader_exits_early, cases.scratch_in_unwritable_directory,
                 cases.print_unit_names, cases.out_of_descriptors,
                 cases.error_file_cannot_open):
        case()
    for s in cases.skipped:
        print('skipped: ' + s)
    for f in cases.failures:
        print(f)
    print('%d checks, %d failed' % (cases.checks, len(cases.failures)))
    return 1 if cases.failures else 0


if __name__ == '__main__':
    sys.exit(main())
