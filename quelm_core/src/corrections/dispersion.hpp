#pragma once
// Empirical dispersion corrections in kcal/mol: the damped C6/R⁶ forms of PM6-DH+ and
// PM7, and a Becke–Johnson-damped D3 form.

#include "types/molecular_batch.hpp"

#include <array>
#include <cstddef>

namespace quelm {

enum class DispersionModel { pm6_dh_plus = 0, pm7 = 1, d3_bj = 2 };

double compute_dispersion_energy(const MolecularBatch& batch, DispersionModel model);

// Adds dE/dr (kcal/(mol·Å)) of every atom into gradient[0 .. n_gradient); n_gradient must
// equal n_atoms. Returns the energy in kcal/mol.
double compute_dispersion_energy_and_gradients(const MolecularBatch& batch, DispersionModel model,
                                               std::array<double, 3>* gradient,
                                               std::size_t n_gradient);

} // namespace quelm
