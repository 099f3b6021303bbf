// Single point: SCF energy, frozen-density gradients and the properties of the
// converged (or last) density.
//
// The empirical corrections (dispersion, H4 hydrogen bonds, H–H repulsion) are
// parametrised in kcal/mol; they are added to the heat of formation as they are and to
// the eV quantities after division by kcal_mol_per_ev. The binding energy is left
// without them: it compares the SCF energy with the isolated atoms of the same model.

#include "functions/single_point.hpp"

#include "corrections/h_bonds4.hpp"
#include "gradients/nuclear_gradients.hpp"
#include "properties/dipole.hpp"
#include "properties/heat.hpp"
#include "properties/mulliken.hpp"
#include "scf/dense_kernel_threshold.hpp"
#include "scf/scf_loop.hpp"
#include "scf/scf_workspace.hpp"
#include "toolkit/molecule_validation.hpp"
#include "types/physical_constants.hpp"

#include <array>
#include <charconv>
#include <string>
#include <string_view>

namespace quelm {
namespace {

constexpr MoleculeMessages calculate_messages = {
    "atomic_numbers cannot be empty",
    "Length of atomic_numbers ({n}) does not match coordinates ({m})"};

// H4 constants of the published correction (Řezáč & Hobza 2012), in the order the
// correction expects them.
constexpr H4Parameters h4_parameters = {{2.32, 3.1, 1.07, 2.01, 0.42, 3.61, 1.41}};

// Solvent probe radius of the COSMO cavity, Å.
constexpr double cosmo_solvent_radius_angstrom = 1.30005;

ScfOptions make_scf_options(const SinglePointSettings& settings) {
    ScfOptions options;
    if (settings.cosmo_eps) {
        options.cosmo = CosmoSettings{*settings.cosmo_eps, cosmo_solvent_radius_angstrom};
    }
    options.max_iter = settings.max_iter;
    options.energy_tol_ev = settings.energy_tol_ev;
    options.density_tol = settings.density_tol;
    options.level_shift_ev = settings.level_shift_ev;
    options.damping = settings.damping;
    options.use_nddo = settings.use_nddo;
    return options;
}

// The shortest decimal text that reads back to the same double ("1", "-0.5", "1e+20").
std::string shortest_decimal(double value) {
    std::array<char, 32> text{};
    const auto [end, error] = std::to_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc{} ? std::string(text.data(), end) : std::string{};
}

// Adds a kcal/(mol·Å) correction gradient to both gradient sets.
void add_correction_gradient(std::span<const Coordinate> correction_kcal,
                             SinglePointResult& result) {
    for (std::size_t atom = 0; atom < correction_kcal.size(); ++atom) {
        for (std::size_t axis = 0; axis < 3; ++axis) {
            result.gradients_kcal_mol_angstrom[atom][axis] += correction_kcal[atom][axis];
            result.gradients_ev_angstrom[atom][axis] +=
                correction_kcal[atom][axis] / kcal_mol_per_ev;
        }
    }
}

} // namespace

Result<DispersionModel> resolve_dispersion_model(const ChoiceName& dispersion) {
    struct Alias {
        std::string_view name;
        DispersionModel model;
    };
    static constexpr Alias aliases[] = {
        {"DH+", DispersionModel::pm6_dh_plus},
        {"PM6-DH+", DispersionModel::pm6_dh_plus},
        {"PM6_DH+", DispersionModel::pm6_dh_plus},
        {"PM7", DispersionModel::pm7},
        {"D3", DispersionModel::d3_bj},
        {"D3BJ", DispersionModel::d3_bj},
        {"D3-BJ", DispersionModel::d3_bj},
        {"PM6-D3", DispersionModel::d3_bj},
        {"AM1-D3", DispersionModel::d3_bj},
    };
    for (const Alias& alias : aliases) {
        if (alias.name == dispersion.upper_case)
            return alias.model;
    }
    return Error{"Unknown dispersion model '" + dispersion.upper_case +
                 "'. Supported: 'PM6-DH+', 'PM7', 'D3-BJ'"};
}

Result<SinglePointResult> run_calculation_internal(std::span<const std::uint8_t> atomic_numbers,
                                                   std::span<const Coordinate> coordinates,
                                                   const ChoiceName& method,
                                                   const SinglePointSettings& settings) {
    // The new density enters with weight 1 − damping: at 1 it never enters, the first
    // iteration's energy repeats and the frozen guess is reported converged; below 0 the
    // mixing overshoots.
    if (!(settings.damping >= 0.0 && settings.damping < 1.0)) {
        return Error{"damping must be at least 0 and less than 1 (got " +
                     shortest_decimal(settings.damping) + ")"};
    }
    const Result<ValidatedMolecule> validated =
        validate_molecule(atomic_numbers, coordinates.size(), method, calculate_messages);
    if (!validated)
        return Error{validated.error()};
    const ParameterModel& model = *validated.value().model;
    MolecularBatch batch = MolecularBatch::new_for_model(
        std::vector<std::uint8_t>(atomic_numbers.begin(), atomic_numbers.end()), coordinates,
        model);
    const ScopedBlasThreadsForBasis blas_threads(batch.n_orbitals);
    ScfWorkspace workspace = ScfWorkspace::allocate(batch.n_orbitals);
    const ScfResult scf =
        run_rhf_scf_with_options(batch, model, workspace, make_scf_options(settings));

    SinglePointResult result;
    result.gradients_ev_angstrom.assign(batch.n_atoms, Coordinate{});
    compute_cartesian_gradients_with_options(batch, model, workspace.density,
                                             result.gradients_ev_angstrom,
                                             GradientOptions{settings.use_nddo});
    result.gradients_kcal_mol_angstrom = result.gradients_ev_angstrom;
    for (Coordinate& gradient : result.gradients_kcal_mol_angstrom) {
        for (double& component : gradient)
            component *= kcal_mol_per_ev;
    }

    double correction_kcal = 0.0;
    if (settings.dispersion) {
        const Result<DispersionModel> dispersion = resolve_dispersion_model(*settings.dispersion);
        if (!dispersion)
            return Error{dispersion.error()};
        std::vector<Coordinate> dispersion_gradient(batch.n_atoms, Coordinate{});
        correction_kcal += compute_dispersion_energy_and_gradients(
            batch, dispersion.value(), dispersion_gradient.data(), dispersion_gradient.size());
        add_correction_gradient(dispersion_gradient, result);
    }
    if (settings.h_bonds) {
        // The H4 term enters the energy only; the H–H repulsion carries its gradient.
        correction_kcal += compute_h4_energy(batch, h4_parameters);
        const HhRepulsion hh = compute_hh_repulsion_energy_and_gradients(batch);
        correction_kcal += hh.energy_kcal;
        add_correction_gradient(hh.gradient_kcal_mol_angstrom, result);
    }

    const IsolatedAtomReference atoms = sum_isolated_atom_references(batch.atomic_numbers, model);

    const DipoleResult dipole = compute_dipole(batch, model, workspace.density);
    const MullikenResult mulliken = compute_mulliken_population(
        batch, model, workspace.eigenvectors, validated.value().n_electrons / 2);

    result.total_energy_ev = scf.total_energy_ev + correction_kcal / kcal_mol_per_ev;
    result.electronic_energy_ev = scf.electronic_energy_ev;
    result.nuclear_repulsion_ev = scf.nuclear_repulsion_ev;
    result.binding_energy_ev = scf.total_energy_ev - atoms.energy_ev;
    result.heat_of_formation_kcal =
        atoms.heat_of_formation_kcal + kcal_mol_per_ev * result.binding_energy_ev + correction_kcal;
    result.dipole_debye = {dipole.dipole_debye[0], dipole.dipole_debye[1], dipole.dipole_debye[2],
                           dipole.dipole_length_debye};
    result.atomic_charges = dipole.zdo_charges;
    result.mulliken_charges = mulliken.charges;
    result.converged = scf.converged;
    result.scf_iterations = scf.iterations;
    result.homo_energy_ev = scf.homo_energy_ev;
    result.lumo_energy_ev = scf.lumo_energy_ev;
    result.homo_lumo_gap_ev = scf.lumo_energy_ev - scf.homo_energy_ev;
    return result;
}

} // namespace quelm
