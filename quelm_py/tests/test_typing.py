"""The type stub: mypy --strict accepts every example and reads the types the stub gives
(it refuses misuse), and stubtest finds no difference between the stub and the module.
The installed layout (the stub package quelm_py-stubs next to the module) is checked as
installed; in a build tree the stub source is used. Skipped where mypy is not installed."""

import importlib.util
import os
import subprocess
import sys
import tempfile
from pathlib import Path

import pytest
from conftest import ADAPTER_PACKAGES, package_available

import quelm_py

pytestmark = pytest.mark.skipif(
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
    ], output


@pytest.mark.skipif(
    not all(package_available(name) for name in ADAPTER_PACKAGES),
    reason="the stub describes the adapters as defined when their packages are installed",
)
def test_stubtest_finds_the_stub_and_the_module_alike():
    run = run_mypy_tool(
        "mypy.stubtest", "quelm_py", "--allowlist", str(STUB_SOURCE / "stubtest_allowlist.txt")
    )
    assert run.returncode == 0, run.stdout + run.stderr
