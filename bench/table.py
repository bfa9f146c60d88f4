#!/usr/bin/env python3
"""Prints bench/run's table from the files it left in its work folder.

Usage: table.py WORK_DIR SIZE...

When WORK_DIR holds compare.txt (the report of a timing model of the whole
run, see bench/run), its ratios are checked against their targets too.
"""

import json
import os
import platform
import subprocess
import sys

# Targets of the performance work, checked here and never by a test.
SOLVE_RATIO = 0.10   # LINEAR median / glp_simplex median, 49x60
DECK_RATIO = 0.6     # karvon deck, IOUT 0, to a file / GLPK solve sum
RENDER_RATIO = 0.2   # E10.3 and F9.2 rendering / snprintf
READ_RATIO = 0.5     # F10.0 reading / strtod
NS_PER_FIELD = 20.0  # karvon deck, IOUT 6, to /dev/null, per printed field
PEAK_RSS_MB = 8.0
PIVOT_FLOOR = 1.5    # one pivot / storing its 3,111 entries, same width
FLOOR_O2 = 1.0       # whole deck, karvon / timing model at -O2
FLOOR_O3N = 1.1      # whole deck, karvon / timing model at -O3, this processor
WIDTHS = [(2, "SSE2"), (4, "AVX"), (8, "AVX-512")]
MODEL_SIZES = ["51x61", "200x400", "1000x2000", "3000x6000"]  # tableau rows x columns
MODEL_FLOOR = 1.5    # one model-road pivot / its floor, AVX and AVX-512


def load(path):
    with open(path) as f:
        return json.load(f)


def hyperfine_median(path):
    return load(path)["results"][0]["median"]


def peak_rss_mb(path):
    with open(path) as f:
        kb = [int(line) for line in f if line.strip().isdigit()]
    return max(kb) / 1024.0 if kb else float("nan")


def benchmark_ns(path, name, clock="real_time"):
    """Nanoseconds per iteration of one Google Benchmark (the median when it
    was repeated), None if absent or skipped."""
    try:
        runs = load(path)["benchmarks"]
    except (OSError, ValueError, KeyError):
        return None
    found = None
    for run in runs:
        if run.get("error_occurred"):
            continue
        median = run.get("run_name") == name and run.get("aggregate_name") == "median"
        single = run.get("name") == name and run.get("run_type", "iteration") == "iteration"
        if median or (single and found is None):
            scale = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}[run.get("time_unit", "ns")]
            found = run[clock] * scale
            if median:
                break
    return found


def compare_ratios(path):
    """The timing model's report: {deck: (karvon s, ratio to -O2, ratio to -O3n)}."""
    rows = {}
    try:
        with open(path) as f:
            for line in f:
                cells = line.split()
                if len(cells) == 5 and cells[0].startswith("deck_"):
                    rows[cells[0].removesuffix(".txt")] = (
                        float(cells[1]), float(cells[3]), float(cells[4]))
    except (OSError, ValueError):
        return {}
    return rows


def machine(work):
    cpu = "unknown processor"
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    cpu = line.split(":", 1)[1].strip()
                    break
    except OSError:
        pass
    try:
        gxx = subprocess.run(["g++", "--version"], capture_output=True, text=True,
                             check=False).stdout.splitlines()[0]
    except (OSError, IndexError):
        gxx = "g++ (version unknown)"
    try:
        glpk = subprocess.run(["dpkg-query", "-W", "-f", "${Version}", "libglpk-dev"],
                              capture_output=True, text=True, check=False).stdout
    except OSError:
        glpk = "?"
    try:
        width = load(os.path.join(work, "solver.json"))["context"]["vector_width"]
    except (OSError, ValueError, KeyError):
        width = "unknown"
    try:
        load_avg = " / ".join(f"{v:.1f}" for v in os.getloadavg())
    except OSError:
        load_avg = "?"
    return (f"{cpu}, {os.cpu_count()} cores, {platform.system()} {platform.release()}, "
            f"{gxx}, GLPK {glpk or '?'}; GAUSS vector width {width}; "
            f"load average {load_avg}")


def last_level_cache(path):
    """Bytes of the largest cache Google Benchmark found, None if unknown."""
    try:
        caches = load(path)["context"]["caches"]
        return max(c["size"] for c in caches) if caches else None
    except (OSError, ValueError, KeyError):
        return None


def model_road(work):
    """Prints the model road's kernel tables; returns the target rows
    (label, ratio) for the pivot against its floor."""
    path = os.path.join(work, "model.json")
    if not os.path.exists(path):
        return []
    llc = last_level_cache(path)
    try:
        dispatched = int(load(path)["context"]["model_vector_width"])
    except (OSError, ValueError, KeyError):
        dispatched = 8
    us = lambda name: (lambda v: None if v is None else v / 1e3)(
        benchmark_ns(path, name, "cpu_time"))
    cell = lambda v: "n/a" if v is None else f"{v:.1f}" if v < 1000 else f"{v:,.0f}"
    print()
    print(f"Model road, one pivot of an (m+2) x n tableau (last-level cache "
          f"{(llc or 0) / 2**20:.0f} MiB; the floor is storing every entry once for a "
          "tableau that fits in it, reading and writing every entry once for a larger one):")
    print()
    print("| tableau | MiB | width | pivot (µs) | storing (µs) | streaming (µs) | pivot / floor |")
    print("|---|---:|---|---:|---:|---:|---:|")
    targets = []
    for size in MODEL_SIZES:
        rows, cols = (int(v) for v in size.split("x"))
        mib = rows * cols * 8 / 2**20
        beyond = llc is not None and rows * cols * 8 > llc
        for lanes, name in WIDTHS:
            pivot = us(f"model_pivot/{size}/w{lanes}")
            store = us(f"model_store/{size}/w{lanes}")
            stream = us(f"model_stream/{size}/w{lanes}")
            if pivot is None or store is None or stream is None:
                print(f"| {size} | {mib:.1f} | {name} | not offered | | | |")
                continue
            ratio = pivot / (stream if beyond else store)
            print(f"| {size} | {mib:.1f} | {name} | {cell(pivot)} | {cell(store)} | "
                  f"{cell(stream)} | {ratio:.2f} |")
            if lanes >= 4:
                floor = "streaming" if beyond else "storing"
                targets.append((f"model pivot {size}, {name}: <= {MODEL_FLOOR} x {floor}",
                                ratio))
    print()
    # Shares of one phase-2 iteration (pivot, pricing, ratio test); phase 1
    # adds its reduced costs over the infeasible rows (a quarter of them here).
    print("| tableau | pivot, dispatched (µs) | pricing, n columns (µs) | ratio test, m rows (µs) "
          "| pricing share | ratio test share | phase-1 costs, by column / side by side (µs) |")
    print("|---|---:|---:|---:|---:|---:|---:|")
    for size in MODEL_SIZES:
        pivot = us(f"model_pivot/{size}/w{dispatched}")
        price = us(f"model_pricing/{size}")
        ratio = us(f"model_ratio/{size}")
        by_column = us(f"model_phase1_by_column/{size}")
        side = us(f"model_phase1_side_by_side/{size}")
        if None in (pivot, price, ratio):
            print(f"| {size} | not measured | | | | | |")
            continue
        whole = pivot + price + ratio
        print(f"| {size} | {cell(pivot)} | {price:.2f} | {ratio:.2f} | "
              f"{100 * price / whole:.1f} % | {100 * ratio / whole:.1f} % | "
              f"{cell(by_column)} / {cell(side)} |")
    return targets


def verdict(value, target, lower_is_better=True):
    if value is None or value != value:
        return "not measured"
    met = value <= target if lower_is_better else value >= target
    if met:
        return "met"
    return f"missed by {value / target:.2f}x"


def main():
    work = sys.argv[1]
    sizes = sys.argv[2:]
    rows = {}
    for size in sizes:
        t = load(os.path.join(work, f"time-{size}.json"))
        deck0 = hyperfine_median(os.path.join(work, f"deck-{size}-iout0.json"))
        deck6 = hyperfine_median(os.path.join(work, f"deck-{size}-iout6.json"))
        rows[size] = {
            "linear_us": t["linear_median_ns"] / 1e3,
            "glpk_us": t["glpk_median_ns"] / 1e3,
            "solve_ratio": t["linear_median_ns"] / t["glpk_median_ns"],
            "iter": t["iter_median"],
            "us_per_iter": t["linear_median_ns"] / 1e3 / max(t["iter_median"], 1.0),
            "deck0_s": deck0,
            "glpk_sum_s": t["glpk_sum_ns"] / 1e9,
            "deck_ratio": deck0 / (t["glpk_sum_ns"] / 1e9),
            "deck6_s": deck6,
            "fields_m": t["fields_iout6"] / 1e6,
            "ns_field": deck6 * 1e9 / t["fields_iout6"],
            "rss0": peak_rss_mb(os.path.join(work, f"rss-{size}-iout0.txt")),
            "rss6": peak_rss_mb(os.path.join(work, f"rss-{size}-iout6.txt")),
            "agree": f"{t['same_optimum']}/{t['problems']}",
        }

    lines = [
        ("LINEAR, median per problem (µs)", "linear_us", "{:.1f}"),
        ("glp_simplex, median per problem (µs)", "glpk_us", "{:.1f}"),
        ("solve ratio LINEAR / glp_simplex", "solve_ratio", "{:.3f}"),
        ("iterations, median per problem", "iter", "{:.0f}"),
        ("LINEAR per iteration (µs)", "us_per_iter", "{:.2f}"),
        ("karvon deck, IOUT 0, to a file (s)", "deck0_s", "{:.3f}"),
        ("glp_simplex summed over the deck (s)", "glpk_sum_s", "{:.3f}"),
        ("deck ratio karvon / glp_simplex sum", "deck_ratio", "{:.3f}"),
        ("karvon deck, IOUT 6, to /dev/null (s)", "deck6_s", "{:.2f}"),
        ("fields printed with IOUT 6 (millions)", "fields_m", "{:.1f}"),
        ("ns per printed field", "ns_field", "{:.1f}"),
        ("peak RSS, IOUT 0 (MB)", "rss0", "{:.1f}"),
        ("peak RSS, IOUT 6 (MB)", "rss6", "{:.1f}"),
        ("same optimum as GLPK", "agree", "{}"),
    ]
    print(f"Machine: {machine(work)}")
    print("Decks: 1,000 random feasible problems each (constraints x variables), "
          "medians of hyperfine runs and of 5 timed calls per problem.")
    print()
    print("| measure | " + " | ".join(sizes) + " |")
    print("|---|" + "---:|" * len(sizes))
    for label, key, fmt in lines:
        print(f"| {label} | " + " | ".join(fmt.format(rows[s][key]) for s in sizes) + " |")

    fields = os.path.join(work, "fields.json")
    # (label, ours, fields per iteration of ours, the C library's, target)
    kernels = [
        ("E10.3 rendering", "render/E10.3_1P", 1, "snprintf/E10.3", RENDER_RATIO),
        ("E10.3 rendering, in a run", "run/E10.3_1P_x1024", 1024, "snprintf/E10.3",
         RENDER_RATIO),
        ("F9.2 rendering", "render/F9.2", 1, "snprintf/F9.2", RENDER_RATIO),
        ("F9.2 rendering, in a run", "run/F9.2_x1024", 1024, "snprintf/F9.2", RENDER_RATIO),
        ("F10.0 reading", "parse/F10.0", 1, "strtod/F10.0", READ_RATIO),
    ]
    print()
    print("| field kernel | ns per field | C library (ns) | ratio | target |")
    print("|---|---:|---:|---:|---|")
    field_ratios = {}
    for label, ours, per, libc, target in kernels:
        a = benchmark_ns(fields, ours)
        a = None if a is None else a / per
        b = benchmark_ns(fields, libc)
        ratio = a / b if a is not None and b else None
        field_ratios[label] = (ratio, target)
        cell = lambda v, f="{:.1f}": "n/a" if v is None else f.format(v)
        print(f"| {label} | {cell(a)} | {cell(b)} | {cell(ratio, '{:.3f}')} | <= {target} |")

    # The pivot against the time to store its entries: both on the processor
    # clock of the process (CPU time), which a loaded machine disturbs less.
    solver = os.path.join(work, "solver.json")
    pivot = benchmark_ns(solver, "BM_GaussPivot51x61", "cpu_time")
    pivot_ratios = {}
    print()
    print("| one GAUSS pivot, 51 x 61 | pivot (ns) | storing 3,111 doubles (ns) | ratio |")
    print("|---|---:|---:|---:|")
    for lanes, name in WIDTHS:
        a = benchmark_ns(solver, f"BM_GaussPivotAtWidth/{lanes}", "cpu_time")
        b = benchmark_ns(solver, f"BM_StoreFloorAtWidth/{lanes}", "cpu_time")
        if a is None or b is None:
            print(f"| {name}, {lanes} doubles | not offered | | |")
            continue
        pivot_ratios[name] = a / b
        print(f"| {name}, {lanes} doubles | {a:.0f} | {b:.0f} | {a / b:.2f} |")
    if pivot is not None:
        print(f"| GAUSS as dispatched | {pivot:.0f} | | |")

    model_targets = model_road(work)

    big, small = sizes[-1], sizes[0]
    r = rows[big]
    print()
    print(f"Growth from {small} to {big}: LINEAR time x{r['linear_us'] / rows[small]['linear_us']:.1f}, "
          f"iterations x{r['iter'] / max(rows[small]['iter'], 1.0):.1f}, "
          f"time per iteration x{r['us_per_iter'] / rows[small]['us_per_iter']:.1f}; "
          f"glp_simplex time x{r['glpk_us'] / rows[small]['glpk_us']:.1f}.")
    print()
    print("| target | measured | verdict |")
    print("|---|---:|---|")
    print(f"| solve, {big}: LINEAR <= {SOLVE_RATIO} x glp_simplex | {r['solve_ratio']:.3f} | "
          f"{verdict(r['solve_ratio'], SOLVE_RATIO)} |")
    print(f"| whole deck {big}, IOUT 0: karvon <= {DECK_RATIO} x glp_simplex sum | "
          f"{r['deck_ratio']:.3f} | {verdict(r['deck_ratio'], DECK_RATIO)} |")
    for label, (ratio, target) in field_ratios.items():
        shown = "n/a" if ratio is None else f"{ratio:.3f}"
        print(f"| {label} <= {target} x C library | {shown} | {verdict(ratio, target)} |")
    print(f"| whole deck {big}, IOUT 6: <= {NS_PER_FIELD:.0f} ns per printed field | "
          f"{r['ns_field']:.1f} | {verdict(r['ns_field'], NS_PER_FIELD)} |")
    for name, ratio in pivot_ratios.items():
        print(f"| pivot, {name}: <= {PIVOT_FLOOR} x storing its entries | {ratio:.2f} | "
              f"{verdict(ratio, PIVOT_FLOOR)} |")
    for label, ratio in model_targets:
        print(f"| {label} | {ratio:.2f} | {verdict(ratio, MODEL_FLOOR)} |")
    decks = compare_ratios(os.path.join(work, "compare.txt"))
    if not decks:
        print("| whole deck against the timing model | not measured (no model given) | |")
    for deck, (_, o2, o3n) in decks.items():
        print(f"| {deck}: karvon <= {FLOOR_O2} x model -O2 | {o2:.2f} | {verdict(o2, FLOOR_O2)} |")
        print(f"| {deck}: karvon <= {FLOOR_O3N} x model -O3n | {o3n:.2f} | "
              f"{verdict(o3n, FLOOR_O3N)} |")
    worst_rss = max(max(v["rss0"], v["rss6"]) for v in rows.values())
    print(f"| peak RSS on any deck < {PEAK_RSS_MB:.0f} MB | {worst_rss:.1f} | "
          f"{verdict(worst_rss, PEAK_RSS_MB)} |")


if __name__ == "__main__":
    main()
