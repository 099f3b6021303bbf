// The Am1BccPyResult property table (to_dict, no __repr__ of its own).

#include "results/am1_bcc_result.hpp"

#include "toolkit/python_values.hpp"
#include "toolkit/result_class.hpp"

namespace quelm {
namespace {

using R = Am1BccResult;

const Property<R> am1_bcc_properties[] = {
    {"initial_charges", "Initial Mulliken population charges before BCC corrections",
     [](const R& r) { return float_list(r.initial_charges); }},
    {"bond_charge_corrections", "Net bond charge corrections applied to each atom",
     [](const R& r) { return float_list(r.bond_charge_corrections); }},
    {"bcc_charges", "Final AM1-BCC charges", [](const R& r) { return float_list(r.bcc_charges); }},
    {"total_charge", "Total net charge of the molecular system",
     [](const R& r) { return float_object(r.total_charge); }},
};

const ResultClassSpec<R> am1_bcc_spec = {
    "quelm_py.Am1BccPyResult",
    "AM1-BCC Atomic Partial Charges result.",
    am1_bcc_properties,
    "Convert AM1-BCC result to a standard Python dictionary.",
    nullptr,
};

} // namespace

PyObject* create_am1_bcc_result_class() {
    return ResultClass<R>::create(am1_bcc_spec);
}

PyObject* wrap_am1_bcc_result(Am1BccResult result) {
    return ResultClass<R>::wrap(std::move(result));
}

} // namespace quelm
