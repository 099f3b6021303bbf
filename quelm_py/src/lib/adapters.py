# Adapters executed once inside the quelm_py module namespace when it is imported: the
# module dictionary serves as globals, so `calculate` below is the module function and
# every name defined here becomes a module attribute. RDKit, ASE, NumPy and PyTorch are
# optional: when one is missing, a placeholder says what to install on first use.


def from_rdkit(mol, conf_id=-1):
    """Extract atomic numbers and 3D Cartesian coordinates from an RDKit Mol object."""
    conf = mol.GetConformer(conf_id)
    atomic_numbers = [atom.GetAtomicNum() for atom in mol.GetAtoms()]
    coords = [list(conf.GetAtomPosition(i)) for i in range(len(atomic_numbers))]
    return atomic_numbers, coords


def from_ase(atoms):
    """Extract atomic numbers and 3D Cartesian coordinates from an ASE Atoms object."""
    return atoms.get_atomic_numbers().tolist(), atoms.get_positions().tolist()


try:
    from ase.calculators.calculator import Calculator, all_changes  # noqa: I001
    import numpy as np

    class QuelmASECalculator(Calculator):
        """Atomic Simulation Environment (ASE) Calculator backed by QUELMOR."""

        implemented_properties = ["energy", "forces", "dipole", "charges"]

        def __init__(self, method="PM6", dispersion=None, cosmo_eps=None, use_nddo=True, **kwargs):
            Calculator.__init__(self, **kwargs)
            self.method = method
            self.dispersion = dispersion
            self.cosmo_eps = cosmo_eps
            self.use_nddo = use_nddo

        def calculate(self, atoms=None, properties=["energy"], system_changes=all_changes):  # noqa: B006
            Calculator.calculate(self, atoms, properties, system_changes)
            result = calculate(
                atoms.get_atomic_numbers().tolist(),
                atoms.get_positions().tolist(),
                method=self.method,
                dispersion=self.dispersion,
                cosmo_eps=self.cosmo_eps,
                use_nddo=self.use_nddo,
            )
            # One SCF yields every property, so all of them are stored whatever was asked.
            self.results["energy"] = result.total_energy_ev
            self.results["forces"] = -np.array(result.gradients_ev_angstrom)
            self.results["dipole"] = np.array(result.dipole_debye[:3])
            self.results["charges"] = np.array(result.mulliken_charges)

except ImportError:

    class QuelmASECalculator:
        def __init__(self, *args, **kwargs):
            raise ImportError("ase and numpy are required to instantiate QuelmASECalculator")


try:
    import torch

    class QuelmEnergyFunction(torch.autograd.Function):
        """Differentiable PyTorch autograd bridge to QUELMOR semi-empirical quantum engine."""

        @staticmethod
        def forward(
            ctx,
            coords,
            atomic_numbers,
            method="AM1",
            dispersion=None,
            cosmo_eps=None,
            use_nddo=True,
        ):
            converted = coords.detach().cpu().numpy().tolist()
            result = calculate(
                atomic_numbers,
                converted,
                method=method,
                dispersion=dispersion,
                cosmo_eps=cosmo_eps,
                use_nddo=use_nddo,
            )
            grad_tensor = torch.tensor(
                result.gradients_ev_angstrom, dtype=coords.dtype, device=coords.device
            )
            ctx.save_for_backward(grad_tensor)
            return torch.tensor(result.total_energy_ev, dtype=coords.dtype, device=coords.device)

        @staticmethod
        def backward(ctx, grad_output):
            (grad_tensor,) = ctx.saved_tensors
            # One None per non-tensor input of forward.
            return grad_output * grad_tensor, None, None, None, None, None

    class QuelmPotential(torch.nn.Module):
        """Differentiable Semi-Empirical Quantum Potential Module for PyTorch and TorchMD."""

        def __init__(
            self, atomic_numbers, method="AM1", dispersion=None, cosmo_eps=None, use_nddo=True
        ):
            super().__init__()
            self.atomic_numbers = list(atomic_numbers)
            self.method = method
            self.dispersion = dispersion
            self.cosmo_eps = cosmo_eps
            self.use_nddo = use_nddo

        def forward(self, coords):
            return QuelmEnergyFunction.apply(
                coords,
                self.atomic_numbers,
                self.method,
                self.dispersion,
                self.cosmo_eps,
                self.use_nddo,
            )

except ImportError:

    class QuelmPotential:
        def __init__(self, *args, **kwargs):
            raise ImportError("PyTorch ('torch') is required to instantiate QuelmPotential")
