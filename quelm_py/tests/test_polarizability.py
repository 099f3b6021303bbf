"""polarizability(): the surface (signature, class, argument rules and messages) and what
the options do to the tensors. The finite-difference physics (routes, step halving,
rotation, centrosymmetry) is checked on the engine."""

import numpy as np
import pytest
from conftest import ETHYLENE, FORMALDEHYDE, WATER

import quelm_py

PROPERTIES = {
    "alpha_tensor": "3x3 polarizability tensor \\alpha in atomic units (a_0^3)",
    "alpha_isotropic_au": "Isotropic average polarizability in atomic units",
    "alpha_isotropic_angstrom3": "Isotropic average polarizability in \\AA^3",
    "alpha_anisotropy_au": "Polarizability anisotropy in atomic units",
    "alpha_eigenvalues": "Principal polarizability eigenvalues in ascending order in a.u.",
    "alpha_eigenvectors": "Principal polarizability eigenvectors (shape: [3, 3])",
    "alpha_raw_tensor": "Raw uncorrected CP-SCF polarizability tensor in a.u.",
    "alpha_raw_isotropic_au": "Raw uncorrected isotropic polarizability in a.u.",
    "alpha_raw_isotropic_angstrom3": "Raw uncorrected isotropic polarizability in \\AA^3",
    "beta_vector": "Vector components of first hyperpolarizability \\beta_i in a.u.",
    "beta_total_au": "Total norm of first hyperpolarizability vector in a.u.",
    "beta_total_esu": "Total norm of first hyperpolarizability vector in 10^-33 esu",
    "gamma_diag": (
        "Diagonal components of second hyperpolarizability "
        "[\\gamma_xxxx, \\gamma_yyyy, \\gamma_zzzz] in a.u."
    ),
    "gamma_average_au": "Average second hyperpolarizability in a.u.",
    "gamma_average_esu": "Average second hyperpolarizability in 10^-36 esu",
    "dipole_debye": "Unperturbed permanent dipole moment [x, y, z, total] in Debye",
    "unperturbed_energy_ev": "Unperturbed total SCF energy in eV",
}
ANGSTROM3_PER_BOHR3 = 0.1481847114721628


def test_signature_and_docstring():
    assert quelm_py.polarizability.__text_signature__ == (
        '(atomic_numbers, coordinates, method="PM6", field_step_au=0.002, use_nddo=True, '
        "reorient=True, apply_empirical_scaling=True, compute_hyperpolarizabilities=True, "
        "scf_max_iter=80, energy_tol_ev=1e-9, density_tol=1e-8)"
    )
    assert quelm_py.polarizability.__doc__ == (
        "Compute molecular polarizability and NLO hyperpolarizability tensors."
    )


def test_result_class_has_its_properties_in_order_and_nothing_else():
    cls = quelm_py.PolarizabilityPyResult
    assert cls.__doc__ == (
        "Comprehensive polarizability and NLO tensor calculation results for Python."
    )
    assert [name for name in vars(cls) if not name.startswith("_")] == list(PROPERTIES)
    for name, doc in PROPERTIES.items():
        assert getattr(cls, name).__doc__ == doc
    result = quelm_py.polarizability(*WATER)
    assert repr(result).startswith("<quelm_py.PolarizabilityPyResult object at ")
    alpha = np.array(result.alpha_tensor)
    assert alpha.shape == (3, 3)
    values, vectors = np.array(result.alpha_eigenvalues), np.array(result.alpha_eigenvectors)
    np.testing.assert_allclose(alpha @ vectors, vectors * values, atol=1e-9)  # columns
    assert list(values) == sorted(values)
    assert result.alpha_isotropic_au == pytest.approx(np.trace(alpha) / 3)
    assert result.alpha_isotropic_angstrom3 == pytest.approx(
        result.alpha_isotropic_au * ANGSTROM3_PER_BOHR3
    )
    assert result.dipole_debye[3] == pytest.approx(np.linalg.norm(result.dipole_debye[:3]))
    assert result.beta_total_esu == pytest.approx(result.beta_total_au * 8.639418e-33)
    assert result.gamma_average_esu == pytest.approx(result.gamma_average_au * 5.0367e-40)


ROW = [0.0, 0.0, 0.0]
STEP_MESSAGE = "field_step_au must be a positive, finite field strength in atomic units"


@pytest.mark.parametrize(
    ("atomic_numbers", "coordinates", "kwargs", "message"),
    [
        ([8, 1, 1], [ROW, ROW], {"method": "xyz"}, "Mismatch: 3 atomic numbers but 2 coordinates"),
        (
            [8, 1],
            [ROW, [0.0, 1.0]],
            {"method": "xyz"},
            "Atom 1 coordinate must be [x, y, z], got 2 elements",
        ),
        (
            [8, 1],
            [[1.0, 2.0, 3.0, 4.0], [0.0]],
            {},
            "Atom 0 coordinate must be [x, y, z], got 4 elements",
        ),
        (
            *WATER,
            {"method": "xyz", "field_step_au": 0.0},
            "Unsupported semi-empirical method: 'XYZ'. Supported methods: "
            "PM7, PM6, AM1, RM1, PM3, MNDO",
        ),
        (*WATER, {"field_step_au": 0.0}, STEP_MESSAGE),
        (*WATER, {"field_step_au": -0.002}, STEP_MESSAGE),
        (
            *WATER,
            {"field_step_au": float("nan")},
            "argument 'field_step_au': must be a finite number, not nan",
        ),
        ([], [], {}, "Molecule must have at least one atom"),
        ([1], [ROW], {}, "System must have at least one electron pair for closed-shell RHF"),
    ],
)
def test_failures_raise_value_error_with_their_message(
    atomic_numbers, coordinates, kwargs, message
):
    with pytest.raises(ValueError) as caught:
        quelm_py.polarizability(atomic_numbers, coordinates, **kwargs)
    assert str(caught.value) == message


def test_an_element_the_model_lacks_is_an_internal_error():
    with pytest.raises(quelm_py.InternalError) as caught:
        quelm_py.polarizability([26, 8], [ROW, [0.0, 0.0, 1.6]], method="AM1")
    assert str(caught.value) == "Parameters missing for element Z=26"


def test_none_selects_every_default():
    names = ["method", "field_step_au", "use_nddo", "reorient", "apply_empirical_scaling"]
    names += ["compute_hyperpolarizabilities", "scf_max_iter", "energy_tol_ev", "density_tol"]
    nones = quelm_py.polarizability(*WATER, **dict.fromkeys(names))
    defaults = quelm_py.polarizability(*WATER)
    assert all(getattr(nones, name) == getattr(defaults, name) for name in PROPERTIES)
    with pytest.raises(OverflowError):
        quelm_py.polarizability(*WATER, scf_max_iter=-1)


def test_scaling_touches_only_the_diagonal_of_the_reoriented_tensor():
    scaled = quelm_py.polarizability(*FORMALDEHYDE)
    alpha, raw = np.array(scaled.alpha_tensor), np.array(scaled.alpha_raw_tensor)
    off_diagonal = ~np.eye(3, dtype=bool)
    np.testing.assert_array_equal(alpha[off_diagonal], raw[off_diagonal])
    assert scaled.alpha_isotropic_au > scaled.alpha_raw_isotropic_au  # the basis falls short
    assert scaled.alpha_raw_isotropic_au == pytest.approx(np.trace(raw) / 3)

    unscaled = quelm_py.polarizability(*FORMALDEHYDE, apply_empirical_scaling=False)
    assert unscaled.alpha_tensor == unscaled.alpha_raw_tensor
    assert unscaled.alpha_raw_tensor == scaled.alpha_raw_tensor
    rm1 = quelm_py.polarizability(*FORMALDEHYDE, method="RM1")
    assert rm1.alpha_tensor == rm1.alpha_raw_tensor


def test_gamma_average_without_the_mixed_fields_is_the_diagonal_over_five():
    result = quelm_py.polarizability(*FORMALDEHYDE, compute_hyperpolarizabilities=False)
    assert result.gamma_average_au == pytest.approx(sum(result.gamma_diag) / 5, rel=1e-14)


def test_centrosymmetric_molecule_has_no_beta_and_a_step_independent_gamma():
    result = quelm_py.polarizability(*ETHYLENE)
    half = quelm_py.polarizability(*ETHYLENE, field_step_au=0.001)
    assert result.beta_total_au < 1e-3
    assert half.gamma_average_au == pytest.approx(result.gamma_average_au, rel=5e-3)
    assert half.alpha_raw_isotropic_au == pytest.approx(result.alpha_raw_isotropic_au, rel=1e-6)


def test_dipole_of_a_charged_molecule_is_taken_about_its_centre_of_mass():
    # H3O+ (no charge checks are made here): moving it does not change its dipole, which a
    # dipole about the coordinate origin would.
    atomic_numbers = [8, 1, 1, 1]
    coordinates = np.array(
        [[0.0, 0.0, 0.1], [0.95, 0.0, -0.2], [-0.47, 0.82, -0.2], [-0.47, -0.82, -0.2]]
    )
    options = {"reorient": False, "compute_hyperpolarizabilities": False}
    here = quelm_py.polarizability(atomic_numbers, coordinates.tolist(), **options)
    there = quelm_py.polarizability(
        atomic_numbers, (coordinates + [4.0, -2.0, 1.0]).tolist(), **options
    )
    np.testing.assert_allclose(there.dipole_debye, here.dipole_debye, atol=1e-6)
    assert here.dipole_debye[3] > 0.1


def test_reoriented_water_has_its_dipole_on_a_principal_axis():
    result = quelm_py.polarizability(*WATER)
    dipole = np.abs(result.dipole_debye[:3])
    assert sorted(dipole)[:2] == pytest.approx([0.0, 0.0], abs=1e-6)
    alpha = np.array(result.alpha_raw_tensor)
    np.testing.assert_allclose(alpha - np.diag(np.diag(alpha)), 0.0, atol=1e-6)
