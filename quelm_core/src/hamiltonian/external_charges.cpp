// External point charges acting on the molecule.
//
// On the electrons the potential of each charge is damped in the Klopman–Ohno way,
// e²/√(r² + ρ²) with the atom's monopole radius ρ = e²/(2·gss), so a charge sitting on
// a nucleus shifts its orbitals by a finite amount. On the cores the interaction is the
// bare Coulomb law; a charge within 1e-8 Å of a nucleus is left out of that sum rather
// than producing an infinite energy.

#include "hamiltonian/external_charges.hpp"

#include "types/internal_error.hpp"
#include "types/physical_constants.hpp"

#include <cmath>
#include <string>

namespace quelm {

namespace {

// Closer than this a charge and a nucleus count as coincident for the core energy.
constexpr double coincident_angstrom = 1e-8;

void require_charges(const PointCharge* charges, std::size_t n_charges) {
    if (charges == nullptr)
        throw InternalError("Point charges missing: null pointer for " + std::to_string(n_charges));
}

double squared_distance(const MolecularBatch& batch, std::size_t atom, const PointCharge& charge) {
    const double dx = batch.coords_x[atom] - charge.x;
    const double dy = batch.coords_y[atom] - charge.y;
    const double dz = batch.coords_z[atom] - charge.z;
    return dx * dx + dy * dy + dz * dz;
}

} // namespace

void apply_external_charges_to_hcore(const MolecularBatch& batch, const ParameterModel& model,
                                     const PointCharge* charges, std::size_t n_charges,
                                     AlignedMatrix& hcore) {
    if (n_charges == 0 || batch.n_atoms == 0)
        return;
    require_charges(charges, n_charges);
    require_shape(hcore, batch.n_orbitals, "Core Hamiltonian");
    for (std::size_t atom = 0; atom < batch.n_atoms; ++atom) {
        const auto element = model.get_element(batch.atomic_numbers[atom]);
        if (!element)
            continue;
        // Damping radius²: ρ² from the monopole radius; 0.25 Å² when gss is absent.
        double damping = 0.25;
        if (element->g_ss > 1e-6) {
            const double rho = e_squared_ev_angstrom / (2.0 * element->g_ss);
            damping = rho * rho;
        }
        double potential = 0.0;
        for (std::size_t k = 0; k < n_charges; ++k) {
            // An electron (charge −1) in the field of +q: energy −q·e²/r.
            potential -= charges[k].q * e_squared_ev_angstrom /
                         std::sqrt(squared_distance(batch, atom, charges[k]) + damping);
        }
        const std::size_t first = batch.orbital_offsets[atom];
        for (std::size_t slot = 0; slot < batch.basis_types[atom]; ++slot)
            hcore(first + slot, first + slot) += potential;
    }
}

double compute_external_charges_core_energy(const MolecularBatch& batch,
                                            const ParameterModel& model, const PointCharge* charges,
                                            std::size_t n_charges) {
    if (n_charges == 0 || batch.n_atoms == 0)
        return 0.0;
    require_charges(charges, n_charges);
    double energy = 0.0;
    for (std::size_t atom = 0; atom < batch.n_atoms; ++atom) {
        const auto element = model.get_element(batch.atomic_numbers[atom]);
        if (!element)
            continue;
        for (std::size_t k = 0; k < n_charges; ++k) {
            const double r = std::sqrt(squared_distance(batch, atom, charges[k]));
            if (r > coincident_angstrom)
                energy += element->core_charge * charges[k].q * e_squared_ev_angstrom / r;
        }
    }
    return energy;
}

} // namespace quelm
