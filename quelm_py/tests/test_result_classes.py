"""Every result class travels: pickling (protocol 2 to the highest), copy.copy and
copy.deepcopy give an object equal to the original, and equality compares the properties
one by one. The classes are discovered on the module at run time, so a class registered
later is covered as soon as its row below says which function returns an instance."""

import copy
import math
import pickle

import pytest
from conftest import FORMALDEHYDE, H2, WATER

import quelm_py

# Class name -> (module function, positional arguments, keyword arguments, attribute path
# from the function's result to an instance). Small molecules and loose budgets: only the
# result's plumbing is under test here.
# H2 stretched far enough that SADDLE has to run cycles.
STRETCHED_H2 = [[0.0, 0.0, 0.0], [0.0, 0.0, 1.3]]

INSTANCE_SOURCES = {
    "CalculationResult": ("calculate", WATER, {}, ()),
    "OptimizationPyResult": ("optimize", WATER, {"max_cycles": 2}, ()),
    "TransitionStatePyResult": ("transition_state", WATER, {"max_cycles": 1}, ()),
    "VibrationalResultPy": ("frequencies", WATER, {}, ()),
    "NormalModePy": ("frequencies", WATER, {}, ("normal_modes", 0)),
    "ThermodynamicsPy": ("frequencies", WATER, {}, ("thermo",)),
    "IrcPyResult": ("irc", WATER, {"max_points": 2}, ()),
    "IrcPointPy": ("irc", WATER, {"max_points": 2}, ("points", 0)),
    "DrcPyResult": ("drc", WATER, {"total_steps": 2}, ()),
    "DrcFramePy": ("drc", WATER, {"total_steps": 2}, ("frames", 0)),
    "SaddlePyResult": ("saddle", (*H2, STRETCHED_H2), {"max_cycles": 2}, ()),
    "SaddlePointPy": ("saddle", (*H2, STRETCHED_H2), {"max_cycles": 2}, ("trajectory", 0)),
    "MeciPyResult": ("meci", FORMALDEHYDE, {}, ()),
    "CiStatePy": ("meci", FORMALDEHYDE, {}, ("states", 0)),
    "UvVisSpectrumPy": ("uv_vis_spectrum", FORMALDEHYDE, {}, ()),
    "PbcResultPy": ("pbc", (*H2, [[3.0, 0.0, 0.0]]), {"band_points": 2}, ()),
    "EspResultPy": ("esp_charges", WATER, {}, ()),
    "PolarizabilityPyResult": (
        "polarizability",
        WATER,
        {"compute_hyperpolarizabilities": False},
        (),
    ),
    "KarvelPyResult": ("karvel", WATER, {}, ()),
    "KarvelLmoPy": ("karvel", WATER, {}, ("lmos", 0)),
    "Am1BccPyResult": ("am1_bcc", WATER, {}, ()),
}


def registered_result_classes():
    """The module's classes that pickle through the toolkit and refuse construction."""
    classes = []
    for name, value in vars(quelm_py).items():
        if isinstance(value, type) and "__reduce__" in vars(value):
            classes.append(name)
    return classes


def instance_of(class_name):
    if class_name not in INSTANCE_SOURCES:
        pytest.fail(f"{class_name} is registered but INSTANCE_SOURCES has no row for it")
    function_name, args, kwargs, path = INSTANCE_SOURCES[class_name]
    if not hasattr(quelm_py, function_name):
        pytest.skip(f"quelm_py has no {function_name}() yet")
    value = getattr(quelm_py, function_name)(*args, **kwargs)
    for step in path:
        value = value[step] if isinstance(step, int) else getattr(value, step)
    assert type(value).__name__ == class_name
    return value


def property_names(cls):
    return [
        name for name, member in vars(cls).items() if type(member).__name__ == "getset_descriptor"
    ]


def same_value(a, b):
    """Equal values, a NaN equal to a NaN; nested results by their own ==."""
    if isinstance(a, float) and isinstance(b, float):
        return a == b or (math.isnan(a) and math.isnan(b))
    if isinstance(a, (list, tuple)) and type(a) is type(b):
        return len(a) == len(b) and all(same_value(x, y) for x, y in zip(a, b))
    if isinstance(a, dict) and isinstance(b, dict):
        return list(a) == list(b) and all(same_value(a[k], b[k]) for k in a)
    return type(a) is type(b) and a == b


def assert_same_result(copied, original):
    cls = type(original)
    assert type(copied) is cls
    assert copied == original
    assert not copied != original
    for name in property_names(cls):
        assert same_value(getattr(copied, name), getattr(original, name)), name
    if "__repr__" in vars(cls):
        assert repr(copied) == repr(original)
    if hasattr(cls, "to_dict"):
        assert same_value(copied.to_dict(), original.to_dict())


def test_every_result_class_refuses_construction_and_is_covered():
    classes = registered_result_classes()
    assert "CalculationResult" in classes
    for name in classes:
        with pytest.raises(TypeError) as caught:
            getattr(quelm_py, name)()
        assert str(caught.value) == f"No constructor defined for {name}"
        assert name in INSTANCE_SOURCES


@pytest.mark.parametrize("class_name", registered_result_classes())
def test_pickle_and_copies_give_an_equal_object(class_name):
    original = instance_of(class_name)
    for protocol in range(2, pickle.HIGHEST_PROTOCOL + 1):
        assert_same_result(pickle.loads(pickle.dumps(original, protocol)), original)
    assert_same_result(copy.copy(original), original)
    deep = copy.deepcopy(original)
    assert_same_result(deep, original)
    # A copy of a copy is still the same result, and it pickles again.
    assert_same_result(pickle.loads(pickle.dumps(deep)), original)


def test_equality_compares_every_property():
    water = quelm_py.calculate(*WATER)
    assert water == quelm_py.calculate(*WATER)
    assert water != quelm_py.calculate(*WATER, method="AM1")
    assert water != quelm_py.calculate(*H2)
    assert water != "water" and water != 1.0
    with pytest.raises(TypeError):
        hash(water)
    rebuild, (cls, fields, text) = water.__reduce__()
    for index in range(len(fields)):
        changed = list(fields)
        changed[index] = [] if isinstance(fields[index], list) else -12345.0
        assert rebuild(cls, tuple(changed), text) != water, index
    # A NaN carried over unchanged is the same value.
    nan_fields = (math.nan,) + fields[1:]
    assert rebuild(cls, nan_fields, text) == rebuild(cls, nan_fields, text)


def test_rebuilt_results_hand_out_fresh_lists():
    rebuilt = pickle.loads(pickle.dumps(quelm_py.calculate(*WATER)))
    rebuilt.gradients_ev_angstrom[0][0] = 99.0
    rebuilt.dipole_debye.append(1.0)
    rebuilt.to_dict()["mulliken_charges"].clear()
    assert rebuilt == quelm_py.calculate(*WATER)


@pytest.mark.parametrize(
    "args, message",
    [
        ((object, (), None), "_rebuild_result() needs a quelm_py result class"),
        (
            (quelm_py.CalculationResult, (1.0,), "<x>"),
            "_rebuild_result() needs 15 property values, got 1",
        ),
    ],
)
def test_reconstructor_refuses_what_no_result_pickles_to(args, message):
    with pytest.raises((TypeError, ValueError)) as caught:
        quelm_py._rebuild_result(*args)
    assert str(caught.value) == message
