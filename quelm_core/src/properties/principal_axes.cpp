// Principal axes of inertia.
//
// The eigenvectors of the inertia tensor are fixed only up to sign (and, for degenerate
// moments, up to a rotation). Unequal offsets on every element lift exact degeneracies;
// eigenvector k is then made to point along +k, and if the three no longer form a
// right-handed frame the one with the smallest diagonal component is reversed (the one
// least aligned with its own axis), so the new frame is a proper rotation of the old.

#include "properties/principal_axes.hpp"

#include "scf/eigensolver.hpp"
#include "types/aligned_storage.hpp"
#include "types/atomic_masses.hpp"

#include <vector>

namespace quelm {

namespace {

double determinant(const AlignedMatrix& v) {
    return v(0, 0) * (v(1, 1) * v(2, 2) - v(1, 2) * v(2, 1)) -
           v(0, 1) * (v(1, 0) * v(2, 2) - v(1, 2) * v(2, 0)) +
           v(0, 2) * (v(1, 0) * v(2, 1) - v(1, 1) * v(2, 0));
}

void flip_column(AlignedMatrix& v, std::size_t k) {
    for (std::size_t i = 0; i < 3; ++i)
        v(i, k) = -v(i, k);
}

} // namespace

MolecularBatch align_principal_axes(const MolecularBatch& batch) {
    const Coordinate com = centre_of_mass(batch);
    const std::size_t n = batch.n_atoms;
    std::vector<Coordinate> relative(n);
    AlignedMatrix inertia(3, 3);
    for (std::size_t a = 0; a < n; ++a) {
        const Coordinate r = {batch.coords_x[a] - com[0], batch.coords_y[a] - com[1],
                              batch.coords_z[a] - com[2]};
        relative[a] = r;
        const double m = standard_atomic_mass(batch.atomic_numbers[a]);
        inertia(0, 0) += m * (r[1] * r[1] + r[2] * r[2]);
        inertia(1, 1) += m * (r[0] * r[0] + r[2] * r[2]);
        inertia(2, 2) += m * (r[0] * r[0] + r[1] * r[1]);
        inertia(0, 1) -= m * r[0] * r[1];
        inertia(0, 2) -= m * r[0] * r[2];
        inertia(1, 2) -= m * r[1] * r[2];
    }
    inertia(0, 0) += 1e-10;
    inertia(1, 1) += 3e-10;
    inertia(2, 2) += 6e-10;
    inertia(0, 1) += 2e-10;
    inertia(0, 2) += 4e-10;
    inertia(1, 2) += 5e-10;
    inertia(1, 0) = inertia(0, 1);
    inertia(2, 0) = inertia(0, 2);
    inertia(2, 1) = inertia(1, 2);

    AlignedVec64 moments(3);
    AlignedMatrix axes(3, 3);
    diagonalize_symmetric(inertia, moments, axes);
    for (std::size_t k = 0; k < 3; ++k) {
        if (axes(k, k) < 0.0)
            flip_column(axes, k);
    }
    if (determinant(axes) < 0.0) {
        if (axes(2, 2) < axes(0, 0) && axes(2, 2) < axes(1, 1))
            flip_column(axes, 2);
        else if (axes(0, 0) > axes(1, 1))
            flip_column(axes, 1);
        else
            flip_column(axes, 0);
    }

    // r' = Vᵀ·(r − COM), then centred on the geometric centroid.
    std::vector<Coordinate> rotated(n);
    Coordinate centroid{0.0, 0.0, 0.0};
    for (std::size_t a = 0; a < n; ++a) {
        for (std::size_t k = 0; k < 3; ++k) {
            rotated[a][k] = axes(0, k) * relative[a][0] + axes(1, k) * relative[a][1] +
                            axes(2, k) * relative[a][2];
            centroid[k] += rotated[a][k];
        }
    }
    for (std::size_t a = 0; a < n; ++a) {
        for (std::size_t k = 0; k < 3; ++k)
            rotated[a][k] -= centroid[k] / static_cast<double>(n);
    }
    return MolecularBatch::new_with_basis(batch.atomic_numbers, rotated, batch.basis_types);
}

} // namespace quelm
