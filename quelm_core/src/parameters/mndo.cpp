// The published MNDO parameter set (elements from the generated tables).

#include "parameters/models.hpp"
#include "parameters/parameter_tables.hpp"

namespace quelm {

std::optional<ElementParameters> MndoModel::get_element(std::uint8_t z) const {
    return lookup_mndo_element(z);
}

const MndoModel& mndo_model() {
    static const MndoModel model;
    return model;
}

} // namespace quelm
