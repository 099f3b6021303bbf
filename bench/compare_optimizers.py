#!/usr/bin/env python3
"""Quelm's `optimize` against ASE's BFGS and geomeTRIC on the same energy surface, in one run.

Every optimiser minimises the PM6 NDDO surface that `calculate` reports (QuelmASECalculator,
use_nddo=True; `optimize(..., use_nddo=True)`), from the same start geometry, for water,
ethanol, alanine dipeptide and fluorobenzene. Two convergence levels with
matched thresholds on the largest per-atom gradient norm:
  - default: optimize's defaults (rms 1.0, max 2.0 kcal/(mol·Å)); BFGS fmax = 2.0 kcal/(mol·Å);
    geomeTRIC gmax 2.0 and grms 1.0 kcal/(mol·Å) (largest component and RMS component);
  - tight: rms 0.02, max 0.04 kcal/(mol·Å), likewise.
Counts gradient evaluations (energy + gradient single points; `optimize` makes one per cycle
plus the start point) and wall time, and the final energy against the lowest energy any run
reached for that molecule (kcal/mol). Prints one Markdown table.

Usage: PYTHONPATH=build/dev/quelm_py python3 bench/compare_optimizers.py [--skip-geometric]
Needs ase and geometric (pip install ase geometric).
"""

from __future__ import annotations

import argparse
import logging
import os
import tempfile
import time

import numpy as np
from ase import Atoms
from ase.optimize import BFGS

import quelm_py

KCAL_MOL_PER_EV = 23.06054783061903
EV_PER_HARTREE = 27.211386245988
ANGSTROM_PER_BOHR = 0.529177210903

# Start geometries (Å): water distorted by hand; the others from RDKit 2026.09 (ETKDGv3, seed
# 0xC0FFEE, then MMFF94), i.e. reasonable but not PM6 minima.
MOLECULES = {
    "water": (
        [8, 1, 1],
        [[0.0, 0.0, 0.0], [1.15, 0.0, 0.0], [-0.35, 0.93, 0.05]],
    ),
    "ethanol": (
        [6, 6, 8, 1, 1, 1, 1, 1, 1],
        [
            [-0.8285, -0.3167, -0.1759],
            [0.3454, 0.5773, 0.1656],
            [1.4344, -0.2077, 0.6292],
            [-1.682, 0.2746, -0.5193],
            [-0.5562, -1.0305, -0.9603],
            [-1.1326, -0.9036, 0.697],
            [0.6714, 1.1483, -0.709],
            [0.0724, 1.2825, 0.956],
            [1.6756, -0.8241, -0.0832],
        ],
    ),
    "alanine dipeptide": (
        [6, 6, 8, 7, 6, 6, 6, 8, 7, 6, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1],
        [
            [3.6092, -0.7768, 0.0354],
            [2.3331, -0.4669, 0.7696],
            [2.2596, -0.4974, 1.9939],
            [1.2728, -0.1593, -0.0413],
            [-0.06, 0.1042, 0.4859],
            [-0.1749, 1.5365, 0.9949],
            [-1.0772, -0.1577, -0.6416],
            [-0.7277, -0.3317, -1.8094],
            [-2.3958, -0.1765, -0.2389],
            [-3.4664, -0.338, -1.1898],
            [4.4178, -0.1713, 0.4539],
            [3.8416, -1.8382, 0.1553],
            [3.528, -0.551, -1.0315],
            [1.3449, -0.2634, -1.05],
            [-0.2549, -0.6033, 1.3004],
            [0.5664, 1.741, 1.7744],
            [-1.1663, 1.7333, 1.4151],
            [-0.0108, 2.2556, 0.1842],
            [-2.6299, 0.0765, 0.7126],
            [-3.6491, 0.6242, -1.6753],
            [-4.3628, -0.6577, -0.6536],
            [-3.1977, -1.0819, -1.9445],
        ],
    ),
    "fluorobenzene": (
        [9, 6, 6, 6, 6, 6, 6, 1, 1, 1, 1, 1],
        [
            [2.672, -0.3872, 0.0531],
            [1.3465, -0.1951, 0.0268],
            [0.4952, -1.2948, 0.0327],
            [-0.8848, -1.0951, 0.0053],
            [-1.3998, 0.2028, -0.0278],
            [-0.5368, 1.3011, -0.0336],
            [0.8431, 1.1009, -0.0061],
            [0.9115, -2.2965, 0.0586],
            [-1.5583, -1.9482, 0.0097],
            [-2.4759, 0.3588, -0.0492],
            [-0.9399, 2.3103, -0.0593],
            [1.5272, 1.9431, -0.0101],
        ],
    ),
}
# geomeTRIC's logging configuration with every record dropped (it prints a banner and each step).
QUIET_LOG_CONFIG = """[loggers]
keys=root
[handlers]
keys=null
[formatters]
keys=
[logger_root]
level=CRITICAL
handlers=null
[handler_null]
class=NullHandler
args=()
"""
LEVELS = {"default": (1.0, 2.0), "tight": (0.02, 0.04)}  # (rms, max), kcal/(mol·Å)


class CountingCalculator(quelm_py.QuelmASECalculator):
    """The ASE adapter, counting its single points (each is one energy + gradient)."""

    def __init__(self, **kwargs):
        super().__init__(method="PM6", use_nddo=True, **kwargs)
        self.evaluations = 0

    def calculate(self, *args, **kwargs):
        self.evaluations += 1
        super().calculate(*args, **kwargs)


def run_quelm(z, xyz, rms, gmax):
    start = time.perf_counter()
    r = quelm_py.optimize(
        z, xyz, use_nddo=True, grad_rms_tol=rms, grad_max_tol=gmax, max_cycles=500
    )
    elapsed = time.perf_counter() - start
    return r.converged, r.cycles + 1, elapsed, r.final_energy_ev


def run_ase_bfgs(z, xyz, rms, gmax):
    atoms = Atoms(numbers=z, positions=xyz)
    atoms.calc = CountingCalculator()
    start = time.perf_counter()
    converged = BFGS(atoms, logfile=None).run(fmax=gmax / KCAL_MOL_PER_EV, steps=500)
    elapsed = time.perf_counter() - start
    return converged, atoms.calc.evaluations, elapsed, atoms.get_potential_energy()


def run_geometric(z, xyz, rms, gmax):
    import geometric.molecule
    import geometric.optimize
    from geometric.ase_engine import EngineASE

    logging.getLogger("geometric").setLevel(logging.ERROR)
    molecule = geometric.molecule.Molecule()
    molecule.elem = [Atoms(numbers=[n]).get_chemical_symbols()[0] for n in z]
    molecule.xyzs = [np.array(xyz, dtype=float)]
    calculator = CountingCalculator()
    engine = EngineASE(molecule, calculator)
    per_bohr = EV_PER_HARTREE * KCAL_MOL_PER_EV / ANGSTROM_PER_BOHR  # kcal/(mol·Å) per Eh/bohr
    with tempfile.TemporaryDirectory() as folder:
        quiet_log = os.path.join(folder, "log.ini")
        with open(quiet_log, "w") as handle:
            handle.write(QUIET_LOG_CONFIG)
        start = time.perf_counter()
        try:
            progress = geometric.optimize.run_optimizer(
                customengine=engine,
                input="bench.xyz",
                prefix=os.path.join(folder, "run"),
                convergence_energy=1e-7,
                convergence_grms=rms / per_bohr,
                convergence_gmax=gmax / per_bohr,
                convergence_drms=1.0,
                convergence_dmax=1.0,
                maxiter=500,
                logIni=quiet_log,
            )
            converged = True
            energy = progress.qm_energies[-1] * EV_PER_HARTREE
        except Exception:  # geomeTRIC raises when it runs out of iterations
            converged, energy = False, float("nan")
        elapsed = time.perf_counter() - start
    return converged, calculator.evaluations, elapsed, energy


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--skip-geometric", action="store_true")
    args = parser.parse_args()
    runners = {"quelm optimize": run_quelm, "ASE BFGS": run_ase_bfgs}
    if not args.skip_geometric:
        runners["geomeTRIC"] = run_geometric

    rows = []
    for name, (z, xyz) in MOLECULES.items():
        results = {}
        for level, (rms, gmax) in LEVELS.items():
            for runner_name, runner in runners.items():
                results[level, runner_name] = runner(z, xyz, rms, gmax)
        lowest = min(r[3] for r in results.values() if r[0])
        for (level, runner_name), (converged, evaluations, elapsed, energy) in results.items():
            rows.append(
                (
                    name,
                    len(z),
                    level,
                    runner_name,
                    converged,
                    evaluations,
                    elapsed,
                    (energy - lowest) * KCAL_MOL_PER_EV,
                )
            )

    print(
        "| molecule | atoms | level | optimiser | converged | gradient evaluations | "
        "time (s) | E − lowest (kcal/mol) |"
    )
    print("|---|---|---|---|---|---|---|---|")
    for row in rows:
        name, atoms, level, runner_name, converged, evaluations, elapsed, delta = row
        print(
            f"| {name} | {atoms} | {level} | {runner_name} | {converged} | {evaluations} | "
            f"{elapsed:.2f} | {delta:.4f} |"
        )


if __name__ == "__main__":
    main()
