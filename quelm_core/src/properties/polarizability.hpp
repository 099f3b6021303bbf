#pragma once
// Static dipole polarizability α, first hyperpolarizability β and second
// hyperpolarizability γ by finite fields: SCFs in uniform electric fields ±F, ±2F along
// each axis (and ±F, ±F on each pair of axes), differentiated numerically through the
// dipole μ(F) = μ⁰ + α·F + ½β·F² + ⅙γ·F³ and the energy
// E(F) = E⁰ − μ⁰·F − ½α·F² − ⅙β·F³ − (1/24)γ·F⁴ (Kurtz, Stewart & Dieter, J. Comput.
// Chem. 11, 82 (1990)). Response quantities in atomic units.

#include "parameters/parameter_model.hpp"
#include "properties/principal_axes.hpp"
#include "scf/scf_workspace.hpp"
#include "types/molecular_batch.hpp"
#include "types/result.hpp"

#include <array>
#include <cstddef>
#include <vector>

namespace quelm {

struct PolarizabilityOptions {
    double field_step_au = 0.002; // F, atomic units of field; must be positive
    std::size_t scf_max_iter = 80;
    double energy_tol_ev = 1e-9;
    double density_tol = 1e-8;
    bool use_nddo = true;
    bool reorient = true; // work in the principal inertial frame
    bool apply_empirical_scaling = true;
    bool compute_hyperpolarizabilities = true; // the mixed-field SCFs of the γ average
    // Start every field SCF from the converged zero-field density, a few iterations away
    // from the field solution, instead of from the neutral-atom guess.
    bool start_from_zero_field_density = true;
};

// The state of one field SCF. Dipoles are [x, y, z, magnitude] in Debye.
struct FieldScfResult {
    double total_energy_ev = 0.0;       // including the nuclear charges in the field
    std::vector<double> atomic_charges; // e
    std::array<double, 4> charge_dipole_debye{};
    std::array<double, 4> hybridisation_dipole_debye{};
    std::array<double, 4> total_dipole_debye{};
    double total_charge = 0.0;  // e
    Coordinate dipole_origin{}; // Å: centre of mass of a charged system, else the origin
    bool converged = false;
    std::size_t scf_iterations = 0; // of the ladder rung that ended the run
};

using Tensor3 = std::array<std::array<double, 3>, 3>;

struct PolarizabilityResult {
    std::array<double, 4> dipole_debye{}; // unperturbed [x, y, z, magnitude]
    Tensor3 alpha{};                      // final (scaled) tensor
    double alpha_isotropic_au = 0.0;
    double alpha_isotropic_angstrom3 = 0.0;
    double alpha_anisotropy_au = 0.0;
    std::array<double, 3> alpha_eigenvalues{}; // ascending
    Tensor3 alpha_eigenvectors{};              // columns
    Tensor3 alpha_raw{};                       // symmetrised dipole-route tensor
    double alpha_raw_isotropic_au = 0.0;
    double alpha_raw_isotropic_angstrom3 = 0.0;
    std::array<double, 3> alpha_energy_diagonal{}; // −∂²E/∂F_i², energy route
    double alpha_energy_isotropic_au = 0.0;
    std::array<Tensor3, 3> beta{}; // beta[i][j][j] = β_ijj; other entries zero
    std::array<double, 3> beta_vector{};
    double beta_total_au = 0.0;
    double beta_total_esu = 0.0;
    std::array<double, 3> gamma_diagonal{}; // γ_iiii from the dipoles
    double gamma_average_au = 0.0;
    double gamma_average_esu = 0.0;
    double unperturbed_energy_ev = 0.0;

    // Cross-checks of the same derivatives by the other route (not part of the averages).
    std::array<double, 3> gamma_diagonal_energy{}; // −∂⁴E/∂F_i⁴
    // γ_iijj for (x, y), (x, z), (y, z) from −∂⁴E/∂F_i²∂F_j² (this enters the average) and
    // from ∂³μ/∂F_i∂F_j² (the mean of the μ_i and μ_j stencils); zero without the
    // mixed-field SCFs.
    std::array<double, 3> gamma_mixed_energy{};
    std::array<double, 3> gamma_mixed_dipole{};
    bool all_scf_converged = false;
    std::size_t scf_iterations = 0; // summed over all field SCFs
};

// One SCF in the field (a.u.) from a cleared workspace; with `start_density` (a converged
// density of the same molecule, copied into the workspace) instead of the neutral-atom
// guess. A non-hydrogen element missing from the model throws InternalError
// ("Parameters missing for element Z={z}").
FieldScfResult run_field_scf(const MolecularBatch& batch, const ParameterModel& model,
                             ScfWorkspace& workspace, const std::array<double, 3>& field_au,
                             const PolarizabilityOptions& options,
                             const AlignedMatrix* start_density = nullptr);

// The full finite-field calculation: 13 SCFs, 25 with the hyperpolarizabilities. Fails
// for an empty molecule, one without an electron pair, or a field step that is not a
// positive finite number.
Result<PolarizabilityResult> compute_polarizability(const MolecularBatch& batch,
                                                    const ParameterModel& model,
                                                    const PolarizabilityOptions& options);

} // namespace quelm
