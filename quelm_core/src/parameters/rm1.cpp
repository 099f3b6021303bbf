// The published RM1 parameter set (elements from the generated tables).

#include "parameters/models.hpp"
#include "parameters/parameter_tables.hpp"

namespace quelm {

std::optional<ElementParameters> Rm1Model::get_element(std::uint8_t z) const {
    return lookup_rm1_element(z);
}

const Rm1Model& rm1_model() {
    static const Rm1Model model;
    return model;
}

} // namespace quelm
