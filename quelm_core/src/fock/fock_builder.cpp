// The closed-shell Fock matrix F = H + G(P), rebuilt every SCF iteration.
//
// G follows the closed-shell rule F_μν += Σ P_λσ·[(μν|λσ) − ½(μλ|νσ)] over the integrals
// NDDO keeps: one-centre terms (one_center_terms.cpp) and, for each atom pair A–B, the
// Coulomb terms (μν|λσ) with μ, ν on A and λ, σ on B, and the exchange terms they imply
// between A and B. The pair records hold (μν|λσ) once per unordered orbital pair of each
// atom, so the density of B is packed the same way (off-diagonal pairs counted twice,
// for λσ and σλ) and the Coulomb term on A becomes a mat-vec w·P_B over contiguous rows.
//
// The simplified model replaces every two-centre integral by one Klopman–Ohno γAB per
// atom pair: (μν|λσ) = δμν·δλσ·γAB.

#include "fock/fock_builder.hpp"

#include "types/internal_error.hpp"
#include "types/physical_constants.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quelm {

namespace {

constexpr std::size_t max_orbitals_per_atom = 9;
constexpr std::size_t max_orbital_pairs = orbital_pair_count(max_orbitals_per_atom);

// The two orbitals (i ≥ j) of each lower-triangle orbital pair index.
struct OrbitalPair {
    std::uint8_t i = 0;
    std::uint8_t j = 0;
};

constexpr std::array<OrbitalPair, max_orbital_pairs> orbital_pairs = [] {
    std::array<OrbitalPair, max_orbital_pairs> table{};
    for (std::uint8_t i = 0; i < max_orbitals_per_atom; ++i) {
        for (std::uint8_t j = 0; j <= i; ++j)
            table[orbital_pair_index(i, j)] = {i, j};
    }
    return table;
}();

void copy_core_hamiltonian(const MolecularBatch& batch, const AlignedMatrix& hcore,
                           const AlignedMatrix& density, AlignedMatrix& fock) {
    require_shape(fock, batch.n_orbitals, "Fock");
    require_shape(hcore, batch.n_orbitals, "Core Hamiltonian");
    require_shape(density, batch.n_orbitals, "Density");
    if (fock.size() != 0)
        std::memcpy(fock.data(), hcore.data(), fock.size() * sizeof(double));
}

// A record must fit the matrices and its own arrays; anything else is a broken cache.
void require_consistent_record(const DiatomicPairIntegrals& pair, std::size_t n_orbitals) {
    const std::size_t n_a = pair.n_orbitals_a;
    const std::size_t n_b = pair.n_orbitals_b;
    if (n_a == 0 || n_b == 0 || n_a > max_orbitals_per_atom || n_b > max_orbitals_per_atom ||
        pair.first_orbital_a + n_a > n_orbitals || pair.first_orbital_b + n_b > n_orbitals) {
        throw InternalError("Pair record (" + std::to_string(pair.atom_a) + ", " +
                            std::to_string(pair.atom_b) + ") lies outside the " +
                            std::to_string(n_orbitals) + "-orbital basis");
    }
    const bool blocks_overlap = pair.first_orbital_a < pair.first_orbital_b + n_b &&
                                pair.first_orbital_b < pair.first_orbital_a + n_a;
    if (blocks_overlap) {
        throw InternalError("Pair record (" + std::to_string(pair.atom_a) + ", " +
                            std::to_string(pair.atom_b) + ") has overlapping orbital blocks");
    }
    const std::size_t needed = orbital_pair_count(n_a) * orbital_pair_count(n_b);
    if (pair.w.size() < needed)
        throw InternalError(size_mismatch("Pair integrals", pair.w.size(), needed));
}

// Density of one atom's block packed by orbital pair: P_ii once, P_ij + P_ji for i > j,
// so a sum over packed pairs equals the sum over all ordered (λ, σ).
void pack_block_density(const AlignedMatrix& density, std::size_t first, std::size_t n,
                        double* packed) {
    for (std::size_t i = 0; i < n; ++i) {
        const double* row = density.row(first + i) + first;
        for (std::size_t j = 0; j < i; ++j)
            packed[orbital_pair_index(i, j)] = row[j] + density(first + j, first + i);
        packed[orbital_pair_index(i, i)] = row[i];
    }
}

// Adds a value per orbital pair into one atom's block, both triangles.
void add_block_by_pair(const double* by_pair, std::size_t first, std::size_t n,
                       AlignedMatrix& fock) {
    for (std::size_t i = 0; i < n; ++i) {
        double* row = fock.row(first + i) + first;
        for (std::size_t j = 0; j < i; ++j) {
            const double value = by_pair[orbital_pair_index(i, j)];
            row[j] += value;
            fock(first + j, first + i) += value;
        }
        row[i] += by_pair[orbital_pair_index(i, i)];
    }
}

// Coulomb and exchange terms of one pair record.
void add_pair_terms(const DiatomicPairIntegrals& pair, const AlignedMatrix& density,
                    AlignedMatrix& fock) {
    const std::size_t n_a = pair.n_orbitals_a;
    const std::size_t n_b = pair.n_orbitals_b;
    const std::size_t pairs_a = orbital_pair_count(n_a);
    const std::size_t pairs_b = orbital_pair_count(n_b);
    const std::size_t a0 = pair.first_orbital_a;
    const std::size_t b0 = pair.first_orbital_b;
    const double* w = pair.w.data(); // row stride pairs_b

    std::array<double, max_orbital_pairs> density_a{};
    std::array<double, max_orbital_pairs> density_b{};
    pack_block_density(density, a0, n_a, density_a.data());
    pack_block_density(density, b0, n_b, density_b.data());

    // Coulomb on A (row · P_B) and on B (Σ rows weighted by P_A), one pass over w.
    std::array<double, max_orbital_pairs> coulomb_a{};
    std::array<double, max_orbital_pairs> coulomb_b{};
    for (std::size_t r = 0; r < pairs_a; ++r) {
        const double* w_row = w + r * pairs_b;
        const double p_r = density_a[r];
        double sum = 0.0;
        for (std::size_t c = 0; c < pairs_b; ++c) {
            sum += w_row[c] * density_b[c];
            coulomb_b[c] += p_r * w_row[c];
        }
        coulomb_a[r] = sum;
    }
    add_block_by_pair(coulomb_a.data(), a0, n_a, fock);
    add_block_by_pair(coulomb_b.data(), b0, n_b, fock);

    // Exchange: K_μλ = Σ_νσ P_νσ·(μν|λσ) for μ, ν on A and λ, σ on B. Each packed column
    // (λ', σ') of a w row serves both orderings (λ, σ) = (λ', σ') and (σ', λ').
    for (std::size_t mu = 0; mu < n_a; ++mu) {
        std::array<double, max_orbitals_per_atom> exchange{};
        for (std::size_t nu = 0; nu < n_a; ++nu) {
            const double* w_row = w + orbital_pair_index(mu, nu) * pairs_b;
            const double* p_nu = density.row(a0 + nu) + b0; // P_νσ over σ of B
            for (std::size_t c = 0; c < pairs_b; ++c) {
                const OrbitalPair lambda_sigma = orbital_pairs[c];
                exchange[lambda_sigma.i] += p_nu[lambda_sigma.j] * w_row[c];
                if (lambda_sigma.i != lambda_sigma.j)
                    exchange[lambda_sigma.j] += p_nu[lambda_sigma.i] * w_row[c];
            }
        }
        double* f_row = fock.row(a0 + mu) + b0;
        for (std::size_t lambda = 0; lambda < n_b; ++lambda) {
            // ½: the exchange of a closed shell involves only same-spin electrons.
            const double value = 0.5 * exchange[lambda];
            f_row[lambda] -= value;
            fock(b0 + lambda, a0 + mu) -= value;
        }
    }
}

// Per-atom data of the simplified builder: the atom's electron population and its
// Klopman–Ohno radius ρ = e²/(2·gss), or no radius when the model lacks the element.
struct SimplifiedAtom {
    double population = 0.0;
    double rho = 0.0;
    bool known = false;
};

constexpr std::size_t stack_atoms = 256;

void fill_simplified_atoms(const MolecularBatch& batch, const ParameterModel& model,
                           const AlignedMatrix& density, std::span<SimplifiedAtom> atoms) {
    for (std::size_t atom = 0; atom < batch.n_atoms; ++atom) {
        const std::size_t first = batch.orbital_offsets[atom];
        double population = 0.0;
        for (std::size_t slot = 0; slot < batch.basis_types[atom]; ++slot)
            population += density(first + slot, first + slot);
        atoms[atom].population = population;
        const auto element = model.get_element(batch.atomic_numbers[atom]);
        atoms[atom].known = element.has_value();
        atoms[atom].rho = element ? e_squared_ev_angstrom / (2.0 * element->g_ss) : 0.0;
    }
}

// γ terms of every known pair: P_B·γ on A's diagonal, P_A·γ on B's, and the exchange
// −½·P_μν·γ on each element between them (each triangle from its own atom's side).
void add_simplified_two_center_terms(const MolecularBatch& batch,
                                     std::span<const SimplifiedAtom> atoms,
                                     const AlignedMatrix& density, AlignedMatrix& fock) {
    for (std::size_t a = 0; a < batch.n_atoms; ++a) {
        if (!atoms[a].known)
            continue;
        const std::size_t a0 = batch.orbital_offsets[a];
        const std::size_t n_a = batch.basis_types[a];
        for (std::size_t b = a + 1; b < batch.n_atoms; ++b) {
            if (!atoms[b].known)
                continue;
            const std::size_t b0 = batch.orbital_offsets[b];
            const std::size_t n_b = batch.basis_types[b];
            const double r = batch.distance(a, b);
            const double rho = atoms[a].rho + atoms[b].rho;
            const double gamma = e_squared_ev_angstrom / std::sqrt(r * r + rho * rho);
            for (std::size_t mu = 0; mu < n_a; ++mu)
                fock(a0 + mu, a0 + mu) += atoms[b].population * gamma;
            for (std::size_t nu = 0; nu < n_b; ++nu)
                fock(b0 + nu, b0 + nu) += atoms[a].population * gamma;
            for (std::size_t mu = 0; mu < n_a; ++mu) {
                const double* p_row = density.row(a0 + mu) + b0;
                double* f_row = fock.row(a0 + mu) + b0;
                for (std::size_t nu = 0; nu < n_b; ++nu)
                    f_row[nu] -= 0.5 * p_row[nu] * gamma;
            }
            for (std::size_t nu = 0; nu < n_b; ++nu) {
                const double* p_row = density.row(b0 + nu) + a0;
                double* f_row = fock.row(b0 + nu) + a0;
                for (std::size_t mu = 0; mu < n_a; ++mu)
                    f_row[mu] -= 0.5 * p_row[mu] * gamma;
            }
        }
    }
}

} // namespace

void build_fock_nddo(const MolecularBatch& batch, const ParameterModel& model,
                     const DiatomicPairIntegrals* pairs, std::size_t n_pairs,
                     const AlignedMatrix& hcore, const AlignedMatrix& density,
                     AlignedMatrix& fock) {
    copy_core_hamiltonian(batch, hcore, density, fock);
    add_one_center_fock_terms(batch, model, density, fock);
    assemble_nddo_two_center_fock(pairs, n_pairs, density, fock);
}

void build_fock(const MolecularBatch& batch, const ParameterModel& model,
                const AlignedMatrix& hcore, const AlignedMatrix& density, AlignedMatrix& fock) {
    copy_core_hamiltonian(batch, hcore, density, fock);
    add_one_center_fock_terms(batch, model, density, fock);

    // Scratch on the stack for up to 256 atoms; larger molecules use a per-thread buffer that
    // keeps its size, so SCF iterations after the first allocate nothing.
    std::array<SimplifiedAtom, stack_atoms> stack_scratch;
    std::span<SimplifiedAtom> atoms(stack_scratch.data(), std::min(batch.n_atoms, stack_atoms));
    if (batch.n_atoms > stack_atoms) {
        thread_local std::vector<SimplifiedAtom> heap_scratch;
        if (heap_scratch.size() < batch.n_atoms)
            heap_scratch.resize(batch.n_atoms);
        atoms = std::span<SimplifiedAtom>(heap_scratch.data(), batch.n_atoms);
    }
    fill_simplified_atoms(batch, model, density, atoms);
    add_simplified_two_center_terms(batch, atoms, density, fock);
}

void assemble_nddo_two_center_fock(const DiatomicPairIntegrals* pairs, std::size_t n_pairs,
                                   const AlignedMatrix& density, AlignedMatrix& fock) {
    require_shape(fock, fock.rows(), "Fock");
    require_shape(density, fock.rows(), "Density");
    if (n_pairs > 0 && pairs == nullptr)
        throw InternalError("Pair records missing: null pointer for " + std::to_string(n_pairs));
    for (std::size_t k = 0; k < n_pairs; ++k) {
        require_consistent_record(pairs[k], fock.rows());
        add_pair_terms(pairs[k], density, fock);
    }
}

} // namespace quelm
