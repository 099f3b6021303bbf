// The PolarizabilityPyResult property table (no to_dict, default repr). Tensors are lists
// of row lists; the eigenvector matrix keeps one eigenvector per column.

#include "results/polarizability_result.hpp"

#include "toolkit/python_values.hpp"
#include "toolkit/result_class.hpp"

namespace quelm {
namespace {

using R = PolarizabilityResult;

const Property<R> polarizability_result_properties[] = {
    {"alpha_tensor", "3x3 polarizability tensor \\alpha in atomic units (a_0^3)",
     [](const R& r) { return row_list(r.alpha); }},
    {"alpha_isotropic_au", "Isotropic average polarizability in atomic units",
     [](const R& r) { return float_object(r.alpha_isotropic_au); }},
    {"alpha_isotropic_angstrom3", "Isotropic average polarizability in \\AA^3",
     [](const R& r) { return float_object(r.alpha_isotropic_angstrom3); }},
    {"alpha_anisotropy_au", "Polarizability anisotropy in atomic units",
     [](const R& r) { return float_object(r.alpha_anisotropy_au); }},
    {"alpha_eigenvalues", "Principal polarizability eigenvalues in ascending order in a.u.",
     [](const R& r) { return float_list(r.alpha_eigenvalues); }},
    {"alpha_eigenvectors", "Principal polarizability eigenvectors (shape: [3, 3])",
     [](const R& r) { return row_list(r.alpha_eigenvectors); }},
    {"alpha_raw_tensor", "Raw uncorrected CP-SCF polarizability tensor in a.u.",
     [](const R& r) { return row_list(r.alpha_raw); }},
    {"alpha_raw_isotropic_au", "Raw uncorrected isotropic polarizability in a.u.",
     [](const R& r) { return float_object(r.alpha_raw_isotropic_au); }},
    {"alpha_raw_isotropic_angstrom3", "Raw uncorrected isotropic polarizability in \\AA^3",
     [](const R& r) { return float_object(r.alpha_raw_isotropic_angstrom3); }},
    {"beta_vector", "Vector components of first hyperpolarizability \\beta_i in a.u.",
     [](const R& r) { return float_list(r.beta_vector); }},
    {"beta_total_au", "Total norm of first hyperpolarizability vector in a.u.",
     [](const R& r) { return float_object(r.beta_total_au); }},
    {"beta_total_esu", "Total norm of first hyperpolarizability vector in 10^-33 esu",
     [](const R& r) { return float_object(r.beta_total_esu); }},
    {"gamma_diag",
     "Diagonal components of second hyperpolarizability [\\gamma_xxxx, \\gamma_yyyy, "
     "\\gamma_zzzz] in a.u.",
     [](const R& r) { return float_list(r.gamma_diagonal); }},
    {"gamma_average_au", "Average second hyperpolarizability in a.u.",
     [](const R& r) { return float_object(r.gamma_average_au); }},
    {"gamma_average_esu", "Average second hyperpolarizability in 10^-36 esu",
     [](const R& r) { return float_object(r.gamma_average_esu); }},
    {"dipole_debye", "Unperturbed permanent dipole moment [x, y, z, total] in Debye",
     [](const R& r) { return float_list(r.dipole_debye); }},
    {"unperturbed_energy_ev", "Unperturbed total SCF energy in eV",
     [](const R& r) { return float_object(r.unperturbed_energy_ev); }},
};

const ResultClassSpec<R> polarizability_result_spec = {
    "quelm_py.PolarizabilityPyResult",
    "Comprehensive polarizability and NLO tensor calculation results for Python.",
    polarizability_result_properties,
    nullptr,
    nullptr,
};

} // namespace

PyObject* create_polarizability_result_class() {
    return ResultClass<R>::create(polarizability_result_spec);
}

PyObject* wrap_polarizability_result(PolarizabilityResult result) {
    return ResultClass<R>::wrap(std::move(result));
}

} // namespace quelm
