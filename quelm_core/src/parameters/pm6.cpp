// The published PM6 parameter set: elements and the diatomic core-repulsion pairs.

#include "parameters/models.hpp"
#include "parameters/parameter_tables.hpp"

#include <algorithm>

namespace quelm {

std::optional<ElementParameters> Pm6Model::get_element(std::uint8_t z) const {
    return lookup_pm6_element(z);
}

PairParameters Pm6Model::get_pair_params(std::uint8_t z1, std::uint8_t z2) {
    if (const auto pair = lookup_pm6_pair(std::max(z1, z2), std::min(z1, z2)))
        return *pair;
    return PairParameters{1.2, 0.0};
}

const Pm6Model& pm6_model() {
    static const Pm6Model model;
    return model;
}

} // namespace quelm
