#!/usr/bin/env python3
"""Quelm PM6/PM7 against GFN2-xTB and SCINE Sparrow's PM6, side by side on the same geometries.

For every molecule of the size series in bench/data (alkane, alanine peptide, water cluster;
about 10, 30, 100, 300 and 1,000 atoms) and of the d-rich set (SO2, SF6, PCl3, H2SO4, DMSO,
CH2Br2, CH3I, thiophene and a chloroparaffin) this times an energy + gradient single point of
  - Quelm `calculate` (PM6, and PM7 where its elements allow: H, C, O), in-process;
  - GFN2-xTB through tblite's Python API (Calculator.singlepoint), in-process;
  - GFN2-xTB through the xtb program (`xtb FILE --gfn 2 --grad`), as a whole process;
  - PM6 through SCINE Sparrow's Python API (calculator.calculate), in-process, up to 300 atoms
    (--sparrow-max-atoms), with the difference of its PM6 energy from Quelm's: Sparrow
    expands the Slater orbitals of its overlaps in six Gaussians, which shifts its energies by
    about 0.1 kcal/mol per small molecule, more with more bonds;
each in a fresh worker process with the same number of threads (OpenMP and OpenBLAS), so that
the peak resident memory of each is its own. Small runs are repeated and the best time kept.
Quelm's SCF iterations and its time split (pair integrals with the core Hamiltonian, Fock
builds, diagonalisations, gradient) come from the engine profiler bench/single_point_profile.

Prints one Markdown table, then the targets: Quelm PM6 at most 0.5x tblite and at most 0.5x
Sparrow from 10 atoms on (as far as Sparrow is timed), and a 1,000-atom PM6 single point with
gradient in under 60 s and 2 GiB.

Usage: compare_gfn2.py [--threads N] [--max-atoms N] [--sparrow-max-atoms N] [--profiler PATH]
(bench/run_gfn2_comparison installs everything and runs this.)
"""

from __future__ import annotations

import argparse
import json
import os
import resource
import shutil
import subprocess
import sys
import tempfile
import time
from pathlib import Path

BENCH = Path(__file__).resolve().parent
DATA = BENCH / "data"
SERIES = [
    f"{kind}{size}"
    for size_index in range(5)
    for kind, size in (
        ("alkane_c", (3, 10, 33, 100, 333)[size_index]),
        ("peptide_ala", (1, 3, 10, 30, 100)[size_index]),
        ("water_", (4, 10, 33, 100, 333)[size_index]),
    )
]
D_RICH = [
    "so2",
    "sf6",
    "pcl3",
    "h2so4",
    "dmso",
    "ch2br2",
    "ch3i",
    "thiophene",
    "chloroparaffin_c12",
]
SYMBOLS = {"H": 1, "C": 6, "N": 7, "O": 8, "F": 9, "P": 15, "S": 16, "Cl": 17, "Br": 35, "I": 53}
EV_PER_HARTREE = 27.211386245988
KCAL_MOL_PER_EV = 23.06054783061903
PM7_ELEMENTS = {1, 6, 8}
BOHR_PER_ANGSTROM = 1.0 / 0.529177210903
# Repeat a run until this much time has passed (at most MAX_REPEATS times), keep the best.
MIN_TOTAL_S = 1.0
MAX_REPEATS = 20


def read_xyz(path: Path) -> tuple[list[int], list[list[float]]]:
    lines = path.read_text().splitlines()
    count = int(lines[0])
    numbers, coordinates = [], []
    for line in lines[2 : 2 + count]:
        symbol, x, y, z = line.split()[:4]
        numbers.append(SYMBOLS[symbol])
        coordinates.append([float(x), float(y), float(z)])
    return numbers, coordinates


def best_time(run) -> tuple[float, object]:
    best, total, repeats, value = float("inf"), 0.0, 0, None
    while repeats < 1 or (total < MIN_TOTAL_S and repeats < MAX_REPEATS):
        start = time.perf_counter()
        value = run()
        elapsed = time.perf_counter() - start
        best, total, repeats = min(best, elapsed), total + elapsed, repeats + 1
    return best, value


def worker(program: str, xyz: str, method: str) -> None:
    """Runs in a fresh process: one timed single point, printed as JSON."""
    numbers, coordinates = read_xyz(Path(xyz))
    if program == "quelm":
        import quelm_py

        seconds, result = best_time(lambda: quelm_py.calculate(numbers, coordinates, method=method))
        extra = {
            "iterations": result.scf_iterations,
            "converged": result.converged,
            "energy_ev": result.total_energy_ev,
        }
    elif program == "sparrow":
        import numpy as np
        import scine_sparrow  # noqa: F401  (registers the Sparrow module)
        import scine_utilities as su

        calculator = su.core.ModuleManager.get_instance().get("calculator", "PM6")
        calculator.log = su.core.Log.silent()
        calculator.set_required_properties([su.Property.Energy, su.Property.Gradients])
        elements = [su.ElementInfo.element(z) for z in numbers]
        positions = np.array(coordinates) * BOHR_PER_ANGSTROM

        def single_point():
            calculator.structure = su.AtomCollection(elements, positions)
            result = calculator.calculate()
            return result.energy, result.gradients

        seconds, (energy_hartree, _) = best_time(single_point)
        extra = {"energy_ev": energy_hartree * EV_PER_HARTREE}
    else:
        import numpy as np
        from tblite.interface import Calculator

        positions = np.array(coordinates) * BOHR_PER_ANGSTROM

        def single_point():
            calculator = Calculator("GFN2-xTB", np.array(numbers), positions)
            calculator.set("verbosity", 0)
            result = calculator.singlepoint()
            return result.get("energy"), result.get("gradient")

        seconds, _ = best_time(single_point)
        extra = {}
    peak_mib = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024.0
    print(json.dumps({"seconds": seconds, "peak_mib": peak_mib, **extra}))


def thread_environment(threads: int) -> dict[str, str]:
    env = dict(os.environ)
    for name in ("OMP_NUM_THREADS", "OPENBLAS_NUM_THREADS", "MKL_NUM_THREADS"):
        env[name] = str(threads)
    env["OMP_STACKSIZE"] = "1G"  # xtb and tblite keep large automatic arrays per thread
    return env


def unlimited_stack() -> None:
    """xtb keeps large arrays on the stack: 1,000 atoms overflow the default 8 MiB."""
    _, hard = resource.getrlimit(resource.RLIMIT_STACK)
    resource.setrlimit(resource.RLIMIT_STACK, (hard, hard))


def run_worker(program: str, xyz: Path, method: str, env: dict[str, str]) -> dict:
    command = [sys.executable, __file__, "--worker", program, str(xyz), method]
    completed = subprocess.run(
        command,
        env=env,
        capture_output=True,
        text=True,
        check=False,
        preexec_fn=unlimited_stack,
    )
    if completed.returncode != 0:
        return {"error": completed.stderr.strip().splitlines()[-1:]}
    return json.loads(completed.stdout.strip().splitlines()[-1])


def run_xtb(xyz: Path, env: dict[str, str]) -> dict:
    """The whole xtb process, timed from the outside; its own peak memory from wait4."""
    xtb = shutil.which("xtb")
    if xtb is None:
        return {"error": "xtb not installed"}
    best, peak_mib = float("inf"), 0.0
    total, repeats = 0.0, 0
    with tempfile.TemporaryDirectory() as scratch:
        while repeats < 1 or (total < MIN_TOTAL_S and repeats < MAX_REPEATS):
            start = time.perf_counter()
            process = subprocess.Popen(
                [xtb, str(xyz), "--gfn", "2", "--grad"],
                cwd=scratch,
                env=env,
                preexec_fn=unlimited_stack,
                stdout=subprocess.DEVNULL,
                stderr=subprocess.DEVNULL,
            )
            _, status, usage = os.wait4(process.pid, 0)
            elapsed = time.perf_counter() - start
            process.returncode = os.waitstatus_to_exitcode(status)
            if process.returncode != 0:
                return {"error": f"xtb exited with {process.returncode}"}
            best, total, repeats = min(best, elapsed), total + elapsed, repeats + 1
            peak_mib = max(peak_mib, usage.ru_maxrss / 1024.0)
    return {"seconds": best, "peak_mib": peak_mib}


def profile_split(profiler: Path, xyz: Path, method: str, env: dict[str, str]) -> dict:
    command = [str(profiler), "--methods", method, "--csv", str(xyz)]
    completed = subprocess.run(command, env=env, capture_output=True, text=True, check=False)
    lines = [line for line in completed.stdout.splitlines() if line.count(",") == 9]
    if completed.returncode != 0 or not lines:
        return {}
    fields = lines[-1].split(",")
    keys = ("integrals", "fock", "diagonalisation", "gradient")
    return {"orbitals": int(fields[3]), **dict(zip(keys, map(float, fields[6:10])))}


def seconds_text(entry: dict) -> str:
    return f"{entry['seconds']:.4f}" if "seconds" in entry else "failed"


def ratio_text(quelm: dict, other: dict) -> str:
    if "seconds" not in quelm or "seconds" not in other:
        return "-"
    return f"{quelm['seconds'] / other['seconds']:.3f}"


def energy_difference_text(quelm: dict, sparrow: dict) -> str:
    """Quelm − Sparrow PM6 energy, kcal/mol."""
    if "energy_ev" not in quelm or "energy_ev" not in sparrow:
        return "-"
    return f"{(quelm['energy_ev'] - sparrow['energy_ev']) * KCAL_MOL_PER_EV:+.3f}"


def memory_text(entry: dict) -> str:
    return f"{entry['peak_mib']:.0f}" if "peak_mib" in entry else "-"


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--threads", type=int, default=2)
    parser.add_argument("--max-atoms", type=int, default=1_000_000)
    parser.add_argument("--sparrow-max-atoms", type=int, default=300)
    parser.add_argument(
        "--profiler",
        type=Path,
        default=BENCH.parent / "build" / "bench" / "bench" / "single_point_profile",
    )
    parser.add_argument("--worker", nargs=3, metavar=("PROGRAM", "XYZ", "METHOD"))
    args = parser.parse_args()
    if args.worker:
        worker(*args.worker)
        return

    env = thread_environment(args.threads)
    print(
        f"Threads: {args.threads} (OMP_NUM_THREADS = OPENBLAS_NUM_THREADS); times in s, "
        "best of repeated runs; peak = resident set of the worker process, MiB\n"
    )
    header = (
        "| molecule | atoms | method | Quelm s | tblite s | xtb s | Sparrow s | Quelm/tblite "
        "| Quelm/xtb | Quelm/Sparrow | ΔE Sparrow kcal/mol | SCF it | integrals s | Fock s "
        "| diag s | gradient s | Quelm MiB | tblite MiB | xtb MiB |"
    )
    print(header)
    print("|" + "---|" * (header.count("|") - 1))
    failures = []
    thousand_atom_pm6 = []
    for name in SERIES + D_RICH:
        xyz = DATA / f"{name}.xyz"
        if not xyz.exists():
            continue
        numbers, _ = read_xyz(xyz)
        if len(numbers) > args.max_atoms:
            continue
        tblite = run_worker("tblite", xyz, "GFN2-xTB", env)
        xtb = run_xtb(xyz, env)
        sparrow = (
            run_worker("sparrow", xyz, "PM6", env) if len(numbers) <= args.sparrow_max_atoms else {}
        )
        methods = ["PM6"] + (["PM7"] if set(numbers) <= PM7_ELEMENTS else [])
        for method in methods:
            quelm = run_worker("quelm", xyz, method, env)
            split = profile_split(args.profiler, xyz, method, env) if args.profiler.exists() else {}
            split_text = " | ".join(
                f"{split[key]:.4f}" if key in split else "-"
                for key in ("integrals", "fock", "diagonalisation", "gradient")
            )
            iterations = quelm.get("iterations", "-")
            if quelm.get("converged") is False:
                iterations = f"{iterations}*"
            peer = sparrow if method == "PM6" else {}
            print(
                f"| {name} | {len(numbers)} | {method} | {seconds_text(quelm)} | "
                f"{seconds_text(tblite)} | {seconds_text(xtb)} | "
                f"{seconds_text(peer) if peer else '-'} | {ratio_text(quelm, tblite)} | "
                f"{ratio_text(quelm, xtb)} | {ratio_text(quelm, peer)} | "
                f"{energy_difference_text(quelm, peer)} | {iterations} | {split_text} | "
                f"{memory_text(quelm)} | {memory_text(tblite)} | {memory_text(xtb)} |",
                flush=True,
            )
            if method == "PM6" and len(numbers) >= 10:
                for label, other in (("tblite", tblite), ("Sparrow", peer)):
                    if "seconds" in quelm and "seconds" in other:
                        if quelm["seconds"] > 0.5 * other["seconds"]:
                            failures.append(
                                f"{name}: {quelm['seconds'] / other['seconds']:.2f}x {label}"
                            )
            if method == "PM6" and len(numbers) >= 900 and "seconds" in quelm:
                thousand_atom_pm6.append((name, quelm["seconds"], quelm["peak_mib"]))

    print(
        "\n(* = SCF not converged; the split is from bench/single_point_profile: integrals = "
        "pair integrals + core Hamiltonian, Fock and diag = one measured build or "
        "diagonalisation times the number the SCF performs)"
    )
    print(
        "Target Quelm PM6 <= 0.5x tblite and <= 0.5x Sparrow from 10 atoms on: "
        + ("met" if not failures else "missed for " + "; ".join(failures))
    )
    for name, seconds, peak in thousand_atom_pm6:
        verdict = "met" if seconds < 60.0 and peak < 2048.0 else "missed"
        print(
            f"Target 1,000-atom PM6 < 60 s and < 2 GiB ({name}): {seconds:.1f} s, "
            f"{peak:.0f} MiB: {verdict}"
        )


if __name__ == "__main__":
    main()
