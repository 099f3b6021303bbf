#pragma once
// AM1-BCC style charges: the Mulliken charges of a closed-shell SCF plus one bond charge
// correction per Lewis bond, keyed by the two elements, the carbon's hybridisation class
// and the bond order (after Jakalian, Jack & Bayly, J. Comput. Chem. 23, 1623 (2002), in
// a reduced table). Charges in e.

#include "types/molecular_batch.hpp"
#include "types/result.hpp"

#include <cstdint>
#include <span>
#include <vector>

namespace quelm {

enum class Hybridization : std::uint8_t { sp3 = 0, sp2 = 1, sp = 2, aromatic = 3, terminal = 4 };

struct Am1BccResult {
    std::vector<double> initial_charges;
    std::vector<double> bond_charge_corrections; // per atom, the sum over its bonds
    std::vector<double> bcc_charges;
    double total_charge = 0.0;
};

// Charge moved onto the first atom (and off the second) by a bond between atoms of
// atomic numbers z_i, z_j with classes class_i, class_j; antisymmetric under exchange.
double lookup_bcc_delta(std::uint8_t z_i, Hybridization class_i, std::uint8_t z_j,
                        Hybridization class_j, unsigned order);

// The hybridisation class of every atom from the Lewis bonds (six-membered rings of
// atoms with at most three bonds, reached from a carbon or nitrogen, are aromatic).
std::vector<Hybridization> classify_hybridization(const MolecularBatch& batch);

// Each value replaced by the mean over its atom's class of topologically equivalent atoms
// (same element, equivalent neighbours: colour refinement over the Lewis bonds, bond
// orders ignored so that the Kekulé form of a ring does not split it). The methyl
// hydrogens of one geometry differ in their Mulliken charges by the conformation; the
// charge model gives them one value, as the AM1-BCC procedure does.
std::vector<double> average_over_equivalent_atoms(const MolecularBatch& batch,
                                                  std::span<const double> values);

// initial_charges must have one entry per atom, else the mismatch message. The
// corrections are averaged over equivalent atoms.
Result<Am1BccResult> compute_am1_bcc_charges(const MolecularBatch& batch,
                                             std::span<const double> initial_charges);

} // namespace quelm
