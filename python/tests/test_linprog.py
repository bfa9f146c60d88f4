"""karvon.linprog against scipy.optimize.linprog on random problems, and the
standard-form solve() with numpy arrays.

Each random problem comes from the generator seeded with (SEED, index), so a
failure names the problem it was found on and can be rerun alone.
"""

import html
import json
import re

import numpy as np
import pytest
from scipy.optimize import linprog as scipy_linprog

import karvon
from karvon import linprog

SEED = 20261207
PROBLEMS = 400  # at least 300 are compared; scipy leaves a few undecided
TOL = 1e-6


def random_problem(index):
    """A problem of mixed shape: <= rows, = rows, and default, bounded,
    free, fixed, upper-only and negative-lower variables. Right-hand sides
    mostly come from a point within the bounds, so most problems are
    feasible; the others may be infeasible or unbounded."""
    rng = np.random.default_rng([SEED, index])
    n = int(rng.integers(1, 9))
    m_ub = int(rng.integers(0, 7))
    m_eq = int(rng.integers(0, min(n, 3) + 1))
    c = rng.integers(-5, 6, n).astype(float)
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
    point = np.array(point, dtype=float)
    A_ub = rng.integers(-4, 5, (m_ub, n)).astype(float)
    A_eq = rng.integers(-4, 5, (m_eq, n)).astype(float)
    if rng.random() < 0.8:
        b_ub = A_ub @ point + rng.integers(0, 4, m_ub)
        b_eq = A_eq @ point
    else:
        b_ub = rng.integers(-6, 6, m_ub).astype(float)
        b_eq = rng.integers(-6, 6, m_eq).astype(float)
    return dict(c=c, A_ub=A_ub if m_ub else None, b_ub=b_ub if m_ub else None,
                A_eq=A_eq if m_eq else None, b_eq=b_eq if m_eq else None,
                bounds=bounds)


def scipy_answer(problem):
    found = scipy_linprog(method="highs", **problem)
    if found.status == 4:  # "unbounded or infeasible": ask without presolve
        found = scipy_linprog(method="highs", options={"presolve": False},
                              **problem)
    return found


def constraint_rows(problem, n):
    """Every constraint as (kind, index, gradient)."""
    rows = []
    for kind in ("ub", "eq"):
        A = problem[f"A_{kind}"]
        for i in range(0 if A is None else A.shape[0]):
            rows.append((kind, i, A[i]))
    for j in range(n):
        rows.append(("lower", j, np.eye(n)[j]))
        rows.append(("upper", j, np.eye(n)[j]))
    return rows


def rank(vectors, n):
    return np.linalg.matrix_rank(np.array(vectors)) if vectors else 0


def x_is_unique(problem, found, n):
    """The constraints with a nonzero multiplier are active on every
    optimum; when they pin down a point, the optimum is that point."""
    marginals = {"ub": found.ineqlin.marginals, "eq": found.eqlin.marginals,
                 "lower": found.lower.marginals, "upper": found.upper.marginals}
    binding = [g for kind, i, g in constraint_rows(problem, n)
               if abs(marginals[kind][i]) > TOL]
    return rank(binding, n) == n


def marginals_are_unique(problem, found, n):
    """Multipliers are unique when the active constraints are linearly
    independent (no degeneracy)."""
    lower, upper = zip(*[(-np.inf if lo is None else lo,
                          np.inf if hi is None else hi)
                         for lo, hi in problem["bounds"]]) if n else ((), ())
    active = []
    for kind, i, g in constraint_rows(problem, n):
        if kind == "eq" or (kind == "ub" and abs(found.slack[i]) <= TOL):
            active.append(g)
        elif kind == "lower" and abs(found.x[i] - lower[i]) <= TOL:
            active.append(g)
        elif kind == "upper" and abs(found.x[i] - upper[i]) <= TOL \
                and lower[i] != upper[i]:
            active.append(g)
    return rank(active, n) == len(active)


def close(a, b):
    return np.allclose(a, b, rtol=TOL, atol=TOL)


compared = []


@pytest.mark.parametrize("index", range(PROBLEMS))
def test_agrees_with_scipy(index):
    problem = random_problem(index)
    where = f"problem (SEED={SEED}, index={index}): {problem}"
    want = scipy_answer(problem)
    if want.status == 4:
        pytest.skip("scipy cannot decide this problem")
    got = linprog(**problem)
    compared.append(index)
    assert got.status == want.status, f"{where}\n{got.message} / {want.message}"
    assert got.success == want.success
    if want.status != 0:
        assert got.x is None
        return
    n = problem["c"].size
    assert abs(got.fun - want.fun) <= TOL * max(1.0, abs(want.fun)), where
    if x_is_unique(problem, want, n):
        assert close(got.x, want.x), f"{where}\nx {got.x} / {want.x}"
    assert close(got.slack, want.slack) or not x_is_unique(problem, want, n)
    if marginals_are_unique(problem, want, n):
        for part in ("ineqlin", "eqlin", "lower", "upper"):
            assert close(got[part].marginals, want[part].marginals), \
                f"{where}\n{part} {got[part].marginals} / {want[part].marginals}"


def test_enough_problems_were_compared():
    assert len(compared) >= 300, f"only {len(compared)} compared (SEED={SEED})"


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
