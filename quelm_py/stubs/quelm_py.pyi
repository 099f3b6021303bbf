# Type stub of the extension module quelm_py: every function, class and property it
# defines, for mypy, pyright and editors. Installed as the stub package quelm_py-stubs
# (the module itself is one top-level extension file, which type checkers read no types
# from).
#
# Layout, one section per module function in registration order: the function and the
# result classes it returns; then the exception type and the names the embedded adapter
# script defines. A new function adds its section at its place in that order. Result
# classes are @final (they cannot be subclassed), have no constructor, compare equal
# property by property and are unhashable; where a class has a to_dict, it returns a
# TypedDict with exactly the keys the module puts in, nested results as their own dicts.

from abc import ABCMeta
from collections.abc import Sequence
from typing import (
    Any,
    ClassVar,
    Literal,
    Protocol,
    SupportsFloat,
    SupportsIndex,
    TypedDict,
    TypeVar,
    final,
)

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
# Three integer counts, one per translation vector.
_LatticeCounts = _SequenceLike[SupportsIndex]

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

# optimize -------------------------------------------------------------------------------

@final
class OptimizationPyResult:
    """Result of molecular geometry optimization."""

    __hash__: ClassVar[None]  # type: ignore[assignment]
    @property
    def converged(self) -> bool: ...
    @property
    def cycles(self) -> int: ...
    @property
    def initial_energy_ev(self) -> float: ...
    @property
    def final_energy_ev(self) -> float: ...
    @property
    def final_heat_of_formation_kcal(self) -> float: ...
    @property
    def final_grad_rms(self) -> float: ...
    @property
    def final_grad_max(self) -> float: ...
    @property
    def coordinates(self) -> list[list[float]]: ...
    @property
    def final_result(self) -> CalculationResult: ...
    def __eq__(self, other: object, /) -> bool: ...

def optimize(
    atomic_numbers: _AtomicNumbers,
    coordinates: _Coordinates,
    method: str | None = "PM6",
    max_cycles: int | None = 100,
    grad_rms_tol: float | None = 1.0,
    grad_max_tol: float | None = 2.0,
    use_nddo: bool | None = False,
) -> OptimizationPyResult:
    """Optimize molecular geometry using quasi-Newton L-BFGS optimizer."""

# transition_state -----------------------------------------------------------------------

class _TransitionStatePyResultDict(TypedDict):
    converged: bool
    cycles: int
    final_energy_ev: float
    final_heat_of_formation_kcal: float
    initial_grad_rms: float
    final_grad_rms: float
    final_grad_max: float
    ts_mode_eigenvalue: float
    ts_mode_index: int
    coordinates: list[list[float]]
    final_result: _CalculationResultDict

@final
class TransitionStatePyResult:
    """Result of transition state search via Eigenvector Following."""

    __hash__: ClassVar[None]  # type: ignore[assignment]
    @property
    def converged(self) -> bool: ...
    @property
    def cycles(self) -> int: ...
    @property
    def final_energy_ev(self) -> float: ...
    @property
    def final_heat_of_formation_kcal(self) -> float: ...
    @property
    def initial_grad_rms(self) -> float: ...
    @property
    def final_grad_rms(self) -> float: ...
    @property
    def final_grad_max(self) -> float: ...
    @property
    def ts_mode_eigenvalue(self) -> float: ...
    @property
    def ts_mode_index(self) -> int: ...
    @property
    def coordinates(self) -> list[list[float]]: ...
    @property
    def final_result(self) -> CalculationResult: ...
    def to_dict(self) -> _TransitionStatePyResultDict:
        """Convert transition state result to a standard Python dictionary."""

    def __eq__(self, other: object, /) -> bool: ...

def transition_state(
    atomic_numbers: _AtomicNumbers,
    coordinates: _Coordinates,
    method: str | None = "PM6",
    max_cycles: int | None = 100,
    grad_rms_tol: float | None = 0.1,
    grad_max_tol: float | None = 0.2,
    trust_radius: float | None = 0.1,
    target_mode: int | None = None,
    use_nddo: bool | None = False,
) -> TransitionStatePyResult:
    """Locate a transition state (first-order saddle point) using Eigenvector Following
    (P-RFO Baker)."""

# frequencies ----------------------------------------------------------------------------

class _NormalModePyDict(TypedDict):
    frequency_cm1: float
    reduced_mass_amu: float
    force_constant_mdyne_a: float
    displacements: list[list[float]]

@final
class NormalModePy:
    """Normal vibrational mode with harmonic frequency and Cartesian displacement vectors."""

    __hash__: ClassVar[None]  # type: ignore[assignment]
    @property
    def frequency_cm1(self) -> float: ...
    @property
    def reduced_mass_amu(self) -> float: ...
    @property
    def force_constant_mdyne_a(self) -> float: ...
    @property
    def displacements(self) -> list[list[float]]: ...
    def to_dict(self) -> _NormalModePyDict:
        """Convert normal mode to a standard Python dictionary."""

    def __eq__(self, other: object, /) -> bool: ...

class _ThermodynamicsPyDict(TypedDict):
    temperature_k: float
    pressure_atm: float
    zpve_kcal_mol: float
    e_vib_cal_mol: float
    e_rot_cal_mol: float
    e_trans_cal_mol: float
    enthalpy_thermal_cal_mol: float
    cv_vib_cal_k_mol: float
    cv_rot_cal_k_mol: float
    cp_trans_cal_k_mol: float
    cp_total_cal_k_mol: float
    entropy_vib_cal_k_mol: float
    entropy_rot_cal_k_mol: float
    entropy_trans_cal_k_mol: float
    entropy_total_cal_k_mol: float
    gibbs_correction_kcal_mol: float

@final
class ThermodynamicsPy:
    """Statistical thermodynamic properties computed from vibrational, rotational, and
    translational partition functions."""

    __hash__: ClassVar[None]  # type: ignore[assignment]
    @property
    def temperature_k(self) -> float: ...
    @property
    def pressure_atm(self) -> float: ...
    @property
    def zpve_kcal_mol(self) -> float: ...
    @property
    def e_vib_cal_mol(self) -> float: ...
    @property
    def e_rot_cal_mol(self) -> float: ...
    @property
    def e_trans_cal_mol(self) -> float: ...
    @property
    def enthalpy_thermal_cal_mol(self) -> float: ...
    @property
    def cv_vib_cal_k_mol(self) -> float: ...
    @property
    def cv_rot_cal_k_mol(self) -> float: ...
    @property
    def cp_trans_cal_k_mol(self) -> float: ...
    @property
    def cp_total_cal_k_mol(self) -> float: ...
    @property
    def entropy_vib_cal_k_mol(self) -> float: ...
    @property
    def entropy_rot_cal_k_mol(self) -> float: ...
    @property
    def entropy_trans_cal_k_mol(self) -> float: ...
    @property
    def entropy_total_cal_k_mol(self) -> float: ...
    @property
    def gibbs_correction_kcal_mol(self) -> float: ...
    def to_dict(self) -> _ThermodynamicsPyDict:
        """Convert thermodynamic properties to a standard Python dictionary."""

    def __eq__(self, other: object, /) -> bool: ...

class _VibrationalResultPyDict(TypedDict):
    all_frequencies_cm1: list[float]
    vibrational_frequencies_cm1: list[float]
    zpve_kcal_mol: float
    is_transition_state: bool
    thermo: _ThermodynamicsPyDict
    cartesian_hessian: list[list[float]]
    normal_modes: list[_NormalModePyDict]

@final
class VibrationalResultPy:
    """Comprehensive results of Hessian and normal coordinate analysis."""

    __hash__: ClassVar[None]  # type: ignore[assignment]
    @property
    def all_frequencies_cm1(self) -> list[float]: ...
    @property
    def vibrational_frequencies_cm1(self) -> list[float]: ...
    @property
    def normal_modes(self) -> list[NormalModePy]: ...
    @property
    def zpve_kcal_mol(self) -> float: ...
    @property
    def thermo(self) -> ThermodynamicsPy: ...
    @property
    def is_transition_state(self) -> bool: ...
    @property
    def cartesian_hessian(self) -> list[list[float]]: ...
    def to_dict(self) -> _VibrationalResultPyDict:
        """Convert vibrational analysis result to a standard Python dictionary."""

    def __eq__(self, other: object, /) -> bool: ...

# step_size_angstrom=None selects a step of 0.001 Å, not the default 0.005 Å;
# custom_masses holds one mass per atom, in amu.
def frequencies(
    atomic_numbers: _AtomicNumbers,
    coordinates: _Coordinates,
    method: str | None = "PM6",
    temperature_k: float | None = 298.15,
    pressure_atm: float | None = 1.0,
    rotational_symmetry_number: float | None = 1.0,
    step_size_angstrom: float | None = 0.005,
    project_external: bool | None = True,
    use_nddo: bool | None = False,
    custom_masses: _SequenceLike[SupportsFloat] | None = None,
) -> VibrationalResultPy:
    """Compute Cartesian Hessian, harmonic vibrational frequencies, normal modes, and
    thermodynamics."""

# esp_charges ----------------------------------------------------------------------------

class _EspResultPyDict(TypedDict):
    charges: list[float]
    dipole_debye: list[float]
    dipole_magnitude_debye: float
    rms_error_ev: float
    num_grid_points: int

@final
class EspResultPy:
    """Merz-Singh-Kollman Electrostatic Potential (ESP) fitting result."""

    __hash__: ClassVar[None]  # type: ignore[assignment]
    @property
    def charges(self) -> list[float]: ...
    @property
    def dipole_debye(self) -> list[float]: ...
    @property
    def dipole_magnitude_debye(self) -> float: ...
    @property
    def rms_error_ev(self) -> float: ...
    @property
    def num_grid_points(self) -> int: ...
    def to_dict(self) -> _EspResultPyDict:
        """Convert ESP result to Python dictionary."""

    def __eq__(self, other: object, /) -> bool: ...

def esp_charges(
    atomic_numbers: _AtomicNumbers,
    coordinates: _Coordinates,
    method: str | None = "PM6",
    net_charge: float | None = 0.0,
    points_per_shell: int | None = 64,
) -> EspResultPy:
    """Compute Merz-Singh-Kollman atom-centered Electrostatic Potential (ESP) partial charges."""

# irc ------------------------------------------------------------------------------------

class _IrcPointPyDict(TypedDict):
    path_coordinate: float
    energy_ev: float
    heat_of_formation_kcal: float
    coordinates: list[list[float]]
    cartesian_gradient_rms: float
    mass_weighted_gradient_rms: float

@final
class IrcPointPy:
    """Single reaction path point along an Intrinsic Reaction Coordinate."""

    __hash__: ClassVar[None]  # type: ignore[assignment]
    @property
    def path_coordinate(self) -> float: ...
    @property
    def energy_ev(self) -> float: ...
    @property
    def heat_of_formation_kcal(self) -> float: ...
    @property
    def coordinates(self) -> list[list[float]]: ...
    @property
    def cartesian_gradient_rms(self) -> float: ...
    @property
    def mass_weighted_gradient_rms(self) -> float: ...
    def to_dict(self) -> _IrcPointPyDict:
        """Convert IRC point to a standard Python dictionary."""

    def __eq__(self, other: object, /) -> bool: ...

class _IrcPyResultDict(TypedDict):
    ts_point_index: int
    forward_converged: bool
    reverse_converged: bool
    points: list[_IrcPointPyDict]

@final
class IrcPyResult:
    """Comprehensive result of Intrinsic Reaction Coordinate path tracing."""

    __hash__: ClassVar[None]  # type: ignore[assignment]
    @property
    def points(self) -> list[IrcPointPy]: ...
    @property
    def ts_point_index(self) -> int: ...
    @property
    def forward_converged(self) -> bool: ...
    @property
    def reverse_converged(self) -> bool: ...
    def to_dict(self) -> _IrcPyResultDict:
        """Convert IRC result to a standard Python dictionary."""

    def __eq__(self, other: object, /) -> bool: ...

# None selects the default: method "PM6", step_size 0.1 amu^(1/2) Å, max_points 50,
# direction "both" (or "forward", "reverse"), use_nddo False.
def irc(
    atomic_numbers: _AtomicNumbers,
    coordinates: _Coordinates,
    method: str | None = None,
    step_size: float | None = None,
    max_points: int | None = None,
    direction: str | None = None,
    use_nddo: bool | None = None,
) -> IrcPyResult:
    """Trace Intrinsic Reaction Coordinate (IRC) path from a transition state."""

# drc ------------------------------------------------------------------------------------

class _DrcFramePyDict(TypedDict):
    step: int
    time_fs: float
    potential_energy_ev: float
    kinetic_energy_ev: float
    total_energy_ev: float
    temperature_k: float
    coordinates: list[list[float]]
    velocities: list[list[float]]
    forces: list[list[float]]

@final
class DrcFramePy:
    """Recorded frame along Dynamic Reaction Coordinate Born-Oppenheimer Molecular Dynamics."""

    __hash__: ClassVar[None]  # type: ignore[assignment]
    @property
    def step(self) -> int: ...
    @property
    def time_fs(self) -> float: ...
    @property
    def potential_energy_ev(self) -> float: ...
    @property
    def kinetic_energy_ev(self) -> float: ...
    @property
    def total_energy_ev(self) -> float: ...
    @property
    def temperature_k(self) -> float: ...
    @property
    def coordinates(self) -> list[list[float]]: ...
    @property
    def velocities(self) -> list[list[float]]: ...
    @property
    def forces(self) -> list[list[float]]: ...
    def to_dict(self) -> _DrcFramePyDict:
        """Convert frame to a standard Python dictionary."""

    def __eq__(self, other: object, /) -> bool: ...

class _DrcPyResultDict(TypedDict):
    initial_energy_ev: float
    final_energy_ev: float
    energy_drift_ev_per_ps: float
    max_energy_drift_ev: float
    average_temperature_k: float
    frames: list[_DrcFramePyDict]

@final
class DrcPyResult:
    """Comprehensive result of Dynamic Reaction Coordinate simulation."""

    __hash__: ClassVar[None]  # type: ignore[assignment]
    @property
    def frames(self) -> list[DrcFramePy]: ...
    @property
    def initial_energy_ev(self) -> float: ...
    @property
    def final_energy_ev(self) -> float: ...
    @property
    def energy_drift_ev_per_ps(self) -> float: ...
    @property
    def max_energy_drift_ev(self) -> float: ...
    @property
    def average_temperature_k(self) -> float: ...
    def to_dict(self) -> _DrcPyResultDict:
        """Convert DRC result to a standard Python dictionary."""

    def __eq__(self, other: object, /) -> bool: ...

# None selects the default: method "PM6", time_step_fs 0.5, total_steps 500, ensemble
# "nve" (or "nvt"), temperature_k 298.15, berendsen_tau_fs 100.0, recording_interval 1,
# use_nddo False.
def drc(
    atomic_numbers: _AtomicNumbers,
    coordinates: _Coordinates,
    method: str | None = None,
    time_step_fs: float | None = None,
    total_steps: int | None = None,
    ensemble: str | None = None,
    temperature_k: float | None = None,
    berendsen_tau_fs: float | None = None,
    recording_interval: int | None = None,
    use_nddo: bool | None = None,
) -> DrcPyResult:
    """Run Dynamic Reaction Coordinate (DRC) / Born-Oppenheimer Molecular Dynamics."""

# saddle ---------------------------------------------------------------------------------

class _SaddlePointPyDict(TypedDict):
    cycle: int
    moving_structure: int
    distance: float
    heat_of_formation_kcal: float
    total_energy_ev: float
    grad_rms: float
    coordinates: list[list[float]]

@final
class SaddlePointPy:
    """A discrete point along the two-ended reaction barrier ascent in SADDLE."""

    __hash__: ClassVar[None]  # type: ignore[assignment]
    @property
    def cycle(self) -> int: ...
    @property
    def moving_structure(self) -> int: ...
    @property
    def distance(self) -> float: ...
    @property
    def heat_of_formation_kcal(self) -> float: ...
    @property
    def total_energy_ev(self) -> float: ...
    @property
    def grad_rms(self) -> float: ...
    @property
    def coordinates(self) -> list[list[float]]: ...
    def to_dict(self) -> _SaddlePointPyDict: ...
    def __eq__(self, other: object, /) -> bool: ...

class _SaddlePyResultDict(TypedDict):
    converged: bool
    num_cycles: int
    final_distance: float
    transition_state_coordinates: list[list[float]]
    transition_state_energy_ev: float
    transition_state_heat_of_formation_kcal: float
    barrier_forward_kcal: float
    barrier_reverse_kcal: float
    trajectory: list[_SaddlePointPyDict]
    final_result: _CalculationResultDict
    ts_refinement: _TransitionStatePyResultDict | None

@final
class SaddlePyResult:
    """Outcome of two-ended SADDLE transition state search."""

    __hash__: ClassVar[None]  # type: ignore[assignment]
    @property
    def converged(self) -> bool: ...
    @property
    def num_cycles(self) -> int: ...
    @property
    def final_distance(self) -> float: ...
    @property
    def transition_state_coordinates(self) -> list[list[float]]: ...
    @property
    def transition_state_energy_ev(self) -> float: ...
    @property
    def transition_state_heat_of_formation_kcal(self) -> float: ...
    @property
    def barrier_forward_kcal(self) -> float: ...
    @property
    def barrier_reverse_kcal(self) -> float: ...
    @property
    def trajectory(self) -> list[SaddlePointPy]: ...
    @property
    def final_result(self) -> CalculationResult: ...
    @property
    def ts_refinement(self) -> TransitionStatePyResult | None: ...
    def to_dict(self) -> _SaddlePyResultDict: ...
    def __eq__(self, other: object, /) -> bool: ...

# None selects the default: method "PM6", max_cycles 60, step_size 0.10 Å,
# convergence_distance 0.12 Å, inner_max_steps 12, inner_grad_tol 3.0 kcal/(mol·Å),
# use_nddo True, refine_with_ts True (without refinement ts_refinement is None).
def saddle(
    atomic_numbers: _AtomicNumbers,
    reactant_coords: _Coordinates,
    product_coords: _Coordinates,
    method: str | None = None,
    max_cycles: int | None = None,
    step_size: float | None = None,
    convergence_distance: float | None = None,
    inner_max_steps: int | None = None,
    inner_grad_tol: float | None = None,
    use_nddo: bool | None = None,
    refine_with_ts: bool | None = None,
) -> SaddlePyResult:
    """Locate a transition state between two geometries using two-ended SADDLE reaction search."""

# meci -----------------------------------------------------------------------------------

@final
class CiStatePy:
    """Single CI electronic state result exposed to Python."""

    __hash__: ClassVar[None]  # type: ignore[assignment]
    @property
    def root(self) -> int: ...
    @property
    def energy_ev(self) -> float: ...
    @property
    def excitation_energy_ev(self) -> float: ...
    @property
    def excitation_energy_cm1(self) -> float: ...
    @property
    def wavelength_nm(self) -> float: ...
    @property
    def multiplicity(self) -> int: ...
    @property
    def spin_label(self) -> str: ...
    @property
    def s_squared(self) -> float: ...
    @property
    def transition_dipole_debye(self) -> list[float]: ...
    @property
    def dipole_strength_debye(self) -> float: ...
    @property
    def polarization_angstrom2(self) -> list[float]: ...
    @property
    def oscillator_strength(self) -> float: ...
    def __eq__(self, other: object, /) -> bool: ...

@final
class MeciPyResult:
    """Complete MECI calculation result exposed to Python."""

    __hash__: ClassVar[None]  # type: ignore[assignment]
    @property
    def states(self) -> list[CiStatePy]: ...
    @property
    def num_microstates(self) -> int: ...
    @property
    def target_root(self) -> int: ...
    @property
    def ci_energy_correction_ev(self) -> float: ...
    @property
    def electronic_energy_ev(self) -> float: ...
    @property
    def total_energy_ev(self) -> float: ...
    @property
    def heat_of_formation_kcal(self) -> float: ...
    @property
    def gradients_kcal_mol_angstrom(self) -> list[list[float]]: ...
    def __eq__(self, other: object, /) -> bool: ...

def meci(
    atomic_numbers: _AtomicNumbers,
    coordinates: _Coordinates,
    method: str | None = "PM6",
    active_orbitals: int | None = 2,
    target_root: int | None = 1,
    use_nddo: bool | None = True,
) -> MeciPyResult:
    """Run Multi-Electron Configuration Interaction (MECI) excited state calculation."""

# uv_vis_spectrum ------------------------------------------------------------------------

@final
class UvVisSpectrumPy:
    """Simulated UV-Vis spectrum exposed to Python."""

    __hash__: ClassVar[None]  # type: ignore[assignment]
    @property
    def wavelengths_nm(self) -> list[float]: ...
    @property
    def extinction_coefficients(self) -> list[float]: ...
    @property
    def lambda_max_nm(self) -> float: ...
    @property
    def epsilon_max(self) -> float: ...
    def __eq__(self, other: object, /) -> bool: ...

def uv_vis_spectrum(
    atomic_numbers: _AtomicNumbers,
    coordinates: _Coordinates,
    method: str | None = "PM6",
    active_orbitals: int | None = 2,
    min_wavelength_nm: float | None = 100.0,
    max_wavelength_nm: float | None = 800.0,
    step_nm: float | None = 1.0,
    fwhm_nm: float | None = 20.0,
    use_nddo: bool | None = True,
) -> UvVisSpectrumPy:
    """Simulate UV-Vis electronic absorption spectrum from CI states."""

# pbc ------------------------------------------------------------------------------------

@final
class PbcResultPy:
    """Periodic Boundary Condition calculation and band structure results."""

    __hash__: ClassVar[None]  # type: ignore[assignment]
    @property
    def converged(self) -> bool: ...
    @property
    def total_energy_per_cell_ev(self) -> float: ...
    @property
    def electronic_energy_per_cell_ev(self) -> float: ...
    @property
    def nuclear_repulsion_per_cell_ev(self) -> float: ...
    @property
    def heat_of_formation_kcal_mol(self) -> float: ...
    @property
    def vbm_energy_ev(self) -> float: ...
    @property
    def cbm_energy_ev(self) -> float: ...
    @property
    def direct_bandgap_ev(self) -> float: ...
    @property
    def indirect_bandgap_ev(self) -> float: ...
    @property
    def band_energies_ev(self) -> list[list[float]]: ...
    @property
    def dos_energies_ev(self) -> list[float]: ...
    @property
    def iterations(self) -> int: ...
    @property
    def dos_values(self) -> list[float]: ...
    def __eq__(self, other: object, /) -> bool: ...

# translation_vectors: one to three [x, y, z] lattice vectors, in Å. The function has no
# docstring.
def pbc(
    atomic_numbers: _AtomicNumbers,
    coordinates: _Coordinates,
    translation_vectors: _Coordinates,
    method: str | None = "PM6",
    mers: _LatticeCounts | None = None,
    k_grid: _LatticeCounts | None = None,
    use_nddo: bool | None = True,
    max_iter: int | None = 100,
    band_points: int | None = 40,
) -> PbcResultPy: ...

# polarizability -------------------------------------------------------------------------

@final
class PolarizabilityPyResult:
    """Comprehensive polarizability and NLO tensor calculation results for Python."""

    __hash__: ClassVar[None]  # type: ignore[assignment]
    @property
    def alpha_tensor(self) -> list[list[float]]: ...
    @property
    def alpha_isotropic_au(self) -> float: ...
    @property
    def alpha_isotropic_angstrom3(self) -> float: ...
    @property
    def alpha_anisotropy_au(self) -> float: ...
    @property
    def alpha_eigenvalues(self) -> list[float]: ...
    @property
    def alpha_eigenvectors(self) -> list[list[float]]: ...
    @property
    def alpha_raw_tensor(self) -> list[list[float]]: ...
    @property
    def alpha_raw_isotropic_au(self) -> float: ...
    @property
    def alpha_raw_isotropic_angstrom3(self) -> float: ...
    @property
    def beta_vector(self) -> list[float]: ...
    @property
    def beta_total_au(self) -> float: ...
    @property
    def beta_total_esu(self) -> float: ...
    @property
    def gamma_diag(self) -> list[float]: ...
    @property
    def gamma_average_au(self) -> float: ...
    @property
    def gamma_average_esu(self) -> float: ...
    @property
    def dipole_debye(self) -> list[float]: ...
    @property
    def unperturbed_energy_ev(self) -> float: ...
    def __eq__(self, other: object, /) -> bool: ...

def polarizability(
    atomic_numbers: _AtomicNumbers,
    coordinates: _Coordinates,
    method: str | None = "PM6",
    field_step_au: float | None = 0.002,
    use_nddo: bool | None = True,
    reorient: bool | None = True,
    apply_empirical_scaling: bool | None = True,
    compute_hyperpolarizabilities: bool | None = True,
    scf_max_iter: int | None = 80,
    energy_tol_ev: float | None = 1e-9,
    density_tol: float | None = 1e-8,
) -> PolarizabilityPyResult:
    """Compute molecular polarizability and NLO hyperpolarizability tensors."""

# karvel ---------------------------------------------------------------------------------

# The kinds of localized orbital, as KarvelLmoPy.lmo_type names them.
_LmoType = Literal[
    "BondingSigma",
    "AntibondingSigma",
    "BondingPi",
    "AntibondingPi",
    "LonePair",
    "Core",
    "VirtualHybrid",
    "ConjugatedPi",
]

class _KarvelLmoPyDict(TypedDict):
    index: int
    lmo_type: _LmoType
    is_occupied: bool
    atom_indices: list[int]
    ao_indices: list[int]
    coeffs: list[float]
    energy_ev: float

@final
class KarvelLmoPy:
    """Localized Molecular Orbital (LMO) representation for Python."""

    __hash__: ClassVar[None]  # type: ignore[assignment]
    @property
    def index(self) -> int: ...
    @property
    def lmo_type(self) -> _LmoType: ...
    @property
    def is_occupied(self) -> bool: ...
    @property
    def atom_indices(self) -> list[int]: ...
    @property
    def ao_indices(self) -> list[int]: ...
    @property
    def coeffs(self) -> list[float]: ...
    @property
    def energy_ev(self) -> float: ...
    def to_dict(self) -> _KarvelLmoPyDict: ...
    def __eq__(self, other: object, /) -> bool: ...

class _KarvelPyResultDict(TypedDict):
    converged: bool
    iterations: int
    electronic_energy_ev: float
    nuclear_repulsion_ev: float
    total_energy_ev: float
    heat_of_formation_kcal: float
    atomic_charges: list[float]
    lmos: list[_KarvelLmoPyDict]

@final
class KarvelPyResult:
    """KARVEL O(N) linear-scaling localized molecular orbital SCF results for Python."""

    __hash__: ClassVar[None]  # type: ignore[assignment]
    @property
    def converged(self) -> bool: ...
    @property
    def iterations(self) -> int: ...
    @property
    def electronic_energy_ev(self) -> float: ...
    @property
    def nuclear_repulsion_ev(self) -> float: ...
    @property
    def total_energy_ev(self) -> float: ...
    @property
    def heat_of_formation_kcal(self) -> float: ...
    @property
    def atomic_charges(self) -> list[float]: ...
    @property
    def lmos(self) -> list[KarvelLmoPy]: ...
    def to_dict(self) -> _KarvelPyResultDict: ...
    def __eq__(self, other: object, /) -> bool: ...

def karvel(
    atomic_numbers: _AtomicNumbers,
    coordinates: _Coordinates,
    method: str | None = "PM6",
    dispersion: str | None = None,
    max_iter: int | None = 200,
    max_jacobi_sweeps: int | None = 50,
    energy_tol: float | None = 1e-7,
    jacobi_tol: float | None = 1e-4,
    cutoff_distance: float | None = 8.5,
    damping: float | None = 1.0,
    verbose: bool | None = False,
) -> KarvelPyResult:
    """Perform O(N) linear-scaling localized molecular orbital calculation via KARVEL."""

# am1_bcc --------------------------------------------------------------------------------

class _Am1BccPyResultDict(TypedDict):
    initial_charges: list[float]
    bond_charge_corrections: list[float]
    bcc_charges: list[float]
    total_charge: float

@final
class Am1BccPyResult:
    """AM1-BCC Atomic Partial Charges result."""

    __hash__: ClassVar[None]  # type: ignore[assignment]
    @property
    def initial_charges(self) -> list[float]: ...
    @property
    def bond_charge_corrections(self) -> list[float]: ...
    @property
    def bcc_charges(self) -> list[float]: ...
    @property
    def total_charge(self) -> float: ...
    def to_dict(self) -> _Am1BccPyResultDict: ...
    def __eq__(self, other: object, /) -> bool: ...

# Unlike the other functions, method and use_nddo take no None.
def am1_bcc(
    atomic_numbers: _AtomicNumbers,
    coordinates: _Coordinates,
    method: str = "AM1",
    use_nddo: bool = True,
) -> Am1BccPyResult:
    """Calculate AM1-BCC atomic partial charges."""

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
