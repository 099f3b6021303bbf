#pragma once
// KarvelLmoPy and KarvelPyResult: the Python result classes of the localized-orbital SCF.

#include "karvel/types.hpp"
#include "toolkit/python_ref.hpp"

#include <cstddef>
#include <vector>

namespace quelm {

// The part of an engine KarvelResult the Python result keeps (no density).
struct KarvelRecord {
    bool converged = false;
    std::size_t iterations = 0;
    double electronic_energy_ev = 0.0;
    double nuclear_repulsion_ev = 0.0;
    double total_energy_ev = 0.0;
    double heat_of_formation_kcal = 0.0;
    std::vector<double> atomic_charges;
    std::vector<Lmo> lmos;
};

PyObject* create_karvel_lmo_class();
PyObject* create_karvel_result_class();

// A new KarvelPyResult holding the record, or null with an error set.
PyObject* wrap_karvel_result(KarvelRecord record);

} // namespace quelm
