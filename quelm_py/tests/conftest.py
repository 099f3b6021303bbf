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
