#!/usr/bin/env python3
"""Time and peak memory of karvel (and calculate, where it fits) over size series.

Usage: PYTHONPATH=build/dev/quelm_py karvel_scaling.py [--max-atoms N] [--dense-max N]
                                                       [--kinds water,alkane,peptide]
                                                       [--plot karvel_scaling.png]

Series of about 100, 300, 1,000, 3,000 and 10,000 atoms: water clusters on a jittered
3.1 Å grid (the make_molecules.py recipe, any size), and alkanes and alanine peptides
built from the committed ~100/300/1,000-atom molecules of bench/data, copied side by side
on a grid (4 Å apart) for the larger sizes. Every run is its own child process, so its
peak resident memory (ru_maxrss) is its own; the baseline of the imported module (which
pulls in PyTorch when installed) is measured the same way and reported apart. Times are
CPU seconds of the call (the machine is shared, wall time would measure the neighbours).
Prints a table and writes a log-log plot with matplotlib.
"""

import argparse
import json
import math
import random
import subprocess
import sys
from pathlib import Path

DATA = Path(__file__).resolve().parent / "data"
SYMBOLS = {"H": 1, "C": 6, "N": 7, "O": 8}


def read_xyz(name):
    lines = (DATA / f"{name}.xyz").read_text().splitlines()
    n = int(lines[0])
    numbers, coords = [], []
    for line in lines[2 : 2 + n]:
        parts = line.split()
        numbers.append(SYMBOLS[parts[0]])
        coords.append([float(v) for v in parts[1:4]])
    return numbers, coords


def water_cluster(n_waters, seed=7):
    rng = random.Random(seed)
    side = math.ceil(n_waters ** (1 / 3))
    sites = [(i, j, k) for i in range(side) for j in range(side) for k in range(side)]
    numbers, coords = [], []
    half = math.radians(104.5) / 2
    for i, j, k in sites[:n_waters]:
        centre = [3.1 * c + rng.uniform(-0.2, 0.2) for c in (i, j, k)]
        axis = [rng.gauss(0, 1) for _ in range(3)]
        norm = math.sqrt(sum(a * a for a in axis))
        u = [a / norm for a in axis]
        helper = [1.0, 0.0, 0.0] if abs(u[0]) < 0.9 else [0.0, 1.0, 0.0]
        v = [
            u[1] * helper[2] - u[2] * helper[1],
            u[2] * helper[0] - u[0] * helper[2],
            u[0] * helper[1] - u[1] * helper[0],
        ]
        vn = math.sqrt(sum(a * a for a in v))
        v = [a / vn for a in v]
        numbers += [8, 1, 1]
        coords.append(centre)
        for sign in (1, -1):
            coords.append(
                [
                    centre[m] + 0.96 * (math.cos(half) * u[m] + sign * math.sin(half) * v[m])
                    for m in range(3)
                ]
            )
    return numbers, coords


def copies(name, count):
    """`count` copies of a molecule on a cubic grid, 4 Å between bounding boxes."""
    numbers, coords = read_xyz(name)
    low = [min(c[m] for c in coords) for m in range(3)]
    high = [max(c[m] for c in coords) for m in range(3)]
    step = [high[m] - low[m] + 4.0 for m in range(3)]
    side = math.ceil(count ** (1 / 3))
    all_numbers, all_coords = [], []
    for index in range(count):
        cell = (index // (side * side), (index // side) % side, index % side)
        all_numbers += numbers
        all_coords += [[c[m] + cell[m] * step[m] for m in range(3)] for c in coords]
    return all_numbers, all_coords


def molecule(kind, size):
    if kind == "water":
        return water_cluster({100: 33, 300: 100, 1000: 333, 3000: 1000, 10000: 3333}[size])
    base = {
        "alkane": ("alkane_c33", "alkane_c100", "alkane_c333"),
        "peptide": ("peptide_ala10", "peptide_ala30", "peptide_ala100"),
    }[kind]
    if size <= 1000:
        return read_xyz(base[{100: 0, 300: 1, 1000: 2}[size]])
    return copies(base[2], size // 1000)


CHILD = r"""
import json, resource, sys, time
import quelm_py
numbers, coords, function = json.loads(sys.stdin.read())
base = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
start = time.process_time()
if function == "karvel":
    result = quelm_py.karvel(numbers, coords)
    extra = {"iterations": result.iterations, "converged": result.converged}
elif function == "calculate":
    result = quelm_py.calculate(numbers, coords)
    extra = {"iterations": result.scf_iterations, "converged": result.converged}
else:
    result, extra = None, {}
seconds = time.process_time() - start
peak = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
energy = result.total_energy_ev if result is not None else 0.0
print(json.dumps({"seconds": seconds, "base_mib": base / 1024, "peak_mib": peak / 1024,
                  "energy_ev": energy, **extra}))
"""


def run(numbers, coords, function):
    out = subprocess.run(
        [sys.executable, "-c", CHILD],
        input=json.dumps([numbers, coords, function]),
        capture_output=True,
        text=True,
        check=False,
    )
    if out.returncode != 0:
        return {"error": out.stderr.strip().splitlines()[-1] if out.stderr else "failed"}
    return json.loads(out.stdout.strip().splitlines()[-1])


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--max-atoms", type=int, default=10000)
    parser.add_argument("--dense-max", type=int, default=1000)
    parser.add_argument("--kinds", default="water,alkane,peptide")
    parser.add_argument(
        "--plot", default=str(Path(__file__).resolve().parent / "karvel_scaling.png")
    )
    args = parser.parse_args()
    sizes = [s for s in (100, 300, 1000, 3000, 10000) if s <= args.max_atoms]
    baseline = run([], [], "none")["peak_mib"]
    print(f"module baseline resident memory: {baseline:.0f} MiB (subtracted below)")
    print(
        f"{'system':>8} {'atoms':>6} | {'karvel s':>9} {'s/atom (ms)':>11} {'MiB':>6} {'it':>4}"
        f" | {'calculate s':>11} {'MiB':>6} | {'dE kcal/mol/atom':>16}"
    )
    rows = []
    for kind in args.kinds.split(","):
        for size in sizes:
            numbers, coords = molecule(kind, size)
            n = len(numbers)
            k = run(numbers, coords, "karvel")
            d = run(numbers, coords, "calculate") if n <= args.dense_max else None
            rows.append({"kind": kind, "atoms": n, "karvel": k, "calculate": d})
            if "error" in k:
                print(f"{kind:>8} {n:>6} | karvel failed: {k['error']}")
                continue
            dense_text = f"{'-':>11} {'-':>6}"
            diff_text = f"{'-':>16}"
            if d is not None and "error" not in d:
                dense_text = f"{d['seconds']:>11.2f} {d['peak_mib'] - baseline:>6.0f}"
                diff = (k["energy_ev"] - d["energy_ev"]) * 23.06054783061903 / n
                diff_text = f"{diff:>16.5f}"
            print(
                f"{kind:>8} {n:>6} | {k['seconds']:>9.2f} {1000 * k['seconds'] / n:>11.2f} "
                f"{k['peak_mib'] - baseline:>6.0f} {k['iterations']:>4} | {dense_text} | "
                f"{diff_text}",
                flush=True,
            )
    try:
        import matplotlib

        matplotlib.use("Agg")
        import matplotlib.pyplot as plt
    except ImportError:
        print("matplotlib missing: no plot")
        return
    fig, ax = plt.subplots(figsize=(6.5, 4.5))
    for kind, colour in zip(args.kinds.split(","), ("tab:blue", "tab:orange", "tab:green")):
        ks = [
            (r["atoms"], r["karvel"]["seconds"])
            for r in rows
            if r["kind"] == kind and "seconds" in r["karvel"]
        ]
        ds = [
            (r["atoms"], r["calculate"]["seconds"])
            for r in rows
            if r["kind"] == kind and r["calculate"] and "seconds" in r["calculate"]
        ]
        if ks:
            ax.loglog(*zip(*ks), "o-", color=colour, label=f"karvel {kind}")
        if ds:
            ax.loglog(*zip(*ds), "s--", color=colour, label=f"calculate {kind}")
    ax.set_xlabel("atoms")
    ax.set_ylabel("CPU seconds")
    ax.set_title("karvel vs dense SCF (PM6)")
    ax.grid(True, which="both", alpha=0.3)
    ax.legend(fontsize=8)
    fig.tight_layout()
    fig.savefig(args.plot, dpi=120)
    print(f"plot: {args.plot}")


if __name__ == "__main__":
    main()
