#!/usr/bin/env python3
"""mps2deck as a command: options, input from files and standard input,
output to standard output or to a file that is replaced whole, and every
refused model with its message and status.

Usage: cli_test.py MPS2DECK KARVON TESTDATA"""
import os
import subprocess
import sys
import tempfile
import unittest

MPS2DECK = KARVON = TESTDATA = None

SMALL = b"""NAME SMALL
ROWS
 N COST
 L R1
 L R2
COLUMNS
 X COST -1 R1 1
 X R2 1
 Y COST -2 R1 1
 Y R2 3
RHS
 RHS R1 4 R2 6
ENDATA
"""

SMALL_DECK = (b'   -1    0\n'
              b'    3    3    0\n'
              b'       1.0       1.0       4.0\n'
              b'       1.0       3.0       6.0\n'
              b'      -1.0      -2.0       0.0\n'
              b'\n'
              b'    1    1\n'
              b'    0    0\n')
CLOSING = b'    0    0\n    0    0    0\n'


def rows_model(rows):
    """A model with `rows` L rows, each with a coefficient."""
    text = 'NAME BIG\nROWS\n N COST\n'
    text += ''.join(' L R%d\n' % i for i in range(rows))
    text += 'COLUMNS\n' + ''.join(' X R%d 1\n' % i for i in range(rows))
    return (text + 'RHS\n RHS R0 1\nENDATA\n').encode()


def free_columns_model(columns):
    text = 'NAME WIDE\nROWS\n N COST\n L R1\nCOLUMNS\n'
    text += ''.join(' C%d R1 1\n' % j for j in range(columns))
    text += 'RHS\n RHS R1 1\nBOUNDS\n' + ''.join(' FR BND C%d\n' % j for j in range(columns))
    return (text + 'ENDATA\n').encode()


# name, MPS text, the one line expected on standard error ({} is the file).
MALFORMED = [
    ('missing ROWS', b'NAME X\nCOLUMNS\n X COST 1\nENDATA\n',
     '{}:2: missing ROWS indicator record'),
    ('missing COLUMNS', b'NAME X\nROWS\n N COST\n L R1\nRHS\n RHS R1 1\nENDATA\n',
     '{}:5: missing COLUMNS indicator record'),
    ('missing ENDATA', b'NAME X\nROWS\n N COST\n L R1\nCOLUMNS\n X COST 1 R1 1\n',
     '{}:7: unexpected end of file'),
    ('empty file', b'', '{}:1: unexpected end of file'),
    ('unknown row', b'NAME X\nROWS\n N COST\n L R1\nCOLUMNS\n X COST 1 R9 1\nENDATA\n',
     "{}:6: row 'R9' not found"),
    ('unknown row type', b'NAME X\nROWS\n N COST\n Q R1\nCOLUMNS\n X COST 1 R1 1\nENDATA\n',
     '{}:4: invalid row type in field 1'),
    ('duplicate row', b'NAME X\nROWS\n N COST\n L R1\n L R1\nCOLUMNS\n X R1 1\nENDATA\n',
     "{}:5: row 'R1' multiply specified"),
    ('duplicate entry',
     b'NAME X\nROWS\n N COST\n L R1\nCOLUMNS\n X COST 1 R1 1\n X R1 2\nENDATA\n',
     "{}:7: duplicate coefficient in row 'R1'"),
    ('duplicate right side',
     b'NAME X\nROWS\n N COST\n L R1\nCOLUMNS\n X R1 1\nRHS\n RHS R1 1\n RHS R1 2\nENDATA\n',
     "{}:9: duplicate right-hand side for row 'R1'"),
    ('bad number', b'NAME X\nROWS\n N COST\n L R1\nCOLUMNS\n X COST 1.2.3 R1 1\nENDATA\n',
     "{}:6: cannot convert '1.2.3' to floating-point number"),
    ('number out of range',
     b'NAME X\nROWS\n N COST\n L R1\nCOLUMNS\n X COST 1e999 R1 1\nENDATA\n',
     "{}:6: cannot convert '1e999' to floating-point number"),
    ('unknown bound type',
     b'NAME X\nROWS\n N COST\n L R1\nCOLUMNS\n X R1 1\nBOUNDS\n XX BND X 1\nENDATA\n',
     '{}:8: invalid bound type in field 1'),
    ('bound on an unknown column',
     b'NAME X\nROWS\n N COST\n L R1\nCOLUMNS\n X R1 1\nBOUNDS\n UP BND Z 1\nENDATA\n',
     "{}:8: column 'Z' not found"),
    ('negative UP alone',
     b'NAME X\nROWS\n N COST\n L R1\nCOLUMNS\n X R1 1\nBOUNDS\n UP BND X -3\nENDATA\n',
     "{}: column 'X' has its lower bound 0 above its upper bound -3"
     ' (give MI or LO as well for a lower bound below zero)'),
    ('empty row that never holds',
     b'NAME X\nROWS\n N COST\n L R1\n G NEVER\nCOLUMNS\n X R1 1\nRHS\n RHS NEVER 2\nENDATA\n',
     "{}: row 'NEVER' has no coefficients and can never hold (2 <= 0 <= inf is false)"),
    ('50 constraint rows', rows_model(50),
     '{}: the model has 50 constraint rows; a deck holds at most 49'),
    ('61 columns after splitting', free_columns_model(31),
     '{}: the model has 62 columns after free columns are split in two and fixed ones '
     'substituted; a deck holds at most 60'),
]


def fixed_record(*fields):
    """A data record of the fixed format: fields in columns 2-3, 5-12, 15-22,
    25-36, 40-47 and 50-61."""
    starts = [1, 4, 14, 24, 39, 49]
    line = ''
    for start, field in zip(starts, fields):
        line = line.ljust(start) + field
    return (line + '\n').encode()


def run(args, stdin=b'', cwd=None):
    p = subprocess.run([MPS2DECK] + args, input=stdin, capture_output=True, cwd=cwd, timeout=60)
    return p.returncode, p.stdout, p.stderr.decode()


def solve(deck, cwd):
    env = {k: v for k, v in os.environ.items() if not k.startswith(('FORT', 'FOR_'))}
    p = subprocess.run([KARVON], input=deck, capture_output=True, cwd=cwd, env=env, timeout=60)
    return p.returncode, p.stdout


class Conversion(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.addCleanup(self.dir.cleanup)

    def path(self, name):
        return os.path.join(self.dir.name, name)

    def write(self, name, data):
        with open(self.path(name), 'wb') as f:
            f.write(data)
        return self.path(name)

    def test_file_and_standard_input_give_the_same_deck(self):
        model = self.write('small.mps', SMALL)
        for args, stdin in (([model], b''), ([], SMALL), (['-'], SMALL)):
            status, out, err = run(args, stdin)
            self.assertEqual((status, err), (0, ''), args)
            self.assertEqual(out, SMALL_DECK + CLOSING, args)

    def test_settings_and_closing_pair_follow_the_options(self):
        model = self.write('small.mps', SMALL)
        status, out, _ = run(['--iunit', '7', '--iout=6', '--no-close', model])
        self.assertEqual(status, 0)
        self.assertEqual(out, b'    7    6\n' + SMALL_DECK[11:])
        # Decks without their closing pair join into one run.
        status, two = solve(out + out + CLOSING, self.dir.name)
        self.assertEqual(status, 0)
        self.assertEqual(two.count(b' OBJECTIVE FUNCTION  =-5.00000000E+00\r\n'), 2)
        self.assertTrue(os.path.exists(self.path('LP.TMP')))  # IUNIT 7 kept the tableau there

    def test_output_file_is_written_whole_or_left_alone(self):
        model = self.write('small.mps', SMALL)
        deck = self.path('deck.txt')
        status, out, err = run(['-o', deck, model])
        self.assertEqual((status, out, err), (0, b'', ''))
        with open(deck, 'rb') as f:
            self.assertEqual(f.read(), SMALL_DECK + CLOSING)
        self.assertEqual(oct(os.stat(deck).st_mode & 0o777), oct(0o666 & ~current_umask()))
        # A refused model leaves the old deck as it was, and nothing beside it.
        bad = self.write('bad.mps', MALFORMED[0][1])
        status, out, err = run(['-o', deck, bad])
        self.assertEqual(status, 1)
        with open(deck, 'rb') as f:
            self.assertEqual(f.read(), SMALL_DECK + CLOSING)
        self.assertEqual(sorted(os.listdir(self.dir.name)), ['bad.mps', 'deck.txt', 'small.mps'])
        # No file appears when there was none.
        status, _, _ = run(['-o', self.path('new.txt'), bad])
        self.assertFalse(os.path.exists(self.path('new.txt')))
        # A folder that does not exist.
        status, _, err = run(['-o', self.path('no/such/deck'), model])
        self.assertEqual(status, 1)
        self.assertIn('cannot create %s: No such file or directory' % self.path('no/such/deck'),
                      err)

    def test_the_deck_solves(self):
        model = self.write('small.mps', SMALL)
        status, deck, _ = run([model])
        status, out = solve(deck, self.dir.name)
        self.assertEqual(status, 0)
        self.assertIn(b' OBJECTIVE FUNCTION  =-5.00000000E+00\r\n', out)
        self.assertFalse(os.path.exists(self.path('LP.TMP')))  # IUNIT -1: in memory

    def test_formats(self):
        netlib = os.path.join(TESTDATA, 'afiro.mps')
        self.assertEqual(run(['--fixed', netlib])[0], 0)
        self.assertEqual(run(['--free', netlib])[0], 0)
        # Names with blanks exist only in the fixed format.
        fixed = (b'NAME          BLANKS\nROWS\n N  COST\n L  ROW ONE\nCOLUMNS\n'
                 + fixed_record('', 'X ONE', 'COST', '1.0', 'ROW ONE', '1.0')
                 + b'RHS\n' + fixed_record('', 'RHS', 'ROW ONE', '2.0') + b'ENDATA\n')
        model = self.write('fixed.mps', fixed)
        status, out, err = run([model])
        self.assertEqual((status, err), (0, ''))
        self.assertEqual(out.splitlines()[1], b'    2    2    0')
        status, _, err = run(['--free', model])
        self.assertEqual(status, 1)
        self.assertTrue(err.startswith('mps2deck: %s:' % model), err)
        # Free format only: fields out of the fixed columns.
        model = self.write('free.mps', SMALL)
        status, _, err = run(['--fixed', model])
        self.assertEqual(status, 1)
        self.assertEqual(err, 'mps2deck: %s:1: in fixed MPS format positions 5-14 must be '
                              'blank\n' % model)

    def test_notes_warnings_and_rounding(self):
        model = self.write('notes.mps', b"""NAME NOTES
ROWS
 N COST
 L R1
 L EMPTY
COLUMNS
 M1 'MARKER' 'INTORG'
 X COST -1 R1 3
 M2 'MARKER' 'INTEND'
RHS
 RHS R1 1
ENDATA
""")
        status, out, err = run([model])
        self.assertEqual(status, 0)
        self.assertEqual(err.splitlines(), [
            'mps2deck: %s: warning: 1 integer column(s) read as continuous: '
            'the deck is the linear relaxation' % model,
            "mps2deck: %s: note: row 'EMPTY' has no coefficients and always holds: dropped"
            % model,
        ])
        third = self.write('third.mps', b'NAME T\nROWS\n N COST\n L R1\nCOLUMNS\n'
                                        b' X COST -1 R1 3\nRHS\n RHS R1 0.1234567890123\n'
                                        b'ENDATA\n')
        status, out, err = run([third])
        self.assertEqual(status, 0)
        self.assertEqual(err, 'mps2deck: %s: note: 1 value(s) have no exact ten-column form '
                              'and were rounded; largest relative change 1.0e-10\n' % third)
        self.assertIn(b'.123456789\n', out)

    def test_malformed_models_are_refused(self):
        for name, text, message in MALFORMED:
            with self.subTest(name):
                model = self.write('bad.mps', text)
                status, out, err = run([model])
                self.assertEqual(status, 1)
                self.assertEqual(out, b'')
                self.assertEqual(err, 'mps2deck: ' + message.format(model) + '\n')
        status, _, err = run([], b'NAME X\nROWS\n')
        self.assertEqual((status, err), (1, 'mps2deck: <stdin>:3: unexpected end of file\n'))

    def test_files_that_cannot_be_read(self):
        status, _, err = run([self.path('none.mps')])
        self.assertEqual((status, err),
                         (1, 'mps2deck: %s: No such file or directory\n' % self.path('none.mps')))
        status, _, err = run([self.dir.name])
        self.assertEqual((status, err), (1, 'mps2deck: %s: is a directory\n' % self.dir.name))


class CommandLine(unittest.TestCase):
    def test_help(self):
        status, out, err = run(['--help'])
        self.assertEqual((status, err), (0, ''))
        self.assertTrue(out.startswith(b'Usage: mps2deck [OPTION]... [FILE]\n'))
        self.assertEqual(run(['-h'])[1], out)

    def test_wrong_command_lines(self):
        cases = [
            (['--bogus'], "unknown option '--bogus'"),
            (['a.mps', 'b.mps'], 'more than one input file'),
            (['-o'], '-o needs a value'),
            (['--iunit'], '--iunit needs a value'),
            (['--iunit', 'x'], "--iunit needs a whole number from -9999 to 99999, not 'x'"),
            (['--iout=100000'], "--iout needs a whole number from -9999 to 99999, not '100000'"),
            (['--iunit', '6'],
             '--iunit 6: units 5 and 6 carry the deck and the report, not the scratch file'),
            (['--iout', '5'], "--iout 5: unit 5 is the deck's own input"),
        ]
        for args, message in cases:
            with self.subTest(args):
                status, out, err = run(args)
                self.assertEqual((status, out), (2, b''))
                self.assertEqual(err, 'mps2deck: %s\nTry \'mps2deck --help\' for more '
                                      'information.\n' % message)


def current_umask():
    mask = os.umask(0)
    os.umask(mask)
    return mask


if __name__ == '__main__':
    MPS2DECK, KARVON, TESTDATA = (os.path.abspath(a) for a in sys.argv[1:4])
    sys.exit(unittest.main(argv=sys.argv[:1], verbosity=1).result.wasSuccessful() is False)
