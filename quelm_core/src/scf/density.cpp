// Closed-shell density matrix and electronic energy.
//
// Every occupied molecular orbital holds two electrons, so P = 2 C_occ C_occᵀ and trace(P)
// (in an orthonormal basis, as in NDDO) counts the valence electrons. The electronic energy
// ½ Σ P (H + F) halves the Fock part because F already contains each electron pair's
// repulsion twice.

#include "scf/density.hpp"

#include "types/internal_error.hpp"

namespace quelm {

namespace {

double dot_prefix(const double* x, const double* y, std::size_t length) {
    double sum = 0.0;
    for (std::size_t k = 0; k < length; ++k)
        sum += x[k] * y[k];
    return sum;
}

} // namespace

void compute_density_matrix(const AlignedMatrix& eigenvectors, std::size_t n_occupied,
                            AlignedMatrix& density) {
    const std::size_t n = eigenvectors.rows();
    require_shape(eigenvectors, n, "Eigenvector matrix");
    require_shape(density, n, "Density matrix");
    if (n_occupied > n)
        throw InternalError("Number of occupied orbitals cannot exceed basis size");

    // Row i of C holds the coefficients of orbital i in every MO; the occupied ones are its
    // first n_occupied entries, so P(i, j) is a dot product of two contiguous row prefixes.
    for (std::size_t i = 0; i < n; ++i) {
        const double* c_i = eigenvectors.row(i);
        double* p_i = density.row(i);
        for (std::size_t j = i; j < n; ++j) {
            const double value = 2.0 * dot_prefix(c_i, eigenvectors.row(j), n_occupied);
            p_i[j] = value;
            density(j, i) = value;
        }
    }
}

double compute_electronic_energy(const AlignedMatrix& density, const AlignedMatrix& hcore,
                                 const AlignedMatrix& fock) {
    const std::size_t n = density.rows();
    require_shape(density, n, "Density matrix");
    require_shape(hcore, n, "Core Hamiltonian");
    require_shape(fock, n, "Fock matrix");

    const double* p = density.data();
    const double* h = hcore.data();
    const double* f = fock.data();
    double sum = 0.0;
    for (std::size_t i = 0; i < n * n; ++i)
        sum += p[i] * (h[i] + f[i]);
    return 0.5 * sum;
}

} // namespace quelm
