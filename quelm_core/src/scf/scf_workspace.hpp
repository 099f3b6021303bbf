#pragma once
// The matrices of one closed-shell SCF for a basis of n orbitals, allocated once per
// call and reused by every iteration and every geometry of that call.

#include "integrals/diatomic_pair_integrals.hpp"
#include "scf/diis.hpp"
#include "types/aligned_storage.hpp"

#include <cstddef>
#include <vector>

namespace quelm {

struct ScfWorkspace {
    DiisWorkspace diis;
    // NDDO pair integrals of the current geometry; filled by the SCF when use_nddo is set.
    std::vector<DiatomicPairIntegrals> diatomic_pairs;
    std::size_t n_orbitals = 0;
    AlignedMatrix fock;
    AlignedMatrix density; // electrons; trace = number of valence electrons
    AlignedMatrix hcore;
    AlignedMatrix eigenvectors; // one orbital per column, ascending energy
    AlignedVec64 eigenvalues;   // eV, ascending
    AlignedMatrix new_density;  // from the latest diagonalisation, before mixing
    AlignedMatrix fp_product;   // F·P scratch of the DIIS step
    AlignedMatrix eigen_work;   // work copy of the symmetric eigensolver

    // Every matrix n x n and zero-filled, DIIS capacity 6, no pair integrals.
    static ScfWorkspace allocate(std::size_t n);
    // Zeroes every matrix and the eigenvalues and resets the DIIS history before a
    // fresh run; the pair integrals are left for the next NDDO run to replace.
    void restart();
};

} // namespace quelm
