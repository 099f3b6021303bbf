"""esp_charges(): the Merz-Singh-Kollman fit end to end: its surface (signature, class,
messages), the charge constraint, and invariances checked against the sampling's own
orientation dependence."""

import numpy as np
import pytest
from conftest import BENZENE, FORMALDEHYDE, WATER
from scipy.spatial.transform import Rotation

import quelm_py

PROPERTIES = {
    "charges": "Fitted atom-centered partial charges in atomic units (e)",
    "dipole_debye": (
        "Cartesian electric dipole moment computed from fitted ESP charges in Debye [x, y, z]"
    ),
    "dipole_magnitude_debye": "Total dipole moment magnitude in Debye",
    "rms_error_ev": "Root-mean-square fitting error of the electrostatic potential in eV",
    "num_grid_points": "Total number of grid points retained on the solvent-accessible envelope",
}


def charges(molecule, **kwargs):
    return np.array(quelm_py.esp_charges(*molecule, **kwargs).charges)


def test_signature_docstring_and_registration_order():
    assert quelm_py.esp_charges.__text_signature__ == (
        '(atomic_numbers, coordinates, method="PM6", net_charge=0.0, points_per_shell=64)'
    )
    lines = quelm_py.esp_charges.__doc__.splitlines()
    assert lines[0] == (
        "Compute Merz-Singh-Kollman atom-centered Electrostatic Potential (ESP) partial charges."
    )
    assert (
        "- `points_per_shell`: Fibonacci sampling points per atom per radial shell (default: 64)"
        in lines
    )
    names = list(vars(quelm_py))
    order = ["CalculationResult", "EspResultPy", "PolarizabilityPyResult", "calculate"]
    order += ["esp_charges", "polarizability"]
    positions = [names.index(name) for name in order]
    assert positions == sorted(positions)


def test_result_class_properties_to_dict_and_repr():
    cls = quelm_py.EspResultPy
    assert cls.__doc__ == "Merz-Singh-Kollman Electrostatic Potential (ESP) fitting result."
    assert [name for name in vars(cls) if name in PROPERTIES] == list(PROPERTIES)
    for name, doc in PROPERTIES.items():
        assert getattr(cls, name).__doc__ == doc
    assert cls.to_dict.__doc__ == "Convert ESP result to Python dictionary."
    with pytest.raises(TypeError) as caught:
        cls()
    assert str(caught.value) == "No constructor defined for EspResultPy"

    result = quelm_py.esp_charges(*WATER)
    as_dict = result.to_dict()
    assert list(as_dict) == list(PROPERTIES)
    assert as_dict == {name: getattr(result, name) for name in PROPERTIES}
    assert result.dipole_magnitude_debye == pytest.approx(np.linalg.norm(result.dipole_debye))
    listed = ", ".join(repr(q) for q in result.charges)
    assert repr(result) == (
        f"<EspResult charges=[{listed}], dipole={result.dipole_magnitude_debye:.3f} D, "
        f"rms_err={result.rms_error_ev:.4f} eV, grid_pts={result.num_grid_points}>"
    )


ORIGIN = [0.0, 0.0, 0.0]


@pytest.mark.parametrize(
    ("atomic_numbers", "coordinates", "kwargs", "message"),
    [
        # The method is resolved before the molecule is looked at.
        (
            [],
            [],
            {"method": "xyz"},
            "Unsupported semi-empirical method: 'XYZ'. Supported methods: "
            "PM7, PM6, AM1, RM1, PM3, MNDO",
        ),
        ([], [], {}, "Molecule must have at least one atom"),
        ([8, 1], [ORIGIN], {}, "Mismatch between atomic_numbers (2) and coordinates (1)"),
        (
            *WATER,
            {"points_per_shell": 0},
            "Insufficient grid points (0) for 3 atoms in ESP fitting",
        ),
        (
            [26, 8],
            [ORIGIN, [0.0, 0.0, 1.6]],
            {"method": "AM1"},
            "Unsupported element Z=26 in ESP parameter model",
        ),
        ([1], [ORIGIN], {}, "System must have at least one electron pair for closed-shell RHF"),
    ],
)
def test_failures_raise_value_error_with_their_message(
    atomic_numbers, coordinates, kwargs, message
):
    with pytest.raises(ValueError) as caught:
        quelm_py.esp_charges(atomic_numbers, coordinates, **kwargs)
    assert str(caught.value) == message


def test_negative_point_count_overflows_and_none_selects_defaults():
    with pytest.raises(OverflowError):
        quelm_py.esp_charges(*WATER, points_per_shell=-1)
    defaults = quelm_py.esp_charges(*WATER).to_dict()
    nones = quelm_py.esp_charges(*WATER, method=None, net_charge=None, points_per_shell=None)
    assert nones.to_dict() == defaults
    assert defaults["num_grid_points"] <= 3 * 4 * 64


@pytest.mark.parametrize("net_charge", [0.0, -1.0, 0.5])
def test_charges_sum_to_the_net_charge(net_charge):
    assert charges(FORMALDEHYDE, net_charge=net_charge).sum() == pytest.approx(
        net_charge, abs=1e-10
    )


def test_charges_follow_the_atoms_when_they_are_reordered_or_moved():
    atomic_numbers, coordinates = FORMALDEHYDE
    reference = charges(FORMALDEHYDE)
    order = [2, 0, 3, 1]
    permuted = charges(([atomic_numbers[i] for i in order], [coordinates[i] for i in order]))
    np.testing.assert_allclose(permuted, reference[order], atol=1e-9)
    shifted = [[x + 3.0, y - 1.0, z + 0.5] for x, y, z in coordinates]
    np.testing.assert_allclose(charges((atomic_numbers, shifted)), reference, atol=1e-9)


def test_dipole_of_a_charged_fit_depends_on_the_origin():
    atomic_numbers, coordinates = WATER
    shift = np.array([2.0, 0.0, 0.0])
    at_origin = quelm_py.esp_charges(atomic_numbers, coordinates, net_charge=1.0)
    moved = (atomic_numbers, (np.array(coordinates) + shift).tolist())
    away = quelm_py.esp_charges(*moved, net_charge=1.0)
    expected = np.array(at_origin.dipole_debye) + 4.80320425 * 1.0 * shift
    np.testing.assert_allclose(away.dipole_debye, expected, atol=1e-6)


def rotation_spread(molecule, points_per_shell, rotations):
    """Largest change of any charge over the rotations: the sampling's orientation effect."""
    atomic_numbers, coordinates = molecule
    reference = charges(molecule, points_per_shell=points_per_shell)
    worst = 0.0
    for rotation in rotations:
        turned = rotation.apply(np.array(coordinates)).tolist()
        fitted = charges((atomic_numbers, turned), points_per_shell=points_per_shell)
        worst = max(worst, float(np.max(np.abs(fitted - reference))))
    return worst


@pytest.mark.parametrize("molecule", [WATER, FORMALDEHYDE], ids=["water", "formaldehyde"])
def test_rotation_changes_charges_only_through_the_sampling(molecule):
    # The spiral directions are fixed in the laboratory frame, so turning the molecule
    # moves the points over it; the change shrinks as the sampling is refined.
    rotations = Rotation.random(8, random_state=11)
    coarse = rotation_spread(molecule, 64, rotations)
    fine = rotation_spread(molecule, 1024, rotations)
    assert coarse < 0.02
    assert fine < 2e-3
    assert fine < coarse / 3


@pytest.mark.parametrize(
    ("molecule", "groups", "points_per_shell"),
    [
        (WATER, [[1, 2]], 64),
        (FORMALDEHYDE, [[2, 3]], 64),
        # The six carbons of benzene are poorly fixed by the potential outside the ring,
        # so the default sampling splits them by 0.02 e; 2048 points bring them together.
        (BENZENE, [list(range(6)), list(range(6, 12))], 2048),
    ],
    ids=["water", "formaldehyde", "benzene"],
)
def test_symmetry_equivalent_atoms_get_equal_charges(molecule, groups, points_per_shell):
    fitted = charges(molecule, points_per_shell=points_per_shell)
    for group in groups:
        assert np.ptp(fitted[group]) < 1e-3
