"""linprog's arguments, checked and brought into shape the way
scipy.optimize.linprog (SciPy 1.10) does it: the same exception type where
SciPy raises (TypeError for what cannot be read as numbers, ValueError for
wrong shapes and values), an OptimizeWarning where SciPy warns, and the same
inputs accepted (None or NaN in bounds as "no bound", an empty bounds list,
one pair for every variable as a (1, 2) or (2, 1) array). Messages name
elements from 0, as Python indexes them: c[0] is the first cost.

A sparse A_ub or A_eq (scipy.sparse) stays sparse: only its stored values
are checked. scipy is never imported here: a sparse matrix can only come
from a caller that has already imported scipy.sparse.
"""

import numbers
import sys
import warnings

import numpy as np


class OptimizeWarning(UserWarning):
    """An argument that linprog takes but ignores or cannot honour."""


_both_warnings = {}


def _category():
    # Scripts written for scipy filter or catch scipy's OptimizeWarning;
    # when scipy.optimize is loaded, the warning is an instance of both.
    theirs = getattr(sys.modules.get("scipy.optimize"), "OptimizeWarning",
                     None)
    if theirs is None:
        return OptimizeWarning
    if theirs not in _both_warnings:
        _both_warnings[theirs] = type("OptimizeWarning",
                                      (OptimizeWarning, theirs),
                                      {"__module__": __name__})
    return _both_warnings[theirs]


def warn(message, stacklevel):
    warnings.warn(message, _category(), stacklevel=stacklevel + 1)


# The methods scipy.optimize.linprog knows, with the options each takes.
# karvon solves with its own simplex method whichever is named; of the
# options only maxiter, time_limit and memory_limit (karvon's own) act.
_HIGHS_OPTIONS = frozenset({
    "maxiter", "time_limit", "presolve", "disp", "dual_feasibility_tolerance",
    "primal_feasibility_tolerance", "ipm_optimality_tolerance",
    "simplex_dual_edge_weight_strategy", "mip_rel_gap", "mip_max_nodes"})
_OLDER_OPTIONS = frozenset({"maxiter", "tol", "disp", "presolve", "rr",
                            "rr_method", "autoscale"})
_METHOD_OPTIONS = {
    "highs": _HIGHS_OPTIONS,
    "highs-ds": _HIGHS_OPTIONS,
    "highs-ipm": _HIGHS_OPTIONS,
    "simplex": _OLDER_OPTIONS | {"bland"},
    "revised simplex": _OLDER_OPTIONS | {"maxupdate", "mast", "pivot"},
    "interior-point": _OLDER_OPTIONS | {
        "alpha0", "beta", "sparse", "lstsq", "sym_pos", "cholesky", "pc",
        "ip", "permc_spec"},
}
_KARVON_OPTIONS = frozenset({"memory_limit"})
_DENSE_METHODS = ("simplex", "revised simplex")

_INT_MAX = 2**31 - 1
_HUGE = 1e20


def _whole(low, high):
    return lambda v: (isinstance(v, numbers.Integral)
                      and not isinstance(v, np.bool_) and low <= v <= high)


def _at_least(low):
    # NaN passes, as it does in scipy: it sets no limit.
    return lambda v: (isinstance(v, numbers.Real)
                      and not isinstance(v, np.bool_) and not v < low)


def _flag(v):
    return isinstance(v, (bool, np.bool_)) or (
        isinstance(v, numbers.Integral) and v in (0, 1))


def _python_bool(v):
    # scipy lets presolve be nothing but True or False; it has no effect here.
    return isinstance(v, bool)


def _edge_strategy(v):
    return isinstance(v, str) and v.lower() in (
        "dantzig", "devex", "steepest-devex", "steepest")


# What each option may be, and the words for it; an option outside its
# range is ignored with a warning, as scipy does.
_OPTION_VALUES = {
    "maxiter": (_whole(0, _INT_MAX), "whole numbers in [0, 2147483647]"),
    "time_limit": (_at_least(0), "numbers of seconds in [0, inf]"),
    "memory_limit": (_whole(0, 2**64 - 1), "whole numbers of bytes >= 0"),
    "presolve": (_python_bool, "True or False"),
    "disp": (_flag, "True or False"),
    "primal_feasibility_tolerance": (_at_least(1e-10), "numbers >= 1e-10"),
    "dual_feasibility_tolerance": (_at_least(1e-10), "numbers >= 1e-10"),
    "ipm_optimality_tolerance": (_at_least(1e-10), "numbers >= 1e-10"),
    "mip_rel_gap": (_at_least(0), "numbers >= 0"),
    "mip_max_nodes": (_whole(0, _INT_MAX), "whole numbers in [0, 2147483647]"),
    "simplex_dual_edge_weight_strategy": (
        _edge_strategy, "'dantzig', 'devex', 'steepest-devex', 'steepest'"),
}


def _sparse_module(*arrays):
    sparse = sys.modules.get("scipy.sparse")
    if sparse is not None and any(sparse.issparse(a) for a in arrays):
        return sparse
    return None


def _finite(values, what):
    bad = np.argwhere(~np.isfinite(values))
    if bad.size:
        at = tuple(int(k) for k in bad[0])
        raise ValueError(f"linprog: {what}{list(at)} is {values[at]}; {what} "
                         "must not hold inf, nan or None")


def _floats(values, what, shape):
    try:
        return np.array(values, dtype=float, copy=True)
    except ValueError as e:
        raise TypeError(f"linprog: {what} must be {shape} of numbers: "
                        f"{e}") from e


def _vector(values, what, size=None):
    """c, b_ub, b_eq and x0: any shape with one non-singleton dimension."""
    v = _floats(values, what, "a 1-D array").squeeze()
    if v.ndim == 0:
        v = v.reshape(-1)
    if v.ndim != 1 or v.size == 0:
        raise ValueError(f"linprog: {what} has shape {np.shape(values)}; it "
                         "must be a 1-D array of one or more values")
    if size is not None and v.size != size:
        raise ValueError(f"linprog: {what} has {v.size} values; c has {size}")
    _finite(v, what)
    return v


def _matrix(A, what, n, sparse):
    if sparse is not None:
        try:
            A = sparse.coo_matrix((0, n) if A is None else A, dtype=float,
                                  copy=True)
        except ValueError as e:
            raise TypeError(f"linprog: {what} must be a 2-D array of "
                            f"numbers: {e}") from e
        values = A.data
    else:
        A = np.zeros((0, n)) if A is None else _floats(A, what, "a 2-D array")
        values = A
    if len(A.shape) != 2 or A.shape[1] != n:
        raise ValueError(f"linprog: {what} has shape {A.shape}; it must "
                         f"have two dimensions and {n} columns, one for each "
                         "cost")
    _finite(values, what if sparse is None else what + ".data")
    return A


def _rhs(b, what, rows, matrix):
    v = np.zeros(0) if b is None else _floats(b, what, "a 1-D array").squeeze()
    if v.size == 1:
        v = v.reshape(-1)
    if v.shape != (rows,):
        given = "is missing" if b is None else f"has shape {np.shape(b)}"
        raise ValueError(f"linprog: {what} {given}; it must have one value "
                         f"for each of the {rows} rows of {matrix}")
    _finite(v, what)
    return v


def _bounds(bounds, n):
    """lower and upper, n of each: NaN and None are no bound."""
    if bounds is None or np.array_equal(bounds, []) \
            or np.array_equal(bounds, [[]]):
        bounds = (0, np.inf)
    try:
        b = np.atleast_2d(np.array(bounds, dtype=float))
    except ValueError as e:
        raise ValueError(f"linprog: bounds cannot be read as pairs: {e}") \
            from e
    except TypeError as e:
        raise TypeError(f"linprog: bounds cannot be read as pairs: {e}") \
            from e
    if b.ndim > 2:
        raise ValueError(f"linprog: bounds has {b.ndim} dimensions; give "
                         f"an array of shape ({n}, 2)")
    if b.shape == (n, 2):
        lower, upper = b[:, 0].copy(), b[:, 1].copy()
    elif b.shape in ((1, 2), (2, 1)):
        lower, upper = np.full(n, b.flat[0]), np.full(n, b.flat[1])
    elif b.shape == (2, n):
        raise ValueError(f"linprog: bounds has shape (2, {n}); give an "
                         f"array of shape ({n}, 2), one (lower, upper) pair "
                         "a row")
    else:
        raise ValueError(f"linprog: bounds has shape {b.shape}; give one "
                         f"pair, or {n} pairs, one for each cost")
    lower[np.isnan(lower)] = -np.inf
    upper[np.isnan(upper)] = np.inf
    # scipy's solver takes a bound of magnitude 1e20 or more as infinite,
    # and scripts written for it say "no bound" so (0, 1e30).
    for side in (lower, upper):
        huge = np.abs(side) >= _HUGE
        side[huge] = np.copysign(np.inf, side[huge])
    return lower, upper


def _method(method):
    name = "highs" if method is None else method.lower()
    if name not in _METHOD_OPTIONS:
        raise ValueError(f"linprog: unknown method '{method}'; one of "
                         + ", ".join(f"'{m}'" for m in _METHOD_OPTIONS))
    return name


def _integer_columns(integrality, c, method):
    """The columns asked to be integer: they are solved as continuous."""
    if not np.any(integrality):
        return []
    if method == "highs":
        columns = np.flatnonzero(np.broadcast_to(integrality, np.shape(c)))
        warn("karvon solves no integer problems: `integrality` is ignored "
             "and the continuous problem solved", 4)
        return columns.tolist()
    warn("Only `method='highs'` supports integer constraints. Ignoring "
         "`integrality`.", 4)
    return []


def _check_options(options, method):
    """The model's limits from linprog's options; a warning for each option
    that is unknown or out of its range, as scipy gives."""
    known = _METHOD_OPTIONS[method] | _KARVON_OPTIONS
    unknown = [str(k) for k in options if k not in known]
    if unknown:
        warn("Unknown solver options: " + ", ".join(unknown), 4)
    taken = {}
    for name, value in options.items():
        if name not in known or name not in _OPTION_VALUES or value is None:
            continue
        valid, allowed = _OPTION_VALUES[name]
        if valid(value):
            taken[name] = value
        else:
            warn(f'Option "{name}" is {value!r}, but only {allowed} are '
                 "allowed; it is ignored", 4)
    return {
        "iteration_limit": int(taken.get("maxiter", 0)),
        "time_limit": float(taken.get("time_limit", np.inf)),
        "memory_limit": int(taken.get("memory_limit", 0)),
    }


def clean(c, A_ub, b_ub, A_eq, b_eq, bounds, method, callback, options, x0,
          integrality):
    """linprog's arguments checked, in scipy's order. Returns c, A_ub, b_ub,
    A_eq, b_eq (the matrices dense arrays or scipy.sparse COO matrices),
    lower, upper, and the model options: iteration_limit, time_limit,
    memory_limit (0 and inf for none) and integer_columns."""
    method = _method(method)
    if x0 is not None:
        warn("x0 is ignored: karvon's simplex method starts from a basis of "
             "its own", 3)
    integer_columns = _integer_columns(integrality, c, method)
    options = {} if options is None else dict(options.items())
    options.pop("_sparse_presolve", None)
    sparse = _sparse_module(A_ub, A_eq)
    if sparse is not None and method in _DENSE_METHODS:
        raise ValueError(f"Method '{method}' does not support sparse "
                         "constraint matrices.")
    if sparse is not None and method == "interior-point" \
            and not options.get("sparse", False):
        options["sparse"] = True
        warn("Sparse constraint matrix detected; setting 'sparse':True.", 3)

    if c is None:
        raise TypeError("linprog: c, the costs, is required")
    c = _vector(c, "c")
    n = c.size
    A_ub = _matrix(A_ub, "A_ub", n, sparse)
    b_ub = _rhs(b_ub, "b_ub", A_ub.shape[0], "A_ub")
    A_eq = _matrix(A_eq, "A_eq", n, sparse)
    b_eq = _rhs(b_eq, "b_eq", A_eq.shape[0], "A_eq")
    if x0 is not None:
        _vector(x0, "x0", n)
    lower, upper = _bounds(bounds, n)
    if callback is not None:
        raise NotImplementedError("karvon.linprog takes no callback")
    model_options = _check_options(options, method)
    model_options["integer_columns"] = integer_columns
    return c, A_ub, b_ub, A_eq, b_eq, lower, upper, model_options
