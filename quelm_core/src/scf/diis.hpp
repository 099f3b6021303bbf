#pragma once
// Pulay's direct inversion in the iterative subspace (Chem. Phys. Lett. 73, 393 (1980)):
// each SCF iteration stores its Fock matrix and the commutator error FP − PF, and the
// Fock matrix is replaced by the combination of stored ones (coefficients summing to
// one) whose combined error is smallest.

#include "types/aligned_storage.hpp"

#include <array>
#include <cstddef>
#include <vector>

namespace quelm {

inline constexpr std::size_t MAX_DIIS_CAPACITY = 8;

struct DiisStep {
    std::size_t history_len = 0;
    double max_abs_error = 0.0;
    double rms_error = 0.0;
    bool extrapolated = false;
};

struct DiisWorkspace {
    std::vector<AlignedMatrix> fock_history;
    std::vector<AlignedMatrix> error_history;
    std::size_t n_orbitals = 0;
    std::size_t capacity = 0;
    std::size_t count = 0;
    // Positions 0..count−1 name the stored slots from oldest to newest; the rest are
    // the free slots in the order they will be used.
    std::array<std::size_t, MAX_DIIS_CAPACITY> slot_order{};
    // Frobenius inner products of the stored error matrices, by position.
    std::array<std::array<double, MAX_DIIS_CAPACITY>, MAX_DIIS_CAPACITY> b_matrix{};

    // Capacity 2 below a request of 3, the request from 3 to 8, 8 above.
    static DiisWorkspace allocate(std::size_t n, std::size_t requested_capacity);
    // Forgets the history (the stored matrices are not cleared).
    void reset();
    // Stores F and its error FP − PF and, with two or more entries, overwrites F with
    // the extrapolated Fock matrix. `scratch` is n x n.
    DiisStep push_and_extrapolate(AlignedMatrix& fock, const AlignedMatrix& density,
                                  AlignedMatrix& scratch);
    // Removes the oldest entry; with fewer than two entries, resets.
    void drop_oldest();
};

// Solves the Pulay system of the first m entries of b_matrix (2 ≤ m ≤ 8); false when the
// system is unusable (tiny scale or pivot, wild or non-finite coefficients).
bool solve_pulay_system(
    const std::array<std::array<double, MAX_DIIS_CAPACITY>, MAX_DIIS_CAPACITY>& b_matrix,
    std::size_t m, std::array<double, MAX_DIIS_CAPACITY>& coefficients);

} // namespace quelm
