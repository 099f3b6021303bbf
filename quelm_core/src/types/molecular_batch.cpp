#include "types/molecular_batch.hpp"

#include "parameters/parameter_model.hpp"
#include "types/internal_error.hpp"

#include <cmath>
#include <utility>

namespace quelm {

std::uint8_t default_basis_type(std::uint8_t z) {
    if (z == 1)
        return 1;
    const bool main_group =
        (z >= 2 && z <= 20) || (z >= 30 && z <= 38) || (z >= 48 && z <= 56) || (z >= 80 && z <= 86);
    return main_group ? 4 : 9;
}

MolecularBatch MolecularBatch::new_with_default_basis(std::vector<std::uint8_t> atomic_numbers,
                                                      std::span<const Coordinate> coordinates) {
    std::vector<std::uint8_t> basis_types(atomic_numbers.size());
    for (std::size_t i = 0; i < atomic_numbers.size(); ++i) {
        basis_types[i] = default_basis_type(atomic_numbers[i]);
    }
    return new_with_basis(std::move(atomic_numbers), coordinates, std::move(basis_types));
}

MolecularBatch MolecularBatch::new_with_basis(std::vector<std::uint8_t> atomic_numbers,
                                              std::span<const Coordinate> coordinates,
                                              std::vector<std::uint8_t> basis_types) {
    if (atomic_numbers.size() != coordinates.size()) {
        throw InternalError("Atomic numbers and coordinates length mismatch");
    }
    if (atomic_numbers.size() != basis_types.size()) {
        throw InternalError("Atomic numbers and basis types length mismatch");
    }
    MolecularBatch batch;
    batch.n_atoms = atomic_numbers.size();
    batch.coords_x = AlignedVec64(batch.n_atoms);
    batch.coords_y = AlignedVec64(batch.n_atoms);
    batch.coords_z = AlignedVec64(batch.n_atoms);
    for (std::size_t i = 0; i < batch.n_atoms; ++i) {
        batch.coords_x[i] = coordinates[i][0];
        batch.coords_y[i] = coordinates[i][1];
        batch.coords_z[i] = coordinates[i][2];
    }
    batch.orbital_offsets.resize(batch.n_atoms);
    std::size_t offset = 0;
    for (std::size_t i = 0; i < batch.n_atoms; ++i) {
        batch.orbital_offsets[i] = offset;
        offset += basis_types[i];
    }
    batch.n_orbitals = offset;
    batch.atomic_numbers = std::move(atomic_numbers);
    batch.basis_types = std::move(basis_types);
    return batch;
}

MolecularBatch MolecularBatch::new_for_model(std::vector<std::uint8_t> atomic_numbers,
                                             std::span<const Coordinate> coordinates,
                                             const ParameterModel& model) {
    std::vector<std::uint8_t> basis_types(atomic_numbers.size());
    for (std::size_t i = 0; i < atomic_numbers.size(); ++i) {
        basis_types[i] = static_cast<std::uint8_t>(model.basis_type(atomic_numbers[i]));
    }
    return new_with_basis(std::move(atomic_numbers), coordinates, std::move(basis_types));
}

double MolecularBatch::distance(std::size_t i, std::size_t j) const {
    const double dx = coords_x[j] - coords_x[i];
    const double dy = coords_y[j] - coords_y[i];
    const double dz = coords_z[j] - coords_z[i];
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

std::vector<Coordinate> MolecularBatch::positions() const {
    std::vector<Coordinate> rows(n_atoms);
    for (std::size_t i = 0; i < n_atoms; ++i)
        rows[i] = position(i);
    return rows;
}

} // namespace quelm
