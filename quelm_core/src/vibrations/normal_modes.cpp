// Normal-mode analysis of a Cartesian Hessian.
//
// In mass-weighted coordinates qᵢ = √mᵢ·xᵢ the harmonic problem is the eigenproblem of
// F = M^(−½) H M^(−½): eigenvalue λ = ω², eigenvector the mode in q. A finite-difference
// Hessian leaves small non-zero curvature along the six rigid motions (grid noise, a not
// quite stationary geometry); projecting them out with P = I − Σ v vᵀ over the orthonormalised
// translation and rotation vectors (Eckart frame) sets those eigenvalues to zero and keeps
// them from mixing into the vibrations. The rigid modes are then the 5 or 6 eigenvalues of
// smallest magnitude, with or without the projection.

#include "vibrations/normal_modes.hpp"

#include "scf/eigensolver.hpp"
#include "types/atomic_masses.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>
#include <string>

namespace quelm {

namespace {

// mdyne/Å per (amu·cm⁻²): k = μ·(ν/1302.7937)², the harmonic force constant 4π²c²ν²μ.
constexpr double wavenumber_per_sqrt_mdyne_a_amu = 1302.7937;

double signed_frequency(double eigenvalue) {
    const double nu = wavenumber_per_sqrt_kcal_mol_angstrom2_amu * std::sqrt(std::fabs(eigenvalue));
    return eigenvalue < 0.0 ? -nu : nu;
}

} // namespace

// The rotations of a non-linear molecule are those about x, y and z. A linear molecule has
// two: about two axes perpendicular to it. (A molecule straight only to within the linearity
// tolerance, as optimisers leave it, still has a tiny rotation about its own axis; built from
// the lab axes, that vector would pass the cut-off as some mixture of bends and be projected
// out with them.)
std::vector<std::vector<double>> rigid_body_vectors(const MolecularBatch& batch,
                                                    std::span<const double> masses) {
    const std::size_t n_atoms = batch.n_atoms;
    const Coordinate centre = centre_of_mass(batch, masses);

    std::vector<Coordinate> rotation_axes = {{1.0, 0.0, 0.0}, {0.0, 1.0, 0.0}, {0.0, 0.0, 1.0}};
    if (is_linear_molecule(batch)) {
        const Coordinate r0 = batch.position(0), r1 = batch.position(1);
        Coordinate d{r1[0] - r0[0], r1[1] - r0[1], r1[2] - r0[2]};
        const double length = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
        if (length > 0.0) {
            for (double& x : d)
                x /= length;
            // Start from the lab axis least parallel to the molecule.
            const std::size_t k = std::fabs(d[0]) < std::fabs(d[1])
                                      ? (std::fabs(d[0]) < std::fabs(d[2]) ? 0 : 2)
                                      : (std::fabs(d[1]) < std::fabs(d[2]) ? 1 : 2);
            Coordinate a1{};
            a1[k] = 1.0;
            const double along = a1[0] * d[0] + a1[1] * d[1] + a1[2] * d[2];
            for (std::size_t i = 0; i < 3; ++i)
                a1[i] -= along * d[i];
            const double a1_length = std::sqrt(a1[0] * a1[0] + a1[1] * a1[1] + a1[2] * a1[2]);
            for (double& x : a1)
                x /= a1_length;
            const Coordinate a2{d[1] * a1[2] - d[2] * a1[1], d[2] * a1[0] - d[0] * a1[2],
                                d[0] * a1[1] - d[1] * a1[0]};
            rotation_axes = {a1, a2};
        }
    }

    std::vector<std::vector<double>> candidates;
    for (std::size_t axis = 0; axis < 3; ++axis) {
        std::vector<double> v(3 * n_atoms, 0.0);
        for (std::size_t a = 0; a < n_atoms; ++a)
            v[3 * a + axis] = std::sqrt(masses[a]);
        candidates.push_back(std::move(v));
    }
    for (const Coordinate& w : rotation_axes) {
        // Rotation about w: each atom moves by w × (r − R).
        std::vector<double> v(3 * n_atoms, 0.0);
        for (std::size_t a = 0; a < n_atoms; ++a) {
            const Coordinate r = batch.position(a);
            const double x = r[0] - centre[0], y = r[1] - centre[1], z = r[2] - centre[2];
            const double root_mass = std::sqrt(masses[a]);
            v[3 * a + 0] = root_mass * (w[1] * z - w[2] * y);
            v[3 * a + 1] = root_mass * (w[2] * x - w[0] * z);
            v[3 * a + 2] = root_mass * (w[0] * y - w[1] * x);
        }
        candidates.push_back(std::move(v));
    }

    std::vector<std::vector<double>> accepted;
    for (std::vector<double>& v : candidates) {
        for (const std::vector<double>& u : accepted) {
            const double overlap = std::inner_product(u.begin(), u.end(), v.begin(), 0.0);
            for (std::size_t i = 0; i < v.size(); ++i)
                v[i] -= overlap * u[i];
        }
        const double norm2 = std::inner_product(v.begin(), v.end(), v.begin(), 0.0);
        if (norm2 > 1e-10) {
            const double inverse = 1.0 / std::sqrt(norm2);
            for (double& x : v)
                x *= inverse;
            accepted.push_back(std::move(v));
        }
    }
    return accepted;
}

// As F − V(VᵀF) − (FV)Vᵀ + V(VᵀFV)Vᵀ: O(n²) per vector.
void project_out(AlignedMatrix& f, const std::vector<std::vector<double>>& vectors) {
    const std::size_t n = f.rows();
    const std::size_t m = vectors.size();
    std::vector<double> fv(n * m, 0.0); // (F V)[i][a]
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t a = 0; a < m; ++a)
            fv[i * m + a] = std::inner_product(f.row(i), f.row(i) + n, vectors[a].begin(), 0.0);
    std::vector<double> vfv(m * m, 0.0); // (Vᵀ F V)[a][b]
    for (std::size_t a = 0; a < m; ++a)
        for (std::size_t b = 0; b < m; ++b)
            for (std::size_t i = 0; i < n; ++i)
                vfv[a * m + b] += vectors[a][i] * fv[i * m + b];
    for (std::size_t i = 0; i < n; ++i) {
        double* row = f.row(i);
        for (std::size_t j = 0; j < n; ++j) {
            double correction = 0.0;
            for (std::size_t a = 0; a < m; ++a) {
                // F is symmetric, so (VᵀF)[a][j] = (FV)[j][a].
                correction += vectors[a][i] * fv[j * m + a] + fv[i * m + a] * vectors[a][j];
                for (std::size_t b = 0; b < m; ++b)
                    correction -= vectors[a][i] * vfv[a * m + b] * vectors[b][j];
            }
            row[j] -= correction;
        }
    }
}

bool is_linear_molecule(const MolecularBatch& batch) {
    if (batch.n_atoms < 3)
        return true;
    const Coordinate r0 = batch.position(0);
    const Coordinate r1 = batch.position(1);
    const Coordinate d{r1[0] - r0[0], r1[1] - r0[1], r1[2] - r0[2]};
    if (std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]) < 1e-6)
        return true;
    for (std::size_t i = 2; i < batch.n_atoms; ++i) {
        const Coordinate ri = batch.position(i);
        const Coordinate e{ri[0] - r0[0], ri[1] - r0[1], ri[2] - r0[2]};
        const Coordinate cross{d[1] * e[2] - d[2] * e[1], d[2] * e[0] - d[0] * e[2],
                               d[0] * e[1] - d[1] * e[0]};
        if (std::sqrt(cross[0] * cross[0] + cross[1] * cross[1] + cross[2] * cross[2]) > 1e-4)
            return false;
    }
    return true;
}

std::size_t count_external_modes(const MolecularBatch& batch) {
    if (batch.n_atoms == 1)
        return 3;
    return is_linear_molecule(batch) ? 5 : 6;
}

Result<std::vector<double>>
resolve_vibrational_masses(std::span<const std::uint8_t> atomic_numbers,
                           const std::optional<std::vector<double>>& custom_masses) {
    if (custom_masses && custom_masses->size() == atomic_numbers.size())
        return *custom_masses;
    std::vector<double> masses;
    masses.reserve(atomic_numbers.size());
    for (const std::uint8_t z : atomic_numbers) {
        const double mass = standard_atomic_mass(z);
        if (!(mass > 0.0)) {
            return Error{"No standard atomic mass for element Z=" + std::to_string(z) +
                         ": pass custom_masses with one mass per atom"};
        }
        masses.push_back(mass);
    }
    return masses;
}

NormalModeAnalysis analyse_normal_modes(const MolecularBatch& batch, const AlignedMatrix& hessian,
                                        std::span<const double> masses_amu, bool project_external) {
    const std::size_t n_atoms = batch.n_atoms;
    const std::size_t n = 3 * n_atoms;
    require_shape(hessian, n, "Cartesian Hessian");

    NormalModeAnalysis analysis;
    analysis.mass_weighted_hessian = AlignedMatrix(n, n);
    AlignedMatrix& weighted = analysis.mass_weighted_hessian;
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = 0; j < n; ++j)
            weighted(i, j) = hessian(i, j) / std::sqrt(masses_amu[i / 3] * masses_amu[j / 3]);

    AlignedMatrix projected = weighted;
    if (n_atoms > 1 && project_external)
        project_out(projected, rigid_body_vectors(batch, masses_amu));

    AlignedVec64 eigenvalues(n);
    AlignedMatrix eigenvectors(n, n);
    diagonalize_symmetric(projected, eigenvalues, eigenvectors);

    analysis.all_frequencies_cm1.resize(n);
    for (std::size_t k = 0; k < n; ++k)
        analysis.all_frequencies_cm1[k] = signed_frequency(eigenvalues[k]);

    // The rigid modes are those of smallest |λ|; ties keep the lower index first.
    std::vector<std::size_t> order(n);
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return std::fabs(eigenvalues[a]) < std::fabs(eigenvalues[b]);
    });
    std::vector<bool> external(n, false);
    const std::size_t n_external = std::min(n, count_external_modes(batch));
    for (std::size_t k = 0; k < n_external; ++k)
        external[order[k]] = true;
    for (std::size_t k = 0; k < n; ++k) {
        if (!external[k])
            analysis.vibrational_frequencies_cm1.push_back(analysis.all_frequencies_cm1[k]);
    }

    analysis.normal_modes.resize(n);
    for (std::size_t k = 0; k < n; ++k) {
        NormalMode& mode = analysis.normal_modes[k];
        mode.displacements.assign(n_atoms, Coordinate{});
        double norm2 = 0.0;
        for (std::size_t i = 0; i < n; ++i) {
            const double d = eigenvectors(i, k) / std::sqrt(masses_amu[i / 3]);
            mode.displacements[i / 3][i % 3] = d;
            norm2 += d * d;
        }
        const double norm = std::sqrt(norm2);
        mode.reduced_mass_amu = 1.0;
        if (norm > 1e-12) {
            for (Coordinate& d : mode.displacements)
                for (double& x : d)
                    x /= norm;
            mode.reduced_mass_amu = 1.0 / norm2;
        }
        mode.frequency_cm1 = analysis.all_frequencies_cm1[k];
        const double ratio = std::fabs(mode.frequency_cm1) / wavenumber_per_sqrt_mdyne_a_amu;
        mode.force_constant_mdyne_a = mode.reduced_mass_amu * ratio * ratio;
    }
    return analysis;
}

} // namespace quelm
