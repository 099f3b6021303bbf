// Core–core repulsion of atom pairs.
//
// The electrostatic part uses the (ss|ss) Klopman–Ohno integral, not 1/R: it tends to
// e²/R at long range and stays finite as R → 0. The exponential factor adds the
// short-range repulsion that point cores miss; the Gaussian terms (AM1, PM3 and later)
// correct the repulsion near bonding distances. In MNDO the N–H and O–H pairs scale
// the heavy atom's exponential by R; AM1 gives boron pair-specific Gaussians for its
// bonds to H, C and the halogens (Organometallics 7, 513 (1988)); PM6 and PM7 replace
// the per-atom exponentials by diatomic (α, x) pairs, add an extra C–C term and a
// steep R⁻¹² wall that keeps nuclei apart (J. Mol. Model. 13, 1173 (2007); 19, 1 (2013)).

#include "integrals/core_repulsion.hpp"

#include "parameters/models.hpp"
#include "types/physical_constants.hpp"

#include <algorithm>
#include <cmath>
#include <span>

namespace quelm {

namespace {

constexpr double coincident_angstrom = 1e-10;

// A Gaussian term counts only while its exponent L·(R − M)² stays below 25; beyond
// that it is below 1.4e-11·K and is skipped. The AM1 boron pair branch keeps terms
// whose exponent is exactly 25 (`inclusive`), as that parametrisation does.
double gaussian_term(const GaussianTerm& term, double r, bool inclusive = false) {
    const double exponent = term.l * (r - term.m) * (r - term.m);
    const bool counts = inclusive ? exponent <= 25.0 : exponent < 25.0;
    return counts ? term.k * std::exp(-exponent) : 0.0;
}

double own_gaussians(const ElementParameters& element, double r, bool inclusive = false) {
    double sum = 0.0;
    for (unsigned i = 0; i < element.n_gaussians && i < 4; ++i) {
        sum += gaussian_term(element.gaussians[i], r, inclusive);
    }
    return sum;
}

// The AM1 boron pair terms for a partner element; empty for partners that keep the
// ordinary rule (boron's own Gaussians plus the partner's).
std::span<const GaussianTerm> am1_boron_pair_terms(std::uint8_t partner) {
    static constexpr GaussianTerm with_h[] = {{0.412253, 10.0, 0.832586},
                                              {-0.149917, 6.0, 1.18622}};
    static constexpr GaussianTerm with_c[] = {{0.261751, 8.0, 1.063995}, {0.050275, 5.0, 1.936492}};
    static constexpr GaussianTerm with_halogen[] = {{0.359244, 9.0, 0.819351},
                                                    {0.074729, 9.0, 1.574414}};
    switch (partner) {
    case 1:
        return with_h;
    case 6:
        return with_c;
    case 9:
    case 17:
    case 35:
    case 53:
        return with_halogen;
    default:
        return {};
    }
}

// Gaussian sum of AM1: boron bonded to H, C or a halogen uses the pair terms in place
// of its own three Gaussians.
double am1_gaussian_sum(const ElementParameters& a, const ElementParameters& b, double r) {
    const bool a_is_boron = a.atomic_number == 5;
    const bool b_is_boron = b.atomic_number == 5;
    if (a_is_boron != b_is_boron) {
        const ElementParameters& partner = a_is_boron ? b : a;
        const auto pair_terms = am1_boron_pair_terms(partner.atomic_number);
        if (!pair_terms.empty()) {
            double sum = own_gaussians(partner, r, true);
            for (const GaussianTerm& term : pair_terms)
                sum += gaussian_term(term, r, true);
            return sum;
        }
    }
    return own_gaussians(a, r) + own_gaussians(b, r);
}

bool is_n_or_o(std::uint8_t z) {
    return z == 7 || z == 8;
}

// PM6/PM7 exponential factor for a pair with real pair parameters; the 0.0003·R⁶
// term damps it at long range.
double pair_exponential(const PairParameters& pair, double r) {
    return 2.0 * pair.x * std::exp(-pair.alpha * (r + 0.0003 * std::pow(r, 6)));
}

// PM6/PM7 wall 1e-8·((∛ZA + ∛ZB)/R)¹² eV with the atomic numbers: negligible at bonding
// distances, it keeps the pair-parameter forms repulsive when nuclei nearly meet. Capped
// at 1e5 eV so that the energy stays finite; zero once R exceeds 3(∛ZA + ∛ZB).
double short_range_wall(const ElementParameters& a, const ElementParameters& b, double r) {
    const double s = r / (std::cbrt(double(a.atomic_number)) + std::cbrt(double(b.atomic_number)));
    return s < 3.0 ? std::min(1e-8 / std::pow(s, 12), 100000.0) : 0.0;
}

// ZA·ZB·γ·t + ZA·ZB·G/R: the screened electrostatic part with its exponential factor t,
// plus the Gaussian sum G.
double pair_energy(const ElementParameters& a, const ElementParameters& b, double gamma, double t,
                   double gaussian_sum, double r) {
    const double zz = a.core_charge * b.core_charge;
    return zz * gamma * t + zz * gaussian_sum / r;
}

// MNDO exponential factor with the N–H/O–H rule: the heavy atom's exponential is
// scaled by R (in Å) when its partner is hydrogen.
double mndo_exponential_factor(const ElementParameters& a, const ElementParameters& b, double r) {
    const double f_a = is_n_or_o(a.atomic_number) && b.atomic_number == 1 ? r : 1.0;
    const double f_b = is_n_or_o(b.atomic_number) && a.atomic_number == 1 ? r : 1.0;
    return 1.0 + f_a * std::exp(-a.alpha * r) + f_b * std::exp(-b.alpha * r);
}

} // namespace

double klopman_ohno_gamma(const ElementParameters& a, const ElementParameters& b,
                          double r_angstrom) {
    const double rho_a = e_squared_ev_angstrom / (2.0 * a.g_ss);
    const double rho_b = e_squared_ev_angstrom / (2.0 * b.g_ss);
    const double rho = rho_a + rho_b;
    return e_squared_ev_angstrom / std::sqrt(r_angstrom * r_angstrom + rho * rho);
}

double compute_pair_core_repulsion(const ElementParameters& a, const ElementParameters& b,
                                   double r_angstrom) {
    if (r_angstrom < coincident_angstrom)
        return 0.0;
    const double r = r_angstrom;
    return pair_energy(a, b, klopman_ohno_gamma(a, b, r), mndo_exponential_factor(a, b, r),
                       own_gaussians(a, r) + own_gaussians(b, r), r);
}

double compute_pair_core_repulsion_am1(const ElementParameters& a, const ElementParameters& b,
                                       double r_angstrom) {
    if (r_angstrom < coincident_angstrom)
        return 0.0;
    const double r = r_angstrom;
    return pair_energy(a, b, klopman_ohno_gamma(a, b, r), mndo_exponential_factor(a, b, r),
                       am1_gaussian_sum(a, b, r), r);
}

double compute_pair_core_repulsion_pm6(const ElementParameters& a, const ElementParameters& b,
                                       double r_angstrom) {
    if (r_angstrom < coincident_angstrom)
        return 0.0;
    const double r = r_angstrom;
    const PairParameters pair = Pm6Model::get_pair_params(a.atomic_number, b.atomic_number);
    const std::uint8_t small = std::min(a.atomic_number, b.atomic_number);
    const std::uint8_t large = std::max(a.atomic_number, b.atomic_number);
    double t = 1.0;
    if (small == 1 && (large == 6 || large == 7 || large == 8)) {
        // X–H pairs decay as a Gaussian in R: softer hydrogen bonds.
        t += 2.0 * pair.x * std::exp(-pair.alpha * r * r);
    } else if (pair.x > 1e-5) {
        t += pair_exponential(pair, r);
    } else {
        t += 10.0 * std::exp(-2.18 * r);
    }
    if (small == 6 && large == 6) {
        // PM6's extra C–C term, published with its diatomic parameters.
        t += 9.28 * std::exp(-5.98 * r);
    }
    return pair_energy(a, b, klopman_ohno_gamma(a, b, r), t,
                       own_gaussians(a, r) + own_gaussians(b, r), r) +
           short_range_wall(a, b, r);
}

double compute_pair_core_repulsion_pm7(const ElementParameters& a, const ElementParameters& b,
                                       double r_angstrom) {
    if (r_angstrom < coincident_angstrom)
        return 0.0;
    const double r = r_angstrom;
    const double point_charge = e_squared_ev_angstrom / r;
    double gamma = point_charge;
    if (r < 7.0) {
        // Feathering: blend Klopman–Ohno into the point-charge limit, exact from 7 Å on.
        const double f = 1.0 - std::exp(-0.22 * (r - 7.0) * (r - 7.0));
        gamma = f * klopman_ohno_gamma(a, b, r) + (1.0 - f) * point_charge;
    }
    PairParameters pair = get_pm7_pair_params(a.atomic_number, b.atomic_number);
    if (pair.x < 1e-5)
        pair.x = 0.0;
    if (pair.alpha < 1e-6)
        pair.alpha = 1.2;

    const std::uint8_t small = std::min(a.atomic_number, b.atomic_number);
    const std::uint8_t large = std::max(a.atomic_number, b.atomic_number);
    double t = 1.0;
    if (small == 6 && large == 6) {
        t += pair_exponential(pair, r) + 8.947612 * std::exp(-6.024265 * r);
    } else if (small == 1 && (large == 6 || large == 7)) {
        t += 2.0 * pair.x * std::exp(-pair.alpha * r * r);
    } else if (small == 1 && large == 8) {
        t +=
            2.0 * pair.x * std::exp(-pair.alpha * r * r) + 0.012037 * std::exp(-2.0 * 0.701333 * r);
    } else if (pair.x > 1e-5) {
        t += pair_exponential(pair, r);
    } else {
        t += 10.0 * std::exp(-2.18 * r);
    }

    return pair_energy(a, b, gamma, t, own_gaussians(a, r) + own_gaussians(b, r), r) +
           short_range_wall(a, b, r);
}

double ParameterModel::pair_core_repulsion(const ElementParameters& a, const ElementParameters& b,
                                           double r_angstrom) const {
    return compute_pair_core_repulsion(a, b, r_angstrom);
}

double Am1Model::pair_core_repulsion(const ElementParameters& a, const ElementParameters& b,
                                     double r_angstrom) const {
    return compute_pair_core_repulsion_am1(a, b, r_angstrom);
}

double Pm6Model::pair_core_repulsion(const ElementParameters& a, const ElementParameters& b,
                                     double r_angstrom) const {
    return compute_pair_core_repulsion_pm6(a, b, r_angstrom);
}

double Pm7Model::pair_core_repulsion(const ElementParameters& a, const ElementParameters& b,
                                     double r_angstrom) const {
    return compute_pair_core_repulsion_pm7(a, b, r_angstrom);
}

double compute_total_core_repulsion(const MolecularBatch& batch, const ParameterModel& model) {
    double total = 0.0;
    for (std::size_t i = 0; i < batch.n_atoms; ++i) {
        const auto a = model.get_element(batch.atomic_numbers[i]);
        if (!a)
            continue;
        for (std::size_t j = i + 1; j < batch.n_atoms; ++j) {
            const auto b = model.get_element(batch.atomic_numbers[j]);
            if (!b)
                continue;
            total += model.pair_core_repulsion(*a, *b, batch.distance(i, j));
        }
    }
    return total;
}

} // namespace quelm
