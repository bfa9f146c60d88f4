#!/usr/bin/env python3
"""Console events end the run with their report and status, and whatever was
written before the event is complete on standard output."""
import os
import signal
import subprocess
import sys
import tempfile
import time

PROBLEM = (b'    0    0\n    3    3    0\n'
           b'         1         1         4\n'
           b'         1         3         6\n'
           b'        -1        -2         0\n'
           b'\n    1    1\n    0    0\n')

CASES = [
    (signal.SIGINT, b'control-C', 130),
    (signal.SIGQUIT, b'control-BREAK', 131),
    (signal.SIGHUP, b'window-CLOSE', 129),
]


def run(exe, sig, first_input):
    with tempfile.TemporaryDirectory() as d:
        env = {k: v for k, v in os.environ.items() if not k.startswith(('FORT', 'FOR_'))}
        p = subprocess.Popen([exe], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                             stderr=subprocess.PIPE, cwd=d, env=env)
        p.stdin.write(first_input)
        p.stdin.flush()
        time.sleep(0.5)  # karvon now waits for the next record on the open pipe
        p.send_signal(sig)
        out, err = p.communicate(timeout=30)
        return out, err, p.returncode


def main():
    exe = os.path.abspath(sys.argv[1])
    failures = []
    for sig, event, status in CASES:
        for first_input in (b'', PROBLEM):
            out, err, rc = run(exe, sig, first_input)
            want_err = b'forrtl: error (200): program aborting due to ' + event + b' event\n'
            if err != want_err:
                failures.append('%s: stderr %r' % (sig.name, err))
            if rc != status:
                failures.append('%s: status %d, expected %d' % (sig.name, rc, status))
            if first_input:
                # The whole report of the solved problem reached the pipe.
                if not out.endswith(b' OBJECTIVE FUNCTION  =-5.00000000E+00\r\n'):
                    failures.append('%s: output cut short: %r' % (sig.name, out[-80:]))
            elif out:
                failures.append('%s: unexpected output %r' % (sig.name, out))
    # SIGTERM: no report, status 143, output kept.
    out, err, rc = run(exe, signal.SIGTERM, PROBLEM)
    if err != b'' or rc != 143 or not out.endswith(b'-5.00000000E+00\r\n'):
        failures.append('SIGTERM: status %d, stderr %r, tail %r' % (rc, err, out[-40:]))
    for f in failures:
        print(f)
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
