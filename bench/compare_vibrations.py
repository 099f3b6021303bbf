#!/usr/bin/env python3
"""Quelm `frequencies` against GFN2-xTB's and Sparrow's Hessians, in one run.

Timing: for molecules of about 10, 30 and 60 atoms (bench/data: alkane_c3, alkane_c10,
peptide_ala3, alkane_c20) this times, each in a fresh worker process with the same number of
threads (OpenMP and OpenBLAS):
  - Quelm `frequencies` (PM6), in-process call time, on its default surface (use_nddo=False)
    and on the NDDO surface that `calculate` uses (use_nddo=True);
  - `xtb FILE --gfn 2 --hess` (GFN2-xTB numerical Hessian) as a whole process;
  - Sparrow's PM6 Hessian (scine-sparrow, in-process).
Quelm's displaced SCFs run on every core the machine reports, which is also the thread
count given to the peers (default: all cores).

Accuracy: small molecules optimised on Quelm's PM6 NDDO surface (ASE BFGS with
QuelmASECalculator, 1e-4 eV/Å); Quelm's harmonic frequencies against those of Sparrow's PM6
Hessian at the same geometry, both mass-weighted and projected the same way here with NumPy.
Sparrow's overlaps use six-Gaussian (STO-6G) expansions of the Slater orbitals, so small
differences are expected.

Prints two Markdown tables (times as wall and CPU seconds: CPU time is what a shared machine
still measures fairly) and the target: frequencies at most 0.5x xtb's Hessian time from
30 atoms on.

Usage: compare_vibrations.py [--threads N] [--skip-xtb]
(needs quelm_py importable, numpy, ase, rdkit, scine-sparrow, and the xtb program.)
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

from compare_gfn2 import DATA, read_xyz

TIMED = ["alkane_c3", "alkane_c10", "peptide_ala3", "alkane_c20"]
REFERENCE_SMILES = {
    "water": "O",
    "ammonia": "N",
    "methane": "C",
    "formaldehyde": "C=O",
    "ethylene": "C=C",
    "methanol": "CO",
    "hydrogen cyanide": "C#N",
    "acetaldehyde": "CC=O",
}
BOHR_ANGSTROM = 0.529177210903
KCAL_MOL_PER_HARTREE = 27.211386245988 * 23.06054783061903
WAVENUMBER = 108.59135859237747  # cm⁻¹ per sqrt(kcal/(mol·Å²·amu))
MASSES = {1: 1.0079, 6: 12.011, 7: 14.0067, 8: 15.9994}


def sparrow_hessian(numbers, coordinates):
    """Sparrow's PM6 Hessian (kcal/(mol·Å²)) and the seconds it took."""
    import numpy as np
    import scine_sparrow  # noqa: F401  (registers the Sparrow module)
    import scine_utilities as su

    manager = su.core.ModuleManager.get_instance()
    calculator = manager.get("calculator", "PM6")
    calculator.log = su.core.Log.silent()
    elements = [
        su.ElementType(su.ElementInfo.element_from_symbol(s))
        for s in [{1: "H", 6: "C", 7: "N", 8: "O"}[z] for z in numbers]
    ]
    positions = np.array(coordinates) / BOHR_ANGSTROM
    calculator.structure = su.AtomCollection(elements, positions)
    calculator.settings["self_consistence_criterion"] = 1e-9
    calculator.set_required_properties([su.Property.Energy, su.Property.Hessian])
    start = time.perf_counter()
    results = calculator.calculate()
    seconds = time.perf_counter() - start
    return np.array(results.hessian) * KCAL_MOL_PER_HARTREE / BOHR_ANGSTROM**2, seconds


def worker(kind: str, name: str) -> dict:
    numbers, coordinates = read_xyz(DATA / f"{name}.xyz")
    if kind.startswith("quelm"):
        import quelm_py

        start, cpu = time.perf_counter(), time.process_time()
        quelm_py.frequencies(numbers, coordinates, use_nddo=kind == "quelm-nddo")
        return {"seconds": time.perf_counter() - start, "cpu": time.process_time() - cpu}
    if kind == "sparrow":
        cpu = time.process_time()
        seconds = sparrow_hessian(numbers, coordinates)[1]
        return {"seconds": seconds, "cpu": time.process_time() - cpu}
    raise SystemExit(f"unknown worker {kind}")


def run_worker(kind: str, name: str, threads: int) -> tuple[float, float]:
    """Wall and CPU seconds (all threads) of one worker's computation."""
    env = dict(os.environ, OMP_NUM_THREADS=str(threads), OPENBLAS_NUM_THREADS=str(threads))
    output = subprocess.run(
        [sys.executable, __file__, "--worker", kind, name],
        env=env,
        check=True,
        capture_output=True,
        text=True,
    ).stdout
    times = json.loads(output.strip().splitlines()[-1])
    return times["seconds"], times["cpu"]


def run_xtb(name: str, threads: int) -> tuple[float, float]:
    """Wall and CPU seconds of the whole xtb process."""
    env = dict(
        os.environ,
        OMP_NUM_THREADS=f"{threads},1",
        OMP_STACKSIZE="1G",
        OPENBLAS_NUM_THREADS=str(threads),
        MKL_NUM_THREADS=str(threads),
    )
    with tempfile.TemporaryDirectory() as work:
        shutil.copy(DATA / f"{name}.xyz", Path(work) / "mol.xyz")
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        start = time.perf_counter()
        subprocess.run(
            ["xtb", "mol.xyz", "--gfn", "2", "--hess"],
            cwd=work,
            env=env,
            check=True,
            capture_output=True,
        )
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        cpu = (after.ru_utime + after.ru_stime) - (before.ru_utime + before.ru_stime)
        return time.perf_counter() - start, cpu


def projected_frequencies(numbers, coordinates, hessian):
    """Vibrational frequencies (cm⁻¹) of a Cartesian Hessian: mass-weighted, translations and
    rotations projected out, the 6 (linear: 5) smallest |λ| dropped, as the engine does."""
    import numpy as np

    masses = np.array([MASSES[z] for z in numbers])
    x = np.array(coordinates)
    centre = masses @ x / masses.sum()
    r = x - centre
    root = np.repeat(np.sqrt(masses), 3)
    vectors = []
    for axis in range(3):
        t = np.zeros((len(numbers), 3))
        t[:, axis] = 1.0
        vectors.append(t.ravel() * root)
    # The engine's rule for linearity: every atom within 1e-4 Å² (|d × (rᵢ − r₀)|) of the line
    # through the first two. A linear molecule rotates about two axes perpendicular to it.
    d = x[1] - x[0]
    linear = all(np.linalg.norm(np.cross(d, xi - x[0])) <= 1e-4 for xi in x[2:])
    axes = np.eye(3)
    if linear:
        u = d / np.linalg.norm(d)
        a1 = np.eye(3)[np.argmin(np.abs(u))]
        a1 = a1 - (a1 @ u) * u
        a1 /= np.linalg.norm(a1)
        axes = [a1, np.cross(u, a1)]
    for axis in axes:
        rotation = np.cross(axis, r)
        vectors.append(rotation.ravel() * root)
    basis = []
    for v in vectors:
        for u in basis:
            v = v - (u @ v) * u
        if v @ v > 1e-10:
            basis.append(v / np.linalg.norm(v))
    p = np.eye(3 * len(numbers)) - sum(np.outer(u, u) for u in basis)
    f = p @ (hessian / np.outer(root, root)) @ p
    eigenvalues = np.linalg.eigvalsh((f + f.T) / 2)
    order = np.argsort(np.abs(eigenvalues), kind="stable")
    keep = np.sort(order[5 if linear else 6 :])
    return np.sign(eigenvalues[keep]) * WAVENUMBER * np.sqrt(np.abs(eigenvalues[keep]))


def accuracy_rows() -> list[str]:
    import numpy as np
    from ase import Atoms
    from ase.optimize import BFGS
    from rdkit import Chem
    from rdkit.Chem import AllChem

    import quelm_py

    rows, all_differences = [], []
    for name, smiles in REFERENCE_SMILES.items():
        molecule = Chem.AddHs(Chem.MolFromSmiles(smiles))
        AllChem.EmbedMolecule(molecule, randomSeed=0xC0FFEE)
        numbers, coordinates = quelm_py.from_rdkit(molecule)
        atoms = Atoms(numbers=numbers, positions=coordinates)
        atoms.calc = quelm_py.QuelmASECalculator(method="PM6", use_nddo=True)
        BFGS(atoms, logfile=None).run(fmax=1e-4, steps=1000)
        coordinates = atoms.get_positions().tolist()
        ours = np.array(
            quelm_py.frequencies(numbers, coordinates, use_nddo=True).vibrational_frequencies_cm1
        )
        theirs = projected_frequencies(
            numbers, coordinates, sparrow_hessian(numbers, coordinates)[0]
        )
        difference = ours - theirs
        all_differences.extend(difference)
        rows.append(
            f"| {name} | {len(numbers)} | {ours.min():.1f} – {ours.max():.1f} | "
            f"{np.abs(difference).max():.2f} | {difference.mean():+.2f} | "
            f"{difference.std():.2f} |"
        )
    d = np.array(all_differences)
    rows.append(
        f"| all ({len(d)} modes) | | | {np.abs(d).max():.2f} | {d.mean():+.2f} | {d.std():.2f} |"
    )
    return rows


def main() -> None:
    parser = argparse.ArgumentParser()
    parser.add_argument("--threads", type=int, default=os.cpu_count())
    parser.add_argument("--skip-xtb", action="store_true")
    parser.add_argument("--worker", nargs=2, metavar=("KIND", "NAME"))
    args = parser.parse_args()
    if args.worker:
        print(json.dumps(worker(*args.worker)))
        return

    print(f"Hessian and frequencies, {args.threads} threads: wall seconds (CPU seconds)\n")
    print(
        "| molecule | atoms | quelm PM6 default (use_nddo=False) | quelm PM6 NDDO | "
        "xtb --hess GFN2 (process) | Sparrow PM6 Hessian | quelm NDDO / xtb, wall (CPU) |"
    )
    print("|---|---|---|---|---|---|---|")
    ratios = []
    for name in TIMED:
        atoms = len(read_xyz(DATA / f"{name}.xyz")[0])
        simplified = run_worker("quelm", name, args.threads)
        nddo = run_worker("quelm-nddo", name, args.threads)
        xtb = (float("nan"), float("nan")) if args.skip_xtb else run_xtb(name, args.threads)
        sparrow = run_worker("sparrow", name, args.threads)
        ratio = (nddo[0] / xtb[0], nddo[1] / xtb[1])
        if atoms >= 30:
            ratios.append(ratio[0])
        cells = " | ".join(f"{w:.2f} ({c:.2f})" for w, c in (simplified, nddo, xtb, sparrow))
        print(f"| {name} | {atoms} | {cells} | {ratio[0]:.3f} ({ratio[1]:.3f}) |", flush=True)
    met = bool(ratios) and all(r <= 0.5 for r in ratios)
    print(
        f"\nTarget (quelm <= 0.5x xtb wall time from 30 atoms on): {'met' if met else 'NOT met'}\n"
    )

    print(
        "PM6 harmonic frequencies at Quelm's PM6 minima: Quelm against Sparrow's Hessian "
        "(cm⁻¹; Δ = Quelm − Sparrow)\n"
    )
    print("| molecule | atoms | range | max abs Δ | mean Δ | std Δ |")
    print("|---|---|---|---|---|---|")
    for row in accuracy_rows():
        print(row, flush=True)


if __name__ == "__main__":
    main()
