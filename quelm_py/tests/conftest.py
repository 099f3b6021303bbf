"""Shared molecules and environment switches of the quelm_py tests.

The adapter tests run in two environments: the main one, where NumPy, ASE, RDKit and
PyTorch are installed, and a bare virtual environment with only pytest, where the
adapter placeholders must report what is missing. Tests marked ``bare`` only make sense
in the second and are skipped in the first; tests needing a package skip without it.
"""

import csv
import importlib.util
import math
from pathlib import Path

import pytest

KCAL_MOL_PER_EV = 23.06054783061903

# Geometries in Å.
H2 = ([1, 1], [[0.0, 0.0, 0.0], [0.0, 0.0, 0.74]])
WATER = (
    [8, 1, 1],
    [[0.0, 0.0, 0.1173], [0.0, 0.7572, -0.4692], [0.0, -0.7572, -0.4692]],
)
# Two waters in a hydrogen bond (O–H···O about 1.9 Å).
WATER_DIMER = (
    [8, 1, 1, 8, 1, 1],
    [
        [0.0, 0.0, 0.0],
        [0.9572, 0.0, 0.0],
        [-0.2400, 0.9266, 0.0],
        [2.9, 0.0, 0.0],
        [3.2, 0.45, 0.78],
        [3.2, 0.45, -0.78],
    ],
)
FORMALDEHYDE = (
    [6, 8, 1, 1],
    [[0.0, 0.0, 0.0], [0.0, 0.0, 1.21], [0.0, 0.94, -0.59], [0.0, -0.94, -0.59]],
)
# Ideal D6h benzene in the xy plane (C–C 1.39 Å, C–H 1.08 Å) and D2h ethylene, C=C along z.
_HEXAGON = [(math.cos(k * math.pi / 3), math.sin(k * math.pi / 3)) for k in range(6)]
BENZENE = ([6] * 6 + [1] * 6, [[r * c, r * s, 0.0] for r in (1.39, 2.47) for c, s in _HEXAGON])
ETHYLENE = (
    [6, 6, 1, 1, 1, 1],
    [
        [0.0, 0.0, 0.6695],
        [0.0, 0.0, -0.6695],
        [0.0, 0.9289, 1.2321],
        [0.0, -0.9289, 1.2321],
        [0.0, 0.9289, -1.2321],
        [0.0, -0.9289, -1.2321],
    ],
)

ADAPTER_PACKAGES = ("numpy", "ase", "rdkit", "torch")
REFERENCE_DATA = Path(__file__).resolve().parents[2] / "quelm_core" / "tests" / "data"


def package_available(name):
    return importlib.util.find_spec(name) is not None


def pytest_collection_modifyitems(config, items):
    present = [name for name in ("numpy", "ase", "torch") if package_available(name)]
    if not present:
        return
    skip = pytest.mark.skip(reason=f"needs an environment without {', '.join(present)}")
    for item in items:
        if "bare" in item.keywords:
            item.add_marker(skip)


def load_reference_single_points():
    """Independent single points (CP2K) with tolerances: (name, method, Z, xyz, row)."""
    geometries = {}
    with open(REFERENCE_DATA / "reference_molecules.csv", newline="") as handle:
        rows = csv.DictReader(line for line in handle if not line.startswith("#"))
        for row in rows:
            z_list, xyz = geometries.setdefault(row["molecule"], ([], []))
            z_list.append(int(row["Z"]))
            xyz.append([float(row["x"]), float(row["y"]), float(row["z"])])
    cases = []
    with open(REFERENCE_DATA / "cp2k_single_points.csv", newline="") as handle:
        rows = csv.DictReader(line for line in handle if not line.startswith("#"))
        for row in rows:
            z_list, xyz = geometries[row["molecule"]]
            cases.append((row["molecule"], row["method"], z_list, xyz, row))
    return cases


def polyene(n_double_bonds):
    """All-trans planar polyene C2nH(2n+2) in the xy plane: C=C 1.34, C–C 1.46, C–H 1.09 Å,
    every angle 120°."""
    import math

    n_carbons = 2 * n_double_bonds
    carbons = [(0.0, 0.0)]
    for k in range(1, n_carbons):
        length = 1.34 if k % 2 == 1 else 1.46
        angle = math.radians(30.0 if k % 2 == 1 else -30.0)
        x, y = carbons[-1]
        carbons.append((x + length * math.cos(angle), y + length * math.sin(angle)))

    def unit(dx, dy):
        norm = math.hypot(dx, dy)
        return dx / norm, dy / norm

    def rotate(v, degrees):
        c, s = math.cos(math.radians(degrees)), math.sin(math.radians(degrees))
        return v[0] * c - v[1] * s, v[0] * s + v[1] * c

    hydrogens = []
    for i, (x, y) in enumerate(carbons):
        if i in (0, n_carbons - 1):
            neighbour = carbons[1] if i == 0 else carbons[-2]
            bond = unit(neighbour[0] - x, neighbour[1] - y)
            for turn in (120.0, -120.0):
                d = rotate(bond, turn)
                hydrogens.append((x + 1.09 * d[0], y + 1.09 * d[1]))
        else:
            a = unit(carbons[i - 1][0] - x, carbons[i - 1][1] - y)
            b = unit(carbons[i + 1][0] - x, carbons[i + 1][1] - y)
            d = unit(-(a[0] + b[0]), -(a[1] + b[1]))
            hydrogens.append((x + 1.09 * d[0], y + 1.09 * d[1]))
    atoms = [6] * n_carbons + [1] * len(hydrogens)
    return atoms, [[x, y, 0.0] for x, y in carbons + hydrogens]


def benzene():
    """D6h benzene in the xy plane: C–C 1.39, C–H 1.09 Å."""
    import math

    carbons, hydrogens = [], []
    for k in range(6):
        c, s = math.cos(math.radians(60.0 * k)), math.sin(math.radians(60.0 * k))
        carbons.append([1.39 * c, 1.39 * s, 0.0])
        hydrogens.append([2.48 * c, 2.48 * s, 0.0])
    return [6] * 6 + [1] * 6, carbons + hydrogens
def embed_smiles(smiles):
    """An RDKit molecule with ETKDG + MMFF94 coordinates (fixed seed): (mol, Z, xyz in Å)."""
    from rdkit import Chem
    from rdkit.Chem import AllChem

    mol = Chem.AddHs(Chem.MolFromSmiles(smiles))
    params = AllChem.ETKDGv3()
    params.randomSeed = 0xC0FFEE
    assert AllChem.EmbedMolecule(mol, params) == 0
    AllChem.MMFFOptimizeMolecule(mol, maxIters=2000)
    conf = mol.GetConformer()
    numbers = [a.GetAtomicNum() for a in mol.GetAtoms()]
    coords = [list(conf.GetAtomPosition(i)) for i in range(mol.GetNumAtoms())]
    return mol, numbers, coords
