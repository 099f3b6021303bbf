// Directed hybrids and initial LMOs.
//
// A bond hybrid points from its atom to the bonded partner with s weight a = √(1/(n_b +
// n_lp)) (sp³ for four electron domains, sp² for three, sp for two); the bond hybrids
// of one atom are made orthonormal by Löwdin's symmetric transformation, which moves
// each as little as possible. The rest of the atom's AO space (Gram–Schmidt completion
// of s, px, py, pz, d) is split into the s-rich remainder, which belongs to a lone pair
// (or stays empty), and s-free p combinations, which carry π bonds: the first of them is
// turned towards the normal of the bond plane so that the two halves of a π bond meet
// side on.

#include "karvel/hybrid.hpp"

#include "scf/eigensolver.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>

namespace quelm {

namespace {

constexpr double inv_sqrt2 = 0.7071067811865476;
constexpr double norm_floor = 1e-14;
constexpr double completion_floor = 1e-4;

using Vector = std::vector<double>;

double dot(const Vector& x, const Vector& y) {
    double sum = 0.0;
    for (std::size_t k = 0; k < std::min(x.size(), y.size()); ++k)
        sum += x[k] * y[k];
    return sum;
}

bool normalise(Vector& v, double floor) {
    const double norm = std::sqrt(dot(v, v));
    if (norm <= floor)
        return false;
    for (double& c : v)
        c /= norm;
    return true;
}

// v minus its projections on the (orthonormal) vectors of `basis`.
void project_out(Vector& v, const std::vector<Vector>& basis) {
    for (const Vector& b : basis) {
        const double overlap = dot(v, b);
        for (std::size_t k = 0; k < v.size(); ++k)
            v[k] -= overlap * b[k];
    }
}

std::array<double, 3> unit_vector(const MolecularBatch& batch, std::size_t from, std::size_t to) {
    const Coordinate a = batch.position(from);
    const Coordinate b = batch.position(to);
    std::array<double, 3> u{b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    const double r = std::max(std::sqrt(u[0] * u[0] + u[1] * u[1] + u[2] * u[2]), 1e-12);
    for (double& c : u)
        c /= r;
    return u;
}

std::array<double, 3> cross(const std::array<double, 3>& x, const std::array<double, 3>& y) {
    return {x[1] * y[2] - x[2] * y[1], x[2] * y[0] - x[0] * y[2], x[0] * y[1] - x[1] * y[0]};
}

// Symmetric orthonormalisation of two or more bond hybrids.
void lowdin_orthonormalise(std::vector<Vector>& hybrids) {
    const std::size_t m = hybrids.size();
    AlignedMatrix overlap(m, m);
    for (std::size_t i = 0; i < m; ++i) {
        for (std::size_t j = 0; j < m; ++j)
            overlap(i, j) = dot(hybrids[i], hybrids[j]);
    }
    AlignedVec64 values(m);
    AlignedMatrix vectors(m, m);
    diagonalize_symmetric(overlap, values, vectors);
    std::vector<Vector> result(m, Vector(hybrids[0].size(), 0.0));
    for (std::size_t i = 0; i < m; ++i) {
        for (std::size_t j = 0; j < m; ++j) {
            double x_ij = 0.0; // (S^−½)_ij
            for (std::size_t k = 0; k < m; ++k)
                x_ij += vectors(i, k) * vectors(j, k) / std::sqrt(std::max(values[k], 1e-8));
            for (std::size_t c = 0; c < result[i].size(); ++c)
                result[i][c] += x_ij * hybrids[j][c];
        }
        normalise(result[i], norm_floor);
    }
    hybrids = std::move(result);
}

// The direction a π hybrid of `atom` should take: the normal of the plane of its own
// first two bonds, or of the plane its first multiple bond shares with the partner's
// other bonds; zero when every such plane is degenerate (a linear chain).
std::array<double, 3> pi_reference(const MolecularBatch& batch, const LewisStructure& lewis,
                                   std::size_t atom, const std::vector<std::size_t>& own_bonds) {
    auto partner = [&](const LewisBond& b, std::size_t self) {
        return b.atom_i == self ? b.atom_j : b.atom_i;
    };
    auto usable = [](const std::array<double, 3>& n) {
        return n[0] * n[0] + n[1] * n[1] + n[2] * n[2] > 1e-4;
    };
    if (own_bonds.size() >= 2) {
        const auto n = cross(unit_vector(batch, atom, partner(lewis.bonds[own_bonds[0]], atom)),
                             unit_vector(batch, atom, partner(lewis.bonds[own_bonds[1]], atom)));
        if (usable(n))
            return n;
    }
    for (const std::size_t k : own_bonds) {
        if (lewis.bonds[k].order < 2)
            continue;
        const std::size_t other = partner(lewis.bonds[k], atom);
        for (std::size_t q = 0; q < lewis.bonds.size(); ++q) {
            if (q == k || (lewis.bonds[q].atom_i != other && lewis.bonds[q].atom_j != other))
                continue;
            const auto n = cross(unit_vector(batch, other, atom),
                                 unit_vector(batch, other, partner(lewis.bonds[q], other)));
            if (usable(n))
                return n;
        }
    }
    return {0.0, 0.0, 0.0};
}

// Orders the completion vectors as [π candidates (s-free, the first along `reference`),
// s-rich remainder, further s-free vectors] so that π bonds get pure p functions and a
// lone pair the s-rich hybrid.
std::vector<Vector> order_completions(std::vector<Vector> completions,
                                      const std::array<double, 3>& reference, std::size_t n_pi) {
    const std::size_t m = completions.size();
    if (m < 2 || completions[0].size() < 4)
        return completions;
    Vector s_rich(completions[0].size(), 0.0);
    for (const Vector& c : completions) {
        for (std::size_t k = 0; k < s_rich.size(); ++k)
            s_rich[k] += c[0] * c[k];
    }
    if (!normalise(s_rich, 1e-6))
        return completions; // no s left: the completions are p (and d) functions already

    std::vector<Vector> s_free;
    std::vector<Vector> accepted{s_rich};
    if (n_pi > 0) {
        // The reference direction projected into the completion space, s removed.
        Vector along(s_rich.size(), 0.0);
        for (const Vector& c : completions) {
            const double weight = c[1] * reference[0] + c[2] * reference[1] + c[3] * reference[2];
            for (std::size_t k = 0; k < along.size(); ++k)
                along[k] += weight * c[k];
        }
        project_out(along, accepted);
        if (normalise(along, 1e-3)) {
            s_free.push_back(along);
            accepted.push_back(along);
        }
    }
    for (Vector c : completions) {
        project_out(c, accepted);
        if (normalise(c, completion_floor)) {
            s_free.push_back(c);
            accepted.push_back(c);
        }
    }
    std::vector<Vector> ordered;
    const std::size_t leading = std::min(n_pi, s_free.size());
    ordered.insert(ordered.end(), s_free.begin(), s_free.begin() + static_cast<long>(leading));
    ordered.push_back(s_rich);
    ordered.insert(ordered.end(), s_free.begin() + static_cast<long>(leading), s_free.end());
    return ordered;
}

HybridAtomicOrbital hybrid_on(std::size_t atom, Vector coeffs) {
    return {std::move(coeffs), atom};
}

Lmo one_centre_lmo(const MolecularBatch& batch, const HybridAtomicOrbital& h, std::size_t index,
                   LmoType type, double energy, bool occupied) {
    Lmo lmo;
    lmo.atom_indices = {h.atom};
    const std::size_t first = batch.orbital_offsets[h.atom];
    for (std::size_t k = 0; k < h.coeffs.size(); ++k)
        lmo.ao_indices.push_back(first + k);
    lmo.coeffs = h.coeffs;
    lmo.index = index;
    lmo.energy = energy;
    lmo.lmo_type = type;
    lmo.is_occupied = occupied;
    return lmo;
}

// (h_A, sign·h_B)/√2 on A's AOs then B's.
Lmo two_centre_lmo(const MolecularBatch& batch, const HybridAtomicOrbital& h_a,
                   const HybridAtomicOrbital& h_b, double sign, std::size_t index, LmoType type,
                   double energy, bool occupied) {
    Lmo lmo;
    lmo.atom_indices = {h_a.atom, h_b.atom};
    const std::size_t first_a = batch.orbital_offsets[h_a.atom];
    const std::size_t first_b = batch.orbital_offsets[h_b.atom];
    for (std::size_t k = 0; k < h_a.coeffs.size(); ++k) {
        lmo.ao_indices.push_back(first_a + k);
        lmo.coeffs.push_back(h_a.coeffs[k] * inv_sqrt2);
    }
    for (std::size_t k = 0; k < h_b.coeffs.size(); ++k) {
        lmo.ao_indices.push_back(first_b + k);
        lmo.coeffs.push_back(sign * h_b.coeffs[k] * inv_sqrt2);
    }
    lmo.index = index;
    lmo.energy = energy;
    lmo.lmo_type = type;
    lmo.is_occupied = occupied;
    return lmo;
}

} // namespace

AtomHybrids construct_atom_hybrids(const MolecularBatch& batch, const LewisStructure& lewis,
                                   std::size_t atom) {
    AtomHybrids hybrids;
    const std::size_t n_ao = batch.basis_types[atom];
    if (n_ao == 1) {
        hybrids.bond_hybrids.push_back(hybrid_on(atom, {1.0}));
        return hybrids;
    }
    std::vector<std::size_t> own_bonds;
    std::size_t n_pi = 0;
    for (std::size_t k = 0; k < lewis.bonds.size(); ++k) {
        if (lewis.bonds[k].atom_i == atom || lewis.bonds[k].atom_j == atom) {
            own_bonds.push_back(k);
            n_pi += lewis.bonds[k].order - 1;
        }
    }
    const std::size_t n_lp = lewis.lone_pairs[atom].second;
    const std::size_t domains = own_bonds.size() + n_lp;
    const double a = domains == 0 ? 0.5 : std::sqrt(1.0 / static_cast<double>(domains));
    const double b = std::sqrt(std::max(0.0, 1.0 - a * a));

    std::vector<Vector> bond_vectors;
    for (const std::size_t k : own_bonds) {
        const LewisBond& bond = lewis.bonds[k];
        const auto u = unit_vector(batch, atom, bond.atom_i == atom ? bond.atom_j : bond.atom_i);
        Vector h(n_ao, 0.0);
        h[0] = a;
        h[1] = b * u[0];
        h[2] = b * u[1];
        h[3] = b * u[2];
        normalise(h, norm_floor);
        bond_vectors.push_back(std::move(h));
    }
    if (bond_vectors.size() >= 2)
        lowdin_orthonormalise(bond_vectors);

    std::vector<Vector> accepted = bond_vectors;
    std::vector<Vector> completions;
    for (std::size_t k = 0; k < n_ao; ++k) {
        Vector e(n_ao, 0.0);
        e[k] = 1.0;
        project_out(e, accepted);
        if (normalise(e, completion_floor)) {
            accepted.push_back(e);
            completions.push_back(std::move(e));
        }
    }
    completions = order_completions(std::move(completions),
                                    pi_reference(batch, lewis, atom, own_bonds), n_pi);

    for (Vector& h : bond_vectors)
        hybrids.bond_hybrids.push_back(hybrid_on(atom, std::move(h)));
    for (std::size_t k = 0; k < completions.size(); ++k) {
        HybridAtomicOrbital h = hybrid_on(atom, std::move(completions[k]));
        if (k < n_pi)
            hybrids.pi_hybrids.push_back(std::move(h));
        else if (k < n_pi + n_lp)
            hybrids.lone_pair_hybrids.push_back(std::move(h));
        else
            hybrids.virtual_hybrids.push_back(std::move(h));
    }
    return hybrids;
}

Result<InitialLmos> construct_initial_lmos(const MolecularBatch& batch,
                                           const LewisStructure& lewis) {
    const std::size_t n = batch.n_atoms;
    // One-orbital atoms first: a bridging hydrogen is the usual cause, and naming it says
    // more than naming the over-bonded heavy atom next to it.
    for (const bool single_orbital : {true, false}) {
        for (std::size_t atom = 0; atom < n; ++atom) {
            const unsigned n_bonds = lewis.bond_counts[atom];
            if ((batch.basis_types[atom] == 1) != single_orbital ||
                n_bonds <= batch.basis_types[atom]) {
                continue;
            }
            return Error{"Atom " + std::to_string(atom) +
                         " (Z=" + std::to_string(batch.atomic_numbers[atom]) + ") has " +
                         std::to_string(n_bonds) + " bonds but " +
                         std::to_string(batch.basis_types[atom]) +
                         " valence orbitals: a multi-centre bond has no Lewis structure of "
                         "two-centre bonds"};
        }
    }
    std::vector<AtomHybrids> hybrids;
    hybrids.reserve(n);
    for (std::size_t atom = 0; atom < n; ++atom)
        hybrids.push_back(construct_atom_hybrids(batch, lewis, atom));

    InitialLmos lmos;
    std::size_t c = 0;
    std::vector<std::size_t> bond_counter(n, 0);
    std::vector<std::size_t> pi_counter(n, 0);
    for (const LewisBond& bond : lewis.bonds) {
        const std::size_t a = bond.atom_i;
        const std::size_t b = bond.atom_j;
        const HybridAtomicOrbital& h_a = hybrids[a].bond_hybrids[bond_counter[a]++];
        const HybridAtomicOrbital& h_b = hybrids[b].bond_hybrids[bond_counter[b]++];
        lmos.occupied.push_back(
            two_centre_lmo(batch, h_a, h_b, 1.0, c, LmoType::bonding_sigma, -12.0, true));
        lmos.virtual_lmos.push_back(
            two_centre_lmo(batch, h_a, h_b, -1.0, c + 1, LmoType::antibonding_sigma, 4.0, false));
        c += 2;
        for (unsigned k = 1; k < bond.order; ++k) {
            if (pi_counter[a] >= hybrids[a].pi_hybrids.size() ||
                pi_counter[b] >= hybrids[b].pi_hybrids.size()) {
                continue;
            }
            const HybridAtomicOrbital& p_a = hybrids[a].pi_hybrids[pi_counter[a]++];
            const HybridAtomicOrbital& p_b = hybrids[b].pi_hybrids[pi_counter[b]++];
            const double s = dot(p_a.coeffs, p_b.coeffs) >= 0.0 ? 1.0 : -1.0;
            lmos.occupied.push_back(
                two_centre_lmo(batch, p_a, p_b, s, c, LmoType::bonding_pi, -9.0, true));
            lmos.virtual_lmos.push_back(
                two_centre_lmo(batch, p_a, p_b, -s, c + 1, LmoType::antibonding_pi, 2.0, false));
            c += 2;
        }
    }
    for (std::size_t atom = 0; atom < n; ++atom) {
        const std::size_t wanted = lewis.lone_pairs[atom].second;
        const auto& lone = hybrids[atom].lone_pair_hybrids;
        for (std::size_t k = 0; k < std::min(wanted, lone.size()); ++k)
            lmos.occupied.push_back(
                one_centre_lmo(batch, lone[k], c++, LmoType::lone_pair, -10.0, true));
    }
    for (std::size_t atom = 0; atom < n; ++atom) {
        const auto& pi = hybrids[atom].pi_hybrids;
        for (std::size_t k = pi_counter[atom]; k < pi.size(); ++k)
            lmos.virtual_lmos.push_back(
                one_centre_lmo(batch, pi[k], c++, LmoType::virtual_hybrid, 5.0, false));
        for (const HybridAtomicOrbital& h : hybrids[atom].virtual_hybrids)
            lmos.virtual_lmos.push_back(
                one_centre_lmo(batch, h, c++, LmoType::virtual_hybrid, 6.0, false));
    }
    return lmos;
}

std::string_view lmo_type_name(LmoType type) {
    switch (type) {
    case LmoType::bonding_sigma:
        return "BondingSigma";
    case LmoType::antibonding_sigma:
        return "AntibondingSigma";
    case LmoType::bonding_pi:
        return "BondingPi";
    case LmoType::antibonding_pi:
        return "AntibondingPi";
    case LmoType::lone_pair:
        return "LonePair";
    case LmoType::core:
        return "Core";
    case LmoType::virtual_hybrid:
        return "VirtualHybrid";
    case LmoType::conjugated_pi:
        return "ConjugatedPi";
    }
    return "BondingSigma";
}

} // namespace quelm
