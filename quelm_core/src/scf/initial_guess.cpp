// Neutral-atom starting density.
//
// The occupied orbitals of the core Hamiltonian are a poor first configuration where the
// bare electron–nuclear attraction orders the levels differently from the screened Fock
// operator: in Cl2 the core Hamiltonian puts the σ*(p) orbital below the π* pair, and
// occupying it gives a self-consistent configuration about 6 eV above the ground state,
// from which Aufbau iterations never escape. Spherical neutral atoms favour no
// configuration, so the first Fock matrix already orders the levels with screening.

#include "scf/initial_guess.hpp"

namespace quelm {

namespace {

// The orbitals the atom's valence electrons occupy. The d shell of a main-group atom (Si to
// I) lies above its s and p shells and is empty in the atom: spreading its electrons over
// all nine orbitals would put half of them into d, a start from which the SCF of CH2Cl2 in
// PM6 settles on a configuration 10 eV above the ground state. Transition metals (groups 3
// to 12) fill their d shell.
std::size_t occupied_valence_orbitals(std::uint8_t z, std::size_t basis_size) {
    const bool transition_metal = (z >= 21 && z <= 30) || (z >= 39 && z <= 48) ||
                                  (z >= 57 && z <= 80) || (z >= 89 && z <= 112);
    return basis_size == 9 && !transition_metal ? 4 : basis_size;
}

} // namespace

void build_neutral_atom_density(const MolecularBatch& batch, const ParameterModel& model,
                                AlignedMatrix& density) {
    require_shape(density, batch.n_orbitals, "Density matrix");
    density.fill(0.0);
    for (std::size_t atom = 0; atom < batch.n_atoms; ++atom) {
        const auto element = model.get_element(batch.atomic_numbers[atom]);
        if (!element)
            continue;
        const std::size_t first = batch.orbital_offsets[atom];
        const std::size_t n =
            occupied_valence_orbitals(batch.atomic_numbers[atom], batch.basis_types[atom]);
        const double per_orbital = element->core_charge / double(n);
        for (std::size_t k = 0; k < n; ++k)
            density(first + k, first + k) = per_orbital;
    }
}

} // namespace quelm
