#pragma once
// Intrinsic reaction coordinate: the steepest-descent path in mass-weighted Cartesian
// coordinates from a transition state down to the minima on either side, traced with fixed
// arc-length steps and the constrained hypersphere corrector of Gonzalez and Schlegel
// (J. Chem. Phys. 90, 2154 (1989)).
//
// Units: Å, amu, mass-weighted coordinates amu^½·Å, eV, heats in kcal/mol, gradients
// kcal/(mol·Å).

#include "parameters/parameter_model.hpp"
#include "scf/scf_workspace.hpp"
#include "types/molecular_batch.hpp"

#include <cstddef>
#include <optional>
#include <vector>

namespace quelm {

enum class IrcDirection { forward, reverse, both };

struct IrcOptions {
    // Mass-weighted transition vector (3N); absent: the imaginary mode of the Hessian.
    std::optional<std::vector<double>> transition_vector;
    double step_size = 0.1; // arc length h, amu^½·Å
    std::size_t max_points = 50;
    std::size_t max_corrector_steps = 25;
    double corrector_tol = 1e-4;   // amu^½·Å
    double grad_rms_tol = 0.05;    // kcal/(mol·Å·amu^½), mass-weighted
    double energy_rise_tol = 0.02; // kcal/mol between successive points
    bool use_nddo = false;
    IrcDirection direction = IrcDirection::both;
};

// Per-atom masses, the transition-state geometry and the 3N scratch vectors of one trace.
struct IrcWorkspace {
    std::vector<double> sqrt_masses;
    std::vector<Coordinate> ts_coordinates;
    std::vector<double> transition_vector; // mass-weighted, unit length
    std::vector<double> point, direction, pivot, trial, corrector, mass_weighted_gradient;
    std::vector<Coordinate> gradient; // eV/Å

    // Masses from the standard table (every atom must have one: see first_massless_atom);
    // the transition state is the batch's geometry.
    static IrcWorkspace allocate(const MolecularBatch& batch);
    void restore_ts_coords(MolecularBatch& batch) const;
};

struct IrcPoint {
    std::vector<Coordinate> coordinates;
    double path_coordinate = 0.0; // s: 0 at the TS, k·h forward, −k·h in reverse
    double energy_ev = 0.0;
    double heat_of_formation_kcal = 0.0;
    double cartesian_gradient_rms = 0.0;     // kcal/(mol·Å)
    double mass_weighted_gradient_rms = 0.0; // kcal/(mol·Å·amu^½)
};

struct IrcResult {
    std::vector<IrcPoint> points; // increasing s
    std::size_t ts_point_index = 0;
    bool forward_converged = false;
    bool reverse_converged = false;
};

// Traces the requested branches from the batch's geometry, taken as the transition state;
// the batch is back at the transition state on return. Every SCF after the first starts
// from the converged density of the previous geometry.
IrcResult trace_intrinsic_reaction_coordinate(MolecularBatch& batch, const ParameterModel& model,
                                              ScfWorkspace& scf_workspace, IrcWorkspace& workspace,
                                              const IrcOptions& options);

} // namespace quelm
