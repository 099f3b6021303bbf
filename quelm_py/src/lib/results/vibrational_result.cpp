// The property tables of the three vibrational result classes. VibrationalResultPy hands out
// fresh NormalModePy and ThermodynamicsPy objects on every access; its to_dict nests their
// dictionaries, in an order of its own.

#include "results/vibrational_result.hpp"

#include "toolkit/python_values.hpp"
#include "toolkit/result_class.hpp"
#include "toolkit/text_format.hpp"

#include <span>
#include <string>

namespace quelm {
namespace {

using Mode = NormalMode;
using Thermo = Thermodynamics;
using V = VibrationalRecord;

const Property<Mode> normal_mode_properties[] = {
    {"frequency_cm1", "Harmonic frequency in cm^-1 (negative if imaginary)",
     [](const Mode& m) { return float_object(m.frequency_cm1); }},
    {"reduced_mass_amu", "Effective reduced mass in amu",
     [](const Mode& m) { return float_object(m.reduced_mass_amu); }},
    {"force_constant_mdyne_a", "Force constant in mdyne/Å",
     [](const Mode& m) { return float_object(m.force_constant_mdyne_a); }},
    {"displacements",
     "Normalized Cartesian displacements (delta x, delta y, delta z) for each atom",
     [](const Mode& m) { return row_list(m.displacements); }},
};

std::string normal_mode_repr(const Mode& m) {
    return "<NormalMode freq=" + format_fixed(m.frequency_cm1, 1) +
           " cm^-1, mass=" + format_fixed(m.reduced_mass_amu, 3) +
           " amu, k=" + format_fixed(m.force_constant_mdyne_a, 3) + " mdyne/A>";
}

const ResultClassSpec<Mode> normal_mode_spec = {
    "quelm_py.NormalModePy",
    "Normal vibrational mode with harmonic frequency and Cartesian displacement vectors.",
    normal_mode_properties,
    "Convert normal mode to a standard Python dictionary.",
    normal_mode_repr,
};

#define QUELM_THERMO_FLOAT(field, doc)                                                             \
    {#field, doc, [](const Thermo& t) { return float_object(t.field); }}

const Property<Thermo> thermodynamics_properties[] = {
    QUELM_THERMO_FLOAT(temperature_k, nullptr),
    QUELM_THERMO_FLOAT(pressure_atm, nullptr),
    QUELM_THERMO_FLOAT(zpve_kcal_mol, "Zero-Point Vibrational Energy in kcal/mol"),
    QUELM_THERMO_FLOAT(e_vib_cal_mol, "Thermal vibrational energy E_vib(T) in cal/mol"),
    QUELM_THERMO_FLOAT(e_rot_cal_mol, "Thermal rotational energy E_rot(T) in cal/mol"),
    QUELM_THERMO_FLOAT(e_trans_cal_mol, "Thermal translational energy E_trans(T) in cal/mol"),
    QUELM_THERMO_FLOAT(enthalpy_thermal_cal_mol,
                       "Total thermal enthalpy correction H(T) - H(0) in cal/mol"),
    QUELM_THERMO_FLOAT(cv_vib_cal_k_mol,
                       "Constant volume vibrational heat capacity Cv,vib in cal/(mol·K)"),
    QUELM_THERMO_FLOAT(cv_rot_cal_k_mol,
                       "Constant volume rotational heat capacity Cv,rot in cal/(mol·K)"),
    QUELM_THERMO_FLOAT(cp_trans_cal_k_mol,
                       "Constant pressure translational heat capacity Cp,trans = 5/2 R in "
                       "cal/(mol·K)"),
    QUELM_THERMO_FLOAT(cp_total_cal_k_mol,
                       "Total constant pressure heat capacity Cp(T) = Cv + R in cal/(mol·K)"),
    QUELM_THERMO_FLOAT(entropy_vib_cal_k_mol, "Vibrational entropy S_vib in cal/(mol·K)"),
    QUELM_THERMO_FLOAT(entropy_rot_cal_k_mol, "Rotational entropy S_rot in cal/(mol·K)"),
    QUELM_THERMO_FLOAT(entropy_trans_cal_k_mol,
                       "Translational entropy S_trans (Sackur-Tetrode) in cal/(mol·K)"),
    QUELM_THERMO_FLOAT(entropy_total_cal_k_mol, "Total standard entropy S°(T) in cal/(mol·K)"),
    QUELM_THERMO_FLOAT(gibbs_correction_kcal_mol,
                       "Gibbs free energy thermal correction G_corr = H_thermal - T*S° in "
                       "kcal/mol"),
};

#undef QUELM_THERMO_FLOAT

std::string thermodynamics_repr(const Thermo& t) {
    return "<Thermodynamics T=" + format_fixed(t.temperature_k, 2) +
           " K, ZPVE=" + format_fixed(t.zpve_kcal_mol, 2) +
           " kcal/mol, S°=" + format_fixed(t.entropy_total_cal_k_mol, 2) +
           " cal/(mol·K), H_thermal=" + format_fixed(t.enthalpy_thermal_cal_mol, 2) +
           " cal/mol, G_corr=" + format_fixed(t.gibbs_correction_kcal_mol, 2) + " kcal/mol>";
}

const ResultClassSpec<Thermo> thermodynamics_spec = {
    "quelm_py.ThermodynamicsPy",
    "Statistical thermodynamic properties computed from vibrational, rotational, and "
    "translational partition functions.",
    thermodynamics_properties,
    "Convert thermodynamic properties to a standard Python dictionary.",
    thermodynamics_repr,
};

// [[h00, h01, ...], ...]: one list per matrix row.
PyObject* matrix_rows(const AlignedMatrix& matrix) {
    PyRef list(PyList_New(static_cast<Py_ssize_t>(matrix.rows())));
    if (!list)
        return nullptr;
    for (std::size_t i = 0; i < matrix.rows(); ++i) {
        PyObject* row = float_list(std::span<const double>(matrix.row(i), matrix.cols()));
        if (row == nullptr || PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), row) != 0)
            return nullptr;
    }
    return list.release();
}

const Property<V> vibrational_result_properties[] = {
    {"all_frequencies_cm1", "All 3N harmonic frequencies in cm^-1 (sorted ascending)",
     [](const V& v) { return float_list(v.all_frequencies_cm1); }},
    {"vibrational_frequencies_cm1",
     "Genuine internal vibrational frequencies (3N-6 or 3N-5) in cm^-1",
     [](const V& v) { return float_list(v.vibrational_frequencies_cm1); }},
    {"normal_modes", "Normal modes with atom displacement vectors",
     [](const V& v) { return ResultClass<Mode>::wrap_list(v.normal_modes); }},
    {"zpve_kcal_mol", "Zero-Point Vibrational Energy (ZPVE) in kcal/mol",
     [](const V& v) { return float_object(v.zpve_kcal_mol); }},
    {"thermo", "Statistical thermodynamic properties",
     [](const V& v) { return ResultClass<Thermo>::wrap(v.thermo); }},
    {"is_transition_state",
     "Whether molecule is a transition state (first vibrational frequency < -10 cm^-1)",
     [](const V& v) { return bool_object(v.is_transition_state); }},
    {"cartesian_hessian", "Full Cartesian Hessian matrix [3N x 3N] in kcal / (mol * Å^2)",
     [](const V& v) { return matrix_rows(v.cartesian_hessian); }},
};

const char* const vibrational_result_dict_keys[] = {
    "all_frequencies_cm1",
    "vibrational_frequencies_cm1",
    "zpve_kcal_mol",
    "is_transition_state",
    "thermo",
    "cartesian_hessian",
    "normal_modes",
};

std::string vibrational_result_repr(const V& v) {
    return "<VibrationalResult num_vib=" + std::to_string(v.vibrational_frequencies_cm1.size()) +
           ", ZPVE=" + format_fixed(v.zpve_kcal_mol, 2) +
           " kcal/mol, is_TS=" + format_bool(v.is_transition_state) + ">";
}

const ResultClassSpec<V> vibrational_result_spec = {
    "quelm_py.VibrationalResultPy",
    "Comprehensive results of Hessian and normal coordinate analysis.",
    vibrational_result_properties,
    "Convert vibrational analysis result to a standard Python dictionary.",
    vibrational_result_repr,
    vibrational_result_dict_keys,
};

} // namespace

PyObject* create_normal_mode_class() {
    return ResultClass<Mode>::create(normal_mode_spec);
}

PyObject* create_thermodynamics_class() {
    return ResultClass<Thermo>::create(thermodynamics_spec);
}

PyObject* create_vibrational_result_class() {
    return ResultClass<V>::create(vibrational_result_spec);
}

PyObject* wrap_vibrational_result(VibrationalRecord record) {
    return ResultClass<V>::wrap(std::move(record));
}

} // namespace quelm
