#pragma once
// Cartesian energy gradients (eV/Å) as central differences of the frozen-density
// energy E(R; P) = core repulsion + ½ Σ P (H + F), with P fixed at the SCF density.

#include "parameters/parameter_model.hpp"
#include "types/aligned_storage.hpp"
#include "types/molecular_batch.hpp"

#include <array>
#include <vector>

namespace quelm {

struct GradientWorkspace {
    AlignedMatrix hcore;
    AlignedMatrix fock;
    static GradientWorkspace allocate(std::size_t n);
};

struct GradientOptions {
    bool use_nddo = true;
};

// Frozen-density energy at the batch's current coordinates, eV.
double evaluate_frozen_energy(const MolecularBatch& batch, const ParameterModel& model,
                              const AlignedMatrix& density, GradientWorkspace& workspace,
                              bool use_nddo);

// Fills one (gx, gy, gz) per atom in eV/Å, the central difference of the frozen-density
// energy pair by pair (no n x n scratch needed); the batch's coordinates are left untouched.
// `gradient` must have n_atoms entries.
void compute_cartesian_gradients_with_options(MolecularBatch& batch, const ParameterModel& model,
                                              const AlignedMatrix& density,
                                              std::vector<std::array<double, 3>>& gradient,
                                              const GradientOptions& options);

} // namespace quelm
