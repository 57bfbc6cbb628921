#!/usr/bin/env python3
"""tumbra's pattern readers read Golly's own pattern files as bgolly reads them.

  readers_against_golly.py PATTERN_CELLS WORK_DIR

Every file the collection indexes in Golly's Generations, Non-Totalistic,
Larger-than-Life and Life-Like folders (with their subfolders), the gzipped
files of its Life folder and the files of its HashLife folder is read by
PATTERN_CELLS (tumbra's readers) and by bgolly, which writes generation 0 as
RLE (with the Generations or Larger than Life algorithm for those folders).
The cells and their states must be the same up to a translation, and the
rule tumbra reads, written as bgolly reads rules, must be the one bgolly
names. A file tumbra refuses must be one of REFUSED below, for the reason
given there. Every refusal is printed with its line.

While tumbra's rule notation takes no rule beyond the Life-like ones and
keeps no grid suffix, a file whose rule it refuses is printed and not
compared, and rules are compared without their grid suffixes.

Exit status: 0 when all agree, 1 when any differs, 77 when bgolly or Golly's
patterns are missing.
"""
import os
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'tools', 'lib'))
from rle import placed, read_rle_states  # noqa: E402

GOLLY = '/usr/share/golly/Patterns'
# The folders, and the options bgolly reads their files with (none: its own
# algorithm, which reads Life-like and non-totalistic rules; macrocell files
# of two states only HashLife reads).
FOLDERS = [
    ('Generations', ['-a', 'Generations']),
    ('Non-Totalistic', []),
    ('Larger-than-Life', ['-a', 'Larger than Life']),
    ('Life-Like', []),
    ('HashLife', ['-h']),
]
# The files tumbra refuses, and why.
REFUSED = {
    # A B0 rule: it flashes the whole field, in every family.
    'Life-Like/p168-knightship.rle': 'PatternRuleRefused',
    # A one-dimensional Wolfram rule.
    'HashLife/wolfram22.mc': 'PatternRuleRefused',
    # Wider or taller than 65536 cells.
    'HashLife/demonoid-c512-hashlife-friendly.mc.gz': 'PatternBeyondLimits',
    'HashLife/linear-propagator-p237228340.mc.gz': 'PatternBeyondLimits',
    'HashLife/loafer-gun-p8388608-linear.mc.gz': 'PatternBeyondLimits',
    'HashLife/metapixel-galaxy.mc.gz': 'PatternBeyondLimits',
    'HashLife/metapixel-p216-gun.mc.gz': 'PatternBeyondLimits',
    'HashLife/metapixel-parity64.mc.gz': 'PatternBeyondLimits',
}
# Rules of the families beyond Life-like ones, and one with a grid, as bgolly
# reads them: a notation that takes none of them takes no other either.
PROBES = ['/2/3', 'B2-a/S12', 'R5,C0,M1,S34..58,B34..45,NM', 'B3/S23:T20,20']


def run(command, timeout=300):
    return subprocess.run(command, capture_output=True, text=True, timeout=timeout)


def indexed(program, folder):
    """The files the collection indexes in a folder, by their paths."""
    listing = run([program, '--index', folder])
    return [line for line in listing.stdout.splitlines() if line]


def ours(program, path):
    """('read', states {(x, y): state}, rule) or ('refused', error, line)."""
    out = run([program, path]).stdout.splitlines()
    if not out:
        return 'refused', 'nothing', 'pattern_cells printed nothing'
    if out[0].startswith('refused '):
        _, error, line = out[0].split(' ', 2)
        return 'refused', error, line
    rule = out[1][len('rule '):]
    states = {}
    for line in out[3:]:
        x, y, state = map(int, line.split())
        states[(x, y)] = state
    return 'read', states, rule


def theirs(path, options, work):
    """(rule, states {(x, y): state}) of bgolly's generation 0, or a problem."""
    out = os.path.join(work, os.path.basename(path) + '.golly.rle')
    command = ['bgolly'] + options + ['-q', '-q', '-m', '0', '-o', out, path]
    golly = run(command)
    if golly.returncode != 0 or not os.path.exists(out):
        return None, 'bgolly did not read it: ' + (golly.stdout + golly.stderr).strip().splitlines()[-1]
    _, _, rule, states = read_rle_states(out)
    os.remove(out)
    return rule, states


def compare(program, path, options, work, grids):
    """A problem with one file, or None. Without grids, rules are compared
    without their grid suffixes."""
    kind, cells, rule = ours(program, path)
    if kind == 'refused':
        return 'refused: %s: %s' % (cells, rule)
    golly_rule, golly = theirs(path, options, work)
    if golly_rule is None:
        return golly
    if not grids:
        rule, golly_rule = rule.split(':')[0], golly_rule.split(':')[0]
    if rule and rule != golly_rule:
        return 'tumbra reads rule %s, bgolly %s' % (rule, golly_rule)
    if not rule and golly_rule != 'B3/S23':
        return 'tumbra reads no rule, bgolly %s' % golly_rule
    golly = placed(golly, cells)
    if golly != cells:
        only_ours = sum(1 for c, s in cells.items() if golly.get(c) != s)
        only_theirs = sum(1 for c, s in golly.items() if cells.get(c) != s)
        return '%d cells of tumbra not so in bgolly\'s, %d of bgolly\'s not so in tumbra\'s (of %d and %d)' % (
            only_ours, only_theirs, len(cells), len(golly))
    return None


def main():
    if len(sys.argv) != 3:
        raise SystemExit(__doc__)
    program, work = sys.argv[1], sys.argv[2]
    if shutil.which('bgolly') is None or not os.path.isdir(GOLLY):
        print('bgolly or Golly\'s patterns are missing (Debian package golly): skipped')
        return 77
    os.makedirs(work, exist_ok=True)
    notation_complete = all(run([program, '--rule', probe]).stdout == 'taken %s\n' % probe for probe in PROBES)
    files = []
    for folder, options in FOLDERS:
        files += [(path, options) for path in indexed(program, os.path.join(GOLLY, folder))]
    files += [(path, []) for path in indexed(program, os.path.join(GOLLY, 'Life')) if path.endswith('.gz')]
    compared, refused, failures, uncompared = 0, 0, [], []
    for path, options in files:
        name = os.path.relpath(path, GOLLY)
        expected = REFUSED.get(name)
        problem = compare(program, path, options, work, notation_complete)
        if problem and problem.startswith('refused: '):
            error = problem.split(': ')[1]
            print('%s: %s' % (name, problem))
            if error == expected:
                refused += 1
            elif error == 'PatternRuleRefused' and not notation_complete:
                uncompared.append(name)
            else:
                failures.append('%s: %s (expected %s)' % (name, problem, expected or 'to be read'))
        elif problem:
            failures.append('%s: %s' % (name, problem))
        elif expected:
            failures.append('%s: read, but listed as refused (%s)' % (name, expected))
        else:
            print('%s: the same' % name)
            compared += 1
    missing = sorted(set(REFUSED) - {os.path.relpath(path, GOLLY) for path, _ in files})
    failures += ['%s: listed as refused, but not indexed' % name for name in missing]
    for failure in failures:
        print('FAIL', failure)
    if not notation_complete:
        print('%d files not compared: their rules are of families the rule notation does not take yet; rules '
              'compared without grids' % len(uncompared))
    print('%d files read as bgolly reads them, %d refused as expected, %d problems' % (
        compared, refused, len(failures)))
    return 1 if failures or compared == 0 else 0


if __name__ == '__main__':
    sys.exit(main())
