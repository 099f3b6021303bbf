#!/usr/bin/env python3
"""Periodic materials with `pbc`: per-cell energies, band gaps and band-structure plots.

Three materials, each in PM6 and PM7:
  - all-trans polyethylene (1D, C2H4 per cell);
  - bond-alternated trans-polyacetylene (1D, C2H2 per cell, C=C 1.36 Å, C-C 1.44 Å);
  - a hexagonal boron nitride sheet (2D, rectangular B2N2 cell, B-N 1.4457 Å; PM6 only, the
    PM7 parameters at hand lack B and N). The K point of the hexagonal zone folds onto the
    Γ-X leg at two thirds of its length (band_points is a multiple of 3), where the sheet's
    gap lies.
For the two chains the per-cell energy is set beside the increment E(n + 2) − E(n) of long
finite oligomers (H-terminated, from `calculate`), which it must approach. The published gaps
stand beside the computed ones, with no tolerance: NDDO Hartree-Fock band gaps are
one-particle gaps without correlation and are expected to lie well above the optical ones.

Reference gaps:
  polyethylene 8.8 eV: K. J. Less & E. G. Wilson, J. Phys. C 6, 3110 (1973) (photoconduction).
  trans-polyacetylene 1.5 eV: C. R. Fincher et al., Phys. Rev. B 20, 1589 (1979)
    (absorption edge of oriented films, ~1.4-1.5 eV; peak near 1.9 eV).
  h-BN monolayer 6.08 eV: A. Elias et al., Nat. Commun. 10, 2639 (2019) (direct gap of
    monolayer hBN, reflectance); bulk hBN 5.955 eV indirect: G. Cassabois, P. Valvin &
    B. Gil, Nat. Photonics 10, 262 (2016).

Writes one PNG per material (bands along the path, with the density of states beside them)
into the output directory.

Usage: pbc_materials.py [--out DIRECTORY] [--methods PM6,PM7]
"""

from __future__ import annotations

import argparse
import math
import time
from pathlib import Path

import quelm_py

DEGREE = math.pi / 180.0


def zigzag_chain(n_carbons, bond_lengths, period, hydrogens_per_carbon, terminate):
    """Planar zigzag carbon backbone along x, alternating bond lengths, hydrogens on the
    outward bisector of each carbon (one in-plane, or two out of plane at H-C-H 107.5°).

    Returns (atomic numbers, coordinates); `terminate` adds an H at each chain end."""
    d1, d2 = bond_lengths
    x1 = (period**2 + d1**2 - d2**2) / (2 * period)
    y = 0.5 * math.sqrt(d1**2 - x1**2)
    carbons = []
    for c in range(-1, n_carbons + 1):
        x = (c // 2) * period + (x1 if c % 2 else 0.0)
        carbons.append((x, y if c % 2 == 0 else -y, 0.0))
    numbers, coords = [], []
    for c in range(1, n_carbons + 1):
        here, before, after = carbons[c], carbons[c - 1], carbons[c + 1]
        u = [2 * here[i] - before[i] - after[i] for i in range(3)]
        norm = math.sqrt(sum(v * v for v in u))
        u = [v / norm for v in u]
        numbers.append(6)
        coords.append(list(here))
        if hydrogens_per_carbon == 1:
            numbers.append(1)
            coords.append([here[i] + 1.09 * u[i] for i in range(3)])
        else:
            half = 0.5 * 107.5 * DEGREE
            for sign in (1, -1):
                numbers.append(1)
                coords.append(
                    [
                        here[0] + 1.09 * math.cos(half) * u[0],
                        here[1] + 1.09 * math.cos(half) * u[1],
                        sign * 1.09 * math.sin(half),
                    ]
                )
    if terminate:
        for end, neighbour in ((carbons[1], carbons[0]), (carbons[n_carbons], carbons[-1])):
            direction = [neighbour[i] - end[i] for i in range(3)]
            norm = math.sqrt(sum(v * v for v in direction))
            numbers.append(1)
            coords.append([end[i] + 1.09 * direction[i] / norm for i in range(3)])
    return numbers, coords


POLYETHYLENE = {"bonds": (1.53, 1.53), "period": 2.55, "hydrogens": 2}
POLYACETYLENE = {"bonds": (1.36, 1.44), "period": 2.46, "hydrogens": 1}


def chain_cell(chain):
    return zigzag_chain(2, chain["bonds"], chain["period"], chain["hydrogens"], False)


def oligomer_increment(chain, method, n_carbons=12):
    """E(n + 2) − E(n) of the H-terminated oligomers: the energy of one more cell."""
    energies = []
    for n in (n_carbons, n_carbons + 2):
        numbers, coords = zigzag_chain(n, chain["bonds"], chain["period"], chain["hydrogens"], True)
        energies.append(quelm_py.calculate(numbers, coords, method=method).total_energy_ev)
    return energies[1] - energies[0]


def boron_nitride_cell():
    a = 2.504
    d, h = a / math.sqrt(3.0), a * math.sqrt(3.0) / 2.0
    numbers = [5, 7, 5, 7]
    coords = [[0.0, 0.0, 0.0], [0.0, d, 0.0], [a / 2, h, 0.0], [a / 2, h + d, 0.0]]
    return numbers, coords, [[a, 0.0, 0.0], [0.0, 2.0 * h, 0.0]]


MATERIALS = [
    {
        "name": "polyethylene",
        "cell": lambda: (*chain_cell(POLYETHYLENE), [[POLYETHYLENE["period"], 0.0, 0.0]]),
        "chain": POLYETHYLENE,
        "mers": [9, 1, 1],
        "k_grid": [32, 1, 1],
        "band_points": 30,
        "corners": ["Γ", "X"],
        "reference_gap_ev": 8.8,
        "reference": "Less & Wilson 1973",
    },
    {
        "name": "trans-polyacetylene",
        "cell": lambda: (*chain_cell(POLYACETYLENE), [[POLYACETYLENE["period"], 0.0, 0.0]]),
        "chain": POLYACETYLENE,
        "mers": [9, 1, 1],
        "k_grid": [32, 1, 1],
        "band_points": 30,
        "corners": ["Γ", "X"],
        "reference_gap_ev": 1.5,
        "reference": "Fincher et al. 1979",
    },
    {
        "name": "h-BN sheet",
        "cell": boron_nitride_cell,
        "chain": None,
        "mers": [5, 3, 1],
        "k_grid": [12, 8, 1],
        "band_points": 30,
        "corners": ["Γ", "X", "M", "Γ"],
        "marks": {"K": 2 / 3},
        "methods": ["PM6"],
        "reference_gap_ev": 6.08,
        "reference": "Elias et al. 2019",
    },
]


def plot_bands(path, material, method, result):
    import matplotlib

    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    bands = result.band_energies_ev
    steps = max(material["band_points"], 10)
    x = list(range(len(bands)))
    figure, (left, right) = plt.subplots(
        1, 2, figsize=(7, 5), sharey=True, gridspec_kw={"width_ratios": [3, 1]}
    )
    for b in range(len(bands[0])):
        left.plot(x, [point[b] for point in bands], color="tab:blue", linewidth=1)
    if math.isfinite(result.vbm_energy_ev):
        left.axhline(result.vbm_energy_ev, color="tab:gray", linestyle=":", linewidth=0.8)
        left.axhline(result.cbm_energy_ev, color="tab:gray", linestyle=":", linewidth=0.8)
    ticks = list(range(0, len(bands), steps))
    labels = material["corners"][: len(ticks)]
    for tick in ticks:
        left.axvline(tick, color="black", linewidth=0.5)
    for label, fraction in material.get("marks", {}).items():
        ticks.append(fraction * steps)
        labels.append(label)
        left.axvline(fraction * steps, color="black", linewidth=0.5, linestyle="--")
    left.set_xticks(ticks, labels)
    left.set_xlim(0, len(bands) - 1)
    left.set_ylabel("band energy (eV)")
    left.set_title(
        f"{material['name']} ({method}): gap {result.indirect_bandgap_ev:.2f} eV "
        f"(exp. {material['reference_gap_ev']} eV)",
        fontsize=10,
    )
    right.plot(result.dos_values, result.dos_energies_ev, color="tab:red", linewidth=1)
    right.set_xlabel("DOS (1/eV/cell)")
    figure.tight_layout()
    figure.savefig(path, dpi=120)
    plt.close(figure)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", default=".", help="directory for the PNG plots")
    parser.add_argument("--methods", default="PM6,PM7")
    args = parser.parse_args()
    out = Path(args.out)
    out.mkdir(parents=True, exist_ok=True)

    print(
        "| material | method | atoms/cell | E per cell (eV) | oligomer E(n+2)−E(n) (eV) "
        "| ΔHf per cell (kcal/mol) | direct gap (eV) | indirect gap (eV) | VBM (eV) "
        "| reference gap (eV) | SCF it. | time (s) |"
    )
    print("|---|---|---|---|---|---|---|---|---|---|---|---|")
    for material in MATERIALS:
        numbers, coords, vectors = material["cell"]()
        for method in args.methods.split(","):
            if method not in material.get("methods", [method]):
                continue
            start = time.perf_counter()
            result = quelm_py.pbc(
                numbers,
                coords,
                vectors,
                method=method,
                mers=material["mers"],
                k_grid=material["k_grid"],
                band_points=material["band_points"],
            )
            elapsed = time.perf_counter() - start
            increment = (
                f"{oligomer_increment(material['chain'], method):.5f}" if material["chain"] else "—"
            )
            converged = "" if result.converged else " (not converged)"
            print(
                f"| {material['name']} | {method} | {len(numbers)} "
                f"| {result.total_energy_per_cell_ev:.5f}{converged} | {increment} "
                f"| {result.heat_of_formation_kcal_mol:.2f} | {result.direct_bandgap_ev:.3f} "
                f"| {result.indirect_bandgap_ev:.3f} | {result.vbm_energy_ev:.3f} "
                f"| {material['reference_gap_ev']} ({material['reference']}) "
                f"| {result.iterations} | {elapsed:.2f} |"
            )
            png = out / f"pbc_{material['name'].replace(' ', '_')}_{method}.png"
            plot_bands(png, material, method, result)
    print(f"\nBand-structure plots written to {out.resolve()}")


if __name__ == "__main__":
    main()
