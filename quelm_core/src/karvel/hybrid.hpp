#pragma once
// Directed hybrids on every atom and the localized molecular orbitals built from them:
// two-centre σ and π bonding/antibonding pairs along the Lewis bonds, one-centre lone
// pairs and empty hybrids. Only the geometry, the Lewis structure and the orbital layout
// enter; the Hamiltonian does not.

#include "karvel/types.hpp"
#include "types/molecular_batch.hpp"
#include "types/result.hpp"

namespace quelm {

// The hybrids of one atom (bond hybrids in the order of its bonds in lewis.bonds).
AtomHybrids construct_atom_hybrids(const MolecularBatch& batch, const LewisStructure& lewis,
                                   std::size_t atom);

// All initial LMOs. A structure that a set of two-centre bonds cannot hold (an atom with
// more bonds than valence orbitals, such as the bridging hydrogens of diborane) is refused
// with a message naming the atom.
Result<InitialLmos> construct_initial_lmos(const MolecularBatch& batch,
                                           const LewisStructure& lewis);

} // namespace quelm
