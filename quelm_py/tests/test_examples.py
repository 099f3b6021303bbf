"""Every script in examples/ runs to completion (the ones the README shows). The screening
example runs on a small library: a Dask LocalCluster with two worker processes, whose
results must be identical to the serial loop's."""

import os
import subprocess
import sys
from pathlib import Path

import pytest
from conftest import package_available

EXAMPLES = Path(__file__).resolve().parents[2] / "examples"
# Arguments that keep an example short, and the packages it needs besides quelm_py.
ARGUMENTS = {"screening.py": ["--size", "4", "--workers", "2"]}
NEEDS = {"screening.py": ["dask", "distributed", "rdkit"]}


@pytest.mark.parametrize("name", sorted(path.name for path in EXAMPLES.glob("*.py")))
def test_example_runs(name, tmp_path):
    missing = [package for package in NEEDS.get(name, []) if not package_available(package)]
    if missing:
        pytest.skip(f"needs {', '.join(missing)}")
    run = subprocess.run(
        [sys.executable, str(EXAMPLES / name), *ARGUMENTS.get(name, [])],
        capture_output=True,
        text=True,
        cwd=tmp_path,
        env=dict(os.environ),
        timeout=600,
    )
    assert run.returncode == 0, run.stdout + run.stderr
    if name == "screening.py":
        assert run.stdout.splitlines()[-1].endswith("results identical: True")
        assert len(run.stdout.splitlines()) == 1 + 4 + 1
