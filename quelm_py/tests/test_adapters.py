"""The adapter definitions run at import: RDKit and ASE converters, the ASE calculator and
the PyTorch autograd wrappers, with and without the optional packages installed."""

import inspect
import math
import os
import subprocess
import sys
import textwrap

import pytest
from conftest import WATER, package_available

import quelm_py

ASE_MESSAGE = "ase and numpy are required to instantiate QuelmASECalculator"
TORCH_MESSAGE = "PyTorch ('torch') is required to instantiate QuelmPotential"


class FakeAtom:
    def __init__(self, z):
        self.z = z

    def GetAtomicNum(self):
        return self.z


class FakeConformer:
    def __init__(self, positions):
        self.positions = positions

    def GetAtomPosition(self, i):
        return tuple(self.positions[i])


class FakeMol:
    """Only the RDKit methods from_rdkit may rely on."""

    def __init__(self, atomic_numbers, conformers):
        self.atoms = [FakeAtom(z) for z in atomic_numbers]
        self.conformers = conformers
        self.requested = []

    def GetAtoms(self):
        return iter(self.atoms)

    def GetConformer(self, conf_id=-1):
        self.requested.append(conf_id)
        return FakeConformer(self.conformers[conf_id])


class FakeArray(list):
    def tolist(self):
        return [list(row) if isinstance(row, tuple) else row for row in self]


class FakeAtoms:
    def get_atomic_numbers(self):
        return FakeArray([8, 1, 1])

    def get_positions(self):
        return FakeArray([(0.0, 0.0, 0.1), (0.0, 0.7, -0.4), (0.0, -0.7, -0.4)])


def test_from_rdkit_reads_the_requested_conformer_atom_by_atom():
    first = [[0.0, 0.0, 0.0], [0.0, 0.0, 1.1]]
    second = [[1.0, 2.0, 3.0], [1.0, 2.0, 4.2]]
    mol = FakeMol([6, 8], {-1: first, 0: first, 1: second})
    assert quelm_py.from_rdkit(mol) == ([6, 8], first)
    assert quelm_py.from_rdkit(mol, 1) == ([6, 8], second)
    assert quelm_py.from_rdkit(mol, conf_id=0) == ([6, 8], first)
    assert mol.requested == [-1, 1, 0]


def test_from_ase_returns_plain_lists():
    assert quelm_py.from_ase(FakeAtoms()) == (
        [8, 1, 1],
        [[0.0, 0.0, 0.1], [0.0, 0.7, -0.4], [0.0, -0.7, -0.4]],
    )


@pytest.mark.bare
def test_placeholders_report_the_missing_packages():
    for args, kwargs in [((), {}), (("AM1",), {"dispersion": "PM7"})]:
        with pytest.raises(ImportError) as caught:
            quelm_py.QuelmASECalculator(*args, **kwargs)
        assert str(caught.value) == ASE_MESSAGE
    with pytest.raises(ImportError) as caught:
        quelm_py.QuelmPotential([6, 1])
    assert str(caught.value) == TORCH_MESSAGE
    assert not hasattr(quelm_py, "QuelmEnergyFunction")


@pytest.mark.bare
def test_module_works_without_optional_packages():
    for name in ("numpy", "ase", "torch"):
        assert name not in sys.modules
    with pytest.raises(ValueError, match="atomic_numbers cannot be empty"):
        quelm_py.calculate([], [])


@pytest.mark.parametrize(
    "blocked, ase_placeholder, torch_placeholder",
    [
        (["ase"], True, False),
        (["numpy"], True, False),
        (["torch"], False, True),
        (["ase", "torch"], True, True),
    ],
)
def test_placeholders_replace_each_adapter_whose_package_is_missing(
    blocked, ase_placeholder, torch_placeholder
):
    # A None entry in sys.modules makes `import name` raise ImportError, as if it were
    # not installed; the module is then imported fresh in a child interpreter.
    script = textwrap.dedent(
        f"""
        import sys
        for name in {blocked!r}:
            sys.modules[name] = None
        import quelm_py
        def message(cls, *args):
            try:
                cls(*args)
            except ImportError as error:
                return str(error)
            except Exception as error:
                return type(error).__name__
            return None
        print(repr((message(quelm_py.QuelmASECalculator),
                    message(quelm_py.QuelmPotential, [6, 1]),
                    hasattr(quelm_py, "QuelmEnergyFunction"))))
        """
    )
    needed = {"numpy", "ase", "torch"} - set(blocked)
    if not all(package_available(name) for name in needed):
        pytest.skip("needs the packages that are not blocked")
    # The child finds quelm_py where this interpreter found it.
    env = dict(os.environ, PYTHONPATH=os.pathsep.join(filter(None, sys.path)))
    output = subprocess.run(
        [sys.executable, "-c", script], capture_output=True, text=True, check=True, env=env
    ).stdout
    ase_result, torch_result, has_energy_function = eval(output)
    assert (ase_result == ASE_MESSAGE) is ase_placeholder
    assert (torch_result == TORCH_MESSAGE) is torch_placeholder
    assert has_energy_function is not torch_placeholder


# With the real packages.


def test_from_rdkit_on_a_molecule_with_a_3d_conformer():
    pytest.importorskip("rdkit")
    from rdkit import Chem
    from rdkit.Chem import AllChem

    mol = Chem.AddHs(Chem.MolFromSmiles("CO"))
    conformer_ids = list(AllChem.EmbedMultipleConfs(mol, numConfs=2, randomSeed=7))
    atomic_numbers, coords = quelm_py.from_rdkit(mol, conformer_ids[1])
    assert atomic_numbers == [a.GetAtomicNum() for a in mol.GetAtoms()] == [6, 8, 1, 1, 1, 1]
    positions = mol.GetConformer(conformer_ids[1]).GetPositions()
    assert coords == positions.tolist()
    # The C–O bond of methanol is about 1.43 Å in any sensible conformer.
    assert math.dist(coords[0], coords[1]) == pytest.approx(1.43, abs=0.05)

    result = quelm_py.calculate(*quelm_py.from_rdkit(mol), method="AM1")
    assert result.converged
    assert len(result.gradients_ev_angstrom) == 6


def test_from_ase_on_an_atoms_object():
    pytest.importorskip("ase")
    from ase.build import molecule

    atoms = molecule("H2O")
    atomic_numbers, positions = quelm_py.from_ase(atoms)
    assert atomic_numbers == [8, 1, 1]
    assert all(type(z) is int for z in atomic_numbers)
    assert positions == atoms.get_positions().tolist()


def test_ase_calculator_class_definition():
    pytest.importorskip("ase")
    from ase.calculators.calculator import Calculator

    cls = quelm_py.QuelmASECalculator
    assert issubclass(cls, Calculator)
    assert cls.__doc__ == "Atomic Simulation Environment (ASE) Calculator backed by QUELMOR."
    assert cls.implemented_properties == ["energy", "forces", "dipole", "charges"]
    assert str(inspect.signature(cls.__init__)) == (
        "(self, method='PM6', dispersion=None, cosmo_eps=None, use_nddo=True, **kwargs)"
    )
    calculator = cls(method="AM1", dispersion="PM7")
    assert (calculator.method, calculator.dispersion, calculator.cosmo_eps) == ("AM1", "PM7", None)
    assert calculator.use_nddo is True


def test_ase_calculator_results_match_calculate_and_optimise_water():
    pytest.importorskip("ase")
    import numpy as np
    from ase import Atoms
    from ase.optimize import BFGS

    # Water with stretched, unequal O–H bonds and a wide angle.
    atoms = Atoms("OH2", positions=[[0, 0, 0.12], [0, 0.85, -0.45], [0, -0.80, -0.50]])
    atoms.calc = quelm_py.QuelmASECalculator()
    start_energy = atoms.get_potential_energy()
    reference = quelm_py.calculate(*quelm_py.from_ase(atoms))
    assert start_energy == reference.total_energy_ev
    np.testing.assert_array_equal(atoms.get_forces(), -np.array(reference.gradients_ev_angstrom))
    np.testing.assert_array_equal(atoms.get_dipole_moment(), reference.dipole_debye[:3])
    np.testing.assert_array_equal(atoms.calc.results["charges"], reference.mulliken_charges)

    assert BFGS(atoms, logfile=None).run(fmax=0.02, steps=60)
    final = quelm_py.calculate(*quelm_py.from_ase(atoms))
    assert final.total_energy_ev < start_energy
    assert np.abs(final.gradients_ev_angstrom).max() < 0.02
    # A relaxed water molecule has two equal O–H bonds near 0.95 Å and an angle near 105°.
    r1, r2 = atoms.get_distance(0, 1), atoms.get_distance(0, 2)
    assert r1 == pytest.approx(r2, abs=2e-3)
    assert 0.9 < r1 < 1.0
    assert 100.0 < atoms.get_angle(1, 0, 2) < 112.0


def test_torch_potential_backward_gives_the_engine_gradient():
    torch = pytest.importorskip("torch")
    atomic_numbers, coordinates = WATER
    assert issubclass(quelm_py.QuelmEnergyFunction, torch.autograd.Function)
    assert issubclass(quelm_py.QuelmPotential, torch.nn.Module)
    assert quelm_py.QuelmEnergyFunction.__doc__ == (
        "Differentiable PyTorch autograd bridge to QUELMOR semi-empirical quantum engine."
    )
    assert quelm_py.QuelmPotential.__doc__ == (
        "Differentiable Semi-Empirical Quantum Potential Module for PyTorch and TorchMD."
    )
    assert str(inspect.signature(quelm_py.QuelmEnergyFunction.forward)) == (
        "(ctx, coords, atomic_numbers, method='AM1', dispersion=None, cosmo_eps=None, "
        "use_nddo=True)"
    )
    assert str(inspect.signature(quelm_py.QuelmPotential.__init__)) == (
        "(self, atomic_numbers, method='AM1', dispersion=None, cosmo_eps=None, use_nddo=True)"
    )

    potential = quelm_py.QuelmPotential(tuple(atomic_numbers))
    assert potential.atomic_numbers == atomic_numbers
    assert (potential.method, potential.dispersion, potential.cosmo_eps) == ("AM1", None, None)

    coords = torch.tensor(coordinates, dtype=torch.float64, requires_grad=True)
    energy = potential(coords)
    reference = quelm_py.calculate(atomic_numbers, coordinates, method="AM1")
    assert energy.dtype == torch.float64
    assert energy.item() == reference.total_energy_ev
    (3.0 * energy).backward()
    expected = 3.0 * torch.tensor(reference.gradients_ev_angstrom, dtype=torch.float64)
    assert torch.equal(coords.grad, expected)


def test_torch_energy_function_keeps_dtype_and_passes_options():
    torch = pytest.importorskip("torch")
    atomic_numbers, coordinates = WATER
    coords = torch.tensor(coordinates, dtype=torch.float32, requires_grad=True)
    energy = quelm_py.QuelmEnergyFunction.apply(coords, atomic_numbers, "PM6", "PM7")
    # The engine sees the single-precision coordinates, widened to double.
    reference = quelm_py.calculate(
        atomic_numbers, coords.detach().numpy().tolist(), method="PM6", dispersion="PM7"
    )
    assert energy.dtype == torch.float32
    assert torch.equal(energy, torch.tensor(reference.total_energy_ev, dtype=torch.float32))
    energy.backward()
    expected = torch.tensor(reference.gradients_ev_angstrom, dtype=torch.float32)
    assert torch.equal(coords.grad, expected)
