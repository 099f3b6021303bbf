#pragma once
// A Lewis structure from a bare geometry: bonds from covalent radii, bond orders from
// bond-length ratios, then lone pairs so that the structure holds exactly the molecule's
// valence electrons (formal charges where the octet needs them: C≡O, nitro, zwitterions).

#include "karvel/types.hpp"
#include "types/molecular_batch.hpp"

#include <cstdint>

namespace quelm {

// Covalent radius in Å (1.2 for elements without a tabulated value).
double covalent_radius(std::uint8_t z);

// Valence electrons of the neutral atom: the main-group number of s and p electrons, and
// s plus d electrons for the transition metals.
unsigned valence_electrons(std::uint8_t z);

LewisStructure construct_lewis_structure(const MolecularBatch& batch);

} // namespace quelm
