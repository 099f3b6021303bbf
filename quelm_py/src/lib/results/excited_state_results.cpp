// The property tables of CiStatePy, MeciPyResult and UvVisSpectrumPy.

#include "results/excited_state_results.hpp"

#include "toolkit/converters.hpp"
#include "toolkit/python_values.hpp"
#include "toolkit/result_class.hpp"

namespace quelm {
namespace {

using S = CiState;
using M = MeciRecord;
using U = UvVisSpectrum;

const Property<S> ci_state_properties[] = {
    {"root", "State index (1-indexed)", [](const S& s) { return int_object(s.root); }},
    {"energy_ev", "Absolute CI energy eigenvalue in eV",
     [](const S& s) { return float_object(s.energy_ev); }},
    {"excitation_energy_ev", "Excitation energy relative to ground state in eV",
     [](const S& s) { return float_object(s.excitation_energy_ev); }},
    {"excitation_energy_cm1", "Excitation energy in cm^-1",
     [](const S& s) { return float_object(s.excitation_energy_cm1); }},
    {"wavelength_nm", "Absorption wavelength in nm",
     [](const S& s) { return float_object(s.wavelength_nm); }},
    {"multiplicity", "Spin multiplicity (1=Singlet, 2=Doublet, 3=Triplet)",
     [](const S& s) { return int_object(s.multiplicity); }},
    {"spin_label", "Spin label", [](const S& s) { return to_python_str(s.spin_label); }},
    {"s_squared", "S^2 expectation value", [](const S& s) { return float_object(s.s_squared); }},
    {"transition_dipole_debye", "Transition dipole moment [x, y, z] in Debye",
     [](const S& s) { return float_list(s.transition_dipole_debye); }},
    {"dipole_strength_debye", "Total transition dipole magnitude in Debye",
     [](const S& s) { return float_object(s.dipole_strength_debye); }},
    {"polarization_angstrom2", "Polarization in Angstroms^2 [x, y, z]",
     [](const S& s) { return float_list(s.polarization_angstrom2); }},
    {"oscillator_strength", "Dimensionless oscillator strength",
     [](const S& s) { return float_object(s.oscillator_strength); }},
};

const ResultClassSpec<S> ci_state_spec = {"quelm_py.CiStatePy",
                                          "Single CI electronic state result exposed to Python.",
                                          ci_state_properties, nullptr, nullptr};

PyObject* state_list(const std::vector<CiState>& states) {
    PyRef list(PyList_New(static_cast<Py_ssize_t>(states.size())));
    if (!list)
        return nullptr;
    for (std::size_t i = 0; i < states.size(); ++i) {
        PyObject* item = ResultClass<S>::wrap(states[i]);
        if (item == nullptr)
            return nullptr;
        PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), item); // steals item
    }
    return list.release();
}

const Property<M> meci_result_properties[] = {
    {"states", "All computed CI states", [](const M& r) { return state_list(r.states); }},
    {"num_microstates", "Number of microstates",
     [](const M& r) { return int_object(r.num_microstates); }},
    {"target_root", "Target root index (1-indexed)",
     [](const M& r) { return int_object(r.target_root); }},
    {"ci_energy_correction_ev", "CI energy correction in eV",
     [](const M& r) { return float_object(r.ci_energy_correction_ev); }},
    {"electronic_energy_ev", "Total electronic energy in eV",
     [](const M& r) { return float_object(r.electronic_energy_ev); }},
    {"total_energy_ev", "Total energy in eV",
     [](const M& r) { return float_object(r.total_energy_ev); }},
    {"heat_of_formation_kcal", "Heat of formation in kcal/mol",
     [](const M& r) { return float_object(r.heat_of_formation_kcal); }},
    {"gradients_kcal_mol_angstrom",
     "Cartesian nuclear gradients for the target root in kcal/(mol * A)",
     [](const M& r) { return row_list(r.gradients_kcal_mol_angstrom); }},
};

const ResultClassSpec<M> meci_result_spec = {"quelm_py.MeciPyResult",
                                             "Complete MECI calculation result exposed to Python.",
                                             meci_result_properties, nullptr, nullptr};

const Property<U> uv_vis_properties[] = {
    {"wavelengths_nm", "Wavelength grid in nm",
     [](const U& s) { return float_list(s.wavelengths_nm); }},
    {"extinction_coefficients", "Molar extinction coefficients in L/(mol*cm)",
     [](const U& s) { return float_list(s.extinction_coefficients); }},
    {"lambda_max_nm", "Peak absorption wavelength in nm",
     [](const U& s) { return float_object(s.lambda_max_nm); }},
    {"epsilon_max", "Maximum extinction coefficient",
     [](const U& s) { return float_object(s.epsilon_max); }},
};

const ResultClassSpec<U> uv_vis_spec = {"quelm_py.UvVisSpectrumPy",
                                        "Simulated UV-Vis spectrum exposed to Python.",
                                        uv_vis_properties, nullptr, nullptr};

} // namespace

PyObject* create_ci_state_class() {
    return ResultClass<S>::create(ci_state_spec);
}

PyObject* create_meci_result_class() {
    return ResultClass<M>::create(meci_result_spec);
}

PyObject* create_uv_vis_spectrum_class() {
    return ResultClass<U>::create(uv_vis_spec);
}

PyObject* wrap_meci_result(MeciRecord record) {
    return ResultClass<M>::wrap(std::move(record));
}

PyObject* wrap_uv_vis_spectrum(UvVisSpectrum spectrum) {
    return ResultClass<U>::wrap(std::move(spectrum));
}

} // namespace quelm
