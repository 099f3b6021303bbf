#pragma once
// Empirical dispersion corrections in kcal/mol: the Fermi-damped C6/R⁶ forms of PM6-DH+ and
// PM7, and a Becke–Johnson-damped D3 form with a C8 term. They depend only on the atomic
// numbers and coordinates, never on the wave function.

#include "types/molecular_batch.hpp"

#include <array>
#include <cstddef>

namespace quelm {

// The three variants; they share the element table and the combination rule and differ in
// the damping and the global scale (DH+: s6 0.89; PM7: s6 2.286419; D3-BJ: s6 1).
enum class DispersionModel { pm6_dh_plus = 0, pm7 = 1, d3_bj = 2 };

// Dispersion energy of the molecule in kcal/mol (0 for an empty batch or a single atom).
// Atoms of elements without table entries take part in no pair. A model outside the three
// enumerators throws InternalError.
double compute_dispersion_energy(const MolecularBatch& batch, DispersionModel model);

// Adds dE/dr (kcal/(mol·Å)) of every atom into gradient[0 .. n_gradient) without clearing it;
// n_gradient must equal n_atoms (InternalError otherwise). The per-atom C6 values are held
// fixed, so the carbon coordination switch contributes no force. Returns the energy in
// kcal/mol, the same value as compute_dispersion_energy.
double compute_dispersion_energy_and_gradients(const MolecularBatch& batch, DispersionModel model,
                                               std::array<double, 3>* gradient,
                                               std::size_t n_gradient);

} // namespace quelm
