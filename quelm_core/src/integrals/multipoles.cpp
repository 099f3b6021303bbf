// NDDO two-centre integrals of s, p atom pairs in the point-charge multipole model.
//
// Each one-centre distribution χμχν is a monopole, a dipole (two charges ±½ a distance
// 2·d1 apart) or a linear quadrupole (+¼, −½, +¼ with spacing 2·d2), and two charges
// interact through the Klopman–Ohno form e²/√(r² + (ρa + ρb)²), which tends to e²/r at
// long range and stays finite at r = 0 (Dewar & Thiel, Theor. Chim. Acta 46, 89 (1977)).
// The 22 distinct integrals are worked out in the pair frame (z from A to B) and turned
// into the molecular axes with the direction cosines of the p orbitals. PM7 blends all
// of them into plain point-charge terms at long range ("feathering").

#include "integrals/multipoles.hpp"

#include "integrals/d_orbitals.hpp"
#include "types/internal_error.hpp"
#include "types/physical_constants.hpp"

#include <cmath>
#include <optional>
#include <string>
#include <utility>

namespace quelm {

namespace {

constexpr double ev = ev_per_hartree;
constexpr double coincident_angstrom = 1e-10;
constexpr double on_axis_tolerance = 1e-7;
constexpr double feathering_onset_angstrom = 7.0;
constexpr double feathering_steepness = 0.22; // Å⁻²

double sq(double x) {
    return x * x;
}

// Klopman–Ohno interaction of two unit charges a squared distance r2 apart, with
// c = (ρa + ρb)²; everything in bohr, result in bohr⁻¹ (hartree for unit charges).
double ko(double r2, double c) {
    return 1.0 / std::sqrt(r2 + c);
}

// Quadrupole part of a σσ distribution (+¼ at ±2d on the axis, −½ at the centre) seen
// by a unit charge at axial distance z and squared off-axis distance p2.
double axial_quadrupole(double d, double z, double p2, double c) {
    return 0.25 * (ko(sq(z - 2.0 * d) + p2, c) + ko(sq(z + 2.0 * d) + p2, c)) -
           0.5 * ko(sq(z) + p2, c);
}

// Quadrupole part of a ππ distribution (+¼ at ±2d along its π axis, −½ at the centre)
// seen by a unit charge at coordinate x along that axis and squared distance s2 in the
// two directions orthogonal to it.
double transverse_quadrupole(double d, double s2, double x, double c) {
    return 0.25 * (ko(s2 + sq(x - 2.0 * d), c) + ko(s2 + sq(x + 2.0 * d), c)) -
           0.5 * ko(s2 + sq(x), c);
}

// Distances of one pair in bohr: R, the charge separations and the squared sums of
// additive terms, c_kl = (ρ_k(A) + ρ_l(B))² with k, l = 0 monopole, 1 dipole, 2 quadrupole.
struct PairGeometry {
    double r = 0.0;
    double r2 = 0.0;
    double a1 = 0.0, a2 = 0.0, b1 = 0.0, b2 = 0.0;
    double c00 = 0.0, c01 = 0.0, c02 = 0.0;
    double c10 = 0.0, c11 = 0.0, c12 = 0.0;
    double c20 = 0.0, c21 = 0.0, c22 = 0.0;
};

PairGeometry make_pair_geometry(const DerivedMultipoleParams& a, const DerivedMultipoleParams& b,
                                double r_angstrom) {
    PairGeometry g;
    g.r = r_angstrom / angstrom_per_bohr;
    g.r2 = g.r * g.r;
    g.a1 = a.d1;
    g.a2 = a.d2;
    g.b1 = b.d1;
    g.b2 = b.d2;
    const double rho_a[3] = {0.5 / a.am, 0.5 / a.ad, 0.5 / a.aq};
    const double rho_b[3] = {0.5 / b.am, 0.5 / b.ad, 0.5 / b.aq};
    g.c00 = sq(rho_a[0] + rho_b[0]);
    g.c01 = sq(rho_a[0] + rho_b[1]);
    g.c02 = sq(rho_a[0] + rho_b[2]);
    g.c10 = sq(rho_a[1] + rho_b[0]);
    g.c11 = sq(rho_a[1] + rho_b[1]);
    g.c12 = sq(rho_a[1] + rho_b[2]);
    g.c20 = sq(rho_a[2] + rho_b[0]);
    g.c21 = sq(rho_a[2] + rho_b[1]);
    g.c22 = sq(rho_a[2] + rho_b[2]);
    return g;
}

// Only H and He are s-only here; every heavier atom carries the p multipoles.
bool is_s_only(const DerivedMultipoleParams& p) {
    return p.atomic_number < 3;
}

// Quadrupole parts of each atom's σσ and ππ distributions against the other's
// monopole: the pieces that integrals 3, 4, 11, 12 add to (ss|ss).
struct MonopoleQuadrupoleTerms {
    double a_sigma = 0.0, a_pi = 0.0, b_sigma = 0.0, b_pi = 0.0;
};

// Integrals 1–5, 11 and 12 (indices 0–4, 10, 11) in hartree: every integral in which one
// side is an ss distribution, which is all that a point core needs.
MonopoleQuadrupoleTerms fill_monopole_partner_integrals(const PairGeometry& g, bool a_sp, bool b_sp,
                                                        LocalMultipoleIntegrals& v) {
    MonopoleQuadrupoleTerms q;
    const double r = g.r;
    v[0] = ko(g.r2, g.c00);
    if (a_sp) {
        // sσ of A: +½ at +d1 (towards B), −½ at −d1.
        v[1] = 0.5 * (ko(sq(r - g.a1), g.c10) - ko(sq(r + g.a1), g.c10));
        q.a_sigma = axial_quadrupole(g.a2, r, 0.0, g.c20);
        q.a_pi = transverse_quadrupole(g.a2, g.r2, 0.0, g.c20);
        v[2] = v[0] + q.a_sigma;
        v[3] = v[0] + q.a_pi;
    }
    if (b_sp) {
        // sσ of B: +½ at +d1 (away from A), −½ at −d1.
        v[4] = 0.5 * (ko(sq(r + g.b1), g.c01) - ko(sq(r - g.b1), g.c01));
        q.b_sigma = axial_quadrupole(g.b2, r, 0.0, g.c02);
        q.b_pi = transverse_quadrupole(g.b2, g.r2, 0.0, g.c02);
        v[10] = v[0] + q.b_sigma;
        v[11] = v[0] + q.b_pi;
    }
    return q;
}

// The remaining integrals, 6–10 and 13–22, for two s, p atoms (hartree).
void fill_sp_sp_integrals(const PairGeometry& g, const MonopoleQuadrupoleTerms& q,
                          LocalMultipoleIntegrals& v) {
    const double r = g.r;
    const double r2 = g.r2;
    const double a1 = g.a1, a2 = g.a2, b1 = g.b1, b2 = g.b2;

    // Dipole–dipole, along the axis (6) and across it (7).
    v[5] = 0.25 * (ko(sq(r + b1 - a1), g.c11) - ko(sq(r - b1 - a1), g.c11) -
                   ko(sq(r + b1 + a1), g.c11) + ko(sq(r - b1 + a1), g.c11));
    v[6] = 0.5 * (ko(r2 + sq(a1 - b1), g.c11) - ko(r2 + sq(a1 + b1), g.c11));

    // A's σσ and ππ against B's sσ dipole (8, 9): the monopole part is integral 5.
    v[7] = v[4] + 0.5 * (axial_quadrupole(a2, r + b1, 0.0, g.c21) -
                         axial_quadrupole(a2, r - b1, 0.0, g.c21));
    v[8] = v[4] + 0.5 * (transverse_quadrupole(a2, sq(r + b1), 0.0, g.c21) -
                         transverse_quadrupole(a2, sq(r - b1), 0.0, g.c21));

    // (σπ|sπ): ±¼ at (±d2, ±d2) in A's (π, σ) plane against ±½ at ±d1 along B's π axis.
    v[9] = 0.25 * (ko(sq(a2 - b1) + sq(r - a2), g.c21) - ko(sq(a2 + b1) + sq(r - a2), g.c21) -
                   ko(sq(a2 - b1) + sq(r + a2), g.c21) + ko(sq(a2 + b1) + sq(r + a2), g.c21));

    // A's sσ dipole against B's σσ and ππ (13, 14): the monopole part is integral 2.
    v[12] = v[1] + 0.5 * (axial_quadrupole(b2, r - a1, 0.0, g.c12) -
                          axial_quadrupole(b2, r + a1, 0.0, g.c12));
    v[13] = v[1] + 0.5 * (transverse_quadrupole(b2, sq(r - a1), 0.0, g.c12) -
                          transverse_quadrupole(b2, sq(r + a1), 0.0, g.c12));

    // (sπ|σπ), the mirror image of (σπ|sπ).
    v[14] = 0.25 * (ko(sq(a1 - b2) + sq(r + b2), g.c12) - ko(sq(a1 + b2) + sq(r + b2), g.c12) -
                    ko(sq(a1 - b2) + sq(r - b2), g.c12) + ko(sq(a1 + b2) + sq(r - b2), g.c12));

    // Quadrupole–quadrupole parts: A's charges (+¼, +¼, −½) each see B's quadrupole.
    const double b_sigma_at_centre = axial_quadrupole(b2, r, 0.0, g.c22);
    const double b_pi_at_centre = transverse_quadrupole(b2, r2, 0.0, g.c22);
    const double sigma_sigma = 0.25 * (axial_quadrupole(b2, r - 2.0 * a2, 0.0, g.c22) +
                                       axial_quadrupole(b2, r + 2.0 * a2, 0.0, g.c22)) -
                               0.5 * b_sigma_at_centre;
    const double pi_sigma =
        0.5 * axial_quadrupole(b2, r, sq(2.0 * a2), g.c22) - 0.5 * b_sigma_at_centre;
    const double sigma_pi = 0.25 * (transverse_quadrupole(b2, sq(r - 2.0 * a2), 0.0, g.c22) +
                                    transverse_quadrupole(b2, sq(r + 2.0 * a2), 0.0, g.c22)) -
                            0.5 * b_pi_at_centre;
    const double pi_pi =
        0.5 * transverse_quadrupole(b2, r2, 2.0 * a2, g.c22) - 0.5 * b_pi_at_centre;
    const double pi_pi_crossed =
        0.5 * transverse_quadrupole(b2, r2 + sq(2.0 * a2), 0.0, g.c22) - 0.5 * b_pi_at_centre;

    v[15] = v[0] + q.a_sigma + q.b_sigma + sigma_sigma;
    v[16] = v[0] + q.a_pi + q.b_sigma + pi_sigma;
    v[17] = v[0] + q.a_sigma + q.b_pi + sigma_pi;
    v[18] = v[0] + q.a_pi + q.b_pi + pi_pi;
    v[20] = v[0] + q.a_pi + q.b_pi + pi_pi_crossed;

    // (σπ|σπ): both four-charge quadrupoles in the same (π, σ) plane; z is the axial
    // distance between one charge of A and one of B, signed by the product of their signs.
    const auto across = [&](double z) {
        return ko(sq(a2 - b2) + sq(z), g.c22) - ko(sq(a2 + b2) + sq(z), g.c22);
    };
    v[19] = 0.125 *
            (across(r + b2 - a2) + across(r - b2 + a2) - across(r - b2 - a2) - across(r + b2 + a2));

    // (ππ'|ππ') = ½[(ππ|ππ) − (ππ|π'π')] keeps the set invariant under rotation about
    // the axis; the monopole and single-quadrupole parts cancel in the difference.
    v[21] = 0.5 * (pi_pi - pi_pi_crossed);
}

// Local integrals that carry a monopole on both sides (1, 3, 4, 11, 12, 16–19, 21) tend
// to e²/R under feathering; the others fade to zero.
constexpr std::array<bool, 22> monopole_on_both_sides = {
    true, false, true,  true,  false, false, false, false, false, false, true,
    true, false, false, false, true,  true,  true,  true,  false, true,  false};

// The local integrals that exist when A and/or B is s-only: 1–4 need only B's ss,
// 1, 5, 11, 12 only A's ss.
bool exists_for(std::size_t k, bool a_sp, bool b_sp) {
    if (a_sp && b_sp)
        return true;
    if (a_sp)
        return k <= 3;
    if (b_sp)
        return k == 0 || k == 4 || k == 10 || k == 11;
    return k == 0;
}

// PM7 blends the local integrals into point charges: f = 1 − exp(−0.22·(R − 7)²) below
// 7 Å and 0 beyond, so that from 7 Å on the pair is pure point-charge electrostatics.
// Integrals of distributions an s-only atom does not have stay zero.
void apply_feathering(LocalMultipoleIntegrals& v, double r_angstrom, bool a_sp, bool b_sp) {
    const double f =
        r_angstrom < feathering_onset_angstrom
            ? 1.0 - std::exp(-feathering_steepness * sq(r_angstrom - feathering_onset_angstrom))
            : 0.0;
    const double point_charge = e_squared_ev_angstrom / r_angstrom;
    for (std::size_t k = 0; k < 22; ++k) {
        if (!exists_for(k, a_sp, b_sp))
            continue;
        v[k] = monopole_on_both_sides[k] ? f * v[k] + (1.0 - f) * point_charge : f * v[k];
    }
    v[22] = v[0];
}

// Local orbital pairs of an s, p atom in the pair frame (π along x̂, π' along ŷ).
enum LocalPair : std::size_t {
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

// Each molecular orbital pair (lower-triangle order) expanded over the local pairs. The
// row of (s,s) has one entry, the rows (p,s) only sσ, sπ, sπ', the rows (p,p) only the
// last six; first_local/end_local bound the non-zero columns of each row.
using PairExpansion = std::array<std::array<double, 10>, 10>;
constexpr std::array<std::size_t, 10> first_local = {0, 1, 4, 1, 4, 4, 1, 4, 4, 4};
constexpr std::array<std::size_t, 10> end_local = {1, 4, 10, 4, 10, 10, 4, 10, 10, 10};

// p_m = z_m·pσ + x_m·pπ + y_m·pπ'; a product p_m p_n collects both orders of two
// different local orbitals into one coefficient, since (ab| = (ba|.
PairExpansion expand_molecular_pairs(const DiatomicRotation3D& rotation) {
    PairExpansion c{};
    c[0][ss] = 1.0;
    const auto& x = rotation.x_axis;
    const auto& y = rotation.y_axis;
    const auto& z = rotation.z_axis;
    for (std::size_t m = 0; m < 3; ++m) {
        auto& ps = c[orbital_pair_index(m + 1, 0)];
        ps[s_sigma] = z[m];
        ps[s_pi] = x[m];
        ps[s_pi2] = y[m];
        for (std::size_t n = 0; n <= m; ++n) {
            auto& pp = c[orbital_pair_index(m + 1, n + 1)];
            pp[sigma_sigma] = z[m] * z[n];
            pp[pi_pi] = x[m] * x[n];
            pp[pi2_pi2] = y[m] * y[n];
            pp[sigma_pi] = z[m] * x[n] + x[m] * z[n];
            pp[sigma_pi2] = z[m] * y[n] + y[m] * z[n];
            pp[pi_pi2] = x[m] * y[n] + y[m] * x[n];
        }
    }
    return c;
}

// One molecular pair of A (expanded as ca) against every local pair of B: the local
// integral table, including its symmetry-equivalent entries, applied to ca.
std::array<double, 10> contract_with_local(const std::array<double, 10>& ca,
                                           const LocalMultipoleIntegrals& v) {
    const double pp_sum = ca[pi_pi] + ca[pi2_pi2];
    std::array<double, 10> out{};
    out[ss] = ca[ss] * v[0] + ca[s_sigma] * v[1] + ca[sigma_sigma] * v[2] + pp_sum * v[3];
    out[s_sigma] = ca[ss] * v[4] + ca[s_sigma] * v[5] + ca[sigma_sigma] * v[7] + pp_sum * v[8];
    out[sigma_sigma] =
        ca[ss] * v[10] + ca[s_sigma] * v[12] + ca[sigma_sigma] * v[15] + pp_sum * v[16];
    const double to_pi_common = ca[ss] * v[11] + ca[s_sigma] * v[13] + ca[sigma_sigma] * v[17];
    out[pi_pi] = to_pi_common + ca[pi_pi] * v[18] + ca[pi2_pi2] * v[20];
    out[pi2_pi2] = to_pi_common + ca[pi_pi] * v[20] + ca[pi2_pi2] * v[18];
    out[s_pi] = ca[s_pi] * v[6] + ca[sigma_pi] * v[9];
    out[s_pi2] = ca[s_pi2] * v[6] + ca[sigma_pi2] * v[9];
    out[sigma_pi] = ca[s_pi] * v[14] + ca[sigma_pi] * v[19];
    out[sigma_pi2] = ca[s_pi2] * v[14] + ca[sigma_pi2] * v[19];
    out[pi_pi2] = ca[pi_pi2] * v[21];
    return out;
}

std::size_t checked_pair_count(int n_orbitals) {
    if (n_orbitals != 1 && n_orbitals != 4) {
        throw InternalError("s, p pair integrals need 1 or 4 orbitals per atom, got " +
                            std::to_string(n_orbitals));
    }
    return orbital_pair_count(static_cast<std::size_t>(n_orbitals));
}

// One atom's attraction by the other core, from its local values (ss, sσ, σσ, ππ) to
// its molecular pairs. For an s-only atom the sσ, σσ and ππ values are zero (it has no
// such distributions), so only its s–s value survives.
void rotate_core_attraction(int n_orbitals, const std::array<double, 4>& local,
                            const DiatomicRotation3D& rotation, double* out, std::size_t out_length,
                            const char* what) {
    const std::size_t n_pairs = checked_pair_count(n_orbitals);
    if (out_length < n_pairs)
        throw InternalError(size_mismatch(what, out_length, n_pairs));
    out[0] = local[0];
    if (n_pairs == 1)
        return;
    const auto& x = rotation.x_axis;
    const auto& y = rotation.y_axis;
    const auto& z = rotation.z_axis;
    for (std::size_t m = 0; m < 3; ++m) {
        out[orbital_pair_index(m + 1, 0)] = z[m] * local[1];
        for (std::size_t n = 0; n <= m; ++n) {
            out[orbital_pair_index(m + 1, n + 1)] =
                z[m] * z[n] * local[2] + (x[m] * x[n] + y[m] * y[n]) * local[3];
        }
    }
}

// e1b from the local integrals of A's distributions against B's ss (1–4), e2a from A's
// ss against B's distributions (1, 5, 11, 12): a core is an ss distribution with ρ0.
void rotate_core_attractions(int n_orbitals_a, int n_orbitals_b, const LocalMultipoleIntegrals& v,
                             const DiatomicRotation3D& rotation, double core_charge_a,
                             double core_charge_b, double* e1b, std::size_t e1b_length, double* e2a,
                             std::size_t e2a_length) {
    rotate_core_attraction(n_orbitals_a,
                           {-core_charge_b * v[0], -core_charge_b * v[1], -core_charge_b * v[2],
                            -core_charge_b * v[3]},
                           rotation, e1b, e1b_length, "e1b");
    rotate_core_attraction(n_orbitals_b,
                           {-core_charge_a * v[0], -core_charge_a * v[4], -core_charge_a * v[10],
                            -core_charge_a * v[11]},
                           rotation, e2a, e2a_length, "e2a");
}

void scale_to_ev(LocalMultipoleIntegrals& v) {
    for (double& x : v)
        x *= ev;
}

// Adds one atom's attraction values into its one-centre block, both triangles.
void add_one_centre_block(AlignedMatrix& hcore, std::size_t first, std::size_t n_orbitals,
                          const std::vector<double>& values) {
    if (first + n_orbitals > hcore.rows()) {
        throw InternalError(
            size_mismatch("Core Hamiltonian orbital block end", first + n_orbitals, hcore.rows()));
    }
    if (values.size() < orbital_pair_count(n_orbitals)) {
        throw InternalError(
            size_mismatch("Core attraction", values.size(), orbital_pair_count(n_orbitals)));
    }
    for (std::size_t i = 0; i < n_orbitals; ++i) {
        double* row = hcore.row(first + i) + first;
        for (std::size_t j = 0; j <= i; ++j) {
            row[j] += values[orbital_pair_index(i, j)];
            hcore(first + j, first + i) = row[j];
        }
    }
}

// Per-atom data of the pair loop, derived once per geometry.
struct AtomMultipoles {
    DerivedMultipoleParams params;
    double core_charge = 0.0;
};

} // namespace

LocalMultipoleIntegrals compute_22_multipoles(const DerivedMultipoleParams& a,
                                              const DerivedMultipoleParams& b, double r_angstrom) {
    const PairGeometry g = make_pair_geometry(a, b, r_angstrom);
    const bool a_sp = !is_s_only(a);
    const bool b_sp = !is_s_only(b);
    LocalMultipoleIntegrals v{};
    const MonopoleQuadrupoleTerms q = fill_monopole_partner_integrals(g, a_sp, b_sp, v);
    if (a_sp && b_sp)
        fill_sp_sp_integrals(g, q, v);
    scale_to_ev(v);
    v[22] = v[0];
    return v;
}

DiatomicRotation3D DiatomicRotation3D::new_rotation(double dx, double dy, double dz,
                                                    double r_angstrom) {
    DiatomicRotation3D rotation;
    const double inv_r = 1.0 / r_angstrom;
    const double in_plane = std::sqrt(dx * dx + dy * dy) * inv_r;
    if (in_plane <= on_axis_tolerance) {
        // Along ±z: the limit of the general frame below, approached from the +x side.
        const double sign = dz < 0.0 ? -1.0 : 1.0;
        rotation.z_axis = {0.0, 0.0, sign};
        rotation.x_axis = {sign, 0.0, 0.0};
        rotation.y_axis = {0.0, 1.0, 0.0};
        return rotation;
    }
    const double zx = dx * inv_r;
    const double zy = dy * inv_r;
    const double zz = dz * inv_r;
    rotation.z_axis = {zx, zy, zz};
    // x̂ in the plane of ẑ and the molecular z axis, ŷ = ẑ × x̂ horizontal.
    rotation.x_axis = {zx * zz / in_plane, zy * zz / in_plane, -in_plane};
    rotation.y_axis = {-zy / in_plane, zx / in_plane, 0.0};
    return rotation;
}

void rotate_multipoles_to_w(int n_orbitals_a, int n_orbitals_b,
                            const LocalMultipoleIntegrals& local,
                            const DiatomicRotation3D& rotation, double* w, std::size_t w_length) {
    const std::size_t pairs_a = checked_pair_count(n_orbitals_a);
    const std::size_t pairs_b = checked_pair_count(n_orbitals_b);
    if (w_length < pairs_a * pairs_b)
        throw InternalError(size_mismatch("w", w_length, pairs_a * pairs_b));

    const PairExpansion c = expand_molecular_pairs(rotation);
    for (std::size_t p = 0; p < pairs_a; ++p) {
        const std::array<double, 10> against_b = contract_with_local(c[p], local);
        double* row = w + p * pairs_b;
        for (std::size_t q = 0; q < pairs_b; ++q) {
            double sum = 0.0;
            for (std::size_t k = first_local[q]; k < end_local[q]; ++k)
                sum += against_b[k] * c[q][k];
            row[q] = sum;
        }
    }
}

void compute_electron_nuclear_attraction(int n_orbitals_a, int n_orbitals_b,
                                         const DerivedMultipoleParams& a,
                                         const DerivedMultipoleParams& b,
                                         const DiatomicRotation3D& rotation, double* e1b,
                                         double core_charge_a, double core_charge_b,
                                         double r_angstrom, std::size_t e1b_length, double* e2a,
                                         std::size_t e2a_length, bool feathering) {
    const PairGeometry g = make_pair_geometry(a, b, r_angstrom);
    LocalMultipoleIntegrals v{};
    const bool a_sp = !is_s_only(a);
    const bool b_sp = !is_s_only(b);
    fill_monopole_partner_integrals(g, a_sp, b_sp, v);
    scale_to_ev(v);
    if (feathering)
        apply_feathering(v, r_angstrom, a_sp, b_sp);
    rotate_core_attractions(n_orbitals_a, n_orbitals_b, v, rotation, core_charge_a, core_charge_b,
                            e1b, e1b_length, e2a, e2a_length);
}

void compute_diatomic_pair_integrals(const MolecularBatch& batch, const ParameterModel& model,
                                     std::size_t atom_a, std::size_t atom_b,
                                     const DerivedMultipoleParams& params_a,
                                     const DerivedMultipoleParams& params_b, double core_charge_a,
                                     double core_charge_b, double dx, double dy, double dz,
                                     DiatomicPairIntegrals& record) {
    const double r = std::sqrt(dx * dx + dy * dy + dz * dz);
    const int n_a = batch.basis_types[atom_a];
    const int n_b = batch.basis_types[atom_b];

    LocalMultipoleIntegrals local = compute_22_multipoles(params_a, params_b, r);
    if (model.use_feathering()) {
        apply_feathering(local, r, !is_s_only(params_a), !is_s_only(params_b));
    }
    // A pair with d orbitals takes the multipole model of the d scheme, which keeps these
    // s, p integrals for its s, p block.
    if (n_a > 8 || n_b > 8) {
        compute_d_pair_integrals(batch, model, atom_a, atom_b, params_a, params_b, core_charge_a,
                                 core_charge_b, dx, dy, dz, local, record);
        return;
    }
    const DiatomicRotation3D rotation = DiatomicRotation3D::new_rotation(dx, dy, dz, r);

    const std::size_t pairs_a = checked_pair_count(n_a);
    const std::size_t pairs_b = checked_pair_count(n_b);
    record.w.assign(pairs_a * pairs_b, 0.0);
    record.e1b.assign(pairs_a, 0.0);
    record.e2a.assign(pairs_b, 0.0);
    rotate_multipoles_to_w(n_a, n_b, local, rotation, record.w.data(), record.w.size());
    rotate_core_attractions(n_a, n_b, local, rotation, core_charge_a, core_charge_b,
                            record.e1b.data(), record.e1b.size(), record.e2a.data(),
                            record.e2a.size());
    record.atom_a = atom_a;
    record.atom_b = atom_b;
    record.n_orbitals_a = static_cast<std::size_t>(n_a);
    record.n_orbitals_b = static_cast<std::size_t>(n_b);
    record.first_orbital_a = batch.orbital_offsets[atom_a];
    record.first_orbital_b = batch.orbital_offsets[atom_b];
}

std::vector<DiatomicPairIntegrals> precompute_diatomic_pairs(const MolecularBatch& batch,
                                                             const ParameterModel& model) {
    const std::size_t n_atoms = batch.n_atoms;
    if (batch.atomic_numbers.size() != n_atoms)
        throw InternalError(size_mismatch("Atomic numbers", batch.atomic_numbers.size(), n_atoms));
    if (batch.basis_types.size() != n_atoms)
        throw InternalError(size_mismatch("Basis types", batch.basis_types.size(), n_atoms));
    if (batch.orbital_offsets.size() != n_atoms)
        throw InternalError(
            size_mismatch("Orbital offsets", batch.orbital_offsets.size(), n_atoms));
    if (batch.coords_x.size() != n_atoms || batch.coords_y.size() != n_atoms ||
        batch.coords_z.size() != n_atoms)
        throw InternalError(size_mismatch("Coordinates", batch.coords_x.size(), n_atoms));

    // Atoms the model does not cover take part in no pair.
    std::vector<std::optional<AtomMultipoles>> atoms(n_atoms);
    for (std::size_t i = 0; i < n_atoms; ++i) {
        if (const auto element = model.get_element(batch.atomic_numbers[i])) {
            atoms[i] = AtomMultipoles{DerivedMultipoleParams::from_element(*element),
                                      element->core_charge};
        }
    }

    std::vector<DiatomicPairIntegrals> pairs;
    pairs.reserve(n_atoms > 1 ? n_atoms * (n_atoms - 1) / 2 : 0);
    for (std::size_t i = 0; i < n_atoms; ++i) {
        if (!atoms[i])
            continue;
        const AtomMultipoles& atom_a = *atoms[i];
        for (std::size_t j = 0; j < i; ++j) {
            if (!atoms[j])
                continue;
            const AtomMultipoles& atom_b = *atoms[j];
            const double dx = batch.coords_x[j] - batch.coords_x[i];
            const double dy = batch.coords_y[j] - batch.coords_y[i];
            const double dz = batch.coords_z[j] - batch.coords_z[i];
            const double r = std::sqrt(dx * dx + dy * dy + dz * dz);
            if (r < coincident_angstrom)
                continue;
            DiatomicPairIntegrals record;
            compute_diatomic_pair_integrals(batch, model, i, j, atom_a.params, atom_b.params,
                                            atom_a.core_charge, atom_b.core_charge, dx, dy, dz,
                                            record);
            pairs.push_back(std::move(record));
        }
    }
    return pairs;
}

void apply_electron_nuclear_attractions(const DiatomicPairIntegrals* pairs, std::size_t n_pairs,
                                        AlignedMatrix& hcore) {
    if (!hcore.is_square())
        throw InternalError(size_mismatch("Core Hamiltonian columns", hcore.cols(), hcore.rows()));
    if (pairs == nullptr && n_pairs != 0)
        throw InternalError("Pair records missing");
    for (std::size_t k = 0; k < n_pairs; ++k) {
        const DiatomicPairIntegrals& pair = pairs[k];
        add_one_centre_block(hcore, pair.first_orbital_a, pair.n_orbitals_a, pair.e1b);
        add_one_centre_block(hcore, pair.first_orbital_b, pair.n_orbitals_b, pair.e2a);
    }
}

} // namespace quelm
