// Closed-shell density matrix and electronic energy.
//
// Every occupied molecular orbital holds two electrons, so P = 2 C_occ C_occᵀ and trace(P)
// (in an orthonormal basis, as in NDDO) counts the valence electrons. The electronic energy
// ½ Σ P (H + F) halves the Fock part because F already contains each electron pair's
// repulsion twice.
//
// Below the dense kernel threshold P is built from dot products of row prefixes, as it always
// has been; from the threshold on, BLAS dsyrk forms the upper triangle (n²·n_occ multiply-adds
// in cache-blocked, threaded form) and a tiled copy mirrors it.

#include "scf/density.hpp"

#include "scf/dense_kernel_threshold.hpp"
#include "types/internal_error.hpp"

#include <algorithm>
#include <cblas.h>
#include <climits>

namespace quelm {

namespace {

double dot_prefix(const double* x, const double* y, std::size_t length) {
    double sum = 0.0;
    for (std::size_t k = 0; k < length; ++k)
        sum += x[k] * y[k];
    return sum;
}

void density_by_dot_products(const AlignedMatrix& eigenvectors, std::size_t n_occupied,
                             AlignedMatrix& density) {
    const std::size_t n = eigenvectors.rows();
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

// Copies the strict upper triangle onto the lower one, tile by tile.
void mirror_upper_triangle(AlignedMatrix& m) {
    constexpr std::size_t tile = 32;
    const std::size_t n = m.rows();
    for (std::size_t i0 = 0; i0 < n; i0 += tile) {
        const std::size_t i1 = std::min(i0 + tile, n);
        for (std::size_t j0 = i0; j0 < n; j0 += tile) {
            const std::size_t j1 = std::min(j0 + tile, n);
            for (std::size_t j = j0; j < j1; ++j) {
                double* m_j = m.row(j);
                for (std::size_t i = i0; i < std::min(i1, j); ++i)
                    m_j[i] = m(i, j);
            }
        }
    }
}

void density_with_blas(const AlignedMatrix& eigenvectors, std::size_t n_occupied,
                       AlignedMatrix& density) {
    const std::size_t n = eigenvectors.rows();
    if (n > static_cast<std::size_t>(INT_MAX))
        throw InternalError("Density dimensions exceed BLAS's 32-bit range");
    if (n_occupied == 0) {
        density.fill(0.0);
        return;
    }
    // Row-major C with leading dimension n: its first n_occupied columns are C_occ.
    const int rows = static_cast<int>(n);
    scipy_cblas_dsyrk(CblasRowMajor, CblasUpper, CblasNoTrans, rows, static_cast<int>(n_occupied),
                      2.0, eigenvectors.data(), rows, 0.0, density.data(), rows);
    mirror_upper_triangle(density);
}

} // namespace

void compute_density_matrix(const AlignedMatrix& eigenvectors, std::size_t n_occupied,
                            AlignedMatrix& density) {
    const std::size_t n = eigenvectors.rows();
    require_shape(eigenvectors, n, "Eigenvector matrix");
    require_shape(density, n, "Density matrix");
    if (n_occupied > n)
        throw InternalError("Number of occupied orbitals cannot exceed basis size");

    if (n != 0 && use_dense_library(n))
        density_with_blas(eigenvectors, n_occupied, density);
    else
        density_by_dot_products(eigenvectors, n_occupied, density);
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
