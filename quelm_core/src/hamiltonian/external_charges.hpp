#pragma once
// External point charges (for example an embedding environment) acting on the
// electrons (damped Klopman–Ohno potential) and on the cores (bare Coulomb).

#include "parameters/parameter_model.hpp"
#include "types/aligned_storage.hpp"
#include "types/molecular_batch.hpp"

#include <cstddef>

namespace quelm {

struct PointCharge {
    double x = 0.0; // Å
    double y = 0.0;
    double z = 0.0;
    double q = 0.0; // elementary charges
};

void apply_external_charges_to_hcore(const MolecularBatch& batch, const ParameterModel& model,
                                     const PointCharge* charges, std::size_t n_charges,
                                     AlignedMatrix& hcore);

// Core–charge interaction energy in eV.
double compute_external_charges_core_energy(const MolecularBatch& batch,
                                            const ParameterModel& model, const PointCharge* charges,
                                            std::size_t n_charges);

} // namespace quelm
