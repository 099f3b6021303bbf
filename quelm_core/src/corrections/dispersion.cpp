// Pairwise London dispersion, −C6ij/r⁶ between every two atoms, damped at short range.
//
// Per-element C6 coefficients (J·nm⁶·mol⁻¹) and effective electron numbers N combine by the
// Slater–Kirkwood-type rule
//   C6ij = 2·(C6i²·C6j²·Ni·Nj)^⅓ / ((C6i·Nj²)^⅓ + (C6j·Ni²)^⅓),
// which returns C6 for a like pair, and the van der Waals radii R0 (pm) into
//   R0ij = 2·(R0i³ + R0j³)/(R0i² + R0j²)   (the sum of the two radii for a like pair).
// PM6-DH+ (Korth, J. Chem. Theory Comput. 6, 3808 (2010)) and PM7 (Stewart, J. Mol. Model.
// 19, 1 (2013)) damp C6/r⁶ with the Fermi function 1/(1 + exp(−d·(r/(sR·R0ij) − 1))); the
// D3-BJ form (Grimme, J. Comput. Chem. 32, 1456 (2011)) replaces r⁶ by r⁶ + L⁶ with
// L = a1·R0ij + a2 and adds a C8 term. Carbon's polarisability drops when it is saturated,
// so a four-coordinate carbon uses a smaller C6.

#include "corrections/dispersion.hpp"

#include "types/internal_error.hpp"

#include <cmath>
#include <string>
#include <vector>

namespace quelm {

namespace {

struct DispersionElement {
    double c6 = 0.0;    // J·nm⁶·mol⁻¹
    double r0_pm = 0.0; // van der Waals radius
    double n_eff = 0.0; // effective number of electrons
};

constexpr std::size_t max_dispersion_z = 86;

constexpr std::array<DispersionElement, max_dispersion_z + 1> make_element_table() {
    std::array<DispersionElement, max_dispersion_z + 1> table{};
    table[1] = {0.16, 156.0, 0.8};
    table[2] = {0.084, 140.0, 1.42};
    table[5] = {5.79, 180.0, 2.16};
    table[6] = {1.65, 170.0, 2.5};
    table[7] = {1.11, 155.0, 2.82};
    table[8] = {0.7, 152.0, 3.15};
    table[9] = {0.57, 147.0, 3.48};
    table[10] = {0.45, 154.0, 3.81};
    table[15] = {3.25, 180.0, 4.5};
    table[16] = {5.79, 180.0, 4.8};
    table[17] = {5.97, 175.0, 5.1};
    table[18] = {3.71, 188.0, 5.4};
    table[27] = {0.04, 140.0, 2.9};
    table[35] = {11.6, 185.0, 6.0};
    table[36] = {4.47, 202.0, 6.3};
    table[53] = {25.8, 198.0, 6.95};
    table[54] = {16.5, 216.0, 7.25};
    return table;
}

constexpr std::array<DispersionElement, max_dispersion_z + 1> element_table = make_element_table();

constexpr double saturated_carbon_c6 = 0.95;
constexpr double carbon_neighbour_cutoff_angstrom = 1.85;
constexpr double nm_per_angstrom = 0.1;
constexpr double nm_per_pm = 0.001;
constexpr double joule_per_kcal = 4184.0;
constexpr double coincident_nm = 1e-6;

// Becke–Johnson damping of the D3 form: L = a1·R0ij + a2 (nm), and the C8 scale.
constexpr double bj_a1 = 0.538;
constexpr double bj_a2_nm = 0.233;
constexpr double bj_c8_scale = 1.009;

struct VariantConstants {
    double s6;
    double s_r;
    double d;
    bool becke_johnson;
};

VariantConstants variant_constants(DispersionModel model) {
    switch (model) {
    case DispersionModel::pm6_dh_plus:
        return {0.89, 1.04, 20.0, false};
    case DispersionModel::pm7:
        return {2.286419, 1.226593, 15.450118, false};
    case DispersionModel::d3_bj:
        return {1.0, 0.0, 0.0, true};
    }
    throw InternalError("Unknown dispersion model index " +
                        std::to_string(static_cast<int>(model)));
}

// Per-atom C6, N and R0 (pm); an atom without dispersion keeps zeros and is skipped.
struct AtomTerms {
    std::vector<double> c6;
    std::vector<double> n_eff;
    std::vector<double> r0_pm;
};

bool has_dispersion(const AtomTerms& atoms, std::size_t i) {
    return atoms.c6[i] > 0.0 && atoms.n_eff[i] > 0.0 && atoms.r0_pm[i] > 0.0;
}

std::size_t count_neighbours(const MolecularBatch& batch, std::size_t centre, double cutoff) {
    std::size_t count = 0;
    for (std::size_t j = 0; j < batch.n_atoms; ++j) {
        if (j != centre && batch.distance(centre, j) < cutoff)
            ++count;
    }
    return count;
}

AtomTerms build_atom_terms(const MolecularBatch& batch) {
    const std::size_t n = batch.n_atoms;
    AtomTerms atoms{std::vector<double>(n, 0.0), std::vector<double>(n, 0.0),
                    std::vector<double>(n, 0.0)};
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t z = batch.atomic_numbers[i];
        if (z == 0 || z > max_dispersion_z)
            continue;
        const DispersionElement& element = element_table[z];
        atoms.c6[i] = element.c6;
        atoms.n_eff[i] = element.n_eff;
        atoms.r0_pm[i] = element.r0_pm;
        // Exactly four neighbours (any element) within 1.85 Å: an sp3 carbon.
        if (z == 6 && count_neighbours(batch, i, carbon_neighbour_cutoff_angstrom) == 4)
            atoms.c6[i] = saturated_carbon_c6;
    }
    return atoms;
}

// e(r) and de/dr of one pair, r in nm; the pair's energy is −e(r)/4184 before the s6 scale.
struct PairTerm {
    double e;
    double de_dr;
};

PairTerm fermi_damped_term(double c6, double r0_nm, double r, const VariantConstants& v) {
    const double r6 = std::pow(r, 6);
    const double x = r / (v.s_r * r0_nm);
    const double tail = std::exp(-v.d * (x - 1.0));
    const double damping = 1.0 / (1.0 + tail);
    const double e = c6 / r6 * damping;
    // d(damping)/dr = damping·(1 − damping)·d/(sR·R0), and 1 − damping = tail·damping.
    const double de_dr = e * (-6.0 / r + tail * damping * v.d / (v.s_r * r0_nm));
    return {e, de_dr};
}

PairTerm becke_johnson_term(double c6, double r0_nm, double r) {
    const double cutoff = bj_a1 * r0_nm + bj_a2_nm;
    const double r6 = std::pow(r, 6);
    const double r8 = r6 * r * r;
    const double l6 = std::pow(cutoff, 6);
    const double l8 = l6 * cutoff * cutoff;
    const double c8 = 3.0 * bj_c8_scale * c6 * r0_nm * r0_nm;
    const double denominator6 = r6 + l6;
    const double denominator8 = r8 + l8;
    const double e = c6 / denominator6 + c8 / denominator8;
    const double de_dr = -c6 * 6.0 * r6 / r / (denominator6 * denominator6) -
                         c8 * 8.0 * r8 / r / (denominator8 * denominator8);
    return {e, de_dr};
}

// Energy in kcal/mol; when gradient is non-null, dE/dr in kcal/(mol·Å) is added into it.
double accumulate_dispersion(const MolecularBatch& batch, DispersionModel model,
                             std::array<double, 3>* gradient) {
    const VariantConstants v = variant_constants(model);
    const std::size_t n = batch.n_atoms;
    if (n < 2)
        return 0.0;
    const AtomTerms atoms = build_atom_terms(batch);
    // −s6/4184 turns Σe (J/mol) into kcal/mol; × 0.1 turns d/dr(nm) into d/dr(Å).
    const double energy_scale = -v.s6 / joule_per_kcal;
    const double gradient_scale = energy_scale * nm_per_angstrom;

    double sum = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        if (!has_dispersion(atoms, i))
            continue;
        const double c6_i = atoms.c6[i];
        const double n_i = atoms.n_eff[i];
        const double r0_i = atoms.r0_pm[i];
        for (std::size_t j = i + 1; j < n; ++j) {
            if (!has_dispersion(atoms, j))
                continue;
            const double dx = batch.coords_x[i] - batch.coords_x[j];
            const double dy = batch.coords_y[i] - batch.coords_y[j];
            const double dz = batch.coords_z[i] - batch.coords_z[j];
            const double r_angstrom = std::sqrt(dx * dx + dy * dy + dz * dz);
            const double r = r_angstrom * nm_per_angstrom;
            if (r <= coincident_nm)
                continue;
            const double c6_j = atoms.c6[j];
            const double n_j = atoms.n_eff[j];
            const double r0_j = atoms.r0_pm[j];
            const double c6_ij = 2.0 * std::cbrt(c6_i * c6_i * c6_j * c6_j * n_i * n_j) /
                                 (std::cbrt(c6_i * n_j * n_j) + std::cbrt(c6_j * n_i * n_i));
            const double r0_ij = 2.0 * (r0_i * r0_i * r0_i + r0_j * r0_j * r0_j) /
                                 (r0_i * r0_i + r0_j * r0_j) * nm_per_pm;
            const PairTerm term = v.becke_johnson ? becke_johnson_term(c6_ij, r0_ij, r)
                                                  : fermi_damped_term(c6_ij, r0_ij, r, v);
            sum += term.e;
            if (gradient != nullptr) {
                // dr/dr_i = (r_i − r_j)/r; atom j takes the opposite force.
                const double factor = gradient_scale * term.de_dr / r_angstrom;
                gradient[i][0] += factor * dx;
                gradient[i][1] += factor * dy;
                gradient[i][2] += factor * dz;
                gradient[j][0] -= factor * dx;
                gradient[j][1] -= factor * dy;
                gradient[j][2] -= factor * dz;
            }
        }
    }
    return energy_scale * sum;
}

} // namespace

double compute_dispersion_energy(const MolecularBatch& batch, DispersionModel model) {
    return accumulate_dispersion(batch, model, nullptr);
}

double compute_dispersion_energy_and_gradients(const MolecularBatch& batch, DispersionModel model,
                                               std::array<double, 3>* gradient,
                                               std::size_t n_gradient) {
    if (n_gradient != batch.n_atoms)
        throw InternalError(size_mismatch("Dispersion gradient", n_gradient, batch.n_atoms));
    if (gradient == nullptr && n_gradient != 0)
        throw InternalError("Dispersion gradient array is null for " + std::to_string(n_gradient) +
                            " atoms");
    return accumulate_dispersion(batch, model, gradient);
}

} // namespace quelm
