// Bond charge corrections on top of Mulliken charges.
//
// Each Lewis bond moves a fixed amount of charge Δ from one atom to the other: the table
// is written for one orientation (A, B) — Δ is added to A and taken from B — and read in
// the other orientation with the opposite sign, so every correction sums to zero and the
// molecular charge is untouched.
//
// Equivalent atoms: a Lewis structure picks one of the equivalent forms of a carboxylate,
// a nitro group or a pyridine ring (one C=O, one C–O⁻), and one geometry gives the three
// hydrogens of a methyl group different Mulliken charges. Charges and corrections are
// averaged over topologically equivalent atoms, so such atoms get one charge.

#include "properties/am1_bcc.hpp"

#include "karvel/lewis.hpp"

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <utility>

namespace quelm {

namespace {

// The table in its listed orientation (A = z_a with class_a); nullopt-like 0 with
// `listed` false when the pair is not listed this way round.
double listed_delta(std::uint8_t z_a, Hybridization class_a, std::uint8_t z_b,
                    Hybridization class_b, unsigned order, bool& listed) {
    listed = true;
    const bool aromatic = class_a == Hybridization::aromatic;
    if (z_a == 6) {
        switch (z_b) {
        case 1:
            switch (class_a) {
            case Hybridization::sp3:
                return -0.0487;
            case Hybridization::sp2:
                return -0.0435;
            case Hybridization::sp:
                return -0.0768;
            case Hybridization::aromatic:
                return -0.0407;
            case Hybridization::terminal:
                return -0.0487;
            }
            return 0.0;
        case 6:
            if (class_a != Hybridization::sp3)
                break;
            if (class_b == Hybridization::sp2)
                return -0.012;
            if (class_b == Hybridization::sp)
                return -0.025;
            if (class_b == Hybridization::aromatic)
                return -0.015;
            break;
        case 7:
            if (order == 2)
                return 0.092;
            if (order == 3)
                return 0.132;
            return aromatic ? 0.038 : 0.045;
        case 8:
            if (order == 2)
                return 0.134;
            return aromatic ? 0.065 : 0.075;
        case 9:
            return aromatic ? 0.125 : 0.142;
        case 17:
            return aromatic ? 0.068 : 0.082;
        case 35:
            return aromatic ? 0.051 : 0.061;
        case 53:
            return aromatic ? 0.035 : 0.042;
        case 16:
            return order == 2 ? 0.055 : 0.022;
        default:
            break;
        }
    } else if (z_b == 1) {
        if (z_a == 7)
            return -0.046;
        if (z_a == 8)
            return -0.062;
        if (z_a == 16)
            return -0.021;
    } else if (z_b == 8) {
        if (z_a == 7)
            return order == 2 ? 0.11 : 0.06;
        if (z_a == 15)
            return 0.12;
        if (z_a == 16)
            return 0.115;
    }
    listed = false;
    return 0.0;
}

// Atoms on six-membered rings whose members all have at most three bonds, found by a
// depth-five walk from every carbon and nitrogen. (Every start atom is tried in both
// directions, so the rings found do not depend on the atom order.)
std::vector<bool> find_aromatic_atoms(const MolecularBatch& batch,
                                      const std::vector<std::vector<std::size_t>>& adjacency,
                                      const std::vector<unsigned>& bond_counts) {
    std::vector<bool> aromatic(batch.n_atoms, false);
    auto small = [&](std::size_t x) { return bond_counts[x] <= 3; };
    for (std::size_t a = 0; a < batch.n_atoms; ++a) {
        const std::uint8_t z = batch.atomic_numbers[a];
        if ((z != 6 && z != 7) || !small(a))
            continue;
        for (const std::size_t b : adjacency[a]) {
            if (!small(b))
                continue;
            for (const std::size_t c : adjacency[b]) {
                if (c == a || !small(c))
                    continue;
                for (const std::size_t d : adjacency[c]) {
                    if (d == a || d == b || !small(d))
                        continue;
                    for (const std::size_t e : adjacency[d]) {
                        if (e == a || e == b || e == c || !small(e))
                            continue;
                        for (const std::size_t f : adjacency[e]) {
                            if (f == a || f == b || f == c || f == d || !small(f))
                                continue;
                            bool closes = false;
                            for (const std::size_t g : adjacency[f])
                                closes = closes || g == a;
                            if (!closes)
                                continue;
                            for (const std::size_t member : {a, b, c, d, e, f})
                                aromatic[member] = true;
                        }
                    }
                }
            }
        }
    }
    return aromatic;
}

// Colour refinement (Weisfeiler–Lehman) of the bond graph, started from the elements.
std::vector<std::size_t> equivalence_classes(const MolecularBatch& batch) {
    const LewisStructure lewis = construct_lewis_structure(batch);
    std::vector<std::vector<std::size_t>> adjacency(batch.n_atoms);
    for (const LewisBond& bond : lewis.bonds) {
        adjacency[bond.atom_i].push_back(bond.atom_j);
        adjacency[bond.atom_j].push_back(bond.atom_i);
    }
    std::vector<std::size_t> colour(batch.atomic_numbers.begin(), batch.atomic_numbers.end());
    std::size_t n_colours = 0;
    for (;;) {
        std::map<std::pair<std::size_t, std::vector<std::size_t>>, std::size_t> names;
        std::vector<std::size_t> next(batch.n_atoms);
        for (std::size_t a = 0; a < batch.n_atoms; ++a) {
            std::vector<std::size_t> around;
            for (const std::size_t b : adjacency[a])
                around.push_back(colour[b]);
            std::sort(around.begin(), around.end());
            const auto key = std::make_pair(colour[a], std::move(around));
            const auto it = names.emplace(key, names.size()).first;
            next[a] = it->second;
        }
        colour = std::move(next);
        if (names.size() == n_colours)
            return colour;
        n_colours = names.size();
    }
}

} // namespace

std::vector<double> average_over_equivalent_atoms(const MolecularBatch& batch,
                                                  std::span<const double> values) {
    const std::vector<std::size_t> colour = equivalence_classes(batch);
    std::vector<double> sum(batch.n_atoms, 0.0);
    std::vector<double> count(batch.n_atoms, 0.0);
    for (std::size_t a = 0; a < batch.n_atoms; ++a) {
        sum[colour[a]] += values[a];
        count[colour[a]] += 1.0;
    }
    std::vector<double> averaged(batch.n_atoms);
    for (std::size_t a = 0; a < batch.n_atoms; ++a)
        averaged[a] = sum[colour[a]] / count[colour[a]];
    return averaged;
}

double lookup_bcc_delta(std::uint8_t z_i, Hybridization class_i, std::uint8_t z_j,
                        Hybridization class_j, unsigned order) {
    bool listed = false;
    const double forward = listed_delta(z_i, class_i, z_j, class_j, order, listed);
    if (listed)
        return forward;
    return -listed_delta(z_j, class_j, z_i, class_i, order, listed);
}

std::vector<Hybridization> classify_hybridization(const MolecularBatch& batch) {
    const LewisStructure lewis = construct_lewis_structure(batch);
    std::vector<std::vector<std::size_t>> adjacency(batch.n_atoms);
    for (const LewisBond& bond : lewis.bonds) {
        adjacency[bond.atom_i].push_back(bond.atom_j);
        adjacency[bond.atom_j].push_back(bond.atom_i);
    }
    const std::vector<bool> aromatic = find_aromatic_atoms(batch, adjacency, lewis.bond_counts);
    std::vector<Hybridization> classes(batch.n_atoms, Hybridization::sp3);
    for (std::size_t a = 0; a < batch.n_atoms; ++a) {
        const unsigned n_bonds = lewis.bond_counts[a];
        if (aromatic[a])
            classes[a] = Hybridization::aromatic;
        else if (n_bonds < 2)
            classes[a] = Hybridization::terminal;
        else if (n_bonds == 3)
            classes[a] = Hybridization::sp2;
        else if (n_bonds == 2)
            classes[a] = Hybridization::sp;
    }
    return classes;
}

Result<Am1BccResult> compute_am1_bcc_charges(const MolecularBatch& batch,
                                             std::span<const double> initial_charges) {
    if (initial_charges.size() != batch.n_atoms) {
        return Error{"Mismatch between initial charges length (" +
                     std::to_string(initial_charges.size()) + ") and number of atoms (" +
                     std::to_string(batch.n_atoms) + ")"};
    }
    const LewisStructure lewis = construct_lewis_structure(batch);
    const std::vector<Hybridization> classes = classify_hybridization(batch);

    std::vector<double> deltas(lewis.bonds.size());
    for (std::size_t k = 0; k < lewis.bonds.size(); ++k) {
        const LewisBond& b = lewis.bonds[k];
        deltas[k] = lookup_bcc_delta(batch.atomic_numbers[b.atom_i], classes[b.atom_i],
                                     batch.atomic_numbers[b.atom_j], classes[b.atom_j], b.order);
    }
    Am1BccResult result;
    result.initial_charges.assign(initial_charges.begin(), initial_charges.end());
    std::vector<double> corrections(batch.n_atoms, 0.0);
    for (std::size_t k = 0; k < lewis.bonds.size(); ++k) {
        corrections[lewis.bonds[k].atom_i] += deltas[k];
        corrections[lewis.bonds[k].atom_j] -= deltas[k];
    }
    result.bond_charge_corrections = average_over_equivalent_atoms(batch, corrections);
    result.bcc_charges.resize(batch.n_atoms);
    for (std::size_t a = 0; a < batch.n_atoms; ++a) {
        result.bcc_charges[a] = result.initial_charges[a] + result.bond_charge_corrections[a];
        result.total_charge += result.bcc_charges[a];
    }
    return result;
}

} // namespace quelm
