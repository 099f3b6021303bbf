// The published PM3 parameter set (elements from the generated tables).

#include "parameters/models.hpp"
#include "parameters/parameter_tables.hpp"

namespace quelm {

std::optional<ElementParameters> Pm3Model::get_element(std::uint8_t z) const {
    return lookup_pm3_element(z);
}

const Pm3Model& pm3_model() {
    static const Pm3Model model;
    return model;
}

} // namespace quelm
