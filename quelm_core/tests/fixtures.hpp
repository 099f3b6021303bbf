#pragma once
// Small molecules shared by the engine tests (geometries in Å), and helpers that build a
// batch and a valid closed-shell density without running an SCF.

#include "parameters/models.hpp"
#include "parameters/parameter_model.hpp"
#include "types/aligned_storage.hpp"
#include "types/molecular_batch.hpp"

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

namespace quelm::fixtures {

struct Molecule {
    std::vector<std::uint8_t> atomic_numbers;
    std::vector<Coordinate> coordinates;
};

// Geometries optimised with GFN2-xTB (as in the CP2K reference single points).
// clang-format off
inline Molecule hydrogen_molecule() { return {{1, 1}, {{{0.388349, 0.0, 0.0}, {-0.388349, 0.0, 0.0}}}}; }
inline Molecule water() { return {{8, 1, 1}, {{{0.004808, 0.379331, 0.0}, {-0.774523, -0.179879, 0.0}, {0.769715, -0.199452, 0.0}}}}; }
inline Molecule formaldehyde() { return {{6, 8, 1, 1}, {{{0.000753, -7.5e-05, 7.5e-05}, {1.186993, -0.117738, -0.007063}, {-0.685428, -0.863733, -0.003067}, {-0.502317, 0.981546, 0.010055}}}}; }
inline Molecule hydrogen_sulfide() { return {{16, 1, 1}, {{{0.01105, 0.612313, 0.0}, {-0.96281, -0.288882, 0.0}, {0.95176, -0.323432, 0.0}}}}; }
// clang-format on

// The six published models, with their names for SCOPED_TRACE.
struct NamedModel {
    const char* name;
    const ParameterModel& model;
};

inline const std::vector<NamedModel>& all_models() {
    static const std::vector<NamedModel> models = {{"MNDO", mndo_model()}, {"AM1", am1_model()},
                                                   {"PM3", pm3_model()},   {"RM1", rm1_model()},
                                                   {"PM6", pm6_model()},   {"PM7", pm7_model()}};
    return models;
}

inline MolecularBatch make_batch(const Molecule& molecule, const ParameterModel& model) {
    return MolecularBatch::new_for_model(molecule.atomic_numbers, molecule.coordinates, model);
}

// A random symmetric n x n matrix with entries uniform in [−1, 1], drawn from `generator`.
inline AlignedMatrix random_symmetric_matrix(std::size_t n, std::mt19937& generator) {
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    AlignedMatrix a(n, n);
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = 0; j <= i; ++j) {
            const double value = uniform(generator);
            a(i, j) = value;
            a(j, i) = value;
        }
    }
    return a;
}

// A random n x n orthogonal matrix (columns orthonormal), reproducible from the seed:
// Gram–Schmidt, applied twice, on uniform random columns.
inline AlignedMatrix random_orthonormal_orbitals(std::size_t n, unsigned seed) {
    std::mt19937 engine(seed);
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    AlignedMatrix c(n, n);
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = 0; j < n; ++j)
            c(i, j) = uniform(engine);
    for (std::size_t j = 0; j < n; ++j) {
        for (int pass = 0; pass < 2; ++pass) {
            for (std::size_t k = 0; k < j; ++k) {
                double dot = 0.0;
                for (std::size_t i = 0; i < n; ++i)
                    dot += c(i, k) * c(i, j);
                for (std::size_t i = 0; i < n; ++i)
                    c(i, j) -= dot * c(i, k);
            }
        }
        double norm = 0.0;
        for (std::size_t i = 0; i < n; ++i)
            norm += c(i, j) * c(i, j);
        norm = std::sqrt(norm);
        for (std::size_t i = 0; i < n; ++i)
            c(i, j) /= norm;
    }
    return c;
}

// P = 2·Σ_{t < n_occupied} c(:, t)·c(:, t)ᵀ.
inline AlignedMatrix closed_shell_density(const AlignedMatrix& orbitals, std::size_t n_occupied) {
    const std::size_t n = orbitals.rows();
    AlignedMatrix density(n, n);
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = 0; j < n; ++j)
            for (std::size_t t = 0; t < n_occupied; ++t)
                density(i, j) += 2.0 * orbitals(i, t) * orbitals(j, t);
    return density;
}

// Rotation matrix about a unit axis by an angle (radians).
using Rotation = std::array<std::array<double, 3>, 3>;
inline Rotation rotation_about(std::array<double, 3> axis, double angle) {
    const double norm = std::sqrt(axis[0] * axis[0] + axis[1] * axis[1] + axis[2] * axis[2]);
    const double x = axis[0] / norm, y = axis[1] / norm, z = axis[2] / norm;
    const double c = std::cos(angle), s = std::sin(angle), t = 1.0 - c;
    return {{{t * x * x + c, t * x * y - s * z, t * x * z + s * y},
             {t * x * y + s * z, t * y * y + c, t * y * z - s * x},
             {t * x * z - s * y, t * y * z + s * x, t * z * z + c}}};
}

inline std::array<double, 3> rotate(const Rotation& r, const std::array<double, 3>& v) {
    return {r[0][0] * v[0] + r[0][1] * v[1] + r[0][2] * v[2],
            r[1][0] * v[0] + r[1][1] * v[1] + r[1][2] * v[2],
            r[2][0] * v[0] + r[2][1] * v[1] + r[2][2] * v[2]};
}

// The molecule rotated about the coordinate origin.
inline Molecule rotated(const Molecule& molecule, const Rotation& r) {
    Molecule out = molecule;
    for (Coordinate& position : out.coordinates)
        position = rotate(r, position);
    return out;
}

// Orbital coefficients (rows = basis functions) carried along with a rotation of the
// molecule: s coefficients are unchanged and the (px, py, pz) coefficients of every atom
// transform as a vector. Only for s,p bases (d shells would need their own rotation).
inline AlignedMatrix rotated_sp_orbitals(const MolecularBatch& batch, const AlignedMatrix& orbitals,
                                         const Rotation& r) {
    AlignedMatrix out = orbitals;
    for (std::size_t a = 0; a < batch.n_atoms; ++a) {
        if (batch.basis_types[a] < 4)
            continue;
        const std::size_t p = batch.orbital_offsets[a] + 1;
        for (std::size_t t = 0; t < orbitals.cols(); ++t) {
            const std::array<double, 3> v{orbitals(p, t), orbitals(p + 1, t), orbitals(p + 2, t)};
            const std::array<double, 3> w = rotate(r, v);
            for (std::size_t k = 0; k < 3; ++k)
                out(p + k, t) = w[k];
        }
    }
    return out;
}

} // namespace quelm::fixtures

namespace quelm::fixtures {

// Ideal tetrahedral methane, C–H 1.09 Å, carbon at the origin (its centre of mass).
inline Molecule methane() { return {{6, 1, 1, 1, 1}, {{{0.0, 0.0, 0.0}, {0.629312, 0.629312, 0.629312}, {-0.629312, -0.629312, 0.629312}, {-0.629312, 0.629312, -0.629312}, {0.629312, -0.629312, -0.629312}}}}; }

// Water dimer with a linear O–H···O bond along x (O–H 0.96 Å, H–O–H 104.5°): the donor
// oxygen at the origin, the acceptor oxygen at (r_oo, 0, 0) with its hydrogens pointing away
// from the donor in the xz plane.
inline Molecule water_dimer(double r_oo) {
    const double degree = std::acos(-1.0) / 180.0;
    const double c = 0.96 * std::cos(104.5 * degree), s = 0.96 * std::sin(104.5 * degree);
    const double c_half = 0.96 * std::cos(52.25 * degree);
    const double s_half = 0.96 * std::sin(52.25 * degree);
    return {{8, 1, 1, 8, 1, 1},
            {{{0.0, 0.0, 0.0},
              {0.96, 0.0, 0.0},
              {c, s, 0.0},
              {r_oo, 0.0, 0.0},
              {r_oo + c_half, 0.0, s_half},
              {r_oo + c_half, 0.0, -s_half}}}};
}

// Two tetrahedral methanes with their carbons r_cc apart along (1, 1, 1), the second
// inverted so that one C–H of each points at the other (H···H = r_cc − 2.18 Å).
inline Molecule methane_dimer(double r_cc) {
    Molecule dimer = methane();
    const Molecule second = methane();
    const double step = r_cc / std::sqrt(3.0);
    for (std::size_t k = 0; k < second.atomic_numbers.size(); ++k) {
        const Coordinate& p = second.coordinates[k];
        dimer.atomic_numbers.push_back(second.atomic_numbers[k]);
        dimer.coordinates.push_back({step - p[0], step - p[1], step - p[2]});
    }
    return dimer;
}

} // namespace quelm::fixtures
