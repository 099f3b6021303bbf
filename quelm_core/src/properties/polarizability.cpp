// Finite-field polarizability and hyperpolarizabilities.
//
// The field enters the core Hamiltonian as −F·μ̂ with the same dipole operator (point
// charges and s–p hybridisation dipoles) that compute_dipole evaluates, so the SCF energy
// obeys Hellmann–Feynman, dE/dF = −μ, and the dipole and energy routes measure the same
// derivatives. Stencils (step F, fields ±F and ±2F along one axis; errors O(F⁴) for α
// and β_iii, O(F²) for the rest):
//   α_ij   = [8(μ_j(F_i) − μ_j(−F_i)) − (μ_j(2F_i) − μ_j(−2F_i))]/(12F)
//   α_ii   = −[−E(2F) + 16E(F) − 30E⁰ + 16E(−F) − E(−2F)]/(12F²)      (energy route)
//   β_iii  = [16(μ_i(F) + μ_i(−F)) − (μ_i(2F) + μ_i(−2F)) − 30μ⁰_i]/(12F²)
//   β_ijj  = (μ_i(F_j) + μ_i(−F_j) − 2μ⁰_i)/F²
//   γ_iiii = [(μ_i(2F) − μ_i(−2F)) − 2(μ_i(F) − μ_i(−F))]/(2F³)
// and, from the four mixed fields (±F_i, ±F_j), the fourth mixed derivative
//   γ_iijj = −[Σ_±± E(±F_i, ±F_j) − 2(E(F_i) + E(−F_i) + E(F_j) + E(−F_j)) + 4E⁰]/F⁴,
// the central difference δ_i²δ_j² E. (The combination E₊₊ + E₋₋ − E₊₋ − E₋₊ alone is
// 4F²·∂²E/∂F_i∂F_j, that is −4F²·α_ij: it carries no γ.) The isotropic average is
// γ = (Σ_i γ_iiii + 2 Σ_{i<j} γ_iijj)/5.

#include "properties/polarizability.hpp"

#include "properties/dipole.hpp"
#include "properties/polarizability_scaling.hpp"
#include "scf/density.hpp"
#include "scf/eigensolver.hpp"
#include "scf/scf_loop.hpp"
#include "types/atomic_masses.hpp"
#include "types/physical_constants.hpp"

#include <algorithm>
#include <cmath>

namespace quelm {

namespace {

constexpr double volt_per_angstrom_per_au = 51.422067476325886;
constexpr double au_per_debye = 0.393430307;
constexpr double esu_per_au_beta = 8.639418e-33;
constexpr double esu_per_au_gamma = 5.0367e-40;
// |Σ q| above this marks a charged system (charges are whole electrons).
constexpr double charged_system_threshold = 0.5;

// The three axis pairs of the mixed fields, in the order (x, y), (x, z), (y, z).
constexpr std::array<std::array<std::size_t, 2>, 3> axis_pairs = {{{0, 1}, {0, 2}, {1, 2}}};

std::array<double, 4> with_magnitude(const std::array<double, 3>& v) {
    return {v[0], v[1], v[2], std::hypot(v[0], v[1], v[2])};
}

// Energy (hartree) and dipole (e·bohr) of one field SCF.
struct FieldResponse {
    double energy_hartree = 0.0;
    std::array<double, 3> dipole_au{};
};

// Runs the field SCFs of one calculation on one workspace, each from the zero-field
// density when asked.
class FieldSeries {
  public:
    FieldSeries(const MolecularBatch& batch, const ParameterModel& model,
                const PolarizabilityOptions& options)
        : batch_(batch), model_(model), options_(options),
          workspace_(ScfWorkspace::allocate(batch.n_orbitals)) {}

    FieldResponse at(const std::array<double, 3>& field_au) {
        const FieldScfResult scf =
            run_field_scf(batch_, model_, workspace_, field_au, options_,
                          zero_field_density_.rows() > 0 ? &zero_field_density_ : nullptr);
        all_converged_ = all_converged_ && scf.converged;
        iterations_ += scf.scf_iterations;
        return {scf.total_energy_ev / ev_per_hartree,
                {scf.total_dipole_debye[0] * au_per_debye, scf.total_dipole_debye[1] * au_per_debye,
                 scf.total_dipole_debye[2] * au_per_debye}};
    }

    // The zero-field SCF; its density becomes the start of the later ones when asked.
    FieldScfResult unperturbed() {
        FieldScfResult scf =
            run_field_scf(batch_, model_, workspace_, {0.0, 0.0, 0.0}, options_, nullptr);
        all_converged_ = scf.converged;
        iterations_ += scf.scf_iterations;
        if (options_.start_from_zero_field_density && scf.converged)
            zero_field_density_ = workspace_.density;
        return scf;
    }

    bool all_converged() const { return all_converged_; }
    std::size_t iterations() const { return iterations_; }

  private:
    const MolecularBatch& batch_;
    const ParameterModel& model_;
    const PolarizabilityOptions& options_;
    ScfWorkspace workspace_;
    AlignedMatrix zero_field_density_;
    bool all_converged_ = true;
    std::size_t iterations_ = 0;
};

// Total energy (eV) of the workspace's final density with its own Fock matrix. The SCF
// reports ½·P·(H + F) with the Fock matrix of the previous iteration (extrapolated, maybe
// shifted), an error first order in the last density change, about 1e-7 eV at a density
// tolerance of 1e-8; the energy is variational in P, so rebuilt from F(P) its error is
// second order. The stencils divide energy differences by F² and F⁴, so this matters.
double variational_energy_ev(const MolecularBatch& batch, const ParameterModel& model,
                             ScfWorkspace& workspace, bool use_nddo, double nuclear_ev) {
    build_fock_matrix(batch, model, workspace, use_nddo);
    return compute_electronic_energy(workspace.density, workspace.hcore, workspace.fock) +
           nuclear_ev;
}

std::array<double, 3> along(std::size_t axis, double value) {
    std::array<double, 3> field{0.0, 0.0, 0.0};
    field[axis] = value;
    return field;
}

// Eigenvalues (ascending) and eigenvectors (columns) of a symmetric 3 x 3 tensor.
void diagonalize_tensor(const Tensor3& tensor, std::array<double, 3>& values, Tensor3& vectors) {
    AlignedMatrix a(3, 3);
    AlignedMatrix v(3, 3);
    AlignedVec64 w(3);
    for (std::size_t i = 0; i < 3; ++i)
        for (std::size_t j = 0; j < 3; ++j)
            a(i, j) = tensor[i][j];
    diagonalize_symmetric(a, w, v);
    for (std::size_t i = 0; i < 3; ++i) {
        values[i] = w[i];
        for (std::size_t j = 0; j < 3; ++j)
            vectors[i][j] = v(i, j);
    }
}

double trace(const Tensor3& t) {
    return t[0][0] + t[1][1] + t[2][2];
}

// The empirical map applied to the tensor: on the diagonal in the principal inertial frame
// (where the off-diagonal elements are small and left raw), on the eigenvalues otherwise.
Tensor3 scale_tensor(const Tensor3& raw, bool reorient, const ParameterModel& model,
                     const MolecularBatch& batch) {
    const auto f = [&](double alpha) {
        return compute_pol_vol(model.name(), batch.atomic_numbers, alpha);
    };
    Tensor3 scaled = raw;
    if (reorient) {
        for (std::size_t i = 0; i < 3; ++i)
            scaled[i][i] = f(raw[i][i]);
        return scaled;
    }
    std::array<double, 3> values{};
    Tensor3 vectors{};
    diagonalize_tensor(raw, values, vectors);
    for (std::size_t i = 0; i < 3; ++i) {
        for (std::size_t j = 0; j < 3; ++j) {
            double sum = 0.0;
            for (std::size_t k = 0; k < 3; ++k)
                sum += vectors[i][k] * f(values[k]) * vectors[j][k];
            scaled[i][j] = sum;
        }
    }
    return scaled;
}

// Fields +F, −F, +2F, −2F along one axis, in that order.
using AxisResponses = std::array<FieldResponse, 4>;
enum Step { plus_one = 0, minus_one = 1, plus_two = 2, minus_two = 3 };

// Responses at (s_i·F, s_j·F) for (s_i, s_j) = (+, +), (+, −), (−, +), (−, −).
using MixedResponses = std::array<FieldResponse, 4>;
enum MixedStep { plus_plus = 0, plus_minus = 1, minus_plus = 2, minus_minus = 3 };

void fill_response_tensors(const FieldResponse& zero, const std::array<AxisResponses, 3>& axes,
                           double f, PolarizabilityResult& result) {
    const double e0 = zero.energy_hartree;
    for (std::size_t i = 0; i < 3; ++i) {
        const AxisResponses& r = axes[i];
        for (std::size_t j = 0; j < 3; ++j) {
            result.alpha_raw[i][j] = (8.0 * (r[plus_one].dipole_au[j] - r[minus_one].dipole_au[j]) -
                                      (r[plus_two].dipole_au[j] - r[minus_two].dipole_au[j])) /
                                     (12.0 * f);
        }
        const double e_sum_one = r[plus_one].energy_hartree + r[minus_one].energy_hartree;
        const double e_sum_two = r[plus_two].energy_hartree + r[minus_two].energy_hartree;
        result.alpha_energy_diagonal[i] =
            (e_sum_two / 12.0 - (4.0 / 3.0) * e_sum_one + 2.5 * e0) / (f * f);
        result.gamma_diagonal_energy[i] =
            -(e_sum_two - 4.0 * e_sum_one + 6.0 * e0) / (f * f * f * f);

        const double mu0 = zero.dipole_au[i];
        result.beta[i][i][i] =
            (16.0 * (r[plus_one].dipole_au[i] + r[minus_one].dipole_au[i]) -
             (r[plus_two].dipole_au[i] + r[minus_two].dipole_au[i]) - 30.0 * mu0) /
            (12.0 * f * f);
        for (std::size_t j = 0; j < 3; ++j) {
            if (j == i)
                continue;
            result.beta[i][j][j] =
                (axes[j][plus_one].dipole_au[i] + axes[j][minus_one].dipole_au[i] - 2.0 * mu0) /
                (f * f);
        }
        result.gamma_diagonal[i] = ((r[plus_two].dipole_au[i] - r[minus_two].dipole_au[i]) -
                                    2.0 * (r[plus_one].dipole_au[i] - r[minus_one].dipole_au[i])) /
                                   (2.0 * f * f * f);
    }
    for (std::size_t i = 0; i < 3; ++i) {
        for (std::size_t j = 0; j < i; ++j) {
            const double mean = 0.5 * (result.alpha_raw[i][j] + result.alpha_raw[j][i]);
            result.alpha_raw[i][j] = mean;
            result.alpha_raw[j][i] = mean;
        }
    }
}

// γ_iijj of one axis pair by the energy stencil and by the two dipole stencils.
void fill_mixed_gamma(const FieldResponse& zero, const std::array<AxisResponses, 3>& axes,
                      const MixedResponses& mixed, std::size_t pair, double f,
                      PolarizabilityResult& result) {
    const std::size_t i = axis_pairs[pair][0];
    const std::size_t j = axis_pairs[pair][1];
    const AxisResponses& ri = axes[i];
    const AxisResponses& rj = axes[j];
    double corners = 0.0;
    for (const FieldResponse& r : mixed)
        corners += r.energy_hartree;
    const double edges = ri[plus_one].energy_hartree + ri[minus_one].energy_hartree +
                         rj[plus_one].energy_hartree + rj[minus_one].energy_hartree;
    const double f4 = f * f * f * f;
    result.gamma_mixed_energy[pair] = -(corners - 2.0 * edges + 4.0 * zero.energy_hartree) / f4;

    // ∂/∂F_i of δ_j²μ_i, and ∂/∂F_j of δ_i²μ_j.
    const auto mu = [&](std::size_t step, std::size_t axis) { return mixed[step].dipole_au[axis]; };
    const double from_mu_i =
        ((mu(plus_plus, i) + mu(plus_minus, i) - 2.0 * ri[plus_one].dipole_au[i]) -
         (mu(minus_plus, i) + mu(minus_minus, i) - 2.0 * ri[minus_one].dipole_au[i])) /
        (2.0 * f * f * f);
    const double from_mu_j =
        ((mu(plus_plus, j) + mu(minus_plus, j) - 2.0 * rj[plus_one].dipole_au[j]) -
         (mu(plus_minus, j) + mu(minus_minus, j) - 2.0 * rj[minus_one].dipole_au[j])) /
        (2.0 * f * f * f);
    result.gamma_mixed_dipole[pair] = 0.5 * (from_mu_i + from_mu_j);
}

void fill_alpha_summary(PolarizabilityResult& result) {
    const Tensor3& a = result.alpha;
    result.alpha_isotropic_au = trace(a) / 3.0;
    result.alpha_isotropic_angstrom3 = result.alpha_isotropic_au * angstrom3_per_bohr3;
    const double anisotropy_squared =
        0.5 *
        ((a[0][0] - a[1][1]) * (a[0][0] - a[1][1]) + (a[1][1] - a[2][2]) * (a[1][1] - a[2][2]) +
         (a[2][2] - a[0][0]) * (a[2][2] - a[0][0]) +
         6.0 * (a[0][1] * a[0][1] + a[0][2] * a[0][2] + a[1][2] * a[1][2]));
    result.alpha_anisotropy_au = std::sqrt(std::max(0.0, anisotropy_squared));
    diagonalize_tensor(a, result.alpha_eigenvalues, result.alpha_eigenvectors);
    result.alpha_raw_isotropic_au = trace(result.alpha_raw) / 3.0;
    result.alpha_raw_isotropic_angstrom3 = result.alpha_raw_isotropic_au * angstrom3_per_bohr3;
    const std::array<double, 3>& e = result.alpha_energy_diagonal;
    result.alpha_energy_isotropic_au = (e[0] + e[1] + e[2]) / 3.0;
}

} // namespace

FieldScfResult run_field_scf(const MolecularBatch& batch, const ParameterModel& model,
                             ScfWorkspace& workspace, const std::array<double, 3>& field_au,
                             const PolarizabilityOptions& options,
                             const AlignedMatrix* start_density) {
    workspace.restart();
    if (start_density != nullptr) {
        require_shape(*start_density, batch.n_orbitals, "Start density");
        std::copy_n(start_density->data(), start_density->size(), workspace.density.data());
    }
    const std::array<double, 3> field_v_per_angstrom = {field_au[0] * volt_per_angstrom_per_au,
                                                        field_au[1] * volt_per_angstrom_per_au,
                                                        field_au[2] * volt_per_angstrom_per_au};
    const ScfResult scf = run_rhf_scf_adaptive_with_field(
        batch, model, workspace, options.scf_max_iter, options.energy_tol_ev, options.density_tol,
        options.use_nddo, field_v_per_angstrom, start_density != nullptr);

    const DipoleResult dipole = compute_dipole(batch, model, workspace.density);
    FieldScfResult result;
    result.total_energy_ev =
        variational_energy_ev(batch, model, workspace, options.use_nddo, scf.nuclear_repulsion_ev);
    result.converged = scf.converged;
    result.scf_iterations = scf.iterations;
    result.atomic_charges = dipole.zdo_charges;
    for (const double q : dipole.zdo_charges)
        result.total_charge += q;
    if (std::fabs(result.total_charge) > charged_system_threshold)
        result.dipole_origin = centre_of_mass(batch);
    std::array<double, 3> charge_dipole{0.0, 0.0, 0.0};
    for (std::size_t a = 0; a < batch.n_atoms; ++a) {
        const double q = debye_per_e_angstrom * dipole.zdo_charges[a];
        charge_dipole[0] += q * (batch.coords_x[a] - result.dipole_origin[0]);
        charge_dipole[1] += q * (batch.coords_y[a] - result.dipole_origin[1]);
        charge_dipole[2] += q * (batch.coords_z[a] - result.dipole_origin[2]);
    }
    std::array<double, 3> hybridisation_dipole{};
    for (std::size_t k = 0; k < 3; ++k)
        hybridisation_dipole[k] = dipole.dipole_debye[k] - charge_dipole[k];
    result.charge_dipole_debye = with_magnitude(charge_dipole);
    result.hybridisation_dipole_debye = with_magnitude(hybridisation_dipole);
    result.total_dipole_debye = with_magnitude(dipole.dipole_debye);
    return result;
}

Result<PolarizabilityResult> compute_polarizability(const MolecularBatch& batch,
                                                    const ParameterModel& model,
                                                    const PolarizabilityOptions& options) {
    const double f = options.field_step_au;
    if (!(f > 0.0) || !std::isfinite(f))
        return Error{"field_step_au must be a positive, finite field strength in atomic units"};
    if (batch.n_atoms == 0)
        return Error{"Molecule must have at least one atom"};
    if (count_occupied_orbitals(batch, model) == 0)
        return Error{"System must have at least one electron pair for closed-shell RHF"};

    const MolecularBatch frame = options.reorient ? align_principal_axes(batch) : batch;
    FieldSeries series(frame, model, options);

    PolarizabilityResult result;
    const FieldScfResult unperturbed = series.unperturbed();
    result.unperturbed_energy_ev = unperturbed.total_energy_ev;
    result.dipole_debye = unperturbed.total_dipole_debye;
    FieldResponse zero{unperturbed.total_energy_ev / ev_per_hartree, {}};
    for (std::size_t k = 0; k < 3; ++k)
        zero.dipole_au[k] = unperturbed.total_dipole_debye[k] * au_per_debye;

    std::array<AxisResponses, 3> axes{};
    for (std::size_t i = 0; i < 3; ++i) {
        axes[i][plus_one] = series.at(along(i, f));
        axes[i][minus_one] = series.at(along(i, -f));
        axes[i][plus_two] = series.at(along(i, 2.0 * f));
        axes[i][minus_two] = series.at(along(i, -2.0 * f));
    }
    fill_response_tensors(zero, axes, f, result);

    double mixed_sum = 0.0;
    if (options.compute_hyperpolarizabilities) {
        for (std::size_t pair = 0; pair < axis_pairs.size(); ++pair) {
            const std::size_t i = axis_pairs[pair][0];
            const std::size_t j = axis_pairs[pair][1];
            MixedResponses mixed{};
            const double signs[4][2] = {{1, 1}, {1, -1}, {-1, 1}, {-1, -1}};
            for (std::size_t step = 0; step < 4; ++step) {
                std::array<double, 3> field{0.0, 0.0, 0.0};
                field[i] = signs[step][0] * f;
                field[j] = signs[step][1] * f;
                mixed[step] = series.at(field);
            }
            fill_mixed_gamma(zero, axes, mixed, pair, f, result);
            mixed_sum += result.gamma_mixed_energy[pair];
        }
    }
    result.all_scf_converged = series.all_converged();
    result.scf_iterations = series.iterations();

    result.alpha = result.alpha_raw;
    if (options.apply_empirical_scaling) {
        result.alpha = scale_tensor(result.alpha_raw, options.reorient, model, frame);
        if (options.reorient) {
            for (double& value : result.alpha_energy_diagonal)
                value = compute_pol_vol(model.name(), frame.atomic_numbers, value);
        }
    }
    fill_alpha_summary(result);

    for (std::size_t i = 0; i < 3; ++i) {
        for (std::size_t j = 0; j < 3; ++j)
            result.beta_vector[i] += result.beta[i][j][j];
    }
    result.beta_total_au =
        std::hypot(result.beta_vector[0], result.beta_vector[1], result.beta_vector[2]);
    result.beta_total_esu = result.beta_total_au * esu_per_au_beta;

    const std::array<double, 3>& g = result.gamma_diagonal;
    result.gamma_average_au = (g[0] + g[1] + g[2] + 2.0 * mixed_sum) / 5.0;
    result.gamma_average_esu = result.gamma_average_au * esu_per_au_gamma;
    return result;
}

} // namespace quelm
