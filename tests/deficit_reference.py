#!/usr/bin/python3
"""Reference values for the deficit tests, computed independently of the C++ code.

Each data set is raw data (N control rows and the case). For a task the script
fits the least-squares regression of the task on an intercept and the
covariates explicitly (X'X b = X'y on the raw rows, in 40-digit arithmetic with
mpmath), and from that fit the residual SD, the prediction, the case's leverage,
Z-CCC, t and its Student t probabilities (the regularized incomplete beta), and
the interval estimates: the non-centrality lambda with P(T_{nu,lambda} <= t*)
= 1 - a (lower) and = a (upper), found by a root finder on the non-central t
distribution function written as a one-dimensional integral over the chi
distribution, P(T <= x) = int_0^inf Phi(x w / sqrt(nu) - lambda) f_chi(w) dw,
evaluated by quadrature. As a check on the route, every number is also
computed in double precision with numpy's least squares and scipy.stats (t,
nct, brentq) and must agree to 1e-7 relative. (Debian 12's scipy evaluates
the non-central t with Boost, so that check guards the script, not Boost: the
independent values are the mpmath integrals.)

It also writes a few values of the Student t and the non-central t
distribution functions (the same mpmath routes) to check Boost's directly.

    tests/deficit_reference.py            writes tests/data/deficit_reference.txt
    tests/deficit_reference.py --check    exits 1 when that file is not what it writes
"""

import sys
import warnings
from pathlib import Path

import mpmath as mp
import numpy as np
from scipy import optimize, stats

mp.mp.dps = 40
# Far from a root scipy's double-precision non-central t can come out as NaN,
# with a warning; every scipy result is checked against the mpmath value (a
# NaN fails), so the warnings are not shown.
warnings.filterwarnings("ignore", category=RuntimeWarning, module="scipy")
DIGITS = 25  # significant digits written
HERE = Path(__file__).resolve().parent
TABLE = HERE / "data" / "deficit_reference.txt"
EXAMPLE = HERE.parent / "examples" / "controls-and-case.txt"


# --- distributions in mpmath -------------------------------------------------

def student_tails(nu, t):
    """(P(T <= t), P(T >= t)) for Student t with nu degrees of freedom."""
    nu, t = mp.mpf(nu), mp.mpf(t)
    half = mp.betainc(nu / 2, mp.mpf(1) / 2, 0, nu / (nu + t * t), regularized=True) / 2
    return (half, 1 - half) if t <= 0 else (1 - half, half)


def nct_tails(nu, lam, x):
    """(P(T <= x), P(T > x)) for the non-central t: integrate over the chi
    distribution of W = sqrt(chi^2_nu), T = (Z + lambda) / (W / sqrt(nu))."""
    nu, lam, x = mp.mpf(nu), mp.mpf(lam), mp.mpf(x)
    log_c = (1 - nu / 2) * mp.log(2) - mp.loggamma(nu / 2)

    def chi_pdf(w):
        if w == 0:
            return mp.mpf(0) if nu > 1 else mp.exp(log_c)
        return mp.exp(log_c + (nu - 1) * mp.log(w) - w * w / 2)

    def lower(w):
        return mp.ncdf(x * w / mp.sqrt(nu) - lam) * chi_pdf(w)

    def upper(w):
        return mp.ncdf(lam - x * w / mp.sqrt(nu)) * chi_pdf(w)

    # The chi density lives around sqrt(nu - 1); the normal factor switches
    # where x w / sqrt(nu) = lambda. Break the range at both.
    points = [mp.mpf(0), mp.sqrt(max(nu - 1, mp.mpf(1) / 4))]
    if x != 0 and lam * x > 0:
        points.append(lam * mp.sqrt(nu) / x)
    points = sorted(set(points))
    spread = points[-1] + 12 + 2 * mp.sqrt(nu)
    points += [spread, mp.inf]
    lo = mp.quad(lower, points)
    hi = mp.quad(upper, points)
    return lo, hi


def lambda_for(nu, t_star, tail, upper):
    """lambda with P(T > t*) = tail (upper) or P(T <= t*) = tail (not upper)."""
    guess = scipy_lambda(nu, float(t_star), float(tail), upper)

    def g(lam):
        lo, hi = nct_tails(nu, lam, t_star)
        return hi - tail if upper else tail - lo

    step = mp.mpf("1e-6") * max(1, abs(guess))
    a, b = mp.mpf(guess) - step, mp.mpf(guess) + step
    while g(a) > 0:
        a -= 10 * step
    while g(b) < 0:
        b += 10 * step
    return mp.findroot(g, (a, b), solver="anderson", tol=mp.mpf(10) ** (-32), maxsteps=200)


# --- the same in double precision with scipy, as a check ----------------------

def scipy_lambda(nu, t_star, tail, upper):
    def g(lam):
        return (stats.nct.sf(t_star, nu, lam) - tail) if upper else (tail - stats.nct.cdf(t_star, nu, lam))

    a = b = t_star
    step = max(1.0, (1 + t_star * t_star / (2 * nu)) ** 0.5)
    while g(a) > 0:
        a -= step
        step *= 2
    step = max(1.0, (1 + t_star * t_star / (2 * nu)) ** 0.5)
    while g(b) < 0:
        b += step
        step *= 2
    return optimize.brentq(g, a, b, xtol=1e-14, rtol=1e-14)


def scipy_deficit(rows, k, task, poorer, alpha):
    data = np.array(rows, dtype=float)
    controls, case = data[:-1], data[-1]
    n = len(controls)
    X = np.column_stack([np.ones(n), controls[:, 2:2 + k]])
    y = controls[:, task - 1]
    b, *_ = np.linalg.lstsq(X, y, rcond=None)
    nu = n - k - 1
    s = (np.sum((y - X @ b) ** 2) / nu) ** 0.5
    x0 = np.concatenate([[1.0], case[2:2 + k]])
    h0 = x0 @ np.linalg.solve(X.T @ X, x0)
    z = (case[task - 1] - x0 @ b) / s
    t = z / (1 + h0) ** 0.5
    p1 = stats.t.cdf(t, nu) if poorer == "lower" else stats.t.sf(t, nu)
    t_star = z / h0 ** 0.5
    lo = h0 ** 0.5 * scipy_lambda(nu, t_star, alpha, True)
    hi = h0 ** 0.5 * scipy_lambda(nu, t_star, alpha, False)
    return {"predicted": x0 @ b, "residualSD": s, "leverage": h0, "t": t, "oneTailedP": p1,
            "effectSize": z, "effectSizeLower": lo, "effectSizeUpper": hi}


# --- the deficit test in mpmath ------------------------------------------------

def deficit(rows, k, task, poorer, two_sided, percent):
    controls, case = rows[:-1], rows[-1]
    n = len(controls)
    X = mp.matrix([[1] + [mp.mpf(v) for v in r[2:2 + k]] for r in controls])
    y = mp.matrix([mp.mpf(r[task - 1]) for r in controls])
    XtX = X.T * X
    b = mp.lu_solve(XtX, X.T * y)
    residuals = y - X * b
    nu = n - k - 1
    rss = sum(residuals[i] ** 2 for i in range(n))
    s = mp.sqrt(rss / nu)
    x0 = mp.matrix([1] + [mp.mpf(v) for v in case[2:2 + k]])
    predicted = (x0.T * b)[0]
    h0 = (x0.T * mp.lu_solve(XtX, x0))[0]
    y0 = mp.mpf(case[task - 1])
    z = (y0 - predicted) / s
    t = z / mp.sqrt(1 + h0)
    below, above = student_tails(nu, t)
    p1 = below if poorer == "lower" else above
    p2 = min(mp.mpf(1), 2 * min(below, above))
    outside = (100 - mp.mpf(percent)) / 100
    a = outside / 2 if two_sided else outside
    t_star = z / mp.sqrt(h0)
    lo = mp.sqrt(h0) * lambda_for(nu, t_star, a, True)
    hi = mp.sqrt(h0) * lambda_for(nu, t_star, a, False)
    if poorer == "lower":
        plo, phi = 100 * mp.ncdf(lo), 100 * mp.ncdf(hi)
    else:
        plo, phi = 100 * mp.ncdf(-hi), 100 * mp.ncdf(-lo)
    result = {"df": nu, "predicted": predicted, "residualSD": s, "leverage": h0, "t": t,
              "oneTailedP": p1, "twoTailedP": p2, "effectSize": z, "percentBeyond": 100 * p1,
              "effectSizeLower": lo, "effectSizeUpper": hi, "percentLower": plo,
              "percentUpper": phi}
    check = scipy_deficit(rows, k, task, poorer, float(a))
    for key, value in check.items():
        want = float(result[key])
        if not abs(value - want) <= 1e-7 * abs(want) + 1e-300:  # NaN fails too
            raise SystemExit(f"scipy and mpmath disagree on {key}: {value!r} against {want!r}")
    return result


def summary(rows, K):
    """Means, SDs (divisor N - 1) and correlations of the control rows."""
    controls = [[mp.mpf(v) for v in r[:K]] for r in rows[:-1]]
    n = len(controls)
    means = [sum(r[j] for r in controls) / n for j in range(K)]
    cross = [[sum((r[i] - means[i]) * (r[j] - means[j]) for r in controls) for j in range(K)]
             for i in range(K)]
    sds = [mp.sqrt(cross[j][j] / (n - 1)) for j in range(K)]
    corr = [[cross[i][j] / mp.sqrt(cross[i][i] * cross[j][j]) for j in range(K)] for i in range(K)]
    return means, sds, corr


# --- the data sets ---------------------------------------------------------------

def made_up(seed, n, k, case, scale=(50, 10)):
    """n control rows of 2 + k scores (whole numbers), correlated, and the case."""
    rng = np.random.default_rng(seed)
    K = k + 2
    corr = np.full((K, K), 0.3) + 0.7 * np.eye(K)
    corr[0, 1] = corr[1, 0] = 0.6
    for j in range(2, K):
        corr[0, j] = corr[j, 0] = 0.5
        corr[1, j] = corr[j, 1] = 0.45
    draws = rng.multivariate_normal(np.zeros(K), corr, size=n)
    rows = [[int(round(scale[0] + scale[1] * v)) for v in r] for r in draws]
    return rows + [case]


def example_rows():
    rows = []
    for line in EXAMPLE.read_text().split("\n"):
        if line.strip():
            rows.append([int(v) for v in line.split()])
    return rows


# (name, rows, k, task, poorer, two-sided, percent)
def cases():
    example = example_rows()
    n5k1 = made_up(11, 5, 1, [31, 44, 52])          # the calibrated prior's smallest N for k = 1
    n4k1 = made_up(12, 4, 1, [38, 71, 49])          # the standard-theory prior's (nu = 2)
    n9k5 = made_up(13, 9, 5, [29, 40, 47, 55, 44, 51, 49])  # calibrated, k = 5 (nu = 3)
    n8k5 = made_up(14, 8, 5, [66, 27, 53, 49, 58, 45, 50])  # standard theory, k = 5 (nu = 2)
    n3k1 = made_up(15, 3, 1, [35, 52, 48])          # nu = 1: outside the priors, valid here
    n40k3 = made_up(16, 40, 3, [41, 50, 63, 58, 60])
    far = made_up(17, 12, 2, [-150, 55, 50, 49])    # the case far in a tail (Z-CCC about -20)
    leverage = made_up(18, 10, 2, [20, 30, 130, 10])  # covariates far from the controls'
    return [
        ("example, Task Y1, lower poorer", example, 2, 1, "lower", True, 95),
        ("example, Task Y2, lower poorer", example, 2, 2, "lower", True, 95),
        ("example, Task Y1, higher poorer, one-sided", example, 2, 1, "higher", False, 95),
        ("N 5 k 1, Task Y1, lower poorer", n5k1, 1, 1, "lower", True, 95),
        ("N 5 k 1, Task Y2, higher poorer", n5k1, 1, 2, "higher", True, 95),
        ("N 4 k 1, Task Y1, lower poorer", n4k1, 1, 1, "lower", True, 95),
        ("N 4 k 1, Task Y2, higher poorer, one-sided", n4k1, 1, 2, "higher", False, 95),
        ("N 9 k 5, Task Y1, lower poorer", n9k5, 5, 1, "lower", True, 95),
        ("N 9 k 5, Task Y2, higher poorer", n9k5, 5, 2, "higher", True, 95),
        ("N 8 k 5, Task Y1, higher poorer", n8k5, 5, 1, "higher", True, 95),
        ("N 8 k 5, Task Y2, lower poorer, one-sided", n8k5, 5, 2, "lower", False, 95),
        ("N 3 k 1 (nu 1), Task Y1, lower poorer", n3k1, 1, 1, "lower", True, 95),
        ("N 40 k 3, Task Y2, higher poorer", n40k3, 3, 2, "higher", True, 95),
        ("far tail, Task Y1, lower poorer", far, 2, 1, "lower", True, 95),
        ("far tail, Task Y1, higher poorer, one-sided", far, 2, 1, "higher", False, 95),
        ("large leverage, Task Y1, lower poorer", leverage, 2, 1, "lower", True, 95),
        ("large leverage, Task Y2, higher poorer", leverage, 2, 2, "higher", True, 95),
    ]


# (nu, t) for the Student t; (nu, lambda, x) for the non-central t.
STUDENT_POINTS = [(1, -3), (1, 250), (2, -0.5), (3, 12.5), (17, -2.25), (17, 40), (200, -6)]
NCT_POINTS = [(1, -2, -1.5), (2, 0.5, 3), (3, -8, -3), (3, 4, 2.5), (17, -4.5, -4),
              (17, 30, 25), (40, -1, 1), (2, 1000, 900), (5, -3000, -3100)]


def fmt(v):
    if isinstance(v, int):
        return str(v)
    return mp.nstr(mp.mpf(v), DIGITS, min_fixed=-4, max_fixed=8, strip_zeros=False)


def table():
    out = ["# Reference values for the deficit tests; written by tests/deficit_reference.py",
           "# (do not edit). Each case: raw rows (the last is the case), the control rows'",
           "# summary statistics, and the expected results; then distribution values."]
    for name, rows, k, task, poorer, two_sided, percent in cases():
        K = k + 2
        result = deficit(rows, k, task, poorer, two_sided, percent)
        means, sds, corr = summary(rows, K)
        out.append(f"case {name}")
        out.append(f"N {len(rows) - 1}")
        out.append(f"k {k}")
        out.append(f"task {task}")
        out.append(f"poorer {poorer}")
        out.append(f"limits {'two-sided' if two_sided else 'one-sided'} {percent}")
        for r in rows:
            out.append("row " + " ".join(str(v) for v in r[:K]))
        out.append("means " + " ".join(fmt(v) for v in means))
        out.append("sds " + " ".join(fmt(v) for v in sds))
        for r in corr:
            out.append("corr " + " ".join(fmt(v) for v in r))
        for key, value in result.items():
            out.append(f"expect {key} {fmt(value)}")
        out.append("end")
    for nu, t in STUDENT_POINTS:
        below, above = student_tails(nu, t)
        out.append(f"student {nu} {fmt(mp.mpf(t))} {fmt(below)} {fmt(above)}")
        if not abs(stats.t.cdf(t, nu) - float(below)) <= 1e-9 * float(below):
            raise SystemExit(f"scipy and mpmath disagree on the t at {nu}, {t}")
    for nu, lam, x in NCT_POINTS:
        lo, hi = nct_tails(nu, lam, x)
        out.append(f"nct {nu} {fmt(mp.mpf(lam))} {fmt(mp.mpf(x))} {fmt(lo)} {fmt(hi)}")
        if not abs(stats.nct.cdf(x, nu, lam) - float(lo)) <= 1e-7 * float(lo) + 1e-12:
            raise SystemExit(f"scipy and mpmath disagree on the non-central t at {nu}, {lam}, {x}")
    return "\n".join(out) + "\n"


def main():
    text = table()
    if "--check" in sys.argv[1:]:
        if TABLE.read_text() != text:
            print(f"{TABLE} is not what {Path(__file__).name} writes now: run it", file=sys.stderr)
            return 1
        print(f"{TABLE.name} is current.")
        return 0
    TABLE.parent.mkdir(exist_ok=True)
    TABLE.write_text(text)
    print(f"wrote {TABLE}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
