#!/usr/bin/env python3
"""karvon-solve, karvon-trace, mps2deck and karvon as commands, one group
of checks at a time:
  cli         --help and --version of the four programs, wrong command
              lines, karvon ignoring other arguments, --tableau, the format
              of a file told from its name or its first lines
  netlib      published optima of AFIRO, KB2, SC50A, SC50B; GALENET
              infeasible; every column named
  malformed   a broken file of each format: one message with the file and
              line, status 1, no output file; too large; unwritable output
  glpk        a model with every bound type, ranges and OBJSENSE MAX against
              glpsol: column values, row activities, duals, reduced costs;
              the model written for glpsol with --no-objsense
  round_trip  200 random decks: deck -> MPS -> karvon-solve against the
              driver; MPS -> deck against mps2deck

Usage: tools_test.py GROUP --karvon K --solve S --trace T --mps2deck M
                           --random-decks R --data TESTDATA"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile

ARGS = None
FAILURES = []


def check(ok, what):
    if not ok:
        FAILURES.append(what)
    return ok


def run(cmd, stdin=b'', cwd=None, timeout=120):
    return subprocess.run(cmd, input=stdin, capture_output=True, cwd=cwd,
                          timeout=timeout)


def close(a, b, rel=1e-6):
    return abs(a - b) <= rel * max(1.0, abs(a), abs(b))


def read_solution(path):
    """HiGHS's plain-text solution file, read field by field."""
    lines = open(path).read().split('\n')
    sol = {'status': None, 'objective': None, 'primal': None, 'dual': None}
    assert lines[0] == 'Model status', lines[:2]
    sol['status'] = lines[1]
    assert lines[2] == '', 'a blank line follows the status'
    i = 3

    def section(i, with_objective):
        state = lines[i]
        i += 1
        if state == 'None':
            return None, None, i
        assert state in ('Feasible', 'Infeasible'), state
        objective = None
        if with_objective:
            m = re.fullmatch(r'Objective (\S+)', lines[i])
            assert m, lines[i]
            objective = float(m.group(1))
            i += 1
        parts = {}
        for what in ('Columns', 'Rows'):
            m = re.fullmatch(r'# %s (\d+)' % what, lines[i])
            assert m, lines[i]
            count = int(m.group(1))
            values = []
            for line in lines[i + 1:i + 1 + count]:
                name, value = line.split(' ')
                values.append((name, float(value)))
            parts[what] = values
            i += 1 + count
        return parts, objective, i

    assert lines[i] == '# Primal solution values', lines[i]
    sol['primal'], sol['objective'], i = section(i + 1, True)
    assert lines[i] == '' and lines[i + 1] == '# Dual solution values'
    sol['dual'], _, i = section(i + 2, False)
    assert lines[i:i + 3] == ['', '# Basis', 'HiGHS v1'], lines[i:]
    if lines[i + 3] == 'Valid':
        sizes = [int(re.fullmatch(r'# (?:Columns|Rows) (\d+)', lines[k]).group(1))
                 for k in (i + 4, i + 6)]
        codes = [lines[k].split() for k in (i + 5, i + 7)]
        assert [len(c) for c in codes] == sizes and \
            all(c in '0123' for c in codes[0] + codes[1]), lines[i:]
    else:
        assert lines[i + 3:] == ['None', ''], lines[i:]
    return sol


def mps_columns(path):
    """The column names of an MPS file, in order."""
    names, section = [], None
    for line in open(path):
        if line.strip() == '' or line.startswith('*'):
            continue
        if not line[0].isspace():
            section = line.split()[0]
            continue
        if section == 'COLUMNS':
            name = line.split()[0]
            if "'MARKER'" not in line and (not names or names[-1] != name):
                names.append(name)
    return names


# ---------------------------------------------------------------------------

def group_cli(tmp):
    sample = os.path.join(tmp, 'sample.dat')
    shutil.copy(os.path.join(os.path.dirname(__file__), '..', '..', 'examples',
                             'sample.txt'), sample)
    programs = [('karvon', ARGS.karvon), ('mps2deck', ARGS.mps2deck),
                ('karvon-solve', ARGS.solve), ('karvon-trace', ARGS.trace)]
    for name, exe in programs:
        for option, pattern in (('--help', r'^Usage: %s ' % name),
                                ('--version', r'\A%s \d+\.\d+\.\d+\n\Z' % name)):
            # Standard input stays open: an answer must not wait for it.
            r, w = os.pipe()
            try:
                p = subprocess.run([exe, option, 'extra'], stdin=r,
                                   capture_output=True, timeout=20)
            except subprocess.TimeoutExpired:
                check(False, '%s %s waits for input' % (name, option))
                continue
            finally:
                os.close(r)
                os.close(w)
            check(p.returncode == 0 and re.search(pattern, p.stdout.decode(), re.M)
                  and p.stderr == b'', '%s %s: %r' % (name, option, p))
    deck = open(sample, 'rb').read()
    plain = run([ARGS.karvon], deck, cwd=tmp)
    ignored = run([ARGS.karvon, '-x', 'whatever'], deck, cwd=tmp)
    check(plain.returncode == 0 and
          (plain.stdout, plain.stderr) == (ignored.stdout, ignored.stderr),
          'karvon changes its output for ignored arguments')
    for args, why in (([], 'no file'), (['--bogus', sample], 'unknown option'),
                      ([sample, sample], 'two files'), (['--solution'], 'no value'),
                      (['--problem', '0', sample], 'problem 0')):
        p = run([ARGS.solve] + args)
        check(p.returncode == 2 and p.stdout == b'' and p.stderr,
              'karvon-solve %s (%s): %r' % (args, why, p))
    p = run([ARGS.solve, '--no-objsense', sample])
    check(p.returncode == 2 and p.stdout == b'', '--no-objsense alone: %r' % p)
    formats_by_content(tmp, deck)
    p = run([ARGS.mps2deck, '--bogus'])
    check(p.returncode == 2, 'mps2deck --bogus: %r' % p)
    # --tableau: the driver's boxed print, then the report.
    p = run([ARGS.solve, '--tableau', sample])
    out = p.stdout.decode(errors='replace')
    check(p.returncode == 0 and out.count('+--') > 0 and
          out.index('+--') < out.index('Problem:'),
          'karvon-solve --tableau: %r' % out[:300])
    p = run([ARGS.solve, sample])
    check('+--' not in p.stdout.decode() and 'Status:     OPTIMAL' in p.stdout.decode(),
          'karvon-solve without --tableau: %r' % p.stdout[:300])
    # A model without columns: its objective is its constant.
    nocols = os.path.join(tmp, 'nocols.mps')
    open(nocols, 'w').write('NAME NOCOLS\nROWS\n N COST\n L R1\nCOLUMNS\nRHS\n'
                            '    RHS COST -7\n    RHS R1 1\nENDATA\n')
    sol = os.path.join(tmp, 'nocols.sol')
    p = run([ARGS.solve, '--solution', sol, nocols])
    check(b'Objective:  COST = 7 (MINimum)' in p.stdout and
          'Objective 7\n' in open(sol).read(), 'a model without columns: %r' % p)


# Files whose names say nothing: how each begins, and whether both programs
# must read it (True) or refuse it as of no format they can tell (False).
BY_CONTENT = [
    ('fixed MPS after a comment', '* a comment\nNAME AFIRO', True),
    ('free MPS', 'NAME free\nROWS\n N COST\n L R1\nCOLUMNS\n LONG_NAME COST -1 R1 1\n'
     'RHS\n RHS R1 4\nENDATA\n', True),
    ('LP after a comment', '\\ a comment\nMaximize\n obj: x + 2 y\nSubject To\n'
     ' c1: x + y <= 4\nEnd\n', True),
    ('LP, objective on the sense line', 'min obj: x\nSubject To\n c: x >= 1\nEnd\n', True),
    ('a deck', None, True),
    ('a deck refused by its content', '    0    0\n    2    3    0\n       1.0  x\n', True),
    ('text', 'Dear reader,\nthis is no model.\n', False),
    ('empty', '', False),
]


def formats_by_content(tmp, deck):
    afiro = open(os.path.join(ARGS.data, 'afiro.mps')).read()
    for k, (what, text, known) in enumerate(BY_CONTENT):
        text = deck.decode() if text is None else text.replace('NAME AFIRO', afiro)
        path = os.path.join(tmp, 'model%d.in' % k)
        open(path, 'w').write(text)
        good = 'refused' not in what
        for args, stdin in (([path], b''), (['-'], text.encode())):
            solve = run([ARGS.solve] + args, stdin)
            trace = run([ARGS.trace] + args + ['-o', os.path.join(tmp, 'p.html')], stdin)
            if known:
                check(solve.returncode == (0 if good else 1) and
                      trace.returncode == (0 if good else 1) and
                      (not good or b'Status:' in solve.stdout),
                      '%s %s: karvon-solve %r, karvon-trace %r' % (what, args, solve, trace))
            else:
                check(solve.returncode == trace.returncode == 2 and
                      b'--deck' in solve.stderr and b'--deck' in trace.stderr,
                      '%s %s: karvon-solve %r, karvon-trace %r' % (what, args, solve, trace))
    # An option outweighs the name: the deck read as a deck though named .mps.
    path = os.path.join(tmp, 'deck.mps')
    open(path, 'wb').write(deck)
    for prog in ([ARGS.solve], [ARGS.trace, '-o', os.path.join(tmp, 'p.html')]):
        check(run(prog + ['--deck', path]).returncode == 0,
              '%s --deck on a deck named .mps' % os.path.basename(prog[0]))


NETLIB = [('afiro', -4.6475314286e+02), ('kb2', -1.7499001299e+03),
          ('sc50a', -6.4575077059e+01), ('sc50b', -7.0000000000e+01)]


def group_netlib(tmp):
    for name, optimum in NETLIB:
        mps = os.path.join(ARGS.data, name + '.mps')
        sol = os.path.join(tmp, name + '.sol')
        p = run([ARGS.solve, '--solution', sol, mps])
        if not check(p.returncode == 0, '%s: %r' % (name, p)):
            continue
        s = read_solution(sol)
        check(s['status'] == 'Optimal', '%s: status %s' % (name, s['status']))
        check(close(s['objective'], optimum),
              '%s: objective %r, published %r' % (name, s['objective'], optimum))
        names = [n for n, _ in s['primal']['Columns']]
        check(names == mps_columns(mps), '%s: the columns are not named as in the model' % name)
        report = p.stdout.decode()
        check(all(re.search(r'^ +\d+ %s ' % re.escape(n), report, re.M) for n in names),
              '%s: the report leaves out column names' % name)
        check(re.search(r'^Status: +OPTIMAL$', report, re.M), '%s: %s' % (name, report[:200]))
    sol = os.path.join(tmp, 'galenet.sol')
    p = run([ARGS.solve, '--solution', sol, os.path.join(ARGS.data, 'galenet.mps')])
    check(p.returncode == 0 and re.search(r'^Status: +INFEASIBLE$', p.stdout.decode(), re.M),
          'galenet: %r' % p.stdout[:300])
    s = read_solution(sol)
    check(s['status'] == 'Infeasible' and s['primal'] is None and s['dual'] is None,
          'galenet solution file: %r' % s)


# Broken files: extension, text, the line the message must name.
MALFORMED = [
    ('mps', 'NAME X\nCOLUMNS\n X COST 1\nENDATA\n', 2),
    ('mps', 'NAME X\nROWS\n N COST\n L R1\nCOLUMNS\n X COST 1 R9 1\nENDATA\n', 6),
    ('mps', 'NAME X\nOBJSENSE\n    UPWARD\nROWS\n N COST\nCOLUMNS\n X COST 1\nENDATA\n', 3),
    ('lp', 'Minimize\n obj: x + y\nSubject To\n c1: x + y >=\nEnd\n', 5),
    ('lp', 'Minimize\n obj: x +* y\nEnd\n', 2),
    ('dat', '    0    0\n    2    3    0\n       1.0       1.0       4.0\n'
            '      -1.0       abc       0.0\n\n    1\n    0    0\n', 4),
    ('dat', '    0    0\n    2    3    0\n       1.0       1.0       4.0\n', 4),
    ('dat', '    0    0\n   -2    3    0\n', 2),
    ('dat', '    0    0\n    2    3    0\n       1.0       1.0       4.0\n'
            '      -1.0      -1.0       0.0\n\n    9\n    0    0\n', 6),
]


def rows_model(rows):
    text = 'NAME BIG\nROWS\n N COST\n' + ''.join(' L R%d\n' % i for i in range(rows))
    text += 'COLUMNS\n' + ''.join(' X R%d 1\n' % i for i in range(rows))
    return text + 'RHS\n RHS R0 1\nENDATA\n'


def group_malformed(tmp):
    for k, (ext, text, line) in enumerate(MALFORMED):
        path = os.path.join(tmp, 'bad%d.%s' % (k, ext))
        open(path, 'w').write(text)
        for option in ('--solution', '--write-mps', '--write-deck'):
            out = os.path.join(tmp, 'out%d' % k)
            p = run([ARGS.solve, option, out, path])
            err = p.stderr.decode()
            check(p.returncode == 1 and err.count('\n') == 1 and
                  ('%s:%d:' % (path, line)) in err and not os.path.exists(out)
                  and not [f for f in os.listdir(tmp) if f.startswith('out%d' % k)],
                  'bad%d.%s %s: status %d, %r' % (k, ext, option, p.returncode, err))
    # GLPK's LP writer would write a model without rows as an empty model.
    rowless = os.path.join(tmp, 'rowless.dat')
    open(rowless, 'w').write('    0    0\n    1    3    0\n       1.0       2.0       0.0\n'
                             '\n\n    0    0\n')
    out = os.path.join(tmp, 'rowless.lp')
    p = run([ARGS.solve, '--write-lp', out, rowless])
    check(p.returncode == 1 and p.stderr.decode().count('\n') == 1 and
          not os.path.exists(out), 'a model without rows as LP: %r' % p)
    big = os.path.join(tmp, 'big.mps')
    open(big, 'w').write(rows_model(50))
    p = run([ARGS.solve, '--memory-limit', '0.001', '--solution',
             os.path.join(tmp, 'big.sol'), big])
    check(p.returncode == 1 and '50 rows and 1 columns need' in p.stderr.decode() and
          not os.path.exists(os.path.join(tmp, 'big.sol')), 'too large: %r' % p)
    p = run([ARGS.solve, '--solution', os.path.join(tmp, 'no', 'such', 'dir.sol'),
             os.path.join(ARGS.data, 'afiro.mps')])
    check(p.returncode == 1 and 'dir.sol' in p.stderr.decode(), 'unwritable: %r' % p)


# Every bound type (LO below zero, MI, FR, FX, UP, a double bound), every
# row type with a range, maximised through OBJSENSE.
BOUNDS_MODEL = """NAME ALLBOUNDS
OBJSENSE
    MAX
ROWS
 N PROFIT
 L CAP
 G FLOOR
 E BAL
 L BAND
COLUMNS
 XLO PROFIT 2 CAP 1
 XLO FLOOR 1 BAL 1
 XMI PROFIT -1 CAP 1
 XMI BAND 1
 XFR PROFIT 1 BAL -1
 XFR BAND 2 FLOOR 1
 XFX PROFIT 3 CAP 1
 XFX BAL 1
 XUP PROFIT 1 CAP 2
 XUP BAND -1
 XDB PROFIT 1.5 FLOOR 1
 XDB CAP 1
RHS
 RHS CAP 10 FLOOR -4
 RHS BAL 1 BAND 6
 RHS PROFIT -2.5
RANGES
 RNG BAND 8
BOUNDS
 LO BND XLO -2
 UP BND XLO 6
 MI BND XMI
 UP BND XMI 3
 FR BND XFR
 FX BND XFX 1.5
 UP BND XUP 4
 LO BND XDB -1
 UP BND XDB 2.5
ENDATA
"""


def glpsol_raw(mps, tmp):
    """glpsol's raw solution of `mps` maximised: rows and columns by number,
    each (value, dual), and the objective."""
    raw = os.path.join(tmp, 'glpk.raw')
    p = run(['glpsol', '--max', '--freemps', mps, '-w', raw])
    assert p.returncode == 0, p.stdout.decode()[-500:]
    rows, cols, objective = {}, {}, None
    for line in open(raw):
        f = line.split()
        if f[0] == 's':
            objective = float(f[-1])
        elif f[0] == 'i':
            rows[int(f[1])] = (float(f[3]), float(f[4]))
        elif f[0] == 'j':
            cols[int(f[1])] = (float(f[3]), float(f[4]))
    return rows, cols, objective


def group_glpk(tmp):
    if not check(shutil.which('glpsol'), 'glpsol is not installed (glpk-utils)'):
        return
    model = os.path.join(tmp, 'allbounds.mps')
    open(model, 'w').write(BOUNDS_MODEL)
    plain = os.path.join(tmp, 'plain.mps')  # GLPK does not read OBJSENSE
    open(plain, 'w').write(BOUNDS_MODEL.replace('OBJSENSE\n    MAX\n', ''))
    rows, cols, objective = glpsol_raw(plain, tmp)
    # GLPK reads the right-hand side -2.5 of the objective row as the
    # constant -2.5; HiGHS, CLP and karvon-solve as +2.5.
    objective += 5.0
    sol = os.path.join(tmp, 'allbounds.sol')
    p = run([ARGS.solve, '--solution', sol, model])
    check(p.returncode == 0, 'karvon-solve: %r' % p)
    s = read_solution(sol)
    check(s['status'] == 'Optimal' and close(s['objective'], objective),
          'objective %r, GLPK %r' % (s['objective'], objective))
    for what, mine, theirs in (('column value', s['primal']['Columns'], cols),
                               ('row activity', s['primal']['Rows'], rows)):
        for k, (name, v) in enumerate(mine, 1):
            check(close(v, theirs[k][0]), '%s %s: %r, GLPK %r' % (what, name, v, theirs[k][0]))
    for what, mine, theirs in (('reduced cost', s['dual']['Columns'], cols),
                               ('dual', s['dual']['Rows'], rows)):
        for k, (name, v) in enumerate(mine, 1):
            check(close(v, theirs[k][1]), '%s %s: %r, GLPK %r' % (what, name, v, theirs[k][1]))
    # --max on the model without OBJSENSE reads the same model.
    sol2 = os.path.join(tmp, 'plain.sol')
    run([ARGS.solve, '--max', '--solution', sol2, plain])
    check(open(sol2).read() == open(sol).read(), '--max differs from OBJSENSE MAX')
    # Written for readers without OBJSENSE: the minimum of the negated
    # objective, which glpsol reads and finds at minus the maximum.
    neg = os.path.join(tmp, 'negated.mps')
    p = run([ARGS.solve, '--write-mps', neg, '--no-objsense', model])
    text = open(neg).read() if os.path.exists(neg) else ''
    check(p.returncode == 0 and 'OBJSENSE' not in text and b'note:' in p.stderr,
          '--no-objsense: %r' % p)
    glpk = run(['glpsol', '--freemps', neg, '-o', os.path.join(tmp, 'neg.txt')])
    m = re.search(r'Objective: +\S+ = (\S+)', open(os.path.join(tmp, 'neg.txt')).read())
    check(glpk.returncode == 0 and m and close(float(m.group(1)), -objective),
          'glpsol on the --no-objsense model: %r' % glpk.stdout[-300:])
    # The model written as MPS and LP reads back to the same solution.
    for option, ext in (('--write-mps', 'mps'), ('--write-lp', 'lp')):
        out = os.path.join(tmp, 'again.' + ext)
        p = run([ARGS.solve, option, out, model])
        sol3 = os.path.join(tmp, 'again.sol')
        p2 = run([ARGS.solve, '--solution', sol3, out])
        check(p.returncode == 0 and p2.returncode == 0 and
              close(read_solution(sol3)['objective'], objective),
              '%s round trip: %r %r' % (option, p.stderr, p2.stderr))
    # Integer columns are relaxed with a word, and kept by both writers:
    # glpsol reads the written models as integer programs.
    ints = os.path.join(tmp, 'ints.mps')
    open(ints, 'w').write(INTEGER_MODEL)
    p = run([ARGS.solve, ints])
    check(b'1 integer column(s) relaxed' in p.stderr and
          b'Objective:  COST = -4.5' in p.stdout, 'relaxed integers: %r' % p)
    for option, ext, form in (('--write-mps', 'mps', '--freemps'), ('--write-lp', 'lp', '--lp')):
        out = os.path.join(tmp, 'ints.' + ext)
        run([ARGS.solve, option, out, ints])
        report = os.path.join(tmp, 'ints.txt')
        run(['glpsol', form, out, '-o', report])
        text = open(report).read() if os.path.exists(report) else ''
        check('INTEGER OPTIMAL' in text and re.search(r'Objective: +\S+ = -4 ', text),
              '%s keeps the integer column: %r' % (option, text[:300]))


INTEGER_MODEL = """NAME INTS
ROWS
 N COST
 L R1
COLUMNS
    MARKER                 'MARKER'                 'INTORG'
    X         COST         -1.0   R1           1.0
    MARKER                 'MARKER'                 'INTEND'
    Y         COST         -2.0   R1           1.0
RHS
    RHS       R1           3.5
BOUNDS
 UP BND       X            10
 UP BND       Y            1
ENDATA
"""


def driver_result(deck, cwd):
    p = run([ARGS.karvon], open(deck, 'rb').read(), cwd=cwd)
    m = re.search(rb'OBJECTIVE FUNCTION  =\s*(\S+)', p.stdout)
    return (float(m.group(1)) if m else None), p.returncode


def group_round_trip(tmp):
    decks = os.path.join(tmp, 'decks')
    os.mkdir(decks)
    subprocess.run([ARGS.random_decks, '2026', '200', decks], check=True)
    optimal = 0
    for name in sorted(os.listdir(decks)):
        deck = os.path.join(decks, name)
        driver, status = driver_result(deck, tmp)
        mps = os.path.join(tmp, 'rt.mps')
        sol = os.path.join(tmp, 'rt.sol')
        w = run([ARGS.solve, '--write-mps', mps, deck])
        s = run([ARGS.solve, '--solution', sol, mps])
        d = run([ARGS.solve, deck])
        if not check(status == 0 and w.returncode == 0 and s.returncode == 0,
                     '%s: %r %r %r' % (name, status, w.stderr, s.stderr)):
            continue
        got = read_solution(sol)
        if driver is None:
            check(got['status'] != 'Optimal', '%s: the driver finds no optimum, '
                  'karvon-solve on its MPS does (%r)' % (name, got['objective']))
        else:
            optimal += 1
            check(got['status'] == 'Optimal' and close(got['objective'], driver),
                  '%s: driver %r, from MPS %s %r' % (name, driver, got['status'],
                                                     got['objective']))
        words = lambda out: re.search(rb'^Status: +(.*)$', out, re.M).group(1)
        check(words(s.stdout) == words(d.stdout),
              '%s: status from the MPS %r, from the deck %r' % (name, words(s.stdout),
                                                                words(d.stdout)))
    check(optimal >= 50, 'only %d of 200 decks optimal' % optimal)
    # MPS -> deck is mps2deck's deck.
    models = [os.path.join(ARGS.data, n + '.mps') for n, _ in NETLIB]
    models.append(os.path.join(tmp, 'allbounds.mps'))
    open(models[-1], 'w').write(BOUNDS_MODEL.replace('OBJSENSE\n    MAX\n', ''))
    for mps in models:
        mine, theirs = os.path.join(tmp, 'mine.dat'), os.path.join(tmp, 'theirs.dat')
        a = run([ARGS.solve, '--write-deck', mine, mps])
        b = run([ARGS.mps2deck, '-o', theirs, mps])
        check(a.returncode == 0 and b.returncode == 0 and
              open(mine, 'rb').read() == open(theirs, 'rb').read(),
              '%s: --write-deck differs from mps2deck' % os.path.basename(mps))


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument('group')
    for option in ('--karvon', '--solve', '--trace', '--mps2deck', '--random-decks',
                   '--data'):
        parser.add_argument(option, required=True)
    ARGS = parser.parse_args()
    for option in ('karvon', 'solve', 'trace', 'mps2deck', 'random_decks', 'data'):
        setattr(ARGS, option, os.path.abspath(getattr(ARGS, option)))
    group = globals()['group_' + ARGS.group]
    with tempfile.TemporaryDirectory() as tmp:
        group(tmp)
    for f in FAILURES[:30]:
        print('FAIL:', f)
    if len(FAILURES) > 30:
        print('... and %d more' % (len(FAILURES) - 30))
    sys.exit(1 if FAILURES else 0)


if __name__ == '__main__':
    main()
