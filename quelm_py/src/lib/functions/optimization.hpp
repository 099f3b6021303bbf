#pragma once
// The geometry-optimisation pipeline behind `optimize` (and the calculator's optimize):
// validation, L-BFGS minimisation of the SCF energy, then one full single point at the
// final geometry. Plain C++: the Python layer converts the arguments in and the record out.

#include "functions/single_point.hpp"
#include "opt/lbfgs.hpp"
#include "toolkit/choice_name.hpp"
#include "types/molecular_batch.hpp"
#include "types/result.hpp"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace quelm {

struct OptimizationSettings {
    std::size_t max_cycles = 100;
    double grad_rms_tol = 1.0; // kcal/(mol·Å)
    double grad_max_tol = 2.0; // kcal/(mol·Å)
    bool use_nddo = false;
};

// Everything `OptimizationPyResult` exposes.
struct OptimizationRecord {
    LbfgsResult optimization;
    std::vector<Coordinate> coordinates; // final geometry, Å
    SinglePointResult final_result;      // full single point at that geometry
};

// Optimises the molecule (coordinates in Å) with the named method. Failures ordinary input can
// cause come back as the ValueError message; non-convergence is reported in the record.
Result<OptimizationRecord> run_geometry_optimization(std::span<const std::uint8_t> atomic_numbers,
                                                     std::span<const Coordinate> coordinates,
                                                     const ChoiceName& method,
                                                     const OptimizationSettings& settings);

} // namespace quelm
