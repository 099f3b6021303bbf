"""frequencies(): validation and its messages, the result classes, the step rules, and the
thermochemistry against ASE's IdealGasThermo / HarmonicThermo for the same frequencies."""

import math

import pytest
from conftest import FORMALDEHYDE, H2, WATER

import quelm_py

# PM6 (NDDO) minimum of water, optimised with ASE's BFGS on this engine's gradients.
WATER_MINIMUM = (
    [8, 1, 1],
    [[0.0, 0.0, 0.100007], [0.0, 0.765551, -0.460554], [0.0, -0.765551, -0.460554]],
)
THERMO_KEYS = [
    "temperature_k",
    "pressure_atm",
    "zpve_kcal_mol",
    "e_vib_cal_mol",
    "e_rot_cal_mol",
    "e_trans_cal_mol",
    "enthalpy_thermal_cal_mol",
    "cv_vib_cal_k_mol",
    "cv_rot_cal_k_mol",
    "cp_trans_cal_k_mol",
    "cp_total_cal_k_mol",
    "entropy_vib_cal_k_mol",
    "entropy_rot_cal_k_mol",
    "entropy_trans_cal_k_mol",
    "entropy_total_cal_k_mol",
    "gibbs_correction_kcal_mol",
]
UNSUPPORTED_XYZ = (
    "Unsupported semi-empirical method: 'XYZ'. Supported methods: PM7, PM6, AM1, RM1, PM3, MNDO"
)
OPEN_SHELL = (
    "Open-shell radical detected (1 valence electrons). Closed-shell RHF requires an even "
    "number of valence electrons (requires UHF/ROHF)."
)


@pytest.mark.parametrize(
    "atomic_numbers, coordinates, kwargs, message",
    [
        (
            [],
            [],
            {"method": "xyz"},
            UNSUPPORTED_XYZ,
        ),
        ([], [], {}, "Molecule must have at least one atom"),
        ([1, 1], [[0, 0, 0]], {}, "Mismatch between atomic_numbers (2) and coordinates (1)"),
        (
            [26, 26],
            [[0, 0, 0], [0, 0, 2]],
            {"method": "am1"},
            "Unsupported element Z=26 for semi-empirical method 'am1'",
        ),
        ([1], [[0, 0, 0]], {}, OPEN_SHELL),
        (*H2, {"step_size_angstrom": 0.0}, "step_size_angstrom must be positive (got 0)"),
        (*H2, {"step_size_angstrom": -0.01}, "step_size_angstrom must be positive (got -0.01)"),
        (
            *H2,
            {"step_size_angstrom": math.nan},
            "argument 'step_size_angstrom': must be a finite number, not nan",
        ),
    ],
    ids=[
        "method-first",
        "empty",
        "mismatch",
        "element",
        "open-shell",
        "zero-step",
        "negative-step",
        "nan-step",
    ],
)
def test_validation_order_and_messages(atomic_numbers, coordinates, kwargs, message):
    with pytest.raises(ValueError) as caught:
        quelm_py.frequencies(atomic_numbers, coordinates, **kwargs)
    assert str(caught.value) == message


def test_temperature_is_checked_after_the_hessian_as_an_internal_error():
    with pytest.raises(quelm_py.InternalError) as caught:
        quelm_py.frequencies(*H2, temperature_k=0.0)
    assert str(caught.value) == "Temperature must be strictly positive"


def test_signature_classes_and_result_layout():
    assert quelm_py.frequencies.__text_signature__ == (
        '(atomic_numbers, coordinates, method="PM6", temperature_k=298.15, pressure_atm=1.0, '
        "rotational_symmetry_number=1.0, step_size_angstrom=0.005, project_external=True, "
        "use_nddo=False, custom_masses=None)"
    )
    assert quelm_py.frequencies.__doc__.startswith(
        "Compute Cartesian Hessian, harmonic vibrational frequencies, normal modes, and "
        "thermodynamics."
    )
    names = list(vars(quelm_py))
    order = [
        "CalculationResult",
        "TransitionStatePyResult",
        "NormalModePy",
        "ThermodynamicsPy",
        "VibrationalResultPy",
    ]
    assert [names.index(n) for n in order] == sorted(names.index(n) for n in order)
    assert names.index("transition_state") < names.index("frequencies")
    for name in order[2:]:
        with pytest.raises(TypeError) as caught:
            getattr(quelm_py, name)()
        assert str(caught.value) == f"No constructor defined for {name}"

    result = quelm_py.frequencies(*FORMALDEHYDE, use_nddo=True)
    assert len(result.all_frequencies_cm1) == 12
    assert len(result.vibrational_frequencies_cm1) == 6
    assert len(result.normal_modes) == 12
    assert len(result.cartesian_hessian) == 12 and all(
        len(row) == 12 for row in result.cartesian_hessian
    )
    assert list(result.to_dict()) == [
        "all_frequencies_cm1",
        "vibrational_frequencies_cm1",
        "zpve_kcal_mol",
        "is_transition_state",
        "thermo",
        "cartesian_hessian",
        "normal_modes",
    ]
    assert list(result.to_dict()["thermo"]) == THERMO_KEYS
    assert list(result.thermo.to_dict()) == THERMO_KEYS
    mode = result.normal_modes[-1]
    assert mode.to_dict() == result.to_dict()["normal_modes"][-1]
    assert list(mode.to_dict()) == [
        "frequency_cm1",
        "reduced_mass_amu",
        "force_constant_mdyne_a",
        "displacements",
    ]
    assert sum(x * x for row in mode.displacements for x in row) == pytest.approx(1.0, abs=1e-12)
    assert repr(mode) == (
        f"<NormalMode freq={mode.frequency_cm1:.1f} cm^-1, mass={mode.reduced_mass_amu:.3f} amu, "
        f"k={mode.force_constant_mdyne_a:.3f} mdyne/A>"
    )
    t = result.thermo
    assert repr(t) == (
        f"<Thermodynamics T=298.15 K, ZPVE={t.zpve_kcal_mol:.2f} kcal/mol, "
        f"S°={t.entropy_total_cal_k_mol:.2f} cal/(mol·K), "
        f"H_thermal={t.enthalpy_thermal_cal_mol:.2f} cal/mol, "
        f"G_corr={t.gibbs_correction_kcal_mol:.2f} kcal/mol>"
    )
    assert (
        repr(result)
        == f"<VibrationalResult num_vib=6, ZPVE={result.zpve_kcal_mol:.2f} kcal/mol, is_TS=false>"
    )
    assert type(quelm_py.NormalModePy.frequency_cm1).__name__ == "getset_descriptor"
    assert quelm_py.ThermodynamicsPy.temperature_k.__doc__ is None
    assert quelm_py.VibrationalResultPy.is_transition_state.__doc__ == (
        "Whether molecule is a transition state (first vibrational frequency < -10 cm^-1)"
    )


def test_step_none_selects_the_fine_step_and_wrong_length_masses_are_ignored():
    fine = quelm_py.frequencies(*WATER, step_size_angstrom=None)
    explicit = quelm_py.frequencies(*WATER, step_size_angstrom=0.001)
    default = quelm_py.frequencies(*WATER, temperature_k=None, custom_masses=[1.0, 2.0])
    assert fine.cartesian_hessian == explicit.cartesian_hessian
    assert default.cartesian_hessian == quelm_py.frequencies(*WATER).cartesian_hessian
    assert default.cartesian_hessian != fine.cartesian_hessian
    assert default.all_frequencies_cm1 == quelm_py.frequencies(*WATER).all_frequencies_cm1


def test_custom_masses_weight_the_hessian():
    # Heavy hydrogens change the frequencies but not the Hessian; without the projection the
    # frequencies are the eigenvalues of H / sqrt(m_i m_j), computed here independently.
    np = pytest.importorskip("numpy")
    masses = [15.9994, 2.014, 2.014]
    light = quelm_py.frequencies(*WATER_MINIMUM, use_nddo=True)
    heavy = quelm_py.frequencies(
        *WATER_MINIMUM, use_nddo=True, custom_masses=masses, project_external=False
    )
    assert heavy.cartesian_hessian == light.cartesian_hessian
    weights = np.repeat(masses, 3)
    eigenvalues = np.linalg.eigvalsh(
        np.array(heavy.cartesian_hessian) / np.sqrt(np.outer(weights, weights))
    )
    expected = np.sign(eigenvalues) * 108.59135859237747 * np.sqrt(np.abs(eigenvalues))
    assert heavy.all_frequencies_cm1 == pytest.approx(expected, abs=1e-6)
    assert heavy.vibrational_frequencies_cm1[-1] < light.vibrational_frequencies_cm1[-1] / 1.3


def test_thermochemistry_equals_ase_for_the_same_frequencies():
    ase_thermo = pytest.importorskip("ase.thermochemistry")
    from ase import Atoms
    from ase.units import create_units

    # ASE's thermochemistry with the same (2018) constants as the engine.
    units = create_units("2018")
    original_units = ase_thermo.units
    ase_thermo.units = units
    try:
        temperature, pressure_atm, sigma = 350.0, 2.0, 2.0
        result = quelm_py.frequencies(
            *WATER_MINIMUM,
            use_nddo=True,
            temperature_k=temperature,
            pressure_atm=pressure_atm,
            rotational_symmetry_number=sigma,
        )
        t = result.thermo
        frequencies = result.vibrational_frequencies_cm1
        assert all(nu > 10.0 for nu in frequencies)
        energies = [nu * units.invcm for nu in frequencies]
        atoms = Atoms(numbers=WATER_MINIMUM[0], positions=WATER_MINIMUM[1])
        atoms.set_masses([15.9994, 1.0079, 1.0079])
        gas = ase_thermo.IdealGasThermo(
            vib_energies=energies,
            geometry="nonlinear",
            atoms=atoms,
            symmetrynumber=sigma,
            spin=0,
            potentialenergy=0.0,
        )
        harmonic = ase_thermo.HarmonicThermo(vib_energies=energies)
        kcal_mol = units.kcal / units.mol
        pressure_pa = pressure_atm * 101325.0
        zpe = gas.get_ZPE_correction() / kcal_mol
        enthalpy = gas.get_enthalpy(temperature, verbose=False) / kcal_mol
        entropy = gas.get_entropy(temperature, pressure_pa, verbose=False) / kcal_mol * 1000.0
        gibbs = gas.get_gibbs_energy(temperature, pressure_pa, verbose=False) / kcal_mol

        def vibrational_energy(temp):
            return harmonic.get_internal_energy(temp, verbose=False) / kcal_mol * 1000.0

        step = 1e-3
        cv_vib = (
            vibrational_energy(temperature + step) - vibrational_energy(temperature - step)
        ) / (2 * step)
        s_vib = harmonic.get_entropy(temperature, verbose=False) / kcal_mol * 1000.0
        assert t.zpve_kcal_mol == pytest.approx(zpe, rel=1e-6)
        assert t.zpve_kcal_mol + t.enthalpy_thermal_cal_mol / 1000.0 == pytest.approx(
            enthalpy, rel=1e-6
        )
        assert t.entropy_total_cal_k_mol == pytest.approx(entropy, rel=1e-6)
        assert t.gibbs_correction_kcal_mol == pytest.approx(gibbs, rel=1e-6)
        assert t.entropy_vib_cal_k_mol == pytest.approx(s_vib, rel=1e-6)
        assert t.cv_vib_cal_k_mol == pytest.approx(cv_vib, rel=1e-6)
        assert t.cp_total_cal_k_mol - t.cv_vib_cal_k_mol == pytest.approx(
            4 * 1.987204258640832, rel=1e-12
        )
    finally:
        ase_thermo.units = original_units
