// The IrcPointPy and IrcPyResult property tables and their __repr__ texts.

#include "results/irc_result.hpp"

#include "toolkit/python_values.hpp"
#include "toolkit/result_class.hpp"
#include "toolkit/text_format.hpp"

#include <string>

namespace quelm {
namespace {

const Property<IrcPoint> irc_point_properties[] = {
    {"path_coordinate",
     "Integrated reaction coordinate s in amu^(1/2) * Å (0 at TS, >0 forward, <0 reverse)",
     [](const IrcPoint& p) { return float_object(p.path_coordinate); }},
    {"energy_ev", "Total electronic energy in eV",
     [](const IrcPoint& p) { return float_object(p.energy_ev); }},
    {"heat_of_formation_kcal", "Standard heat of formation in kcal/mol",
     [](const IrcPoint& p) { return float_object(p.heat_of_formation_kcal); }},
    {"coordinates", "Cartesian coordinates in Å (shape: [natoms, 3])",
     [](const IrcPoint& p) { return row_list(p.coordinates); }},
    {"cartesian_gradient_rms", "Cartesian gradient RMS in kcal / (mol * Å)",
     [](const IrcPoint& p) { return float_object(p.cartesian_gradient_rms); }},
    {"mass_weighted_gradient_rms", "Mass-weighted gradient RMS in kcal / (mol * Å * amu^(1/2))",
     [](const IrcPoint& p) { return float_object(p.mass_weighted_gradient_rms); }},
};

std::string irc_point_repr(const IrcPoint& p) {
    const std::string s = format_fixed(p.path_coordinate, 4);
    return "<IrcPoint s=" + (s.front() == '-' ? s : "+" + s) +
           " E=" + format_fixed(p.energy_ev, 6) +
           " eV, dHf=" + format_fixed(p.heat_of_formation_kcal, 3) +
           " kcal/mol, grad_rms=" + format_fixed(p.cartesian_gradient_rms, 4) + ">";
}

const ResultClassSpec<IrcPoint> irc_point_spec = {
    "quelm_py.IrcPointPy", "Single reaction path point along an Intrinsic Reaction Coordinate.",
    irc_point_properties,  "Convert IRC point to a standard Python dictionary.",
    irc_point_repr,
};

const Property<IrcResult> irc_result_properties[] = {
    {"points", "Sequence of reaction path points ordered monotonically along reaction coordinate s",
     [](const IrcResult& r) { return ResultClass<IrcPoint>::wrap_list(r.points); }},
    {"ts_point_index", "Index of transition state point in the points list (s = 0.0)",
     [](const IrcResult& r) { return int_object(r.ts_point_index); }},
    {"forward_converged", "Whether forward reaction branch converged to a local minimum",
     [](const IrcResult& r) { return bool_object(r.forward_converged); }},
    {"reverse_converged", "Whether reverse reaction branch converged to a local minimum",
     [](const IrcResult& r) { return bool_object(r.reverse_converged); }},
};

const char* const irc_result_dict_keys[] = {"ts_point_index", "forward_converged",
                                            "reverse_converged", "points"};

std::string irc_result_repr(const IrcResult& r) {
    return "<IrcPyResult points=" + std::to_string(r.points.size()) +
           " ts_idx=" + std::to_string(r.ts_point_index) +
           " fwd_conv=" + format_bool(r.forward_converged) +
           " rev_conv=" + format_bool(r.reverse_converged) + ">";
}

const ResultClassSpec<IrcResult> irc_result_spec = {
    "quelm_py.IrcPyResult", "Comprehensive result of Intrinsic Reaction Coordinate path tracing.",
    irc_result_properties,  "Convert IRC result to a standard Python dictionary.",
    irc_result_repr,        irc_result_dict_keys,
};

} // namespace

PyObject* create_irc_point_class() {
    return ResultClass<IrcPoint>::create(irc_point_spec);
}

PyObject* create_irc_result_class() {
    return ResultClass<IrcResult>::create(irc_result_spec);
}

PyObject* wrap_irc_result(IrcResult result) {
    return ResultClass<IrcResult>::wrap(std::move(result));
}

} // namespace quelm
