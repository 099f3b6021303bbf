// MECI: microstates, active-space integrals, the CI Hamiltonian, ⟨S²⟩ and the root density.
//
// A determinant is a bit mask over 2n spin orbitals, α of orbital p at bit 2p and β at
// bit 2p + 1. The sign of a†_v a_u |J⟩ is (−1) to the number of occupied spin orbitals
// strictly between u and v; double moves compose two such steps. With these phases the
// Slater–Condon rules give the matrix elements, so no case table of sign rules is needed.
//
// The active MOs see the rest of the molecule through the SCF: h_i is the SCF orbital
// energy without the mean field of the reference's active electrons, and a single move
// a → k feels only the difference between the determinant's active occupations and the
// reference's (the SCF Fock matrix has no a–k element: Brillouin).

#include "ci/meci.hpp"

#include "integrals/multipoles.hpp"
#include "properties/heat.hpp"
#include "scf/density.hpp"
#include "scf/eigensolver.hpp"
#include "scf/matrix_product.hpp"
#include "scf/scf_loop.hpp"
#include "types/internal_error.hpp"
#include "types/physical_constants.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <string>

namespace quelm {
namespace {

using Mask = std::uint32_t;

constexpr double degeneracy_lift = 1e-10;       // eV, splits exact ties between roots
constexpr double cm1_per_ev = 8065.54429;       // cm⁻¹ per eV
constexpr double hc_ev_nm = 1239.841984;        // hc in eV·nm
constexpr double smallest_excitation_ev = 1e-4; // below: same level, no wavelength
// Roots closer than this are one level split only by round-off and the degeneracy lift
// (at most 4900 · 1e-10 eV): their spin states are separated inside the level.
constexpr double degenerate_level_ev = 1e-5;

Mask bit(unsigned spin_orbital) {
    return Mask{1} << spin_orbital;
}

// Occupied spin orbitals strictly between positions a and b, modulo 2.
int parity_between(Mask mask, unsigned a, unsigned b) {
    const unsigned lo = std::min(a, b);
    const unsigned hi = std::max(a, b);
    const Mask between = (bit(hi) - 1) & ~((bit(lo) << 1) - 1);
    return std::popcount(mask & between) & 1;
}

// Occupied spin orbitals below position a, modulo 2.
int parity_below(Mask mask, unsigned a) {
    return std::popcount(mask & (bit(a) - 1)) & 1;
}

struct Tensor {
    const std::vector<double>& values;
    std::size_t n;
    double operator()(std::size_t i, std::size_t j, std::size_t k, std::size_t l) const {
        return values[((i * n + j) * n + k) * n + l];
    }
};

// ⟨I|H|J⟩ for J → I moving spin orbital u to v (same spin), occupations of J.
double single_move_element(Mask j_mask, unsigned u, unsigned v, const Tensor& g,
                           const std::vector<double>& occ) {
    const std::size_t a = u / 2;
    const std::size_t k = v / 2;
    const unsigned same = u & 1U;
    double value = 0.0;
    for (std::size_t m = 0; m < g.n; ++m) {
        const double n_same = (j_mask & bit(static_cast<unsigned>(2 * m) + same)) ? 1.0 : 0.0;
        const double n_other =
            (j_mask & bit(static_cast<unsigned>(2 * m) + (1U - same))) ? 1.0 : 0.0;
        const double coulomb = g(a, k, m, m);
        value += (n_other - occ[m]) * coulomb + (n_same - occ[m]) * (coulomb - g(a, m, k, m));
    }
    return parity_between(j_mask, u, v) ? -value : value;
}

// ⟨I|H|J⟩ = s ⟨v1 v2||u1 u2⟩ with |I⟩ = s a†_v1 a†_v2 a_u2 a_u1 |J⟩.
double double_move_element(Mask j_mask, unsigned u1, unsigned u2, unsigned v1, unsigned v2,
                           const Tensor& g) {
    int parity = parity_below(j_mask, u1);
    Mask m = j_mask ^ bit(u1);
    parity += parity_below(m, u2);
    m ^= bit(u2);
    parity += parity_below(m, v2);
    m |= bit(v2);
    parity += parity_below(m, v1);
    double value = 0.0;
    if ((u1 & 1U) == (v1 & 1U) && (u2 & 1U) == (v2 & 1U))
        value += g(v1 / 2, u1 / 2, v2 / 2, u2 / 2);
    if ((u2 & 1U) == (v1 & 1U) && (u1 & 1U) == (v2 & 1U))
        value -= g(v1 / 2, u2 / 2, v2 / 2, u1 / 2);
    return (parity & 1) ? -value : value;
}

// Positions of the set bits of a mask with exactly `count` of them.
void set_bits(Mask mask, unsigned* positions) {
    while (mask != 0) {
        *positions++ = static_cast<unsigned>(std::countr_zero(mask));
        mask &= mask - 1;
    }
}

// The one-centre s,p integrals of an element over the packed pairs ss, xs, xx, ys, yx, yy,
// zs, zx, zy, zz.
using OneCentreTable = std::array<std::array<double, 10>, 10>;
OneCentreTable one_centre_table(const ElementParameters& e) {
    OneCentreTable w{};
    constexpr std::size_t ss = 0;
    constexpr std::array<std::size_t, 3> pp = {2, 5, 9};
    constexpr std::array<std::size_t, 3> sp = {1, 3, 6};
    constexpr std::array<std::size_t, 3> pq = {4, 7, 8};
    w[ss][ss] = e.g_ss;
    for (std::size_t a = 0; a < 3; ++a) {
        w[ss][pp[a]] = w[pp[a]][ss] = e.g_sp;
        w[sp[a]][sp[a]] = e.h_sp;
        w[pq[a]][pq[a]] = 0.5 * (e.g_pp - e.g_p2);
        for (std::size_t b = 0; b < 3; ++b)
            w[pp[a]][pp[b]] = a == b ? e.g_pp : e.g_p2;
    }
    return w;
}

// Pair densities P^ij_A of the active orbital pairs over each atom's packed AO pairs.
struct PairDensities {
    std::size_t n_pairs = 0; // active pairs i ≤ j
    std::size_t stride = 0;  // packed AO pairs of all atoms
    std::vector<std::size_t> atom_offset;
    std::vector<double> values; // [pair * stride + atom_offset[A] + packed index]
    std::vector<double> traces; // [pair * n_atoms + A]: Σ_μ P^ij_A[μμ]
    const double* at(std::size_t pair, std::size_t atom) const {
        return values.data() + pair * stride + atom_offset[atom];
    }
};

PairDensities build_pair_densities(const MolecularBatch& batch, const AlignedMatrix& c,
                                   const std::vector<std::size_t>& active) {
    const std::size_t n = active.size();
    PairDensities d;
    d.n_pairs = n * (n + 1) / 2;
    d.atom_offset.resize(batch.n_atoms);
    for (std::size_t a = 0; a < batch.n_atoms; ++a) {
        d.atom_offset[a] = d.stride;
        d.stride += orbital_pair_count(batch.basis_types[a]);
    }
    d.values.assign(d.n_pairs * d.stride, 0.0);
    d.traces.assign(d.n_pairs * batch.n_atoms, 0.0);
    std::size_t pair = 0;
    for (std::size_t j = 0; j < n; ++j) {
        for (std::size_t i = 0; i <= j; ++i, ++pair) {
            for (std::size_t a = 0; a < batch.n_atoms; ++a) {
                double* p = d.values.data() + pair * d.stride + d.atom_offset[a];
                const std::size_t first = batch.orbital_offsets[a];
                double trace = 0.0;
                for (std::size_t mu = 0; mu < batch.basis_types[a]; ++mu) {
                    const double ci_mu = c(first + mu, active[i]);
                    const double cj_mu = c(first + mu, active[j]);
                    for (std::size_t nu = 0; nu < mu; ++nu) {
                        p[orbital_pair_index(mu, nu)] =
                            ci_mu * c(first + nu, active[j]) + c(first + nu, active[i]) * cj_mu;
                    }
                    p[orbital_pair_index(mu, mu)] = ci_mu * cj_mu;
                    trace += ci_mu * cj_mu;
                }
                d.traces[pair * batch.n_atoms + a] = trace;
            }
        }
    }
    return d;
}

void add_one_centre_terms(const MolecularBatch& batch, const ParameterModel& model,
                          const PairDensities& d, std::vector<double>& v) {
    const std::size_t np = d.n_pairs;
    for (std::size_t a = 0; a < batch.n_atoms; ++a) {
        const auto element = model.get_element(batch.atomic_numbers[a]);
        if (!element)
            continue; // no parameters: an all-zero table
        const std::size_t n_ao = batch.basis_types[a];
        if (n_ao == 1) {
            for (std::size_t x = 0; x < np; ++x) {
                for (std::size_t y = x; y < np; ++y)
                    v[x * np + y] += element->g_ss * d.at(x, a)[0] * d.at(y, a)[0];
            }
            continue;
        }
        if (n_ao <= 3)
            continue;
        // Only the s,p block: one-centre d integrals are left out of the active space.
        const OneCentreTable w = one_centre_table(*element);
        for (std::size_t x = 0; x < np; ++x) {
            const double* px = d.at(x, a);
            std::array<double, 10> wp{};
            for (std::size_t p = 0; p < 10; ++p) {
                if (std::abs(px[p]) < 1e-15)
                    continue;
                for (std::size_t q = 0; q < 10; ++q)
                    wp[q] += px[p] * w[p][q];
            }
            for (std::size_t y = x; y < np; ++y) {
                const double* py = d.at(y, a);
                double sum = 0.0;
                for (std::size_t q = 0; q < 10; ++q)
                    sum += wp[q] * py[q];
                v[x * np + y] += sum;
            }
        }
    }
}

// NDDO pair blocks: (ij|kl) += P^ij_A·W·P^kl_B + P^kl_A·W·P^ij_B.
void add_nddo_pair_terms(const std::vector<DiatomicPairIntegrals>& pairs, const PairDensities& d,
                         std::vector<bool>& covered, std::size_t n_atoms, std::vector<double>& v) {
    const std::size_t np = d.n_pairs;
    std::vector<double> u;
    for (const DiatomicPairIntegrals& record : pairs) {
        const std::size_t a = record.atom_a;
        const std::size_t b = record.atom_b;
        covered[a * n_atoms + b] = true;
        const std::size_t pa = orbital_pair_count(record.n_orbitals_a);
        const std::size_t pb = orbital_pair_count(record.n_orbitals_b);
        u.assign(np * pa, 0.0); // u^x = W · P^x_B
        for (std::size_t x = 0; x < np; ++x) {
            const double* pbx = d.at(x, b);
            double* ux = u.data() + x * pa;
            for (std::size_t p = 0; p < pa; ++p) {
                const double* w_row = record.w.data() + p * pb;
                double sum = 0.0;
                for (std::size_t q = 0; q < pb; ++q)
                    sum += w_row[q] * pbx[q];
                ux[p] = sum;
            }
        }
        for (std::size_t x = 0; x < np; ++x) {
            const double* pax = d.at(x, a);
            const double* ux = u.data() + x * pa;
            for (std::size_t y = x; y < np; ++y) {
                const double* pay = d.at(y, a);
                const double* uy = u.data() + y * pa;
                double sum = 0.0;
                for (std::size_t p = 0; p < pa; ++p)
                    sum += pax[p] * uy[p] + pay[p] * ux[p];
                v[x * np + y] += sum;
            }
        }
    }
}

// Klopman–Ohno monopoles for the pairs without an NDDO block.
void add_monopole_pair_terms(const MolecularBatch& batch, const ParameterModel& model,
                             const PairDensities& d, const std::vector<bool>& covered,
                             std::vector<double>& v) {
    const std::size_t n_atoms = batch.n_atoms;
    const std::size_t np = d.n_pairs;
    std::vector<double> rho(n_atoms, 0.0);
    for (std::size_t a = 0; a < n_atoms; ++a) {
        const auto element = model.get_element(batch.atomic_numbers[a]);
        const double g_ss = element ? element->g_ss : 0.0;
        // ρ = e²/(2 G_ss): the on-site limit of γ is G_ss; an element without a value gets 0.
        rho[a] = g_ss != 0.0 ? e_squared_ev_angstrom / (2.0 * g_ss) : 0.0;
    }
    for (std::size_t a = 0; a < n_atoms; ++a) {
        for (std::size_t b = 0; b < a; ++b) {
            if (covered[a * n_atoms + b])
                continue;
            const double r = batch.distance(a, b);
            const double s = rho[a] + rho[b];
            const double gamma = e_squared_ev_angstrom / std::sqrt(r * r + s * s);
            for (std::size_t x = 0; x < np; ++x) {
                const double tax = d.traces[x * n_atoms + a];
                const double tbx = d.traces[x * n_atoms + b];
                for (std::size_t y = x; y < np; ++y) {
                    v[x * np + y] +=
                        gamma * (d.traces[y * n_atoms + a] * tbx + tax * d.traces[y * n_atoms + b]);
                }
            }
        }
    }
}

std::size_t combinations_count(std::size_t n, std::size_t k) {
    std::size_t c = 1;
    for (std::size_t i = 1; i <= k; ++i)
        c = c * (n - k + i) / i;
    return c;
}

void backtrack(std::size_t n, std::size_t k, std::size_t start, std::vector<std::uint8_t>& current,
               std::vector<std::vector<std::uint8_t>>& out) {
    if (k == 0) {
        out.push_back(current);
        return;
    }
    for (std::size_t pos = start; pos + k <= n; ++pos) {
        current[pos] = 1;
        backtrack(n, k - 1, pos + 1, current, out);
        current[pos] = 0;
    }
}

} // namespace

std::uint32_t determinant_mask(const Microstate& state) {
    Mask mask = 0;
    for (std::size_t p = 0; p < state.alpha.size(); ++p) {
        if (state.alpha[p] != 0)
            mask |= bit(static_cast<unsigned>(2 * p));
        if (state.beta[p] != 0)
            mask |= bit(static_cast<unsigned>(2 * p + 1));
    }
    return mask;
}

std::vector<std::uint32_t> determinant_masks(const std::vector<Microstate>& microstates) {
    std::vector<Mask> masks(microstates.size());
    for (std::size_t i = 0; i < microstates.size(); ++i)
        masks[i] = determinant_mask(microstates[i]);
    return masks;
}

double single_move_sign(std::uint32_t j_mask, unsigned from, unsigned to) {
    return parity_between(j_mask, from, to) ? -1.0 : 1.0;
}

MeciWorkspace MeciWorkspace::allocate(std::size_t n_orbitals, std::size_t n_microstates) {
    const std::size_t m = std::max<std::size_t>(n_microstates, 1);
    MeciWorkspace w;
    w.n_orbitals = n_orbitals;
    w.n_microstates = m;
    w.integrals.assign(n_orbitals * n_orbitals * n_orbitals * n_orbitals, 0.0);
    w.one_electron.assign(n_orbitals, 0.0);
    w.reference_occupations.assign(n_orbitals, 0.0);
    w.relative_diagonal.assign(m, 0.0);
    w.ci_matrix = AlignedMatrix(m, m);
    w.eigenvalues = AlignedVec64(m);
    w.eigenvectors = AlignedMatrix(m, m);
    return w;
}

std::vector<std::vector<std::uint8_t>> generate_combinations(std::size_t n, std::size_t k) {
    std::vector<std::vector<std::uint8_t>> out;
    if (k > n)
        return out;
    out.reserve(combinations_count(n, k));
    std::vector<std::uint8_t> current(n, 0);
    backtrack(n, k, 0, current, out);
    return out;
}

std::vector<Microstate> generate_microstates(std::size_t n, int n_electrons, int parity) {
    const int n_alpha = (n_electrons + parity) / 2;
    const int n_beta = n_electrons - n_alpha;
    std::vector<Microstate> states;
    if (n_alpha < 0 || n_beta < 0 || static_cast<std::size_t>(n_alpha) > n ||
        static_cast<std::size_t>(n_beta) > n) {
        return states;
    }
    const auto alphas = generate_combinations(n, static_cast<std::size_t>(n_alpha));
    const auto betas = generate_combinations(n, static_cast<std::size_t>(n_beta));
    states.reserve(alphas.size() * betas.size());
    for (const auto& alpha : alphas) {
        for (const auto& beta : betas)
            states.push_back({alpha, beta, 0.0});
    }
    return states;
}

void compute_active_mo_two_electron_integrals(const MolecularBatch& batch,
                                              const ParameterModel& model,
                                              const AlignedMatrix& eigenvectors,
                                              const std::vector<std::size_t>& active_orbitals,
                                              const std::vector<DiatomicPairIntegrals>* pairs,
                                              std::vector<double>& integrals) {
    const std::size_t n = active_orbitals.size();
    if (integrals.size() != n * n * n * n)
        throw InternalError(
            size_mismatch("Active integral tensor", integrals.size(), n * n * n * n));
    const PairDensities d = build_pair_densities(batch, eigenvectors, active_orbitals);
    const std::size_t np = d.n_pairs;
    std::vector<double> v(np * np, 0.0); // (x|y) for active pairs x ≤ y
    add_one_centre_terms(batch, model, d, v);
    std::vector<bool> covered(batch.n_atoms * batch.n_atoms, false);
    if (pairs != nullptr)
        add_nddo_pair_terms(*pairs, d, covered, batch.n_atoms, v);
    add_monopole_pair_terms(batch, model, d, covered, v);

    std::vector<std::size_t> pair_of(n * n);
    std::size_t pair = 0;
    for (std::size_t j = 0; j < n; ++j) {
        for (std::size_t i = 0; i <= j; ++i, ++pair)
            pair_of[i * n + j] = pair_of[j * n + i] = pair;
    }
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = 0; j < n; ++j) {
            const std::size_t x = pair_of[i * n + j];
            for (std::size_t k = 0; k < n; ++k) {
                for (std::size_t l = 0; l < n; ++l) {
                    const std::size_t y = pair_of[k * n + l];
                    integrals[((i * n + j) * n + k) * n + l] =
                        x <= y ? v[x * np + y] : v[y * np + x];
                }
            }
        }
    }
}

double diagi(const std::vector<std::uint8_t>& alpha, const std::vector<std::uint8_t>& beta,
             const std::vector<double>& one_electron, const std::vector<double>& integrals,
             std::size_t n) {
    const Tensor g{integrals, n};
    double energy = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        energy += (alpha[i] + beta[i]) * one_electron[i];
        for (std::size_t j = 0; j < n; ++j) {
            if (alpha[i] != 0 && beta[j] != 0)
                energy += g(i, i, j, j);
        }
        for (std::size_t j = i + 1; j < n; ++j) {
            const double same = g(i, i, j, j) - g(i, j, i, j);
            energy += (alpha[i] * alpha[j] + beta[i] * beta[j]) * same;
        }
    }
    return energy;
}

void build_ci_hamiltonian(const std::vector<Microstate>& microstates,
                          const std::vector<double>& relative_diagonal, std::size_t n,
                          const std::vector<double>& reference_occupations,
                          const std::vector<double>& integrals, AlignedMatrix& matrix) {
    const std::size_t m = microstates.size();
    if (!matrix.is_square() || matrix.rows() != m)
        throw InternalError(size_mismatch("CI matrix", matrix.rows(), m));
    const std::vector<Mask> masks = determinant_masks(microstates);
    const Tensor g{integrals, n};
    for (std::size_t i = 0; i < m; ++i) {
        double* row = matrix.row(i);
        row[i] = relative_diagonal[i];
        for (std::size_t j = 0; j < i; ++j) {
            const Mask removed = masks[j] & ~masks[i];
            const Mask added = masks[i] & ~masks[j];
            double element = 0.0;
            switch (std::popcount(removed)) {
            case 1:
                element = single_move_element(
                    masks[j], static_cast<unsigned>(std::countr_zero(removed)),
                    static_cast<unsigned>(std::countr_zero(added)), g, reference_occupations);
                break;
            case 2: {
                unsigned u[2];
                unsigned v[2];
                set_bits(removed, u);
                set_bits(added, v);
                element = double_move_element(masks[j], u[0], u[1], v[0], v[1], g);
                break;
            }
            default:
                break; // three or more electrons moved: no two-body coupling
            }
            row[j] = element;
            matrix(j, i) = element;
        }
    }
}

SpinSquaredOperator build_s2_operator(const std::vector<Microstate>& microstates, std::size_t n) {
    const std::size_t m = microstates.size();
    const std::vector<Mask> masks = determinant_masks(microstates);
    int n_alpha = 0;
    int n_beta = 0;
    if (m != 0) {
        for (std::size_t p = 0; p < n; ++p) {
            n_alpha += microstates[0].alpha[p];
            n_beta += microstates[0].beta[p];
        }
    }
    const double ms = 0.5 * (n_alpha - n_beta);
    // Index of each determinant mask (at most 16 spin orbitals).
    std::vector<std::int32_t> index_of(std::size_t{1} << (2 * n), -1);
    for (std::size_t i = 0; i < m; ++i)
        index_of[masks[i]] = static_cast<std::int32_t>(i);

    SpinSquaredOperator s2;
    s2.diagonal.resize(m);
    for (std::size_t j = 0; j < m; ++j) {
        const Mask alpha = masks[j] & 0x55555555U;
        const Mask beta = (masks[j] >> 1) & 0x55555555U;
        const Mask alpha_only = alpha & ~beta;
        const Mask beta_only = beta & ~alpha;
        // ⟨J|S₋S₊|J⟩ counts the β-only orbitals.
        s2.diagonal[j] = ms * (ms + 1.0) + std::popcount(beta_only);
        // S₋S₊ = Σ_pq a†_pβ a_pα a†_qα a_qβ moves β of q to α and α of p to β.
        for (Mask q_bits = beta_only; q_bits != 0; q_bits &= q_bits - 1) {
            const unsigned q = static_cast<unsigned>(std::countr_zero(q_bits));
            for (Mask p_bits = alpha_only; p_bits != 0; p_bits &= p_bits - 1) {
                const unsigned p = static_cast<unsigned>(std::countr_zero(p_bits));
                Mask state = masks[j];
                int parity = parity_below(state, q + 1);
                state ^= bit(q + 1);
                parity += parity_below(state, q);
                state |= bit(q);
                parity += parity_below(state, p);
                state ^= bit(p);
                parity += parity_below(state, p + 1);
                state |= bit(p + 1);
                const std::int32_t i = index_of[state];
                if (i >= 0) {
                    s2.flips.push_back({static_cast<std::size_t>(i), j, (parity & 1) ? -1.0 : 1.0});
                }
            }
        }
    }
    return s2;
}

double SpinSquaredOperator::expectation(const AlignedMatrix& vectors, std::size_t a,
                                        std::size_t b) const {
    double value = 0.0;
    for (std::size_t i = 0; i < diagonal.size(); ++i)
        value += diagonal[i] * vectors(i, a) * vectors(i, b);
    for (const Flip& f : flips)
        value += f.sign * vectors(f.i, a) * vectors(f.j, b);
    return value;
}

void separate_degenerate_spins(const SpinSquaredOperator& s2, const AlignedVec64& eigenvalues,
                               AlignedMatrix& eigenvectors) {
    const std::size_t m = eigenvalues.size();
    std::size_t first = 0;
    while (first < m) {
        std::size_t last = first + 1;
        while (last < m && eigenvalues[last] - eigenvalues[last - 1] < degenerate_level_ev)
            ++last;
        const std::size_t k = last - first;
        if (k > 1) {
            AlignedMatrix block(k, k);
            for (std::size_t a = 0; a < k; ++a) {
                for (std::size_t b = 0; b <= a; ++b)
                    block(a, b) = block(b, a) = s2.expectation(eigenvectors, first + a, first + b);
            }
            AlignedVec64 spins(k);
            AlignedMatrix rotation(k, k);
            diagonalize_symmetric(block, spins, rotation);
            std::vector<double> row(k);
            for (std::size_t i = 0; i < m; ++i) {
                double* v = eigenvectors.row(i) + first;
                for (std::size_t b = 0; b < k; ++b) {
                    double sum = 0.0;
                    for (std::size_t a = 0; a < k; ++a)
                        sum += v[a] * rotation(a, b);
                    row[b] = sum;
                }
                std::copy(row.begin(), row.end(), v);
            }
        }
        first = last;
    }
}

AlignedMatrix compute_ci_state_density(std::size_t n_ao, const AlignedMatrix& eigenvectors,
                                       const std::vector<std::size_t>& active_orbitals,
                                       const std::vector<Microstate>& microstates,
                                       const std::vector<double>& coefficients,
                                       const std::vector<double>& reference_occupations,
                                       const AlignedMatrix& base_density) {
    const std::size_t n = active_orbitals.size();
    const std::vector<Mask> masks = determinant_masks(microstates);
    AlignedMatrix d(n, n);
    for (std::size_t p = 0; p < n; ++p)
        d(p, p) = -2.0 * reference_occupations[p];
    for (std::size_t i = 0; i < microstates.size(); ++i) {
        const double ci = coefficients[i];
        for (std::size_t p = 0; p < n; ++p)
            d(p, p) += ci * ci * (microstates[i].alpha[p] + microstates[i].beta[p]);
        for (std::size_t j = 0; j < i; ++j) {
            const Mask removed = masks[j] & ~masks[i];
            if (std::popcount(removed) != 1 || std::popcount(masks[i] & ~masks[j]) != 1)
                continue;
            const unsigned u = static_cast<unsigned>(std::countr_zero(removed));
            const unsigned v = static_cast<unsigned>(std::countr_zero(masks[i] & ~masks[j]));
            const double value = single_move_sign(masks[j], u, v) * ci * coefficients[j];
            d(v / 2, u / 2) += value;
            d(u / 2, v / 2) += value;
        }
    }
    AlignedMatrix c_active(n_ao, n);
    AlignedMatrix c_active_t(n, n_ao);
    for (std::size_t mu = 0; mu < n_ao; ++mu) {
        for (std::size_t p = 0; p < n; ++p)
            c_active(mu, p) = c_active_t(p, mu) = eigenvectors(mu, active_orbitals[p]);
    }
    AlignedMatrix cd(n_ao, n);
    multiply_matrices(c_active, d, cd);
    AlignedMatrix density(n_ao, n_ao);
    multiply_matrices(cd, c_active_t, density);
    for (std::size_t k = 0; k < density.size(); ++k)
        density.data()[k] += base_density.data()[k];
    return density;
}

const char* spin_label_for(std::size_t multiplicity) {
    static const char* const labels[] = {"MULTIPLET", "SINGLET", "DOUBLET", "TRIPLET",
                                         "QUARTET",   "QUINTET", "SEXTET"};
    return multiplicity <= 6 ? labels[multiplicity] : labels[0];
}

namespace {

// The active MO list of an options record, after the active-space checks.
std::vector<std::size_t> select_active_orbitals(const MolecularBatch& batch,
                                                const ParameterModel& model,
                                                const MeciOptions& options) {
    const std::size_t n = options.n_active_orbitals;
    const std::size_t n_electrons = options.n_active_electrons;
    if (n == 0)
        throw InternalError("Active space must have at least 1 orbital");
    if (n_electrons > 2 * n) {
        throw InternalError("Active electrons (" + std::to_string(n_electrons) +
                            ") cannot exceed 2 * active orbitals (" + std::to_string(n) + ")");
    }
    if (n > max_active_orbitals) {
        throw InternalError("Active space of " + std::to_string(n) + " orbitals exceeds " +
                            std::to_string(max_active_orbitals));
    }
    const std::size_t n_occupied = count_occupied_orbitals(batch, model);
    const std::size_t n_alpha = (n_electrons + 1) / 2;
    if (n_occupied < n_alpha) {
        throw InternalError("Not enough occupied MOs (" + std::to_string(n_occupied) +
                            ") for active electrons (" + std::to_string(n_electrons) + ")");
    }
    const std::size_t first = n_occupied - n_alpha;
    if (first + n > batch.n_orbitals)
        throw InternalError("Active space exceeds total molecular orbitals");
    std::vector<std::size_t> active(n);
    for (std::size_t p = 0; p < n; ++p)
        active[p] = first + p;
    return active;
}

// Integrals, determinant energies, CI matrix and its eigenpairs, all in the workspace.
void solve_active_space(const MolecularBatch& batch, const ParameterModel& model,
                        const AlignedMatrix& eigenvectors, const AlignedVec64& orbital_energies,
                        const MeciOptions& options, const std::vector<std::size_t>& active,
                        std::vector<Microstate>& microstates, MeciWorkspace& workspace) {
    const std::size_t n = active.size();
    const std::size_t n_alpha = (options.n_active_electrons + 1) / 2;
    const std::size_t m = microstates.size();
    if (workspace.n_orbitals != n || workspace.n_microstates != m)
        workspace = MeciWorkspace::allocate(n, m);

    // Active integrals from the NDDO pair blocks of this geometry when asked for.
    std::vector<DiatomicPairIntegrals> pairs;
    if (options.use_nddo)
        pairs = precompute_diatomic_pairs(batch, model);
    compute_active_mo_two_electron_integrals(batch, model, eigenvectors, active,
                                             options.use_nddo ? &pairs : nullptr,
                                             workspace.integrals);
    const Tensor g{workspace.integrals, n};
    std::vector<double>& occ = workspace.reference_occupations;
    for (std::size_t p = 0; p < n; ++p)
        occ[p] = p < n_alpha ? 1.0 : 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        double mean_field = 0.0;
        for (std::size_t j = 0; j < n; ++j)
            mean_field += occ[j] * (2.0 * g(i, i, j, j) - g(i, j, i, j));
        workspace.one_electron[i] = orbital_energies[active[i]] - mean_field;
    }
    for (Microstate& state : microstates) {
        state.diagonal_energy =
            diagi(state.alpha, state.beta, workspace.one_electron, workspace.integrals, n);
    }
    for (std::size_t i = 0; i < m; ++i)
        workspace.relative_diagonal[i] =
            microstates[i].diagonal_energy - microstates[0].diagonal_energy;
    build_ci_hamiltonian(microstates, workspace.relative_diagonal, n, occ, workspace.integrals,
                         workspace.ci_matrix);
    // Exact ties (degenerate determinants) are split by a tiny alternating shift so that the
    // eigenvectors of a degenerate level come out in a reproducible basis.
    for (std::size_t k = 0; k < m; ++k) {
        const double shift = static_cast<double>(k + 1) * degeneracy_lift;
        workspace.ci_matrix(k, k) += (k % 2 == 0) ? shift : -shift;
    }
    // The CI matrix is not needed afterwards: it doubles as the eigensolver's work matrix.
    diagonalize_symmetric_with_work(workspace.ci_matrix, workspace.ci_matrix, workspace.eigenvalues,
                                    workspace.eigenvectors);
}

std::vector<Microstate> microstates_for(const MeciOptions& options) {
    const int n_electrons = static_cast<int>(options.n_active_electrons);
    return generate_microstates(options.n_active_orbitals, n_electrons, n_electrons % 2);
}

} // namespace

double compute_ci_root_energy(const MolecularBatch& batch, const ParameterModel& model,
                              const AlignedMatrix& eigenvectors,
                              const AlignedVec64& orbital_energies, const MeciOptions& options,
                              MeciWorkspace& workspace) {
    const std::vector<std::size_t> active = select_active_orbitals(batch, model, options);
    std::vector<Microstate> microstates = microstates_for(options);
    solve_active_space(batch, model, eigenvectors, orbital_energies, options, active, microstates,
                       workspace);
    const std::size_t root = std::clamp<std::size_t>(options.target_root, 1, microstates.size());
    return workspace.eigenvalues[root - 1];
}

MeciResult run_meci(const MolecularBatch& batch, const ParameterModel& model,
                    const AlignedMatrix& eigenvectors, const AlignedVec64& orbital_energies,
                    double scf_electronic_energy_ev, double scf_total_energy_ev,
                    const MeciOptions& options, MeciWorkspace& workspace) {
    MeciResult result;
    result.active_orbitals = select_active_orbitals(batch, model, options);
    result.microstates = microstates_for(options);
    solve_active_space(batch, model, eigenvectors, orbital_energies, options,
                       result.active_orbitals, result.microstates, workspace);
    const std::size_t n = result.active_orbitals.size();
    const std::size_t m = result.microstates.size();
    const std::vector<double>& occ = workspace.reference_occupations;

    const SpinSquaredOperator s2 = build_s2_operator(result.microstates, n);
    separate_degenerate_spins(s2, workspace.eigenvalues, workspace.eigenvectors);
    const double lowest = workspace.eigenvalues[0];
    result.states.resize(m);
    for (std::size_t r = 0; r < m; ++r) {
        CiState& state = result.states[r];
        state.coefficients.resize(m);
        for (std::size_t i = 0; i < m; ++i)
            state.coefficients[i] = workspace.eigenvectors(i, r);
        state.s_squared = std::max(0.0, s2.expectation(workspace.eigenvectors, r, r));
        state.spin = 0.5 * (std::sqrt(4.0 * state.s_squared + 1.0) - 1.0);
        state.multiplicity = static_cast<std::size_t>(std::round(2.0 * state.spin + 1.0));
        state.spin_label = spin_label_for(state.multiplicity);
        state.root = r + 1;
        state.energy_ev = workspace.eigenvalues[r];
        state.excitation_energy_ev = state.energy_ev - lowest;
        state.excitation_energy_cm1 = state.excitation_energy_ev * cm1_per_ev;
        state.wavelength_nm = state.excitation_energy_ev > smallest_excitation_ev
                                  ? hc_ev_nm / state.excitation_energy_ev
                                  : 0.0;
    }

    result.target_root = std::clamp<std::size_t>(options.target_root, 1, m);
    const CiState& target = result.states[result.target_root - 1];
    result.ci_energy_correction_ev = target.energy_ev;
    result.electronic_energy_ev = scf_electronic_energy_ev + target.energy_ev;
    result.total_energy_ev = scf_total_energy_ev + target.energy_ev;
    double atoms_energy = 0.0;
    double atoms_heat = 0.0;
    for (std::uint8_t z : batch.atomic_numbers) {
        const IsolatedAtomReference atom = get_isolated_atom_energy_and_heat(z, model);
        atoms_energy += atom.energy_ev;
        atoms_heat += atom.heat_of_formation_kcal;
    }
    result.heat_of_formation_kcal =
        atoms_heat + (result.total_energy_ev - atoms_energy) * kcal_mol_per_ev;

    AlignedMatrix scf_density(batch.n_orbitals, batch.n_orbitals);
    compute_density_matrix(eigenvectors, count_occupied_orbitals(batch, model), scf_density);
    result.state_density =
        compute_ci_state_density(batch.n_orbitals, eigenvectors, result.active_orbitals,
                                 result.microstates, target.coefficients, occ, scf_density);
    return result;
}

} // namespace quelm
