"""karvel: the localized-orbital SCF against the dense SCF, its arguments and result classes."""

import math
import random

import pytest
from conftest import FORMALDEHYDE, KCAL_MOL_PER_EV, WATER, embed_smiles, package_available

import quelm_py

needs_rdkit = pytest.mark.skipif(not package_available("rdkit"), reason="needs RDKit")


def embed(smiles):
    """Atomic numbers and MMFF94 coordinates of a molecule (fixed seed)."""
    return embed_smiles(smiles)[1:]


def water_cluster(n_waters, seed=7):
    """Waters on a jittered 3.1 Å grid with random orientations."""
    rng = random.Random(seed)
    side = math.ceil(n_waters ** (1 / 3))
    sites = [(i, j, k) for i in range(side) for j in range(side) for k in range(side)]
    numbers, coords = [], []
    half = math.radians(104.5) / 2
    for i, j, k in sites[:n_waters]:
        centre = [3.1 * c + rng.uniform(-0.2, 0.2) for c in (i, j, k)]
        a = rng.uniform(0, 2 * math.pi)
        b = rng.uniform(0, math.pi)
        u = [math.sin(b) * math.cos(a), math.sin(b) * math.sin(a), math.cos(b)]
        helper = [1.0, 0.0, 0.0] if abs(u[0]) < 0.9 else [0.0, 1.0, 0.0]
        v = [
            u[1] * helper[2] - u[2] * helper[1],
            u[2] * helper[0] - u[0] * helper[2],
            u[0] * helper[1] - u[1] * helper[0],
        ]
        vn = math.sqrt(sum(x * x for x in v))
        v = [x / vn for x in v]
        numbers += [8, 1, 1]
        coords.append(centre)
        for sign in (1, -1):
            coords.append(
                [
                    centre[d] + 0.96 * (math.cos(half) * u[d] + sign * math.sin(half) * v[d])
                    for d in range(3)
                ]
            )
    return numbers, coords


MOLECULES = {
    "water cluster": lambda: water_cluster(8),
    "hexane": lambda: embed("CCCCCC"),
    "alanine dipeptide": lambda: embed("CC(=O)NC(C)C(=O)NC"),
    "drug-like N, O, S, F, Cl": lambda: embed("CS(=O)(=O)Nc1ccc(Cl)cc1C(=O)NCCF"),
    "glycine zwitterion": lambda: embed("[NH3+]CC(=O)[O-]"),
}


# The drug-like molecule runs in the sp-basis models: PM6 gives S and Cl d shells, with
# which the dense SCF itself lands on a broken state (dipoles above 100 D), so there is
# no reference to agree with.
CASES = [(name, method) for name in MOLECULES for method in ("PM6", "AM1")]
CASES = [c for c in CASES if c != ("drug-like N, O, S, F, Cl", "PM6")]
CASES.append(("drug-like N, O, S, F, Cl", "PM3"))


@needs_rdkit
@pytest.mark.parametrize(("name", "method"), CASES)
def test_total_energy_agrees_with_the_dense_scf(name, method):
    numbers, coords = MOLECULES[name]()
    dense = quelm_py.calculate(numbers, coords, method=method, max_iter=300, energy_tol_ev=1e-9)
    local = quelm_py.karvel(numbers, coords, method=method, energy_tol=1e-8, jacobi_tol=1e-5)
    assert dense.converged and local.converged
    per_atom = abs(local.total_energy_ev - dense.total_energy_ev) * KCAL_MOL_PER_EV / len(numbers)
    assert per_atom < 0.01
    assert local.nuclear_repulsion_ev == pytest.approx(dense.nuclear_repulsion_ev, abs=1e-9)
    assert sum(local.atomic_charges) == pytest.approx(0.0, abs=1e-8)


def test_cutoff_error_shrinks_to_zero_as_the_cutoff_grows():
    numbers, coords = water_cluster(8)
    dense = quelm_py.calculate(numbers, coords, energy_tol_ev=1e-9).total_energy_ev
    errors = [
        abs(
            quelm_py.karvel(numbers, coords, cutoff_distance=c, jacobi_tol=1e-5).total_energy_ev
            - dense
        )
        for c in (2.5, 4.0, 20.0)
    ]
    assert errors[0] > errors[1] > errors[2]
    assert errors[2] < 1e-4


def test_lmos_follow_the_lewis_structure_of_water():
    result = quelm_py.karvel(*WATER)
    kinds = [(lmo.index, lmo.lmo_type, lmo.is_occupied) for lmo in result.lmos]
    assert kinds == [
        (0, "BondingSigma", True),
        (2, "BondingSigma", True),
        (4, "LonePair", True),
        (5, "LonePair", True),
        (1, "AntibondingSigma", False),
        (3, "AntibondingSigma", False),
    ]
    energies = {lmo.lmo_type: lmo.energy_ev for lmo in result.lmos}
    assert energies == {"BondingSigma": -12.0, "LonePair": -10.0, "AntibondingSigma": 4.0}
    for lmo in result.lmos:
        assert sum(c * c for c in lmo.coeffs) == pytest.approx(1.0, abs=1e-6)
        assert len(lmo.coeffs) == len(lmo.ao_indices)


def test_result_classes_to_dict_repr_and_construction():
    result = quelm_py.karvel(*FORMALDEHYDE)
    as_dict = result.to_dict()
    assert list(as_dict) == [
        "converged",
        "iterations",
        "electronic_energy_ev",
        "nuclear_repulsion_ev",
        "total_energy_ev",
        "heat_of_formation_kcal",
        "atomic_charges",
        "lmos",
    ]
    assert as_dict["lmos"] == [lmo.to_dict() for lmo in result.lmos]
    assert list(as_dict["lmos"][0]) == [
        "index",
        "lmo_type",
        "is_occupied",
        "atom_indices",
        "ao_indices",
        "coeffs",
        "energy_ev",
    ]
    assert repr(result) == (
        f"<KarvelPyResult converged={str(result.converged).lower()} iter={result.iterations} "
        f"E_tot={result.total_energy_ev:.6f} eV, dHf={result.heat_of_formation_kcal:.3f} "
        f"kcal/mol, num_lmos=10>"
    )
    assert (
        repr(result.lmos[0])
        == "<KarvelLmo index=0 type='BondingSigma' occ=true atoms=[0, 1] E=-12.000 eV>"
    )
    assert "BondingPi" in [lmo.lmo_type for lmo in result.lmos]
    assert quelm_py.KarvelPyResult.__doc__ == (
        "KARVEL O(N) linear-scaling localized molecular orbital SCF results for Python."
    )
    for cls in ("KarvelPyResult", "KarvelLmoPy"):
        with pytest.raises(TypeError) as err:
            getattr(quelm_py, cls)()
        assert str(err.value) == f"No constructor defined for {cls}"


def test_verbose_prints_one_line_per_iteration(capfd):
    result = quelm_py.karvel(*WATER, verbose=True)
    lines = capfd.readouterr().out.splitlines()
    assert len(lines) == result.iterations
    assert lines[0].startswith("KARVEL Iteration   1: Etot = ")
    assert lines[-1].endswith(" eV") and ", DeltaE = " in lines[-1]
    quelm_py.karvel(*WATER)
    assert capfd.readouterr().out == ""


def test_iteration_edge_cases_and_defaults():
    idle = quelm_py.karvel(*WATER, max_iter=0)
    assert (idle.iterations, idle.converged, idle.total_energy_ev) == (0, False, 0.0)
    assert idle.nuclear_repulsion_ev > 0.0
    frozen = quelm_py.karvel(*WATER, max_jacobi_sweeps=0)
    assert frozen.converged and frozen.iterations == 2
    defaults = quelm_py.karvel(*WATER, method=None, dispersion=None, max_iter=None)
    assert defaults.total_energy_ev == quelm_py.karvel(*WATER).total_energy_ev


def test_dispersion_is_matched_exactly_and_only_moves_the_heat():
    plain = quelm_py.karvel(*FORMALDEHYDE)
    upper = quelm_py.karvel(*FORMALDEHYDE, dispersion="PM7")
    lower = quelm_py.karvel(*FORMALDEHYDE, dispersion="pm7")
    assert upper.heat_of_formation_kcal == plain.heat_of_formation_kcal
    assert lower.heat_of_formation_kcal < plain.heat_of_formation_kcal
    assert lower.total_energy_ev == plain.total_energy_ev


@pytest.mark.parametrize(
    ("arguments", "message"),
    [
        (([1, 1], [[0, 0, 0]]), "Mismatch: 2 atomic numbers but 1 coordinates"),
        (([1, 1], [[0, 0, 0], [0, 0]]), "Atom 1 coordinate must be [x, y, z], got 2 elements"),
        (
            ([8, 1, 1], WATER[1], "pm9"),
            "Unsupported semi-empirical method: 'PM9'. Supported methods: PM7, PM6, AM1, RM1, "
            "PM3, MNDO",
        ),
        (([], []), "atomic_numbers cannot be empty"),
    ],
)
def test_argument_errors(arguments, message):
    with pytest.raises(ValueError) as err:
        quelm_py.karvel(*arguments)
    assert str(err.value) == message


@pytest.mark.parametrize(
    "cutoff, message",
    [
        (0.0, "cutoff_distance must be a positive number of angstrom (got 0.000000)"),
        (-1.0, "cutoff_distance must be a positive number of angstrom (got -1.000000)"),
        (float("nan"), "argument 'cutoff_distance': must be a finite number, not nan"),
    ],
)
def test_non_positive_cutoff_is_refused(cutoff, message):
    with pytest.raises(ValueError) as err:
        quelm_py.karvel(*WATER, cutoff_distance=cutoff)
    assert str(err.value) == message


def test_structures_without_two_centre_bonds_are_refused():
    diborane = (
        [5, 5, 1, 1, 1, 1, 1, 1],
        [
            [0, 0, 0.885],
            [0, 0, -0.885],
            [0, 0.97, 0],
            [0, -0.97, 0],
            [1.04, 0, 1.5],
            [-1.04, 0, 1.5],
            [1.04, 0, -1.5],
            [-1.04, 0, -1.5],
        ],
    )
    with pytest.raises(ValueError) as err:
        quelm_py.karvel(*diborane)
    assert str(err.value) == (
        "Atom 2 (Z=1) has 2 bonds but 1 valence orbitals: a multi-centre bond has no Lewis "
        "structure of two-centre bonds"
    )
