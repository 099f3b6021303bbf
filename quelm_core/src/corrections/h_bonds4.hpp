#pragma once
// H4 hydrogen-bond correction (Řezáč & Hobza, J. Chem. Theory Comput. 8, 141 (2012)) and
// the H–H repulsion term, in kcal/mol. Both depend only on atomic numbers and coordinates.

#include "types/molecular_batch.hpp"

#include <array>
#include <vector>

namespace quelm {

// The seven H4 constants, in the order the single point passes them
// (2.32, 3.1, 1.07, 2.01, 0.42, 3.61, 1.41): the pair scales for donor–acceptor O–O, O–N,
// N–O and N–N, then the multipliers for a water-like donor, an ammonium-like nitrogen donor
// and a carboxylate acceptor.
struct H4Parameters {
    std::array<double, 7> values{};
};

// H4 energy in kcal/mol of every N/O···N/O pair within 5.5 Å bridged by a hydrogen whose
// bend from linear is below 90°. No gradient is defined for it.
double compute_h4_energy(const MolecularBatch& batch, const H4Parameters& parameters);

// The H–H repulsion energy (kcal/mol) and its gradient, one (x, y, z) triple per atom in
// kcal/(mol·Å), zero for every atom that is not a hydrogen.
struct HhRepulsion {
    double energy_kcal = 0.0;
    std::vector<std::array<double, 3>> gradient_kcal_mol_angstrom; // one per atom
};

// Short-range repulsion between every pair of hydrogens, with its analytical gradient.
HhRepulsion compute_hh_repulsion_energy_and_gradients(const MolecularBatch& batch);

} // namespace quelm
