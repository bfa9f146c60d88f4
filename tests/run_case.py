#!/usr/bin/env python3
"""Runs karvon as a process on one recorded case and compares every byte.

The run happens in a fresh empty directory, with the FORT and FOR_ variables
of the caller's environment removed. Two layouts of a case are read:

End-to-end cases (tests/e2e), CASE is the path without a suffix:
  CASE.in       standard input
  CASE.out      expected standard output (bytes)
  CASE.err      expected standard error (the run directory written <RUNDIR>)
  CASE.status   expected exit status
  CASE.env      optional KEY=VALUE lines added to the environment
  CASE.pre/     optional files placed in the run directory first
  CASE.files/   optional: every file expected in the run directory afterwards

Golden decks (tests/golden), CASE is the path without a suffix:
  CASE.txt      standard input
  CASE.env      optional KEY=VALUE lines added to the environment
  CASE.expect/  stdout, stderr and status as above, and files/: every file
                left in the run directory (none when files/ is absent)
  A case whose name contains "lptmp_exists" starts with a stale LP.TMP.

Usage: run_case.py KARVON CASE
"""
import os
import shutil
import subprocess
import sys
import tempfile

TIMEOUT_SECONDS = 120
STALE_LPTMP = b'stale LP.TMP from an earlier run\n'


def read(path, default=None):
    if not os.path.exists(path):
        return default
    with open(path, 'rb') as f:
        return f.read()


def read_dir(path):
    """The files of a folder by name, or None when there is no folder."""
    if not os.path.isdir(path):
        return None
    return {fn: read(os.path.join(path, fn)) for fn in os.listdir(path)}


def first_diff(name, want, got):
    wl, gl = want.split(b'\n'), got.split(b'\n')
    for i in range(max(len(wl), len(gl))):
        w = wl[i] if i < len(wl) else b'<missing>'
        g = gl[i] if i < len(gl) else b'<missing>'
        if w != g:
            return '%s line %d: expected %r, got %r' % (name, i + 1, w[:200], g[:200])
    return '%s differs' % name


def load(case):
    """Standard input, files to place first, and what the run must produce.

    The expected files are None when the case does not say which files the
    run leaves.
    """
    if os.path.isdir(case + '.expect'):
        expect = case + '.expect'
        pre = {'LP.TMP': STALE_LPTMP} if 'lptmp_exists' in os.path.basename(case) else {}
        files = read_dir(os.path.join(expect, 'files')) or {}
        return (case + '.txt', pre, read(os.path.join(expect, 'stdout')),
                read(os.path.join(expect, 'stderr')), read(os.path.join(expect, 'status')),
                files)
    return (case + '.in', read_dir(case + '.pre') or {}, read(case + '.out', b''),
            read(case + '.err', b''), read(case + '.status', b'0'), read_dir(case + '.files'))


def environment(case):
    env = {k: v for k, v in os.environ.items() if not k.startswith(('FORT', 'FOR_'))}
    for line in (read(case + '.env', b'') or b'').decode().splitlines():
        if '=' in line:
            k, v = line.split('=', 1)
            env[k] = v
    return env


def run(exe, case):
    """The differences between the run of CASE and its expectations."""
    stdin_path, pre, want_out, want_err, want_status, want_files = load(case)
    want_status = int(want_status.strip() or b'0')
    run_dir = tempfile.mkdtemp(prefix='karvon_case_')
    failures = []
    try:
        for fn, data in pre.items():
            with open(os.path.join(run_dir, fn), 'wb') as f:
                f.write(data)
        with open(stdin_path, 'rb') as stdin:
            try:
                p = subprocess.run([exe], stdin=stdin, capture_output=True, cwd=run_dir,
                                   env=environment(case), timeout=TIMEOUT_SECONDS)
            except subprocess.TimeoutExpired:
                return ['timed out after %d s' % TIMEOUT_SECONDS]
        dirs = sorted({run_dir, os.path.realpath(run_dir)}, key=len, reverse=True)

        def scrub(b):
            for d in dirs:
                b = b.replace(d.encode(), b'<RUNDIR>')
            return b

        if p.returncode % 256 != want_status:
            failures.append('status: expected %d, got %d' % (want_status, p.returncode % 256))
        if p.stdout != want_out:
            failures.append(first_diff('stdout', want_out, p.stdout))
        if scrub(p.stderr) != want_err:
            failures.append(first_diff('stderr', want_err, scrub(p.stderr)))
        if want_files is not None:
            got_files = sorted(os.listdir(run_dir))
            if sorted(want_files) != got_files:
                failures.append('files: expected %s, got %s' % (sorted(want_files), got_files))
            for fn in sorted(want_files):
                if fn in got_files:
                    got = scrub(read(os.path.join(run_dir, fn)))
                    if want_files[fn] != got:
                        failures.append(first_diff('file ' + fn, want_files[fn], got))
    finally:
        shutil.rmtree(run_dir, ignore_errors=True)
    return failures


def main():
    failures = run(os.path.abspath(sys.argv[1]), sys.argv[2])
    for f in failures:
        print(f)
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
