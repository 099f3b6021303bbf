// Dipole moment of an NDDO density.
//
// Two parts: the atoms as point charges q_a = Z_core − Σ P_μμ (ZDO populations), and the
// atomic hybridisation dipoles. An s–p density element P_sp puts charge along the p axis:
// the distribution χs·χp is a dipole of length D1 (the s–p charge separation of the
// multipole model), so each atom adds −2·D1·P(s, p) electrons·bohr per axis (2: P_sp and
// P_ps are both present; minus: the charge is electronic).
// Neutral molecules are referred to the coordinate origin (any origin gives the same
// dipole); a charged one to its centre of mass, where the dipole is conventionally quoted.

#include "properties/dipole.hpp"

#include "integrals/multipoles.hpp"
#include "types/atomic_masses.hpp"
#include "types/internal_error.hpp"
#include "types/physical_constants.hpp"

#include <cmath>
#include <string>

namespace quelm {

namespace {

// |Σ q| above this marks a charged system (charges are whole electrons).
constexpr double charged_system_threshold = 0.5;

// Centre of mass (Å) of a charged system, or the coordinate origin.
std::array<double, 3> dipole_origin(const MolecularBatch& batch, double total_charge) {
    if (std::abs(total_charge) <= charged_system_threshold)
        return {0.0, 0.0, 0.0};
    return centre_of_mass(batch);
}

} // namespace

DipoleResult compute_dipole(const MolecularBatch& batch, const ParameterModel& model,
                            const AlignedMatrix& density) {
    require_shape(density, batch.n_orbitals, "Density matrix");

    DipoleResult result;
    result.zdo_charges.assign(batch.n_atoms, 0.0);
    double total_charge = 0.0;
    for (std::size_t a = 0; a < batch.n_atoms; ++a) {
        const auto element = model.get_element(batch.atomic_numbers[a]);
        double charge = element ? element->core_charge : 0.0;
        const std::size_t first = batch.orbital_offsets[a];
        for (std::size_t k = 0; k < batch.basis_types[a]; ++k)
            charge -= density(first + k, first + k);
        result.zdo_charges[a] = charge;
        total_charge += charge;
    }

    const std::array<double, 3> origin = dipole_origin(batch, total_charge);
    std::array<double, 3> dipole{0.0, 0.0, 0.0};
    for (std::size_t a = 0; a < batch.n_atoms; ++a) {
        const double q = result.zdo_charges[a];
        dipole[0] += debye_per_e_angstrom * q * (batch.coords_x[a] - origin[0]);
        dipole[1] += debye_per_e_angstrom * q * (batch.coords_y[a] - origin[1]);
        dipole[2] += debye_per_e_angstrom * q * (batch.coords_z[a] - origin[2]);
    }

    for (std::size_t a = 0; a < batch.n_atoms; ++a) {
        const std::uint8_t z = batch.atomic_numbers[a];
        if (z == 1)
            continue;
        const auto element = model.get_element(z);
        if (!element)
            throw InternalError("Parameters missing for element Z=" + std::to_string(z));
        if (batch.basis_types[a] < 4)
            continue;
        const double d1_bohr = DerivedMultipoleParams::from_element(*element).d1;
        const double scale = 2.0 * d1_bohr * angstrom_per_bohr * debye_per_e_angstrom;
        const std::size_t s = batch.orbital_offsets[a];
        for (std::size_t k = 0; k < 3; ++k)
            dipole[k] -= scale * density(s, s + 1 + k);
    }

    result.dipole_debye = dipole;
    result.dipole_length_debye =
        std::sqrt(dipole[0] * dipole[0] + dipole[1] * dipole[1] + dipole[2] * dipole[2]);
    return result;
}

} // namespace quelm
