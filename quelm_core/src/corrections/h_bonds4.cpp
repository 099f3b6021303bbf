// H4 hydrogen-bond correction and H–H repulsion (Řezáč & Hobza, J. Chem. Theory Comput. 8,
// 141 (2012)).
//
// NDDO methods underbind hydrogen bonds. H4 adds, for every N/O donor–acceptor pair bridged
// by a hydrogen, a radial term g(d) of the heavy-atom distance (a polynomial that vanishes at
// 1.5 and 5.5 Å and has its minimum −1 at 3 Å), scaled per donor/acceptor element and
// damped by the bend of D–H···A from linear and by proton sharing (the term fades as the
// hydrogen moves to the middle). Three chemical environments, recognised from smooth
// coordination numbers, take their own multipliers: water as donor, ammonium-like nitrogen
// as donor and a carboxylate oxygen as acceptor. The H–H term repairs the too-weak
// repulsion between close hydrogens of the underlying method.

#include "corrections/h_bonds4.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <numbers>

namespace quelm {

namespace {

constexpr std::size_t no_atom = std::numeric_limits<std::size_t>::max();

constexpr std::uint8_t hydrogen = 1;
constexpr std::uint8_t carbon = 6;
constexpr std::uint8_t nitrogen = 7;
constexpr std::uint8_t oxygen = 8;

// Covalent radii (Å) by atomic number; zero for elements without a tabulated radius.
constexpr std::array<double, 119> make_covalent_radii() {
    std::array<double, 119> r{};
    constexpr double first_56[] = {
        0.37, 0.32, 1.34, 0.9,  0.82, 0.77, 0.75, 0.73, 0.71, 0.69, 1.54, 1.3,  1.18, 1.11,
        1.06, 1.02, 0.99, 0.97, 1.96, 1.74, 1.44, 1.36, 1.25, 1.27, 1.39, 1.25, 1.26, 1.21,
        1.38, 1.31, 1.26, 1.22, 1.19, 1.16, 1.14, 1.1,  2.11, 1.92, 1.62, 1.48, 1.37, 1.45,
        1.56, 1.26, 1.35, 1.31, 1.53, 1.48, 1.44, 1.41, 1.38, 1.35, 1.33, 1.3,  2.25, 1.98};
    for (std::size_t z = 1; z <= 56; ++z)
        r[z] = first_56[z - 1];
    r[57] = 1.69; // La
    r[71] = 1.6;  // Lu
    constexpr double hf_to_hg[] = {1.5, 1.38, 1.46, 1.59, 1.28, 1.37, 1.28, 1.44, 1.49};
    for (std::size_t z = 72; z <= 80; ++z)
        r[z] = hf_to_hg[z - 72];
    r[83] = 1.46; // Bi
    r[86] = 1.45; // Rn
    return r;
}

constexpr std::array<double, 119> covalent_radii = make_covalent_radii();

double covalent_radius(std::uint8_t z) {
    return z < covalent_radii.size() ? covalent_radii[z] : 0.0;
}

// Centre radii of the coordination switches (the centre's own covalent radius).
constexpr double oxygen_centre_radius = 0.73;
constexpr double nitrogen_centre_radius = 0.75;
constexpr double carbon_centre_radius = 0.77;

constexpr double h4_cutoff_angstrom = 5.5;
constexpr double tiny_distance_angstrom = 1e-12;
constexpr double proton_sharing_onset_angstrom = 1.15;

// Smooth step p(x) = x⁴·(35 − 84x + 70x² − 20x³): 0 at x = 0, 1 at x = 1, with three
// vanishing derivatives at both ends.
double smooth_step(double x) {
    const double x2 = x * x;
    return x2 * x2 * (35.0 - 84.0 * x + 70.0 * x2 - 20.0 * x2 * x);
}

// Coordination switch of a neighbour at distance d with r0 = sum of the two radii: a full
// bond up to r0, fading to nothing at 1.6·r0.
double coordination_switch(double d, double r0) {
    if (d <= r0)
        return 1.0;
    if (d >= 1.6 * r0)
        return 0.0;
    return 1.0 - smooth_step((d - r0) / (0.6 * r0));
}

// Coordination of one centre: switched neighbour counts split into hydrogens and the rest,
// and the nearest carbon and nearest oxygen (other than skip_oxygen) with a non-zero switch.
struct CoordinationShell {
    double n_hydrogen = 0.0;
    double n_other = 0.0;
    std::size_t nearest_carbon = no_atom;
    std::size_t nearest_oxygen = no_atom;

    double total() const { return n_hydrogen + n_other; }
};

CoordinationShell scan_shell(const MolecularBatch& batch, std::size_t centre, double centre_radius,
                             std::size_t skip_oxygen = no_atom) {
    CoordinationShell shell;
    double carbon_distance = std::numeric_limits<double>::infinity();
    double oxygen_distance = std::numeric_limits<double>::infinity();
    for (std::size_t k = 0; k < batch.n_atoms; ++k) {
        if (k == centre)
            continue;
        const double d = batch.distance(centre, k);
        if (d == 0.0) // a coincident atom is no neighbour
            continue;
        const std::uint8_t z = batch.atomic_numbers[k];
        const double s = coordination_switch(d, covalent_radius(z) + centre_radius);
        if (s <= 0.0)
            continue;
        (z == hydrogen ? shell.n_hydrogen : shell.n_other) += s;
        if (z == carbon && d < carbon_distance) {
            carbon_distance = d;
            shell.nearest_carbon = k;
        }
        if (z == oxygen && k != skip_oxygen && d < oxygen_distance) {
            oxygen_distance = d;
            shell.nearest_oxygen = k;
        }
    }
    return shell;
}

// Water-like donor: two hydrogens and nothing else on the oxygen. The weight w rises from
// 0 at one hydrogen to 1 at two and falls back to 0 at three.
double water_donor_factor(const CoordinationShell& donor, double multiplier) {
    const double n_h = donor.n_hydrogen;
    if (n_h < 1.0)
        return 1.0;
    double w = 0.0;
    if (n_h > 1.0 && n_h <= 2.0)
        w = n_h - 1.0;
    else if (n_h > 2.0 && n_h < 3.0)
        w = 3.0 - n_h;
    return std::max(1.0 - donor.n_other, 0.0) * w * (multiplier - 1.0) + 1.0;
}

// Ammonium-like donor: a nitrogen with more than three neighbours.
double ammonium_donor_factor(const CoordinationShell& donor, double multiplier) {
    return std::max(donor.total() - 3.0, 0.0) * (multiplier - 1.0) + 1.0;
}

// Carboxylate acceptor: O–C(X)–O' with a three-coordinate carbon and two one-coordinate
// oxygens, recognised through the acceptor's nearest carbon and that carbon's other oxygen.
double carboxylate_acceptor_factor(const MolecularBatch& batch, std::size_t acceptor,
                                   double multiplier) {
    const CoordinationShell acceptor_shell = scan_shell(batch, acceptor, oxygen_centre_radius);
    const std::size_t c_star = acceptor_shell.nearest_carbon;
    if (c_star == no_atom)
        return 1.0;
    const CoordinationShell carbon_shell =
        scan_shell(batch, c_star, carbon_centre_radius, acceptor);
    const std::size_t o_prime = carbon_shell.nearest_oxygen;
    if (o_prime == no_atom)
        return 1.0;
    const double n_o_prime = scan_shell(batch, o_prime, oxygen_centre_radius).total();
    return std::max(1.0 - std::abs(3.0 - carbon_shell.total()), 0.0) *
               std::max(1.0 - std::abs(1.0 - n_o_prime), 0.0) *
               std::max(1.0 - std::abs(1.0 - acceptor_shell.total()), 0.0) * (multiplier - 1.0) +
           1.0;
}

// Radial H4 term of the donor–acceptor distance (kcal/mol before the pair scale).
double radial_term(double d) {
    constexpr double c[] = {-4.685120000004504,  3.407360000011028,    5.317546666655722,
                            -7.206874074068388,  3.2530962962946175,   -0.700871111110828,
                            0.07357629629627092, -0.003034074074073135};
    double sum = c[7];
    for (int k = 6; k >= 0; --k)
        sum = sum * d + c[k];
    return sum;
}

bool is_h4_heavy_atom(std::uint8_t z) {
    return z == nitrogen || z == oxygen;
}

// Multipliers of each atom as a donor or an acceptor; they depend on that atom alone.
struct EnvironmentFactors {
    std::vector<double> water_donor;
    std::vector<double> ammonium_donor;
    std::vector<double> carboxylate_acceptor;
};

EnvironmentFactors build_environment_factors(const MolecularBatch& batch,
                                             const H4Parameters& parameters) {
    const std::size_t n = batch.n_atoms;
    EnvironmentFactors f{std::vector<double>(n, 1.0), std::vector<double>(n, 1.0),
                         std::vector<double>(n, 1.0)};
    for (std::size_t a = 0; a < n; ++a) {
        const std::uint8_t z = batch.atomic_numbers[a];
        if (z == oxygen) {
            f.water_donor[a] = water_donor_factor(scan_shell(batch, a, oxygen_centre_radius),
                                                  parameters.values[4]);
            f.carboxylate_acceptor[a] = carboxylate_acceptor_factor(batch, a, parameters.values[6]);
        } else if (z == nitrogen) {
            f.ammonium_donor[a] = ammonium_donor_factor(
                scan_shell(batch, a, nitrogen_centre_radius), parameters.values[5]);
        }
    }
    return f;
}

// Pair scale by (donor, acceptor): O–O, O–N, N–O, N–N.
double pair_scale(std::uint8_t donor, std::uint8_t acceptor, const H4Parameters& parameters) {
    if (donor == oxygen)
        return acceptor == oxygen ? parameters.values[0] : parameters.values[1];
    return acceptor == oxygen ? parameters.values[2] : parameters.values[3];
}

// H–H repulsion E(R) in kcal/mol and dE/dR: a plateau below 1 Å, a quintic bridge and an
// exponential tail, joined with matching values and slopes.
struct HhTerm {
    double e;
    double de_dr;
};

HhTerm hh_term(double r) {
    if (r <= 1.0)
        return {25.46293603147693, 0.0};
    if (r < 1.5) {
        constexpr double e[] = {7516.08469609514,   -31430.65833597229, 52063.19679913834,
                                -42511.85798221796, 17103.650110591705, -2714.9523516034697};
        constexpr double de[] = {-31430.65833597229, 104126.39359827669, -127535.57394665388,
                                 68414.60044236682, -13574.761758017348};
        double energy = e[5];
        for (int k = 4; k >= 0; --k)
            energy = energy * r + e[k];
        double slope = de[4];
        for (int k = 3; k >= 0; --k)
            slope = slope * r + de[k];
        return {energy, slope};
    }
    const double energy = 118.7326 * std::exp(-1.53965 * std::pow(r, 1.72905));
    // 2.6621318325 = 1.53965 · 1.72905.
    return {energy, -2.6621318325 * std::pow(r, 0.72905) * energy};
}

} // namespace

double compute_h4_energy(const MolecularBatch& batch, const H4Parameters& parameters) {
    const std::size_t n = batch.n_atoms;
    std::vector<std::size_t> hydrogens;
    for (std::size_t k = 0; k < n; ++k) {
        if (batch.atomic_numbers[k] == hydrogen)
            hydrogens.push_back(k);
    }
    if (hydrogens.empty())
        return 0.0;
    const EnvironmentFactors environment = build_environment_factors(batch, parameters);
    constexpr double half_pi = std::numbers::pi / 2.0;

    double energy = 0.0;
    for (std::size_t a = 0; a < n; ++a) {
        if (!is_h4_heavy_atom(batch.atomic_numbers[a]))
            continue;
        for (std::size_t b = a + 1; b < n; ++b) {
            if (!is_h4_heavy_atom(batch.atomic_numbers[b]))
                continue;
            const double d = batch.distance(a, b);
            if (d > h4_cutoff_angstrom)
                continue;
            const double g = radial_term(d);
            for (const std::size_t h : hydrogens) {
                const double r_ah = batch.distance(a, h);
                const double r_bh = batch.distance(b, h);
                if (r_ah < tiny_distance_angstrom || r_bh < tiny_distance_angstrom)
                    continue;
                const double dot = (batch.coords_x[b] - batch.coords_x[h]) *
                                       (batch.coords_x[a] - batch.coords_x[h]) +
                                   (batch.coords_y[b] - batch.coords_y[h]) *
                                       (batch.coords_y[a] - batch.coords_y[h]) +
                                   (batch.coords_z[b] - batch.coords_z[h]) *
                                       (batch.coords_z[a] - batch.coords_z[h]);
                const double cosine = std::clamp(dot / (r_bh * r_ah), -1.0, 1.0);
                // Bend from linear: 0 when h lies on the a–b segment.
                const double theta = std::numbers::pi - std::acos(cosine);
                if (theta >= half_pi)
                    continue;
                const bool a_donates = r_bh > r_ah;
                const std::size_t donor = a_donates ? a : b;
                const std::size_t acceptor = a_donates ? b : a;
                const double r_dh = a_donates ? r_ah : r_bh;
                const double r_ha = a_donates ? r_bh : r_ah;
                const std::uint8_t z_donor = batch.atomic_numbers[donor];
                const std::uint8_t z_acceptor = batch.atomic_numbers[acceptor];

                const double p_theta = smooth_step(theta / half_pi);
                const double angular = 1.0 - p_theta * p_theta;

                // Proton sharing: the bond fades as the hydrogen moves past 1.15 Å towards
                // the midpoint, where it belongs to both heavy atoms alike.
                double sharing = 1.0;
                const double g_span = 0.5 * (r_dh + r_ha) - proton_sharing_onset_angstrom;
                if (r_dh > proton_sharing_onset_angstrom && g_span > tiny_distance_angstrom)
                    sharing = 1.0 - smooth_step((r_dh - proton_sharing_onset_angstrom) / g_span);

                double environment_factor = 1.0;
                if (z_donor == oxygen && z_acceptor == oxygen)
                    environment_factor *= environment.water_donor[donor];
                if (z_donor == nitrogen)
                    environment_factor *= environment.ammonium_donor[donor];
                if (z_acceptor == oxygen)
                    environment_factor *= environment.carboxylate_acceptor[acceptor];

                energy += pair_scale(z_donor, z_acceptor, parameters) * g * angular * sharing *
                          environment_factor;
            }
        }
    }
    return energy;
}

HhRepulsion compute_hh_repulsion_energy_and_gradients(const MolecularBatch& batch) {
    const std::size_t n = batch.n_atoms;
    HhRepulsion result;
    result.gradient_kcal_mol_angstrom.assign(n, {0.0, 0.0, 0.0});
    for (std::size_t i = 0; i < n; ++i) {
        if (batch.atomic_numbers[i] != hydrogen)
            continue;
        for (std::size_t j = 0; j < i; ++j) {
            if (batch.atomic_numbers[j] != hydrogen)
                continue;
            const double dx = batch.coords_x[i] - batch.coords_x[j];
            const double dy = batch.coords_y[i] - batch.coords_y[j];
            const double dz = batch.coords_z[i] - batch.coords_z[j];
            const double r = std::sqrt(dx * dx + dy * dy + dz * dz);
            if (r < tiny_distance_angstrom)
                continue;
            const HhTerm term = hh_term(r);
            result.energy_kcal += term.e;
            // dR/dr_i = (r_i − r_j)/R; atom j takes the opposite force.
            const double factor = term.de_dr / r;
            std::array<double, 3>& g_i = result.gradient_kcal_mol_angstrom[i];
            std::array<double, 3>& g_j = result.gradient_kcal_mol_angstrom[j];
            g_i[0] += factor * dx;
            g_i[1] += factor * dy;
            g_i[2] += factor * dz;
            g_j[0] -= factor * dx;
            g_j[1] -= factor * dy;
            g_j[2] -= factor * dz;
        }
    }
    return result;
}

} // namespace quelm
