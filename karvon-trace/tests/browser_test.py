#!/usr/bin/env python3
"""The trace page in headless Chromium, driven over its debugging protocol.

For every deck: the page loads without console errors; each problem shows as
many steps as the driver prints tableaux with IOUT = 6, and then its result;
at every step the labels, the highlighted pivot and the named entering and
leaving variables agree with the driver's prints before and after it (a
pivot or a bound flip is shown in the tableau it was chosen in); the arrow
keys move the selection. A cycling problem under a small budget shows its
first and last steps and says how many were left out. An MPS model read by karvon-trace shows the steps of the deck
mps2deck makes of it, its variables named after the model's columns and
rows. Writes screenshots of the worked example at its first and last step
into the build folder.

    browser_test.py KARVON_TRACE KARVON MPS2DECK SOURCE_DIR BUILD_DIR
"""
import base64
import json
import os
import random
import shutil
import subprocess
import sys
import tempfile
import time

from cdp import Browser

HERE = os.path.dirname(os.path.abspath(__file__))


def find_browser():
    for name in ('chromium', 'chromium-browser'):
        path = shutil.which(name)
        if path:
            return path
    sys.exit('FAIL: Chromium is not installed (tests/run-all installs the Debian package chromium)')


# -- decks -------------------------------------------------------------------

def with_print_unit(deck):
    """The deck with IOUT = 6 in every settings record (the records of a
    problem counted from its header)."""
    lines = deck.decode().splitlines()
    out, i = [], 0
    while i + 1 < len(lines):
        settings, header = lines[i], lines[i + 1]
        iunit = int(settings[0:5] or 0)
        m, n, nb = (int(header[k:k + 5] or 0) for k in (0, 5, 10))
        out += ['%5d%5d' % (iunit, 6), header]
        i += 2
        if n > 61 or m == 0 or m >= 51:
            break
        count = m * -(-n // 11) + max(1, -(-nb // 11)) + max(1, -(-(m - 1) // 11)) \
            + max(1, -(-(n - 1) // 11))
        out += lines[i:i + count]
        i += count
    return ('\n'.join(out) + '\n').encode()


def random_deck(seed, m, n, problems):
    """Random problems with equations, >= rows and upper bounds: phase 1,
    bound flips and recomputations (the initial tableau kept in memory)."""
    sys.path.insert(0, os.path.join(SOURCE, 'tests', 'scripts'))
    import karvon_decks as kd
    rng = random.Random(seed)
    deck = b''
    for _ in range(problems):
        x = [rng.choice([0, 1, 2, 3]) for _ in range(n - 1)]
        rows, kinds = [], []
        for _ in range(m - 1):
            a = [rng.choice([0, 0, 1, 2, 3, -1]) for _ in range(n - 1)]
            kind = rng.choice([1, 0, -1])
            lhs = sum(p * q for p, q in zip(a, x))
            rows.append(a + [lhs + (0 if kind == 0 else kind * rng.choice([0, 1, 2]))])
            kinds.append(kind)
        rows.append([rng.choice([-3, -2, -1, 0, 1]) for _ in range(n - 1)] + [0])
        bounds = [rng.choice([3, 4, 5, 1e30]) for _ in range(n - 1)]
        deck += kd.problem(rows, bounds, kinds, iunit=-1, iout=6)
    return deck + kd.CLOSING


# -- the driver's prints -------------------------------------------------------

def driver_prints(karvon, deck):
    """Per problem, the labels of each tableau print: (LI, LJ), signed."""
    with tempfile.TemporaryDirectory() as d:
        out = subprocess.run([karvon], input=deck, stdout=subprocess.PIPE, cwd=d,
                             env={k: v for k, v in os.environ.items()
                                  if not k.startswith(('FORT', 'FOR_'))},
                             timeout=300).stdout.decode()
    # Each print: separator, body rows with their label (LI) after the last
    # bar, the separator ending in "^", the rows M and M+1, the LJ line.
    problems, current, li, part = [], None, [], 'outside'
    for line in out.replace('\r', '').split('\n'):
        if 'DATA BEFORE CALLING LINEAR' in line:
            current = []
            problems.append(current)
        elif part == 'outside' and line.startswith('  +'):
            part, li = 'body', []
        elif part == 'body' and line.startswith('  +') and line.rstrip().endswith('^'):
            part = 'below'
        elif part == 'body' and line.startswith('  |'):
            li.append(int(line.rsplit('|', 1)[1]))
        elif part == 'below' and '<--   LJ' in line:
            lj = [int(v) for v in line.split('<--')[0].strip(' |').split()]
            current.append((li, lj))
            part = 'outside'
    return problems


def names(entry_rows, n, nv):
    """The variables' long names from the labels before the solve."""
    out = {k: 'x%d' % k for k in range(1, nv + 1)}
    artificial = 0
    for i, label in enumerate(entry_rows, 1):
        if label == 0:
            artificial += 1
            out[nv + artificial] = 'artificial of row %d' % i
        elif abs(label) > n - 1:
            out[abs(label)] = ('slack' if label > 0 else 'surplus') + ' of row %d' % i
    return out


# -- the page ----------------------------------------------------------------

STATE = '''(() => {
  const li = document.querySelector('#steps li.sel');
  const pivot = document.querySelector('#tableau td.pivot');
  return JSON.stringify({
    problem: Number(document.body.dataset.problem),
    step: Number(document.body.dataset.step),
    steps: document.querySelectorAll('#steps li[data-step]').length,
    total: Number(document.body.dataset.total), first: Number(document.body.dataset.first),
    gap: [...document.querySelectorAll('#steps li.gap')].map(g => g.textContent),
    title: document.getElementById('step-title').textContent,
    problems: document.querySelectorAll('#problems button').length,
    kind: Number(li.dataset.kind), ip: Number(li.dataset.ip), jp: Number(li.dataset.jp),
    entering: Number(li.dataset.entering), leaving: Number(li.dataset.leaving),
    text: li.textContent,
    pivot: pivot ? [pivot.parentNode.rowIndex, pivot.cellIndex] : null,
    rows: [...document.querySelectorAll('#tableau tbody th[data-label]')].map(t => Number(t.dataset.label)),
    cols: [...document.querySelectorAll('#tableau thead th[data-label]')].map(t => Number(t.dataset.label)),
  });
})()'''

PIVOT, FLIP = 2, 3


def check_model(browser, trace, name, model, work):
    """The page of a model file: solved on the model road, whose steps are
    its own (not the deck's), so the page is checked against itself: every
    step reachable, each pivot marked where the step says, the variables
    named after the model, no console errors."""
    page_file = os.path.join(work, name + '.html')
    subprocess.run([trace, model, '-o', page_file], check=True, timeout=300)
    browser.open('file://' + page_file)
    state = browser.state(STATE)
    failures = []

    def expect(ok, what):
        if not ok:
            failures.append('%s: %s' % (name, what))

    expect(state['problems'] == 1, 'the page shows %d problems' % state['problems'])
    kept = state['steps'] - 1
    expect(state['total'] == kept and kept > 3, '%d steps kept of %d' % (kept, state['total']))
    pivots = 0
    for s in range(1, kept + 1):
        browser.key('ArrowRight')
        state = browser.state(STATE)
        expect(state['step'] == s, 'step %d: the right key did not move to it' % s)
        if s < kept and state['kind'] == PIVOT:
            pivots += 1
            expect(state['pivot'] == [state['ip'], state['jp']],
                   'step %d: pivot cell %s, step says (%d, %d)'
                   % (s, state['pivot'], state['ip'], state['jp']))
            expect(' enters, ' in state['text'] and not any(
                w.startswith(('x', 'a')) and w[1:].isdigit() for w in state['text'].split()),
                'step %d: %r does not name the model\'s variables' % (s, state['text']))
    expect(pivots > 0, 'no pivot on the page')
    errors = browser.errors()
    expect(not errors, 'console errors: %s' % errors)
    return failures


def check_deck(browser, trace, karvon, name, deck, work, shots=None, model=None, options=()):
    """With `model`, the page is karvon-trace's of that model file and
    `deck` the deck made of it: the variables then carry the model's names.
    Returns the failures and the states of the first problem's positions."""
    deck_file = os.path.join(work, name + '.txt')
    page_file = os.path.join(work, name + '.html')
    with open(deck_file, 'wb') as f:
        f.write(deck)
    subprocess.run([trace, model or deck_file, '-o', page_file, *options], check=True, timeout=300)
    prints = driver_prints(karvon, with_print_unit(deck))
    browser.open('file://' + page_file)
    state = browser.state(STATE)
    failures = []
    kinds = {}
    seen = []

    def expect(ok, what):
        if not ok:
            failures.append('%s: %s' % (name, what))

    expect(state['problems'] == len(prints),
           'the page shows %d problems, the driver solved %d' % (state['problems'], len(prints)))
    for p, boxes in enumerate(prints):
        where = 'problem %d' % (p + 1)
        if p > 0:
            browser.key('ArrowDown')
        state = browser.state(STATE)
        expect(state['problem'] == p and state['step'] == 0, where + ': the down key did not select it')
        kept = state['steps'] - 1
        left = state['total'] - kept
        expect(state['total'] == len(boxes), '%s: %d steps on the page, %d prints'
               % (where, state['total'], len(boxes)))
        entry_rows, entry_cols = boxes[0]
        known = names(entry_rows, len(entry_cols) + 1,
                      len(entry_cols) + sum(1 for r in entry_rows if r != 0))
        for s in range(kept + 1):
            at = '%s, step %d' % (where, s + 1)
            if s > 0:
                browser.key('ArrowRight')
                state = browser.state(STATE)
            if p == 0:
                seen.append(state)
            if shots is not None and p == 0 and s in (0, kept):
                browser.screenshot(shots[0 if s == 0 else 1])
            expect(state['step'] == s, at + ': the right key did not move to it')
            # The print after this step, counted among all of them.
            k = s if s < state['first'] else s + left
            if s == kept:
                expect((state['rows'], state['cols']) == boxes[-1],
                       at + ': the result does not show the last tableau')
                continue
            kinds[state['kind']] = kinds.get(state['kind'], 0) + 1
            chosen = state['kind'] in (PIVOT, FLIP) and s > 0 and s != state['first']
            li, lj = boxes[k - 1] if chosen else boxes[k]
            expect((state['rows'], state['cols']) == (li, lj),
                   '%s: labels %s %s, the print shows %s %s'
                   % (at, state['rows'], state['cols'], li, lj))
            if state['kind'] == PIVOT:
                ip, jp, e, l = state['ip'], state['jp'], state['entering'], state['leaving']
                (before_li, before_lj), (li, lj) = boxes[k - 1], boxes[k]
                expect(state['pivot'] == [ip, jp], '%s: pivot cell %s, step says (%d, %d)'
                       % (at, state['pivot'], ip, jp))
                if not (1 <= ip <= len(li) and 1 <= jp <= len(lj)):
                    expect(False, '%s: pivot (%d, %d) outside the tableau' % (at, ip, jp))
                    continue
                expect(abs(before_lj[jp - 1]) == e and li[ip - 1] == e,
                       '%s: entering %d, the prints show column %d then row %d'
                       % (at, e, before_lj[jp - 1], li[ip - 1]))
                expect(abs(before_li[ip - 1]) == l and abs(lj[jp - 1]) == l,
                       '%s: leaving %d, the prints show row %d then column %d'
                       % (at, l, before_li[ip - 1], lj[jp - 1]))
                expected_text = '%s enters, %s leaves' % (known.get(e), known.get(l))
                if model:
                    # Named after the model's columns and rows, not numbered.
                    expected_text = ' enters, '
                    expect(not any(w.startswith(('x', 's', 'a')) and w[1:].isdigit()
                                   for w in state['text'].split()),
                           '%s: %r names a variable by number' % (at, state['text']))
                expect(expected_text in state['text'],
                       '%s: %r does not say %r' % (at, state['text'], expected_text))
            elif state['kind'] == FLIP:
                expect(state['pivot'] is None, at + ': a bound flip shows a pivot cell')
                expect(model or known.get(state['entering']) in state['text'],
                       '%s: %r does not name the flipped variable' % (at, state['text']))
        # The result stays selected at the end.
        browser.key('ArrowRight')
        expect(browser.state(STATE)['step'] == kept, where + ': moved past the result')
        browser.key('ArrowLeft')
        expect(browser.state(STATE)['step'] == kept - 1, where + ': the left key did not move back')
    errors = browser.errors()
    expect(not errors, 'console errors: %s' % errors)
    print('%s: %d problems, steps by kind %s' % (name, len(prints), dict(sorted(kinds.items()))))
    return failures, seen


def check_budget(browser, trace, karvon, work):
    """A problem that cycles to the iteration limit, 100,002 steps, kept to
    its first five and last five: the steps kept match the driver's prints,
    and the page says how many it left out."""
    sys.path.insert(0, os.path.join(SOURCE, 'tests', 'scripts'))
    import karvon_decks as kd
    deck = kd.problem(kd.CYCLING_ROWS) + kd.CLOSING
    failures, seen = check_deck(browser, trace, karvon, 'cycling_budget', deck, work,
                                options=('--max-steps', '10'))
    first, last = seen[0], seen[-2]
    wanted = [
        (len(seen) == 11, '%d positions, expected 10 steps and the result' % len(seen)),
        (first['gap'] == ['\u22ef 99,992 steps left out \u22ef'], 'the notice reads %r' % first['gap']),
        ('step 1 of 100,002' in first['title'], 'the first title reads %r' % first['title']),
        ('step 100,002 of 100,002' in last['title'], 'the last title reads %r' % last['title']),
    ]
    return failures + ['cycling_budget: ' + what for ok, what in wanted if not ok]


def main():
    global SOURCE
    trace, karvon, mps2deck, SOURCE, build = (os.path.abspath(a) for a in sys.argv[1:6])
    browser_path = find_browser()
    work = tempfile.mkdtemp(prefix='trace-browser-')
    failures = []
    try:
        with Browser(browser_path, os.path.join(work, 'profile')) as browser:
            with open(os.path.join(SOURCE, 'examples', 'sample.txt'), 'rb') as f:
                sample = f.read()
            with open(os.path.join(SOURCE, 'tests', 'e2e', 'unbounded_and_infeasible.in'), 'rb') as f:
                unbounded = f.read()
            shots = [os.path.join(build, 'trace-sample-first.png'),
                     os.path.join(build, 'trace-sample-last.png')]
            decks = [
                ('sample', sample, shots),
                ('unbounded_and_infeasible', unbounded, None),
                ('random_small', random_deck(12, 6, 8, 25), None),
                ('random_wide', random_deck(7, 49, 60, 1), None),
            ]
            for name, deck, deck_shots, *model in decks:
                start = time.monotonic()
                found = check_deck(browser, trace, karvon, name, deck, work, deck_shots,
                                   *model)[0]
                failures += found
                print('%s: %s (%.1f s)' % (name, 'FAIL' if found else 'ok',
                                           time.monotonic() - start))
            afiro = os.path.join(SOURCE, 'mps2deck', 'testdata', 'afiro.mps')
            found = check_model(browser, trace, 'afiro', afiro, work)
            failures += found
            print('afiro: %s' % ('FAIL' if found else 'ok'))
            found = check_budget(browser, trace, karvon, work)
            failures += found
            print('cycling_budget: %s' % ('FAIL' if found else 'ok'))
    finally:
        shutil.rmtree(work, ignore_errors=True)
    for f in failures:
        print('FAIL:', f)
    if failures:
        sys.exit(1)
    print('screenshots: %s' % ', '.join(shots))


if __name__ == '__main__':
    main()
