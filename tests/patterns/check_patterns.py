#!/usr/bin/env python3
"""Checks the shipped pattern collection against bgolly (Debian package golly).

Every .rle file in the folder must be read by bgolly under the rule it names
and hold the fact given for it in facts.txt; see docs/patterns.md for the
kinds of fact. Each pattern's population on a 1024 x 768 torus, generation by
generation, goes to the report file for comparison with the saver's engine.

  check_patterns.py PATTERN_DIR REPORT_FILE [NAME...]
  check_patterns.py PATTERN_DIR --self-test   (wrong facts and broken files must fail)

Exit status: 0 when all hold, 1 when any fails, 77 when bgolly is missing.
"""
import concurrent.futures
import os
import re
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'tools', 'lib'))
from rle import rle_cells  # noqa: E402

MAX_WIDTH, MAX_HEIGHT = 1000, 600
MAX_BYTES = 300 * 1024
TORUS = (1024, 768)
TORUS_GENERATIONS = 500


def parse_rle(text):
    """Header lines, rule and live cells of an RLE text, as the saver's files are written."""
    comments, header, rule, body = [], None, None, []
    for line in text.splitlines():
        s = line.strip()
        if header is None:
            if s.startswith('#'):
                comments.append(s)
                continue
            m = re.fullmatch(r'x\s*=\s*(\d+)\s*,\s*y\s*=\s*(\d+)\s*(?:,\s*rule\s*=\s*(\S+))?', s)
            if not m:
                raise ValueError('no "x = W, y = H, rule = R" line before the cells')
            header = (int(m.group(1)), int(m.group(2)))
            rule = m.group(3)
            continue
        body.append(s)
    if header is None:
        raise ValueError('no header line')
    cells = rle_cells(''.join(body))
    return comments, header, rule, cells


def parse_macrocell(text):
    """Live cells of a two-state macrocell file, in the universe's own coordinates."""
    nodes = [None]  # node 0 is the empty node
    for line in text.splitlines():
        if not line or line[0] in '[#':
            continue
        if line[0] in '.*$':
            cells = []
            for y, row in enumerate(line.split('$')):
                cells.extend((x, y) for x, ch in enumerate(row) if ch == '*')
            nodes.append((3, cells))
        else:
            level, *kids = map(int, line.split())
            nodes.append((level, kids))
    if len(nodes) == 1:
        return set()
    out = set()

    def walk(index, x0, y0):
        if index == 0:
            return
        level, data = nodes[index]
        if level == 3:
            out.update((x0 + x, y0 + y) for x, y in data)
            return
        half = 1 << (level - 1)
        for kid, (dx, dy) in zip(data, ((0, 0), (half, 0), (0, half), (half, half))):
            walk(kid, x0 + dx, y0 + dy)

    level = nodes[-1][0]
    walk(len(nodes) - 1, -(1 << (level - 1)), -(1 << (level - 1)))
    return out


def shape(cells):
    """The cells moved so that their bounding box starts at 0, 0; with that offset."""
    if not cells:
        return frozenset(), (0, 0)
    mx, my = min(x for x, _ in cells), min(y for _, y in cells)
    return frozenset((x - mx, y - my) for x, y in cells), (mx, my)


def run_bgolly(path, args):
    r = subprocess.run(['bgolly'] + args + [path], capture_output=True, text=True, timeout=120)
    if r.returncode != 0 or 'error' in r.stdout.lower():
        raise ValueError('bgolly refused it: ' + (r.stdout + r.stderr).strip().splitlines()[-1])
    return r.stdout


def populations(path, last, step=1, hashlife=False):
    """Population by generation, 0 to last, as bgolly prints it."""
    pops = {}
    args = ['-m', str(last), '-i', str(step)] + (['-h'] if hashlife else [])
    for line in run_bgolly(path, args).splitlines():
        m = re.fullmatch(r'([\d,]+): ([\d,]+)', line.strip())
        if m:
            pops[int(m.group(1).replace(',', ''))] = int(m.group(2).replace(',', ''))
    return pops


def written_at(work, path, generation, suffix):
    """bgolly's own file of the pattern at a generation. Macrocell keeps the
    universe's coordinates, which RLE does not, so moves can be measured."""
    fd, out = tempfile.mkstemp(suffix=suffix, dir=work)
    os.close(fd)
    run_bgolly(path, (['-h'] if suffix == '.mc' else []) + ['-q', '-q', '-m', str(generation), '-o', out])
    with open(out) as f:
        return f.read()


def cells_at(work, path, generation):
    return parse_macrocell(written_at(work, path, generation, '.mc'))


def primes_of(n):
    out, d = [], 2
    while d * d <= n:
        if n % d == 0:
            out.append(d)
            while n % d == 0:
                n //= d
        d += 1
    return out + ([n] if n > 1 else [])


def check_period(work, path, period, dx, dy):
    """Returns to itself moved by dx, dy after period generations, and to no copy of itself at any divisor."""
    start, origin = shape(cells_at(work, path, 0))
    later, moved = shape(cells_at(work, path, period))
    if later != start:
        return 'generation %d is not a copy of generation 0' % period
    if (moved[0] - origin[0], moved[1] - origin[1]) != (dx, dy):
        return 'moved by %d, %d after %d generations, not %d, %d' % (
            moved[0] - origin[0], moved[1] - origin[1], period, dx, dy)
    for q in primes_of(period):
        if shape(cells_at(work, path, period // q))[0] == start:
            return 'already a copy of itself at generation %d' % (period // q)
    return None


def check_stable(work, path, generation, population, period):
    pops = populations(path, generation + 5 * period)
    if pops.get(generation) != population:
        return 'population %s at generation %d, not %d' % (pops.get(generation), generation, population)
    for t in range(generation, generation + 4 * period):
        if pops[t] != pops[t + period]:
            return 'population still changing after generation %d (%d at %d, %d at %d)' % (
                generation, pops[t], t, pops[t + period], t + period)
    return None


def check_dies(work, path, generation):
    pops = populations(path, generation)
    if pops.get(generation) != 0 or pops.get(generation - 1, 0) == 0:
        return 'population %s at %d and %s at %d' % (
            pops.get(generation - 1), generation - 1, pops.get(generation), generation)
    return None


def check_gun(work, path, period, growth, after):
    """Population grows by the same amount each period, sampled at one phase so
    that spaceships whose phases differ in population count alike."""
    pops = populations(path, after + 4 * period)
    for k in range(1, 5):
        t = after + (k - 1) * period
        if pops[t + period] - pops[t] != growth:
            return 'population %d at %d but %d at %d, not %+d' % (
                pops[t], t, pops[t + period], t + period, growth)
    return None


def check_copies(work, path, generation, count):
    start, _ = shape(cells_at(work, path, 0))
    later = cells_at(work, path, generation)
    anchor = min(start)
    used, found = set(), 0
    for x, y in sorted(later):
        dx, dy = x - anchor[0], y - anchor[1]
        copy = {(a + dx, b + dy) for a, b in start}
        if copy <= later and not copy & used:
            used |= copy
            found += 1
    if found != count:
        return '%d copies of generation 0 at generation %d, not %d' % (found, generation, count)
    return None


GROWTH = {'linear': (1.6, 2.5), 'quadratic': (3.2, 5.0)}


def check_grows(work, path, order, generation):
    """Growth by order: the cells gained by 4T against those gained by 2T is
    about 2 for linear growth (puffers, rakes) and 4 for quadratic (breeders)."""
    if order not in GROWTH:
        return 'growth "%s" is not one of: %s' % (order, ', '.join(GROWTH))
    half = generation // 2
    pops = populations(path, 2 * generation, half, hashlife=True)
    gained = [pops[t] - pops[0] for t in (generation, 2 * generation)]
    low, high = GROWTH[order]
    if gained[0] <= 0 or not low <= gained[1] / gained[0] <= high:
        return 'gains %d cells by %d and %d by %d: not %s growth' % (
            gained[0], generation, gained[1], 2 * generation, order)
    return None


FACTS = {
    'osc': (lambda work, path, period: check_period(work, path, period, 0, 0), 1),
    'ship': (check_period, 3),
    'stable': (check_stable, 3),
    'dies': (check_dies, 1),
    'gun': (check_gun, 3),
    'copies': (check_copies, 2),
    'grows': (check_grows, 2),  # order, generation
}


def torus_populations(work, path, rule, size):
    """Population, generation by generation, centred on the fixed torus."""
    with open(path) as f:
        lines = f.read().splitlines()
    body = '\n'.join(lines[next(i for i, l in enumerate(lines) if l.startswith('x')) + 1:])
    base = rule.split(':')[0]
    name = os.path.join(work, 'torus-' + os.path.basename(path))
    with open(name, 'w') as f:
        f.write('#CXRLE Pos=%d,%d\nx = %d, y = %d, rule = %s:T%d,%d\n%s' % (
            -(size[0] // 2), -(size[1] // 2), size[0], size[1], base, TORUS[0], TORUS[1], body + '\n'))
    pops = populations(name, TORUS_GENERATIONS)
    return [pops[t] for t in range(TORUS_GENERATIONS + 1)]


def check_file(folder, name, fact, work):
    """Problems found with one pattern file, and its torus populations."""
    path = os.path.join(folder, name)
    problems = []
    if os.path.getsize(path) > MAX_BYTES:
        problems.append('larger than %d bytes' % MAX_BYTES)
    try:
        with open(path) as f:
            comments, size, rule, cells = parse_rle(f.read())
    except (ValueError, UnicodeDecodeError) as e:
        return [str(e)], None
    if not comments or not comments[0].startswith('#N ') or len(comments[0]) < 4:
        problems.append('the first line is not "#N Name"')
    notes = [c for c in comments[1:] if c.startswith('#C ')]
    if not 1 <= len(notes) <= 2 or len(notes) != len(comments) - 1:
        problems.append('wants one or two "#C" lines after the name and nothing else')
    if rule is None:
        problems.append('names no rule')
        return problems, None
    if not cells:
        problems.append('has no live cells')
        return problems, None
    if max(x for x, _ in cells) >= size[0] or max(y for _, y in cells) >= size[1]:
        problems.append('cells outside the %d x %d of the header' % size)
    if size[0] > MAX_WIDTH or size[1] > MAX_HEIGHT:
        problems.append('%d x %d is larger than %d x %d' % (size[0], size[1], MAX_WIDTH, MAX_HEIGHT))
    try:
        # bgolly reads the same cells and the same rule.
        _, _, read_rule, read_cells = parse_rle(written_at(work, path, 0, '.rle'))
        if shape(read_cells)[0] != shape(cells)[0]:
            problems.append('bgolly reads other cells than these')
        if read_rule.split(':')[0].lower() != rule.split(':')[0].lower():
            problems.append('bgolly reads rule %s, not %s' % (read_rule, rule))
        kind, *args = fact.split()
        check, arity = FACTS.get(kind, (None, -1))
        if check is None or len(args) != arity:
            problems.append('fact "%s" is not one of: %s' % (fact, ', '.join(FACTS)))
        else:
            problem = check(work, path, *[int(a) if a.lstrip('-').isdigit() else a for a in args])
            if problem:
                problems.append('%s: %s' % (fact, problem))
        return problems, torus_populations(work, path, rule, size)
    except (ValueError, KeyError, subprocess.TimeoutExpired) as e:
        problems.append(str(e) or repr(e))
        return problems, None


def read_facts(folder):
    facts = {}
    with open(os.path.join(folder, 'facts.txt')) as f:
        for number, line in enumerate(f, 1):
            line = line.split('#')[0].strip()
            if line:
                name, _, fact = line.partition(' ')
                if name in facts:
                    raise SystemExit('facts.txt:%d: %s listed twice' % (number, name))
                facts[name] = fact.strip()
    return facts


# Facts that must not hold, and files that must not pass, made from the
# collection's own files: the check has to catch every one.
WRONG_FACTS = [
    ('glider.rle', 'ship 4 1 -1'),             # wrong direction
    ('glider.rle', 'ship 8 2 2'),              # a multiple of the period
    ('blinker.rle', 'osc 4'),
    ('lwss.rle', 'osc 4'),                     # a spaceship is no oscillator
    ('r-pentomino.rle', 'stable 1103 117 2'),
    ('r-pentomino.rle', 'stable 1000 116 2'),  # not settled yet
    ('diehard.rle', 'dies 129'),
    ('diehard.rle', 'dies 131'),               # already dead a generation earlier
    ('gosper-glider-gun.rle', 'gun 30 6 60'),
    ('gosper-glider-gun.rle', 'gun 15 5 60'),
    ('highlife-replicator.rle', 'copies 12 3'),
    ('puffer-train.rle', 'grows quadratic 2000'),
    ('breeder-1.rle', 'grows linear 2000'),
    ('pulsar.rle', 'wobbles 3'),
]
BROKEN_FILES = {
    'no-name.rle': 'x = 3, y = 3, rule = B3/S23\nbo$2bo$3o!\n',
    'bad-rule.rle': '#N Glider\n#C c\nx = 3, y = 3, rule = B3/S2q\nbo$2bo$3o!\n',
    'bad-cells.rle': '#N Glider\n#C c\nx = 3, y = 3, rule = B3/S23\nbo$2bo$3z!\n',
    'outside.rle': '#N Glider\n#C c\nx = 2, y = 3, rule = B3/S23\nbo$2bo$3o!\n',
    'too-wide.rle': '#N Line\n#C c\nx = 1200, y = 1, rule = B3/S23\n1200o!\n',
    'three-notes.rle': '#N Glider\n#C a\n#C b\n#C c\nx = 3, y = 3, rule = B3/S23\nbo$2bo$3o!\n',
}


def self_test(folder):
    """Exit status 0 when every wrong fact and broken file is caught."""
    missed = []
    with tempfile.TemporaryDirectory() as work:
        for name, fact in WRONG_FACTS:
            if not check_file(folder, name, fact, work)[0]:
                missed.append('%s: "%s" passed' % (name, fact))
        for name, text in BROKEN_FILES.items():
            with open(os.path.join(work, name), 'w') as f:
                f.write(text)
            if not check_file(work, name, 'ship 4 1 1', work)[0]:
                missed.append('%s passed' % name)
    for line in missed:
        print('MISSED', line)
    print('%d wrong facts and broken files, %d missed' % (len(WRONG_FACTS) + len(BROKEN_FILES), len(missed)))
    return 1 if missed else 0


def main():
    if len(sys.argv) < 3:
        raise SystemExit(__doc__)
    folder, report = sys.argv[1], sys.argv[2]
    if shutil.which('bgolly') is None:
        print('bgolly is missing (Debian package golly): skipped')
        return 77
    if report == '--self-test':
        return self_test(folder)
    facts = read_facts(folder)
    files = sorted(f for f in os.listdir(folder) if f.endswith('.rle'))
    failures = ['%s: no line in facts.txt' % f for f in files if f not in facts]
    failures += ['facts.txt: %s has no file' % f for f in facts if f not in files]
    if sys.argv[3:]:
        files = [f for f in files if f in sys.argv[3:]]
    rows = []
    with tempfile.TemporaryDirectory() as work, concurrent.futures.ThreadPoolExecutor(2) as pool:
        jobs = {f: pool.submit(check_file, folder, f, facts.get(f, ''), work) for f in files if f in facts}
        for name, job in jobs.items():
            problems, pops = job.result()
            failures += ['%s: %s' % (name, p) for p in problems]
            if pops:
                rows.append('%s %s' % (name, ' '.join(map(str, pops))))
    os.makedirs(os.path.dirname(os.path.abspath(report)), exist_ok=True)
    with open(report, 'w') as f:
        f.write('# population at generations 0-%d on a %d x %d torus, pattern centred; bgolly QuickLife\n'
                % (TORUS_GENERATIONS, *TORUS))
        f.write('\n'.join(rows) + '\n')
    for line in failures:
        print('FAIL', line)
    print('%d patterns checked, %d problems; torus populations in %s' % (len(jobs), len(failures), report))
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
