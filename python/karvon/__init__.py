"""The karvon simplex solver from Python.

linprog() takes the arguments of scipy.optimize.linprog and returns a result
of the same shape, so a script written for scipy runs with
``from karvon import linprog``. solve() takes a model in standard form:

    minimise or maximise  c @ x + offset
    subject to            row_lower <= A @ x <= row_upper
                          col_lower <= x <= col_upper

with numpy arrays in and out. Both solve problems of at most 49 constraint
rows and 60 columns once free columns are split in two and fixed ones
substituted; larger ones raise ValueError with the counts.

With trace=True the result also holds a Trace: every step of the simplex
method as karvon-trace's page, shown in place in a notebook.
"""

import html as _html
import os

import numpy as np

from . import _karvon

__all__ = ["linprog", "solve", "OptimizeResult", "ModelResult", "Trace",
           "__version__"]

__version__ = _karvon.version()


class OptimizeResult(dict):
    """A dict whose keys are also attributes, like scipy's OptimizeResult.

    Further keys (a solver trace, for one) may be added to a result without
    changing this class.
    """

    def __getattr__(self, name):
        try:
            return self[name]
        except KeyError as e:
            raise AttributeError(name) from e

    __setattr__ = dict.__setitem__
    __delattr__ = dict.__delitem__

    def __repr__(self):
        width = max(map(len, self.keys()), default=0) + 1
        return "\n".join(f"{k.rjust(width)}: {v!r}" for k, v in self.items())

    def __dir__(self):
        return list(self.keys())


class ModelResult(OptimizeResult):
    """What solve() found: status ("optimal", "infeasible", "unbounded",
    "iteration limit", "could not settle"), message, x, row_activity,
    objective, iterations, row_duals and reduced_costs (both empty unless
    optimal; signs as HiGHS documents: the change of the objective per unit
    move of the active side or bound)."""


class Trace:
    """Every step of a solve as one self-contained HTML page, the page that
    karvon-trace writes: the steps, the tableau at each, the objective and
    infeasibility plot. html is the page; save(path) writes it; a notebook
    shows it in place (in an iframe, as it is a whole page with its own
    style and keys)."""

    def __init__(self, page):
        self.html = page

    def save(self, path):
        """Writes the page to path, to be opened in any browser: a regular
        file is replaced whole once the page is complete (its mode kept), a
        FIFO or a device is written straight; OSError says why a write
        failed, and the previous file is then as it was."""
        try:
            _karvon.write_output(os.fspath(path), self.html)
        except RuntimeError as e:
            raise OSError(str(e)) from None

    def _repr_html_(self):
        return ('<iframe srcdoc="%s" sandbox="allow-scripts" '
                'style="width: 100%%; height: 640px; border: 1px solid #ccc">'
                '</iframe>' % _html.escape(self.html, quote=True))

    def __repr__(self):
        return "<karvon.Trace: %d characters of HTML>" % len(self.html)


def _vector(values, size, default, what):
    if values is None:
        return np.full(size, default, dtype=float)
    a = np.asarray(values, dtype=float)
    if a.ndim == 0:
        return np.full(size, float(a))
    if a.shape != (size,):
        raise ValueError(f"{what} has shape {a.shape}; expected ({size},)")
    return a


def _raise_refusal(found):
    if found["status"] in ("model refused", "too large"):
        raise ValueError(found["message"])


def solve(c, A=None, row_lower=None, row_upper=None, col_lower=None,
          col_upper=None, offset=0.0, maximize=False, row_names=None,
          col_names=None):
    """Solves a model in standard form; returns a ModelResult.

    c has n costs; A is m x n; row_lower and row_upper have m values
    (-inf and inf where a row has no such side); col_lower and col_upper n
    values (default 0 and inf). Raises ValueError for a malformed model or
    one too large for the solver.
    """
    c = np.asarray(c, dtype=float).reshape(-1)
    n = c.size
    A = np.zeros((0, n)) if A is None else np.asarray(A, dtype=float)
    if A.ndim != 2 or A.shape[1] != n:
        raise ValueError(f"A has shape {A.shape}; expected (m, {n})")
    m = A.shape[0]
    found = _karvon.solve(
        c, A,
        _vector(row_lower, m, -np.inf, "row_lower"),
        _vector(row_upper, m, np.inf, "row_upper"),
        _vector(col_lower, n, 0.0, "col_lower"),
        _vector(col_upper, n, np.inf, "col_upper"),
        float(offset), bool(maximize),
        list(row_names or []), list(col_names or []))
    _raise_refusal(found)
    return ModelResult(found)


# scipy's status codes and messages for the solver's outcomes.
_SCIPY_STATUS = {
    "optimal": (0, "Optimization terminated successfully."),
    "iteration limit": (1, "Iteration limit reached."),
    "infeasible": (2, "The problem is infeasible."),
    "unbounded": (3, "The problem is unbounded."),
    "could not settle": (4, "Numerical difficulties encountered."),
}


def _bounds(bounds, n):
    """scipy's bounds: None or (lo, hi) for every variable, or a sequence of
    n pairs, None in a pair meaning no bound on that side."""
    lower = np.zeros(n)
    upper = np.full(n, np.inf)
    if bounds is None:
        return lower, upper
    pairs = list(bounds) if not isinstance(bounds, np.ndarray) else bounds.tolist()
    if len(pairs) == 2 and all(p is None or np.isscalar(p) for p in pairs):
        pairs = [pairs] * n
    if len(pairs) == 1 and n != 1:
        pairs = pairs * n
    if len(pairs) != n:
        raise ValueError(f"bounds has {len(pairs)} pairs for {n} variables")
    for j, pair in enumerate(pairs):
        if pair is None:
            lo, hi = None, None
        else:
            if len(pair) != 2:
                raise ValueError(f"bounds[{j}] is not a pair")
            lo, hi = pair
        lower[j] = -np.inf if lo is None else float(lo)
        upper[j] = np.inf if hi is None else float(hi)
    return lower, upper


def _matrix(A, b, n, what):
    if A is None:
        if b is not None and np.asarray(b).size:
            raise ValueError(f"b_{what} is given without A_{what}")
        return np.zeros((0, n)), np.zeros(0)
    A = np.atleast_2d(np.asarray(A, dtype=float))
    if A.shape[1] != n:
        raise ValueError(f"A_{what} has {A.shape[1]} columns for {n} costs")
    if b is None:
        raise ValueError(f"A_{what} is given without b_{what}")
    b = np.asarray(b, dtype=float).reshape(-1)
    if b.size != A.shape[0]:
        raise ValueError(f"b_{what} has {b.size} values for {A.shape[0]} rows")
    return A, b


def linprog(c, A_ub=None, b_ub=None, A_eq=None, b_eq=None, bounds=(0, None),
            method=None, callback=None, options=None, x0=None,
            integrality=None, trace=False):
    """Minimises c @ x subject to A_ub @ x <= b_ub, A_eq @ x == b_eq and
    bounds, as scipy.optimize.linprog does, with karvon's simplex solver.

    Returns an OptimizeResult with x, fun, slack, con, success, status
    (0 optimal, 1 iteration limit, 2 infeasible, 3 unbounded, 4 numerical
    difficulties), message, nit, and ineqlin, eqlin, lower, upper each with
    residual and marginals (the sensitivities of fun, as scipy reports them).
    method, options and x0 are accepted and not used; a callback or integer
    variables raise NotImplementedError. A problem too large for the solver
    raises ValueError with its counts. With trace=True the result also has
    trace, a Trace of every step of the solve (shown in place in a
    notebook); the rows are named ub1, ub2, ... and eq1, eq2, ..., the
    variables x1, x2, ...
    """
    if callback is not None:
        raise NotImplementedError("karvon.linprog takes no callback")
    if integrality is not None and np.any(np.asarray(integrality) != 0):
        raise NotImplementedError("karvon.linprog solves no integer problems")
    c = np.asarray(c, dtype=float).reshape(-1)
    n = c.size
    A_ub, b_ub = _matrix(A_ub, b_ub, n, "ub")
    A_eq, b_eq = _matrix(A_eq, b_eq, n, "eq")
    lower, upper = _bounds(bounds, n)
    m_ub = A_ub.shape[0]
    names = ([], [])
    if trace:
        names = (["ub%d" % (i + 1) for i in range(m_ub)]
                 + ["eq%d" % (i + 1) for i in range(A_eq.shape[0])],
                 ["x%d" % (j + 1) for j in range(n)])
    found = _karvon.solve(
        c, np.vstack([A_ub, A_eq]),
        np.concatenate([np.full(m_ub, -np.inf), b_eq]),
        np.concatenate([b_ub, b_eq]),
        lower, upper, 0.0, False, names[0], names[1], bool(trace))
    _raise_refusal(found)
    status, message = _SCIPY_STATUS[found["status"]]
    result = OptimizeResult(
        x=None, fun=None, slack=None, con=None, success=status == 0,
        status=status, message=message, nit=found["iterations"],
        ineqlin=OptimizeResult(residual=None, marginals=None),
        eqlin=OptimizeResult(residual=None, marginals=None),
        lower=OptimizeResult(residual=None, marginals=None),
        upper=OptimizeResult(residual=None, marginals=None))
    if trace:
        result.trace = Trace(found["trace"])
    if status != 0:
        return result
    x = found["x"]
    activity = found["row_activity"]
    duals = found["row_duals"]
    reduced = found["reduced_costs"]
    result.update(x=x, fun=found["objective"])
    result.slack = b_ub - activity[:m_ub]
    result.con = b_eq - activity[m_ub:]
    result.ineqlin = OptimizeResult(residual=result.slack,
                                    marginals=duals[:m_ub])
    result.eqlin = OptimizeResult(residual=result.con, marginals=duals[m_ub:])
    result.lower = OptimizeResult(residual=x - lower,
                                  marginals=np.maximum(reduced, 0.0))
    result.upper = OptimizeResult(residual=upper - x,
                                  marginals=np.minimum(reduced, 0.0))
    return result
