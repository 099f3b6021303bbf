"""meci: states, labels, clamping, invariances, the target-root gradient and the errors."""

import math

import pytest
from conftest import FORMALDEHYDE, H2, KCAL_MOL_PER_EV, WATER

import quelm_py


def test_defaults_give_four_states_with_ground_singlet_and_one_triplet():
    result = quelm_py.meci(*FORMALDEHYDE)
    assert result.num_microstates == 4
    assert len(result.states) == 4
    assert [s.root for s in result.states] == [1, 2, 3, 4]
    ground = result.states[0]
    assert ground.spin_label == "SINGLET"
    assert ground.multiplicity == 1
    assert ground.excitation_energy_ev == 0.0
    assert ground.wavelength_nm == 0.0
    assert ground.transition_dipole_debye == [0.0, 0.0, 0.0]
    assert ground.polarization_angstrom2 == [0.0, 0.0, 0.0]
    assert ground.dipole_strength_debye == 0.0
    assert ground.oscillator_strength == 0.0
    triplets = [s for s in result.states if s.spin_label == "TRIPLET"]
    assert len(triplets) == 1
    assert triplets[0].s_squared == pytest.approx(2.0, abs=1e-9)
    assert triplets[0].multiplicity == 3
    for s in result.states[1:]:
        assert s.excitation_energy_ev > 0.0
        assert s.excitation_energy_cm1 == pytest.approx(s.excitation_energy_ev * 8065.54429)
        assert s.wavelength_nm == pytest.approx(1239.841984 / s.excitation_energy_ev)
        assert min(s.transition_dipole_debye) >= 0.0
        assert s.dipole_strength_debye == pytest.approx(math.hypot(*s.transition_dipole_debye))
        for mu_debye, p in zip(s.transition_dipole_debye, s.polarization_angstrom2):
            assert p == pytest.approx((mu_debye / 4.80320425) ** 2)


def test_heat_of_formation_and_energies_follow_the_target_root():
    single_point = quelm_py.calculate(*FORMALDEHYDE)
    for root in (1, 3):
        result = quelm_py.meci(*FORMALDEHYDE, target_root=root)
        correction = result.states[root - 1].energy_ev
        assert result.ci_energy_correction_ev == correction
        assert result.total_energy_ev == pytest.approx(single_point.total_energy_ev + correction)
        assert result.heat_of_formation_kcal == pytest.approx(
            single_point.heat_of_formation_kcal + correction * KCAL_MOL_PER_EV
        )


@pytest.mark.parametrize("requested, reported", [(0, 1), (None, 1), (4, 4), (99, 4)])
def test_target_root_is_clamped(requested, reported):
    assert quelm_py.meci(*H2, target_root=requested).target_root == reported


def test_odd_active_spaces_give_doublets_and_quartets():
    one = quelm_py.meci(*WATER, active_orbitals=1)
    assert one.num_microstates == 1
    assert one.states[0].spin_label == "DOUBLET"
    assert one.states[0].s_squared == pytest.approx(0.75)
    assert one.ci_energy_correction_ev == pytest.approx(1e-10, abs=1e-15)
    three = quelm_py.meci(*WATER, active_orbitals=3)
    assert three.num_microstates == 9
    labels = [s.spin_label for s in three.states]
    assert labels.count("DOUBLET") == 8 and labels.count("QUARTET") == 1


def rotated(coordinates, shift):
    """Rotated about an arbitrary axis, translated, as a new list."""
    a, b = 0.7, -1.1
    ca, sa, cb, sb = math.cos(a), math.sin(a), math.cos(b), math.sin(b)
    out = []
    for x, y, z in coordinates:
        x, y = ca * x - sa * y, sa * x + ca * y
        y, z = cb * y - sb * z, sb * y + cb * z
        out.append([x + shift[0], y + shift[1], z + shift[2]])
    return out


@pytest.mark.parametrize("use_nddo", [True, False])
def test_state_energies_are_invariant_to_rotation_translation_and_atom_order(use_nddo):
    z, xyz = FORMALDEHYDE
    reference = quelm_py.meci(z, xyz, active_orbitals=4, use_nddo=use_nddo)
    order = [3, 1, 0, 2]
    variants = [
        (z, rotated(xyz, [3.0, -2.0, 7.5])),
        ([z[i] for i in order], [xyz[i] for i in order]),
    ]
    for zv, xv in variants:
        moved = quelm_py.meci(zv, xv, active_orbitals=4, use_nddo=use_nddo)
        for s, t in zip(reference.states, moved.states):
            assert t.energy_ev == pytest.approx(s.energy_ev, abs=1e-6)
            assert t.multiplicity == s.multiplicity
            assert t.oscillator_strength == pytest.approx(s.oscillator_strength, abs=1e-6)


@pytest.mark.parametrize("root", [1, 2])
def test_target_root_gradient_matches_central_differences_of_its_energy(root):
    z, xyz = FORMALDEHYDE
    gradient = quelm_py.meci(z, xyz, target_root=root).gradients_kcal_mol_angstrom
    assert len(gradient) == 4
    h = 2e-3
    for atom, axis in [(0, 0), (1, 1), (2, 0), (3, 1), (3, 2)]:
        energies = []
        for sign in (1.0, -1.0):
            moved = [row[:] for row in xyz]
            moved[atom][axis] += sign * h
            energies.append(quelm_py.meci(z, moved, target_root=root).total_energy_ev)
        expected = (energies[0] - energies[1]) / (2 * h) * KCAL_MOL_PER_EV
        assert gradient[atom][axis] == pytest.approx(expected, abs=0.02)
    # Forces of a free molecule sum to zero.
    for axis in range(3):
        assert abs(sum(row[axis] for row in gradient)) < 0.05


@pytest.mark.parametrize(
    "args, kwargs, message",
    [
        (([], []), {}, "atomic_numbers cannot be empty"),
        (([1, 1], [[0.0, 0.0, 0.0]]), {}, "Coordinate count mismatch"),
        (
            H2,
            {"method": "xtb"},
            "Unsupported semi-empirical method: 'XTB'. Supported methods: PM7, PM6, AM1, RM1, "
            "PM3, MNDO",
        ),
        (
            H2,
            {"active_orbitals": 9},
            "active_orbitals must be at most 8 (the CI matrix grows as the square of the "
            "microstate count)",
        ),
    ],
)
def test_value_errors(args, kwargs, message):
    with pytest.raises(ValueError) as err:
        quelm_py.meci(*args, **kwargs)
    assert str(err.value) == message


@pytest.mark.parametrize(
    "molecule, active_orbitals, message",
    [
        (H2, 0, "Active space must have at least 1 orbital"),
        (H2, 4, "Not enough occupied MOs (1) for active electrons (4)"),
        (WATER, 6, "Active space exceeds total molecular orbitals"),
    ],
)
def test_active_space_violations_are_internal_errors(molecule, active_orbitals, message):
    with pytest.raises(quelm_py.InternalError) as err:
        quelm_py.meci(*molecule, active_orbitals=active_orbitals)
    assert str(err.value) == message


def test_classes_are_registered_with_their_docstrings():
    assert quelm_py.CiStatePy.__doc__ == "Single CI electronic state result exposed to Python."
    assert quelm_py.MeciPyResult.__doc__ == "Complete MECI calculation result exposed to Python."
    assert quelm_py.meci.__doc__ == (
        "Run Multi-Electron Configuration Interaction (MECI) excited state calculation.\n"
        "\n"
        "Parameters:\n"
        "- `atomic_numbers`: list of integer atomic numbers\n"
        "- `coordinates`: 3D coordinates in Angstroms\n"
        '- `method`: Semi-empirical Hamiltonian (default: "PM6")\n'
        "- `active_orbitals`: Number of active orbitals (default: 2)\n"
        "- `target_root`: Target root state, 1-indexed (default: 1 = ground state)\n"
        "- `use_nddo`: Enable full NDDO integrals (default: true)"
    )
    assert quelm_py.uv_vis_spectrum.__doc__.splitlines()[10] == (
        "- `fwhm_nm`: Gaussian broadening FWHM in nm (default: 20.0)"
    )
    assert not hasattr(quelm_py.MeciPyResult, "to_dict")
