"""karvon.linprog on invalid and borderline arguments, against
scipy.optimize.linprog itself: the same exception type, the same
OptimizeWarning, the same status. Where karvon differs on purpose, the
difference is listed with karvon's outcome, and scipy must still differ
(an entry scipy has come to agree with belongs in the first table).
"""

import warnings

import numpy as np
import pytest

scipy_optimize = pytest.importorskip("scipy.optimize")
sparse = pytest.importorskip("scipy.sparse")

from karvon import _inputs, linprog  # noqa: E402

C, A, B = [-1.0, -2.0], [[1.0, 1.0]], [4.0]
SMALL = dict(c=C, A_ub=A, b_ub=B, bounds=(0, 1))


def small(**changes):
    return {**SMALL, **changes}


SAME = {
    "c of shape (2, 2)": small(c=[[1, 1], [1, 1]]),
    "c empty": small(c=[]),
    "c missing": small(c=None),
    "c not numbers": small(c=["a", 1]),
    "c holding None": small(c=[None, 1]),
    "c holding inf": small(c=[np.inf, 1]),
    "c a scalar": dict(c=-3, bounds=(0, 1)),
    "c a column": small(c=[[-1], [-2]]),
    "A_ub 1-D": small(A_ub=[1, 1]),
    "A_ub ragged": small(A_ub=[[1], [1, 2]]),
    "A_ub one column short": small(A_ub=[[1]]),
    "A_ub holding NaN": small(A_ub=[[1, np.nan]]),
    "A_ub without b_ub": small(b_ub=None),
    "b_ub without A_ub": small(A_ub=None),
    "b_ub of +inf": small(b_ub=[np.inf]),
    "b_ub as a column": small(A_ub=[[1, 1], [1, 0]], b_ub=[[4], [1]]),
    "b_ub as a matrix": small(A_ub=[[1, 1]] * 4, b_ub=[[1, 2], [3, 4]]),
    "b_ub not numbers": small(b_ub=["x"]),
    "A_eq and b_eq": small(A_eq=[[1, -1]], b_eq=[0]),
    "b_eq too long": small(A_eq=[[1, -1]], b_eq=[0, 1]),
    "A_eq 3-D": small(A_eq=[[[1, -1]]], b_eq=[0]),
    "sparse A_ub": small(A_ub=sparse.csr_matrix(A)),
    "sparse A_ub, dense A_eq": small(A_ub=sparse.csr_matrix(A),
                                     A_eq=[[1, -1]], b_eq=[0]),
    "sparse A_eq holding inf": small(A_eq=sparse.coo_matrix([[1, np.inf]]),
                                     b_eq=[1]),
    "sparse A_ub one column short": small(A_ub=sparse.csr_matrix([[1.0]])),
    "x0 of the wrong size": small(x0=[1]),
    "x0 holding NaN": small(x0=[0, np.nan]),
    "x0 given": small(x0=[0, 0]),
    "bounds holding None": small(bounds=[None, (0, 1)]),
    "bounds holding NaN": small(bounds=[(np.nan, np.nan), (0, 1)]),
    "bounds None": small(bounds=None),
    "bounds []": small(bounds=[]),
    "bounds [[]]": small(bounds=[[]]),
    "bounds of shape (2, 1)": small(bounds=np.array([[0], [1]])),
    "bounds of shape (1, 2)": small(bounds=[[0, 1]]),
    "bounds of shape (2, n)": dict(c=[1, 1, 1], bounds=np.zeros((2, 3))),
    "bounds 3-D": small(bounds=np.zeros((2, 2, 2))),
    "bounds ragged": small(bounds=[(0, 1), (1,)]),
    "bounds not numbers": small(bounds=[("a", 1), (0, 1)]),
    "bounds holding an object": small(bounds=[(object(), 1), (0, 1)]),
    "lower bound +inf": small(bounds=[(np.inf, None), (0, 1)]),
    "upper bound -inf": small(bounds=[(0, 1), (None, -np.inf)]),
    "bounds crossed": small(bounds=[(2, 1), (0, 1)]),
    "upper bound 1e30 as none": dict(c=[-1], bounds=(0, 1e30)),
    "lower bound 1e20 as +inf": small(bounds=[(1e20, None), (0, 1)]),
    "method unknown": small(method="dual"),
    "method in capitals": small(method="HiGHS-DS"),
    "options not a dict": small(options=[("maxiter", 1)]),
    "option unknown": small(options={"maxiterations": 5}),
    "maxiter not a number": small(options={"maxiter": "5"}),
    "maxiter negative": small(options={"maxiter": -1}),
    "maxiter fractional": small(options={"maxiter": 2.5}),
    "maxiter and time_limit": small(options={"maxiter": 50, "time_limit": 1}),
    "time_limit negative": small(options={"time_limit": -1.0}),
    "presolve not a flag": small(options={"presolve": "no"}),
    "presolve 1": small(options={"presolve": 1}),
    "disp and presolve": small(options={"disp": False, "presolve": False}),
    "tolerance too small": small(
        options={"primal_feasibility_tolerance": 1e-12}),
    "edge weights unknown": small(
        options={"simplex_dual_edge_weight_strategy": "best"}),
    "mip_rel_gap negative": small(options={"mip_rel_gap": -1}),
    "option of another method": small(options={"bland": True}),
    "tol with simplex": small(method="simplex", options={"tol": 1e-9}),
    "time_limit with simplex": small(method="simplex",
                                     options={"time_limit": 1}),
    "sparse with simplex": small(method="simplex",
                                 A_ub=sparse.csr_matrix(A)),
    "sparse with interior-point": small(method="interior-point",
                                        A_ub=sparse.csr_matrix(A)),
    "integrality with simplex": small(method="simplex", integrality=[1, 0]),
    "integrality not broadcastable": small(integrality=[1, 1, 1]),
    "integrality all zero": small(integrality=0),
    "callback with highs": small(callback=lambda res: None),
}

# karvon's outcome (exception type or None, OptimizeWarning given, status)
# where it differs from scipy's on purpose; the README lists each.
DIFFERENT = {
    "x0 with revised simplex (never used)": (
        small(method="revised simplex", x0=[0, 0]), (None, True, 0)),
    "integrality with highs (relaxed)": (
        dict(c=[-1], bounds=(0, 1.5), integrality=1), (None, True, 0)),
    "callback with simplex": (small(method="simplex", callback=print),
                              (NotImplementedError, False, None)),
    "maxiter a numpy integer": (small(options={"maxiter": np.int64(9)}),
                                (None, False, 0)),
    "maxiter above 2**31 - 1": (small(options={"maxiter": 2**31}),
                                (None, True, 0)),
    "A_ub a scalar": (dict(c=[1], A_ub=1, b_ub=1), (ValueError, False, None)),
    "method None": (small(method=None), (None, False, 0)),
}


def outcome(solve, arguments):
    """(exception type or None, whether an OptimizeWarning came, status)."""
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        try:
            error, status = None, solve(**arguments).status
        except Exception as e:  # noqa: BLE001 - the type is what is compared
            error, status = type(e), None
    warned = any(issubclass(w.category, scipy_optimize.OptimizeWarning)
                 for w in caught)
    return error, warned, status


@pytest.mark.parametrize("name", SAME)
def test_checks_and_warns_as_scipy(name):
    arguments = SAME[name]
    assert outcome(linprog, arguments) == \
        outcome(scipy_optimize.linprog, arguments)


@pytest.mark.parametrize("name", DIFFERENT)
def test_listed_differences(name):
    arguments, expected = DIFFERENT[name]
    assert outcome(linprog, arguments) == expected
    assert outcome(scipy_optimize.linprog, arguments) != expected


def test_sparse_matrices_stay_sparse_and_solve_as_dense():
    A_ub = sparse.csr_matrix([[1.0, 0.0, 2.0], [0.0, 1.0, 1.0]])
    A_eq = sparse.csc_matrix([[1.0, -1.0, 0.0]])
    arguments = dict(c=[-1.0, -1.0, -3.0], b_ub=[4.0, 3.0], b_eq=[0.5])
    checked = _inputs.clean(
        arguments["c"], A_ub, arguments["b_ub"], A_eq, arguments["b_eq"],
        None, "highs", None, None, None, None)
    assert sparse.issparse(checked[1]) and sparse.issparse(checked[3])
    got = linprog(A_ub=A_ub, A_eq=A_eq, **arguments)
    dense = linprog(A_ub=A_ub.toarray(), A_eq=A_eq.toarray(), **arguments)
    assert got.status == dense.status == 0
    assert np.allclose(got.x, dense.x)
    assert np.allclose(got.ineqlin.marginals, dense.ineqlin.marginals)


def test_messages_count_from_zero():
    with pytest.raises(ValueError, match=r"c\[1\]"):
        linprog([1.0, np.nan])
    with pytest.raises(ValueError, match=r"A_ub\[0, 1\]"):
        linprog(C, A_ub=[[1.0, np.inf]], b_ub=B)
    assert "x[1]" in linprog(C, bounds=[(0, 1), (np.inf, None)]).message
