// Lewis structure of a closed-shell molecule from its geometry.
//
// Bonds: two atoms are bonded when R ≤ 1.2·(r_A + r_B) + 0.2 Å (and R > 0.4 Å). Orders
// come from the ratio D = R/(r_A + r_B): triple below 0.82, double below 0.92, single
// otherwise, and always single to H or a halogen.
//
// Length ratios alone over-bond: CO₂ (D ≈ 0.82) comes out with two triple bonds, benzene
// with six double ones, an amide with C=N and C=O on one carbon. Two corrections keep the
// structure chemical:
//  1. No atom carries more bond order than its element allows (C, N 4; O 3; P 5; S 6)
//     or than it has valence orbitals (4 without d functions):
//     multiple bonds of over-bonded atoms lose one order, longest relative length first,
//     bonds between two over-bonded atoms before the others (which gives the Kekulé
//     pattern of an aromatic ring).
//  2. The lone pairs must make up exactly the valence electrons: after ⌊(v − S)/2⌋ lone
//     pairs per atom, electron pairs still missing go, one per atom, to atoms below an
//     octet, those with an odd electron first (the C of C≡O, the O⁻ of a nitro group or a
//     carboxylate), and a structure with too few electrons loses multiple bonds.

#include "karvel/lewis.hpp"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace quelm {

namespace {

constexpr double bond_scale = 1.2;
constexpr double bond_margin_angstrom = 0.2;
constexpr double closest_bonded_angstrom = 0.4;

bool is_halogen(std::uint8_t z) {
    return z == 9 || z == 17 || z == 35 || z == 53;
}

// The largest total bond order an element takes in neutral closed-shell molecules.
unsigned bond_order_capacity(std::uint8_t z) {
    switch (z) {
    case 1:
    case 3:
    case 9:
    case 11:
        return 1;
    case 2:
    case 10:
    case 18:
        return 0;
    case 4:
    case 12:
        return 2;
    case 5:
    case 6:
    case 7:
    case 13:
    case 14:
        return 4;
    case 8:
        return 3;
    case 15:
    case 33:
        return 5;
    case 16:
    case 34:
        return 6;
    case 17:
    case 35:
    case 53:
        return 7;
    default:
        return 6;
    }
}

// Pauling electronegativity ×10 of the common elements; lone pairs that must be placed
// go to the more electronegative of two candidates.
int electronegativity_rank(std::uint8_t z) {
    switch (z) {
    case 9:
        return 40;
    case 8:
        return 34;
    case 17:
        return 32;
    case 7:
        return 30;
    case 35:
        return 30;
    case 53:
        return 27;
    case 16:
        return 26;
    case 6:
        return 25;
    case 34:
        return 25;
    case 15:
        return 22;
    case 1:
        return 22;
    case 5:
        return 20;
    case 14:
        return 19;
    default:
        return 15;
    }
}

struct Electrons {
    std::vector<unsigned> order_sum;
    std::vector<unsigned> lone_pairs;
};

void count_order_sums(const std::vector<LewisBond>& bonds, std::vector<unsigned>& order_sum) {
    std::fill(order_sum.begin(), order_sum.end(), 0u);
    for (const LewisBond& bond : bonds) {
        order_sum[bond.atom_i] += bond.order;
        order_sum[bond.atom_j] += bond.order;
    }
}

// Correction 1: lowers multiple bonds until no atom exceeds its capacity.
void cap_bond_orders(const MolecularBatch& batch, std::vector<LewisBond>& bonds,
                     std::vector<unsigned>& order_sum) {
    // Longest relative length first; ratios within 0.005 count as equal and keep the
    // bond-list order, so a symmetric ring is treated the same whatever the round-off.
    std::vector<std::size_t> by_length(bonds.size());
    std::iota(by_length.begin(), by_length.end(), 0);
    auto ratio_key = [&](std::size_t k) {
        const LewisBond& b = bonds[k];
        const double sum = covalent_radius(batch.atomic_numbers[b.atom_i]) +
                           covalent_radius(batch.atomic_numbers[b.atom_j]);
        return std::lround(b.distance / sum / 0.005);
    };
    std::stable_sort(by_length.begin(), by_length.end(),
                     [&](std::size_t x, std::size_t y) { return ratio_key(x) > ratio_key(y); });
    // Each σ and π bond takes one orbital of the atom: without d functions a sulfone
    // sulfur (four σ bonds) has none left for π bonds and is written S²⁺(–O⁻)₂.
    auto over = [&](std::size_t atom) {
        const unsigned capacity =
            std::min<unsigned>(bond_order_capacity(batch.atomic_numbers[atom]),
                               std::max<unsigned>(batch.basis_types[atom], 1));
        return order_sum[atom] > capacity;
    };
    for (const bool both_ends : {true, false}) {
        bool changed = true;
        while (changed) {
            changed = false;
            for (const std::size_t k : by_length) {
                LewisBond& bond = bonds[k];
                if (bond.order < 2)
                    continue;
                const bool i_over = over(bond.atom_i);
                const bool j_over = over(bond.atom_j);
                if (both_ends ? (i_over && j_over) : (i_over || j_over)) {
                    --bond.order;
                    --order_sum[bond.atom_i];
                    --order_sum[bond.atom_j];
                    changed = true;
                }
            }
        }
    }
}

// ⌊(v − S)/2⌋, but no more than the atom has orbitals left after its bonds.
unsigned default_lone_pairs(unsigned valence, unsigned order_sum, unsigned n_orbitals) {
    const unsigned pairs = valence >= order_sum ? (valence - order_sum) / 2 : 0;
    if (n_orbitals == 1 || order_sum >= n_orbitals)
        return n_orbitals == 1 && order_sum == 0 ? std::min(pairs, 1u) : 0;
    return std::min(pairs, n_orbitals - order_sum);
}

// Correction 2: lone pairs so that 2·(Σ orders + Σ lone pairs) is the electron count.
void balance_electrons(const MolecularBatch& batch, std::vector<LewisBond>& bonds, Electrons& e) {
    const std::size_t n = batch.n_atoms;
    long total_valence = 0;
    for (std::size_t a = 0; a < n; ++a)
        total_valence += valence_electrons(batch.atomic_numbers[a]);
    if (total_valence % 2 != 0)
        return; // an odd electron count has no closed-shell structure to balance towards
    auto pairs_placed = [&] {
        long placed = 0;
        for (const LewisBond& bond : bonds)
            placed += bond.order;
        for (const unsigned lp : e.lone_pairs)
            placed += lp;
        return placed;
    };
    auto refresh_lone_pairs = [&](std::size_t atom) {
        e.lone_pairs[atom] = default_lone_pairs(valence_electrons(batch.atomic_numbers[atom]),
                                                e.order_sum[atom], batch.basis_types[atom]);
    };

    // Too many pairs: only multiple bonds can give some back.
    while (pairs_placed() > total_valence / 2) {
        std::size_t chosen = bonds.size();
        double longest = -1.0;
        for (std::size_t k = 0; k < bonds.size(); ++k) {
            const LewisBond& b = bonds[k];
            const double ratio = b.distance / (covalent_radius(batch.atomic_numbers[b.atom_i]) +
                                               covalent_radius(batch.atomic_numbers[b.atom_j]));
            if (b.order > 1 && ratio > longest + 1e-9) {
                longest = ratio;
                chosen = k;
            }
        }
        if (chosen == bonds.size())
            return;
        LewisBond& bond = bonds[chosen];
        --bond.order;
        --e.order_sum[bond.atom_i];
        --e.order_sum[bond.atom_j];
        refresh_lone_pairs(bond.atom_i);
        refresh_lone_pairs(bond.atom_j);
    }

    // Missing pairs: one more lone pair on an atom below its octet.
    long missing = total_valence / 2 - pairs_placed();
    while (missing > 0) {
        std::size_t chosen = n;
        int best_score = -1;
        for (std::size_t a = 0; a < n; ++a) {
            const std::uint8_t z = batch.atomic_numbers[a];
            const unsigned room = std::min<unsigned>(4, batch.basis_types[a]);
            if (z == 1 || e.order_sum[a] + e.lone_pairs[a] >= room)
                continue;
            const long left = static_cast<long>(valence_electrons(z)) -
                              static_cast<long>(e.order_sum[a]) - 2L * e.lone_pairs[a];
            const int score = (left == 1 ? 100 : 0) + electronegativity_rank(z);
            if (score > best_score) {
                best_score = score;
                chosen = a;
            }
        }
        if (chosen == n)
            return;
        ++e.lone_pairs[chosen];
        --missing;
    }
}

} // namespace

double covalent_radius(std::uint8_t z) {
    switch (z) {
    case 1:
        return 0.31;
    case 2:
        return 0.28;
    case 3:
        return 1.28;
    case 4:
        return 0.96;
    case 5:
        return 0.84;
    case 6:
        return 0.76;
    case 7:
        return 0.71;
    case 8:
        return 0.66;
    case 9:
        return 0.57;
    case 10:
        return 0.58;
    case 11:
        return 1.66;
    case 12:
        return 1.41;
    case 13:
        return 1.21;
    case 14:
        return 1.11;
    case 15:
        return 1.07;
    case 16:
        return 1.05;
    case 17:
        return 1.02;
    case 18:
        return 1.06;
    case 30:
        return 1.22;
    case 53:
        return 1.39;
    default:
        return 1.2;
    }
}

unsigned valence_electrons(std::uint8_t z) {
    // Noble-gas cores: 2, 10, 18, 36, 54, 86. Main groups count s and p electrons; the
    // d-block counts s and d (a closed d shell, Zn/Cd/Hg, leaves the two s electrons);
    // lanthanides and heavier elements fall back to 3.
    if (z == 0)
        return 0;
    if (z <= 2)
        return z;
    if (z <= 10)
        return z - 2u;
    if (z <= 18)
        return z - 10u;
    if (z <= 36) {
        const unsigned k = z - 18u; // 1 K … 18 Kr
        if (k <= 11)
            return k; // K 1, Ca 2, Sc 3 … Cu 11
        if (k == 12)
            return 2;   // Zn
        return k - 10u; // Ga 3 … Kr 8
    }
    if (z <= 54) {
        const unsigned k = z - 36u;
        if (k <= 11)
            return k;
        if (k == 12)
            return 2;
        return k - 10u;
    }
    if (z <= 56)
        return z - 54u;
    if (z >= 72 && z <= 86) {
        const unsigned k = z - 68u; // Hf 4 … Au 11, Hg 12, Tl 13 … Rn 18
        if (k <= 11)
            return k;
        if (k == 12)
            return 2;
        return k - 10u;
    }
    return 3;
}

LewisStructure construct_lewis_structure(const MolecularBatch& batch) {
    const std::size_t n = batch.n_atoms;
    LewisStructure lewis;
    lewis.bond_counts.assign(n, 0);
    for (std::size_t j = 0; j < n; ++j) {
        const std::uint8_t z_j = batch.atomic_numbers[j];
        for (std::size_t k = j + 1; k < n; ++k) {
            const std::uint8_t z_k = batch.atomic_numbers[k];
            const double r = batch.distance(j, k);
            const double radii = covalent_radius(z_j) + covalent_radius(z_k);
            if (r <= closest_bonded_angstrom || r > radii * bond_scale + bond_margin_angstrom)
                continue;
            unsigned order = 1;
            if (z_j != 1 && z_k != 1 && !is_halogen(z_j) && !is_halogen(z_k)) {
                const double ratio = r / radii;
                order = ratio < 0.82 ? 3 : ratio < 0.92 ? 2 : 1;
            }
            lewis.bonds.push_back({j, k, order, r});
            ++lewis.bond_counts[j];
            ++lewis.bond_counts[k];
        }
    }

    Electrons e;
    e.order_sum.assign(n, 0);
    e.lone_pairs.assign(n, 0);
    count_order_sums(lewis.bonds, e.order_sum);
    if (lewis.bonds.empty()) {
        for (std::size_t a = 0; a < n; ++a)
            e.lone_pairs[a] = valence_electrons(batch.atomic_numbers[a]) / 2;
    } else {
        cap_bond_orders(batch, lewis.bonds, e.order_sum);
        for (std::size_t a = 0; a < n; ++a)
            e.lone_pairs[a] = default_lone_pairs(valence_electrons(batch.atomic_numbers[a]),
                                                 e.order_sum[a], batch.basis_types[a]);
        balance_electrons(batch, lewis.bonds, e);
    }

    lewis.lone_pairs.reserve(n);
    lewis.unpaired.reserve(n);
    for (std::size_t a = 0; a < n; ++a) {
        lewis.lone_pairs.emplace_back(a, e.lone_pairs[a]);
        const long left = static_cast<long>(valence_electrons(batch.atomic_numbers[a])) -
                          static_cast<long>(e.order_sum[a]) - 2L * e.lone_pairs[a];
        lewis.unpaired.push_back(static_cast<std::int8_t>(std::clamp(left, -4L, 4L)));
    }
    return lewis;
}

} // namespace quelm
