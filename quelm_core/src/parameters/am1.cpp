// The published AM1 parameter set (elements from the generated tables).

#include "parameters/models.hpp"
#include "parameters/parameter_tables.hpp"

namespace quelm {

std::optional<ElementParameters> Am1Model::get_element(std::uint8_t z) const {
    return lookup_am1_element(z);
}

const Am1Model& am1_model() {
    static const Am1Model model;
    return model;
}

} // namespace quelm
