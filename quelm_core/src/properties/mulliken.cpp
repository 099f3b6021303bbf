// Mulliken population analysis of the NDDO orbitals.
//
// NDDO treats the valence Slater basis as orthonormal, so its orbitals C live in an
// orthogonalised basis. Löwdin's symmetric orthogonalisation relates the two: with S the
// overlap of the real Slater orbitals, C′ = S^(−½)·C are the same orbitals expanded in the
// overlapping basis, and P′ = 2·C′_occ·C′_occᵀ satisfies Tr(P′S) = 2·n_occ. Mulliken's rule
// then gives every orbital half of each overlap population it shares (GOP_μ = Σ_ν P′_μν S_μν).
// Only s and p orbitals overlap between atoms: d orbitals keep a unit diagonal.
//
// From the dense kernel threshold on, the cubic steps run on BLAS and skip what the result
// does not need: S^(−½) = (U·Λ^(−¼))·(U·Λ^(−¼))ᵀ is one symmetric rank-n update (dsyrk, half a
// general product), and only the occupied columns of C′ are formed (n²·n_occ instead of n³).
// Below the threshold every step runs as it always has, so small molecules keep their numbers
// bit for bit.

#include "properties/mulliken.hpp"

#include "integrals/overlap.hpp"
#include "scf/dense_kernel_threshold.hpp"
#include "scf/density.hpp"
#include "scf/eigensolver.hpp"
#include "scf/matrix_product.hpp"
#include "types/internal_error.hpp"

#include <algorithm>
#include <cblas.h>
#include <climits>
#include <cmath>
#include <optional>
#include <string>

namespace quelm {

namespace {

// Below this distance two atoms count as coincident and get no overlap block.
constexpr double coincident_atoms_angstrom = 1e-10;
// Floor on |λ| of S, so near-linear dependence gives large but finite S^(−½) elements.
constexpr double min_overlap_eigenvalue = 1e-12;

// The overlap matrix of the s and p Slater orbitals; identity within each atom.
AlignedMatrix build_overlap_matrix(const MolecularBatch& batch, const ParameterModel& model) {
    const std::size_t n = batch.n_orbitals;
    AlignedMatrix overlap(n, n);
    for (std::size_t mu = 0; mu < n; ++mu)
        overlap(mu, mu) = 1.0;

    std::vector<std::optional<ElementParameters>> elements(batch.n_atoms);
    for (std::size_t a = 0; a < batch.n_atoms; ++a)
        elements[a] = model.get_element(batch.atomic_numbers[a]);

    OverlapBlock block{};
    for (std::size_t i = 0; i < batch.n_atoms; ++i) {
        if (!elements[i])
            continue;
        const std::size_t n_sp_i = std::min<std::size_t>(batch.basis_types[i], 4);
        for (std::size_t j = i + 1; j < batch.n_atoms; ++j) {
            if (!elements[j])
                continue;
            const double r = batch.distance(i, j);
            if (r < coincident_atoms_angstrom)
                continue;
            const double dx = batch.coords_x[j] - batch.coords_x[i];
            const double dy = batch.coords_y[j] - batch.coords_y[i];
            const double dz = batch.coords_z[j] - batch.coords_z[i];
            compute_diatomic_overlap_matrix_9x9(batch.atomic_numbers[i], batch.atomic_numbers[j],
                                                batch.basis_types[i], batch.basis_types[j],
                                                *elements[i], *elements[j], dx, dy, dz, r, block);
            const std::size_t n_sp_j = std::min<std::size_t>(batch.basis_types[j], 4);
            const std::size_t off_i = batch.orbital_offsets[i];
            const std::size_t off_j = batch.orbital_offsets[j];
            for (std::size_t k = 0; k < n_sp_i; ++k) {
                for (std::size_t l = 0; l < n_sp_j; ++l) {
                    overlap(off_i + k, off_j + l) = block[k * 9 + l];
                    overlap(off_j + l, off_i + k) = block[k * 9 + l];
                }
            }
        }
    }
    return overlap;
}

// S^(−½) = U·diag(1/√λ)·Uᵀ from the eigendecomposition S = U·diag(λ)·Uᵀ.
AlignedMatrix build_inverse_sqrt(const AlignedMatrix& overlap) {
    const std::size_t n = overlap.rows();
    AlignedVec64 eigenvalues(n);
    AlignedMatrix eigenvectors(n, n);
    diagonalize_symmetric(overlap, eigenvalues, eigenvectors);

    AlignedMatrix scaled(n, n);
    AlignedMatrix transposed(n, n);
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t k = 0; k < n; ++k) {
            const double lambda = std::max(std::abs(eigenvalues[k]), min_overlap_eigenvalue);
            scaled(i, k) = eigenvectors(i, k) / std::sqrt(lambda);
            transposed(k, i) = eigenvectors(i, k);
        }
    }
    AlignedMatrix inverse_sqrt(n, n);
    multiply_matrices(scaled, transposed, inverse_sqrt);
    return inverse_sqrt;
}

// S^(−½) as (U·Λ^(−¼))·(U·Λ^(−¼))ᵀ by dsyrk on the scaled eigenvectors, mirrored.
AlignedMatrix build_inverse_sqrt_with_blas(const AlignedMatrix& overlap) {
    const std::size_t n = overlap.rows();
    AlignedVec64 eigenvalues(n);
    AlignedMatrix eigenvectors(n, n);
    diagonalize_symmetric(overlap, eigenvalues, eigenvectors);
    AlignedVec64& scale = eigenvalues; // λ_k^(−¼), in place
    for (std::size_t k = 0; k < n; ++k) {
        const double lambda = std::max(std::abs(eigenvalues[k]), min_overlap_eigenvalue);
        scale[k] = 1.0 / std::sqrt(std::sqrt(lambda));
    }
    for (std::size_t i = 0; i < n; ++i) {
        double* row = eigenvectors.row(i);
        for (std::size_t k = 0; k < n; ++k)
            row[k] *= scale[k];
    }
    AlignedMatrix inverse_sqrt(n, n);
    const int size = static_cast<int>(n);
    scipy_cblas_dsyrk(CblasRowMajor, CblasUpper, CblasNoTrans, size, size, 1.0, eigenvectors.data(),
                      size, 0.0, inverse_sqrt.data(), size);
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = 0; j < i; ++j)
            inverse_sqrt(i, j) = inverse_sqrt(j, i);
    }
    return inverse_sqrt;
}

// P′ = 2·C′_occ·C′_occᵀ with C′_occ = S^(−½)·C_occ: the occupied columns only (dgemm into the
// leading columns of an n x n matrix), then the density from them.
AlignedMatrix build_density_ao_with_blas(const AlignedMatrix& inverse_sqrt,
                                         const AlignedMatrix& eigenvectors,
                                         std::size_t n_occupied) {
    const std::size_t n = eigenvectors.rows();
    AlignedMatrix density(n, n);
    if (n_occupied == 0)
        return density;
    AlignedMatrix orbitals_ao(n, n);
    const int size = static_cast<int>(n);
    scipy_cblas_dgemm(CblasRowMajor, CblasNoTrans, CblasNoTrans, size, static_cast<int>(n_occupied),
                      size, 1.0, inverse_sqrt.data(), size, eigenvectors.data(), size, 0.0,
                      orbitals_ao.data(), size);
    compute_density_matrix(orbitals_ao, n_occupied, density);
    return density;
}

// P′ = 2·C′_occ·C′_occᵀ over the first n_occupied columns of C′.
AlignedMatrix build_closed_shell_density(const AlignedMatrix& orbitals, std::size_t n_occupied) {
    const std::size_t n = orbitals.rows();
    AlignedMatrix density(n, n);
    if (n_occupied == 0)
        return density;
    AlignedMatrix occupied(n, n_occupied);
    AlignedMatrix occupied_t(n_occupied, n);
    for (std::size_t mu = 0; mu < n; ++mu) {
        for (std::size_t t = 0; t < n_occupied; ++t) {
            occupied(mu, t) = orbitals(mu, t);
            occupied_t(t, mu) = orbitals(mu, t);
        }
    }
    multiply_matrices(occupied, occupied_t, density);
    // 2: every occupied orbital holds an electron pair.
    double* values = density.data();
    for (std::size_t k = 0; k < density.size(); ++k)
        values[k] *= 2.0;
    return density;
}

} // namespace

MullikenResult compute_mulliken_population(const MolecularBatch& batch, const ParameterModel& model,
                                           const AlignedMatrix& eigenvectors,
                                           std::size_t n_occupied) {
    const std::size_t n = batch.n_orbitals;
    require_shape(eigenvectors, n, "Eigenvector matrix");
    if (n_occupied > n)
        throw InternalError("Occupied orbital count " + std::to_string(n_occupied) +
                            " exceeds basis size " + std::to_string(n));

    MullikenResult result;
    result.overlap = build_overlap_matrix(batch, model);
    if (use_dense_library(n)) {
        if (n > static_cast<std::size_t>(INT_MAX))
            throw InternalError("Basis of " + std::to_string(n) + " orbitals exceeds BLAS's range");
        result.overlap_inverse_sqrt = build_inverse_sqrt_with_blas(result.overlap);
        result.density_ao =
            build_density_ao_with_blas(result.overlap_inverse_sqrt, eigenvectors, n_occupied);
    } else {
        result.overlap_inverse_sqrt = build_inverse_sqrt(result.overlap);
        AlignedMatrix orbitals_ao(n, n);
        multiply_matrices(result.overlap_inverse_sqrt, eigenvectors, orbitals_ao);
        result.density_ao = build_closed_shell_density(orbitals_ao, n_occupied);
    }

    result.overlap_population = AlignedMatrix(n, n);
    result.gross_orbital_populations.assign(n, 0.0);
    for (std::size_t mu = 0; mu < n; ++mu) {
        const double* p_row = result.density_ao.row(mu);
        const double* s_row = result.overlap.row(mu);
        double* q_row = result.overlap_population.row(mu);
        double gross = 0.0;
        for (std::size_t nu = 0; nu < n; ++nu) {
            q_row[nu] = p_row[nu] * s_row[nu];
            gross += q_row[nu];
        }
        result.gross_orbital_populations[mu] = gross;
    }

    result.atomic_populations.assign(batch.n_atoms, 0.0);
    result.charges.assign(batch.n_atoms, 0.0);
    for (std::size_t a = 0; a < batch.n_atoms; ++a) {
        const std::size_t first = batch.orbital_offsets[a];
        double population = 0.0;
        for (std::size_t k = 0; k < batch.basis_types[a]; ++k)
            population += result.gross_orbital_populations[first + k];
        const auto element = model.get_element(batch.atomic_numbers[a]);
        const double core_charge = element ? element->core_charge : 0.0;
        result.atomic_populations[a] = population;
        result.charges[a] = core_charge - population;
    }
    return result;
}

} // namespace quelm
