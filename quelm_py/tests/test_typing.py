"""The type stub: mypy --strict accepts every example and reads the types the stub gives
(it refuses misuse), stubtest finds no difference between the stub and the module, and
the values the module returns have the types the stub gives (which stubtest cannot see).
The installed layout (the stub package quelm_py-stubs next to the module) is checked as
installed; in a build tree the stub source is used. The mypy checks are skipped where mypy
is not installed."""

import importlib.machinery
import importlib.util
import os
import subprocess
import sys
import tempfile
import types
import typing
from pathlib import Path

import pytest
from conftest import ADAPTER_PACKAGES, H2, WATER, package_available

import quelm_py

needs_mypy = pytest.mark.skipif(
    importlib.util.find_spec("mypy") is None, reason="needs mypy (pip install mypy)"
)

ROOT = Path(__file__).resolve().parents[2]
STUB_SOURCE = ROOT / "quelm_py" / "stubs"
EXAMPLES = sorted(str(path) for path in (ROOT / "examples").glob("*.py"))
CACHE = Path(tempfile.gettempdir()) / "quelm_py_mypy_cache"

MISUSE = """\
import quelm_py

result = quelm_py.calculate([1, 1], [[0.0, 0.0, 0.0], [0.0, 0.0, 0.74]])
reveal_type(result.to_dict()["dipole_debye"])
reveal_type(quelm_py.from_rdkit)
quelm_py.calculate("HH", [[0.0, 0.0, 0.0]])
text: str = result.total_energy_ev
modes = quelm_py.frequencies([1, 1], [[0.0, 0.0, 0.0], [0.0, 0.0, 0.74]]).to_dict()["normal_modes"]
reveal_type(modes[0]["displacements"])
saddle = quelm_py.saddle([1, 1], [[0.0, 0.0, 0.0]], [[0.0, 0.0, 0.0]])
refined: quelm_py.TransitionStatePyResult = saddle.ts_refinement
quelm_py.am1_bcc([1, 1], [[0.0, 0.0, 0.0], [0.0, 0.0, 0.74]], method=None)
"""


def run_mypy_tool(module, *args, cwd=None):
    """Runs `python -m {module}`; the source stub is used unless the module is installed
    with its stub package."""
    env = dict(os.environ)
    installed_stubs = Path(quelm_py.__file__).parent / "quelm_py-stubs" / "__init__.pyi"
    if not installed_stubs.exists():
        env["MYPYPATH"] = str(STUB_SOURCE)
    return subprocess.run(
        [sys.executable, "-m", module, *args],
        env=env,
        capture_output=True,
        text=True,
        cwd=cwd or tempfile.gettempdir(),
    )


@needs_mypy
def test_mypy_strict_accepts_the_examples_and_refuses_misuse(tmp_path):
    (tmp_path / "misuse.py").write_text(MISUSE)
    run = run_mypy_tool(
        "mypy",
        *("--strict", "--cache-dir", str(CACHE), "--no-error-summary", "--hide-error-context"),
        *EXAMPLES,
        "misuse.py",
        cwd=tmp_path,
    )
    output = run.stdout + run.stderr
    # Nothing about the examples; the misuse lines from "misuse.py:" on.
    lines = [line[line.find("misuse.py:") :] for line in run.stdout.splitlines()]
    assert all(line.startswith("misuse.py:") for line in lines), output
    errors = [line for line in lines if ": error: " in line]
    assert [(line.split(":")[1], line.rsplit("[", 1)[1]) for line in errors] == [
        ("6", "arg-type]"),
        ("7", "assignment]"),
        ("11", "assignment]"),
        ("12", "arg-type]"),
    ], output
    # Older mypy versions qualify builtins ("builtins.list").
    revealed = [
        line.split("Revealed type is ")[1].replace("builtins.", "")
        for line in lines
        if "Revealed type is " in line
    ]
    assert revealed == [
        '"list[float]"',
        '"def (mol: Any, conf_id: int =) -> tuple[list[int], list[list[float]]]"',
        '"list[list[float]]"',
    ], output


@needs_mypy
@pytest.mark.skipif(
    not all(package_available(name) for name in ADAPTER_PACKAGES),
    reason="the stub describes the adapters as defined when their packages are installed",
)
def test_stubtest_finds_the_stub_and_the_module_alike():
    run = run_mypy_tool(
        "mypy.stubtest", "quelm_py", "--allowlist", str(STUB_SOURCE / "stubtest_allowlist.txt")
    )
    assert run.returncode == 0, run.stdout + run.stderr


def load_stub():
    """The stub source run as a module: its classes, TypedDicts and annotations are real."""
    loader = importlib.machinery.SourceFileLoader(
        "quelm_py_stub", str(STUB_SOURCE / "quelm_py.pyi")
    )
    stub = types.ModuleType(loader.name)
    loader.exec_module(stub)
    return stub


def assert_conforms(value, annotation, path):
    """`value` has exactly the stub type `annotation` (no int for float, no subclasses);
    result classes have the stub's properties in the module's order and to_dict exactly
    when the stub declares it, with the TypedDict's keys in their order."""
    origin, args = typing.get_origin(annotation), typing.get_args(annotation)
    if origin is typing.Literal:
        assert value in args, path
    elif origin is types.UnionType:
        assert any(conforms(value, arg) for arg in args), (path, value)
    elif origin is list:
        assert type(value) is list, path
        for i, item in enumerate(value):
            assert_conforms(item, args[0], f"{path}[{i}]")
    elif typing.is_typeddict(annotation):
        hints = typing.get_type_hints(annotation)
        assert type(value) is dict and list(value) == list(hints), (path, list(value))
        for key, hint in hints.items():
            assert_conforms(value[key], hint, f"{path}[{key!r}]")
    elif annotation.__module__ == "quelm_py_stub":
        runtime_class = getattr(quelm_py, annotation.__name__)
        assert type(value) is runtime_class, path
        properties = {name: p for name, p in vars(annotation).items() if isinstance(p, property)}
        runtime_properties = [
            name
            for name, attribute in vars(runtime_class).items()
            if type(attribute).__name__ == "getset_descriptor"
        ]
        assert list(properties) == runtime_properties, path
        for name, p in properties.items():
            hint = typing.get_type_hints(p.fget)["return"]
            assert_conforms(getattr(value, name), hint, f"{path}.{name}")
        assert hasattr(value, "to_dict") == hasattr(annotation, "to_dict"), path
        if hasattr(annotation, "to_dict"):
            hint = typing.get_type_hints(annotation.to_dict)["return"]
            assert_conforms(value.to_dict(), hint, f"{path}.to_dict()")
    else:
        assert type(value) is annotation, (path, value)


def conforms(value, annotation):
    try:
        assert_conforms(value, annotation, "")
    except AssertionError:
        return False
    return True


H2_STRETCHED = [[0.0, 0.0, 0.0], [0.0, 0.0, 0.9]]

# One cheap call per function (a few cycles, steps or points are enough to fill every
# list); functions the module does not register yet are skipped.
CALLS = {
    "calculate": lambda: quelm_py.calculate(*WATER),
    "optimize": lambda: quelm_py.optimize(*WATER, max_cycles=3),
    "transition_state": lambda: quelm_py.transition_state(*WATER, max_cycles=2),
    "frequencies": lambda: quelm_py.frequencies(*H2),
    "esp_charges": lambda: quelm_py.esp_charges(*WATER),
    "irc": lambda: quelm_py.irc(*WATER, max_points=2),
    "drc": lambda: quelm_py.drc(*H2, total_steps=3),
    "saddle": lambda: quelm_py.saddle(H2[0], H2[1], H2_STRETCHED, max_cycles=2),
    "meci": lambda: quelm_py.meci(*H2),
    "uv_vis_spectrum": lambda: quelm_py.uv_vis_spectrum(*H2),
    "pbc": lambda: quelm_py.pbc(*H2, [[0.0, 0.0, 3.0]], k_grid=[1, 1, 2], band_points=3),
    "polarizability": lambda: quelm_py.polarizability(*H2),
    "karvel": lambda: quelm_py.karvel(*WATER, max_iter=3),
    "am1_bcc": lambda: quelm_py.am1_bcc(*WATER),
}


def test_every_stub_function_has_a_call():
    stub = load_stub()
    functions = {
        name
        for name, value in vars(stub).items()
        if isinstance(value, types.FunctionType) and value.__module__ == stub.__name__
    }
    # The adapter helpers return what RDKit and ASE give them; stubtest checks them.
    assert functions - {"from_rdkit", "from_ase"} == set(CALLS)


@pytest.mark.parametrize("name", CALLS)
def test_returned_values_have_the_stub_types(name):
    if not hasattr(quelm_py, name):
        pytest.skip(f"quelm_py has no {name} yet")
    stub = load_stub()
    returned = typing.get_type_hints(getattr(stub, name))["return"]
    assert_conforms(CALLS[name](), returned, name)
