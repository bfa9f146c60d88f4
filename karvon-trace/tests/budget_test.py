#!/usr/bin/env python3
"""karvon-trace as a process on a problem that cycles to the iteration limit
inside a 49 x 60 tableau (100,002 steps): under a 1 GiB address-space limit
the run ends normally with a page within its byte budget, the default one
and a smaller one; budget options that cannot hold are refused. A build with
AddressSanitizer reserves more address space than the limit, and runs
without it.

    budget_test.py KARVON_TRACE SOURCE_DIR
"""
import os
import resource
import subprocess
import sys
import tempfile

trace, source = (os.path.abspath(a) for a in sys.argv[1:3])
sys.path.insert(0, os.path.join(source, 'tests', 'scripts'))
import karvon_decks as kd  # noqa: E402

LIMIT = 1 << 30


def limited():
    if not kd.is_sanitized(trace):
        resource.setrlimit(resource.RLIMIT_AS, (LIMIT, LIMIT))


def cycling_in_the_largest_tableau():
    """The cycling problem's four columns, 56 more columns each bounded by a
    row of its own, and the objective last."""
    rows = [r[:4] + [0] * 56 + [r[4]] for r in kd.CYCLING_ROWS[:3]]
    rows += [[0] * 4 + [int(j == i) for j in range(56)] + [1] for i in range(46)]
    rows.append(kd.CYCLING_ROWS[3][:4] + [0] * 56 + [0])
    return kd.problem(rows) + kd.CLOSING


def main():
    failures = []
    with tempfile.TemporaryDirectory() as work:
        deck = os.path.join(work, 'cycling.txt')
        page = os.path.join(work, 'page.html')
        with open(deck, 'wb') as f:
            f.write(cycling_in_the_largest_tableau())
        # options, exit status, what standard error holds, the page's size at most
        cases = [
            ([], 0, '', 20_000_000),
            (['--max-bytes', '2000000'], 0, '', 2_000_000),
            (['--max-steps', '1'], 2, '--max-steps takes a whole number of at least 2', None),
            (['--max-bytes', '0'], 2, '--max-bytes takes a whole number of at least 1', None),
            (['--max-steps', '12x'], 2, "not '12x'", None),
            (['--max-bytes'], 2, '--max-bytes needs a value', None),
        ]
        for options, status, err, size in cases:
            if os.path.exists(page):
                os.unlink(page)
            r = subprocess.run([trace, deck, '-o', page, *options], stderr=subprocess.PIPE,
                               preexec_fn=limited, timeout=300)
            what = ' '.join(options) or 'the defaults'
            text = r.stderr.decode(errors='replace')
            if r.returncode != status or err not in text or (not err and text):
                failures.append('%s: status %d, stderr %r' % (what, r.returncode, text))
            if size is None:
                if os.path.exists(page):
                    failures.append('%s: a page was written' % what)
                continue
            written = os.path.getsize(page) if os.path.exists(page) else -1
            with open(page, encoding='utf-8') as f:
                html = f.read()
            if not 0 < written <= size or '"total":100002' not in html:
                failures.append('%s: a page of %d bytes (at most %d), total kept: %s'
                                % (what, written, size, '"total":100002' in html))
    for f in failures:
        print('FAIL:', f)
    print('%d failed' % len(failures))
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
