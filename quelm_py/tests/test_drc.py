"""drc: Born–Oppenheimer dynamics through the module function."""

import math

import pytest
from conftest import FORMALDEHYDE, H2, WATER, package_available

import quelm_py

# Water with its hydrogens pulled out of place, so that it vibrates from rest.
STRETCHED_WATER = (
    [8, 1, 1],
    [[0.0, 0.0, 0.1173], [0.0, 0.83, -0.50], [0.0, -0.7572, -0.4692]],
)


@pytest.mark.parametrize(
    "args, kwargs, message",
    [
        (([], []), {}, "atomic_numbers cannot be empty"),
        (([8, 1, 1], WATER[1][:2]), {}, "Mismatch between atomic_numbers (3) and coordinates (2)"),
        (
            WATER,
            {"method": "xtb"},
            "Unsupported semi-empirical method: 'XTB'. Supported methods: PM7, PM6, AM1, RM1, "
            "PM3, MNDO",
        ),
        (WATER, {"ensemble": "NPT"}, "Unknown DRC ensemble 'npt'. Supported: 'nve', 'nvt'"),
        (
            ([1, 8, 1], WATER[1]),
            {"ensemble": "nvt", "berendsen_tau_fs": 0.0},
            "berendsen_tau_fs must be positive for the 'nvt' ensemble",
        ),
        (
            ([1, 1, 1], WATER[1]),
            {},
            "Open-shell radical detected (3 valence electrons). Closed-shell RHF requires an even "
            "number of valence electrons (requires UHF/ROHF).",
        ),
    ],
)
def test_refusals_carry_their_messages(args, kwargs, message):
    with pytest.raises(ValueError) as error:
        quelm_py.drc(*args, total_steps=1, **kwargs)
    assert str(error.value) == message


def test_defaults_start_from_rest_and_record_every_step():
    result = quelm_py.drc(*STRETCHED_WATER, total_steps=4, time_step_fs=None, ensemble=None)
    assert [frame.step for frame in result.frames] == [0, 1, 2, 3, 4]
    first = result.frames[0]
    assert first.kinetic_energy_ev == 0.0 and first.temperature_k == 0.0
    assert first.velocities == [[0.0, 0.0, 0.0]] * 3
    assert result.frames[-1].time_fs == pytest.approx(2.0)
    assert first.coordinates == STRETCHED_WATER[1]
    # The simplified surface is the default; the NDDO one differs.
    nddo = quelm_py.drc(*STRETCHED_WATER, total_steps=0, use_nddo=True)
    assert nddo.initial_energy_ev != pytest.approx(result.initial_energy_ev, abs=1e-3)


def test_forces_are_the_negative_gradients_of_calculate():
    result = quelm_py.drc(*FORMALDEHYDE, total_steps=0, use_nddo=True)
    single_point = quelm_py.calculate(*FORMALDEHYDE)
    assert result.initial_energy_ev == pytest.approx(single_point.total_energy_ev, abs=1e-6)
    for force, gradient in zip(result.frames[0].forces, single_point.gradients_ev_angstrom):
        assert force == pytest.approx([-g for g in gradient], abs=1e-4)


def test_nvt_starts_at_the_target_temperature_and_is_reproducible():
    runs = [
        quelm_py.drc(*FORMALDEHYDE, total_steps=3, ensemble="NVT", temperature_k=500.0)
        for _ in range(2)
    ]
    assert runs[0].frames[0].temperature_k == pytest.approx(500.0, rel=1e-12)
    assert runs[0].to_dict() == runs[1].to_dict()
    diatomic = quelm_py.drc(*H2, total_steps=0, ensemble="nvt")
    assert diatomic.frames[0].temperature_k == pytest.approx(298.15, rel=1e-12)


def plain_exponent(value):
    mantissa, exponent = f"{value:.3e}".split("e")
    return f"{mantissa}e{int(exponent)}"


def test_to_dict_and_repr():
    result = quelm_py.drc(*H2, total_steps=2, recording_interval=2)
    as_dict = result.to_dict()
    assert list(as_dict) == [
        "initial_energy_ev",
        "final_energy_ev",
        "energy_drift_ev_per_ps",
        "max_energy_drift_ev",
        "average_temperature_k",
        "frames",
    ]
    assert [frame["step"] for frame in as_dict["frames"]] == [0, 2]
    assert list(as_dict["frames"][0]) == [
        "step",
        "time_fs",
        "potential_energy_ev",
        "kinetic_energy_ev",
        "total_energy_ev",
        "temperature_k",
        "coordinates",
        "velocities",
        "forces",
    ]
    frame = result.frames[1]
    assert repr(frame) == (
        f"<DrcFrame step=2 t=1.00 fs, E_tot={frame.total_energy_ev:.6f} eV, "
        f"T={frame.temperature_k:.1f} K>"
    )
    assert repr(result) == (
        f"<DrcPyResult frames=2 drift={plain_exponent(result.energy_drift_ev_per_ps)} eV/ps, "
        f"max_dev={plain_exponent(result.max_energy_drift_ev)} eV, "
        f"avg_T={result.average_temperature_k:.1f} K>"
    )
    with pytest.raises(TypeError, match="No constructor defined for DrcPyResult"):
        type(result)()


@pytest.mark.skipif(not package_available("ase"), reason="needs ASE")
def test_first_fifty_steps_follow_ase_velocity_verlet():
    from ase import Atoms, units
    from ase.md.verlet import VelocityVerlet

    numbers, coordinates = STRETCHED_WATER
    ours = quelm_py.drc(numbers, coordinates, total_steps=50, use_nddo=True)
    masses = [15.9994, 1.0079, 1.0079]  # the standard weights the engine uses
    atoms = Atoms(numbers=numbers, positions=coordinates, masses=masses)
    atoms.calc = quelm_py.QuelmASECalculator(method="PM6", use_nddo=True)
    dynamics = VelocityVerlet(atoms, timestep=0.5 * units.fs)
    for frame in ours.frames[1:]:
        dynamics.run(1)
        for ours_row, ase_row in zip(frame.coordinates, atoms.get_positions().tolist()):
            assert ours_row == pytest.approx(ase_row, abs=1e-6)
    assert math.isfinite(ours.final_energy_ev)
