#pragma once
// The NDDO two-centre integrals of one atom pair in the molecular axes, computed once
// per geometry and read by the core Hamiltonian and every Fock build.
//
// Orbital pairs of an atom are numbered in lower-triangle order: pair (i, j), i ≥ j,
// has index i(i+1)/2 + j (1 pair for s, 10 for s,p, 45 for s,p,d atoms).

#include <cstddef>
#include <vector>

namespace quelm {

struct DiatomicPairIntegrals {
    // (μν|λσ) in eV, row-major: row = orbital pair of A, column = orbital pair of B;
    // the row stride is the number of orbital pairs of B.
    std::vector<double> w;
    // Attraction of A's electron distributions by B's core, one value per pair of A (eV).
    std::vector<double> e1b;
    // Attraction of B's electron distributions by A's core, one value per pair of B (eV).
    std::vector<double> e2a;
    std::size_t atom_a = 0; // atom_a > atom_b
    std::size_t atom_b = 0;
    std::size_t n_orbitals_a = 0;
    std::size_t n_orbitals_b = 0;
    std::size_t first_orbital_a = 0;
    std::size_t first_orbital_b = 0;
};

// Number of orbital pairs i ≥ j on an atom with n orbitals.
constexpr std::size_t orbital_pair_count(std::size_t n) {
    return n * (n + 1) / 2;
}

// Lower-triangle index of the orbital pair (i, j), in either order.
constexpr std::size_t orbital_pair_index(std::size_t i, std::size_t j) {
    return i >= j ? i * (i + 1) / 2 + j : j * (j + 1) / 2 + i;
}

} // namespace quelm
