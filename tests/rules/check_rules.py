#!/usr/bin/env python3
"""Holds the rule notation of every family against bgolly (Debian package golly).

For each rule text of the lists below, ParseRule (through rule_print) must
take it and write Golly's canonical text: what bgolly writes into the header
of the RLE it outputs for that text, where bgolly reads the form. bgolly must
read FormatRuleForBgolly's text of every rule taken, as the same canonical
text, and both formatted texts must parse back to the same rule. Refused texts
must be refused with the reason given, and by bgolly too where it refuses
them. Then random fields on a small torus are stepped by bgolly and by the
plain stepper below, built from the rule's 512-entry table (or its Larger than
Life record), and must agree cell for cell.

  check_rules.py RULE_PRINT              (exit 0 when all hold, 1 when any fails)
  check_rules.py RULE_PRINT --self-test  (wrong tables and texts must be caught)

Exit status 77 when bgolly is missing.
"""
import concurrent.futures
import os
import random
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'tools', 'lib'))
from rle import rle_states  # noqa: E402

QL, GEN, LTL = 'QuickLife', 'Generations', 'Larger than Life'
CONWAY_MAP = 'ARYXfhZofugWaH7oaIDogBZofuhogOiAaIDogIAAgAAWaH7oaIDogGiA6ICAAIAAaIDogIAAgACAAIAAAAAAAA'
BOSCO = 'R5,C0,M1,S34..58,B34..45,NM'

# (text, our canonical text or None for bgolly's, whether bgolly 3.3 reads the text itself)
CANONICAL = [
    # Life-like
    ('B3/S23', None, True), ('b36/s23', None, True), ('S23/B36', None, True), ('B36S23', None, True),
    ('23/36', None, True), ('/3', None, True), ('B3', None, True), ('S23', None, True), ('bs', None, True),
    ('B 3 / S 2 3', None, True), ('B33/S2323', None, True), ('B87654321/S876543210', None, True),
    ('B3/S2-', None, True), ('3/B3', None, True), ('B3/3', None, True), ('B2-/S', None, True),
    ('Life', 'B3/S23', False), ('HighLife', 'B36/S23', False), ('Day & Night', 'B3678/S34678', False),
    # isotropic non-totalistic
    ('B2-a/S12', None, True), ('B2cekin/S12', None, True), ('B37/S2-i34q', None, True),
    ('B3/S23-a4ei6', None, True), ('B2cek3i_S12cei', None, True), ('B3_S23-a4ei6', None, True),
    ('B2nic/S', None, True), ('B2ceikn/S', None, True), ('B4-qjrtwz/S', None, True), ('B2aceikn3/S', None, True),
    ('B2-3/S', None, True), ('B2-aceikn3/S', None, True), ('B4aceijknqrtwyz/S', None, True),
    ('B4-aceijknqrtwyz/S', None, True), ('B4ceijknqrtyz/S', None, True), ('B2a2c/S', None, True),
    ('B2-a2c/S', None, True), ('B2c2-a/S', None, True), ('B2-a2-c/S', None, True), ('B2a2/S', None, True),
    ('B22a/S', None, True), ('B2A/S', None, True), ('B32a/S', None, True), ('B3a2/S', None, True),
    ('2a/3', None, True), ('S2aB3', None, True), ('B2a/3', None, True), ('B2a3-/S', None, True),
    ('B1e/S', None, True), ('B8/S2a', None, True), ('B2a/S08', None, True), ('B4w/S', None, True),
    ('B4-w/S', None, True), ('B 2 - a / S 1 2', None, True), ('B3-ej6e/S234i', None, True),
    ('B2ak3nr4iy/S3-nr4ent5er', None, True), ('B2aei3r4kn5jnr6k/S2ai3k4iknqr5r6ai', None, True),
    ('B2-ac3ai/S1c2-n3-aky4a', None, True), ('B2-a5/S1e2-a35678', None, True),
    ('B2ein3cijn4cnrwy5cnq6e/S1c2-ai3acny4anqy5c6ek8', None, True),
    ('B1c2cek3cijk4cejkr5cjkn6cek7c/S1e2aik3aeny4aiknqtw5aeijkr6aik7e8', None, True),
    ('Just Friends', 'B2-a/S12', False),
    # hexagonal and von Neumann
    ('B2/S34H', None, True), ('b2/s34h', None, True), ('B245/S3H', None, True), ('23/3H', None, True),
    ('B2/S34 H', None, True), ('B13/S012V', None, True), ('B2/S013V', None, True), ('/3V', None, True),
    ('3/V', None, True), ('B/S04V', None, True), ('B2/S0123456H', None, True), ('23/3V', None, True),
    # MAP
    ('MAP' + CONWAY_MAP, None, True), ('map' + CONWAY_MAP, None, True), ('Map' + CONWAY_MAP + '==', None, True),
    ('MAPAAAAAA', None, True), ('MAPAAAAAA==', None, True), ('MAPAAAAAB', None, True),
    ('MAP' + 'A' * 22, None, True), ('MAP' + 'A' * 21 + 'P', None, True),
    ('MAP' + 'A' * 40 + '/' + 'A' * 45, None, True),
    # Generations
    ('/2/3', 'B2/S/C3', True), ('B2/S/3', 'B2/S/C3', True), ('345/2/4', 'B2/S345/C4', True),
    ('23/3/8', 'B3/S23/C8', True), ('3/2/4H', 'B2/S3/C4H', True), ('3/2/4V', 'B2/S3/C4V', True),
    ('2/2/3h', 'B2/S2/C3H', True), ('B2/S3/4H', 'B2/S3/C4H', True), ('S3/B2/4', 'B2/S3/C4', True),
    ('2/S3/4', 'B2/S3/C4', True), ('B2/3/4', 'B2/S3/C4', True), ('32/21/4', 'B12/S23/C4', True),
    ('/2-a/3', 'B2-a/S/C3', True), ('/2a2/3', 'B2a/S/C3', True), ('2_2a/3', 'B2a/S2/C3', True),
    ('2a_2/3', 'B2/S2a/C3', True), ('/2/03', 'B2/S/C3', True), ('/12345678/256', 'B12345678/S/C256', True),
    ('012345678/2/3', 'B2/S012345678/C3', True), ('2a/3_4', 'B3/S2a/C4', True),
    ('MAP' + CONWAY_MAP + '/3', 'MAP' + CONWAY_MAP + '/3', True),
    ('MAP' + CONWAY_MAP + '==/3', 'MAP' + CONWAY_MAP + '/3', True), ('MAPAAA/AA/3', 'MAPAAA/AA/3', True),
    ('3/2/4:T10', 'B2/S3/C4:T10,10', True), ('3/2/4H:T10', 'B2/S3/C4H:T10,10', True),
    ('3/2/4V:K10,20', 'B2/S3/C4V:K10,20*', True), ('/2/3:T,20', 'B2/S/C3:T0,20', True),
    ('B2/S/C3', 'B2/S/C3', False), ('b2/s/c3', 'B2/S/C3', False), ('B2/S/G3', 'B2/S/C3', False),
    ('g3b2s', 'B2/S/C3', False), ('G4B2S345', 'B2/S345/C4', False), ('B2/S3/C4H', 'B2/S3/C4H', False),
    ('23/3/2', 'B3/S23', False), ('B3/S23/C2', 'B3/S23', False), ('MAP' + CONWAY_MAP + '/2', None, False),
    ("Brian's Brain", 'B2/S/C3', False), ('StarWars', 'B2/S345/C4', False),
    # Larger than Life
    ('R1,C0,M1,S3..4,B3..3,NM', None, True), ('R1,C2,M1,S3..4,B3..3,NM', None, True),
    ('R1,C1,M1,S3..4,B3..3,NM', None, True), ('R1,C3,M1,S3..4,B3..3,NM', None, True),
    ('R1,C256,M1,S3..4,B3..3,NM', None, True), ('R500,C0,M1,S3..4,B3..3,NM', None, True),
    ('R1,C0,M1,S3..4,B3..3,NN', None, True), ('R1,C0,M1,S3..4,B3..3,NC', None, True),
    ('R1,C0,M1,S3..4,B3..3,NM,', None, True), ('R1,C0,M1,S0..9,B3..3,NM', None, True),
    ('R2,C0,M1,S0..21,B1..1,NC', None, True), ('R3,C0,M1,S0..37,B1..1,NC', None, True),
    ('R2,C0,M0,S0..20,B1..1,NC', None, True), ('R2,C0,M1,S0..13,B1..1,NN', None, True),
    ('R500,C0,M1,S0..1002001,B1..1,NM', None, True), ('R1,C0,M0,S2..3,B3..3,NM', None, True),
    ('R2,C5,M0,S4..9,B5..7,NN', None, True), ('1,3,3,3,4', None, True), ('2,3,3,3,4', None, True),
    ('R1,C00,M1,S03..04,B3..3,NM', None, True), (BOSCO + ':T5,5', None, True), (BOSCO + ':T0,20', None, True),
    (BOSCO + ':P5', None, True), (BOSCO + ':T', None, True), (BOSCO + ':', None, True), (BOSCO + ':T,', None, True),
    (BOSCO + ':T20,', None, True), (BOSCO + ':t20', None, True), (BOSCO + ':T20,0', None, True),
    (BOSCO + ':p20,30', None, True), (BOSCO + ':T20,30,', None, True), ('1,3,3,3,4:P300,200', None, True),
    ('r1,c0,m1,s3..4,b3..3,nm', 'R1,C0,M1,S3..4,B3..3,NM', False),
    ('R1, C0, M1, S3..4, B3..3, NM', 'R1,C0,M1,S3..4,B3..3,NM', False),
    ("Bosco's Rule", BOSCO, False), ('Bugs:T500,40', BOSCO + ':T500,40', False),
    # grid suffixes
    ('B3/S23:T10', None, True), ('B3/S23:t10,5', None, True), ('B3/S23:P10', None, True),
    ('B3/S23:K10,20', None, True), ('B3/S23:K10*,20', None, True), ('B3/S23:K10*+3,20', None, True),
    ('B3/S23:K10*-1,20', None, True), ('B3/S23:K9*+1,20', None, True), ('B3/S23:K10,20*+2', None, True),
    ('B3/S23:K10,21*+1', None, True), ('B3/S23:K10', None, True), ('B3/S23:K10*', None, True),
    ('B3/S23:K10*+10,20', None, True), ('B3/S23:K10,20*-1', None, True), ('B3/S23:C10', None, True),
    ('B3/S23:C10,20', None, True), ('B3/S23:S10', None, True), ('B3/S23:T10+11,20', None, True),
    ('B3/S23:T10-10,20', None, True), ('B3/S23:T10-3,20', None, True), ('B3/S23:T10-13,20', None, True),
    ('B3/S23:T10,20-23', None, True), ('B3/S23:T10+5,20', None, True), ('B3/S23:T2000000001,1', None, True),
    ('B3/S23:T,20', None, True), ('B3/S23:T10+', None, True), ('B3/S23:T010,020', None, True),
    ('B3/S23:K10*+0,20', None, True), ('B3/S23:T0,0', None, True), ('B3/S23:P0,10', None, True),
    ('B3/S23:P10,0', None, True), ('B3/S23:K2,2', None, True), ('B3/S23:K1*+1,2', None, True),
    ('B3/S23:T1+1,1', None, True), ('B3/S23:T10,20,', None, True), ('B3/S23:S', None, True),
    ('B3/S23:K', None, True), ('B3/S23:P0', None, True), ('B3/S23:K,', None, True), ('B3/S23:', None, True),
    ('B3/S23:T10,20+20', None, True), ('B3/S23:T10,20-', None, True), ('B2-a/S12:T30+7,20', None, True),
    ('MAP' + CONWAY_MAP + ':T10', None, True), ('B2/S34H:C10,12', None, True),
]

# (text, words the refusal line holds, the algorithm under which bgolly refuses it too, or None)
REFUSED = [
    ('B0/S8', 'B0/S8: B0 rules', None), ('B03/S23', 'B0 rules', None), ('B0123478/S01234678', 'B0 rules', None),
    ('/0/3', 'B0 rules', GEN), ('/02/3', 'B0 rules', GEN), ('R1,C0,M1,S3..4,B0..3,NM', 'B0 rules', LTL),
    ('1,0,3,3,4', 'B0 rules', LTL), ('MAP' + '/' * 85 + 'w', 'B0 rules', None), ('MAP/AAAAA', 'B0 rules', None),
    ('B0/S2H', 'B0 rules', None), ('B0a/S', 'letter its count', QL),
    ('/2/1', '2 to 256 states', GEN), ('/2/257', '2 to 256 states', GEN), ('/2/0', '2 to 256 states', GEN),
    ('R1,C257,M1,S3..4,B3..3,NM', '2 to 256 states', LTL), ('MAPAAAAAA/300', '2 to 256 states', GEN),
    ('B3/S23/', 'not a rule', QL), ('B9/S23', '9 is not one', QL), ('B3/S239', '9 is not one', QL),
    ('B3_S23', 'not a rule', QL), ('B3/S23x', 'not a rule', QL), ('B1a/S', 'letter its count', QL),
    ('B2-a-c/S', 'not a rule', QL), ('B2ac-e/S', 'not a rule', QL), ('B2--a/S', 'not a rule', QL),
    ('B8c/S', 'letter its count', QL), ('B5z/S', 'letter its count', QL), ('B2o/S2H', 'not a rule', QL),
    ('B2a/S2H', 'letters go with the eight', QL), ('B2/S7H', 'six neighbours', QL), ('B2/S5V', 'four', QL),
    ('B2H/S3', 'not a rule', QL), ('B2/S3HV', 'not a rule', QL), ('H', 'not a rule', QL), ('23', 'not a rule', QL),
    ('3', 'not a rule', QL), ('B2a/S3_', 'not a rule', QL), ('/2_3', 'not a rule', GEN), ('/2/3/', 'not a rule', GEN),
    ('3H/2/4', 'not a rule', GEN), ('/2a/4H', 'letters go with the eight', GEN), ('B3/S23/C', 'not a rule', None),
    ('MAP' + CONWAY_MAP[:-1], 'MAP rule', QL), ('MAP' + CONWAY_MAP + 'A', 'MAP rule', QL),
    ('MAP' + CONWAY_MAP + '=', 'MAP rule', QL), ('MAPAAA!AA', 'MAP rule', QL), ('MAPAAAAAA/3H', 'MAP rule', GEN),
    ('MAP', 'MAP rule', QL), ('R0,C0,M1,S3..4,B3..3,NM', 'range goes from 1 to 500', LTL),
    ('R501,C0,M1,S3..4,B3..3,NM', 'range goes from 1 to 500', LTL), ('501,3,3,3,4', 'range', LTL),
    ('R1,C0,M2,S3..4,B3..3,NM', 'Rr,Cc,Mm', LTL), ('R1,C0,M1,S3..4,B3..3,NX', 'Rr,Cc,Mm', LTL),
    ('R1,C0,M1,S3..4,B3..3', 'Rr,Cc,Mm', LTL), ('R1,C0,M1,S0..10,B3..3,NM', 'limits', LTL),
    ('R1,C0,M0,S3..4,B3..9,NM', 'limits', LTL), ('R1,C0,M1,S3..4,B3..6,NN', 'limits', LTL),
    ('R2,C0,M1,S0..22,B1..1,NC', 'limits', LTL), ('R1,C0,M1,S4..3,B3..3,NM', 'limits', LTL),
    ('R1,C0,M1,S3..4,B4..3,NM', 'limits', LTL), ('R1,C0,M1,S3,B3,NM', 'Rr,Cc,Mm', LTL),
    ('R1,M1,C0,S3..4,B3..3,NM', 'Rr,Cc,Mm', LTL), ('1,3,3,3', 'Rr,Cc,Mm', LTL), ('1,3,3,3,4,5', 'Rr,Cc,Mm', LTL),
    ('R1,C0,M1,S3...4,B3..3,NM', 'Rr,Cc,Mm', LTL), ('R2,C0,M1,S3..4,B3..3,NMjunk', 'Rr,Cc,Mm', LTL),
    ('B3/S23:X10', 'grid suffix', QL), ('B3/S23:10,20', 'grid suffix', QL), ('B3/S23:K10*,20*', 'no such grid', QL),
    ('B3/S23:K0,20', 'no such grid', QL), ('B3/S23:K10,0*', 'no such grid', QL), ('B3/S23:C10,0', 'no such grid', QL),
    ('B3/S23:S10,10', 'no such grid', QL), ('B3/S23:S0', 'no such grid', QL), ('B3/S23:S10*', 'no such grid', QL),
    ('B3/S23:T10+1,20+1', 'no such grid', QL), ('B3/S23:T0+1,20', 'no such grid', QL),
    ('B3/S23:T10,0-1', 'no such grid', QL), ('B3/S23:T10+1,0', 'no such grid', QL),
    ('B3/S23:T+0,5', 'no such grid', QL), ('B3/S23:T10,20,30', 'grid suffix', QL),
    ('B3/S23:T10,,20', 'grid suffix', QL), ('B3/S23:T10+-1,20', 'grid suffix', QL),
    ('B3/S23:P10*,20', 'no such grid', QL), ('B3/S23:T10*,20', 'no such grid', QL),
    ('B3/S23:C10+1,20', 'no such grid', QL), ('B3/S23:T10.5', 'grid suffix', QL), ('B3/S23:T10;', 'grid suffix', QL),
    ('B3/S23:P10,20+1', 'no such grid', QL), ('B3/S23:K10+1,20*', 'no such grid', QL),
    ('B3/S23:K10*+1,20+1', 'no such grid', QL), ('B3/S23:K0', 'no such grid', QL), ('B3/S23:C0,0', 'no such grid', QL),
    ('B3/S23:T10x', 'grid suffix', QL), ('B3/S23:T 10,20', 'grid suffix', QL), ('B3/S23:T10,10 junk', 'grid suffix', QL),
    (BOSCO + ':K20,20', 'no such grid', LTL), (BOSCO + ':C20,20', 'no such grid', LTL), (BOSCO + ':S20', 'no such grid', LTL),
    (BOSCO + ':T20+1,20', 'grid suffix', LTL), (BOSCO + ':T100000,100000', 'no such grid', LTL),
    (BOSCO + ':T10001,10000', 'no such grid', LTL), (BOSCO + ':T,20', 'grid suffix', LTL),
    (BOSCO + ':T20*', 'grid suffix', LTL), (BOSCO + ':20', 'no such grid', LTL), (BOSCO + ':T20,20junk', 'grid suffix', LTL),
    ('Langtons-Ant', 'Langtons-Ant is a rule table, which tumbra does not run', None),
    ('WireWorld', 'WireWorld is a rule table', None), ('Byl-Loop', 'Byl-Loop is a rule table', None),
    ('JvN29', 'JvN29 is a rule table', None), ('Codd2', 'Codd2 is a rule table', None),
    ('LifeHistory:T30+7,20', 'LifeHistory is a rule table', None), ('Bash', 'Bash is a rule table', None),
    ('W110', 'W110 is a one-dimensional rule', None), ('w22', 'w22 is a one-dimensional rule', None),
    ('BBM-Margolus-emulated', 'is a Margolus rule', None),
    ('MS,D0;8;4;3;2;5;9;7;1;6;10;11;12;13;14;15', 'is a Margolus rule', None),
    ('', 'no rule given', None), ('B3/S23' + ' junk' * 50, 'far too long', None),
]

# Larger ranges make fields too large for the plain stepper.
STEPPED_RANGE_LIMIT = 10


class Rule:
    """One line of rule_print's output."""

    def __init__(self, fields):
        self.text, self.bgolly = fields[1], fields[2]
        self.kind, self.states, self.neighbours, self.totalistic = (int(f) for f in fields[3:7])
        self.counts = fields[7]
        self.map = bytes.fromhex(fields[8])
        r, m, shape, sl, sh, bl, bh = fields[9].split(',')
        self.larger = (int(r), m == '1', shape, int(sl), int(sh), int(bl), int(bh))
        self.grid = fields[10]
        self.label = fields[11]

    def record(self):
        """What makes two rules the same rule."""
        return (self.kind, self.states, self.map if self.kind != 2 else self.larger, self.grid)

    def algorithm(self):
        if self.kind == 2:
            return LTL
        return GEN if self.states > 2 else QL

    def stepping_text(self):
        """The rule for bgolly to step: bgolly 3.3's QuickLife reads hexagonal
        MAP rules with their top and bottom rows swapped, its Generations as
        the table is meant, in reading order."""
        body = self.bgolly.split(':')[0]
        if self.neighbours == 1 and body.startswith('MAP') and self.states == 2:
            return GEN, body + '/2'
        return self.algorithm(), body

    def outcome(self, k):
        return self.map[k >> 3] >> (k & 7) & 1


def run_rule_print(rule_print, texts):
    """ParseRule's reading of each text: a Rule, or (error number, refusal line)."""
    out = subprocess.run([rule_print], input=''.join(t + '\n' for t in texts), capture_output=True, text=True,
                         check=True).stdout.splitlines()
    assert len(out) == len(texts), 'rule_print gave %d lines for %d texts' % (len(out), len(texts))
    results = []
    for line in out:
        fields = line.split('\t')
        results.append(Rule(fields) if fields[0] == 'ok' else (int(fields[1]), fields[2]))
    return results


# ---- bgolly ---------------------------------------------------------------------

def state_char(state, two_state):
    if two_state:
        return 'o' if state else 'b'
    if state == 0:
        return '.'
    state -= 1
    return ('' if state < 24 else chr(ord('p') + state // 24 - 1)) + chr(ord('A') + state % 24)


def write_rle(cells, width, height, rule, two_state):
    rows = []
    for y in range(height):
        rows.append(''.join(state_char(cells.get((x, y), 0), two_state) for x in range(width)))
    header = 'x = %d, y = %d' % (width, height) + (', rule = %s' % rule if rule else '')
    return header + '\n' + '$'.join(rows) + '!\n'


def read_rle(text):
    """(rule, {(x, y): state}) of bgolly's RLE output, from its bounding box's corner."""
    rule, body = None, []
    for line in text.splitlines():
        if line.startswith('#'):
            continue
        if line.startswith('x'):
            if 'rule = ' in line:
                rule = line.split('rule = ', 1)[1].strip()
            continue
        body.append(line.strip())
    try:
        return rule, rle_states(''.join(body))
    except ValueError as error:
        raise ValueError('bgolly wrote %s' % error)


def bgolly(algorithm, rule, cells=None, width=3, height=3, generations=0, two_state=True):
    """bgolly's canonical text of rule and the cells after the generations, or
    (None, error line) when it refuses the rule."""
    if cells is None:
        cells = {(1, 0): 1, (1, 1): 1, (1, 2): 1}
    with tempfile.TemporaryDirectory() as d:
        spaced = ' ' in rule
        with open(os.path.join(d, 'in.rle'), 'w') as f:
            f.write(write_rle(cells, width, height, None if spaced else rule, two_state))
        args = ['bgolly', '-a', algorithm, '-m', str(generations), '-o', os.path.join(d, 'out.rle')]
        if spaced:
            args += ['-r', rule]
        run = subprocess.run(args + [os.path.join(d, 'in.rle')], capture_output=True, text=True, timeout=60)
        out = os.path.join(d, 'out.rle')
        if not os.path.exists(out):
            errors = [l for l in (run.stdout + run.stderr).splitlines() if 'rror' in l]
            return None, errors[0] if errors else 'no output'
        with open(out) as f:
            return read_rle(f.read())


# ---- The plain stepper --------------------------------------------------------------

BLOCK = [(-1, -1), (0, -1), (1, -1), (-1, 0), (0, 0), (1, 0), (-1, 1), (0, 1), (1, 1)]


def larger_offsets(larger):
    r, middle, shape = larger[:3]
    out = []
    for dy in range(-r, r + 1):
        for dx in range(-r, r + 1):
            if (dx, dy) == (0, 0) and not middle:
                continue
            if shape == 'N' and abs(dx) + abs(dy) > r:
                continue
            if shape == 'C' and dx * dx + dy * dy > r * r + r:
                continue
            out.append((dx, dy))
    return out


def step(rule, cells, width, height):
    """One generation on the width x height torus: only state 1 counts, only
    state 0 is born into, a live cell that does not survive starts dying."""
    offsets = larger_offsets(rule.larger) if rule.kind == 2 else None
    out = {}
    for y in range(height):
        for x in range(width):
            s = cells.get((x, y), 0)
            if s >= 2:
                nxt = s + 1 if s + 1 < rule.states else 0
            else:
                if offsets is None:
                    k = 0
                    for i, (dx, dy) in enumerate(BLOCK):
                        k |= (cells.get(((x + dx) % width, (y + dy) % height)) == 1) << (8 - i)
                    lives = rule.outcome(k)
                else:
                    n = sum(cells.get(((x + dx) % width, (y + dy) % height)) == 1 for dx, dy in offsets)
                    low, high = rule.larger[3:5] if s == 1 else rule.larger[5:7]
                    lives = low <= n <= high
                nxt = 1 if lives else (0 if s == 0 or rule.states == 2 else 2)
            if nxt:
                out[(x, y)] = nxt
    return out


def from_corner(cells):
    if not cells:
        return {}
    x0 = min(x for x, _ in cells)
    y0 = min(y for _, y in cells)
    return {(x - x0, y - y0): s for (x, y), s in cells.items()}


def torus_side(rule):
    return max(16, 2 * rule.larger[0] + 2) if rule.kind == 2 else 16


def random_field(rng, rule, side):
    cells = {}
    for y in range(side):
        for x in range(side):
            if rng.random() < 0.45:
                cells[(x, y)] = 1 if rule.states == 2 or rng.random() < 0.6 else rng.randrange(2, rule.states)
    return cells


def stepping_failures(rule, rng, fields=2, generations=2):
    """Where bgolly and the stepper part on random fields, as lines."""
    side = torus_side(rule)
    algorithm, body = rule.stepping_text()
    failures = []
    for _ in range(fields):
        cells = random_field(rng, rule, side)
        ours = cells
        for _ in range(generations):
            ours = step(rule, ours, side, side)
        _, theirs = bgolly(algorithm, '%s:T%d,%d' % (body, side, side), cells, side, side, generations,
                           rule.states == 2 and algorithm != GEN)
        if theirs is None or from_corner(theirs) != from_corner(ours):
            failures.append('%s: %d generations on a %d x %d torus differ from bgolly' % (rule.text, generations,
                                                                                           side, side))
    return failures


# ---- Random rules of each family ----------------------------------------------

LETTERS = 'cekainyqjrtwz'
LETTERS_OF_COUNT = [0, 2, 6, 10, 13, 10, 6, 2, 0]
BASE64 = 'ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/'


def random_counts(rng, most, lettered, birth):
    part = ''
    for n in range(1 if birth else 0, most + 1):
        if rng.random() < 0.45:
            continue
        part += str(n)
        if lettered and LETTERS_OF_COUNT[n] and rng.random() < 0.7:
            letters = rng.sample(LETTERS[:LETTERS_OF_COUNT[n]], rng.randrange(1, LETTERS_OF_COUNT[n] + 1))
            part += ('-' if rng.random() < 0.4 else '') + ''.join(letters)
    return part


def random_rules(rng):
    rules = []
    for _ in range(12):
        rules.append('B%s/S%s' % (random_counts(rng, 8, True, True), random_counts(rng, 8, True, False)))
    for letter, most in (('H', 6), ('V', 4)):
        for _ in range(4):
            rules.append('B%s/S%s%s' % (random_counts(rng, most, False, True), random_counts(rng, most, False, False),
                                        letter))
    for _ in range(6):
        lettered = rng.random() < 0.5
        letter = '' if lettered else rng.choice(['', 'H', 'V'])
        most = {'': 8, 'H': 6, 'V': 4}[letter]
        rules.append('%s/%s/%d%s' % (random_counts(rng, most, lettered, False),
                                     random_counts(rng, most, lettered, True), rng.randrange(3, 30), letter))
    for characters in (86, 22, 6):
        for states in (2, 2, 2, 5):
            text = rng.choice(BASE64[:32]) + ''.join(rng.choice(BASE64) for _ in range(characters - 1))
            rules.append('MAP' + text + ('/%d' % states if states > 2 else ''))
    for _ in range(8):
        r = rng.randrange(1, 5)
        shape = rng.choice('MNC')
        size = {'M': (2 * r + 1) ** 2, 'N': 2 * r * (r + 1) + 1,
                'C': sum(1 for x in range(-r, r + 1) for y in range(-r, r + 1) if x * x + y * y <= r * r + r)}[shape]
        b = sorted(rng.sample(range(1, size // 2 + 2), 2))
        s = sorted(rng.sample(range(0, size // 2 + 2), 2))
        rules.append('R%d,C%d,M%d,S%d..%d,B%d..%d,N%s' % (r, rng.choice([0, 0, 3, 7]), rng.randrange(2), s[0], s[1],
                                                           b[0], b[1], shape))
    return rules


# ---- The checks -----------------------------------------------------------------

def check(rule_print, rng):
    named = subprocess.run([rule_print, '--named'], capture_output=True, text=True, check=True).stdout.splitlines()
    cases = CANONICAL + [(text, None, True) for text in random_rules(rng)] + [(name, None, False) for name in named]
    texts = [c[0] for c in cases]
    ours = run_rule_print(rule_print, texts)
    failures = []
    pool = concurrent.futures.ThreadPoolExecutor(2)

    def canonical_failures(case, rule):
        text, expected, golly_reads = case
        if not isinstance(rule, Rule):
            return ['%r: refused (%s)' % (text, rule[1])]
        found = []
        if expected is not None and rule.text != expected:
            found.append('%r: canonical text %s, not %s' % (text, rule.text, expected))
        if golly_reads:
            said, _ = bgolly(rule.algorithm(), text)
            if said != rule.bgolly:
                found.append('%r: bgolly writes %s, we %s' % (text, said, rule.bgolly))
        said, _ = bgolly(rule.algorithm(), rule.bgolly)
        if said != rule.bgolly:
            found.append('%r: bgolly reads our %s as %s' % (text, rule.bgolly, said))
        return found

    futures = [pool.submit(canonical_failures, case, rule) for case, rule in zip(cases, ours)]
    taken = [rule for rule in ours if isinstance(rule, Rule)]
    # Both formatted texts read back as the same rule.
    again = run_rule_print(rule_print, [r.text for r in taken] + [r.bgolly for r in taken])
    for rule, back in zip(taken + taken, again):
        if not isinstance(back, Rule) or back.record() != rule.record() or back.text != rule.text:
            failures.append('%s does not read back as itself' % rule.text)
    for f in futures:
        failures += f.result()

    # Refusals, with their reason, and bgolly's where it refuses too.
    refused = run_rule_print(rule_print, [r[0] for r in REFUSED])
    for (text, words, algorithm), got in zip(REFUSED, refused):
        if isinstance(got, Rule):
            failures.append('%r is taken as %s' % (text, got.text))
        elif words not in got[1]:
            failures.append('%r is refused with "%s", not "%s"' % (text, got[1], words))
        if algorithm is not None:
            said, _ = bgolly(algorithm, text)
            if said is not None:
                failures.append('%r: bgolly takes it as %s' % (text, said))

    # One and two generations of random fields under every rule taken.
    seen = set()
    steps = []
    for rule in taken:
        key = rule.record()[:3]
        if key in seen or (rule.kind == 2 and rule.larger[0] > STEPPED_RANGE_LIMIT):
            continue
        seen.add(key)
        steps.append(pool.submit(stepping_failures, rule, random.Random(rng.random())))
    for f in steps:
        failures += f.result()
    return failures, len(cases), len(REFUSED), len(steps)


def self_test(rule_print, rng):
    """Tables with wrong entries, a Larger than Life survival limit moved and
    a wrong canonical text must all be caught."""
    caught = 0
    rules = run_rule_print(rule_print, ['B3/S23', 'B2-a/S12', 'B2/S34H', 'B13/S012V', '345/2/4', 'MAPAAAAAA',
                                        BOSCO, 'R2,C4,M0,S3..5,B4..6,NC'])
    for rule in rules:
        wrong = Rule.__new__(Rule)
        wrong.__dict__.update(rule.__dict__)
        if rule.kind == 2:
            wrong.larger = rule.larger[:4] + (rule.larger[4] - 4,) + rule.larger[5:]
        else:
            # Flip the entry of a neighbourhood that shows up at once in a soup.
            flipped = bytearray(rule.map)
            flipped[0x0F >> 3] ^= 1 << (0x0F & 7)   # three alive in a row at the bottom, the cell dead
            flipped[0x1D >> 3] ^= 1 << (0x1D & 7)
            flipped[0x07 >> 3] ^= 1 << (0x07 & 7)
            wrong.map = bytes(flipped)
        if stepping_failures(wrong, random.Random(rng.random()), fields=3, generations=1):
            caught += 1
        else:
            print('FAIL: a wrong table of %s was not caught' % rule.text)
    said, _ = bgolly(QL, 'B2cek3i_S12cei')
    if said != 'B2cek3i_S12cei':
        caught += 1
    else:
        print('FAIL: a wrong canonical text was not caught')
    return caught == len(rules) + 1


def main():
    if len(sys.argv) < 2:
        print(__doc__)
        return 2
    if shutil.which('bgolly') is None:
        print('bgolly is missing (Debian package golly): skipped')
        return 77
    rng = random.Random(20240611)
    if sys.argv[2:] == ['--self-test']:
        ok = self_test(sys.argv[1], rng)
        print('self-test: %s' % ('wrong tables and texts are caught' if ok else 'FAILED'))
        return 0 if ok else 1
    failures, canonical, refused, stepped = check(sys.argv[1], rng)
    for line in failures:
        print('FAIL: ' + line)
    print('%d rule texts, %d refusals, %d rules stepped against bgolly: %d failures' % (canonical, refused, stepped,
                                                                                       len(failures)))
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
