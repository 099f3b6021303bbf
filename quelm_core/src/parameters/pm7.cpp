// The published PM7 parameter set: elements, diatomic core-repulsion pairs and the
// constants of the d-orbital one-centre integrals.

#include "parameters/models.hpp"
#include "parameters/parameter_tables.hpp"

#include <algorithm>

namespace quelm {

std::optional<ElementParameters> Pm7Model::get_element(std::uint8_t z) const {
    return lookup_pm7_element(z);
}

PairParameters get_pm7_pair_params(std::uint8_t z1, std::uint8_t z2) {
    const std::uint8_t large = std::max(z1, z2);
    const std::uint8_t small = std::min(z1, z2);
    if (const auto pair = lookup_pm7_pair(large, small))
        return *pair;
    // Untabulated heteronuclear pairs take the mean of the two homonuclear pairs, as
    // PM7 prescribes, when the heavier element's own pair is a real one.
    const auto large_pair = lookup_pm7_pair(large, large);
    const auto small_pair = lookup_pm7_pair(small, small);
    if (large_pair && small_pair && large_pair->x > 1e-5) {
        return PairParameters{(large_pair->alpha + small_pair->alpha) / 2.0,
                              (large_pair->x + small_pair->x) / 2.0};
    }
    return PairParameters{0.0, 0.0};
}

const Pm7Model& pm7_model() {
    static const Pm7Model model;
    return model;
}

} // namespace quelm
