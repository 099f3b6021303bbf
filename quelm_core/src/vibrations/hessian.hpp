#pragma once
// Harmonic vibrational analysis of one molecule: the Cartesian Hessian of the SCF energy by
// central differences of gradients at re-converged SCFs, its normal modes and the ideal-gas
// thermochemistry at a chosen temperature and pressure.

#include "parameters/parameter_model.hpp"
#include "scf/scf_loop.hpp"
#include "scf/scf_workspace.hpp"
#include "types/aligned_storage.hpp"
#include "types/molecular_batch.hpp"
#include "vibrations/normal_modes.hpp"
#include "vibrations/thermochemistry.hpp"

#include <cstddef>
#include <optional>
#include <vector>

namespace quelm {

struct HessianOptions {
    std::optional<std::vector<double>> custom_masses; // amu; used when one per atom
    double step_size_angstrom = 0.005;
    double temperature_k = 298.15;
    double pressure_atm = 1.0;
    double rotational_symmetry_number = 1.0;
    // Re-converge the SCF at every displaced geometry (otherwise the displaced gradients
    // reuse the base density).
    bool relax_scf = true;
    bool use_nddo = false; // passed to every gradient
    bool project_external = true;
    // Start every displaced SCF from the converged base density (off: neutral-atom guess).
    bool start_from_base_density = true;
    // Threads for the displaced SCFs; 0 uses every core.
    std::size_t max_threads = 0;
};

struct HessianResult {
    std::vector<double> all_frequencies;         // 3N, cm⁻¹, ascending
    std::vector<double> vibrational_frequencies; // cm⁻¹, without the external modes
    std::vector<NormalMode> normal_modes;        // 3N
    AlignedMatrix cartesian_hessian;             // kcal/(mol·Å²), symmetrised
    AlignedMatrix mass_weighted_hessian;         // kcal/(mol·Å²·amu), before projection
    double zpve = 0.0;                           // kcal/mol
    Thermodynamics thermodynamics;
};

// The base SCF runs with `scf_options`, each displaced SCF with the same options from the base
// density; an SCF that does not converge is retried with the retry ladder. The batch's
// coordinates are unchanged on return and the workspace holds the base density.
// Throws InternalError "MolecularBatch must contain at least 1 atom", "Base SCF must converge
// before computing Hessian", "Displaced SCF must converge for the finite-difference Hessian",
// "Temperature must be strictly positive" (tested after the frequencies), or, for an atom
// without a mass, the message of resolve_vibrational_masses.
HessianResult compute_hessian_and_frequencies(MolecularBatch& batch, const ParameterModel& model,
                                              ScfWorkspace& workspace,
                                              const ScfOptions& scf_options,
                                              const HessianOptions& options);

} // namespace quelm
