#pragma once
// Records of the localized-orbital SCF: the Lewis structure of a molecule, the directed
// hybrids of its atoms, the localized molecular orbitals (LMOs) built from them, and the
// options and result of the SCF over those LMOs. LMO coefficients live on global AO
// indices of the batch (NDDO treats the AO basis as orthonormal, so overlaps and norms
// are plain dot products over common indices).

#include "karvel/block_matrix.hpp"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

namespace quelm {

struct LewisBond {
    std::size_t atom_i = 0; // lower index
    std::size_t atom_j = 0; // higher index
    unsigned order = 1;     // 1, 2 or 3
    double distance = 0.0;  // Å
};

struct LewisStructure {
    std::vector<LewisBond> bonds;                             // by atom_i, then atom_j
    std::vector<std::pair<std::size_t, unsigned>> lone_pairs; // (atom, count), atom order
    // Valence electrons left over after bonds and lone pairs (the formal charge with the
    // sign of an electron deficit), clamped to [−4, 4].
    std::vector<std::int8_t> unpaired;
    std::vector<unsigned> bond_counts;
};

struct HybridAtomicOrbital {
    std::vector<double> coeffs; // over the atom's AOs: s, px, py, pz, then d
    std::size_t atom = 0;
};

struct AtomHybrids {
    std::vector<HybridAtomicOrbital> bond_hybrids; // one per bond, in bond-list order
    std::vector<HybridAtomicOrbital> pi_hybrids;
    std::vector<HybridAtomicOrbital> lone_pair_hybrids;
    std::vector<HybridAtomicOrbital> virtual_hybrids;
};

enum class LmoType : std::uint8_t {
    bonding_sigma = 0,
    antibonding_sigma = 1,
    bonding_pi = 2,
    antibonding_pi = 3,
    lone_pair = 4,
    core = 5,
    virtual_hybrid = 6,
    conjugated_pi = 7,
};

// "BondingSigma", "AntibondingSigma", … as shown to the caller.
std::string_view lmo_type_name(LmoType type);

struct Lmo {
    std::vector<std::size_t> atom_indices; // two for bond orbitals, one otherwise
    std::vector<std::size_t> ao_indices;   // ascending global AO indices of `coeffs`
    std::vector<double> coeffs;
    std::size_t index = 0; // creation number, unique over occupied and virtual
    double energy = 0.0;   // eV, the starting value of the type; never updated
    LmoType lmo_type = LmoType::bonding_sigma;
    bool is_occupied = false;
};

struct InitialLmos {
    std::vector<Lmo> occupied;
    std::vector<Lmo> virtual_lmos;
};

struct KarvelOptions {
    std::size_t max_iter = 200;
    std::size_t max_jacobi_sweeps = 50;
    double energy_tol = 1e-7;     // eV
    double jacobi_tol = 1e-4;     // eV, occupied–virtual Fock element
    double cutoff_distance = 8.5; // Å
    double damping = 1.0;         // factor on every rotation angle
    bool verbose = false;         // one progress line per iteration on standard output
};

enum class KarvelDispersion { none, pm6_dh_plus, pm7 };

struct KarvelResult {
    std::vector<Lmo> lmos; // occupied, then virtual
    std::vector<double> atomic_charges;
    std::size_t iterations = 0;
    double electronic_energy_ev = 0.0;
    double nuclear_repulsion_ev = 0.0;
    double total_energy_ev = 0.0;
    double heat_of_formation_kcal = 0.0;
    // Final AO density rebuilt from the occupied LMOs, on the atom-pair blocks within the
    // cutoff (no n x n matrix is ever formed).
    BlockMatrix density;
    bool converged = false;
};

} // namespace quelm
