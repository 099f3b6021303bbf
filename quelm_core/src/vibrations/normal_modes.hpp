#pragma once
// Harmonic normal modes from a Cartesian Hessian: mass weighting, optional projection of the
// rigid translations and rotations (Eckart conditions), diagonalisation, frequencies,
// reduced masses and force constants.

#include "types/aligned_storage.hpp"
#include "types/molecular_batch.hpp"
#include "types/result.hpp"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace quelm {

// cm⁻¹ per sqrt(kcal/(mol·Å²·amu)): ν = (1/2πc)·sqrt(k/μ) with k/μ in those units.
inline constexpr double wavenumber_per_sqrt_kcal_mol_angstrom2_amu = 108.59135859237747;

struct NormalMode {
    std::vector<Coordinate> displacements; // per atom; the whole 3N vector has unit length
    double frequency_cm1 = 0.0;            // negative for an imaginary mode
    double reduced_mass_amu = 0.0;
    double force_constant_mdyne_a = 0.0; // mdyne/Å
};

struct NormalModeAnalysis {
    std::vector<double> all_frequencies_cm1;         // 3N, ascending eigenvalue order
    std::vector<double> vibrational_frequencies_cm1; // without the external modes
    std::vector<NormalMode> normal_modes;            // 3N, same order
    AlignedMatrix mass_weighted_hessian;             // kcal/(mol·Å²·amu), before projection
};

// Translations and rotations of the molecule in mass-weighted Cartesian space (all masses 1:
// plain Cartesian space), orthonormalised by modified Gram–Schmidt in that order; a vector
// whose remainder has squared norm 1e-10 or less is dropped. Rotations are about the centre of
// mass; a linear molecule gets two, about axes perpendicular to it.
std::vector<std::vector<double>> rigid_body_vectors(const MolecularBatch& batch,
                                                    std::span<const double> masses);

// F ← P F P with P = I − Σ v vᵀ over orthonormal vectors (F symmetric, n x n).
void project_out(AlignedMatrix& f, const std::vector<std::vector<double>>& vectors);

// Fewer than three atoms, or every atom within 1e-4 Å² (|d × (rᵢ − r₀)|) of the line
// through atoms 0 and 1 (atoms 0 and 1 closer than 1e-6 Å also count as linear).
bool is_linear_molecule(const MolecularBatch& batch);

// Number of rigid-body modes: 3 for one atom, 5 for a linear molecule, 6 otherwise.
std::size_t count_external_modes(const MolecularBatch& batch);

// The masses (amu) a vibrational analysis uses: `custom_masses` when it has one entry per
// atom, otherwise the standard atomic weights. An element whose standard weight is not
// positive (the table has none for Z 93–97, 99–101, 103–107 and outside 1–107) has no
// vibrational motion to speak of: that fails with a message naming the element.
Result<std::vector<double>>
resolve_vibrational_masses(std::span<const std::uint8_t> atomic_numbers,
                           const std::optional<std::vector<double>>& custom_masses);

// Mass-weights, projects (when asked and N > 1), diagonalises and converts. `hessian` is the
// symmetric Cartesian Hessian in kcal/(mol·Å²); `masses_amu` one mass per atom.
NormalModeAnalysis analyse_normal_modes(const MolecularBatch& batch, const AlignedMatrix& hessian,
                                        std::span<const double> masses_amu, bool project_external);

} // namespace quelm
