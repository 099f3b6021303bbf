#pragma once
// ParameterModel: what a semi-empirical Hamiltonian (MNDO, AM1, PM3, RM1, PM6, PM7)
// is to the engine — per-element parameters plus the few method-specific choices
// (core-repulsion form, feathering, d-orbital data, orbital count). The six models
// are stateless process-wide singletons; a reference is all that is ever passed.

#include "parameters/d_element_parameters.hpp"
#include "parameters/element_parameters.hpp"

#include <cstdint>
#include <optional>
#include <string_view>

namespace quelm {

class ParameterModel {
  public:
    virtual ~ParameterModel() = default;

    // The element's published record, or nullopt when the model does not cover it.
    virtual std::optional<ElementParameters> get_element(std::uint8_t z) const = 0;
    // "MNDO", "AM1", "PM3", "RM1", "PM6" or "PM7".
    virtual std::string_view name() const = 0;
    // Core–core repulsion of two atoms at distance r_angstrom, in eV. The shared
    // default is the MNDO form with Gaussian terms.
    virtual double pair_core_repulsion(const ElementParameters& a, const ElementParameters& b,
                                       double r_angstrom) const;
    // Whether two-centre integrals are blended into point charges at long range.
    virtual bool use_feathering() const { return false; }
    // Derived one-centre d data; nullopt for every model but PM6 and PM7.
    virtual std::optional<DElementParameters> get_d_element_params(std::uint8_t z) const;
    // Valence orbitals on the element: 1, 4 or 9.
    int basis_type(std::uint8_t z) const;

  protected:
    ParameterModel() = default;
    ParameterModel(const ParameterModel&) = default;
};

// The model registered under an upper-cased name ("MNDO", "PM7", "PM6", "AM1", "RM1",
// "PM3"), or nullptr. Upper-casing is the caller's business (it is Unicode-aware in Python).
const ParameterModel* find_model(std::string_view upper_case_name);

} // namespace quelm
