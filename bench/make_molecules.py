#!/usr/bin/env python3
"""Writes the benchmark geometries (XYZ, Å) into bench/data/.

Usage: make_molecules.py [NAME ...]   (default: every molecule of the series)

Alkanes, alanine peptides, a chlorinated alkane and the small molecules of the d-rich set
(heavy atoms with d shells in PM6: S, P, Cl, Br, I) are embedded with RDKit (ETKDG, fixed
seed) and relaxed with MMFF94; SF6, which MMFF94 does not type, is the ideal octahedron with
S-F 1.561 Å (gas-phase electron diffraction); water clusters are waters on a jittered cubic
grid (3.1 Å spacing) with random orientations. The files are committed, so timings compare
like with like; rerun this only to change the series.
"""

import math
import random
import sys
from pathlib import Path

from rdkit import Chem
from rdkit.Chem import AllChem

DATA = Path(__file__).resolve().parent / "data"


def write_xyz(name: str, symbols: list[str], coords: list[tuple[float, float, float]]) -> None:
    lines = [str(len(symbols)), name]
    lines += [f"{s} {x:.6f} {y:.6f} {z:.6f}" for s, (x, y, z) in zip(symbols, coords)]
    (DATA / f"{name}.xyz").write_text("\n".join(lines) + "\n")


def embed(name: str, smiles: str) -> None:
    mol = Chem.AddHs(Chem.MolFromSmiles(smiles))
    params = AllChem.ETKDGv3()
    params.randomSeed = 0xC0FFEE
    params.useRandomCoords = mol.GetNumAtoms() > 150
    if AllChem.EmbedMolecule(mol, params) != 0:
        raise SystemExit(f"embedding failed for {name}")
    AllChem.MMFFOptimizeMolecule(mol, maxIters=2000)
    conf = mol.GetConformer()
    symbols = [a.GetSymbol() for a in mol.GetAtoms()]
    coords = [tuple(conf.GetAtomPosition(i)) for i in range(mol.GetNumAtoms())]
    write_xyz(name, symbols, coords)


def water_cluster(name: str, n_waters: int, seed: int = 7) -> None:
    rng = random.Random(seed)
    side = math.ceil(n_waters ** (1 / 3))
    symbols, coords = [], []
    sites = [(i, j, k) for i in range(side) for j in range(side) for k in range(side)]
    for i, j, k in sites[:n_waters]:
        centre = [3.1 * c + rng.uniform(-0.2, 0.2) for c in (i, j, k)]
        # Random orientation: an O–H bond of 0.96 Å and an H–O–H angle of 104.5°.
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
        half = math.radians(104.5) / 2
        symbols.append("O")
        coords.append(tuple(centre))
        for sign in (1, -1):
            d = [math.cos(half) * u[m] + sign * math.sin(half) * v[m] for m in range(3)]
            symbols.append("H")
            coords.append(tuple(centre[m] + 0.96 * d[m] for m in range(3)))
    write_xyz(name, symbols, coords)


# The d-rich set besides the chloroparaffin: name -> SMILES.
D_RICH_SMILES = {
    "so2": "O=S=O",
    "pcl3": "ClP(Cl)Cl",
    "h2so4": "OS(=O)(=O)O",
    "dmso": "CS(C)=O",
    "ch2br2": "BrCBr",
    "ch3i": "CI",
    "thiophene": "c1ccsc1",
}


def sulfur_hexafluoride(name: str) -> None:
    d = 1.561
    axes = [(d, 0, 0), (-d, 0, 0), (0, d, 0), (0, -d, 0), (0, 0, d), (0, 0, -d)]
    write_xyz(name, ["S"] + ["F"] * 6, [(0.0, 0.0, 0.0)] + axes)


def series() -> dict:
    """Name → writer, about 10, 30, 100, 300 and 1,000 atoms of each kind."""
    writers = {}
    for carbons in (3, 10, 33, 100, 333):
        writers[f"alkane_c{carbons}"] = lambda c=carbons: embed(f"alkane_c{c}", "C" * c)
    for residues in (1, 3, 10, 30, 100):
        smiles = "N" + "C(C)C(=O)N" * (residues - 1) + "C(C)C(=O)O"
        writers[f"peptide_ala{residues}"] = lambda r=residues, s=smiles: embed(f"peptide_ala{r}", s)
    for waters in (4, 10, 33, 100, 333):
        writers[f"water_{waters}"] = lambda w=waters: water_cluster(f"water_{w}", w)
    # C20H42, 62 atoms: the largest molecule of the Hessian benchmark (bench/compare_vibrations.py).
    writers["alkane_c20"] = lambda: embed("alkane_c20", "C" * 20)
    # C12H18Cl8, 38 atoms, eight with d shells (chlorine carries d orbitals in PM6).
    writers["chloroparaffin_c12"] = lambda: embed(
        "chloroparaffin_c12", "ClCC(Cl)CC(Cl)C(Cl)CCC(Cl)C(Cl)CC(Cl)CCl"
    )
    # Molecules with measured gas or solution polarizabilities, for the polarizability table.
    for name, smiles in (
        ("h2o", "O"),
        ("benzene", "c1ccccc1"),
        ("urea", "NC(=O)N"),
        ("p_nitroaniline", "Nc1ccc(cc1)[N+](=O)[O-]"),
    ):
        writers[name] = lambda n=name, s=smiles: embed(n, s)
    for name, smiles in D_RICH_SMILES.items():
        writers[name] = lambda n=name, s=smiles: embed(n, s)
    writers["sf6"] = lambda: sulfur_hexafluoride("sf6")
    return writers


def main() -> None:
    DATA.mkdir(exist_ok=True)
    writers = series()
    names = sys.argv[1:] or list(writers)
    unknown = [name for name in names if name not in writers]
    if unknown:
        raise SystemExit(f"unknown molecules: {', '.join(unknown)}; known: {', '.join(writers)}")
    for name in names:
        writers[name]()


if __name__ == "__main__":
    main()
