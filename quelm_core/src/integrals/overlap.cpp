// Overlap block between the valence Slater orbitals of two atoms, in the molecular axes.
//
// Each shell pair is integrated once per |m| in the local diatomic frame (σ, π, δ along
// the A→B axis; see slater_overlap.cpp) and turned to the molecular axes with the
// rotation coefficients of the real s, p and d harmonics. H and Li–F pairs without d
// orbitals take the closed-form route, which gives the same numbers faster.

#include "integrals/overlap.hpp"

#include <algorithm>
#include <cmath>

namespace quelm {

namespace {

struct QuantumNumbers {
    std::uint8_t s = 0;
    std::uint8_t p = 0;
    std::uint8_t d = 0;
};

// Principal quantum numbers (n_s, n_p, n_d) of the valence shells by atomic number;
// 0 marks a shell the element does not have. Heavy elements use a 3d or 4d shell below
// their s, p shell, noble gases the shell above.
constexpr int table_size = 108;

constexpr std::array<QuantumNumbers, table_size> make_quantum_numbers() {
    std::array<QuantumNumbers, table_size> q{};
    const auto fill = [&q](int first, int last, std::uint8_t s, std::uint8_t p, std::uint8_t d) {
        for (int z = first; z <= last; ++z)
            q[z] = {s, p, d};
    };
    fill(1, 1, 1, 1, 0);
    fill(2, 2, 1, 2, 0);
    fill(3, 9, 2, 2, 0);
    fill(10, 10, 3, 2, 0);
    fill(11, 17, 3, 3, 3);
    fill(18, 18, 4, 3, 4);
    fill(19, 29, 4, 4, 3);
    fill(30, 35, 4, 4, 4);
    fill(36, 36, 5, 4, 5);
    fill(37, 47, 5, 5, 4);
    fill(48, 53, 5, 5, 5);
    fill(54, 54, 6, 5, 6);
    fill(55, 79, 6, 6, 5);
    fill(80, 85, 6, 6, 6);
    fill(86, 86, 7, 6, 7);
    fill(98, 98, 1, 0, 0);
    fill(102, 102, 3, 0, 0);
    return q;
}

constexpr std::array<QuantumNumbers, table_size> quantum_numbers = make_quantum_numbers();

// Below 1e-10 Å the atoms coincide; beyond 20 Å every valence overlap underflows.
constexpr double coincident_angstrom = 1e-10;
constexpr double distant_angstrom = 20.0;

// The √3/2 values exactly as the published rotation tables write them.
constexpr double k_d = 0.86602540378444;
constexpr double k_d_prime = 1.5 * 0.57735026918963;

constexpr int sigma = 0;
constexpr int pi1 = 1;
constexpr int pi2 = 2;
constexpr int delta1 = 3;
constexpr int delta2 = 4;

bool is_closed_form_element(std::uint8_t z) {
    return z == 1 || (z >= 3 && z <= 9);
}

// First orbital slot and slot count of shell l (s, p, d).
constexpr std::array<int, 3> shell_first = {0, 1, 4};
constexpr std::array<int, 3> shell_size = {1, 3, 5};

// Highest shell with rotation coefficients: d only when one atom carries d orbitals.
int shells_rotated(int n_orbitals_a, int n_orbitals_b) {
    const int n = std::max(n_orbitals_a, n_orbitals_b);
    return n < 2 ? 0 : n <= 4 ? 1 : 2;
}

void compute_general_block(std::uint8_t z_a, std::uint8_t z_b, int n_orbitals_a, int n_orbitals_b,
                           const ElementParameters& a, const ElementParameters& b, double dx,
                           double dy, double dz, double r_angstrom, OverlapBlock& out) {
    if (z_a >= table_size || z_b >= table_size)
        return;
    const QuantumNumbers& q_a = quantum_numbers[z_a];
    const QuantumNumbers& q_b = quantum_numbers[z_b];
    if (q_a.s == 0 || q_b.s == 0)
        return;
    RotationCoefficients c{};
    if (diatomic_rotation_coe(n_orbitals_a, n_orbitals_b, dx, dy, dz, c) < 1e-3)
        return;

    // Shells beyond the rotated ones have zero coefficients and would add nothing.
    const int rotated = shells_rotated(n_orbitals_a, n_orbitals_b);
    const int l_max_a = std::min(q_a.s == 1 ? 1 : 2, rotated);
    const int l_max_b = std::min(q_b.s == 1 ? 1 : 2, rotated);
    // A d exponent ≤ 0.3 (no d shell) is raised to 0.3 to keep the integrals finite.
    const std::array<double, 3> zeta_a = {a.zeta_s, a.zeta_p, std::max(a.zeta_d, 0.3)};
    const std::array<double, 3> zeta_b = {b.zeta_s, b.zeta_p, std::max(b.zeta_d, 0.3)};
    const std::array<int, 3> table_n_a = {q_a.s, q_a.p, q_a.d};
    const std::array<int, 3> table_n_b = {q_b.s, q_b.p, q_b.d};

    for (int l_a = 0; l_a <= l_max_a; ++l_a) {
        const int n_a = std::max(table_n_a[l_a], l_a + 1);
        for (int l_b = 0; l_b <= l_max_b; ++l_b) {
            const int n_b = std::max(table_n_b[l_b], l_b + 1);
            const int m_max = std::min(l_a, l_b);
            // B's local axis points back at A: (−1)^(l_b+m) turns it to point along A→B.
            std::array<double, 3> local{};
            for (int m = 0; m <= m_max; ++m) {
                const double sign = ((l_b + m) % 2 == 0) ? 1.0 : -1.0;
                local[m] = sign * slater_overlap_ss(n_a, n_b, l_a + 1, l_b + 1, m + 1, zeta_a[l_a],
                                                    zeta_b[l_b], r_angstrom);
            }
            for (int mu = shell_first[l_a]; mu < shell_first[l_a] + shell_size[l_a]; ++mu) {
                const auto& c_a = c[mu];
                for (int nu = shell_first[l_b]; nu < shell_first[l_b] + shell_size[l_b]; ++nu) {
                    const auto& c_b = c[nu];
                    double value = local[0] * c_a[sigma] * c_b[sigma];
                    if (m_max >= 1)
                        value += local[1] * (c_a[pi1] * c_b[pi1] + c_a[pi2] * c_b[pi2]);
                    if (m_max >= 2)
                        value += local[2] * (c_a[delta1] * c_b[delta1] + c_a[delta2] * c_b[delta2]);
                    out[9 * mu + nu] += value;
                }
            }
        }
    }
}

} // namespace

double diatomic_rotation_coe(int n_orbitals_a, int n_orbitals_b, double dx, double dy, double dz,
                             RotationCoefficients& coefficients) {
    for (auto& row : coefficients)
        row.fill(0.0);
    const double rho = std::sqrt(dx * dx + dy * dy);
    const double r = std::sqrt(rho * rho + dz * dz);

    // α: azimuth of A→B, β: its angle from +z. On the z axis α is undefined; α = β = 0
    // (or π below A) keeps the π and δ pairs a rotation of the off-axis ones.
    double cos_a = 0.0;
    double sin_a = 0.0;
    double cos_b = 0.0;
    double sin_b = 0.0;
    if (rho >= 1e-10) {
        cos_a = dx / rho;
        sin_a = dy / rho;
        cos_b = dz / r;
        sin_b = rho / r;
    } else {
        const double side = dz > 0.0 ? 1.0 : dz < 0.0 ? -1.0 : 0.0;
        cos_a = side;
        cos_b = side;
    }

    coefficients[0][sigma] = 1.0;
    const int rotated = shells_rotated(n_orbitals_a, n_orbitals_b);
    if (rotated < 1)
        return r;

    // Columns are the local axes: π1 = ŷ', σ = the bond, π2 = x̂'.
    coefficients[1] = {cos_a * sin_b, -sin_a, cos_a * cos_b, 0.0, 0.0};
    coefficients[2] = {sin_a * sin_b, cos_a, sin_a * cos_b, 0.0, 0.0};
    coefficients[3] = {cos_b, 0.0, -sin_b, 0.0, 0.0};
    if (rotated < 2)
        return r;

    const double c2a = cos_a * cos_a - sin_a * sin_a;
    const double s2a = 2.0 * sin_a * cos_a;
    const double c2b = cos_b * cos_b - sin_b * sin_b;
    const double s2b = 2.0 * sin_b * cos_b;
    const double sin2_b = sin_b * sin_b;
    const double cos2_b = cos_b * cos_b;
    // Slots d(x²−y²), d(xz), d(z²), d(yz), d(xy); components σ, π1, π2, δ1, δ2.
    coefficients[4] = {k_d * sin2_b * c2a, -s2a * sin_b, 0.5 * c2a * s2b, -s2a * cos_b,
                       c2a * (cos2_b + 0.5 * sin2_b)};
    coefficients[5] = {k_d * cos_a * s2b, -sin_a * cos_b, cos_a * c2b, sin_a * sin_b,
                       -0.5 * cos_a * s2b};
    coefficients[6] = {cos2_b - 0.5 * sin2_b, 0.0, -k_d * s2b, 0.0, k_d_prime * sin2_b};
    coefficients[7] = {k_d * sin_a * s2b, cos_a * cos_b, sin_a * c2b, -cos_a * sin_b,
                       -0.5 * sin_a * s2b};
    coefficients[8] = {k_d * sin2_b * s2a, c2a * sin_b, 0.5 * s2a * s2b, c2a * cos_b,
                       s2a * (cos2_b + 0.5 * sin2_b)};
    return r;
}

void compute_diatomic_overlap_matrix_9x9(std::uint8_t z_a, std::uint8_t z_b, int n_orbitals_a,
                                         int n_orbitals_b, const ElementParameters& a,
                                         const ElementParameters& b, double dx, double dy,
                                         double dz, double r_angstrom, OverlapBlock& out) {
    out.fill(0.0);
    if (r_angstrom < coincident_angstrom || r_angstrom > distant_angstrom)
        return;

    if (is_closed_form_element(z_a) && is_closed_form_element(z_b) && n_orbitals_a <= 4 &&
        n_orbitals_b <= 4) {
        const std::array<double, 3> unit_ab = {dx / r_angstrom, dy / r_angstrom, dz / r_angstrom};
        std::array<double, 16> block{};
        compute_diatomic_overlap_block_analytical(z_a, z_b, a, b, unit_ab, r_angstrom, block);
        for (int i = 0; i < n_orbitals_a; ++i)
            for (int j = 0; j < n_orbitals_b; ++j)
                out[9 * i + j] = block[4 * i + j];
        return;
    }
    compute_general_block(z_a, z_b, n_orbitals_a, n_orbitals_b, a, b, dx, dy, dz, r_angstrom, out);
}

} // namespace quelm
