#pragma once
// Dipole moment of the NDDO density: point charges from the ZDO populations plus the
// atomic s–p hybridisation dipoles.

#include "parameters/parameter_model.hpp"
#include "types/aligned_storage.hpp"
#include "types/molecular_batch.hpp"

#include <array>
#include <vector>

namespace quelm {

struct DipoleResult {
    std::vector<double> zdo_charges;      // e, one per atom
    std::array<double, 3> dipole_debye{}; // (μx, μy, μz)
    double dipole_length_debye = 0.0;
};

DipoleResult compute_dipole(const MolecularBatch& batch, const ParameterModel& model,
                            const AlignedMatrix& density);

} // namespace quelm
