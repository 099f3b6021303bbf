#pragma once
// Small molecules shared by the engine tests (geometries in Å), and helpers that build a
// batch and a valid closed-shell density without running an SCF.

#include "parameters/models.hpp"
#include "parameters/parameter_model.hpp"
#include "types/aligned_storage.hpp"
#include "types/molecular_batch.hpp"

#include <algorithm>
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

// Largest |A·v_k − λ_k·v_k| over the first `count` eigenpairs (columns of v).
inline double eigenpair_residual(const AlignedMatrix& a, const AlignedVec64& values,
                                 const AlignedMatrix& v, std::size_t count) {
    const std::size_t n = a.rows();
    double worst = 0.0;
    for (std::size_t k = 0; k < count; ++k) {
        for (std::size_t i = 0; i < n; ++i) {
            double av = 0.0;
            for (std::size_t j = 0; j < n; ++j) av += a(i, j) * v(j, k);
            worst = std::max(worst, std::abs(av - values[k] * v(i, k)));
        }
    }
    return worst;
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

#include "integrals/d_orbitals.hpp"
#include "parameters/models.hpp"

namespace quelm::fixtures {

// Molecules whose heavy atoms carry d orbitals in PM6. Geometries from RDKit 2026.09
// (ETKDGv3, seed 0xC0FFEE, then MMFF94); SF6 is the ideal octahedron with S–F 1.561 Å
// (gas-phase electron diffraction), which MMFF94 does not type.
// clang-format off
inline Molecule sulfur_dioxide() { return {{8, 16, 8}, {{{-1.379759, 0.316711, 0.0}, {-0.005174, -0.60997, 0.0}, {1.384933, 0.293258, 0.0}}}}; }
inline Molecule sulfuric_acid() { return {{8, 16, 8, 8, 8, 1, 1}, {{{1.008292, -0.398925, -0.82266}, {0.032271, 0.431286, 0.142524}, {-0.616634, 1.453526, -0.638209}, {0.777227, 0.692997, 1.347571}, {-1.088165, -0.669198, 0.469654}, {1.639263, -0.881729, -0.249476}, {-1.752253, -0.627957, -0.249405}}}}; }
inline Molecule phosphorus_trichloride() { return {{17, 15, 17, 17}, {{{-1.391755, -1.202541, -0.192737}, {0.043027, -0.008496, 0.769374}, {-0.367219, 1.79954, -0.216884}, {1.715947, -0.588504, -0.359753}}}}; }
inline Molecule dichloromethane() { return {{17, 6, 17, 1, 1}, {{{1.474247, 0.822025, -0.011202}, {-0.00295, -0.14788, 0.005424}, {-1.440328, 0.878688, -0.051179}, {-0.00388, -0.809396, -0.864337}, {-0.02709, -0.743438, 0.921294}}}}; }
inline Molecule bromomethane() { return {{6, 35, 1, 1, 1}, {{{-0.183724, -0.007127, 0.002509}, {1.749559, 0.067869, -0.023891}, {-0.503114, -0.761085, -0.718418}, {-0.564468, 0.977759, -0.271774}, {-0.498253, -0.277416, 1.011575}}}}; }
inline Molecule iodomethane() { return {{6, 53, 1, 1, 1}, {{{-0.186076, -0.005974, 0.00149}, {1.924905, 0.061794, -0.015432}, {-0.561579, -0.756522, -0.700655}, {-0.613342, 0.960701, -0.281904}, {-0.563908, -0.259999, 0.996501}}}}; }
inline Molecule sulfur_hexafluoride() { return {{16, 9, 9, 9, 9, 9, 9}, {{{0.0, 0.0, 0.0}, {1.561, 0.0, 0.0}, {-1.561, 0.0, 0.0}, {0.0, 1.561, 0.0}, {0.0, -1.561, 0.0}, {0.0, 0.0, 1.561}, {0.0, 0.0, -1.561}}}}; }
inline Molecule dimethyl_sulfoxide() { return {{6, 16, 6, 8, 1, 1, 1, 1, 1, 1}, {{{-1.317836, -0.079808, -0.321729}, {-0.142883, 0.261501, 1.010905}, {1.324715, 0.299262, -0.046286}, {-0.054697, -0.971099, 1.861192}, {-1.046555, -1.008316, -0.829754}, {-1.315529, 0.750761, -1.031405}, {-2.315544, -0.182049, 0.111611}, {2.20245, 0.46605, 0.582539}, {1.23496, 1.116625, -0.765558}, {1.430918, -0.652927, -0.571516}}}}; }
inline Molecule dibromomethane() { return {{35, 6, 35, 1, 1}, {{{1.62885, 0.860659, -0.023093}, {-0.002658, -0.176277, 0.007771}, {-1.602181, 0.907979, -0.054876}, {-0.003764, -0.835845, -0.86183}, {-0.020248, -0.756515, 0.932028}}}}; }
inline Molecule thiophene() { return {{6, 6, 6, 16, 6, 1, 1, 1, 1}, {{{0.576294, -0.821346, -0.064583}, {-0.826273, -0.568674, -0.069119}, {-1.109555, 0.774383, 0.049609}, {0.309973, 1.723614, 0.165803}, {1.309703, 0.338553, 0.057442}, {1.025015, -1.803681, -0.146623}, {-1.589067, -1.332756, -0.155073}, {-2.081656, 1.24734, 0.074041}, {2.385566, 0.442568, 0.088503}}}}; }
// clang-format on

// Orbital rotation of an s, p, d atom carried along with a rotation r of the molecule:
// column μ is the rotated orbital μ in the fixed basis. s is unchanged, p turns as a
// vector, and d through its quadratic form rᵀ·M·r, written in the orthonormal basis
// (x² − y²)/2, xz, (3z² − r²)/(2√3), yz, xy (2·tr(M_k·M_l) = δ_kl).
using OrbitalRotation = std::array<std::array<double, 9>, 9>;
inline OrbitalRotation spd_orbital_rotation(const Rotation& r) {
    using Form = std::array<std::array<double, 3>, 3>;
    const double c = 1.0 / (2.0 * std::sqrt(3.0));
    std::array<Form, 5> forms{};
    forms[0][0][0] = 0.5;
    forms[0][1][1] = -0.5;
    forms[1][0][2] = forms[1][2][0] = 0.5;
    forms[2][0][0] = forms[2][1][1] = -c;
    forms[2][2][2] = 2.0 * c;
    forms[3][1][2] = forms[3][2][1] = 0.5;
    forms[4][0][1] = forms[4][1][0] = 0.5;
    OrbitalRotation d{};
    d[0][0] = 1.0;
    for (std::size_t i = 0; i < 3; ++i)
        for (std::size_t j = 0; j < 3; ++j)
            d[1 + i][1 + j] = r[i][j];
    for (std::size_t l = 0; l < 5; ++l) {
        Form turned{}; // r·M_l·rᵀ
        for (std::size_t i = 0; i < 3; ++i)
            for (std::size_t j = 0; j < 3; ++j)
                for (std::size_t a = 0; a < 3; ++a)
                    for (std::size_t b = 0; b < 3; ++b)
                        turned[i][j] += r[i][a] * forms[l][a][b] * r[j][b];
        for (std::size_t k = 0; k < 5; ++k) {
            double trace = 0.0;
            for (std::size_t i = 0; i < 3; ++i)
                for (std::size_t j = 0; j < 3; ++j)
                    trace += forms[k][i][j] * turned[i][j];
            d[4 + k][4 + l] = 2.0 * trace;
        }
    }
    return d;
}

// PM6's elements and core repulsion, for test doubles that vary the d data.
class Pm6ElementsAndCores : public ParameterModel {
  public:
    std::optional<ElementParameters> get_element(std::uint8_t z) const override {
        return pm6_model().get_element(z);
    }
    std::string_view name() const override { return "PM6"; }
    double pair_core_repulsion(const ElementParameters& a, const ElementParameters& b,
                               double r_angstrom) const override {
        return pm6_model().pair_core_repulsion(a, b, r_angstrom);
    }
};

// A test double for the d-data branches: PM6's elements and core repulsion, with a d
// record for every element with a d shell computed from the element's own exponents (no
// fitted constants), optionally with PM7's feathering. It exercises code paths whose real
// data (PM7's d elements) is not available; it is no parametrisation of anything.
class Pm6WithDerivedDData final : public Pm6ElementsAndCores {
  public:
    explicit Pm6WithDerivedDData(bool feathering) : feathering_(feathering) {}
    bool use_feathering() const override { return feathering_; }
    std::optional<DElementParameters> get_d_element_params(std::uint8_t z) const override {
        const auto e = get_element(z);
        if (!e || !(e->zeta_d > 1e-8))
            return std::nullopt;
        return compute_d_element_params(z, e->zeta_s, e->zeta_p, e->zeta_d, e->g_ss, e->g_pp,
                                        e->g_p2, e->h_sp, e->zeta_s, e->zeta_p, e->zeta_d, 0.0,
                                        0.0, 0.0);
    }

  private:
    bool feathering_;
};

// A test double for the branches of atoms with nine orbitals but no d data: PM6's elements
// and core repulsion without PM6's d records, so the d shells get no one-centre terms and
// bare d monopoles.
class Pm6WithoutDData final : public Pm6ElementsAndCores {};

} // namespace quelm::fixtures

namespace quelm::fixtures {

// Acetic acid, C2H4O2: 20 s,p orbitals in PM6/PM7, just above the basis size from which the
// dense kernels run on LAPACK/BLAS. RDKit 2026.09 (ETKDGv3, seed 0xC0FFEE, then MMFF94).
// clang-format off
inline Molecule acetic_acid() { return {{6, 6, 8, 8, 1, 1, 1, 1}, {{{-0.936713, -0.196306, -0.110523}, {0.46349, 0.320393, -0.078614}, {0.870089, 1.347668, -0.593154}, {1.29351, -0.48804, 0.605896}, {-1.565046, 0.49677, -0.677068}, {-0.96064, -1.171454, -0.603101}, {-1.327804, -0.269748, 0.907204}, {2.163114, -0.039283, 0.549358}}}}; }
// clang-format on

} // namespace quelm::fixtures
