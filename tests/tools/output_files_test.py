#!/usr/bin/env python3
"""The output files of karvon-solve, mps2deck and karvon-trace, each rule
checked on all three as processes: a FIFO, a device node and standard output
are written straight and stay what they are; an output that is the input is
refused before anything is read; a write that fails (ulimit -f, a full
device) is reported, leaves the previous file and no temporary file; a
rewritten file keeps its mode; a read-only folder refuses an unprivileged
user cleanly; signals and SIGKILL leave nothing in TMPDIR; two runs writing
one page never mix; running out of memory is one line and status 1.

Usage: output_files_test.py --solve S --mps2deck M --trace T --data TESTDATA"""
import argparse
import grp
import os
import pwd
import resource
import shutil
import signal
import stat
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'scripts'))
from karvon_decks import is_sanitized  # noqa: E402

FAILURES = []
SKIPPED = set()


def skip(why):
    if why not in SKIPPED:
        SKIPPED.add(why)
        print('skipped:', why)


def have_nobody():
    try:
        pwd.getpwnam('nobody')
        grp.getgrnam('nogroup')
    except KeyError:
        skip('the read-only folder: no user nobody or group nogroup to run as')
        return False
    if shutil.which('setpriv') is None:
        skip('the read-only folder: no setpriv to run as nobody')
        return False
    return True


def check(ok, what):
    if not ok:
        FAILURES.append(what)
    return ok


class Program:
    def __init__(self, name, exe, option, mps=()):
        self.name, self.exe, self.option = name, exe, option
        self.what = name + ' ' + option
        self.mps = list(mps)  # what makes standard input read as MPS

    def cmd(self, output, model, *extra):
        head = [self.option, output] if self.name != 'karvon-trace' else []
        tail = [self.option, output] if self.name == 'karvon-trace' else []
        return [self.exe] + head + [model] + tail + list(extra)

    def run(self, output, model, preexec=None, env=None, stdin=b''):
        return subprocess.run(self.cmd(output, model), input=stdin,
                              capture_output=True, preexec_fn=preexec, env=env,
                              timeout=120)


def programs(a):
    return [Program('karvon-solve', a.solve, '--solution', ['--mps']),
            Program('karvon-solve', a.solve, '--write-mps', ['--mps']),
            Program('mps2deck', a.mps2deck, '-o'),
            Program('karvon-trace', a.trace, '-o', ['--mps'])]


def listing(folder):
    return sorted(os.listdir(folder))


def fifo_bytes(path, prog, model):
    """What a reader of the FIFO `path` gets while `prog` writes to it."""
    got = []
    reader = threading.Thread(target=lambda: got.append(open(path, 'rb').read()),
                              daemon=True)
    reader.start()
    p = prog.run(path, model)
    reader.join(10)
    if reader.is_alive():
        # Nobody wrote to the FIFO: a writer of our own lets the reader go.
        try:
            os.close(os.open(path, os.O_WRONLY | os.O_NONBLOCK))
        except OSError:
            pass
        reader.join(10)
    return p, got[0] if got else None


def check_writes(prog, model, tmp):
    """Every way of naming an output, checked against a plain file's bytes."""
    what = prog.what
    ref = os.path.join(tmp, 'reference')
    p = prog.run(ref, model)
    if not check(p.returncode == 0, '%s: reference run: %r' % (what, p)):
        return
    want = open(ref, 'rb').read()

    fifo = os.path.join(tmp, 'fifo')
    os.mkfifo(fifo)
    p, got = fifo_bytes(fifo, prog, model)
    check(p.returncode == 0 and got == want and stat.S_ISFIFO(os.lstat(fifo).st_mode),
          '%s: FIFO: status %d, %s bytes' % (what, p.returncode, got and len(got)))

    # Device nodes of our own: copies of the null and full devices.
    for name, dev, status, err in (('null', os.makedev(1, 3), 0, ''),
                                   ('full', os.makedev(1, 7), 1,
                                    'cannot write %s: No space left on device')):
        node = os.path.join(tmp, name)
        try:
            os.mknod(node, 0o666 | stat.S_IFCHR, dev)
        except PermissionError:
            skip('device nodes: this system does not let root make them')
            continue
        p = prog.run(node, model)
        st = os.lstat(node)
        check(p.returncode == status and stat.S_ISCHR(st.st_mode) and st.st_rdev == dev and
              p.stderr.decode() == ('%s: %s\n' % (prog.name, err % node) if err else ''),
              '%s: device %s: %r, mode %o' % (what, name, p, st.st_mode))

    # Names for standard output, and a link to one: the bytes arrive there.
    link = os.path.join(tmp, 'to_stdout')
    os.symlink('/proc/self/fd/1', link)
    for name in ('-', '/dev/stdout', link):
        p = prog.run(name, model)
        check(p.returncode == 0 and p.stdout.endswith(want) and os.path.islink(link),
              '%s: %s: status %d, %d bytes out' % (what, name, p.returncode, len(p.stdout)))

    # A link to a regular file: the file is rewritten, the link stays.
    target = os.path.join(tmp, 'target')
    open(target, 'w').write('old\n')
    os.symlink(target, os.path.join(tmp, 'link'))
    p = prog.run(os.path.join(tmp, 'link'), model)
    check(p.returncode == 0 and open(target, 'rb').read() == want and
          os.path.islink(os.path.join(tmp, 'link')), '%s: through a link: %r' % (what, p))


def check_failures(prog, model, tmp):
    what = prog.what
    # The output is the input, by another name: refused before reading.
    copy = os.path.join(tmp, 'model.mps')
    shutil.copy(model, copy)
    alias = os.path.join(tmp, 'alias.mps')
    os.symlink(copy, alias)
    before = open(copy, 'rb').read()
    p = prog.run(alias, copy)
    check(p.returncode == 1 and open(copy, 'rb').read() == before and
          p.stderr.decode() == '%s: %s %s is the input %s: nothing was read or written\n'
          % (prog.name, prog.option, alias, copy),
          '%s: output is the input: %r' % (what, p))

    # A write past the file-size limit, onto an existing file.
    out = os.path.join(tmp, 'out')
    open(out, 'w').write('previous\n')
    os.chmod(out, 0o600)
    files = listing(tmp)
    p = prog.run(out, copy, preexec=lambda: resource.setrlimit(
        resource.RLIMIT_FSIZE, (1024, 1024)))
    check(p.returncode == 1 and open(out).read() == 'previous\n' and listing(tmp) == files and
          p.stderr.decode() == '%s: cannot write %s: File too large\n' % (prog.name, out),
          '%s: ulimit -f: %r, %s' % (what, p, listing(tmp)))

    # Modes: a rewritten file keeps its own (and, rewritten by root, its
    # owner), a new one takes the umask's.
    os.chown(out, 65534, 65534)
    p = prog.run(out, copy)
    st = os.stat(out)
    check(p.returncode == 0 and stat.S_IMODE(st.st_mode) == 0o600 and
          (st.st_uid, st.st_gid) == (65534, 65534),
          '%s: rewritten 0600 file: %o, owner %d' % (what, st.st_mode, st.st_uid))
    new = os.path.join(tmp, 'new')
    p = prog.run(new, copy, preexec=lambda: os.umask(0o027))
    check(p.returncode == 0 and stat.S_IMODE(os.stat(new).st_mode) == 0o640,
          '%s: new file under umask 027: %o' % (what, os.stat(new).st_mode))

    # A read-only folder, as a user who may not write there.
    if not have_nobody():
        return
    ro = os.path.join(tmp, 'ro')
    os.mkdir(ro)
    kept = os.path.join(ro, 'out')
    open(kept, 'w').write('previous\n')
    os.chmod(kept, 0o666)
    os.chmod(ro, 0o555)
    p = subprocess.run(['setpriv', '--reuid=nobody', '--regid=nogroup', '--clear-groups']
                       + prog.cmd(kept, copy), capture_output=True, timeout=120)
    check(p.returncode == 1 and listing(ro) == ['out'] and open(kept).read() == 'previous\n'
          and p.stderr.decode() == '%s: cannot create %s: Permission denied\n'
          % (prog.name, kept), '%s: read-only folder as nobody: %r' % (what, p))


def check_signals(prog, tmp):
    """Interrupted while copying standard input (and killed outright): the
    copy leaves nothing in TMPDIR, and no output appears."""
    what = prog.what
    temp = os.path.join(tmp, 'tmpdir')
    os.mkdir(temp)
    env = dict(os.environ, TMPDIR=temp)
    out = os.path.join(tmp, 'out')
    for sig in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP, signal.SIGKILL):
        p = subprocess.Popen(prog.cmd(out, '-', *prog.mps), stdin=subprocess.PIPE,
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env)
        p.stdin.write(b'* a comment line of a long model\n' * 400000)
        p.stdin.flush()
        time.sleep(0.2)
        p.send_signal(sig)
        p.stdin.close()
        p.wait(60)
        check(listing(temp) == [] and not os.path.exists(out) and p.returncode != 0,
              '%s: signal %d: status %d, left %s' % (what, sig, p.returncode, listing(temp)))


def check_concurrent_pages(a, model, tmp):
    """Two runs writing one page at once: it is always one of the two."""
    page = os.path.join(tmp, 'page.html')
    wants = []
    for title in ('first', 'second'):
        subprocess.run([a.trace, model, '-o', page, '--title', title], check=True)
        wants.append(open(page, 'rb').read())
    for _ in range(20):
        runs = [subprocess.Popen([a.trace, model, '-o', page, '--title', t])
                for t in ('first', 'second')]
        for r in runs:
            r.wait(120)
        if not check(open(page, 'rb').read() in wants and listing(tmp) == ['page.html'],
                     'two karvon-trace runs on one page mixed them: %s' % listing(tmp)):
            return


def check_out_of_memory(a, tmp):
    """A model far larger than the memory allowed (1.5 million rows, which
    GLPK's reader cannot hold in 256 MiB): one line, status 1."""
    if is_sanitized(a.solve):
        skip('out of memory: the sanitizers need the address space a limit takes away')
        return
    huge = os.path.join(tmp, 'huge.mps')
    rows = range(1500000)
    with open(huge, 'w') as f:
        f.write('NAME BIG\nROWS\n N  COST\n')
        f.writelines(' L  R%d\n' % i for i in rows)
        f.write('COLUMNS\n')
        f.writelines('    X  R%d  1\n' % i for i in rows)
        f.write('RHS\n    RHS  R0  1\nENDATA\n')
    limit = lambda: resource.setrlimit(resource.RLIMIT_AS, (256 << 20, 256 << 20))
    for name, cmd in (('karvon-solve', [a.solve, huge]),
                      ('mps2deck', [a.mps2deck, huge]),
                      ('karvon-trace', [a.trace, huge, '-o', os.path.join(tmp, 'p')])):
        p = subprocess.run(cmd, capture_output=True, preexec_fn=limit, timeout=120)
        check(p.returncode == 1 and p.stderr.decode() == name + ': out of memory\n',
              '%s out of memory: %r' % (name, p))


def main():
    parser = argparse.ArgumentParser()
    for option in ('--solve', '--mps2deck', '--trace', '--data'):
        parser.add_argument(option, required=True)
    a = parser.parse_args()
    for option in ('solve', 'mps2deck', 'trace', 'data'):
        setattr(a, option, os.path.abspath(getattr(a, option)))
    model = os.path.join(a.data, 'afiro.mps')
    if os.geteuid() != 0:
        print('skipped: device nodes and the unprivileged user need root')
        sys.exit(77)
    for prog in programs(a):
        for step in (lambda t: check_writes(prog, model, t),
                     lambda t: check_failures(prog, model, t),
                     lambda t: check_signals(prog, t)):
            tmp = tempfile.mkdtemp(prefix='karvon_outputs_')
            os.chmod(tmp, 0o755)
            try:
                step(tmp)
            finally:
                shutil.rmtree(tmp)
    for step in (lambda t: check_concurrent_pages(a, model, t),
                 lambda t: check_out_of_memory(a, t)):
        with tempfile.TemporaryDirectory() as tmp:
            step(tmp)
    for f in FAILURES[:30]:
        print('FAIL:', f)
    sys.exit(1 if FAILURES else 0)


if __name__ == '__main__':
    main()
