// Two-centre integrals of atom pairs in which an atom carries d orbitals (MNDO/d).
//
// Every local distribution χaχb of the pair frame (ẑ from A to B) is a sum of point-charge
// multipoles up to quadrupoles; two multipoles interact through the Klopman–Ohno form
// 1/√(r² + (ρA + ρB)²), and only multipoles of the same m interact in the shared frame.
// Integrals over s and p orbitals alone keep the values of the s, p model; the 45 × 45
// local block is then turned into molecular axes through the products of the orbital
// rotation T, which for d orbitals follows from the quadratic forms rᵀ·M·r of the five
// real d functions (Thiel & Voityuk, Theor. Chim. Acta 81, 391 (1992)).

#include "integrals/d_orbitals.hpp"
#include "types/internal_error.hpp"
#include "types/physical_constants.hpp"

#include <cmath>
#include <cstdint>
#include <string>

namespace quelm {

namespace {

constexpr double ev = ev_per_hartree;
constexpr std::size_t n_local = d_orbital_pairs;
constexpr double feathering_onset_angstrom = 7.0;
constexpr double feathering_steepness = 0.22; // Å⁻²
constexpr double negligible_coefficient = 1e-15;

double sq(double x) {
    return x * x;
}

// The (separation, additive term) choice of a multipole: the monopoles of ss, pp and dd
// distributions and of the core, and the dipoles and quadrupoles by pair type.
enum Kind : std::uint8_t {
    monopole_ss,
    monopole_pp,
    monopole_dd,
    dipole_sp,
    quadrupole_pp,
    quadrupole_sd,
    dipole_pd,
    quadrupole_dd,
    monopole_core,
    kind_count
};

constexpr std::array<int, kind_count> order_of = {0, 0, 0, 1, 2, 2, 1, 2, 0};

double separation_of(const DMultipoleTerms& t, Kind kind) {
    switch (kind) {
    case dipole_sp:
        return t.charge_separations[2];
    case quadrupole_pp:
        return t.charge_separations[3];
    case quadrupole_sd:
        return t.charge_separations[4];
    case dipole_pd:
        return t.charge_separations[5];
    case quadrupole_dd:
        return t.charge_separations[6];
    default:
        return 0.0;
    }
}

double additive_term_of(const DMultipoleTerms& t, Kind kind) {
    constexpr std::array<std::size_t, kind_count> entry = {1, 7, 8, 2, 3, 4, 5, 6, 9};
    return t.additive_terms[entry[kind]];
}

// One multipole (l, m) of a local pair with its coefficient; l follows from the kind.
struct Multipole {
    Kind kind = monopole_ss;
    std::int8_t m = 0;
    double coefficient = 0.0;
};

struct PairMultipoles {
    std::uint8_t count = 0;
    std::array<Multipole, 3> terms{};
};

// The multipole expansion of the 45 local pairs (coefficients to eight decimals, as the
// published scheme carries them).
// clang-format off
constexpr std::array<PairMultipoles, n_local> local_pair_multipoles = {{
    /*  1 (s,s)     */ {1, {{{monopole_ss, 0, 1.0}}}},
    /*  2 (s,pσ)    */ {1, {{{dipole_sp, 0, 1.0}}}},
    /*  3 (s,pπ)    */ {1, {{{dipole_sp, 1, 1.0}}}},
    /*  4 (s,pπ')   */ {1, {{{dipole_sp, -1, 1.0}}}},
    /*  5 (s,dσ)    */ {1, {{{quadrupole_sd, 0, 1.15470054}}}},
    /*  6 (s,dπ)    */ {1, {{{quadrupole_sd, 1, 1.0}}}},
    /*  7 (s,dπ')   */ {1, {{{quadrupole_sd, -1, 1.0}}}},
    /*  8 (s,dδ)    */ {1, {{{quadrupole_sd, 2, 1.0}}}},
    /*  9 (s,dδ')   */ {1, {{{quadrupole_sd, -2, 1.0}}}},
    /* 10 (pσ,pσ)   */ {2, {{{monopole_pp, 0, 1.0}, {quadrupole_pp, 0, 1.33333333}}}},
    /* 11 (pσ,pπ)   */ {1, {{{quadrupole_pp, 1, 1.0}}}},
    /* 12 (pσ,pπ')  */ {1, {{{quadrupole_pp, -1, 1.0}}}},
    /* 13 (pσ,dσ)   */ {1, {{{dipole_pd, 0, 1.15470054}}}},
    /* 14 (pσ,dπ)   */ {1, {{{dipole_pd, 1, 1.0}}}},
    /* 15 (pσ,dπ')  */ {1, {{{dipole_pd, -1, 1.0}}}},
    /* 16 (pσ,dδ)   */ {0, {}},
    /* 17 (pσ,dδ')  */ {0, {}},
    /* 18 (pπ,pπ)   */ {3, {{{monopole_pp, 0, 1.0}, {quadrupole_pp, 0, -0.66666667},
                           {quadrupole_pp, 2, 1.0}}}},
    /* 19 (pπ,pπ')  */ {1, {{{quadrupole_pp, -2, 1.0}}}},
    /* 20 (pπ,dσ)   */ {1, {{{dipole_pd, 1, -0.57735027}}}},
    /* 21 (pπ,dπ)   */ {1, {{{dipole_pd, 0, 1.0}}}},
    /* 22 (pπ,dπ')  */ {0, {}},
    /* 23 (pπ,dδ)   */ {1, {{{dipole_pd, 1, 1.0}}}},
    /* 24 (pπ,dδ')  */ {1, {{{dipole_pd, -1, 1.0}}}},
    /* 25 (pπ',pπ') */ {3, {{{monopole_pp, 0, 1.0}, {quadrupole_pp, 0, -0.66666667},
                           {quadrupole_pp, 2, -1.0}}}},
    /* 26 (pπ',dσ)  */ {1, {{{dipole_pd, -1, -0.57735027}}}},
    /* 27 (pπ',dπ)  */ {0, {}},
    /* 28 (pπ',dπ') */ {1, {{{dipole_pd, 0, 1.0}}}},
    /* 29 (pπ',dδ)  */ {1, {{{dipole_pd, -1, -1.0}}}},
    /* 30 (pπ',dδ') */ {1, {{{dipole_pd, 1, 1.0}}}},
    /* 31 (dσ,dσ)   */ {2, {{{monopole_dd, 0, 1.0}, {quadrupole_dd, 0, 1.33333333}}}},
    /* 32 (dσ,dπ)   */ {1, {{{quadrupole_dd, 1, 0.57735027}}}},
    /* 33 (dσ,dπ')  */ {1, {{{quadrupole_dd, -1, 0.57735027}}}},
    /* 34 (dσ,dδ)   */ {1, {{{quadrupole_dd, 2, -1.15470054}}}},
    /* 35 (dσ,dδ')  */ {1, {{{quadrupole_dd, -2, -1.15470054}}}},
    /* 36 (dπ,dπ)   */ {3, {{{monopole_dd, 0, 1.0}, {quadrupole_dd, 0, 0.66666667},
                           {quadrupole_dd, 2, 1.0}}}},
    /* 37 (dπ,dπ')  */ {1, {{{quadrupole_dd, -2, 1.0}}}},
    /* 38 (dπ,dδ)   */ {1, {{{quadrupole_dd, 1, 1.0}}}},
    /* 39 (dπ,dδ')  */ {1, {{{quadrupole_dd, -1, 1.0}}}},
    /* 40 (dπ',dπ') */ {3, {{{monopole_dd, 0, 1.0}, {quadrupole_dd, 0, 0.66666667},
                           {quadrupole_dd, 2, -1.0}}}},
    /* 41 (dπ',dδ)  */ {1, {{{quadrupole_dd, -1, -1.0}}}},
    /* 42 (dπ',dδ') */ {1, {{{quadrupole_dd, 1, 1.0}}}},
    /* 43 (dδ,dδ)   */ {2, {{{monopole_dd, 0, 1.0}, {quadrupole_dd, 0, -1.33333333}}}},
    /* 44 (dδ,dδ')  */ {0, {}},
    /* 45 (dδ',dδ') */ {2, {{{monopole_dd, 0, 1.0}, {quadrupole_dd, 0, -1.33333333}}}},
}};
// clang-format on

constexpr PairMultipoles core_multipoles = {1, {{{monopole_core, 0, 1.0}}}};

// The two local orbitals (a ≤ b) of each local pair.
struct LocalPair {
    std::uint8_t a = 0;
    std::uint8_t b = 0;
};

constexpr std::array<LocalPair, n_local> local_pairs = [] {
    std::array<LocalPair, n_local> table{};
    for (std::uint8_t a = 0; a < 9; ++a) {
        for (std::uint8_t b = a; b < 9; ++b)
            table[local_d_pair_index(a, b)] = {a, b};
    }
    return table;
}();

// The local pairs an atom of n orbitals has, in ascending order.
struct ActivePairs {
    std::size_t count = 0;
    std::array<std::uint8_t, n_local> index{};
};

ActivePairs active_pairs(int n_orbitals) {
    ActivePairs active;
    for (std::size_t p = 0; p < n_local; ++p) {
        if (local_pairs[p].b < static_cast<std::size_t>(n_orbitals))
            active.index[active.count++] = static_cast<std::uint8_t>(p);
    }
    return active;
}

std::size_t checked_pair_count(int n_orbitals) {
    if (n_orbitals != 1 && n_orbitals != 4 && n_orbitals != 9)
        throw InternalError("A pair atom needs 1, 4 or 9 orbitals, got " +
                            std::to_string(n_orbitals));
    return orbital_pair_count(static_cast<std::size_t>(n_orbitals));
}

// Point charges of multipole (l, |m|) with separation d in the local frame.
struct PointCharge {
    double q = 0.0;
    double x = 0.0, y = 0.0, z = 0.0;
};

struct Configuration {
    std::size_t count = 0;
    std::array<PointCharge, 6> charges{};
};

Configuration configuration(int l, int m_abs, double d) {
    Configuration c;
    const auto add = [&c](double q, double x, double y, double z) {
        c.charges[c.count++] = {q, x, y, z};
    };
    if (l == 0) {
        add(1.0, 0.0, 0.0, 0.0);
    } else if (l == 1 && m_abs == 0) {
        add(0.5, 0.0, 0.0, d);
        add(-0.5, 0.0, 0.0, -d);
    } else if (l == 1) {
        add(0.5, d, 0.0, 0.0);
        add(-0.5, -d, 0.0, 0.0);
    } else if (m_abs == 0) {
        add(0.25, 0.0, 0.0, d);
        add(0.25, 0.0, 0.0, -d);
        add(-0.125, d, 0.0, 0.0);
        add(-0.125, -d, 0.0, 0.0);
        add(-0.125, 0.0, d, 0.0);
        add(-0.125, 0.0, -d, 0.0);
    } else if (m_abs == 1) {
        const double a = d / std::sqrt(2.0);
        add(0.25, a, 0.0, a);
        add(0.25, -a, 0.0, -a);
        add(-0.25, a, 0.0, -a);
        add(-0.25, -a, 0.0, a);
    } else {
        add(0.25, d, 0.0, 0.0);
        add(0.25, -d, 0.0, 0.0);
        add(-0.25, 0.0, d, 0.0);
        add(-0.25, 0.0, -d, 0.0);
    }
    return c;
}

// Σ coef·coef′·interaction over the multipoles of two sides that share m; interaction
// (kind_a, kind_b, |m|) is given by the caller (direct or cached).
template <typename Interaction>
double sum_over_multipoles(const PairMultipoles& side_a, const PairMultipoles& side_b,
                           Interaction interaction) {
    double sum = 0.0;
    for (std::size_t i = 0; i < side_a.count; ++i) {
        const Multipole& ma = side_a.terms[i];
        for (std::size_t j = 0; j < side_b.count; ++j) {
            const Multipole& mb = side_b.terms[j];
            if (ma.m != mb.m)
                continue;
            const double product = ma.coefficient * mb.coefficient;
            if (std::abs(product) < negligible_coefficient)
                continue;
            sum += product * interaction(ma.kind, mb.kind, ma.m < 0 ? -ma.m : ma.m);
        }
    }
    return sum;
}

double interaction_of(const DMultipoleTerms& a, const DMultipoleTerms& b, Kind kind_a, Kind kind_b,
                      int m_abs, double r_bohr) {
    return charg(order_of[kind_a], order_of[kind_b], m_abs, r_bohr, separation_of(a, kind_a),
                 separation_of(b, kind_b),
                 sq(additive_term_of(a, kind_a) + additive_term_of(b, kind_b)));
}

// Multipole interactions of one pair, each evaluated once on first use.
class InteractionCache {
  public:
    InteractionCache(const DMultipoleTerms& a, const DMultipoleTerms& b, double r_bohr)
        : a_(a), b_(b), r_bohr_(r_bohr) {}

    double operator()(Kind kind_a, Kind kind_b, int m_abs) {
        const std::size_t slot = (kind_a * kind_count + kind_b) * 3 + m_abs;
        if (!ready_[slot]) {
            values_[slot] = interaction_of(a_, b_, kind_a, kind_b, m_abs, r_bohr_);
            ready_[slot] = true;
        }
        return values_[slot];
    }

  private:
    const DMultipoleTerms& a_;
    const DMultipoleTerms& b_;
    double r_bohr_;
    std::array<double, kind_count * kind_count * 3> values_{};
    std::array<bool, kind_count * kind_count * 3> ready_{};
};

// Distribution of a local s, p pair in the numbering of the s, p model: ss, sσ, sπ, sπ',
// σσ, ππ, π'π', σπ, σπ', ππ'.
enum SpDistribution : std::uint8_t {
    ss,
    s_sigma,
    s_pi,
    s_pi2,
    sigma_sigma,
    pi_pi,
    pi2_pi2,
    sigma_pi,
    sigma_pi2,
    pi_pi2
};

constexpr SpDistribution sp_distribution(std::size_t a, std::size_t b) {
    constexpr SpDistribution table[4][4] = {{ss, s_sigma, s_pi, s_pi2},
                                            {s_sigma, sigma_sigma, sigma_pi, sigma_pi2},
                                            {s_pi, sigma_pi, pi_pi, pi_pi2},
                                            {s_pi2, sigma_pi2, pi_pi2, pi2_pi2}};
    return table[a][b];
}

// Which of the 22 local s, p integrals (index 0–21) is (A distribution | B distribution);
// −1 where symmetry makes the integral vanish.
// clang-format off
constexpr std::int8_t sp_integral[10][10] = {
    //  ss  sσ  sπ  sπ' σσ  ππ  π'π' σπ  σπ' ππ'   (B)
    {   0,  4, -1, -1, 10, 11, 11, -1, -1, -1},  // ss (A)
    {   1,  5, -1, -1, 12, 13, 13, -1, -1, -1},  // sσ
    {  -1, -1,  6, -1, -1, -1, -1, 14, -1, -1},  // sπ
    {  -1, -1, -1,  6, -1, -1, -1, -1, 14, -1},  // sπ'
    {   2,  7, -1, -1, 15, 17, 17, -1, -1, -1},  // σσ
    {   3,  8, -1, -1, 16, 18, 20, -1, -1, -1},  // ππ
    {   3,  8, -1, -1, 16, 20, 18, -1, -1, -1},  // π'π'
    {  -1, -1,  9, -1, -1, -1, -1, 19, -1, -1},  // σπ
    {  -1, -1, -1,  9, -1, -1, -1, -1, 19, -1},  // σπ'
    {  -1, -1, -1, -1, -1, -1, -1, -1, -1, 21},  // ππ'
};
// clang-format on

bool is_sp_pair(std::size_t p) {
    return local_pairs[p].b < 4;
}

bool is_diagonal(std::size_t p) {
    return local_pairs[p].a == local_pairs[p].b;
}

// f of PM7's feathering: 1 − exp(−0.22·(R − 7)²) below 7 Å, 0 beyond.
double feathering_factor(double r_angstrom) {
    return r_angstrom < feathering_onset_angstrom
               ? 1.0 - std::exp(-feathering_steepness * sq(r_angstrom - feathering_onset_angstrom))
               : 0.0;
}

// Local attraction of atom X's distributions by the point core of atom Y (charge z_y), eV.
// s and p distributions use the s, p model's dipole and linear quadrupoles; a
// distribution with a d orbital sees the core only through its m = 0 multipoles.
void core_attraction_local(const DMultipoleTerms& x, int n_x, bool x_is_a, const DMultipoleTerms& y,
                           double z_y, double r_bohr, std::array<double, n_local>& v) {
    v.fill(0.0);
    const double scale = -z_y * ev;
    const double rho_core = y.additive_terms[9];
    const double r2 = r_bohr * r_bohr;
    v[0] = scale / std::sqrt(r2 + sq(x.additive_terms[1] + rho_core));
    if (n_x < 4)
        return;

    const double c2 = sq(x.additive_terms[2] + rho_core);
    const double d2 = x.charge_separations[2];
    v[local_d_pair_index(0, 1)] = scale * (x_is_a ? charg(1, 0, 0, r_bohr, d2, 0.0, c2)
                                                  : charg(0, 1, 0, r_bohr, 0.0, d2, c2));

    const double q = std::sqrt(2.0) * x.charge_separations[3];
    const double c3 = sq(x.additive_terms[3] + rho_core);
    const double c7 = sq(x.additive_terms[7] + rho_core);
    const double monopole = 1.0 / std::sqrt(r2 + c7) - 0.5 / std::sqrt(r2 + c3);
    const double sigma =
        monopole + 0.25 / std::sqrt(sq(r_bohr - q) + c3) + 0.25 / std::sqrt(sq(r_bohr + q) + c3);
    const double pi = monopole + 0.5 / std::sqrt(q * q + r2 + c3);
    v[local_d_pair_index(1, 1)] = scale * sigma;
    v[local_d_pair_index(2, 2)] = scale * pi;
    v[local_d_pair_index(3, 3)] = scale * pi;
    if (n_x < 9)
        return;

    for (std::size_t p = 0; p < n_local; ++p) {
        if (is_sp_pair(p))
            continue;
        v[p] = scale * (x_is_a ? rijkl(x, y, p, 0, r_bohr, CoreSide::on_b)
                               : rijkl(y, x, 0, p, r_bohr, CoreSide::on_a));
    }
}

// PM7: diagonal core values blend towards −Z_Y/R, the others fade with f.
void feather_core_attraction(double f, double z_y, double r_bohr, std::array<double, n_local>& v) {
    const double point_charge = -z_y * ev / r_bohr;
    for (std::size_t p = 0; p < n_local; ++p)
        v[p] = is_diagonal(p) ? f * v[p] + (1.0 - f) * point_charge : f * v[p];
}

constexpr std::array<std::size_t, 5> local_d_diagonals = {30, 35, 39, 42, 44};
constexpr std::array<std::size_t, 3> local_p_diagonals = {9, 17, 24};

// PM7's shell correction of a d atom's core values: its d diagonals (and, when the partner
// has p orbitals, its p diagonals) are shifted to average its (s,s) value.
void shift_core_attraction(bool partner_has_p, std::array<double, n_local>& v) {
    const auto shift = [&v](const auto& members) {
        double mean = 0.0;
        for (std::size_t p : members)
            mean += v[p];
        mean /= static_cast<double>(members.size());
        for (std::size_t p : members)
            v[p] += v[0] - mean;
    };
    shift(local_d_diagonals);
    if (partner_has_p)
        shift(local_p_diagonals);
}

// e(P) = Σ_p y[P][p]·v[p] over an atom's molecular pairs.
void rotate_core_attraction(int n_orbitals, const DPairTransform& y,
                            const std::array<double, n_local>& v, std::vector<double>& out) {
    const std::size_t n_pairs = orbital_pair_count(static_cast<std::size_t>(n_orbitals));
    const ActivePairs active = active_pairs(n_orbitals);
    out.assign(n_pairs, 0.0);
    for (std::size_t pair = 0; pair < n_pairs; ++pair) {
        const double* y_row = y.data() + pair * n_local;
        double sum = 0.0;
        for (std::size_t k = 0; k < active.count; ++k)
            sum += y_row[active.index[k]] * v[active.index[k]];
        out[pair] = sum;
    }
}

} // namespace

DMultipoleTerms d_multipole_terms(const DElementParameters& d) {
    return DMultipoleTerms{d.charge_separations, d.additive_terms};
}

DMultipoleTerms d_multipole_terms(const DerivedMultipoleParams& params) {
    DMultipoleTerms t;
    t.additive_terms[1] = params.rho0;
    t.additive_terms[7] = params.rho0;
    t.additive_terms[9] = params.rho0;
    t.additive_terms[2] = params.rho1;
    t.additive_terms[3] = params.rho2;
    t.charge_separations[2] = params.d1;
    // The s, p model's quadrupole charges sit 2·d2 apart on each axis; as a point
    // quadrupole of this scheme that is the separation √2·d2.
    t.charge_separations[3] = std::sqrt(2.0) * params.d2;
    return t;
}

double charg(int l1, int l2, int m_abs, double r_bohr, double d_a, double d_b,
             double rho_sum_squared) {
    if (l1 < 0 || l1 > 2 || l2 < 0 || l2 > 2 || m_abs < 0 || m_abs > l1 || m_abs > l2) {
        throw InternalError("No multipole interaction for l1=" + std::to_string(l1) +
                            ", l2=" + std::to_string(l2) + ", m=" + std::to_string(m_abs));
    }
    const Configuration on_a = configuration(l1, m_abs, d_a);
    const Configuration on_b = configuration(l2, m_abs, d_b);
    double sum = 0.0;
    for (std::size_t i = 0; i < on_a.count; ++i) {
        const PointCharge& qa = on_a.charges[i];
        for (std::size_t j = 0; j < on_b.count; ++j) {
            const PointCharge& qb = on_b.charges[j];
            const double r2 = sq(qb.x - qa.x) + sq(qb.y - qa.y) + sq(r_bohr + qb.z - qa.z);
            sum += qa.q * qb.q / std::sqrt(r2 + rho_sum_squared);
        }
    }
    return sum;
}

double rijkl(const DMultipoleTerms& a, const DMultipoleTerms& b, std::size_t pair_a,
             std::size_t pair_b, double r_bohr, CoreSide core) {
    if (pair_a >= n_local || pair_b >= n_local) {
        throw InternalError("Local pair out of range: " + std::to_string(pair_a) + ", " +
                            std::to_string(pair_b));
    }
    const PairMultipoles& side_a =
        core == CoreSide::on_a ? core_multipoles : local_pair_multipoles[pair_a];
    const PairMultipoles& side_b =
        core == CoreSide::on_b ? core_multipoles : local_pair_multipoles[pair_b];
    return sum_over_multipoles(side_a, side_b, [&](Kind kind_a, Kind kind_b, int m_abs) {
        return interaction_of(a, b, kind_a, kind_b, m_abs, r_bohr);
    });
}

void compute_reppd2(const DMultipoleTerms& a, const DMultipoleTerms& b, int n_orbitals_a,
                    int n_orbitals_b, const LocalMultipoleIntegrals& sp_local, double r_angstrom,
                    bool feathering, LocalDIntegrals& out) {
    checked_pair_count(n_orbitals_a);
    checked_pair_count(n_orbitals_b);
    out.fill(0.0);
    const double r_bohr = r_angstrom / angstrom_per_bohr;
    const double f = feathering ? feathering_factor(r_angstrom) : 1.0;
    const double point_charge = e_squared_ev_angstrom / r_angstrom;
    const ActivePairs active_a = active_pairs(n_orbitals_a);
    const ActivePairs active_b = active_pairs(n_orbitals_b);
    InteractionCache interaction(a, b, r_bohr);

    for (std::size_t i = 0; i < active_a.count; ++i) {
        const std::size_t p = active_a.index[i];
        const LocalPair pa = local_pairs[p];
        for (std::size_t j = 0; j < active_b.count; ++j) {
            const std::size_t q = active_b.index[j];
            const LocalPair pb = local_pairs[q];
            double& value = out[p * n_local + q];
            if (is_sp_pair(p) && is_sp_pair(q)) {
                const int k = sp_integral[sp_distribution(pa.a, pa.b)][sp_distribution(pb.a, pb.b)];
                value = k < 0 ? 0.0 : sp_local[static_cast<std::size_t>(k)];
                continue;
            }
            value = ev * sum_over_multipoles(local_pair_multipoles[p], local_pair_multipoles[q],
                                             interaction);
            if (feathering) {
                value *= f;
                if (is_diagonal(p) && is_diagonal(q))
                    value += (1.0 - f) * point_charge;
            }
        }
    }
}

DOrbitalRotation3D DOrbitalRotation3D::new_rotation(double dx, double dy, double dz,
                                                    double r_angstrom) {
    const DiatomicRotation3D frame = DiatomicRotation3D::new_rotation(dx, dy, dz, r_angstrom);
    const auto& u = frame.x_axis;
    const auto& v = frame.y_axis;
    const auto& w = frame.z_axis;

    DOrbitalRotation3D rotation;
    auto& t = rotation.t;
    t[0] = 1.0;
    for (std::size_t k = 0; k < 3; ++k) {
        t[(1 + k) * 9 + 1] = w[k]; // pσ
        t[(1 + k) * 9 + 2] = u[k]; // pπ
        t[(1 + k) * 9 + 3] = v[k]; // pπ'
    }

    // Quadratic forms rᵀ·M·r of the d functions, each with tr(M²) = ½, so that
    // T = 2·tr(M_molecular·M_local) is orthogonal. Molecular order: (x² − y²)/2, xz,
    // (3z² − r²)/(2√3), yz, xy; local: dσ, dπ, dπ', dδ, dδ'.
    using Form = std::array<std::array<double, 3>, 3>;
    const double inv_2sqrt3 = 1.0 / (2.0 * std::sqrt(3.0));
    const auto symmetric_product = [](const std::array<double, 3>& e1,
                                      const std::array<double, 3>& e2) {
        Form m{};
        for (std::size_t i = 0; i < 3; ++i)
            for (std::size_t j = 0; j < 3; ++j)
                m[i][j] = 0.5 * (e1[i] * e2[j] + e2[i] * e1[j]);
        return m;
    };
    std::array<Form, 5> molecular{};
    molecular[0][0][0] = 0.5;
    molecular[0][1][1] = -0.5;
    molecular[1][0][2] = molecular[1][2][0] = 0.5;
    molecular[2][0][0] = molecular[2][1][1] = -inv_2sqrt3;
    molecular[2][2][2] = 2.0 * inv_2sqrt3;
    molecular[3][1][2] = molecular[3][2][1] = 0.5;
    molecular[4][0][1] = molecular[4][1][0] = 0.5;

    std::array<Form, 5> local{};
    const Form ww = symmetric_product(w, w);
    const Form uu = symmetric_product(u, u);
    const Form vv = symmetric_product(v, v);
    for (std::size_t i = 0; i < 3; ++i) {
        for (std::size_t j = 0; j < 3; ++j) {
            local[0][i][j] = (3.0 * ww[i][j] - (i == j ? 1.0 : 0.0)) * inv_2sqrt3;
            local[3][i][j] = 0.5 * (uu[i][j] - vv[i][j]);
        }
    }
    local[1] = symmetric_product(u, w);
    local[2] = symmetric_product(v, w);
    local[4] = symmetric_product(u, v);

    for (std::size_t k = 0; k < 5; ++k) {
        for (std::size_t a = 0; a < 5; ++a) {
            double trace = 0.0;
            for (std::size_t i = 0; i < 3; ++i)
                for (std::size_t j = 0; j < 3; ++j)
                    trace += molecular[k][i][j] * local[a][i][j];
            t[(4 + k) * 9 + 4 + a] = 2.0 * trace;
        }
    }
    return rotation;
}

void tx(const DOrbitalRotation3D& rotation, DPairTransform& y) {
    const auto& t = rotation.t;
    for (std::size_t mu = 0; mu < 9; ++mu) {
        for (std::size_t nu = 0; nu <= mu; ++nu) {
            double* row = y.data() + orbital_pair_index(mu, nu) * n_local;
            for (std::size_t p = 0; p < n_local; ++p) {
                const std::size_t a = local_pairs[p].a;
                const std::size_t b = local_pairs[p].b;
                row[p] = a == b ? t[mu * 9 + a] * t[nu * 9 + a]
                                : t[mu * 9 + a] * t[nu * 9 + b] + t[mu * 9 + b] * t[nu * 9 + a];
            }
        }
    }
}

void rotatd_step2(int n_orbitals_a, int n_orbitals_b, const DPairTransform& y,
                  const LocalDIntegrals& local, double* w) {
    const std::size_t pairs_a = checked_pair_count(n_orbitals_a);
    const std::size_t pairs_b = checked_pair_count(n_orbitals_b);
    const ActivePairs active_a = active_pairs(n_orbitals_a);
    const ActivePairs active_b = active_pairs(n_orbitals_b);

    // half[k][Q] = Σ_q local[p_k][q]·y[Q][q]: B's side turned first.
    std::array<double, n_local * n_local> half{};
    for (std::size_t k = 0; k < active_a.count; ++k) {
        const double* local_row = local.data() + active_a.index[k] * n_local;
        double* half_row = half.data() + k * pairs_b;
        for (std::size_t pair_b = 0; pair_b < pairs_b; ++pair_b) {
            const double* y_row = y.data() + pair_b * n_local;
            double sum = 0.0;
            for (std::size_t j = 0; j < active_b.count; ++j)
                sum += local_row[active_b.index[j]] * y_row[active_b.index[j]];
            half_row[pair_b] = sum;
        }
    }
    for (std::size_t pair_a = 0; pair_a < pairs_a; ++pair_a) {
        const double* y_row = y.data() + pair_a * n_local;
        double* w_row = w + pair_a * pairs_b;
        for (std::size_t pair_b = 0; pair_b < pairs_b; ++pair_b)
            w_row[pair_b] = 0.0;
        for (std::size_t k = 0; k < active_a.count; ++k) {
            const double coefficient = y_row[active_a.index[k]];
            if (coefficient == 0.0)
                continue;
            const double* half_row = half.data() + k * pairs_b;
            for (std::size_t pair_b = 0; pair_b < pairs_b; ++pair_b)
                w_row[pair_b] += coefficient * half_row[pair_b];
        }
    }
}

void apply_pm7_d_correction(int n_orbitals_a, int n_orbitals_b, double* w) {
    checked_pair_count(n_orbitals_a);
    const std::size_t stride = checked_pair_count(n_orbitals_b);
    constexpr std::array<std::size_t, 5> d_diagonals = {14, 20, 27, 35, 44};
    constexpr std::array<std::size_t, 3> p_diagonals = {2, 5, 9};
    constexpr std::array<std::size_t, 1> s_diagonal = {0};
    const double ss = w[0];

    const auto shift = [&](const auto& rows, const auto& cols) {
        double mean = 0.0;
        for (std::size_t r : rows)
            for (std::size_t c : cols)
                mean += w[r * stride + c];
        mean /= static_cast<double>(rows.size() * cols.size());
        for (std::size_t r : rows)
            for (std::size_t c : cols)
                w[r * stride + c] += ss - mean;
    };
    if (n_orbitals_a == 9) {
        if (n_orbitals_b >= 4)
            shift(d_diagonals, p_diagonals);
        shift(d_diagonals, s_diagonal);
        if (n_orbitals_b == 9)
            shift(d_diagonals, d_diagonals);
    }
    if (n_orbitals_b == 9) {
        if (n_orbitals_a >= 4)
            shift(p_diagonals, d_diagonals);
        shift(s_diagonal, d_diagonals);
    }
}

void compute_d_pair_integrals(const MolecularBatch& batch, const ParameterModel& model,
                              std::size_t atom_a, std::size_t atom_b,
                              const DerivedMultipoleParams& params_a,
                              const DerivedMultipoleParams& params_b, double core_charge_a,
                              double core_charge_b, double dx, double dy, double dz,
                              const LocalMultipoleIntegrals& sp_local,
                              DiatomicPairIntegrals& record) {
    const double r = std::sqrt(dx * dx + dy * dy + dz * dz);
    const double r_bohr = r / angstrom_per_bohr;
    const int n_a = batch.basis_types[atom_a];
    const int n_b = batch.basis_types[atom_b];
    const std::size_t pairs_a = checked_pair_count(n_a);
    const std::size_t pairs_b = checked_pair_count(n_b);
    const bool feathering = model.use_feathering();

    const auto terms_of = [&model](std::uint8_t z, const DerivedMultipoleParams& params) {
        const auto d = model.get_d_element_params(z);
        return d ? d_multipole_terms(*d) : d_multipole_terms(params);
    };
    const DMultipoleTerms terms_a = terms_of(batch.atomic_numbers[atom_a], params_a);
    const DMultipoleTerms terms_b = terms_of(batch.atomic_numbers[atom_b], params_b);

    LocalDIntegrals local;
    compute_reppd2(terms_a, terms_b, n_a, n_b, sp_local, r, feathering, local);
    DPairTransform y;
    tx(DOrbitalRotation3D::new_rotation(dx, dy, dz, r), y);
    record.w.assign(pairs_a * pairs_b, 0.0);
    rotatd_step2(n_a, n_b, y, local, record.w.data());

    std::array<double, n_local> core_a{};
    std::array<double, n_local> core_b{};
    core_attraction_local(terms_a, n_a, true, terms_b, core_charge_b, r_bohr, core_a);
    core_attraction_local(terms_b, n_b, false, terms_a, core_charge_a, r_bohr, core_b);
    if (feathering) {
        const double f = feathering_factor(r);
        feather_core_attraction(f, core_charge_b, r_bohr, core_a);
        feather_core_attraction(f, core_charge_a, r_bohr, core_b);
        apply_pm7_d_correction(n_a, n_b, record.w.data());
        if (n_a == 9)
            shift_core_attraction(n_b >= 4, core_a);
        if (n_b == 9)
            shift_core_attraction(n_a >= 4, core_b);
    }
    rotate_core_attraction(n_a, y, core_a, record.e1b);
    rotate_core_attraction(n_b, y, core_b, record.e2a);

    record.atom_a = atom_a;
    record.atom_b = atom_b;
    record.n_orbitals_a = static_cast<std::size_t>(n_a);
    record.n_orbitals_b = static_cast<std::size_t>(n_b);
    record.first_orbital_a = batch.orbital_offsets[atom_a];
    record.first_orbital_b = batch.orbital_offsets[atom_b];
}

} // namespace quelm
