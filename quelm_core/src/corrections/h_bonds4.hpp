#pragma once
// H4 hydrogen-bond correction (Řezáč & Hobza, J. Chem. Theory Comput. 8, 141 (2012)) and
// the H–H repulsion term, in kcal/mol.

#include "types/molecular_batch.hpp"

#include <array>
#include <vector>

namespace quelm {

// The seven H4 constants, in the order the single point passes them
// (2.32, 3.1, 1.07, 2.01, 0.42, 3.61, 1.41).
struct H4Parameters {
    std::array<double, 7> values{};
};

double compute_h4_energy(const MolecularBatch& batch, const H4Parameters& parameters);

struct HhRepulsion {
    double energy_kcal = 0.0;
    std::vector<std::array<double, 3>> gradient_kcal_mol_angstrom; // one per atom
};

HhRepulsion compute_hh_repulsion_energy_and_gradients(const MolecularBatch& batch);

} // namespace quelm
