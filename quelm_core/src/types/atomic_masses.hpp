#pragma once
// Standard average atomic weights in amu (not isotopic masses), by atomic number.

#include "types/molecular_batch.hpp"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace quelm {

// Mass of element z for 1 ≤ z ≤ 107 (98 and 102 carry the masses of the PM7
// pseudo-atoms); 0.0 for every other z.
double standard_atomic_mass(std::uint8_t z);

// Index of the first atom the table gives no mass (Z 93–97, 99–101, 103–107 and outside
// 1–107), if any: dynamics and reaction paths cannot move such an atom.
std::optional<std::size_t> first_massless_atom(std::span<const std::uint8_t> atomic_numbers);

// Centre of mass (Å) of all atoms with the standard masses; the coordinate origin when
// the atoms weigh nothing.
Coordinate centre_of_mass(const MolecularBatch& batch);

// The same with the given masses (amu, one per atom).
Coordinate centre_of_mass(const MolecularBatch& batch, std::span<const double> masses_amu);

} // namespace quelm
