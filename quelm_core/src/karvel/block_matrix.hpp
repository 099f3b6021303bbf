#pragma once
// Symmetric AO matrices stored as atom-pair blocks for the pairs within a cutoff, the
// storage of the localized-orbital SCF: its core Hamiltonian, Fock matrix and density
// grow with the number of atom pairs in range, not with n_orbitals². The neighbour
// lists come from a cell grid, so building them is linear in the atom count too.
//
// Both blocks (A, B) and (B, A) are stored (row-major, n_A x n_B), and every atom is its
// own neighbour, so a block row of the matrix is one contiguous neighbour list.

#include "types/molecular_batch.hpp"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace quelm {

// For every point, the points at most cutoff_angstrom away (itself included), ascending.
struct PointNeighbours {
    std::vector<std::size_t> row_start; // n_points + 1 entries
    std::vector<std::uint32_t> neighbours;
};
PointNeighbours find_point_neighbours(const std::vector<Coordinate>& points,
                                      double cutoff_angstrom);

struct AtomPairPattern {
    std::vector<std::size_t> row_start;    // n_atoms + 1 entries into `neighbours`
    std::vector<std::uint32_t> neighbours; // ascending within each row, the atom included
    std::vector<std::size_t> block_offset; // per entry, into the value array
    std::size_t n_values = 0;
    double cutoff_angstrom = 0.0;

    // Pairs at most cutoff_angstrom apart (every atom with itself).
    static AtomPairPattern build(const MolecularBatch& batch, double cutoff_angstrom);

    // The entry of (a, b) in row a, or npos when the pair is out of range.
    std::size_t find(std::size_t a, std::size_t b) const;
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);
};

struct BlockMatrix {
    std::shared_ptr<const AtomPairPattern> pattern; // shared by the matrices of one run
    std::vector<double> values;

    static BlockMatrix zeros(std::shared_ptr<const AtomPairPattern> pattern) {
        const std::size_t n_values = pattern->n_values;
        return {std::move(pattern), std::vector<double>(n_values, 0.0)};
    }
    // The n_A x n_B block of entry k of the pattern (row-major).
    double* block(std::size_t k) { return values.data() + pattern->block_offset[k]; }
    const double* block(std::size_t k) const { return values.data() + pattern->block_offset[k]; }
};

} // namespace quelm
