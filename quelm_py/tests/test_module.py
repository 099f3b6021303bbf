"""The module object: registration, the internal-error type, argument conversion and the
validation every function shares (checked through `calculate`, whose validation runs
before any engine work, so none of these cases starts an SCF)."""

import ctypes
import inspect

import pytest

import quelm_py

OPEN_SHELL = (
    "Open-shell radical detected ({} valence electrons). Closed-shell RHF requires an even "
    "number of valence electrons (requires UHF/ROHF)."
)
UNSUPPORTED_METHOD = (
    "Unsupported semi-empirical method: '{}'. Supported methods: PM7, PM6, AM1, RM1, PM3, MNDO"
)
ORIGIN = [0.0, 0.0, 0.0]


def calculate_error(*args, **kwargs):
    with pytest.raises(BaseException) as caught:
        quelm_py.calculate(*args, **kwargs)
    return type(caught.value), str(caught.value)


def test_module_docstring():
    assert quelm_py.__doc__ == "QUELMOR Python Module"


def test_classes_functions_and_adapters_are_registered_in_order():
    names = list(vars(quelm_py))
    expected = ["CalculationResult", "calculate", "from_rdkit", "from_ase", "QuelmASECalculator"]
    expected.append("QuelmPotential")
    positions = [names.index(name) for name in expected]
    assert positions == sorted(positions)
    if "QuelmEnergyFunction" in names:
        assert (
            names.index("QuelmASECalculator")
            < names.index("QuelmEnergyFunction")
            < names.index("QuelmPotential")
        )
    assert isinstance(quelm_py.CalculationResult, type)
    assert quelm_py.CalculationResult.__module__ == "quelm_py"
    assert quelm_py.CalculationResult.__doc__ == (
        "Calculation results containing quantum chemical properties and analytical gradients."
    )


@pytest.mark.parametrize(
    "args, kwargs", [((), {}), ((1, 2), {}), ((), {"total_energy_ev": 1.0})], ids=str
)
def test_result_class_has_no_constructor(args, kwargs):
    with pytest.raises(TypeError) as caught:
        quelm_py.CalculationResult(*args, **kwargs)
    assert str(caught.value) == "No constructor defined for CalculationResult"


def test_internal_error_is_a_base_exception_not_an_exception():
    assert issubclass(quelm_py.InternalError, BaseException)
    assert not issubclass(quelm_py.InternalError, Exception)


def test_second_initialisation_in_the_same_process_raises_import_error():
    init = ctypes.PyDLL(quelm_py.__file__).PyInit_quelm_py
    init.restype = ctypes.py_object
    with pytest.raises(ImportError):
        init()
    # The module already imported keeps working.
    assert calculate_error([1], [ORIGIN]) == (ValueError, OPEN_SHELL.format(1))


def test_calculate_signature_and_docstring():
    assert quelm_py.calculate.__text_signature__ == (
        '(atomic_numbers, coordinates, method="PM6", cosmo_eps=None, dispersion=None, '
        "h_bonds=False, use_nddo=True, max_iter=60, energy_tol_ev=1e-7, density_tol=1e-6, "
        "level_shift_ev=0.0, damping=0.5)"
    )
    assert quelm_py.calculate.__doc__.splitlines() == [
        "Compute single-point semi-empirical quantum chemical properties and analytical gradients.",
        "",
        "Parameters:",
        "- `atomic_numbers`: list of integer atomic numbers (e.g. `[6, 1, 1, 1, 35]`)",
        "- `coordinates`: list of 3D coordinates in Ångströms (e.g. `[[0.0, 0.0, 0.0], ...]`)",
        '- `method`: Semi-empirical Hamiltonian ("PM6", "AM1", "RM1", "PM3", "MNDO"; '
        'default: "PM6")',
        "- `cosmo_eps`: Optional solvent dielectric constant for COSMO solvation "
        "(e.g. 78.4 for water)",
        '- `dispersion`: Optional empirical dispersion ("PM6-DH+", "PM7")',
        "- `h_bonds`: Enable H4 hydrogen bonding and H-H core repulsion corrections "
        "(default: false)",
        "- `use_nddo`: Enable full NDDO 22 multipoles and rotation (default: true)",
        "- `max_iter`: Maximum SCF iterations (default: 60)",
        "- `energy_tol_ev`: Energy convergence threshold in eV (default: 1e-7)",
        "- `density_tol`: Density matrix convergence threshold (default: 1e-6)",
    ]
    parameters = inspect.signature(quelm_py.calculate).parameters
    assert parameters["method"].default == "PM6"
    assert parameters["max_iter"].default == 60


# Method names: which model a name selects shows in which elements it covers. Nitrogen
# (5 valence electrons) has PM6, AM1 and RM1 parameters but none in PM7; boron (3) is in
# AM1 but not in RM1. An accepted name therefore ends in the odd-electron message for a
# lone N or B atom, a rejected or different model in another message.
@pytest.mark.parametrize(
    "method, z, message",
    [
        ("pm6", 7, OPEN_SHELL.format(5)),
        ("Pm6", 7, OPEN_SHELL.format(5)),
        ("PM6", 7, OPEN_SHELL.format(5)),
        ("am1", 5, OPEN_SHELL.format(3)),
        ("mNdO", 5, OPEN_SHELL.format(3)),
        ("pm3", 5, OPEN_SHELL.format(3)),
        ("rm1", 5, "Unsupported element Z=5 for semi-empirical method 'rm1'"),
        ("Pm7", 7, "Unsupported element Z=7 for semi-empirical method 'Pm7'"),
        ("PM6 ", 7, UNSUPPORTED_METHOD.format("PM6 ")),
        (" PM6", 7, UNSUPPORTED_METHOD.format(" PM6")),
        ("xyz", 7, UNSUPPORTED_METHOD.format("XYZ")),
        ("", 7, UNSUPPORTED_METHOD.format("")),
        # Full Unicode case mapping: ß upper-cases to SS, full-width letters stay full-width.
        ("pmß", 7, UNSUPPORTED_METHOD.format("PMSS")),
        ("ｐｍ６", 7, UNSUPPORTED_METHOD.format("ＰＭ６")),
        ("ǆ1", 7, UNSUPPORTED_METHOD.format("Ǆ1")),
    ],
)
def test_method_names_are_upper_cased_and_matched_exactly(method, z, message):
    assert calculate_error([z], [ORIGIN], method=method) == (ValueError, message)


def test_unsupported_method_message_keeps_unencodable_text():
    # A lone surrogate is a valid str; it must be quoted back, not crash the encoder.
    _, message = calculate_error([7], [ORIGIN], method="pm\ud800")
    assert message == UNSUPPORTED_METHOD.format("PM\ud800")


@pytest.mark.parametrize(
    "atomic_numbers, coordinates, kwargs, message",
    [
        # Empty before a bad method, a count mismatch before a bad method, a bad method
        # before an unsupported element, an unsupported element before an odd count.
        ([], [], {"method": "bad"}, "atomic_numbers cannot be empty"),
        ([], [ORIGIN], {}, "atomic_numbers cannot be empty"),
        (
            [1, 1],
            [ORIGIN],
            {"method": "bad"},
            "Length of atomic_numbers (2) does not match coordinates (1)",
        ),
        (
            [1],
            [ORIGIN, ORIGIN, ORIGIN],
            {},
            "Length of atomic_numbers (1) does not match coordinates (3)",
        ),
        ([26, 26], [ORIGIN, [0, 0, 2.0]], {"method": "bad"}, UNSUPPORTED_METHOD.format("BAD")),
        (
            [26, 26],
            [ORIGIN, [0, 0, 2.0]],
            {"method": "am1"},
            "Unsupported element Z=26 for semi-empirical method 'am1'",
        ),
        (
            [1, 26, 0],
            [ORIGIN, [0, 0, 2.0], [0, 0, 4.0]],
            {"method": "AM1"},
            "Unsupported element Z=26 for semi-empirical method 'AM1'",
        ),
        ([1], [ORIGIN], {}, OPEN_SHELL.format(1)),
        ([8, 1], [ORIGIN, [0, 0, 1.0]], {"method": "MNDO"}, OPEN_SHELL.format(7)),
        # Validation comes before every other check, including the COSMO and dispersion ones.
        ([], [], {"cosmo_eps": 78.4, "dispersion": "xyz"}, "atomic_numbers cannot be empty"),
        ([1], [ORIGIN], {"cosmo_eps": 78.4, "dispersion": "xyz"}, OPEN_SHELL.format(1)),
    ],
)
def test_validation_order_and_messages(atomic_numbers, coordinates, kwargs, message):
    assert calculate_error(atomic_numbers, coordinates, **kwargs) == (ValueError, message)


class Sequence3:
    """A user-defined sequence: conversions accept any sequence type, not only lists."""

    def __len__(self):
        return 3

    def __getitem__(self, index):
        if index >= 3:
            raise IndexError(index)
        return 0.5 * index


@pytest.mark.parametrize(
    "atomic_numbers, coordinates, kwargs, error, message",
    [
        ([300], [ORIGIN], {}, OverflowError, None),
        ([256], [ORIGIN], {}, OverflowError, None),
        ([-1], [ORIGIN], {}, OverflowError, None),
        ([10**40], [ORIGIN], {}, OverflowError, None),
        ([1], [[0.0, 0.0]], {}, ValueError, "expected a sequence of length 3 (got 2)"),
        ([1], [[0.0, 0.0, 0.0, 0.0]], {}, ValueError, "expected a sequence of length 3 (got 4)"),
        ([1], [[10**400, 0.0, 0.0]], {}, OverflowError, None),
        ("HH", [ORIGIN], {}, TypeError, None),
        (1, [ORIGIN], {}, TypeError, None),
        ({1: 1}, [ORIGIN], {}, TypeError, None),
        ([1.0], [ORIGIN], {}, TypeError, None),
        (["1"], [ORIGIN], {}, TypeError, None),
        ([1], "xyz", {}, TypeError, None),
        ([1], ["abc"], {}, TypeError, None),
        ([1], [[0.0, 0.0, "x"]], {}, TypeError, None),
        ([1], [[0.0, 0.0, None]], {}, TypeError, None),
        ([1], [0.0], {}, TypeError, None),
        ([1], [ORIGIN], {"method": 6}, TypeError, None),
        ([1], [ORIGIN], {"dispersion": b"PM7"}, TypeError, None),
        ([1], [ORIGIN], {"h_bonds": 1}, TypeError, None),
        ([1], [ORIGIN], {"use_nddo": "yes"}, TypeError, None),
        ([1], [ORIGIN], {"max_iter": -1}, OverflowError, None),
        ([1], [ORIGIN], {"max_iter": 2.0}, TypeError, None),
        ([1], [ORIGIN], {"energy_tol_ev": "tight"}, TypeError, None),
        ([1], [ORIGIN], {"cosmo_eps": [78.4]}, TypeError, None),
    ],
)
def test_argument_conversion_errors(atomic_numbers, coordinates, kwargs, error, message):
    raised, text = calculate_error(atomic_numbers, coordinates, **kwargs)
    assert raised is error
    if message is not None:
        assert text == message
    if error is TypeError:
        # A conversion TypeError names its argument; ValueError and OverflowError pass as is.
        name = next(iter(kwargs), "atomic_numbers" if "atomic" in text else "coordinates")
        assert text.startswith(f"argument '{name}': ")
    else:
        assert not text.startswith("argument '")


NAN, INF = float("nan"), float("inf")
H2_ROWS = [ORIGIN, [0.0, 0.0, 0.74]]


# A NaN or an infinity would run through the engine and come back as NaN energies; the
# conversion refuses it as a ValueError naming the argument (and, for coordinates, the atom).
@pytest.mark.parametrize(
    "coordinates, kwargs, message",
    [
        ([ORIGIN, [0.0, NAN, 0.74]], {}, "atom 1 must have finite coordinates, not nan"),
        ([[INF, 0.0, 0.0], [0.0, 0.0, 0.74]], {}, "atom 0 must have finite coordinates, not inf"),
        ([ORIGIN, (0.0, 0.0, -INF)], {}, "atom 1 must have finite coordinates, not -inf"),
        (H2_ROWS, {"damping": NAN}, "must be a finite number, not nan"),
        (H2_ROWS, {"energy_tol_ev": INF}, "must be a finite number, not inf"),
        (H2_ROWS, {"density_tol": NAN}, "must be a finite number, not nan"),
        (H2_ROWS, {"level_shift_ev": -INF}, "must be a finite number, not -inf"),
        (H2_ROWS, {"cosmo_eps": INF}, "must be a finite number, not inf"),
    ],
)
def test_non_finite_numbers_are_refused_naming_the_argument(coordinates, kwargs, message):
    name = next(iter(kwargs), "coordinates")
    assert calculate_error([1, 1], coordinates, **kwargs) == (
        ValueError,
        f"argument '{name}': {message}",
    )


def test_non_finite_numbers_are_refused_from_numpy_and_keywords_alike():
    np = pytest.importorskip("numpy")
    coordinates = np.array([ORIGIN, [0.0, 0.0, np.nan]])
    expected = (ValueError, "argument 'coordinates': atom 1 must have finite coordinates, not nan")
    assert calculate_error([1, 1], coordinates) == expected
    assert calculate_error(atomic_numbers=[1, 1], coordinates=coordinates) == expected
    assert calculate_error([1, 1], H2_ROWS, damping=np.float64(np.inf)) == (
        ValueError,
        "argument 'damping': must be a finite number, not inf",
    )
    # Large finite values still pass the conversion.
    assert quelm_py.calculate([1, 1], [ORIGIN, [0.0, 0.0, 1e6]], max_iter=2).scf_iterations == 2


@pytest.mark.parametrize(
    "atomic_numbers, coordinates",
    [
        ((1,), (ORIGIN,)),
        (bytes([1]), [ORIGIN]),
        ([True], [Sequence3()]),
        (range(1, 2), [(0, 0, 0)]),
    ],
    ids=["tuples", "bytes", "custom-sequence", "range"],
)
def test_any_sequence_but_str_is_accepted(atomic_numbers, coordinates):
    # One hydrogen atom: accepted conversions reach the odd-electron check.
    assert calculate_error(atomic_numbers, coordinates) == (ValueError, OPEN_SHELL.format(1))


def test_none_selects_the_default_of_every_optional_argument():
    optional = [
        "method",
        "cosmo_eps",
        "dispersion",
        "h_bonds",
        "use_nddo",
        "max_iter",
        "energy_tol_ev",
        "density_tol",
        "level_shift_ev",
        "damping",
    ]
    kwargs = dict.fromkeys(optional)
    assert calculate_error([1], [ORIGIN], **kwargs) == (ValueError, OPEN_SHELL.format(1))


def test_type_error_message_is_prefixed_with_the_argument_name():
    raised, message = calculate_error("CH", [ORIGIN])
    assert raised is TypeError
    assert message == "argument 'atomic_numbers': 'str' object cannot be converted to 'Sequence'"
    raised, message = calculate_error([1.5], [ORIGIN])
    assert message == (
        "argument 'atomic_numbers': 'float' object cannot be interpreted as an integer"
    )


@pytest.mark.parametrize(
    "args, kwargs, message",
    [
        (
            (),
            {},
            "calculate() missing 2 required positional arguments: "
            "'atomic_numbers' and 'coordinates'",
        ),
        (([1],), {}, "calculate() missing 1 required positional argument: 'coordinates'"),
        (
            ([1], [ORIGIN]),
            {"atomic_numbers": [1]},
            "calculate() got multiple values for argument 'atomic_numbers'",
        ),
        (
            ([1], [ORIGIN], "PM6"),
            {"method": "AM1"},
            "calculate() got multiple values for argument 'method'",
        ),
        (
            ([1], [ORIGIN]),
            {"methods": "AM1"},
            "calculate() got an unexpected keyword argument 'methods'",
        ),
        (
            tuple(range(13)),
            {},
            "calculate() takes from 2 to 12 positional arguments but 13 were given",
        ),
    ],
)
def test_generic_argument_errors_name_the_function(args, kwargs, message):
    assert calculate_error(*args, **kwargs) == (TypeError, message)


def test_arguments_bind_by_position_and_keyword_alike():
    by_position = calculate_error([5], [ORIGIN], "rm1")
    by_keyword = calculate_error(coordinates=[ORIGIN], method="rm1", atomic_numbers=[5])
    assert (
        by_position
        == by_keyword
        == (
            ValueError,
            "Unsupported element Z=5 for semi-empirical method 'rm1'",
        )
    )


def test_adapter_functions_are_defined_with_their_signatures_and_docstrings():
    assert str(inspect.signature(quelm_py.from_rdkit)) == "(mol, conf_id=-1)"
    assert str(inspect.signature(quelm_py.from_ase)) == "(atoms)"
    assert quelm_py.from_rdkit.__doc__ == (
        "Extract atomic numbers and 3D Cartesian coordinates from an RDKit Mol object."
    )
    assert quelm_py.from_ase.__doc__ == (
        "Extract atomic numbers and 3D Cartesian coordinates from an ASE Atoms object."
    )
    assert quelm_py.from_rdkit.__module__ == "quelm_py"
