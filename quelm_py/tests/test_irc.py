"""irc: intrinsic reaction coordinates through the module function."""

import math

import pytest
from conftest import KCAL_MOL_PER_EV, WATER

import quelm_py

# A bent H–C–N guess between HCN and HNC; transition_state refines it.
HCN_SADDLE_GUESS = ([6, 7, 1], [[0.0, 0.0, 0.0], [1.18, 0.0, 0.0], [0.55, 1.05, 0.0]])


def planar_ammonia():
    c, s = math.cos(2 * math.pi / 3), math.sin(2 * math.pi / 3)
    return [7, 1, 1, 1], [[0.0, 0.0, 0.0], [1.0, 0.0, 0.0], [c, s, 0.0], [c, -s, 0.0]]


@pytest.mark.parametrize(
    "args, kwargs, message",
    [
        (([], []), {}, "atomic_numbers cannot be empty"),
        (([8, 1, 1], WATER[1][:2]), {}, "Mismatch between atomic_numbers (3) and coordinates (2)"),
        (
            WATER,
            {"direction": "Backward"},
            "Unknown IRC direction 'backward'. Supported: 'both', 'forward', 'reverse'",
        ),
        (
            WATER,
            {"method": "pm8"},
            "Unsupported semi-empirical method: 'PM8'. Supported methods: PM7, PM6, AM1, RM1, "
            "PM3, MNDO",
        ),
    ],
)
def test_refusals_carry_their_messages(args, kwargs, message):
    with pytest.raises(ValueError) as error:
        quelm_py.irc(*args, max_points=0, **kwargs)
    assert str(error.value) == message


@pytest.mark.parametrize(
    "direction, ts_index, n_points",
    [("FWD", 0, 3), ("forward", 0, 3), ("Rev", 2, 3), ("reverse", 2, 3), ("BOTH", 2, 5)],
)
def test_direction_spellings_select_the_branches(direction, ts_index, n_points):
    result = quelm_py.irc(*planar_ammonia(), max_points=2, direction=direction, method="AM1")
    assert result.ts_point_index == ts_index
    assert len(result.points) == n_points
    s = [point.path_coordinate for point in result.points]
    assert s == sorted(s) and s[ts_index] == 0.0
    assert all(abs(abs(x) - 0.1 * round(abs(x) / 0.1)) < 1e-12 for x in s)


def test_to_dict_and_repr():
    result = quelm_py.irc(*planar_ammonia(), max_points=1, method="AM1")
    as_dict = result.to_dict()
    assert list(as_dict) == ["ts_point_index", "forward_converged", "reverse_converged", "points"]
    assert list(as_dict["points"][0]) == [
        "path_coordinate",
        "energy_ev",
        "heat_of_formation_kcal",
        "coordinates",
        "cartesian_gradient_rms",
        "mass_weighted_gradient_rms",
    ]
    assert repr(result) == "<IrcPyResult points=3 ts_idx=1 fwd_conv=false rev_conv=false>"
    first, ts = result.points[0], result.points[1]
    assert repr(ts).startswith("<IrcPoint s=+0.0000 E=")
    assert repr(first) == (
        f"<IrcPoint s=-0.1000 E={first.energy_ev:.6f} eV, dHf={first.heat_of_formation_kcal:.3f}"
        f" kcal/mol, grad_rms={first.cartesian_gradient_rms:.4f}>"
    )


def test_hcn_isomerisation_path_ends_in_both_minima():
    numbers = HCN_SADDLE_GUESS[0]
    saddle = quelm_py.transition_state(*HCN_SADDLE_GUESS)
    assert saddle.converged
    # Steps of 0.05 amu^½·Å: with the default 0.1 the branches zigzag across the narrow H–C
    # valley and the energy-rise rule stops them about 0.2 kcal/mol above the minima.
    path = quelm_py.irc(numbers, saddle.coordinates, max_points=200, step_size=0.05)
    assert path.forward_converged and path.reverse_converged
    energies = [point.energy_ev for point in path.points]
    ts = path.ts_point_index
    # Downhill both ways (the last point of a branch may be the one that rose).
    assert all(a > b for a, b in zip(energies[ts:-2], energies[ts + 1 : -1]))
    assert all(a < b for a, b in zip(energies[1:ts], energies[2 : ts + 1]))
    ends = []
    # The lowest point of each branch (the last one may be the point that rose).
    for end in (path.points[1], path.points[-2]):
        minimum = quelm_py.optimize(numbers, end.coordinates, grad_rms_tol=0.01, grad_max_tol=0.02)
        assert abs(minimum.final_energy_ev - end.energy_ev) * KCAL_MOL_PER_EV < 0.05
        ends.append(minimum)

    # One end is HCN (H on carbon), the other HNC (H on nitrogen), far apart in energy.
    def hydrogen_partner(coordinates):
        distance = [math.dist(coordinates[2], coordinates[i]) for i in (0, 1)]
        return "C" if distance[0] < distance[1] else "N"

    assert sorted(hydrogen_partner(m.coordinates) for m in ends) == ["C", "N"]
    assert abs(ends[0].final_energy_ev - ends[1].final_energy_ev) > 0.2
