"""transition_state(): validation and its messages, the result class, the saddle it finds
(checked with an independent Hessian from frequencies()), and the max_cycles=0 report."""

import pytest
from conftest import H2

import quelm_py

# H bridging C and N: a rough guess of the HCN ⇌ HNC saddle.
HCN_BRIDGE = ([6, 7, 1], [[0.0, 0.0, 0.0], [1.18, 0.0, 0.0], [0.5, 1.05, 0.0]])
UNSUPPORTED_XYZ = (
    "Unsupported semi-empirical method: 'XYZ'. Supported methods: PM7, PM6, AM1, RM1, PM3, MNDO"
)
OPEN_SHELL = (
    "Open-shell radical detected (1 valence electrons). Closed-shell RHF requires an even "
    "number of valence electrons (requires UHF/ROHF)."
)
KEYS = [
    "converged",
    "cycles",
    "final_energy_ev",
    "final_heat_of_formation_kcal",
    "initial_grad_rms",
    "final_grad_rms",
    "final_grad_max",
    "ts_mode_eigenvalue",
    "ts_mode_index",
    "coordinates",
    "final_result",
]


@pytest.mark.parametrize(
    "atomic_numbers, coordinates, kwargs, message",
    [
        ([], [], {"method": "xyz"}, "atomic_numbers cannot be empty"),
        ([1, 1], [[0, 0, 0]], {"method": "xyz"}, "Coordinate count mismatch"),
        (
            *H2,
            {"method": "xyz"},
            UNSUPPORTED_XYZ,
        ),
        (
            [26, 26],
            [[0, 0, 0], [0, 0, 2]],
            {"method": "am1"},
            "Unsupported element Z=26 for semi-empirical method 'am1'",
        ),
        ([1], [[0, 0, 0]], {}, OPEN_SHELL),
        (
            *H2,
            {"target_mode": 6},
            "target_mode 6 is out of range: the molecule has 6 Cartesian modes (0 to 5)",
        ),
    ],
    ids=["empty", "mismatch", "method", "element", "open-shell", "target-mode"],
)
def test_validation_order_and_messages(atomic_numbers, coordinates, kwargs, message):
    with pytest.raises(ValueError) as caught:
        quelm_py.transition_state(atomic_numbers, coordinates, **kwargs)
    assert str(caught.value) == message


def test_finds_the_hcn_saddle_with_one_imaginary_frequency():
    assert quelm_py.transition_state.__text_signature__ == (
        '(atomic_numbers, coordinates, method="PM6", max_cycles=100, grad_rms_tol=0.1, '
        "grad_max_tol=0.2, trust_radius=0.1, target_mode=None, use_nddo=False)"
    )
    result = quelm_py.transition_state(
        *HCN_BRIDGE, use_nddo=True, max_cycles=None, target_mode=None
    )
    assert result.converged
    assert 0 < result.cycles <= 100
    assert result.ts_mode_eigenvalue < 0.0
    assert result.final_grad_rms < 0.1 and result.final_grad_max < 0.2
    assert result.final_result.total_energy_ev == pytest.approx(result.final_energy_ev, abs=1e-5)
    assert result.final_heat_of_formation_kcal == result.final_result.heat_of_formation_kcal
    modes = quelm_py.frequencies(HCN_BRIDGE[0], result.coordinates, use_nddo=True)
    assert sum(nu < 0 for nu in modes.vibrational_frequencies_cm1) == 1
    assert modes.is_transition_state

    assert list(result.to_dict()) == KEYS
    assert result.to_dict()["final_result"] == result.final_result.to_dict()
    assert repr(result) == (
        f"<TransitionStatePyResult converged=true cycles={result.cycles} "
        f"E_final={result.final_energy_ev:.6f} eV, dHf={result.final_heat_of_formation_kcal:.3f} "
        f"kcal/mol, ts_mode_val={result.ts_mode_eigenvalue:.3f}, "
        f"grad_rms={result.final_grad_rms:.4f}>"
    )
    with pytest.raises(TypeError) as caught:
        quelm_py.TransitionStatePyResult()
    assert str(caught.value) == "No constructor defined for TransitionStatePyResult"


@pytest.mark.parametrize("target_mode", [None, 2])
def test_zero_cycles_report_the_mode_of_the_starting_hessian(target_mode):
    # The starting Hessian is the plain Cartesian one; frequencies() builds the same finite
    # differences with tighter SCFs. The search follows internal motions only: translations
    # and rotations (about the centroid) are projected out, here independently with NumPy.
    np = pytest.importorskip("numpy")
    result = quelm_py.transition_state(*HCN_BRIDGE, max_cycles=0, target_mode=target_mode)
    index = 0 if target_mode is None else target_mode
    assert not result.converged
    assert result.cycles == 0
    assert result.coordinates == HCN_BRIDGE[1]
    assert result.ts_mode_index == index
    hessian = np.array(quelm_py.frequencies(*HCN_BRIDGE, project_external=False).cartesian_hessian)
    x = np.array(HCN_BRIDGE[1])
    r = x - x.mean(axis=0)
    rigid = [np.tile(np.eye(3)[k], 3) for k in range(3)]
    rigid += [np.cross(np.eye(3)[k], r).ravel() for k in range(3)]
    q, _ = np.linalg.qr(np.array(rigid).T)
    p = np.eye(9) - q @ q.T
    internal = np.linalg.eigvalsh(p @ hessian @ p + 1000.0 * q @ q.T)
    assert result.ts_mode_eigenvalue == pytest.approx(internal[index], abs=0.05)
