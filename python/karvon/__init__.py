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

from . import _inputs, _karvon
from ._inputs import OptimizeWarning

__all__ = ["linprog", "solve", "OptimizeResult", "ModelResult", "Trace",
           "OptimizeWarning", "__version__"]

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


def _whole(value, least):
    return (isinstance(value, (int, np.integer)) and not isinstance(value, bool)
            and value >= least)


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


# scipy's status codes and messages for the solver's outcomes. An optimum
# that fails the check against the problem keeps its x, as scipy keeps one
# that fails its own check, with the status of numerical difficulties.
_SCIPY_STATUS = {
    "optimal": (0, "Optimization terminated successfully."),
    "iteration limit": (1, "Iteration limit reached."),
    "time limit": (1, "Time limit reached."),
    "infeasible": (2, "The problem is infeasible."),
    "unbounded": (3, "The problem is unbounded."),
    "could not settle": (4, "Numerical difficulties encountered."),
    "optimal, not certified": (
        4, "The solution found does not satisfy the constraints within the "
           "solver's tolerance; check the slack and constraint residuals."),
}


def _unsolved(status, message, nit=0):
    # crossover_nit counts the steps from an interior point to a basis:
    # karvon's simplex method has none to take.
    return OptimizeResult(
        x=None, fun=None, slack=None, con=None, success=status == 0,
        status=status, message=message, nit=nit, crossover_nit=0,
        ineqlin=OptimizeResult(residual=None, marginals=None),
        eqlin=OptimizeResult(residual=None, marginals=None),
        lower=OptimizeResult(residual=None, marginals=None),
        upper=OptimizeResult(residual=None, marginals=None))


def _crossed_bound(lower, upper):
    """Why bounds no x can meet make the problem infeasible, or None. scipy
    reports a lower bound of +inf as infeasible, not as an error."""
    for j in np.flatnonzero(lower == np.inf):
        return f"the lower bound of x[{j}] is +inf"
    for j in np.flatnonzero(upper == -np.inf):
        return f"the upper bound of x[{j}] is -inf"
    return None


def _csc(A_ub, A_eq):
    """The constraint rows, A_ub's then A_eq's, as (start, index, value) of
    a column-wise sparse matrix when either was given sparse; else None."""
    sparse = _inputs._sparse_module(A_ub, A_eq)
    if sparse is None:
        return None
    A = sparse.vstack((A_ub, A_eq)).tocsc()
    return A.indptr, A.indices, A.data


def _dense(A):
    # The module's solve takes A by rows, dense.
    return A.toarray() if hasattr(A, "toarray") else A


def linprog(c, A_ub=None, b_ub=None, A_eq=None, b_eq=None, bounds=None,
            method="highs", callback=None, options=None, x0=None,
            integrality=None, trace=False, trace_max_steps=None,
            trace_max_bytes=None):
    """Minimises c @ x subject to A_ub @ x <= b_ub, A_eq @ x == b_eq and
    bounds, as scipy.optimize.linprog does, with karvon's simplex solver.

    Returns an OptimizeResult with x, fun, slack, con, success, status (0
    optimal, 1 iteration or time limit, 2 infeasible, 3 unbounded, 4
    numerical difficulties), message, nit, crossover_nit (always 0: there is
    no crossover), and ineqlin, eqlin, lower, upper each with residual and
    marginals (the sensitivities of fun, as scipy reports them; 0 for a
    bound that does not hold the optimum). The arguments are checked as
    scipy checks them: the same exceptions, and an OptimizeWarning for
    unknown options or values out of range, for x0 (never used) and for
    integrality (the continuous problem is solved). Any of scipy's methods
    may be named; karvon's simplex method solves. Of the options, maxiter
    and time_limit (seconds) limit the solve, and karvon's own memory_limit
    (bytes) the tableau; the others are accepted and have no effect. A
    callback raises NotImplementedError. A problem too large for the solver
    raises ValueError with its counts. With trace=True the result also has
    trace, a Trace of every step of the solve (shown in place in a
    notebook); the rows are named ub1, ub2, ... and eq1, eq2, ..., the
    variables x1, x2, .... The page keeps the first and the last steps of a
    long solve, trace_max_steps of them at most (2 or more; default 1000),
    and thins them to stay within trace_max_bytes (default 20,000,000); it
    says what it left out.
    """
    c, A_ub, b_ub, A_eq, b_eq, lower, upper, model_options = _inputs.clean(
        c, A_ub, b_ub, A_eq, b_eq, bounds, method, callback, options, x0,
        integrality)
    n, m_ub = c.size, A_ub.shape[0]
    # What goes to the model's solve beyond its dense arrays: the limits and
    # integer columns from the options, and a sparse A as one CSC matrix.
    model_options["sparse"] = _csc(A_ub, A_eq)
    crossed = _crossed_bound(lower, upper)
    if crossed is not None:
        return _unsolved(2, "The problem is infeasible. (%s)" % crossed)
    budget = {k: v for k, v in (("max_steps", trace_max_steps),
                                ("max_bytes", trace_max_bytes)) if v is not None}
    if not (_whole(budget.get("max_steps", 2), 2) and budget.get("max_steps", 2) < 2**31
            and _whole(budget.get("max_bytes", 1), 1)):
        raise ValueError("trace_max_steps must be a whole number of at least 2 "
                         "and trace_max_bytes one of at least 1")
    names = ([], [])
    if trace:
        names = (["ub%d" % (i + 1) for i in range(m_ub)]
                 + ["eq%d" % (i + 1) for i in range(A_eq.shape[0])],
                 ["x%d" % (j + 1) for j in range(n)])
    sparse = model_options["sparse"]
    if sparse is not None:
        indptr, indices, values = sparse
        matrix, extra = np.asarray(values, dtype=float), dict(
            indptr=[int(v) for v in indptr], indices=[int(v) for v in indices])
    else:
        matrix, extra = np.vstack([_dense(A_ub), _dense(A_eq)]), {}
    found = _karvon.solve(
        c, matrix,
        np.concatenate([np.full(m_ub, -np.inf), b_eq]),
        np.concatenate([b_ub, b_eq]),
        lower, upper, 0.0, False, names[0], names[1], bool(trace),
        integer_columns=list(model_options["integer_columns"]),
        iteration_limit=int(model_options["iteration_limit"] or 0),
        time_limit=float(model_options["time_limit"]
                         if model_options["time_limit"] is not None
                         else np.inf),
        memory_limit=int(model_options["memory_limit"] or 0), **extra,
        **{k: int(v) for k, v in budget.items()})
    _raise_refusal(found)
    status, message = _SCIPY_STATUS[found["status"]]
    result = _unsolved(status, message, found["iterations"])
    if trace:
        result.trace = Trace(found["trace"])
    result.quality = OptimizeResult(found["quality"])
    if found["status"] in ("iteration limit", "time limit") and len(found["x"]):
        # The point reached, as scipy gives it at a limit.
        result.update(x=found["x"], fun=found["objective"])
    if found["status"] not in ("optimal", "optimal, not certified"):
        return result
    x = found["x"]
    activity = found["row_activity"]
    duals = found["row_duals"]
    reduced = found["reduced_costs"]
    if reduced.size != n and activity.size == 0:
        # A problem without constraint rows comes back without its reduced
        # costs; with no rows to price them they are the costs.
        reduced = c.copy()
    result.update(x=x, fun=found["objective"])
    result.slack = b_ub - activity[:m_ub]
    result.con = b_eq - activity[m_ub:]
    result.ineqlin = OptimizeResult(residual=result.slack,
                                    marginals=duals[:m_ub])
    result.eqlin = OptimizeResult(residual=result.con, marginals=duals[m_ub:])
    at_lower, at_upper = _bound_marginals(reduced, found["col_status"])
    result.lower = OptimizeResult(residual=x - lower, marginals=at_lower)
    result.upper = OptimizeResult(residual=upper - x, marginals=at_upper)
    return result


def _bound_marginals(reduced, col_status):
    """The marginals of the lower and the upper bounds: a column's reduced
    cost goes to the bound it stands at, a fixed column's by its sign. A
    basic column's reduced cost is zero but for rounding, and a caller
    reads a nonzero marginal as a binding bound, so it is given as 0; so is
    that of a free column, which has no bound to bind."""
    status = np.asarray(col_status, dtype=object)
    at_lower = np.where(status == "NL", reduced, 0.0)
    at_upper = np.where(status == "NU", reduced, 0.0)
    fixed = status == "NS"
    at_lower[fixed] = np.maximum(reduced[fixed], 0.0)
    at_upper[fixed] = np.minimum(reduced[fixed], 0.0)
    return at_lower, at_upper
