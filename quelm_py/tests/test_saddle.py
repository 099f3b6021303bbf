"""saddle: two-ended transition-state search through the module function."""

import pytest
from conftest import H2

import quelm_py

# HCN and HNC, each bent slightly in the same plane.
NUMBERS = [6, 7, 1]
HCN = [[0.0, 0.0, 0.0], [1.16, 0.0, 0.0], [-1.07, 0.05, 0.0]]
HNC = [[0.0, 0.0, 0.0], [1.17, 0.0, 0.0], [2.17, 0.05, 0.0]]


@pytest.mark.parametrize(
    "args, kwargs, message",
    [
        (([], [], []), {}, "atomic_numbers cannot be empty"),
        (
            (NUMBERS, HCN[:2], HNC),
            {},
            "Mismatch between atomic_numbers (3) and reactant_coords (2)",
        ),
        ((NUMBERS, HCN, HNC[:1]), {}, "Mismatch between atomic_numbers (3) and product_coords (1)"),
        (
            (NUMBERS, HCN, HNC),
            {"method": "gfn2"},
            "Unsupported semi-empirical method: 'GFN2'. Supported methods: PM7, PM6, AM1, RM1, "
            "PM3, MNDO",
        ),
        (
            (NUMBERS, HCN, HNC),
            {"convergence_distance": 0.0},
            "convergence_distance must be positive",
        ),
        (
            ([1, 1, 1], HCN, HNC),
            {},
            "Open-shell radical detected (3 valence electrons). Closed-shell RHF requires an even "
            "number of valence electrons (requires UHF/ROHF).",
        ),
    ],
)
def test_refusals_carry_their_messages(args, kwargs, message):
    with pytest.raises(ValueError) as error:
        quelm_py.saddle(*args, **kwargs)
    assert str(error.value) == message


def test_finds_the_transition_state_search_saddle_with_one_imaginary_mode():
    result = quelm_py.saddle(NUMBERS, HCN, HNC)
    assert result.converged and result.ts_refinement is not None
    assert result.ts_refinement.converged
    direct = quelm_py.transition_state(
        NUMBERS, [[0.0, 0.0, 0.0], [1.18, 0.0, 0.0], [0.55, 1.05, 0.0]], use_nddo=True
    )
    assert result.transition_state_heat_of_formation_kcal == pytest.approx(
        direct.final_result.heat_of_formation_kcal, abs=0.1
    )
    modes = quelm_py.frequencies(NUMBERS, result.transition_state_coordinates, use_nddo=True)
    assert sum(f < 0 for f in modes.vibrational_frequencies_cm1) == 1
    # The barriers are measured from the two starting structures.
    ends = [quelm_py.calculate(NUMBERS, xyz).heat_of_formation_kcal for xyz in (HCN, HNC)]
    assert result.barrier_forward_kcal - result.barrier_reverse_kcal == pytest.approx(
        ends[1] - ends[0], abs=1e-4
    )
    assert result.final_result.total_energy_ev == pytest.approx(
        result.transition_state_energy_ev, abs=1e-5
    )
    distances = [point.distance for point in result.trajectory]
    assert distances == sorted(distances, reverse=True)


def test_result_layout_without_refinement():
    result = quelm_py.saddle(
        *H2[:1],
        H2[1],
        [[0.0, 0.0, 0.0], [0.0, 0.0, 1.2]],
        refine_with_ts=False,
        max_cycles=1,
        method=None,
        use_nddo=None,
    )
    assert result.ts_refinement is None
    assert not result.converged and result.num_cycles == 1
    as_dict = result.to_dict()
    assert list(as_dict) == [
        "converged",
        "num_cycles",
        "final_distance",
        "transition_state_coordinates",
        "transition_state_energy_ev",
        "transition_state_heat_of_formation_kcal",
        "barrier_forward_kcal",
        "barrier_reverse_kcal",
        "trajectory",
        "final_result",
        "ts_refinement",
    ]
    assert as_dict["ts_refinement"] is None
    assert as_dict["final_result"] == result.final_result.to_dict()
    point = result.trajectory[0]
    assert list(as_dict["trajectory"][0]) == [
        "cycle",
        "moving_structure",
        "distance",
        "heat_of_formation_kcal",
        "total_energy_ev",
        "grad_rms",
        "coordinates",
    ]
    assert repr(point) == (
        f"<SaddlePointPy cycle=1 moving_structure={point.moving_structure} "
        f"dist={point.distance:.3f} A, dHf={point.heat_of_formation_kcal:.3f} kcal/mol, "
        f"grad_rms={point.grad_rms:.4f}>"
    )
    assert repr(result) == (
        f"<SaddlePyResult converged=false cycles=1 final_dist={result.final_distance:.4f} A, "
        f"TS dHf={result.transition_state_heat_of_formation_kcal:.3f} kcal/mol, "
        f"barrier_fwd={result.barrier_forward_kcal:.3f} kcal/mol>"
    )
