"""optimize(): L-BFGS geometry optimisation end to end. Minima are checked against an
independent optimiser (ASE's BFGS through QuelmASECalculator, on the same surface) and
against the single point at the returned geometry; the argument rules by exact message."""

import inspect
import math
import re

import pytest
from conftest import KCAL_MOL_PER_EV, package_available

import quelm_py

OPEN_SHELL = (
    "Open-shell radical detected ({} valence electrons). Closed-shell RHF requires an even "
    "number of valence electrons (requires UHF/ROHF)."
)
UNSUPPORTED_METHOD = (
    "Unsupported semi-empirical method: '{}'. Supported methods: PM7, PM6, AM1, RM1, PM3, MNDO"
)

# Start geometries in Å: water with one O–H stretched and the angle opened; ethanol and
# difluoromethane from RDKit (ETKDGv3, seed 0xC0FFEE, MMFF94), so not at a PM6 minimum.
DISTORTED_WATER = ([8, 1, 1], [[0.0, 0.0, 0.0], [1.15, 0.0, 0.0], [-0.35, 0.93, 0.05]])
ETHANOL = (
    [6, 6, 8, 1, 1, 1, 1, 1, 1],
    [
        [-0.8285, -0.3167, -0.1759],
        [0.3454, 0.5773, 0.1656],
        [1.4344, -0.2077, 0.6292],
        [-1.682, 0.2746, -0.5193],
        [-0.5562, -1.0305, -0.9603],
        [-1.1326, -0.9036, 0.697],
        [0.6714, 1.1483, -0.709],
        [0.0724, 1.2825, 0.956],
        [1.6756, -0.8241, -0.0832],
    ],
)
DIFLUOROMETHANE = (
    [9, 6, 9, 1, 1],
    [
        [1.0953, -0.715, -0.0772],
        [-0.0008, 0.076, 0.0033],
        [-1.0806, -0.7409, 0.0147],
        [0.0316, 0.6517, 0.9304],
        [-0.0455, 0.7283, -0.8712],
    ],
)

PROPERTIES = [
    ("converged", "Whether geometry optimization converged"),
    ("cycles", "Number of quasi-Newton L-BFGS cycles executed"),
    ("initial_energy_ev", "Initial total energy in eV"),
    ("final_energy_ev", "Final total energy in eV"),
    ("final_heat_of_formation_kcal", "Final heat of formation in kcal/mol"),
    ("final_grad_rms", "Final RMS gradient in kcal / (mol * \\AA)"),
    ("final_grad_max", "Final maximum gradient component in kcal / (mol * \\AA)"),
    ("coordinates", "Optimized Cartesian coordinates in \\AA (shape: [natoms, 3])"),
    ("final_result", "Final calculation result at optimized geometry"),
]


def optimize_error(*args, **kwargs):
    with pytest.raises(BaseException) as caught:
        quelm_py.optimize(*args, **kwargs)
    return type(caught.value), str(caught.value)


def atom_norms(gradient_rows):
    return [math.sqrt(sum(g * g for g in row)) for row in gradient_rows]


@pytest.fixture(scope="module")
def water_run():
    return quelm_py.optimize(*DISTORTED_WATER, use_nddo=True)


def test_signature_docstring_and_registration():
    assert quelm_py.optimize.__text_signature__ == (
        '(atomic_numbers, coordinates, method="PM6", max_cycles=100, grad_rms_tol=1.0, '
        "grad_max_tol=2.0, use_nddo=False)"
    )
    doc = quelm_py.optimize.__doc__.splitlines()
    assert doc[0] == "Optimize molecular geometry using quasi-Newton L-BFGS optimizer."
    assert "- `max_cycles`: Maximum number of L-BFGS cycles (default: 100)" in doc
    assert (
        "- `grad_rms_tol`: RMS gradient convergence threshold in kcal / (mol · Å) (default: 1.0)"
        in doc
    )
    assert (
        "- `grad_max_tol`: Maximum gradient convergence threshold in kcal / (mol · Å) "
        "(default: 2.0)" in doc
    )
    assert "- `use_nddo`: Enable full NDDO 22 multipoles and rotation (default: false)" in doc
    assert inspect.signature(quelm_py.optimize).parameters["use_nddo"].default is False

    names = list(vars(quelm_py))
    order = ["CalculationResult", "OptimizationPyResult", "calculate", "optimize"]
    assert [names.index(name) for name in order] == sorted(names.index(name) for name in order)


def test_result_class_properties_and_repr(water_run):
    cls = quelm_py.OptimizationPyResult
    assert cls.__doc__ == "Result of molecular geometry optimization."
    assert [name for name in vars(cls) if not name.startswith("__")] == [n for n, _ in PROPERTIES]
    for name, doc in PROPERTIES:
        assert getattr(cls, name).__doc__ == doc
    assert not hasattr(water_run, "to_dict")
    with pytest.raises(TypeError) as caught:
        cls()
    assert str(caught.value) == "No constructor defined for OptimizationPyResult"

    r = water_run
    assert repr(r) == (
        f"<OptimizationPyResult converged=true cycles={r.cycles} "
        f"E_final={r.final_energy_ev:.6f} eV, dHf={r.final_heat_of_formation_kcal:.3f} "
        f"kcal/mol, grad_rms={r.final_grad_rms:.4f}>"
    )
    stopped = quelm_py.optimize(*DISTORTED_WATER, max_cycles=0)
    assert re.fullmatch(
        r"<OptimizationPyResult converged=false cycles=0 E_final=-?\d+\.\d{6} "
        r"eV, dHf=-?\d+\.\d{3} kcal/mol, grad_rms=\d+\.\d{4}>",
        repr(stopped),
    )


@pytest.mark.parametrize(
    "args, kwargs, expected",
    [
        (([], []), {"method": "xyz"}, (ValueError, "atomic_numbers cannot be empty")),
        (([8, 1, 1], [[0, 0, 0]]), {}, (ValueError, "Coordinate count mismatch")),
        (
            ([1, 1], [[0, 0, 0]] * 2),
            {"method": "pm 6"},
            (ValueError, UNSUPPORTED_METHOD.format("PM 6")),
        ),
        (
            ([26, 26], [[0, 0, 0], [2, 0, 0]]),
            {"method": "am1"},
            (ValueError, "Unsupported element Z=26 for semi-empirical method 'am1'"),
        ),
        (([1], [[0, 0, 0]]), {}, (ValueError, OPEN_SHELL.format(1))),
        # A non-finite coordinate would turn every step into NaN.
        (
            ([1, 1], [[0, 0, 0], [0, 0, float("nan")]]),
            {},
            (ValueError, "argument 'coordinates': atom 1 must have finite coordinates, not nan"),
        ),
        (
            ([1, 1], [[float("inf"), 0, 0], [0, 0, 0.7]]),
            {},
            (ValueError, "argument 'coordinates': atom 0 must have finite coordinates, not inf"),
        ),
        (
            ([1, 1], [[0, 0, 0], [0, 0]]),
            {},
            (ValueError, "expected a sequence of length 3 (got 2)"),
        ),
        (([1, 1], [[0, 0, 0]] * 2), {"max_cycles": -1}, (OverflowError, None)),
        (([1, 1], [[0, 0, 0]] * 2), {"use_nddo": 1}, (TypeError, None)),
        (([1, 1], [[0, 0, 0]] * 2), {"grad_rms_tol": "1"}, (TypeError, None)),
    ],
)
def test_argument_errors(args, kwargs, expected):
    raised, message = optimize_error(*args, **kwargs)
    assert raised is expected[0]
    if expected[1] is not None:
        assert message == expected[1]
    else:
        name = next(iter(kwargs))
        assert raised is not TypeError or message.startswith(f"argument '{name}': ")


def test_none_selects_every_default():
    explicit = quelm_py.optimize(
        *DISTORTED_WATER, "PM6", max_cycles=3, grad_rms_tol=1.0, grad_max_tol=2.0, use_nddo=False
    )
    with_none = quelm_py.optimize(
        *DISTORTED_WATER, None, max_cycles=3, grad_rms_tol=None, grad_max_tol=None, use_nddo=None
    )
    assert with_none.coordinates == explicit.coordinates
    assert with_none.final_energy_ev == explicit.final_energy_ev


def test_final_single_point_reports_the_returned_geometry(water_run):
    r = water_run
    assert r.converged and r.cycles > 2
    assert r.final_grad_rms < 1.0 and r.final_grad_max < 2.0
    assert r.final_energy_ev < r.initial_energy_ev
    final = r.final_result
    assert isinstance(final, quelm_py.CalculationResult) and final.converged
    assert final.to_dict() == quelm_py.calculate([8, 1, 1], r.coordinates, use_nddo=True).to_dict()
    assert r.final_heat_of_formation_kcal == final.heat_of_formation_kcal
    # Its own cold SCF agrees with the optimiser's warm-started one within SCF tolerances.
    assert r.final_energy_ev == pytest.approx(final.total_energy_ev, abs=1e-5)
    # final_grad_max is the largest per-atom gradient norm, not the largest component.
    norms = atom_norms(final.gradients_kcal_mol_angstrom)
    assert r.final_grad_max == pytest.approx(max(norms), abs=1e-3)
    assert r.final_grad_rms == pytest.approx(math.sqrt(sum(n * n for n in norms) / 3), abs=1e-3)


def test_start_at_a_minimum_returns_at_once(water_run):
    again = quelm_py.optimize([8, 1, 1], water_run.coordinates, use_nddo=True, grad_rms_tol=1.5)
    assert (again.converged, again.cycles) == (True, 0)
    assert again.coordinates == water_run.coordinates
    assert again.initial_energy_ev == again.final_energy_ev


def test_no_cycles_returns_the_input_unconverged():
    r = quelm_py.optimize(*DISTORTED_WATER, max_cycles=0)
    assert (r.converged, r.cycles) == (False, 0)
    assert r.coordinates == DISTORTED_WATER[1]
    assert r.initial_energy_ev == r.final_energy_ev
    assert r.final_grad_rms > 1.0


def test_default_run_minimises_the_two_centre_surface():
    default = quelm_py.optimize(*DISTORTED_WATER)
    explicit = quelm_py.optimize(*DISTORTED_WATER, use_nddo=False)
    nddo = quelm_py.optimize(*DISTORTED_WATER, use_nddo=True)
    assert default.final_energy_ev == explicit.final_energy_ev
    assert default.converged and nddo.converged
    assert abs(default.final_energy_ev - nddo.final_energy_ev) > 0.01
    at_default = quelm_py.calculate([8, 1, 1], default.coordinates, use_nddo=False)
    assert max(atom_norms(at_default.gradients_kcal_mol_angstrom)) < 2.0


# Tight runs on calculate's own surface reach the minimum ASE's BFGS finds through the ASE
# calculator (fmax 1e-3 eV/Å): energies within 0.01 kcal/mol.
@pytest.mark.skipif(not package_available("ase"), reason="needs ASE")
@pytest.mark.parametrize("molecule", [DISTORTED_WATER, ETHANOL, DIFLUOROMETHANE])
def test_same_minimum_as_ase_bfgs(molecule):
    from ase import Atoms
    from ase.optimize import BFGS

    atomic_numbers, coordinates = molecule
    ours = quelm_py.optimize(
        atomic_numbers, coordinates, use_nddo=True, grad_rms_tol=0.02, grad_max_tol=0.04
    )
    assert ours.converged

    atoms = Atoms(numbers=atomic_numbers, positions=coordinates)
    atoms.calc = quelm_py.QuelmASECalculator(method="PM6")
    assert BFGS(atoms, logfile=None).run(fmax=1e-3, steps=300)
    difference_kcal = (ours.final_energy_ev - atoms.get_potential_energy()) * KCAL_MOL_PER_EV
    assert abs(difference_kcal) < 0.01
