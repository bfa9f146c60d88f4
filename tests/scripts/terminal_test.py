#!/usr/bin/env python3
"""karvon on a real (pseudo-)terminal: unit 6 takes each record's first
character as carriage control, so the screen shows every record without it,
each on its own line; the tableau print's rows, built from several writes,
come out whole; the stop line comes last. Typed input sees all output first,
and Ctrl-C / Ctrl-\\ typed at the terminal end the run with their report.
An argument with the deck typed at the terminal gets one line saying where
the deck is read from; with the deck redirected, nothing changes.

Usage: terminal_test.py KARVON"""
import os
import pty
import select
import signal
import sys
import tempfile
import termios
import time

from karvon_decks import CLOSING, SMALL_ROWS, clean_env, problem, run

DECK = (problem(SMALL_ROWS, iout=6) +
        # Twelve columns: rows and separators longer than one 11-field record.
        problem([[1.0 + i % 3 for i in range(11)] + [10.0],
                 [-1.0 - (i % 2) for i in range(11)] + [0.0]], iout=6) +
        CLOSING)


def spawn(exe, cwd, stdin_path=None, echo=True, args=(), env=None):
    pid, master = pty.fork()
    if pid == 0:
        try:
            os.chdir(cwd)
            if stdin_path is not None:
                fd = os.open(stdin_path, os.O_RDONLY)
                os.dup2(fd, 0)
            os.execve(exe, [exe] + list(args), clean_env(env))
        finally:
            os._exit(127)
    if not echo:
        # Set from this side before anything is typed: typed decks are not
        # echoed onto the screen under test.
        attrs = termios.tcgetattr(master)
        attrs[3] &= ~termios.ECHO
        termios.tcsetattr(master, termios.TCSANOW, attrs)
    return pid, master


def read_until(master, screen, done=None, timeout=30):
    """Reads what the terminal shows until done(screen) holds, or until the
    program is gone (done None)."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if done is not None and done(screen):
            return screen
        ready, _, _ = select.select([master], [], [], 0.1)
        if not ready:
            continue
        try:
            data = os.read(master, 65536)
        except OSError:  # the terminal's other side is closed
            return screen
        if not data:
            return screen
        screen += data
    return screen


def results(count):
    return lambda screen: screen.count(b'OBJECTIVE FUNCTION') >= count


def finish(pid):
    _, status = os.waitpid(pid, 0)
    return os.waitstatus_to_exitcode(status)


def main():
    exe = os.path.abspath(sys.argv[1])
    failures = []
    with tempfile.TemporaryDirectory() as cwd:
        deck_path = os.path.join(cwd, 'deck.txt')
        with open(deck_path, 'wb') as f:
            f.write(DECK)

        # The same deck into a file: every record with its first character.
        plain = run(exe, DECK)
        records = plain.out.split(b'\r\n')
        if plain.status != 0 or records[-1] != b'' or records[-2] != b'Stop - Program terminated.':
            failures.append('plain run: status %d, tail %r' % (plain.status, plain.out[-60:]))
        records = records[:-1]
        if any(r and not r.startswith(b' ') for r in records[:-1]):
            failures.append('a record that does not begin with a blank')
        want_lines = [r[1:] for r in records[:-1]] + [records[-1]]

        # 1. Deck from a file, output on the terminal; the argument that a
        #    deck on the terminal would be told about is ignored.
        pid, master = spawn(exe, cwd, stdin_path=deck_path, args=['deck.txt'])
        screen = read_until(master, b'')
        status = finish(pid)
        os.close(master)
        lines = screen.split(b'\r\n')
        if lines and lines[-1] == b'':
            lines.pop()
        if status != 0:
            failures.append('terminal run: status %d' % status)
        if lines != want_lines:
            for i, (g, w) in enumerate(zip(lines + [b'<none>'] * len(want_lines),
                                           want_lines + [b'<none>'] * len(lines))):
                if g != w:
                    failures.append('screen line %d: %r, expected %r' % (i + 1, g, w))
                    break
        # A tableau row is built from one write per value; on the screen it
        # is one whole line (the worked example's first row).
        if b' |   1.00     1.00   |    4.00   |   3' not in lines:
            failures.append('the tableau row is not shown whole')
        if not lines or lines[-1] != b'Stop - Program terminated.':
            failures.append('last screen line %r' % (lines[-1:] or [b''])[0])

        # 2. Typed input: each problem's output is on the screen before the
        #    program waits for the next one.
        pid, master = spawn(exe, cwd, echo=False)
        one = problem(SMALL_ROWS, iout=0)
        screen = b''
        for k in range(2):
            os.write(master, one)
            screen = read_until(master, screen, results(k + 1))
            if screen.count(b'OBJECTIVE FUNCTION') != k + 1:
                failures.append('typed problem %d: result not shown before the next read' % (k + 1))
                break
        os.write(master, CLOSING)
        screen = read_until(master, screen)
        status = finish(pid)
        os.close(master)
        if status != 0 or not screen.endswith(b'\r\nStop - Program terminated.\r\n'):
            failures.append('typed deck: status %d, tail %r' % (status, screen[-60:]))

        # 3. Ctrl-C and Ctrl-\ typed while the program waits for input.
        for key, event, sig in ((b'\x03', b'control-C', signal.SIGINT),
                                (b'\x1c', b'control-BREAK', signal.SIGQUIT)):
            pid, master = spawn(exe, cwd, echo=False)
            os.write(master, one)
            screen = read_until(master, b'', results(1))
            time.sleep(0.2)
            os.write(master, key)
            screen = read_until(master, screen)
            status = finish(pid)
            os.close(master)
            want = b'forrtl: error (200): program aborting due to ' + event + b' event\r\n'
            if status != 128 + sig or not screen.endswith(want):
                failures.append('%r typed: status %d, tail %r' % (key, status, screen[-80:]))
        # 4. The deck named as an argument, standard input the terminal: one
        #    line on the screen, then the run as ever; none when FORT5 names
        #    the deck.
        hint = (b"karvon: the deck is read from standard input, not from the "
                b"command line: karvon < 'my deck.txt'\r\n")
        for args, env, typed, told in ((['my deck.txt'], None, one + CLOSING, True),
                                       (['-x', 'my deck.txt'], {'FORT5': deck_path}, b'', False)):
            pid, master = spawn(exe, cwd, echo=False, args=args, env=env)
            screen = read_until(master, b'', lambda screen: screen.count(b'\n') > 0)
            os.write(master, typed)
            screen = read_until(master, screen)
            status = finish(pid)
            os.close(master)
            if (status != 0 or screen.startswith(hint) != told or
                    not screen.endswith(b'\r\nStop - Program terminated.\r\n')):
                failures.append('%r on the terminal: status %d, screen %r...%r'
                                % (args, status, screen[:120], screen[-40:]))
    for f in failures:
        print(f)
    print('%d failed' % len(failures))
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
