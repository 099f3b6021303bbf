#pragma once
// Core–core repulsion between atomic cores (nucleus plus inner shells), in eV, with
// distances in Å. Three published forms: MNDO with the AM1/PM3 Gaussian terms (MNDO,
// AM1 with its boron pair terms, PM3, RM1), PM6 with diatomic pair parameters and a
// short-range wall, and PM7 with pair parameters, feathering and the same wall. Each
// model's pair_core_repulsion selects one.

#include "parameters/element_parameters.hpp"
#include "parameters/parameter_model.hpp"
#include "types/molecular_batch.hpp"

namespace quelm {

// Klopman–Ohno (ss|ss) integral e²/√(R² + (ρA + ρB)²), ρX = e²/(2·gss_X), in eV.
double klopman_ohno_gamma(const ElementParameters& a, const ElementParameters& b,
                          double r_angstrom);

// MNDO form with the N–H/O–H rule and both atoms' Gaussian terms; the pair_core_repulsion
// of MNDO, PM3 and RM1. 0 below 1e-10 Å.
double compute_pair_core_repulsion(const ElementParameters& a, const ElementParameters& b,
                                   double r_angstrom);
// The same form with AM1's boron rule: boron bonded to H, C, F, Cl, Br or I uses the two
// boron pair Gaussians of that partner instead of its own. The pair_core_repulsion of AM1.
double compute_pair_core_repulsion_am1(const ElementParameters& a, const ElementParameters& b,
                                       double r_angstrom);
// PM6 form: diatomic (α, x) pair parameters, the extra C–C term and the short-range wall.
double compute_pair_core_repulsion_pm6(const ElementParameters& a, const ElementParameters& b,
                                       double r_angstrom);
// PM7 form: feathered γ, pair parameters, pair-specific extra terms and the wall.
double compute_pair_core_repulsion_pm7(const ElementParameters& a, const ElementParameters& b,
                                       double r_angstrom);

// Σ over atom pairs i < j that the model covers of its pair_core_repulsion, in eV.
double compute_total_core_repulsion(const MolecularBatch& batch, const ParameterModel& model);

} // namespace quelm
