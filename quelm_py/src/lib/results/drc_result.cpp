// The DrcFramePy and DrcPyResult property tables and their __repr__ texts.

#include "results/drc_result.hpp"

#include "toolkit/python_values.hpp"
#include "toolkit/result_class.hpp"
#include "toolkit/text_format.hpp"

#include <string>

namespace quelm {
namespace {

const Property<DrcFrame> drc_frame_properties[] = {
    {"step", "Integration step index (0-indexed)",
     [](const DrcFrame& f) { return int_object(f.step); }},
    {"time_fs", "Elapsed simulation time in femtoseconds",
     [](const DrcFrame& f) { return float_object(f.time_fs); }},
    {"potential_energy_ev", "Potential energy in eV",
     [](const DrcFrame& f) { return float_object(f.potential_energy_ev); }},
    {"kinetic_energy_ev", "Classical kinetic energy in eV",
     [](const DrcFrame& f) { return float_object(f.kinetic_energy_ev); }},
    {"total_energy_ev", "Total energy (potential + kinetic) in eV",
     [](const DrcFrame& f) { return float_object(f.total_energy_ev); }},
    {"temperature_k", "Instantaneous kinetic temperature in Kelvin",
     [](const DrcFrame& f) { return float_object(f.temperature_k); }},
    {"coordinates", "Atomic Cartesian coordinates in Å (shape: [natoms, 3])",
     [](const DrcFrame& f) { return row_list(f.coordinates); }},
    {"velocities", "Atomic velocities in Å / fs (shape: [natoms, 3])",
     [](const DrcFrame& f) { return row_list(f.velocities); }},
    {"forces", "Cartesian forces in eV / Å (shape: [natoms, 3])",
     [](const DrcFrame& f) { return row_list(f.forces); }},
};

std::string drc_frame_repr(const DrcFrame& f) {
    return "<DrcFrame step=" + std::to_string(f.step) + " t=" + format_fixed(f.time_fs, 2) +
           " fs, E_tot=" + format_fixed(f.total_energy_ev, 6) +
           " eV, T=" + format_fixed(f.temperature_k, 1) + " K>";
}

const ResultClassSpec<DrcFrame> drc_frame_spec = {
    "quelm_py.DrcFramePy",
    "Recorded frame along Dynamic Reaction Coordinate Born-Oppenheimer Molecular Dynamics.",
    drc_frame_properties,
    "Convert frame to a standard Python dictionary.",
    drc_frame_repr,
};

const Property<DrcResult> drc_result_properties[] = {
    {"frames", "Recorded trajectory frames",
     [](const DrcResult& r) { return ResultClass<DrcFrame>::wrap_list(r.frames); }},
    {"initial_energy_ev", "Initial total energy in eV",
     [](const DrcResult& r) { return float_object(r.initial_energy_ev); }},
    {"final_energy_ev", "Final total energy in eV",
     [](const DrcResult& r) { return float_object(r.final_energy_ev); }},
    {"energy_drift_ev_per_ps", "Linear energy drift in eV / ps",
     [](const DrcResult& r) { return float_object(r.energy_drift_ev_per_ps); }},
    {"max_energy_drift_ev", "Maximum absolute energy drift in eV",
     [](const DrcResult& r) { return float_object(r.max_energy_drift_ev); }},
    {"average_temperature_k", "Average trajectory temperature in Kelvin",
     [](const DrcResult& r) { return float_object(r.average_temperature_k); }},
};

const char* const drc_result_dict_keys[] = {
    "initial_energy_ev",   "final_energy_ev",       "energy_drift_ev_per_ps",
    "max_energy_drift_ev", "average_temperature_k", "frames",
};

std::string drc_result_repr(const DrcResult& r) {
    return "<DrcPyResult frames=" + std::to_string(r.frames.size()) +
           " drift=" + format_scientific(r.energy_drift_ev_per_ps, 3) +
           " eV/ps, max_dev=" + format_scientific(r.max_energy_drift_ev, 3) +
           " eV, avg_T=" + format_fixed(r.average_temperature_k, 1) + " K>";
}

const ResultClassSpec<DrcResult> drc_result_spec = {
    "quelm_py.DrcPyResult", "Comprehensive result of Dynamic Reaction Coordinate simulation.",
    drc_result_properties,  "Convert DRC result to a standard Python dictionary.",
    drc_result_repr,        drc_result_dict_keys,
};

} // namespace

PyObject* create_drc_frame_class() {
    return ResultClass<DrcFrame>::create(drc_frame_spec);
}

PyObject* create_drc_result_class() {
    return ResultClass<DrcResult>::create(drc_result_spec);
}

PyObject* wrap_drc_result(DrcResult result) {
    return ResultClass<DrcResult>::wrap(std::move(result));
}

} // namespace quelm
