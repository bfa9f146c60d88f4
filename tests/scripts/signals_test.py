#!/usr/bin/env python3
"""Console events at random moments of a long run: while it reads, while it
solves with the tableau print on, while it rewrites LP.TMP. Each ends with
the event's report line and status 128 + the signal, standard output is a
prefix of the uninterrupted run's output ending at a whole record, and LP.TMP
holds one whole record. An event that arrives while a stop is being carried
out leaves that stop's status and output as they would have been.

Usage: signals_test.py KARVON [SEED]"""
import array
import fcntl
import os
import random
import signal
import struct
import subprocess
import sys
import tempfile
import termios
import time

from karvon_decks import CLOSING, SMALL_ROWS, clean_env, problem

EVENTS = [(signal.SIGINT, b'control-C'), (signal.SIGQUIT, b'control-BREAK'),
          (signal.SIGHUP, b'window-CLOSE')]


def big_problem(rng):
    """M = 50, N = 61: 49 rows of x <= b with positive coefficients, so the
    problem is feasible and bounded."""
    rows = [[rng.randint(1, 9) for _ in range(60)] + [rng.randint(100, 999)] for _ in range(49)]
    rows.append([-rng.randint(1, 9) for _ in range(60)] + [0])
    return rows


def block(rows):
    """The scratch record's data: the M x N block column by column."""
    m, n = len(rows), len(rows[0])
    return struct.pack('<%dd' % (m * n), *[float(rows[i][j]) for j in range(n) for i in range(m)])


# An uninterrupted run lasts at least this long (seconds), so that signals
# sent at random moments mostly find it running, in a fast build too.
MIN_DURATION = 0.3


class Scenario:
    """A deck made of `unit` repeated, then the closing records; the
    repetitions double until a run lasts MIN_DURATION."""

    def __init__(self, name, unit, slow_input=False, scratch_blocks=()):
        self.name, self.unit, self.copies = name, unit, 1
        self.slow_input = slow_input
        self.scratch_blocks = scratch_blocks

    @property
    def deck(self):
        return self.unit * self.copies + CLOSING


def feed(p, deck, slow):
    """Writes the deck to the child's standard input; slowly, in small
    pieces, when the run is to be caught reading."""
    try:
        if not slow:
            p.stdin.write(deck)
        else:
            for i in range(0, len(deck), 2048):
                p.stdin.write(deck[i:i + 2048])
                p.stdin.flush()
                time.sleep(0.002)
        p.stdin.close()
    except BrokenPipeError:
        pass


def wait_caught(p, sig, timeout=10):
    """Until the child catches `sig` (its handler installed), or it is gone."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        try:
            with open('/proc/%d/status' % p.pid) as f:
                caught = next(int(line.split()[1], 16) for line in f
                              if line.startswith('SigCgt:'))
        except (OSError, StopIteration):
            return
        if caught & (1 << (int(sig) - 1)):
            return
        time.sleep(0.001)


def run(exe, scenario, cwd, sig=None, delay=0.0):
    out_path = os.path.join(cwd, '..', os.path.basename(cwd) + '.out')
    with open(out_path, 'wb') as out:
        p = subprocess.Popen([exe], stdin=subprocess.PIPE, stdout=out,
                             stderr=subprocess.PIPE, cwd=cwd, env=clean_env())
        start = time.monotonic()
        if sig is None:
            feed(p, scenario.deck, scenario.slow_input)
        else:
            # The signal goes out from a timer while the deck is being fed,
            # but not before karvon catches it: a signal sent before its
            # start-up would meet the default action, not karvon.
            import threading

            def send():
                wait_caught(p, sig)
                p.send_signal(sig)
            timer = threading.Timer(delay, send)
            timer.start()
            feed(p, scenario.deck, scenario.slow_input)
            timer.join()
        err = p.stderr.read()
        rc = p.wait(timeout=120)
        elapsed = time.monotonic() - start
    with open(out_path, 'rb') as f:
        data = f.read()
    os.unlink(out_path)
    return data, err, rc, elapsed


def check_scratch(cwd, blocks, where, failures):
    path = os.path.join(cwd, 'LP.TMP')
    if not blocks:
        return
    if not os.path.exists(path):
        return
    with open(path, 'rb') as f:
        data = f.read()
    if not data:
        return  # opened, nothing saved yet
    if len(data) < 8:
        failures.append('%s: LP.TMP of %d bytes' % (where, len(data)))
        return
    length = struct.unpack('<I', data[:4])[0]
    if len(data) != 8 + length or data[-4:] != data[:4] or data[4:-4] not in blocks:
        failures.append('%s: LP.TMP is not one whole saved record (%d bytes, length %d)'
                        % (where, len(data), length))


def signal_during_run(exe, rng, scenarios, failures):
    hits = 0
    for scenario in scenarios:
        with tempfile.TemporaryDirectory() as top:
            cwd = os.path.join(top, 'run')
            os.mkdir(cwd)
            while True:
                for fn in os.listdir(cwd):
                    os.unlink(os.path.join(cwd, fn))
                full, err, rc, duration = run(exe, scenario, cwd)
                if duration >= MIN_DURATION or scenario.copies >= 1024 or rc != 0:
                    break
                scenario.copies *= 2
            if rc != 0 or err:
                failures.append('%s: uninterrupted run ended %d %r' % (scenario.name, rc, err))
                continue
            for sig, event in EVENTS:
                for fn in os.listdir(cwd):
                    os.unlink(os.path.join(cwd, fn))
                delay = rng.uniform(0.01, 0.7 * duration)
                where = '%s, %s after %.3fs' % (scenario.name, sig.name, delay)
                out, err, rc, _ = run(exe, scenario, cwd, sig, delay)
                if rc == 0 and out == full and not err:
                    continue  # the run ended before the signal came
                hits += 1
                want = b'forrtl: error (200): program aborting due to ' + event + b' event\n'
                if err != want or rc != 128 + sig:
                    failures.append('%s: status %d, stderr %r' % (where, rc, err))
                if not full.startswith(out) or (out and not out.endswith(b'\r\n')):
                    failures.append('%s: output is not a whole-record prefix (%d bytes, ends %r)'
                                    % (where, len(out), out[-30:]))
                check_scratch(cwd, scenario.scratch_blocks, where, failures)
    return hits


def pipe_bytes(fd):
    buf = array.array('i', [0])
    fcntl.ioctl(fd, termios.FIONREAD, buf, True)
    return buf[0]


def wait_blocked_on_full_pipe(p, fd):
    """Until the child sleeps with a nearly full pipe that no longer grows."""
    deadline = time.monotonic() + 30
    last = -1
    while time.monotonic() < deadline:
        now = pipe_bytes(fd)
        with open('/proc/%d/stat' % p.pid) as f:
            state = f.read().rsplit(')', 1)[1].split()[0]
        if now == last and now > 60000 and state == 'S':
            return
        last = now
        time.sleep(0.05)


def signal_during_stop(exe, failures):
    """The stop is made to wait in its own write-out: standard output is a
    pipe that the test has filled almost to the brim before the run, the run's
    records (under 64 KiB after the first, which goes straight through) are
    collected until the ending writes them out, and that write-out cannot
    finish until the pipe is read. The deck comes from a file smaller than the
    input buffer, so no wait for input writes them out earlier. An ending
    that is a report (a bad field) writes out the records before its report
    line, so it waits in the same place."""
    filler = problem(SMALL_ROWS, iout=6) * 20
    endings = [
        ('plain stop', filler + CLOSING, 0, b'', b'Stop - Program terminated.\r\n'),
        ('stop 2222', filler + problem([[1, 1, 2], [1, 1, 0]], kinds=[-1], cols=[1, 1],
                                       iunit=9, iout=6),
         2222 % 256, b'', b'Return code 2222\r\n'),
        ('bad field', filler + b'    x    0\n', 64,
         b'forrtl: severe (64): input conversion error, unit 5, file CONIN$\n',
         SMALL_OBJECTIVE_TAIL),
    ]
    brim = 65536 - 4096
    for (name, deck, status, err_want, tail), (sig, _) in zip(endings, EVENTS):
        with tempfile.TemporaryDirectory() as cwd, tempfile.TemporaryFile() as stdin:
            stdin.write(deck)
            stdin.seek(0)
            r, w = os.pipe()
            os.write(w, b'.' * brim)
            p = subprocess.Popen([exe], stdin=stdin, stdout=w,
                                 stderr=subprocess.PIPE, cwd=cwd, env=clean_env())
            os.close(w)
            reader = os.fdopen(r, 'rb')
            wait_blocked_on_full_pipe(p, r)
            p.send_signal(sig)
            time.sleep(0.1)
            out = reader.read()
            reader.close()
            err = p.stderr.read()
            p.wait(timeout=60)
        where = '%s, %s during the stop' % (name, sig.name)
        if p.returncode != status or err != err_want:
            failures.append('%s: status %d, stderr %r' % (where, p.returncode, err))
        if len(out) <= 65536 or not out.endswith(tail):
            failures.append('%s: %d bytes of output ending %r' % (where, len(out), out[-40:]))


SMALL_OBJECTIVE_TAIL = b' OBJECTIVE FUNCTION  =-5.00000000E+00\r\n'


def main():
    exe = os.path.abspath(sys.argv[1])
    seed = int(sys.argv[2]) if len(sys.argv) > 2 else random.randrange(1 << 30)
    print('seed %d' % seed)
    rng = random.Random(seed)
    big = big_problem(rng)
    small_block, big_block = block(SMALL_ROWS), block(big)
    scenarios = [
        Scenario('reading', problem(SMALL_ROWS) * 500, slow_input=True),
        Scenario('solving with the print on', problem(SMALL_ROWS, iout=6) * 200),
        Scenario('rewriting LP.TMP',
                 (problem(big, bounds=[40.0] * 60 + [1000.0] * 50, iunit=9) +
                  problem(SMALL_ROWS, iunit=9)) * 4,
                 scratch_blocks=(small_block, big_block)),
    ]
    failures = []
    hits = signal_during_run(exe, rng, scenarios, failures)
    if hits < len(scenarios):
        failures.append('only %d signals arrived before the end of their run' % hits)
    signal_during_stop(exe, failures)
    for f in failures:
        print(f)
    print('%d signals during runs, 3 during stops, %d failed' % (hits, len(failures)))
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
