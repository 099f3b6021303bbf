#pragma once
// Core–core repulsion between atomic cores (nucleus plus inner shells), in eV, with
// distances in Å. Three published forms: MNDO with the AM1/PM3 Gaussian terms (MNDO,
// AM1, PM3, RM1), PM6 with diatomic pair parameters, and PM7 with pair parameters,
// feathering and a short-range wall. Each model's pair_core_repulsion selects one.

#include "parameters/element_parameters.hpp"
#include "parameters/parameter_model.hpp"
#include "types/molecular_batch.hpp"

namespace quelm {

// Klopman–Ohno (ss|ss) integral e²/√(R² + (ρA + ρB)²), ρX = e²/(2·gss_X), in eV.
double klopman_ohno_gamma(const ElementParameters& a, const ElementParameters& b,
                          double r_angstrom);

// MNDO form with Gaussian corrections and the N–H/O–H and AM1 boron pair rules.
double compute_pair_core_repulsion(const ElementParameters& a, const ElementParameters& b,
                                   double r_angstrom);
// PM6 form with the diatomic (α, x) pair parameters.
double compute_pair_core_repulsion_pm6(const ElementParameters& a, const ElementParameters& b,
                                       double r_angstrom);
// PM7 form: feathered γ, pair parameters, pair-specific extra terms and the wall.
double compute_pair_core_repulsion_pm7(const ElementParameters& a, const ElementParameters& b,
                                       double r_angstrom);

// Σ over atom pairs i < j that the model covers of its pair_core_repulsion, in eV.
double compute_total_core_repulsion(const MolecularBatch& batch, const ParameterModel& model);

} // namespace quelm
