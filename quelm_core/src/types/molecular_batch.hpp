#pragma once
// One molecule with its minimal valence basis. Coordinates are stored in Å as three
// separate aligned arrays (structure of arrays) so loops over atoms vectorise; the
// orbitals of an atom are contiguous, in the order s, px, py, pz, d(x²−y²), d(xz),
// d(z²), d(yz), d(xy), starting at orbital_offsets[atom].

#include "types/aligned_storage.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace quelm {

class ParameterModel;

using Coordinate = std::array<double, 3>;

struct MolecularBatch {
    std::vector<std::uint8_t> atomic_numbers;
    std::vector<std::uint8_t> basis_types;
    std::vector<std::size_t> orbital_offsets;
    std::size_t n_atoms = 0;
    std::size_t n_orbitals = 0;
    AlignedVec64 coords_x;
    AlignedVec64 coords_y;
    AlignedVec64 coords_z;

    // Default basis by the periodic table (no model consulted): 1 orbital for H,
    // 4 for main-group rows, 9 for transition metals, lanthanides and Z = 0 or ≥ 87.
    static MolecularBatch new_with_default_basis(std::vector<std::uint8_t> atomic_numbers,
                                                 std::span<const Coordinate> coordinates);
    // Length mismatches throw InternalError.
    static MolecularBatch new_with_basis(std::vector<std::uint8_t> atomic_numbers,
                                         std::span<const Coordinate> coordinates,
                                         std::vector<std::uint8_t> basis_types);
    // basis_types from the model's basis_type of each element.
    static MolecularBatch new_for_model(std::vector<std::uint8_t> atomic_numbers,
                                        std::span<const Coordinate> coordinates,
                                        const ParameterModel& model);

    // Distance between atoms i and j in Å.
    double distance(std::size_t i, std::size_t j) const;
    Coordinate position(std::size_t i) const { return {coords_x[i], coords_y[i], coords_z[i]}; }
    // Every atom's position, in atom order (Å).
    std::vector<Coordinate> positions() const;
};

// The default orbital count of an element when no model is consulted.
std::uint8_t default_basis_type(std::uint8_t z);

} // namespace quelm
