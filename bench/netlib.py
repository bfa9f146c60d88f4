#!/usr/bin/env python3
"""Solves the netlib problems with karvon-solve, one after another, and
prints a table: size, status, objective against the published value and
the peers', the answer's measures, the time; CLP's and GLPK's times when
--peers is given.

    bench/netlib.py KARVON_SOLVE NETLIB_DIR [--set small|large|all|NAME,...]
                    [--timeout S] [--peers] [--markdown] [--check]

--check exits 1 when a problem of the set comes back OPTIMAL at a wrong
value, or with any status but OPTIMAL where the set requires it.
"""
import argparse
import bz2
import csv
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

# Beyond 1,000 rows or 5,000 columns, the problems a dense tableau is still
# expected to solve in time.
EXTRA = {"fit2d", "ganges", "sctap2", "sierra", "ship12s", "degen3", "d6cube"}


def table(netlib):
    with open(os.path.join(netlib, "optima.tsv")) as f:
        return list(csv.DictReader(f, delimiter="\t"))


def required(row):
    rows, cols = int(row["rows"]) - 1, int(row["columns"])
    return (rows <= 1000 and cols <= 5000) or row["name"] in EXTRA


def reference(row):
    """The published value and the peers' common one (when they agree)."""
    values = [float(row["optimum"])] if row["optimum"] else []
    try:
        clp, glpk = float(row["clp"]), float(row["glpk"])
    except ValueError:
        return values
    # The PILOT family differs between the two at the 8th digit: their
    # common value is either, where they agree to the test's tolerance.
    if abs(clp - glpk) <= 1e-6 * max(1, abs(clp)):
        values += [clp, glpk]
    return values


def objective_constant(mps):
    """The right-hand side given on the objective row, or 0. The published
    values leave it out and readers disagree on its sign, so a value is
    right with it added, subtracted or left out."""
    objective, in_rows, in_rhs, r = None, False, False, 0.0
    with open(mps) as f:
        for line in f:
            if not line.strip() or line.startswith("*"):
                continue
            if not line[0].isspace():
                word = line.split()[0]
                in_rows, in_rhs = word == "ROWS", word == "RHS"
                continue
            fields = line.split()
            if in_rows and fields[0] == "N" and objective is None:
                objective = fields[1]
            elif in_rhs:
                for name, value in zip(fields[1::2], fields[2::2]):
                    if name == objective:
                        r = float(value)
    return r


def right(value, row, constant=0.0):
    return any(abs(value - (r + k)) <= 1e-6 * max(1.0, abs(r))
               for r in reference(row) for k in (0.0, constant, -constant))


def run(cmd, timeout):
    start = time.perf_counter()
    try:
        p = subprocess.run(cmd, capture_output=True, text=True, timeout=timeout)
        return p.stdout, time.perf_counter() - start, p.returncode
    except subprocess.TimeoutExpired:
        return "", None, None


def solve(karvon, mps, timeout):
    out, seconds, _ = run([karvon, "--time-limit", str(timeout), mps], timeout + 30)
    status = re.search(r"^Status:\s+(.*)$", out, re.M)
    objective = re.search(r"^Objective:.*= (\S+)", out, re.M)
    measures = re.findall(r"\(relative\)\s+(\S+)", out)
    certified = re.search(r"^  certified: yes", out, re.M) is not None
    return {
        "status": status.group(1) if status else "NO ANSWER",
        "objective": float(objective.group(1)) if objective and objective.group(1) not in ("", "nan") else None,
        "measures": measures,
        "certified": certified,
        "seconds": seconds,
        "iterations": (re.search(r"^Iterations: (\d+)", out, re.M) or [None, "?"])[1],
    }


def peer_times(mps, timeout):
    """CLP's and GLPK's wall-clock seconds on the model. glpsol writes its
    report beside the model: run as root, it would replace a device node
    given as its output file with a regular file."""
    times = {}
    if shutil.which("clp"):
        _, times["clp"], _ = run(["clp", mps, "-solve"], timeout)
    if shutil.which("glpsol"):
        report = mps + ".glpsol.txt"
        _, times["glpk"], _ = run(["glpsol", "--mps", mps, "-o", report], timeout)
        if os.path.exists(report):
            os.unlink(report)
    return times


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("karvon")
    ap.add_argument("netlib")
    ap.add_argument("--set", default="small")
    ap.add_argument("--timeout", type=float, default=120)
    ap.add_argument("--peers", action="store_true")
    ap.add_argument("--markdown", action="store_true")
    ap.add_argument("--check", action="store_true")
    a = ap.parse_args()
    rows = table(a.netlib)
    if a.set == "small":
        rows = [r for r in rows if required(r)]
    elif a.set == "large":
        rows = [r for r in rows if not required(r)]
    elif a.set != "all":
        names = set(a.set.split(","))
        rows = [r for r in rows if r["name"] in names]
    faults = []
    total = 0.0
    peer_total = {"clp": 0.0, "glpk": 0.0}
    tmp = tempfile.mkdtemp()
    head = ["problem", "rows", "cols", "status", "objective", "reference",
            "primal", "dual", "gap", "iter", "seconds"]
    if a.peers:
        head += ["clp s", "glpk s"]
    print(("| " + " | ".join(head) + " |") if a.markdown else "\t".join(head))
    if a.markdown:
        print("|" + "---|" * len(head))
    for r in rows:
        mps = os.path.join(tmp, r["name"] + ".mps")
        with bz2.open(os.path.join(a.netlib, r["name"] + ".mps.bz2"), "rb") as src, open(mps, "wb") as dst:
            shutil.copyfileobj(src, dst)
        res = solve(a.karvon, mps, a.timeout)
        total += res["seconds"] or a.timeout
        obj = res["objective"]
        ok = (res["status"] == "OPTIMAL" and res["certified"] and obj is not None
              and right(obj, r, objective_constant(mps)))
        if res["status"] == "OPTIMAL" and not ok:
            faults.append(f"{r['name']}: OPTIMAL at {obj}, expected {reference(r)}")
        elif required(r) and not ok:
            faults.append(f"{r['name']}: {res['status']}")
        m = res["measures"] + ["", "", ""]
        cells = [r["name"], str(int(r["rows"]) - 1), r["columns"], res["status"],
                 f"{obj:.10g}" if obj is not None else "", f"{reference(r)[-1]:.10g}" if reference(r) else "",
                 m[0], m[1] if len(res["measures"]) > 1 else "", m[2] if len(res["measures"]) > 2 else "",
                 str(res["iterations"]),
                 f"{res['seconds']:.2f}" if res["seconds"] is not None else "timeout"]
        if a.peers:
            pt = peer_times(mps, a.timeout)
            for peer in ("clp", "glpk"):
                peer_total[peer] += pt.get(peer) or a.timeout
            cells += [f"{pt[p]:.2f}" if pt.get(p) is not None else
                      "timeout" if p in pt else "n/a" for p in ("clp", "glpk")]
        print(("| " + " | ".join(cells) + " |") if a.markdown else "\t".join(cells), flush=True)
        os.unlink(mps)
    shutil.rmtree(tmp)
    peers = (f" (CLP {peer_total['clp']:.1f} s, GLPK {peer_total['glpk']:.1f} s)"
             if a.peers else "")
    print(f"total {total:.1f} s{peers}; {len(faults)} fault(s)")
    for f in faults:
        print("  " + f)
    if a.check and faults:
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
