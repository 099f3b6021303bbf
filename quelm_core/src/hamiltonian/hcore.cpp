// The one-electron core Hamiltonian H of one geometry, and the uniform-field perturbation.
//
// Diagonal: the one-centre energies U of each orbital's shell. Between atoms: the
// Mulliken-type resonance ½(βμ + βν)·Sμν over the Slater overlap. Electron–nuclear
// attraction: in full NDDO the multipole attractions of the pair records (which also
// couple s and p on one atom); in the simplified model one Klopman–Ohno γ per atom pair
// on the diagonal only. Atoms whose element the model lacks contribute nothing at all.

#include "hamiltonian/hcore.hpp"

#include "integrals/core_repulsion.hpp"
#include "integrals/multipoles.hpp"
#include "integrals/overlap.hpp"
#include "types/atomic_masses.hpp"
#include "types/internal_error.hpp"
#include "types/physical_constants.hpp"

#include <optional>
#include <string>

namespace quelm {

namespace {

// Below this separation two atoms count as coincident: no overlap, no resonance.
constexpr double coincident_angstrom = 1e-10;

using AtomElements = std::vector<std::optional<ElementParameters>>;

void require_supported_basis(const MolecularBatch& batch, std::size_t atom) {
    const int n = batch.basis_types[atom];
    if (n != 1 && n != 4 && n != 9) {
        throw InternalError("Unsupported orbital count " + std::to_string(n) + " on atom " +
                            std::to_string(atom));
    }
}

// The model's record of every atom (nullopt where the model lacks the element), fetched
// once per geometry so the pair loops below do not repeat the lookup.
AtomElements fetch_elements(const MolecularBatch& batch, const ParameterModel& model) {
    AtomElements elements(batch.n_atoms);
    for (std::size_t atom = 0; atom < batch.n_atoms; ++atom) {
        require_supported_basis(batch, atom);
        elements[atom] = model.get_element(batch.atomic_numbers[atom]);
    }
    return elements;
}

// Orbital slots: 0 s, 1–3 p, 4–8 d.
double one_center_energy(const ElementParameters& element, std::size_t slot) {
    return slot == 0 ? element.u_ss : slot < 4 ? element.u_pp : element.u_dd;
}

double resonance_parameter(const ElementParameters& element, std::size_t slot) {
    return slot == 0 ? element.beta_s : slot < 4 ? element.beta_p : element.beta_d;
}

// Checks the shape, zeroes H and puts U on the diagonal of every known atom.
AtomElements start_core_hamiltonian(const MolecularBatch& batch, const ParameterModel& model,
                                    AlignedMatrix& hcore) {
    require_shape(hcore, batch.n_orbitals, "Core Hamiltonian");
    AtomElements elements = fetch_elements(batch, model);
    hcore.fill(0.0);
    for (std::size_t atom = 0; atom < batch.n_atoms; ++atom) {
        if (!elements[atom])
            continue;
        const std::size_t first = batch.orbital_offsets[atom];
        for (std::size_t slot = 0; slot < batch.basis_types[atom]; ++slot)
            hcore(first + slot, first + slot) = one_center_energy(*elements[atom], slot);
    }
    return elements;
}

// H[μ][ν] = H[ν][μ] = ½(βμ + βν)·Sμν for μ on A, ν on B; one overlap block per pair.
void add_resonance_terms(const MolecularBatch& batch, const AtomElements& elements,
                         AlignedMatrix& hcore) {
    OverlapBlock overlap{};
    for (std::size_t a = 0; a < batch.n_atoms; ++a) {
        if (!elements[a])
            continue;
        const ElementParameters& element_a = *elements[a];
        const std::size_t n_a = batch.basis_types[a];
        const std::size_t first_a = batch.orbital_offsets[a];
        for (std::size_t b = a + 1; b < batch.n_atoms; ++b) {
            if (!elements[b])
                continue;
            const double dx = batch.coords_x[b] - batch.coords_x[a];
            const double dy = batch.coords_y[b] - batch.coords_y[a];
            const double dz = batch.coords_z[b] - batch.coords_z[a];
            const double r = batch.distance(a, b);
            if (r < coincident_angstrom)
                continue;
            const ElementParameters& element_b = *elements[b];
            const std::size_t n_b = batch.basis_types[b];
            const std::size_t first_b = batch.orbital_offsets[b];
            compute_diatomic_overlap_matrix_9x9(batch.atomic_numbers[a], batch.atomic_numbers[b],
                                                static_cast<int>(n_a), static_cast<int>(n_b),
                                                element_a, element_b, dx, dy, dz, r, overlap);
            for (std::size_t mu = 0; mu < n_a; ++mu) {
                const double beta_mu = resonance_parameter(element_a, mu);
                double* row = hcore.row(first_a + mu) + first_b;
                for (std::size_t nu = 0; nu < n_b; ++nu) {
                    const double value =
                        0.5 * (beta_mu + resonance_parameter(element_b, nu)) * overlap[mu * 9 + nu];
                    row[nu] = value;
                    hcore(first_b + nu, first_a + mu) = value;
                }
            }
        }
    }
}

// Simplified attraction: every diagonal element of A loses Z_B·γAB for each other known
// atom B, coincident or not (γ stays finite as R → 0).
void add_simplified_attractions(const MolecularBatch& batch, const AtomElements& elements,
                                AlignedMatrix& hcore) {
    for (std::size_t a = 0; a < batch.n_atoms; ++a) {
        if (!elements[a])
            continue;
        double potential = 0.0;
        for (std::size_t b = 0; b < batch.n_atoms; ++b) {
            if (b == a || !elements[b])
                continue;
            potential += elements[b]->core_charge *
                         klopman_ohno_gamma(*elements[a], *elements[b], batch.distance(a, b));
        }
        const std::size_t first = batch.orbital_offsets[a];
        for (std::size_t slot = 0; slot < batch.basis_types[a]; ++slot)
            hcore(first + slot, first + slot) -= potential;
    }
}

} // namespace

void build_hcore(const MolecularBatch& batch, const ParameterModel& model, AlignedMatrix& hcore) {
    const AtomElements elements = start_core_hamiltonian(batch, model, hcore);
    add_simplified_attractions(batch, elements, hcore);
    add_resonance_terms(batch, elements, hcore);
}

void build_hcore_nddo(const MolecularBatch& batch, const ParameterModel& model,
                      const DiatomicPairIntegrals* pairs, std::size_t n_pairs,
                      AlignedMatrix& hcore) {
    const AtomElements elements = start_core_hamiltonian(batch, model, hcore);
    apply_electron_nuclear_attractions(pairs, n_pairs, hcore);
    add_resonance_terms(batch, elements, hcore);
}

double apply_electric_field_to_hcore(const MolecularBatch& batch, const ParameterModel& model,
                                     AlignedMatrix& hcore, const std::array<double, 3>& field) {
    require_shape(hcore, batch.n_orbitals, "Core Hamiltonian");

    // Origin at the centre of mass of all atoms, known to the model or not, so the
    // energy of a neutral molecule does not depend on where it sits.
    const Coordinate centre = centre_of_mass(batch);

    double nuclear_energy = 0.0;
    for (std::size_t atom = 0; atom < batch.n_atoms; ++atom) {
        require_supported_basis(batch, atom);
        const auto element = model.get_element(batch.atomic_numbers[atom]);
        if (!element)
            continue;
        // V = E·(r − C): an electron (charge −1) in the potential −E·r gains +V, a core of
        // charge Z gains −Z·V.
        const double potential = field[0] * (batch.coords_x[atom] - centre[0]) +
                                 field[1] * (batch.coords_y[atom] - centre[1]) +
                                 field[2] * (batch.coords_z[atom] - centre[2]);
        const std::size_t first = batch.orbital_offsets[atom];
        const std::size_t n = batch.basis_types[atom];
        for (std::size_t slot = 0; slot < n; ++slot)
            hcore(first + slot, first + slot) += potential;
        nuclear_energy -= element->core_charge * potential;

        // The s–p transition dipole <s|r|p_k> = d1 along k couples s and p in the field;
        // d orbitals carry no field terms in this model.
        if (n >= 4) {
            const double d1_angstrom =
                DerivedMultipoleParams::from_element(*element).d1 * angstrom_per_bohr;
            for (std::size_t k = 0; k < 3; ++k) {
                const double value = field[k] * d1_angstrom;
                hcore(first, first + 1 + k) += value;
                hcore(first + 1 + k, first) += value;
            }
        }
    }
    return nuclear_energy;
}

} // namespace quelm
