"""karvon.linprog against scipy.optimize.linprog on random problems, and the
standard-form solve() with numpy arrays.

Random problems come in families (mixed, degenerate, unbounded, infeasible,
large-valued), each drawn from the generator seeded with (SEED, family,
index), so a failure names the problem it was found on and can be rerun
alone; KARVON_TEST_SEED draws other problems. Every answer is held to
scipy's status and objective, to scipy's x where the optimum is unique and
to scipy's marginals where the dual is, and every optimum to the optimality
conditions from its own x and marginals.
"""

import html
import json
import os
import re

import numpy as np
import pytest
from scipy.optimize import linprog as scipy_linprog

import karvon
from karvon import linprog

DEFAULT_SEED = 20261207
SEED = int(os.environ.get("KARVON_TEST_SEED", DEFAULT_SEED))
# Answers agree with scipy's within TOL, and satisfy the optimality
# conditions within KKT_TOL, each relative to the size of the terms
# compared (1 + the magnitudes that make up a row, a column or a product).
TOL = 1e-6
KKT_TOL = 1e-9


def bounds_and_point(rng, n):
    """Bounds of mixed kinds (default, box, free, fixed, upper-only,
    negative lower) and an integer point within them."""
    bounds, point = [], []
    for _ in range(n):
        kind = rng.choice(["default", "box", "free", "fixed", "upper", "lower"],
                          p=[0.35, 0.2, 0.15, 0.1, 0.1, 0.1])
        lo, hi = {
            "default": (0, None),
            "box": (int(rng.integers(-3, 2)), int(rng.integers(2, 6))),
            "free": (None, None),
            "fixed": (int(rng.integers(-2, 3)),) * 2,
            "upper": (None, int(rng.integers(-2, 5))),
            "lower": (int(rng.integers(-4, 1)), None),
        }[kind]
        bounds.append((lo, hi))
        low = lo if lo is not None else (hi - 3 if hi is not None else -2)
        high = hi if hi is not None else low + 4
        point.append(rng.integers(low, high + 1))
    return bounds, np.array(point, dtype=float)


def problem_of(c, A_ub, b_ub, A_eq, b_eq, bounds):
    return dict(c=c, A_ub=A_ub if len(b_ub) else None,
                b_ub=b_ub if len(b_ub) else None,
                A_eq=A_eq if len(b_eq) else None,
                b_eq=b_eq if len(b_eq) else None, bounds=bounds)


def mixed_problem(rng):
    """<= rows, = rows and bounds of every kind. Right-hand sides mostly
    come from a point within the bounds, so most problems are feasible; the
    others may be infeasible or unbounded."""
    n = int(rng.integers(1, 9))
    m_ub = int(rng.integers(0, 7))
    m_eq = int(rng.integers(0, min(n, 3) + 1))
    c = rng.integers(-5, 6, n).astype(float)
    bounds, point = bounds_and_point(rng, n)
    A_ub = rng.integers(-4, 5, (m_ub, n)).astype(float)
    A_eq = rng.integers(-4, 5, (m_eq, n)).astype(float)
    if rng.random() < 0.8:
        b_ub = A_ub @ point + rng.integers(0, 4, m_ub)
        b_eq = A_eq @ point
    else:
        b_ub = rng.integers(-6, 6, m_ub).astype(float)
        b_eq = rng.integers(-6, 6, m_eq).astype(float)
    return problem_of(c, A_ub, b_ub, A_eq, b_eq, bounds)


def degenerate_problem(rng):
    """An optimum at a point where more rows hold than there are columns:
    every <= row is tight there, one row is repeated and one is the sum of
    two others, and the costs are a nonnegative combination of the rows'
    negatives (some weights 0, now and then all of them), so the point is
    optimal and its dual, or its optimum, is not unique."""
    n = int(rng.integers(2, 8))
    bounds, point = bounds_and_point(rng, n)
    A_ub = rng.integers(-3, 4, (int(rng.integers(2, 7)), n)).astype(float)
    A_ub = np.vstack([A_ub, A_ub[:1], A_ub[:1] + A_ub[-1:]])
    A_eq = rng.integers(-3, 4, (int(rng.integers(0, 3)), n)).astype(float)
    weights = rng.integers(0, 3, A_ub.shape[0]) * (rng.random() < 0.9)
    c = -(A_ub.T @ weights).astype(float)
    return problem_of(c, A_ub, A_ub @ point, A_eq, A_eq @ point, bounds)


def unbounded_problem(rng):
    """Feasible at a point, with a direction d that every row and bound
    lets x follow and along which c falls."""
    n = int(rng.integers(1, 8))
    bounds, point = bounds_and_point(rng, n)
    steps = {(False, False): [-2, -1, 0, 1, 2], (True, False): [0, 1, 2],
             (False, True): [-2, -1, 0], (True, True): [0]}
    d = np.array([rng.choice(steps[lo is not None, hi is not None])
                  for lo, hi in bounds], dtype=float)
    if not d.any():
        j = int(rng.integers(n))
        bounds[j] = (min(point[j], bounds[j][0] or 0), None)
        d[j] = 1.0
    A_ub = rng.integers(-4, 5, (int(rng.integers(0, 6)), n)).astype(float)
    A_ub[A_ub @ d > 0] *= -1
    A_eq = rng.integers(-4, 5, (int(rng.integers(0, min(n, 3))), n)).astype(float)
    k = int(np.flatnonzero(d)[0])
    A_eq[:, k] -= (A_eq @ d) / d[k]
    c = rng.integers(-5, 6, n).astype(float)
    c[k] -= (c @ d + 1) / d[k]
    return problem_of(c, A_ub, A_ub @ point + rng.integers(0, 3, len(A_ub)),
                      A_eq, A_eq @ point, bounds)


def infeasible_problem(rng):
    """A feasible problem and one more row that contradicts it: a
    combination of <= rows asked to exceed what they allow, or an equation
    asked to stay below its value."""
    n = int(rng.integers(1, 9))
    bounds, point = bounds_and_point(rng, n)
    A_ub = rng.integers(-4, 5, (int(rng.integers(1, 6)), n)).astype(float)
    A_eq = rng.integers(-4, 5, (int(rng.integers(0, min(n, 3) + 1)), n)).astype(float)
    b_ub = A_ub @ point + rng.integers(0, 4, len(A_ub))
    b_eq = A_eq @ point
    gap = float(rng.integers(1, 4))
    if len(A_eq) and rng.random() < 0.3:
        i = int(rng.integers(len(A_eq)))
        row, side = A_eq[i], b_eq[i] - gap
    else:
        weights = rng.integers(0, 3, len(A_ub)) + (np.arange(len(A_ub)) == 0)
        row, side = -(weights @ A_ub), -(weights @ b_ub) - gap
    at = int(rng.integers(len(A_ub) + 1))
    A_ub, b_ub = np.insert(A_ub, at, row, axis=0), np.insert(b_ub, at, side)
    return problem_of(rng.integers(-5, 6, n).astype(float), A_ub, b_ub, A_eq,
                      b_eq, bounds)


def large_problem(rng):
    """A mixed problem with its rows scaled by up to 2^36, its columns by
    2^-7 to 2^10 and its costs by up to 2^20: coefficients from 2^-10 to
    2^45 (3.5e13), sides up to about 4e12 and bounds up to 5000. Powers of
    two scale without rounding, so it is the same problem underneath, which
    goes with it as "underneath": (problem, column, <= row and = row scales,
    cost scale). scipy's answer to it is the reference, scaled: its own
    absolute tolerances misjudge such a problem now and then."""
    p = mixed_problem(rng)
    n = p["c"].size
    col, factor = 2.0 ** rng.integers(-7, 11, n), 2.0 ** rng.integers(0, 21)
    scaled = {"c": p["c"] / col * factor,
              "bounds": [tuple(None if v is None else v * s for v in b)
                         for b, s in zip(p["bounds"], col)]}
    rows = []
    for kind in ("ub", "eq"):
        rows.append(2.0 ** rng.integers(0, 37, 0 if p[f"b_{kind}"] is None
                                        else len(p[f"b_{kind}"])))
        if rows[-1].size:
            scaled[f"A_{kind}"] = p[f"A_{kind}"] * rows[-1][:, None] / col
            scaled[f"b_{kind}"] = p[f"b_{kind}"] * rows[-1]
    return {**p, **scaled, "underneath": (p, col, *rows, factor)}


def klee_minty(n):
    """max sum 10^(n-j) x_j  s.t.  2 sum_{j<i} 10^(i-j) x_j + x_i <= 100^(i-1):
    the cube on which the largest-coefficient rule visits every vertex; at
    n = 8 its right-hand sides reach 1e14."""
    A = np.array([[2 * 10.0 ** (i - j) if j < i else float(i == j)
                   for j in range(n)] for i in range(n)])
    return dict(c=-(10.0 ** np.arange(n - 1, -1, -1)), A_ub=A,
                b_ub=100.0 ** np.arange(n), bounds=(0, None))


# Problems once answered wrong: unbounded after a phase-1 restart, values
# of 1e10 and more taken for no bound, duals of a degenerate optimum that
# were not optimal.
NAMED = {
    "unbounded after a restart": dict(
        c=[-7, 13, -14, 0, 11],
        A_ub=[[-3, 2, -3, 0, -4], [-3, 0, 0, -1, 2], [0, 0, 0, 0, 4],
              [-1, -1, 0, 0, 0], [3, -3, 3, -3, 0]],
        b_ub=[-4, -13, -8, -5, 6],
        bounds=[(0, None), (None, None), (0, None), (0, None), (-2, 0)]),
    "a side of -2e10": dict(c=[1], A_ub=[[-1]], b_ub=[-2e10]),
    "an equation at 1e11": dict(c=[1, 2], A_eq=[[1, 1]], b_eq=[1e11]),
    "bounds of 1e13": dict(c=[-1, 1], A_ub=[[1, 1]], b_ub=[3e13],
                           bounds=[(0, 1e13), (-5e12, 1e13)]),
    "degenerate duals": dict(c=[3, -7, -6], A_eq=[[0, 0, -1], [2, 0, 0], [1, -2, 0]],
                             b_eq=[0, 10, -3]),
    **{f"Klee-Minty cube of {n}": klee_minty(n) for n in (3, 6, 8)},
    # Infeasible: a quarter of rows 1 and 3 and half of row 4 sum to 0 <= -0.75.
    "an infeasible system without costs": dict(
        c=[0, 0, 0, 0],
        A_ub=[[-2, -4, -1, 4], [4, -2, -4, -1], [6, 10, -7, 4], [-2, -3, 4, -4]],
        b_ub=[-7, -18, 8, -2]),
}

# family: (generator, how many, the status its problems have by construction;
# None: the status scipy gives)
FAMILIES = {
    "mixed": (mixed_problem, 400, None),
    "degenerate": (degenerate_problem, 150, 0),
    "unbounded": (unbounded_problem, 100, 3),
    "infeasible": (infeasible_problem, 100, 2),
    "large": (large_problem, 150, None),
}
# Problems scipy decides and karvon's solver leaves undecided (status 4,
# its phase 1 does not settle): expected to fail until it does, the random
# ones at the default seed.
UNDECIDED = set()


def case(family, index):
    if (family, index) in UNDECIDED and (family == "named" or SEED == DEFAULT_SEED):
        return pytest.param(family, index, marks=pytest.mark.xfail(
            strict=True, reason="the solver leaves it undecided (status 4)"))
    return (family, index)


CASES = [case(family, index) for family, (_, count, _) in FAMILIES.items()
         for index in range(count)] + [case("named", name) for name in NAMED]


def problem_for(family, index):
    if family == "named":
        return {k: np.asarray(v, dtype=float) if k != "bounds" else v
                for k, v in NAMED[index].items()}
    rng = np.random.default_rng([SEED, list(FAMILIES).index(family), index])
    return FAMILIES[family][0](rng)


def scipy_answer(problem, underneath=None):
    """scipy's answer, or for a scaled problem its answer to the problem
    underneath, scaled. Status 4 where scipy, asked with and without its
    presolve, gives two answers: its presolve has called a feasible
    unbounded problem infeasible."""
    if underneath is not None:
        return scaled_answer(scipy_answer(underneath[0]), *underneath[1:])
    found = scipy_linprog(method="highs", **problem)
    again = scipy_linprog(method="highs", options={"presolve": False}, **problem)
    if found.status == 4:
        found = again
    elif again.status != found.status or (found.status == 0 and abs(
            found.fun - again.fun) > TOL * (1 + abs(found.fun))):
        found.status = 4
    return found


def scaled_answer(found, col, row_ub, row_eq, factor):
    """found, an answer to a problem, as the answer to that problem with x
    scaled by col, its rows by row_ub and row_eq and its costs by factor."""
    if found.status != 0:
        return found
    return karvon.OptimizeResult(
        status=0, success=True, fun=found.fun * factor, x=found.x * col,
        slack=found.slack * row_ub, con=found.con * row_eq,
        **{part: karvon.OptimizeResult(marginals=found[part].marginals * factor / scale)
           for part, scale in (("ineqlin", row_ub), ("eqlin", row_eq),
                               ("lower", col), ("upper", col))})


class Data:
    """A problem's arrays: c, A (the <= rows, then the = rows), b, the
    number of <= rows, lower and upper bounds with inf for none."""

    def __init__(self, problem):
        self.c = np.asarray(problem["c"], dtype=float)
        n = self.c.size
        parts = [(np.zeros((0, n)) if problem.get(f"A_{k}") is None
                  else np.asarray(problem[f"A_{k}"], dtype=float),
                  np.zeros(0) if problem.get(f"b_{k}") is None
                  else np.asarray(problem[f"b_{k}"], dtype=float))
                 for k in ("ub", "eq")]
        self.m_ub = parts[0][1].size
        self.A = np.vstack([parts[0][0], parts[1][0]])
        self.b = np.concatenate([parts[0][1], parts[1][1]])
        bounds = problem.get("bounds", (0, None))
        pairs = [bounds] * n if np.ndim(bounds) == 1 else list(bounds)
        self.lower = np.array([-np.inf if lo is None else lo for lo, _ in pairs],
                              dtype=float)
        self.upper = np.array([np.inf if hi is None else hi for _, hi in pairs],
                              dtype=float)

    def row_sizes(self, x):
        """1 + the magnitudes that make up each row's activity and side."""
        return 1 + np.abs(self.A) @ np.abs(x) + np.abs(self.b)

    def active(self, found):
        """Gradients of the rows and bounds that hold at found.x."""
        x, rows = found.x, []
        residual = np.concatenate([found.slack, found.con])
        for i, g in enumerate(self.A):
            if i >= self.m_ub or abs(residual[i]) <= TOL * self.row_sizes(x)[i]:
                rows.append(g)
        for j in range(self.c.size):
            for bound in (self.lower[j], self.upper[j]):
                if abs(x[j] - bound) <= TOL * (1 + abs(bound)):
                    rows.append(np.eye(self.c.size)[j])
                    break
        return rows


def multipliers(found):
    return np.concatenate([found.ineqlin.marginals, found.eqlin.marginals])


def optimality_violations(data, found):
    """The largest violation, relative, of each optimality condition by
    found's x and marginals (scipy's signs: minimising, a <= row's marginal
    is <= 0, a lower bound's >= 0, an upper bound's <= 0)."""
    x, y = found.x, multipliers(found)
    low, up = found.lower.marginals, found.upper.marginals
    rows, n = data.row_sizes(x), data.c.size
    activity = data.A @ x
    over = np.concatenate([np.maximum(activity[:data.m_ub] - data.b[:data.m_ub], 0),
                           activity[data.m_ub:] - data.b[data.m_ub:]])
    dual_size = 1 + np.abs(data.c).max(initial=0) + np.abs(y).max(initial=0)
    finite_low, finite_up = np.isfinite(data.lower), np.isfinite(data.upper)
    x_low = np.where(finite_low, x - data.lower, 0)
    x_up = np.where(finite_up, data.upper - x, 0)
    stationarity = data.c - data.A.T @ y - low - up
    columns = 1 + np.abs(data.c) + np.abs(data.A.T) @ np.abs(y) + np.abs(low) + np.abs(up)
    slack = data.b[:data.m_ub] - activity[:data.m_ub]
    bound_size = 1 + np.abs(x) + np.where(finite_low, np.abs(data.lower), 0) \
        + np.where(finite_up, np.abs(data.upper), 0)
    worst = lambda v: float(np.max(v, initial=0))  # noqa: E731
    return {
        "fun is c @ x": abs(found.fun - data.c @ x) / (1 + np.abs(data.c) @ np.abs(x)),
        "rows hold": worst(np.abs(over) / rows),
        "bounds hold": worst(np.maximum(np.maximum(-x_low, -x_up), 0) / bound_size),
        "marginal signs": worst(np.concatenate([
            np.maximum(y[:data.m_ub], 0), np.maximum(-low, 0), np.maximum(up, 0),
            np.abs(low[~finite_low]), np.abs(up[~finite_up])]) / dual_size),
        "c = A'y + marginals": worst(np.abs(stationarity) / columns),
        "complementary rows": worst(np.abs(y[:data.m_ub] * slack)
                                    / ((1 + np.abs(y[:data.m_ub])) * rows[:data.m_ub])),
        "complementary bounds": worst(np.abs(low * x_low) / ((1 + np.abs(low)) * bound_size))
        if n else 0.0,
        "complementary upper bounds": worst(np.abs(up * x_up) / ((1 + np.abs(up)) * bound_size))
        if n else 0.0,
    }


def x_is_unique(data, found):
    """The constraints with a nonzero multiplier hold on every optimum;
    when they pin down a point, the optimum is that point."""
    n = data.c.size
    weights = np.concatenate([np.abs(multipliers(found)) * np.linalg.norm(data.A, axis=1),
                              np.abs(found.lower.marginals) + np.abs(found.upper.marginals)])
    gradients = list(data.A) + list(np.eye(n))
    binding = [g / np.linalg.norm(g) for g, w in zip(gradients, weights)
               if w > TOL * (1 + np.abs(data.c).max()) and np.any(g)]
    return bool(binding) and np.linalg.matrix_rank(np.array(binding)) == n


def dual_is_unique(data, found):
    """Multipliers are unique when the constraints that hold at an optimum
    are linearly independent (it is not degenerate)."""
    active = data.active(found)
    if not all(np.any(g) for g in active):
        return False  # a row of zeros that holds takes any multiplier
    unit = [g / np.linalg.norm(g) for g in active]
    return not unit or np.linalg.matrix_rank(np.array(unit)) == len(unit)


def near(a, b, size):
    return np.all(np.abs(np.asarray(a) - np.asarray(b)) <= TOL * (1 + size))


compared = {family: 0 for family in [*FAMILIES, "named"]}


@pytest.mark.parametrize("family, index", CASES)
def test_agrees_with_scipy(family, index):
    problem = problem_for(family, index)
    underneath = problem.pop("underneath", None)
    where = f"{family} problem {index!r} (SEED={SEED}): {problem}"
    want = scipy_answer(problem, underneath)
    # The generator's status where it knows it, else scipy's.
    status = FAMILIES[family][2] if family in FAMILIES else None
    if status is None and want.status == 4:
        pytest.skip("scipy cannot decide this problem")
    assert want.status in (status, 4) or status is None, f"generator failed: {where}"
    status = want.status if status is None else status
    got = linprog(**problem)
    compared[family] += 1
    assert got.status == status, f"{where}\n{got.message} / {want.message}"
    assert got.success == (status == 0)
    if status != 0:
        assert got.x is None
        return
    data = Data(problem)
    violations = optimality_violations(data, got)
    assert max(violations.values()) <= KKT_TOL, f"{where}\n{violations}"
    if want.status != 0:
        return  # scipy undecided: the optimality conditions are the check
    assert abs(got.fun - want.fun) <= TOL * (1 + abs(want.fun)), where
    if x_is_unique(data, want):
        assert near(got.x, want.x, np.abs(want.x)), f"{where}\nx {got.x} / {want.x}"
        assert near(got.slack, want.slack, data.row_sizes(want.x)[:data.m_ub])
    if dual_is_unique(data, want):
        for part in ("ineqlin", "eqlin", "lower", "upper"):
            assert near(got[part].marginals, want[part].marginals,
                        np.abs(want[part].marginals).max(initial=0)), \
                f"{where}\n{part} {got[part].marginals} / {want[part].marginals}"


def test_enough_problems_were_compared():
    # scipy leaves a few undecided; most of each family must be compared.
    short = {family: count for family, count in compared.items()
             if count < 0.75 * (FAMILIES[family][1] if family in FAMILIES
                                else len(NAMED))}
    assert not short, f"too few compared (SEED={SEED}): {short}"


def test_scipy_script_runs_unchanged():
    # The example of scipy's documentation.
    c = [-1, 4]
    A = [[-3, 1], [1, 2]]
    b = [6, 4]
    res = linprog(c, A_ub=A, b_ub=b, bounds=[(None, None), (-3, None)])
    assert res.success and res.status == 0
    assert res.fun == pytest.approx(-22)
    assert res.x == pytest.approx([10, -3])
    assert res.ineqlin.marginals == pytest.approx([0, -1])
    assert res.lower.marginals == pytest.approx([0, 6])


def test_too_large_raises_value_error_with_the_counts():
    with pytest.raises(ValueError, match="50 rows and 3 columns need 1 MB"):
        linprog(np.ones(3), A_ub=np.ones((50, 3)), b_ub=np.arange(50.0) + 1,
                options={"memory_limit": 1000})


def test_standard_form_with_numpy_arrays():
    # max x + 2y, x + y <= 4, 1 <= x + 3y <= 6, y free, x in [0, 3].
    res = karvon.solve(np.array([1.0, 2.0]), np.array([[1.0, 1.0], [1.0, 3.0]]),
                       row_lower=[-np.inf, 1], row_upper=[4, 6],
                       col_lower=[0, -np.inf], col_upper=[3, np.inf],
                       offset=1.0, maximize=True, row_names=["a", "b"])
    assert res.status == "optimal"
    assert res.objective == pytest.approx(6)
    assert isinstance(res.x, np.ndarray)
    assert res.x == pytest.approx([3, 1])
    assert res.row_activity == pytest.approx([4, 6])
    # The optimum is degenerate (x at its bound and both rows active): any
    # optimal dual will do, and the result carries its own check.
    assert res.quality["certified"]
    assert res.reduced_costs == pytest.approx(
        np.array([1.0, 2.0]) - np.array([[1.0, 1.0], [1.0, 3.0]]).T @ res.row_duals)
    assert res.col_status == ["NU", "B"]
    crossed = karvon.solve([1.0], [[1.0], [1.0]], row_lower=[2, 0],
                           row_upper=[1, 1], row_names=["a", "b"])
    assert crossed.status == "infeasible"
    assert crossed.message == "row 'a' has its lower side above its upper side"
    with pytest.raises(ValueError, match="the cost of column 1 is not finite"):
        karvon.solve([np.nan], [[1.0]], row_upper=[1])


def test_result_has_room_for_more_keys():
    res = linprog([1.0], bounds=(0, 1))
    res.trace = ["first step"]
    assert res["trace"] == ["first step"] and res.fun == 0


def test_trace_is_the_page_of_every_step(tmp_path):
    res = linprog([-1.0, -2.0], A_ub=[[1.0, 1.0], [1.0, -1.0]], b_ub=[4.0, 2.0],
                  A_eq=[[0.0, 1.0]], b_eq=[3.0], trace=True)
    assert res.status == 0 and np.allclose(res.x, [1.0, 3.0])
    page = res.trace.html
    assert page.startswith("<!DOCTYPE html>") and "simplex trace" in page
    problems = re.findall(
        r'<script type="application/json" class="problem">(.*?)</script>', page)
    assert len(problems) == 1
    steps = json.loads(problems[0])["steps"]
    # Entry, start, then one step per iteration (pivots, bound flips), and
    # the last one's count is the result's.
    assert len(steps) >= 3 and steps[-1]["iteration"] == res.nit
    names = [long for _, long in json.loads(problems[0])["names"]]
    assert {"x1", "x2", "slack of row ub1", "slack of row eq1"} <= set(names)
    shown = res.trace._repr_html_()
    assert shown.startswith("<iframe srcdoc=") and html.escape(page) in shown
    saved = tmp_path / "trace.html"
    saved.write_text("previous")
    saved.chmod(0o600)
    res.trace.save(saved)
    assert saved.read_text(encoding="utf-8") == page
    assert saved.stat().st_mode & 0o777 == 0o600
    # A failed write says why, as OSError, and leaves nothing behind.
    with pytest.raises(OSError, match="cannot create .*missing"):
        res.trace.save(tmp_path / "missing" / "trace.html")
    assert sorted(p.name for p in tmp_path.iterdir()) == ["trace.html"]
    assert "trace" not in linprog([1.0], bounds=(0, 1))
    assert "trace" not in linprog([1.0], bounds=(0, 1), trace=False)


# A dense problem of some hundred steps.
_RNG = np.random.default_rng(7)
LONG = dict(c=-_RNG.uniform(0, 10, 60), A_ub=_RNG.uniform(0, 10, (45, 60)),
            b_ub=_RNG.uniform(100, 200, 45), bounds=(0, 1))


@pytest.mark.parametrize("budget, kept", [
    ({}, None),
    ({"trace_max_steps": 6}, 6),
    ({"trace_max_bytes": 400_000}, None),
])
def test_trace_of_a_long_solve_keeps_its_budget(budget, kept):
    res = linprog(**LONG, trace=True, **budget)
    page = res.trace.html
    assert len(page) <= budget.get("trace_max_bytes", 20_000_000)
    problem = json.loads(re.findall(
        r'<script type="application/json" class="problem">(.*?)</script>', page)[0])
    steps = problem["steps"]
    assert problem["total"] > 20 and res.status == 0
    if not budget:
        assert len(steps) == problem["total"]
    assert kept is None or len(steps) == kept
    assert steps[0]["kind"] == 0 and steps[-1]["iteration"] == res.nit
    if len(steps) < problem["total"]:
        assert problem["first"] == len(steps) - len(steps) // 2


@pytest.mark.parametrize("budget", [{"trace_max_steps": 1}, {"trace_max_bytes": 0},
                                    {"trace_max_steps": 2.5}, {"trace_max_bytes": True}])
def test_trace_budget_is_checked(budget):
    with pytest.raises(ValueError, match="trace_max_steps"):
        linprog(**LONG, trace=True, **budget)
