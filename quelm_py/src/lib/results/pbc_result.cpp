// The PbcResultPy property table. Its properties carry no docstrings and the class has
// neither to_dict nor a __repr__ of its own; the band-path k-points stay in the engine.

#include "results/pbc_result.hpp"

#include "toolkit/python_values.hpp"
#include "toolkit/result_class.hpp"

namespace quelm {
namespace {

using R = PbcResult;

// [[e0, e1, ...], ...]: the band energies of each band-path point.
PyObject* band_energy_lists(const R& r) {
    PyRef list(PyList_New(static_cast<Py_ssize_t>(r.band_energies_ev.size())));
    if (!list)
        return nullptr;
    for (std::size_t p = 0; p < r.band_energies_ev.size(); ++p) {
        PyObject* bands = float_list(r.band_energies_ev[p]);
        // PyList_SetItem steals the item; the list owns it from here.
        if (bands == nullptr ||
            PyList_SetItem(list.get(), static_cast<Py_ssize_t>(p), bands) != 0) {
            return nullptr;
        }
    }
    return list.release();
}

const Property<R> pbc_result_properties[] = {
    {"converged", nullptr, [](const R& r) { return bool_object(r.converged); }},
    {"total_energy_per_cell_ev", nullptr,
     [](const R& r) { return float_object(r.total_energy_ev); }},
    {"electronic_energy_per_cell_ev", nullptr,
     [](const R& r) { return float_object(r.electronic_energy_ev); }},
    {"nuclear_repulsion_per_cell_ev", nullptr,
     [](const R& r) { return float_object(r.nuclear_repulsion_ev); }},
    {"heat_of_formation_kcal_mol", nullptr,
     [](const R& r) { return float_object(r.heat_of_formation_kcal); }},
    {"vbm_energy_ev", nullptr, [](const R& r) { return float_object(r.vbm_ev); }},
    {"cbm_energy_ev", nullptr, [](const R& r) { return float_object(r.cbm_ev); }},
    {"direct_bandgap_ev", nullptr, [](const R& r) { return float_object(r.direct_gap_ev); }},
    {"indirect_bandgap_ev", nullptr, [](const R& r) { return float_object(r.indirect_gap_ev); }},
    {"band_energies_ev", nullptr, band_energy_lists},
    {"dos_energies_ev", nullptr, [](const R& r) { return float_list(r.dos_energies_ev); }},
    {"iterations", nullptr, [](const R& r) { return int_object(r.iterations); }},
    {"dos_values", nullptr, [](const R& r) { return float_list(r.dos_values); }},
};

const ResultClassSpec<R> pbc_result_spec = {
    "quelm_py.PbcResultPy",
    "Periodic Boundary Condition calculation and band structure results.",
    pbc_result_properties,
    nullptr,
    nullptr,
};

} // namespace

PyObject* create_pbc_result_class() {
    return ResultClass<R>::create(pbc_result_spec);
}

PyObject* wrap_pbc_result(PbcResult result) {
    return ResultClass<R>::wrap(std::move(result));
}

} // namespace quelm
