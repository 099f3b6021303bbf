#include "parameters/parameter_model.hpp"

#include "parameters/models.hpp"

namespace quelm {

std::optional<DElementParameters> ParameterModel::get_d_element_params(std::uint8_t) const {
    return std::nullopt;
}

int ParameterModel::basis_type(std::uint8_t z) const {
    if (const auto element = get_element(z)) {
        if (element->zeta_d > 1e-8)
            return 9;
        if (element->zeta_p > 1e-20)
            return 4;
        return 1;
    }
    // Elements outside the model: the shells their row of the periodic table implies.
    if (z == 1)
        return 1;
    if (z >= 2 && z <= 20)
        return 4;
    return 9;
}

const ParameterModel* find_model(std::string_view upper_case_name) {
    if (upper_case_name == "MNDO")
        return &mndo_model();
    if (upper_case_name == "PM7")
        return &pm7_model();
    if (upper_case_name == "PM6")
        return &pm6_model();
    if (upper_case_name == "AM1")
        return &am1_model();
    if (upper_case_name == "RM1")
        return &rm1_model();
    if (upper_case_name == "PM3")
        return &pm3_model();
    return nullptr;
}

} // namespace quelm
