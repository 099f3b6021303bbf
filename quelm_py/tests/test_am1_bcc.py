"""am1_bcc: sum rule, symmetry, invariance, the chosen model's SCF, and its messages."""

import math

import pytest
from conftest import WATER, embed_smiles, package_available

import quelm_py

needs_rdkit = pytest.mark.skipif(not package_available("rdkit"), reason="needs RDKit")

SMILES = {
    "methanol": "CO",
    "acetic acid": "CC(=O)O",
    "benzene": "c1ccccc1",
    "pyridine": "c1ccncc1",
    "alanine dipeptide": "CC(=O)NC(C)C(=O)NC",
    "acetate zwitterion partner": "[NH3+]CC(=O)[O-]",
}


def embed(smiles):
    return embed_smiles(smiles)


def equivalent_classes(mol):
    """Groups of topologically equivalent atoms (RDKit canonical ranks, ties kept)."""
    from rdkit import Chem

    ranks = list(Chem.CanonicalRankAtoms(mol, breakTies=False))
    groups = {}
    for atom, rank in enumerate(ranks):
        groups.setdefault(rank, []).append(atom)
    return [g for g in groups.values() if len(g) > 1]


def rotate(coords, angle=0.7):
    c, s = math.cos(angle), math.sin(angle)
    return [[c * x - s * y + 1.5, s * x + c * y - 2.0, z + 0.3] for x, y, z in coords]


@needs_rdkit
@pytest.mark.parametrize("name", list(SMILES))
def test_sum_rule_symmetry_and_invariance(name):
    mol, numbers, coords = embed(SMILES[name])
    result = quelm_py.am1_bcc(numbers, coords)
    charges = result.bcc_charges
    assert abs(sum(charges)) < 1e-10
    assert result.total_charge == pytest.approx(sum(charges), abs=1e-14)
    assert sum(result.bond_charge_corrections) == pytest.approx(0.0, abs=1e-12)
    # Symmetry-equivalent atoms (methyl hydrogens, carboxylate oxygens, ring atoms).
    for group in equivalent_classes(mol):
        values = [charges[a] for a in group]
        assert max(values) - min(values) < 1e-12, group
    # Rotating and reversing the molecule permutes the charges and changes none.
    reversed_result = quelm_py.am1_bcc(numbers[::-1], rotate(coords)[::-1])
    assert reversed_result.bcc_charges[::-1] == pytest.approx(charges, abs=1e-6)


def test_pm6_uses_the_scf_of_calculate():
    from_calculate = quelm_py.calculate(*WATER, method="PM6").mulliken_charges
    result = quelm_py.am1_bcc(*WATER, method="PM6")
    assert result.initial_charges == pytest.approx(from_calculate, abs=1e-6)
    assert result.bond_charge_corrections == pytest.approx([-0.124, 0.062, 0.062], abs=1e-12)


def test_result_class():
    result = quelm_py.am1_bcc(*WATER)
    assert list(result.to_dict()) == [
        "initial_charges",
        "bond_charge_corrections",
        "bcc_charges",
        "total_charge",
    ]
    assert quelm_py.Am1BccPyResult.__doc__ == "AM1-BCC Atomic Partial Charges result."
    with pytest.raises(TypeError) as err:
        quelm_py.Am1BccPyResult()
    assert str(err.value) == "No constructor defined for Am1BccPyResult"


@pytest.mark.parametrize(
    ("arguments", "message"),
    [
        (([1, 1], [[0, 0, 0]]), "Mismatch between atomic_numbers (2) and coordinates (1)"),
        (
            ([1, 1], [[0, 0, 0], [0, 0, 0.7, 1]]),
            "Coordinate for atom 1 must have 3 dimensions, got 4",
        ),
        (
            ([8, 1, 1], WATER[1], "xyz"),
            "Unsupported semi-empirical method: 'XYZ'. Supported methods: PM7, PM6, AM1, RM1, "
            "PM3, MNDO",
        ),
    ],
)
def test_value_errors(arguments, message):
    with pytest.raises(ValueError) as err:
        quelm_py.am1_bcc(*arguments)
    assert str(err.value) == message


@pytest.mark.parametrize("keyword", ["method", "use_nddo"])
def test_none_is_refused_for_method_and_use_nddo(keyword):
    with pytest.raises(TypeError) as err:
        quelm_py.am1_bcc(*WATER, **{keyword: None})
    assert str(err.value).startswith(f"argument '{keyword}': ")
