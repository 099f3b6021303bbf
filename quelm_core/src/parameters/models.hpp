#pragma once
// The six published NDDO parameter sets. Each is stateless: get_element copies one
// compiled-in record (a switch on Z), so lookups allocate nothing and need no lock.

#include "parameters/parameter_model.hpp"

namespace quelm {

class MndoModel final : public ParameterModel {
  public:
    std::optional<ElementParameters> get_element(std::uint8_t z) const override;
    std::string_view name() const override { return "MNDO"; }
};

class Am1Model final : public ParameterModel {
  public:
    std::optional<ElementParameters> get_element(std::uint8_t z) const override;
    std::string_view name() const override { return "AM1"; }
    // The MNDO form with AM1's boron pair Gaussians (compute_pair_core_repulsion_am1).
    double pair_core_repulsion(const ElementParameters& a, const ElementParameters& b,
                               double r_angstrom) const override;
};

class Pm3Model final : public ParameterModel {
  public:
    std::optional<ElementParameters> get_element(std::uint8_t z) const override;
    std::string_view name() const override { return "PM3"; }
};

class Rm1Model final : public ParameterModel {
  public:
    std::optional<ElementParameters> get_element(std::uint8_t z) const override;
    std::string_view name() const override { return "RM1"; }
};

class Pm6Model final : public ParameterModel {
  public:
    std::optional<ElementParameters> get_element(std::uint8_t z) const override;
    std::string_view name() const override { return "PM6"; }
    double pair_core_repulsion(const ElementParameters& a, const ElementParameters& b,
                               double r_angstrom) const override;
    // PM6 diatomic (α_AB, x_AB), symmetric in its arguments; (1.2, 0) for untabulated pairs.
    static PairParameters get_pair_params(std::uint8_t z1, std::uint8_t z2);
    // The d record of Si, P, S, Cl, Br and I from PM6's internal exponents (F⁰sd and G²sd
    // derived from them); nullopt for every other element.
    std::optional<DElementParameters> get_d_element_params(std::uint8_t z) const override;
};

class Pm7Model final : public ParameterModel {
  public:
    std::optional<ElementParameters> get_element(std::uint8_t z) const override;
    std::string_view name() const override { return "PM7"; }
    double pair_core_repulsion(const ElementParameters& a, const ElementParameters& b,
                               double r_angstrom) const override;
    bool use_feathering() const override { return true; }
    // The d record from PM7's d-integral constants (defined with the d-orbital integrals);
    // nullopt without a d shell, outside Z = 13–83 or without a constants entry.
    std::optional<DElementParameters> get_d_element_params(std::uint8_t z) const override;
};

// PM7 diatomic (α_AB, x_AB), symmetric: the tabulated pair, else the mean of the two
// homonuclear pairs when both exist, else (0, 0).
PairParameters get_pm7_pair_params(std::uint8_t z1, std::uint8_t z2);

const MndoModel& mndo_model();
const Am1Model& am1_model();
const Pm3Model& pm3_model();
const Rm1Model& rm1_model();
const Pm6Model& pm6_model();
const Pm7Model& pm7_model();

} // namespace quelm
