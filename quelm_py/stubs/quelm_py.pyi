# Type stub of the extension module quelm_py: every function, class and property it
# defines, for mypy, pyright and editors. Installed as the stub package quelm_py-stubs
# (the module itself is one top-level extension file, which type checkers read no types
# from).
#
# Layout, one section per module function in registration order: the function and the
# result classes it returns; then the exception type and the names the embedded adapter
# script defines. A new function adds its section at its place in that order. Result
# classes are @final (they cannot be subclassed), have no constructor, compare equal
# property by property and are unhashable; their to_dict returns a TypedDict with the
# property names as keys.

from abc import ABCMeta
from collections.abc import Sequence
from typing import Any, ClassVar, Protocol, SupportsFloat, SupportsIndex, TypedDict, TypeVar, final

_T_co = TypeVar("_T_co", covariant=True)

class _SequenceLike(Protocol[_T_co]):
    # What the molecule arguments accept: lists, tuples, NumPy arrays (not str, which the
    # module refuses).
    def __len__(self) -> int: ...
    def __getitem__(self, index: int, /) -> _T_co: ...

# Atomic numbers, 0 to 255.
_AtomicNumbers = _SequenceLike[SupportsIndex]
# One [x, y, z] row per atom, in Å.
_Coordinates = _SequenceLike[_SequenceLike[SupportsFloat]]

# calculate ------------------------------------------------------------------------------

class _CalculationResultDict(TypedDict):
    total_energy_ev: float
    electronic_energy_ev: float
    nuclear_repulsion_ev: float
    binding_energy_ev: float
    heat_of_formation_kcal: float
    gradients_ev_angstrom: list[list[float]]
    gradients_kcal_mol_angstrom: list[list[float]]
    dipole_debye: list[float]
    atomic_charges: list[float]
    mulliken_charges: list[float]
    converged: bool
    scf_iterations: int
    homo_energy_ev: float
    lumo_energy_ev: float
    homo_lumo_gap_ev: float

@final
class CalculationResult:
    """Calculation results containing quantum chemical properties and analytical gradients."""

    __hash__: ClassVar[None]  # type: ignore[assignment]
    @property
    def total_energy_ev(self) -> float: ...
    @property
    def electronic_energy_ev(self) -> float: ...
    @property
    def nuclear_repulsion_ev(self) -> float: ...
    @property
    def binding_energy_ev(self) -> float: ...
    @property
    def heat_of_formation_kcal(self) -> float: ...
    @property
    def gradients_ev_angstrom(self) -> list[list[float]]: ...
    @property
    def gradients_kcal_mol_angstrom(self) -> list[list[float]]: ...
    @property
    def dipole_debye(self) -> list[float]: ...
    @property
    def atomic_charges(self) -> list[float]: ...
    @property
    def mulliken_charges(self) -> list[float]: ...
    @property
    def converged(self) -> bool: ...
    @property
    def scf_iterations(self) -> int: ...
    @property
    def homo_energy_ev(self) -> float: ...
    @property
    def lumo_energy_ev(self) -> float: ...
    @property
    def homo_lumo_gap_ev(self) -> float: ...
    def to_dict(self) -> _CalculationResultDict:
        """Convert calculation result to a standard Python dictionary."""

    def __eq__(self, other: object, /) -> bool: ...

def calculate(
    atomic_numbers: _AtomicNumbers,
    coordinates: _Coordinates,
    method: str | None = "PM6",
    cosmo_eps: float | None = None,
    dispersion: str | None = None,
    h_bonds: bool | None = False,
    use_nddo: bool | None = True,
    max_iter: int | None = 60,
    energy_tol_ev: float | None = 1e-7,
    density_tol: float | None = 1e-6,
    level_shift_ev: float | None = 0.0,
    damping: float | None = 0.5,
) -> CalculationResult:
    """Compute single-point semi-empirical quantum chemical properties and analytical gradients."""

# Errors ---------------------------------------------------------------------------------

class InternalError(BaseException):
    """A violated internal invariant of the QUELMOR engine (a bug, not a user error)."""

# Adapters (defined at import by the embedded adapter script) ---------------------------

def from_rdkit(mol: Any, conf_id: int = -1) -> tuple[list[int], list[list[float]]]:
    """Extract atomic numbers and 3D Cartesian coordinates from an RDKit Mol object."""

def from_ase(atoms: Any) -> tuple[list[int], list[list[float]]]:
    """Extract atomic numbers and 3D Cartesian coordinates from an ASE Atoms object."""

# The adapter classes are declared without their ASE and PyTorch base classes, so that type
# checking a program that uses quelm_py never has to read those packages; what the bases
# provide is typed as Any.

# With ASE and NumPy installed, an ase.calculators.calculator.Calculator; without them,
# instantiating it raises ImportError.
class QuelmASECalculator(metaclass=ABCMeta):
    """Atomic Simulation Environment (ASE) Calculator backed by QUELMOR."""

    implemented_properties: list[str]
    method: str
    dispersion: str | None
    cosmo_eps: float | None
    use_nddo: bool
    results: dict[str, Any]
    def __init__(
        self,
        method: str = "PM6",
        dispersion: str | None = None,
        cosmo_eps: float | None = None,
        use_nddo: bool = True,
        **kwargs: Any,
    ) -> None: ...
    def calculate(
        self,
        atoms: Any = None,
        properties: list[str] = ...,
        system_changes: list[str] = ...,
    ) -> None: ...
    def get_potential_energy(self, atoms: Any = None, force_consistent: bool = False) -> float: ...
    def get_forces(self, atoms: Any = None) -> Any: ...
    def get_dipole_moment(self, atoms: Any = None) -> Any: ...
    def get_charges(self, atoms: Any = None) -> Any: ...

# Defined only when PyTorch is installed: a torch.autograd.Function.
# QuelmEnergyFunction.apply(coords, atomic_numbers, method="AM1", dispersion=None,
# cosmo_eps=None, use_nddo=True) returns the energy (eV) as a tensor differentiable with
# respect to the coordinates (Å).
class QuelmEnergyFunction:
    """Differentiable PyTorch autograd bridge to QUELMOR semi-empirical quantum engine."""

    @classmethod
    def apply(cls, *args: Any, **kwargs: Any) -> Any: ...
    @staticmethod
    def forward(
        ctx: Any,
        coords: Any,
        atomic_numbers: Sequence[int],
        method: str = "AM1",
        dispersion: str | None = None,
        cosmo_eps: float | None = None,
        use_nddo: bool = True,
    ) -> Any: ...
    @staticmethod
    def backward(ctx: Any, grad_output: Any) -> tuple[Any, None, None, None, None, None]: ...

# With PyTorch installed, a torch.nn.Module: calling it on a coordinate tensor (Å) returns
# the energy (eV); without PyTorch, instantiating it raises ImportError.
class QuelmPotential:
    """Differentiable Semi-Empirical Quantum Potential Module for PyTorch and TorchMD."""

    atomic_numbers: list[int]
    method: str
    dispersion: str | None
    cosmo_eps: float | None
    use_nddo: bool
    def __init__(
        self,
        atomic_numbers: Sequence[int],
        method: str = "AM1",
        dispersion: str | None = None,
        cosmo_eps: float | None = None,
        use_nddo: bool = True,
    ) -> None: ...
    def forward(self, coords: Any) -> Any: ...
    def __call__(self, *args: Any, **kwargs: Any) -> Any: ...
    # The rest of torch.nn.Module (to, parameters, train, ...).
    def __getattr__(self, name: str) -> Any: ...
