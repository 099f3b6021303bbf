// The KarvelLmoPy and KarvelPyResult property tables and their __repr__ texts.

#include "results/karvel_result.hpp"

#include "toolkit/python_values.hpp"
#include "toolkit/result_class.hpp"
#include "toolkit/text_format.hpp"

#include <string>

namespace quelm {
namespace {

PyObject* type_name_object(const Lmo& lmo) {
    const std::string_view name = lmo_type_name(lmo.lmo_type);
    return PyUnicode_FromStringAndSize(name.data(), static_cast<Py_ssize_t>(name.size()));
}

const Property<Lmo> lmo_properties[] = {
    {"index", "0-indexed LMO identifier", [](const Lmo& l) { return int_object(l.index); }},
    {"lmo_type",
     "Classification string (e.g. \"BondingSigma\", \"LonePair\", \"AntibondingSigma\")",
     type_name_object},
    {"is_occupied", "Occupancy flag: true if occupied (2 electrons), false if virtual",
     [](const Lmo& l) { return bool_object(l.is_occupied); }},
    {"atom_indices", "Indices of atoms on which this LMO is localized",
     [](const Lmo& l) { return index_list(l.atom_indices); }},
    {"ao_indices", "Participating atomic orbital basis function indices",
     [](const Lmo& l) { return index_list(l.ao_indices); }},
    {"coeffs", "Expansion coefficients", [](const Lmo& l) { return float_list(l.coeffs); }},
    {"energy_ev", "Orbital expectation energy <phi | F | phi> in eV",
     [](const Lmo& l) { return float_object(l.energy); }},
};

std::string lmo_repr(const Lmo& l) {
    std::string atoms = "[";
    for (std::size_t k = 0; k < l.atom_indices.size(); ++k)
        atoms += (k > 0 ? ", " : "") + std::to_string(l.atom_indices[k]);
    atoms += "]";
    return "<KarvelLmo index=" + std::to_string(l.index) + " type='" +
           std::string(lmo_type_name(l.lmo_type)) + "' occ=" + format_bool(l.is_occupied) +
           " atoms=" + atoms + " E=" + format_fixed(l.energy, 3) + " eV>";
}

const ResultClassSpec<Lmo> lmo_spec = {
    "quelm_py.KarvelLmoPy",
    "Localized Molecular Orbital (LMO) representation for Python.",
    lmo_properties,
    "Convert LMO to a standard Python dictionary.",
    lmo_repr,
};

using R = KarvelRecord;

PyObject* lmo_list(const R& r) {
    PyRef list(PyList_New(static_cast<Py_ssize_t>(r.lmos.size())));
    if (!list)
        return nullptr;
    for (std::size_t k = 0; k < r.lmos.size(); ++k) {
        PyObject* item = ResultClass<Lmo>::wrap(r.lmos[k]);
        // PyList_SetItem steals the item.
        if (item == nullptr || PyList_SetItem(list.get(), static_cast<Py_ssize_t>(k), item) != 0)
            return nullptr;
    }
    return list.release();
}

const Property<R> result_properties[] = {
    {"converged", "Whether Jacobi LMO rotation minimization converged",
     [](const R& r) { return bool_object(r.converged); }},
    {"iterations", "Number of completed SCF iterations",
     [](const R& r) { return int_object(r.iterations); }},
    {"electronic_energy_ev", "Total electronic energy in eV",
     [](const R& r) { return float_object(r.electronic_energy_ev); }},
    {"nuclear_repulsion_ev", "Core-core nuclear repulsion energy in eV",
     [](const R& r) { return float_object(r.nuclear_repulsion_ev); }},
    {"total_energy_ev", "Total energy in eV (E_elec + E_nuc)",
     [](const R& r) { return float_object(r.total_energy_ev); }},
    {"heat_of_formation_kcal", "Standard heat of formation \\Delta H_f^\\circ in kcal/mol",
     [](const R& r) { return float_object(r.heat_of_formation_kcal); }},
    {"atomic_charges", "Net Mulliken partial atomic charges (shape: [natoms])",
     [](const R& r) { return float_list(r.atomic_charges); }},
    {"lmos", "Converged localized molecular orbitals", lmo_list},
};

std::string result_repr(const R& r) {
    return "<KarvelPyResult converged=" + std::string(format_bool(r.converged)) +
           " iter=" + std::to_string(r.iterations) +
           " E_tot=" + format_fixed(r.total_energy_ev, 6) +
           " eV, dHf=" + format_fixed(r.heat_of_formation_kcal, 3) +
           " kcal/mol, num_lmos=" + std::to_string(r.lmos.size()) + ">";
}

const ResultClassSpec<R> result_spec = {
    "quelm_py.KarvelPyResult",
    "KARVEL O(N) linear-scaling localized molecular orbital SCF results for Python.",
    result_properties,
    "Convert KARVEL result to a standard Python dictionary.",
    result_repr,
};

} // namespace

PyObject* create_karvel_lmo_class() {
    return ResultClass<Lmo>::create(lmo_spec);
}

PyObject* create_karvel_result_class() {
    return ResultClass<R>::create(result_spec);
}

PyObject* wrap_karvel_result(KarvelRecord record) {
    return ResultClass<R>::wrap(std::move(record));
}

} // namespace quelm
