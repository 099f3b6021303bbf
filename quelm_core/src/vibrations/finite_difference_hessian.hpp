#pragma once
// Cartesian Hessian of the SCF energy as central differences of gradients, each taken at a
// re-converged SCF: H[i][c] = (g⁺ᵢ − g⁻ᵢ)/(2h) for coordinate c displaced by ±h.
//
// The 6N displaced SCFs are independent of one another, so they run on all cores: one
// worker thread per core, each with its own copy of the batch, its own SCF workspace and one
// BLAS thread. Every displaced SCF starts from the same reference density (the converged
// density of the undisplaced geometry), whichever thread runs it, so the Hessian does not
// depend on the number of threads, bit for bit.

#include "parameters/parameter_model.hpp"
#include "scf/scf_loop.hpp"
#include "types/aligned_storage.hpp"
#include "types/molecular_batch.hpp"

#include <cstddef>
#include <vector>

namespace quelm {

struct FiniteDifferenceHessianSettings {
    double step_angstrom = 0.005;
    // The SCF of every displaced geometry. When it does not converge, the retry ladder
    // (vacuum or COSMO only) runs from a cold start.
    ScfOptions scf;
    // Re-converge the SCF at every displaced geometry; when off, the displaced gradients use
    // the reference density as it is.
    bool relax_scf = true;
    // Start each displaced SCF from the reference density instead of the neutral-atom guess.
    bool start_from_reference_density = true;
    // One entry per Cartesian coordinate (3a + k); false freezes the coordinate: it is not
    // displaced and its diagonal element is set to frozen_diagonal. Empty: nothing frozen.
    std::vector<bool> free_coordinates;
    double frozen_diagonal = 500.0; // kcal/(mol·Å²)
    // Worker threads; 0 uses every core the machine reports.
    std::size_t max_threads = 0;
};

struct FiniteDifferenceHessian {
    AlignedMatrix hessian; // 3N x 3N, kcal/(mol·Å²), symmetrised
    // Displaced geometries whose SCF did not converge even with the retry ladder.
    std::size_t unconverged_scfs = 0;
};

// The symmetrised Cartesian Hessian at the batch's coordinates. `reference_density` is the
// converged density there (n_orbitals x n_orbitals). The batch itself is not modified.
FiniteDifferenceHessian
compute_finite_difference_hessian(const MolecularBatch& batch, const ParameterModel& model,
                                  const AlignedMatrix& reference_density,
                                  const FiniteDifferenceHessianSettings& settings);

} // namespace quelm
