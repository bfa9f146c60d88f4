#!/usr/bin/env python3
"""Runs karvon as a process on one end-to-end case and compares every byte.

A case NAME in this folder is:
  NAME.in       standard input
  NAME.out      expected standard output (bytes)
  NAME.err      expected standard error (the run directory written <RUNDIR>)
  NAME.status   expected exit status
  NAME.env      optional KEY=VALUE lines added to the environment
  NAME.pre/     optional files placed in the run directory first
  NAME.files/   optional: every file expected in the run directory afterwards
The run happens in a fresh empty directory.

Usage: run_case.py KARVON CASE_PATH_WITHOUT_SUFFIX
"""
import os
import shutil
import subprocess
import sys
import tempfile


def read(path, default=None):
    if not os.path.exists(path):
        return default
    with open(path, 'rb') as f:
        return f.read()


def first_diff(name, want, got):
    wl, gl = want.split(b'\n'), got.split(b'\n')
    for i in range(max(len(wl), len(gl))):
        w = wl[i] if i < len(wl) else b'<missing>'
        g = gl[i] if i < len(gl) else b'<missing>'
        if w != g:
            return '%s line %d: expected %r, got %r' % (name, i + 1, w[:200], g[:200])
    return '%s differs' % name


def main():
    exe, case = os.path.abspath(sys.argv[1]), sys.argv[2]
    env = {k: v for k, v in os.environ.items() if not k.startswith(('FORT', 'FOR_'))}
    for line in (read(case + '.env', b'') or b'').decode().splitlines():
        if '=' in line:
            k, v = line.split('=', 1)
            env[k] = v
    run_dir = tempfile.mkdtemp(prefix='karvon_e2e_')
    failures = []
    try:
        if os.path.isdir(case + '.pre'):
            for fn in os.listdir(case + '.pre'):
                shutil.copy(os.path.join(case + '.pre', fn), run_dir)
        with open(case + '.in', 'rb') as stdin:
            p = subprocess.run([exe], stdin=stdin, capture_output=True, cwd=run_dir,
                               env=env, timeout=120)
        scrub = lambda b: b.replace(os.path.realpath(run_dir).encode(), b'<RUNDIR>').replace(
            run_dir.encode(), b'<RUNDIR>')
        got_err = scrub(p.stderr)
        want_out = read(case + '.out', b'')
        want_err = read(case + '.err', b'')
        want_status = int((read(case + '.status', b'0') or b'0').strip())
        if p.stdout != want_out:
            failures.append(first_diff('stdout', want_out, p.stdout))
        if got_err != want_err:
            failures.append(first_diff('stderr', want_err, got_err))
        if p.returncode % 256 != want_status:
            failures.append('status: expected %d, got %d' % (want_status, p.returncode % 256))
        if os.path.isdir(case + '.files'):
            want_files = sorted(os.listdir(case + '.files'))
            got_files = sorted(os.listdir(run_dir))
            if want_files != got_files:
                failures.append('files: expected %s, got %s' % (want_files, got_files))
            for fn in want_files:
                if fn in got_files:
                    w = read(os.path.join(case + '.files', fn))
                    g = scrub(read(os.path.join(run_dir, fn)))
                    if w != g:
                        failures.append(first_diff('file ' + fn, w, g))
    finally:
        shutil.rmtree(run_dir, ignore_errors=True)
    for f in failures:
        print(f)
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
