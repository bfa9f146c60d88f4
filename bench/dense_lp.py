#!/usr/bin/python3
"""Times karvon.linprog against scipy.optimize.linprog(method='highs') on
dense random LPs, in one process on the very same arrays, and prints the
ratio table with the targets.

    bench/dense_lp.py [--seed N]... [--runs R] [--sizes 10x12,40x55,...]
                      [--build BUILD_DIR] [--markdown]

A problem of m x n: A with values in [0, 10], b between 0.2 and 0.6 of each
row's sum, 0 <= x <= 1, minimise -c . x with c in [0, 10]: every row binds
somewhere, the optimum is a vertex with many columns at a bound. Each side
runs R times, the two alternating (the one that starts changes each round),
and the best time of each is kept; both must reach the same objective to
1e-9 relative. --seed may be given several times: one table per seed, then
the worst ratio of each size. The module is taken from BUILD_DIR/python
(default build-release) when present, else from the installed package.
"""
import argparse
import os
import platform
import sys
import time

import numpy as np
from scipy.optimize import linprog as scipy_linprog

SIZES = "10x12,40x55,100x150,200x400,400x800"
# karvon.linprog / scipy's HiGHS, best against best: at most this much.
TARGETS = {"200x400": 0.5, "400x800": 0.5}
TARGET_ELSEWHERE = 1.0
SAME_OBJECTIVE = 1e-9


def import_karvon(build):
    path = os.path.join(build, "python")
    if os.path.isdir(os.path.join(path, "karvon")):
        sys.path.insert(0, path)
    import karvon
    return karvon


def problem(m, n, rng):
    A = rng.uniform(0.0, 10.0, size=(m, n))
    b = A.sum(axis=1) * rng.uniform(0.2, 0.6, size=m)
    c = -rng.uniform(0.0, 10.0, size=n)
    return c, A, b


def timed(solve):
    start = time.perf_counter()
    res = solve()
    return time.perf_counter() - start, res


def compare(karvon, m, n, seed, runs):
    rng = np.random.default_rng([seed, m, n])
    c, A, b = problem(m, n, rng)
    ours = lambda: karvon.linprog(c, A_ub=A, b_ub=b, bounds=(0, 1))
    theirs = lambda: scipy_linprog(c, A_ub=A, b_ub=b, bounds=(0, 1), method="highs")
    best = {"karvon": float("inf"), "highs": float("inf")}
    found = {}
    for r in range(runs):
        order = [("karvon", ours), ("highs", theirs)]
        if r % 2:
            order.reverse()
        for name, solve in order:
            seconds, res = timed(solve)
            best[name] = min(best[name], seconds)
            found[name] = res
    k, h = found["karvon"], found["highs"]
    same = (k.status == 0 and h.status == 0 and
            abs(k.fun - h.fun) <= SAME_OBJECTIVE * max(1.0, abs(h.fun)))
    return {
        "karvon_ms": best["karvon"] * 1e3,
        "highs_ms": best["highs"] * 1e3,
        "ratio": best["karvon"] / best["highs"],
        "karvon_nit": k.nit,
        "highs_nit": h.nit,
        "us_per_iter": best["karvon"] * 1e6 / max(k.nit, 1),
        "same": same,
        "gap": abs(k.fun - h.fun) / max(1.0, abs(h.fun)) if k.fun is not None else float("nan"),
    }


def target(size):
    return TARGETS.get(size, TARGET_ELSEWHERE)


def cpu():
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return platform.processor() or "unknown processor"


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--seed", type=int, action="append")
    ap.add_argument("--runs", type=int, default=7)
    ap.add_argument("--sizes", default=SIZES)
    ap.add_argument("--build", default="build-release")
    a = ap.parse_args()
    seeds = a.seed or [1]
    sizes = a.sizes.split(",")
    karvon = import_karvon(a.build)
    import scipy
    try:
        load = " / ".join(f"{v:.1f}" for v in os.getloadavg())
    except OSError:
        load = "?"
    print(f"Machine: {cpu()}, {os.cpu_count()} cores; Python {platform.python_version()}, "
          f"NumPy {np.__version__}, SciPy {scipy.__version__}; load average {load}")
    print(f"Best of {a.runs} alternating runs per side, wall clock, one process.")
    worst = {}
    faults = []
    for seed in seeds:
        print()
        print(f"Seed {seed}:")
        print()
        print("| m x n | karvon (ms) | HiGHS (ms) | ratio | target | karvon iterations "
              "| HiGHS iterations | karvon µs/iteration | same objective |")
        print("|---|---:|---:|---:|---:|---:|---:|---:|---|")
        for size in sizes:
            m, n = (int(v) for v in size.split("x"))
            r = compare(karvon, m, n, seed, a.runs)
            worst[size] = max(worst.get(size, 0.0), r["ratio"])
            if not r["same"]:
                faults.append(f"seed {seed}, {size}: objectives differ by {r['gap']:.2e}")
            print(f"| {size} | {r['karvon_ms']:.3f} | {r['highs_ms']:.3f} | {r['ratio']:.3f} | "
                  f"<= {target(size)} | {r['karvon_nit']} | {r['highs_nit']} | "
                  f"{r['us_per_iter']:.1f} | {'yes' if r['same'] else 'NO'} |", flush=True)
    print()
    print("| m x n | worst ratio over the seeds | target | verdict |")
    print("|---|---:|---:|---|")
    for size in sizes:
        ratio, limit = worst[size], target(size)
        verdict = "met" if ratio <= limit else f"missed by {ratio / limit:.2f}x"
        print(f"| {size} | {ratio:.3f} | <= {limit} | {verdict} |")
    for f in faults:
        print("FAULT: " + f)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
