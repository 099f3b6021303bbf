"""Shared molecules and environment switches of the quelm_py tests.

The adapter tests run in two environments: the main one, where NumPy, ASE, RDKit and
PyTorch are installed, and a bare virtual environment with only pytest, where the
adapter placeholders must report what is missing. Tests marked ``bare`` only make sense
in the second and are skipped in the first; tests needing a package skip without it.
"""

import csv
import importlib.util
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
