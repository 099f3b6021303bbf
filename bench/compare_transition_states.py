#!/usr/bin/env python3
"""Quelm `transition_state` against Sella on the same energy surface, in one run.

Sella (a saddle-point optimiser in internal coordinates) drives QuelmASECalculator, which
calls `calculate`; Quelm's eigenvector following uses the same SCF energy and gradients. Both
start from the same guess for the HCN ⇌ HNC isomerisation and for the ethane torsion (eclipsed
ethane relaxed on the surface, then twisted by 5°), on the NDDO surface (use_nddo=True, what
`calculate` and the ASE calculator use by default) and on the simplified two-centre surface
that a default run of `transition_state` uses (use_nddo=False). For each saddle it prints the
energies of the two geometries from the same `calculate` call, their difference, the number of
imaginary frequencies `frequencies` finds at each, and the gradient evaluations and time of each
search.

Usage: compare_transition_states.py  (needs quelm_py importable, ase, sella)
"""

from __future__ import annotations

import math
import time

from ase import Atoms
from sella import Sella

import quelm_py

KCAL_MOL_PER_EV = 23.06054783061903
HCN_BRIDGE = ([6, 7, 1], [[0.0, 0.0, 0.0], [1.18, 0.0, 0.0], [0.5, 1.05, 0.0]])


def ethane(dihedral_degrees: float):
    """Ethane with C–C 1.53 Å, C–H 1.09 Å, H–C–C 111.2°, one methyl turned by the dihedral
    (0° eclipsed, 60° staggered)."""
    numbers = [6, 6]
    coordinates = [[0.0, 0.0, -0.765], [0.0, 0.0, 0.765]]
    for sign, offset in ((-1.0, 0.0), (1.0, dihedral_degrees)):
        for k in range(3):
            angle = math.radians(120.0 * k + offset)
            numbers.append(1)
            coordinates.append([1.016 * math.cos(angle), 1.016 * math.sin(angle), sign * 1.159])
    return numbers, coordinates


class CountingCalculator(quelm_py.QuelmASECalculator):
    evaluations = 0

    def calculate(self, *args, **kwargs):
        CountingCalculator.evaluations += 1
        super().calculate(*args, **kwargs)


def twisted(coordinates, degrees):
    """Ethane with the second methyl's hydrogens (atoms 5–7) turned about the C–C axis."""
    import numpy as np

    x = np.array(coordinates)
    axis = (x[1] - x[0]) / np.linalg.norm(x[1] - x[0])
    angle = math.radians(degrees)
    out = x.copy()
    for i in (5, 6, 7):
        v = x[i] - x[1]
        out[i] = x[1] + (
            v * math.cos(angle)
            + np.cross(axis, v) * math.sin(angle)
            + axis * (axis @ v) * (1.0 - math.cos(angle))
        )
    return out.tolist()


def imaginary_count(numbers, coordinates, use_nddo):
    try:
        modes = quelm_py.frequencies(numbers, coordinates, use_nddo=use_nddo)
    except quelm_py.InternalError as error:  # an SCF that does not converge there
        return f"({error})"
    return sum(nu < 0.0 for nu in modes.vibrational_frequencies_cm1)


def energy(numbers, coordinates, use_nddo):
    return quelm_py.calculate(numbers, coordinates, use_nddo=use_nddo).total_energy_ev


def main() -> None:
    print(
        "| saddle | surface | Quelm E (eV) | Sella E (eV) | ΔE (kcal/mol) | imaginary Quelm / "
        "Sella | Quelm converged, cycles, s | Sella gradients, s |"
    )
    print("|---|---|---|---|---|---|---|---|")
    worst = 0.0
    for name, (numbers, guess) in (("HCN ⇌ HNC", HCN_BRIDGE), ("ethane torsion", ethane(0.0))):
        for use_nddo in (True, False):
            start = guess
            if name == "ethane torsion":
                # The guess has NDDO-like bond lengths, far from stationary on the simplified
                # surface (63 kcal/(mol·Å) along C–C), where the lowest mode is then no torsion.
                # Eclipsed ethane relaxed on the surface (its symmetry keeps it eclipsed: the
                # search converges at once) and then twisted by 5° is a start near the saddle
                # on either surface.
                relaxed = quelm_py.transition_state(numbers, guess, use_nddo=use_nddo)
                start = twisted(relaxed.coordinates, 5.0)
            t0 = time.perf_counter()
            ours = quelm_py.transition_state(numbers, start, use_nddo=use_nddo, max_cycles=300)
            our_seconds = time.perf_counter() - t0

            atoms = Atoms(numbers=numbers, positions=start)
            atoms.calc = CountingCalculator(use_nddo=use_nddo)
            CountingCalculator.evaluations = 0
            t0 = time.perf_counter()
            Sella(atoms, internal=True, logfile=None).run(fmax=1e-3, steps=1000)
            sella_seconds = time.perf_counter() - t0
            sella_geometry = atoms.get_positions().tolist()

            e_ours = energy(numbers, ours.coordinates, use_nddo)
            e_sella = energy(numbers, sella_geometry, use_nddo)
            delta = (e_ours - e_sella) * KCAL_MOL_PER_EV
            imaginary_ours = imaginary_count(numbers, ours.coordinates, use_nddo)
            worst = max(worst, abs(delta))
            print(
                f"| {name} | {'NDDO' if use_nddo else 'simplified'} | {e_ours:.6f} | "
                f"{e_sella:.6f} | {delta:+.4f} | {imaginary_ours}"
                f" / {imaginary_count(numbers, sella_geometry, use_nddo)} | "
                f"{ours.converged}, {ours.cycles}, {our_seconds:.2f} | "
                f"{CountingCalculator.evaluations}, {sella_seconds:.2f} |",
                flush=True,
            )
    print(f"\nLargest |ΔE|: {worst:.4f} kcal/mol (target 0.05)")


if __name__ == "__main__":
    main()
