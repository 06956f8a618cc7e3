#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes capability-cases.json: generated readings with their capability figures
computed independently of the tool, exactly in rational arithmetic (fractions) with
the square roots taken at 50 digits (decimal), for tst_capability.

Each value is a decimal text; the figures are of the doubles nearest those texts,
which is what the tool reads. Rerun only to change the cases:

    python3 tests/analysis/make_capability_cases.py > tests/analysis/capability-cases.json
"""

import json
import random
from decimal import Decimal, getcontext
from fractions import Fraction

getcontext().prec = 50
D2, E2, D4 = Fraction('1.128'), Fraction('2.66'), Fraction('3.267')


def sqrt(f):
    return Fraction(Decimal(f.numerator).sqrt() / Decimal(f.denominator).sqrt())


def text(f):
    return format(float(f), '.17g') if isinstance(f, Fraction) else f


def figures(texts, lsl, usl, master, tolerance):
    x = [Fraction(float(t)) for t in texts]
    n = len(x)
    mean = sum(x) / n
    out = {'count': n, 'mean': mean, 'minimum': min(x), 'maximum': max(x)}
    if n >= 2:
        s = sqrt(sum((v - mean) ** 2 for v in x) / (n - 1))
        mr = sum(abs(x[i] - x[i - 1]) for i in range(1, n)) / (n - 1)
        within = mr / D2
        out.update(stdDev=s, movingRangeMean=mr, sigmaWithin=within,
                   ucl=mean + E2 * mr, lcl=mean - E2 * mr, rangeUcl=D4 * mr)
    lsl, usl = Fraction(float(lsl)), Fraction(float(usl))
    if n < 2:
        out['reason'] = 'fewer than 2 readings'
    elif not lsl < usl:
        out['reason'] = 'the low limit is not below the high limit'
    elif s == 0:
        out['reason'] = 'no spread: every reading is the same'
    else:
        nearest = min(usl - mean, mean - lsl)
        out.update(cp=(usl - lsl) / (6 * within), cpk=nearest / (3 * within),
                   pp=(usl - lsl) / (6 * s), ppk=nearest / (3 * s))
    if master is not None:
        m, t = Fraction(float(master)), Fraction(float(tolerance))
        out['bias'] = mean - m
        if n >= 2 and s > 0:
            out.update(cg=Fraction(1, 5) * t / (6 * s), cgk=(Fraction(1, 10) * t - abs(mean - m)) / (3 * s))
    return {k: text(v) for k, v in out.items()}


def noisy(centre, sigma, count, decimals, seed):
    rng = random.Random(seed)
    return ['{:.{}f}'.format(Decimal(centre) + Decimal(rng.gauss(0, sigma)), decimals) for _ in range(count)]


CASES = [
    ('readings around 10000 with a spread of 1e-4', noisy('10000', 1e-4, 500, 7, 1),
     '9999.9995', '10000.0005', '10000', '0.001'),
    ('mean outside the limits', noisy('5', 0.01, 60, 4, 2), '5.1', '5.3', None, None),
    ('mean near one limit', noisy('10000.00005', 1e-4, 200, 7, 3), '9999.9995', '10000.00006', None, None),
    ('zero spread', ['3.1416'] * 10, '3.1', '3.2', '3.1416', '0.1'),
    ('two readings', ['1.2345', '1.2351'], '1.2', '1.3', '1.2348', '0.1'),
    ('low limit not below high limit', noisy('1', 0.01, 30, 4, 4), '1.05', '1.05', None, None),
]

print(json.dumps([{'name': name, 'values': values, 'lsl': lsl, 'usl': usl, 'master': master,
                   'tolerance': tolerance, 'expected': figures(values, lsl, usl, master, tolerance)}
                  for name, values, lsl, usl, master, tolerance in CASES], indent=1))
