"""pbc(): the periodic Bloch SCF, checked against the limits it must reach (long finite
oligomers from calculate, isolated molecules), sum rules of its bands and density of states,
and its argument rules and messages."""

import math

import pytest

import quelm_py

PROPERTY_NAMES = [
    "converged",
    "total_energy_per_cell_ev",
    "electronic_energy_per_cell_ev",
    "nuclear_repulsion_per_cell_ev",
    "heat_of_formation_kcal_mol",
    "vbm_energy_ev",
    "cbm_energy_ev",
    "direct_bandgap_ev",
    "indirect_bandgap_ev",
    "band_energies_ev",
    "dos_energies_ev",
    "iterations",
    "dos_values",
]

# All-trans polyethylene along x: C–C 1.53 Å, C–H 1.09 Å, H–C–H 107.5°, 2.55 Å per C2H4.
PE_STEP = 1.275
PE_Y = 0.5 * math.sqrt(1.53**2 - PE_STEP**2)
PE_HY = 1.09 * math.cos(math.radians(53.75))
PE_HZ = 1.09 * math.sin(math.radians(53.75))


def polyethylene(n_carbons, terminated):
    """The CH2 units 0..n−1 of the zigzag chain; H-terminated along the zigzag if asked."""
    numbers, coords = [], []
    for c in range(n_carbons):
        sign = 1 if c % 2 == 0 else -1
        x, y = c * PE_STEP, sign * PE_Y
        numbers += [6, 1, 1]
        coords += [[x, y, 0.0], [x, y + sign * PE_HY, PE_HZ], [x, y + sign * PE_HY, -PE_HZ]]
    if terminated:
        # Each end H sits where the next carbon would be, pulled in to 1.09 Å.
        scale = 1.09 / 1.53
        last = n_carbons - 1
        for c, neighbour in ((0, -1), (last, last + 1)):
            x, y = coords[3 * c][0], coords[3 * c][1]
            nx, ny = neighbour * PE_STEP, (PE_Y if neighbour % 2 == 0 else -PE_Y)
            numbers.append(1)
            coords.append([x + scale * (nx - x), y + scale * (ny - y), 0.0])
    return numbers, coords


POLYETHYLENE_CELL = (*polyethylene(2, False), [[2 * PE_STEP, 0.0, 0.0]])

# Hydrogen fluoride in a straight chain along x: F–H 0.93 Å, H···F 1.57 Å.
HF_PERIOD = 2.5


def hf_chain(n_molecules):
    numbers, coords = [], []
    for m in range(n_molecules):
        numbers += [9, 1]
        coords += [[m * HF_PERIOD, 0.0, 0.0], [m * HF_PERIOD + 0.93, 0.0, 0.0]]
    return numbers, coords


HF_CELL = (*hf_chain(1), [[HF_PERIOD, 0.0, 0.0]])
WATER = ([8, 1, 1], [[0.0, 0.0, 0.1173], [0.0, 0.7572, -0.4692], [0.0, -0.7572, -0.4692]])
H2 = ([1, 1], [[0.0, 0.0, 0.0], [0.0, 0.0, 0.74]])


def run_pbc(cell, **kwargs):
    numbers, coords, vectors = cell
    return quelm_py.pbc(numbers, coords, vectors, **kwargs)


def increment(build, n, step, method):
    """E(n + step) − E(n) of finite oligomers: the energy of `step` more units."""
    energies = [
        quelm_py.calculate(*build(size), method=method, max_iter=200).total_energy_ev
        for size in (n, n + step)
    ]
    return energies[1] - energies[0]


def polyethylene_oligomer(n):
    return polyethylene(n, True)


# (name, cell, oligomer builder, oligomer size n, units per cell, method, cluster of the
# converged run, error bound, eV). The polar HF chain needs the longer cluster: its
# dipole–dipole lattice sum converges as 1/m².
OLIGOMER_LIMITS = [
    ("polyethylene PM6", POLYETHYLENE_CELL, polyethylene_oligomer, 8, 2, "PM6", 9, 5e-4),
    ("polyethylene PM7", POLYETHYLENE_CELL, polyethylene_oligomer, 8, 2, "PM7", 9, 5e-4),
    ("polyethylene AM1", POLYETHYLENE_CELL, polyethylene_oligomer, 8, 2, "AM1", 9, 5e-4),
    ("polyethylene MNDO", POLYETHYLENE_CELL, polyethylene_oligomer, 8, 2, "MNDO", 9, 5e-4),
    ("HF chain PM6", HF_CELL, hf_chain, 10, 1, "PM6", 21, 3e-3),
    ("HF chain AM1", HF_CELL, hf_chain, 10, 1, "AM1", 21, 3e-3),
]


@pytest.mark.parametrize(
    "name, cell, build, n, units, method, mers, bound",
    OLIGOMER_LIMITS,
    ids=[c[0] for c in OLIGOMER_LIMITS],
)
def test_energy_per_cell_converges_to_the_oligomer_increment(
    name, cell, build, n, units, method, mers, bound
):
    # E(n + units) − E(n): the energy one more cell adds to a long oligomer. Each model's
    # own core repulsion enters the lattice sum, so PM6 and PM7 reach it as MNDO does.
    limit = increment(build, n, units, method)
    coarse = run_pbc(cell, method=method, mers=[3, 1, 1], k_grid=[2, 1, 1])
    fine = run_pbc(cell, method=method, mers=[mers, 1, 1], k_grid=[16, 1, 1])
    assert coarse.converged and fine.converged
    assert abs(fine.total_energy_per_cell_ev - limit) < bound
    assert abs(coarse.total_energy_per_cell_ev - limit) > 2 * abs(
        fine.total_energy_per_cell_ev - limit
    )


def test_a_wide_cell_needs_only_gamma():
    cell = (*WATER, [[10.0, 0.0, 0.0]])
    gamma = run_pbc(cell, mers=[3, 1, 1], k_grid=[1, 1, 1])
    dense = run_pbc(cell, mers=[3, 1, 1], k_grid=[16, 1, 1])
    assert gamma.total_energy_per_cell_ev == pytest.approx(dense.total_energy_per_cell_ev, abs=1e-5)


@pytest.mark.parametrize(
    "name, cell, kwargs",
    [
        ("polyethylene", POLYETHYLENE_CELL, {"mers": [5, 1, 1], "k_grid": [8, 1, 1]}),
        ("HF chain", HF_CELL, {"mers": [5, 1, 1], "k_grid": [8, 1, 1], "method": "AM1"}),
        (
            "water sheet",
            (*WATER, [[3.2, 0.0, 0.0], [0.0, 3.4, 0.0]]),
            {"mers": [3, 3, 1], "k_grid": [4, 4, 1], "band_points": 12},
        ),
    ],
    ids=["polyethylene", "HF chain", "water sheet"],
)
def test_band_edges_gaps_and_density_of_states_agree(name, cell, kwargs):
    result = run_pbc(cell, **kwargs)
    assert result.converged
    numbers = cell[0]
    n_electrons = sum({1: 1, 6: 4, 8: 6, 9: 7}[z] for z in numbers)
    n_occupied = n_electrons // 2
    bands = result.band_energies_ev
    assert all(point == sorted(point) for point in bands)
    valence = [point[n_occupied - 1] for point in bands]
    conduction = [point[n_occupied] for point in bands]
    assert result.vbm_energy_ev == max(valence)
    assert result.cbm_energy_ev == min(conduction)
    assert result.indirect_bandgap_ev == max(min(conduction) - max(valence), 0.0)
    assert result.direct_bandgap_ev == pytest.approx(
        min(c - v for c, v in zip(conduction, valence))
    )
    assert result.direct_bandgap_ev >= result.indirect_bandgap_ev > 0

    # Twice the states below the gap are the valence electrons of one cell; all the states
    # are one per band.
    energies, dos = result.dos_energies_ev, result.dos_values
    assert len(energies) == len(dos) == 300
    step = energies[1] - energies[0]
    midgap = 0.5 * (result.vbm_energy_ev + result.cbm_energy_ev)
    below = sum(value for e, value in zip(energies, dos) if e < midgap) * step
    assert 2 * below == pytest.approx(n_electrons, rel=5e-3)
    assert sum(dos) * step == pytest.approx(len(bands[0]), rel=5e-3)
    assert energies[0] == pytest.approx(min(min(p) for p in bands) - 2.0)
    assert energies[-1] + step == pytest.approx(max(max(p) for p in bands) + 2.0)


def test_energy_parts_heat_and_iterations_are_consistent():
    result = run_pbc(POLYETHYLENE_CELL, mers=[5, 1, 1], k_grid=[8, 1, 1])
    assert result.total_energy_per_cell_ev == pytest.approx(
        result.electronic_energy_per_cell_ev + result.nuclear_repulsion_per_cell_ev, abs=1e-9
    )
    # The heat per cell is the heat increment of the oligomers, like the energy.
    heats = [quelm_py.calculate(*polyethylene(n, True)).heat_of_formation_kcal for n in (6, 8)]
    assert result.heat_of_formation_kcal_mol == pytest.approx(heats[1] - heats[0], abs=0.3)
    assert type(result.iterations) is int and 3 <= result.iterations <= 100


@pytest.mark.parametrize("max_iter", [0, 1, 2])
def test_too_few_iterations_never_converge(max_iter):
    result = run_pbc(HF_CELL, mers=[3, 1, 1], k_grid=[4, 1, 1], max_iter=max_iter)
    assert result.converged is False
    assert result.iterations == max_iter
    if max_iter == 0:
        assert result.total_energy_per_cell_ev == 0.0
        assert result.electronic_energy_per_cell_ev == 0.0


@pytest.mark.parametrize(
    "vectors, band_points, expected_points",
    [
        ([[2.5, 0, 0]], 4, 11),
        ([[2.5, 0, 0], [0, 4, 0]], None, 121),
        ([[2.5, 0, 0], [0, 4, 0], [0, 0, 4]], 4, 41),
    ],
    ids=["1D", "2D", "3D"],
)
def test_band_path_length_and_the_defaults_of_higher_dimensions(
    vectors, band_points, expected_points
):
    # Without mers and k_grid a 2D or 3D cell is repeated along its first vector only.
    result = quelm_py.pbc(*H2, vectors, band_points=band_points, max_iter=20)
    assert len(result.band_energies_ev) == expected_points
    assert all(len(point) == 2 for point in result.band_energies_ev)
    # One H2 per cell: one band filled of two, finite edges.
    assert math.isfinite(result.vbm_energy_ev) and math.isfinite(result.cbm_energy_ev)


def test_full_bands_have_no_edges():
    # Helium: one s orbital, two electrons: every band is filled.
    result = quelm_py.pbc([2], [[0, 0, 0]], [[3.0, 0, 0]], mers=[3, 1, 1], k_grid=[2, 1, 1])
    assert result.vbm_energy_ev == -math.inf
    assert result.cbm_energy_ev == math.inf
    assert result.direct_bandgap_ev == math.inf
    assert result.indirect_bandgap_ev == math.inf


def test_an_even_cluster_count_runs_as_the_odd_count_below():
    four = run_pbc(HF_CELL, mers=[4, 1, 1], k_grid=[4, 1, 1])
    three = run_pbc(HF_CELL, mers=[3, 1, 1], k_grid=[4, 1, 1])
    assert four.total_energy_per_cell_ev == three.total_energy_per_cell_ev


@pytest.mark.parametrize(
    "args, kwargs, message",
    [
        (([], [], [[2.5, 0, 0]]), {}, "atomic_numbers must not be empty"),
        (([], [], [[2.5, 0, 0]]), {"method": "XYZ"}, "atomic_numbers must not be empty"),
        (
            ([1, 1], [[0, 0, 0]], [[2.5, 0, 0]]),
            {},
            "atomic_numbers and coordinates must have same length",
        ),
        ((*H2, []), {}, "translation_vectors must have 1, 2, or 3 vectors"),
        (
            (*H2, [[3, 0, 0], [0, 3, 0], [0, 0, 3], [1, 1, 1]]),
            {"method": "xyz"},
            "translation_vectors must have 1, 2, or 3 vectors",
        ),
        (
            (*H2, [[3, 0, 0]]),
            {"method": "pm 6"},
            "Unsupported semi-empirical method: 'PM 6'. "
            "Supported methods: PM7, PM6, AM1, RM1, PM3, MNDO",
        ),
        ((*H2, [[0, 0, 0]]), {}, "1D translation vector length is virtually zero"),
        ((*H2, [[1, 0, 0], [2, 0, 0]]), {}, "2D translation vectors are collinear (area = 0)"),
        (
            (*H2, [[1, 0, 0], [0, 1, 0], [1, 1, 0]]),
            {},
            "3D translation vectors are coplanar (volume = 0)",
        ),
        (
            (*H2, [[3, 0, 0]]),
            {"mers": [0, 1, 1]},
            "mers counts must be positive integers, got (0, 1, 1)",
        ),
        (
            (*H2, [[3, 0, 0]]),
            {"mers": (5, -1, 1)},
            "mers counts must be positive integers, got (5, -1, 1)",
        ),
        (
            (*H2, [[3, 0, 0]]),
            {"k_grid": [4, 1, 0]},
            "k_grid counts must be positive integers, got (4, 1, 0)",
        ),
        ((*H2, [[3, 0, 0]]), {"mers": [5, 1]}, "expected a sequence of length 3 (got 2)"),
    ],
    ids=[
        "empty",
        "empty before method",
        "count mismatch",
        "no vectors",
        "four vectors",
        "method",
        "zero vector",
        "collinear",
        "coplanar",
        "zero mers",
        "negative mers",
        "zero k",
        "two counts",
    ],
)
def test_invalid_input_raises_value_error_with_its_message(args, kwargs, message):
    with pytest.raises(ValueError) as caught:
        quelm_py.pbc(*args, **kwargs)
    assert str(caught.value) == message


@pytest.mark.parametrize(
    "kwargs, error, message",
    [
        (
            {"mers": "555"},
            TypeError,
            "argument 'mers': 'str' object cannot be converted to 'Sequence'",
        ),
        (
            {"k_grid": 16},
            TypeError,
            "argument 'k_grid': 'int' object cannot be converted to 'Sequence'",
        ),
        ({"max_iter": -1}, OverflowError, None),
        ({"mers": [2**40, 1, 1]}, OverflowError, None),
        (
            {"use_nddo": 1},
            TypeError,
            "argument 'use_nddo': 'int' object cannot be converted to 'bool'",
        ),
    ],
    ids=["str mers", "int k_grid", "negative max_iter", "huge mers", "int flag"],
)
def test_argument_conversion_errors(kwargs, error, message):
    with pytest.raises(error) as caught:
        quelm_py.pbc(*H2, [[3.0, 0, 0]], **kwargs)
    if message is not None:
        assert str(caught.value) == message


def test_none_selects_every_default():
    explicit = quelm_py.pbc(
        *HF_CELL,
        method="PM6",
        mers=[5, 1, 1],
        k_grid=[16, 1, 1],
        use_nddo=True,
        max_iter=100,
        band_points=40,
    )
    defaults = quelm_py.pbc(
        *HF_CELL,
        method=None,
        mers=None,
        k_grid=None,
        use_nddo=None,
        max_iter=None,
        band_points=None,
    )
    assert defaults.total_energy_per_cell_ev == explicit.total_energy_per_cell_ev
    assert defaults.band_energies_ev == explicit.band_energies_ev
    assert len(defaults.band_energies_ev) == 41


def test_simplified_hamiltonian_runs_and_differs():
    nddo = run_pbc(HF_CELL, mers=[3, 1, 1], k_grid=[4, 1, 1])
    simple = run_pbc(HF_CELL, mers=[3, 1, 1], k_grid=[4, 1, 1], use_nddo=False)
    assert simple.converged
    assert simple.nuclear_repulsion_per_cell_ev == nddo.nuclear_repulsion_per_cell_ev
    assert simple.total_energy_per_cell_ev != pytest.approx(nddo.total_energy_per_cell_ev, abs=0.1)


def test_function_signature_and_result_class():
    assert quelm_py.pbc.__text_signature__ == (
        '(atomic_numbers, coordinates, translation_vectors, method="PM6", mers=None, '
        "k_grid=None, use_nddo=True, max_iter=100, band_points=40)"
    )
    assert quelm_py.pbc.__doc__ is None
    cls = quelm_py.PbcResultPy
    assert cls.__module__ == "quelm_py"
    assert cls.__doc__ == "Periodic Boundary Condition calculation and band structure results."
    properties = [
        name for name, value in vars(cls).items() if type(value).__name__ == "getset_descriptor"
    ]
    assert properties == PROPERTY_NAMES
    assert all(getattr(cls, name).__doc__ is None for name in PROPERTY_NAMES)
    assert not hasattr(cls, "to_dict")
    with pytest.raises(TypeError) as caught:
        cls()
    assert str(caught.value) == "No constructor defined for PbcResultPy"
    names = list(vars(quelm_py))
    assert names.index("CalculationResult") < names.index("PbcResultPy") < names.index("calculate")
    assert names.index("calculate") < names.index("pbc") < names.index("from_rdkit")
