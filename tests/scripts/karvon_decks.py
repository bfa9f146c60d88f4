"""Decks in their fixed columns, and a way to run karvon on one that also
measures the child's peak resident size. Shared by the scripted end-to-end
tests of this folder."""
import os
import shutil
import subprocess
import sys
import tempfile

CLOSING = b'    0    0\n    0    0    0\n'


def ints(values):
    """Records of (11I5): eleven five-column integers a line."""
    values = list(values)
    lines = [''.join('%5d' % v for v in values[i:i + 11]) for i in range(0, len(values), 11)]
    return ('\n'.join(lines or ['']) + '\n').encode()


def reals(values):
    """Records of (11F10.0): eleven ten-column reals a line."""
    values = list(values)
    lines = [''.join(real_field(v) for v in values[i:i + 11]) for i in range(0, len(values), 11)]
    return ('\n'.join(lines or ['']) + '\n').encode()


def real_field(v):
    text = repr(float(v))
    if len(text) > 10:
        text = '%.3e' % v
    assert len(text) <= 10, text
    return text.rjust(10)


def problem(rows, bounds=(), kinds=None, cols=None, iunit=0, iout=0):
    """One problem: settings, header, the M rows of N values, the bounds, the
    row kinds (default: +1 for every constraint row) and the column labels
    (default: 0, the variable's own number)."""
    m, n = len(rows), len(rows[0])
    kinds = [1] * (m - 1) if kinds is None else kinds
    cols = [0] * (n - 1) if cols is None else cols
    out = ints([iunit, iout]) + ints([m, n, len(bounds)])
    for r in rows:
        assert len(r) == n
        out += reals(r)
    return out + reals(bounds) + ints(kinds) + ints(cols)


# The worked example: x1 + x2 <= 4, x1 + 3 x2 <= 6, minimise -x1 - 2 x2.
SMALL_ROWS = [[1, 1, 4], [1, 3, 6], [-1, -2, 0]]
SMALL_OBJECTIVE = b' OBJECTIVE FUNCTION  =-5.00000000E+00\r\n'

# A classic cycling problem: with the most negative reduced cost entering and
# these tie-breaks the basis comes back every six pivots, so only the
# iteration limit ends the solve.
CYCLING_ROWS = [[0.25, -8, -1, 9, 0], [0.5, -12, -0.5, 3, 0], [0, 0, 1, 0, 1],
                [-0.75, 20, -0.5, 6, 0]]


def largest_problem(rng):
    """M = 50, N = 61: 49 rows of x <= b with positive coefficients, so the
    problem is feasible and bounded."""
    rows = [[rng.randint(1, 9) for _ in range(60)] + [rng.randint(100, 999)] for _ in range(49)]
    rows.append([-rng.randint(1, 9) for _ in range(60)] + [0])
    return rows


def test_seed(default):
    """The seed of a randomised test: KARVON_TEST_SEED when set, so that a
    failure can be replayed, else the test's fixed default."""
    return int(os.environ.get('KARVON_TEST_SEED', default))


def clean_env(extra=None):
    env = {k: v for k, v in os.environ.items() if not k.startswith(('FORT', 'FOR_'))}
    env.update(extra or {})
    return env


def is_sanitized(exe):
    with open(exe, 'rb') as f:
        return b'__asan_init' in f.read()


class Run:
    def __init__(self, out, err, status, files):
        self.out, self.err, self.status, self.files = out, err, status, files


def run(exe, deck, cwd=None, env=None, timeout=120, merged=False):
    """Runs karvon with `deck` (bytes) on standard input and standard output
    in a file, in `cwd` (default: a fresh directory, removed afterwards).
    Returns a Run: output, error stream, exit status, files left in cwd.
    With `merged`, standard error goes to the same file as standard output
    (`karvon < deck > out 2>&1`), so that the order in which records and
    reports were written shows; `err` is then empty."""
    own_dir = cwd is None
    if own_dir:
        cwd = tempfile.mkdtemp(prefix='karvon_script_')
    with tempfile.TemporaryFile() as deck_file, tempfile.TemporaryFile() as out_file, \
            tempfile.TemporaryFile() as err_file:
        deck_file.write(deck)
        deck_file.seek(0)
        p = subprocess.Popen([exe], stdin=deck_file, stdout=out_file,
                             stderr=subprocess.STDOUT if merged else err_file,
                             cwd=cwd, env=clean_env(env))
        try:
            p.wait(timeout=timeout)
        finally:
            if p.poll() is None:
                p.kill()
                p.wait()
        out_file.seek(0)
        err_file.seek(0)
        out, err = out_file.read(), err_file.read()
    files = sorted(os.listdir(cwd))
    if own_dir:
        shutil.rmtree(cwd, ignore_errors=True)
    return Run(out, err, p.returncode, files)


def run_merged(exe, deck, cwd=None, env=None, timeout=120):
    """run() with standard output and standard error in one file."""
    return run(exe, deck, cwd, env, timeout, merged=True)


# Started as a fresh, small interpreter: a child forked from it carries only
# that interpreter's few MiB into its peak resident size (a fork keeps the
# parent's resident pages in the child's high-water mark, through exec), not
# the test's own data.
_MEASURE = r"""
import os, signal, sys
exe, deck, cwd, timeout = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
pid = os.fork()
if pid == 0:
    try:
        os.chdir(cwd)
        os.dup2(os.open(deck, os.O_RDONLY), 0)
        os.dup2(os.open(os.devnull, os.O_WRONLY), 1)
        os.execv(exe, [exe])
    finally:
        os._exit(127)
signal.signal(signal.SIGALRM, lambda *_: os.kill(pid, signal.SIGKILL))
signal.alarm(timeout)
_, status, usage = os.wait4(pid, 0)
print(os.waitstatus_to_exitcode(status), usage.ru_maxrss)
"""


def run_measured(exe, deck_path, cwd, env=None, timeout=120):
    """Runs karvon on the deck file, standard output to /dev/null; returns
    (exit status, peak resident size in KiB, standard error) of that child.
    The peak has a floor of about 5 MiB, the size of the interpreter that
    starts it."""
    p = subprocess.run([sys.executable, '-I', '-S', '-c', _MEASURE, exe, deck_path, cwd,
                        str(timeout)], capture_output=True, env=clean_env(env))
    status, peak = (int(v) for v in p.stdout.split())
    return status, peak, p.stderr


def report_line(number, text, severity='severe'):
    """A run-time error's report line as written on the error stream."""
    return b'forrtl: %s (%d): %s\n' % (severity.encode(), number, text.encode())


class Checks:
    """Named checks of one script; main() prints the failures and returns the
    script's exit status."""

    def __init__(self):
        self.failures = []
        self.count = 0

    def check(self, name, got, want):
        self.count += 1
        if got != want:
            self.failures.append('%s: got %r, expected %r' % (name, got, want))

    def main(self, cases):
        for case in cases:
            case(self)
        for f in self.failures:
            print(f)
        print('%d checks, %d failed' % (self.count, len(self.failures)))
        return 1 if self.failures else 0
