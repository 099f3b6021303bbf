#pragma once
// Lookups into the compiled-in published tables (generated at build time from the
// CSV data; see quelm_core/tools/generate_parameter_tables.py). Each is a switch on
// the atomic number(s) and answers nullopt outside the table's coverage.

#include "parameters/element_parameters.hpp"

#include <array>
#include <cstdint>
#include <optional>

namespace quelm {

std::optional<ElementParameters> lookup_mndo_element(std::uint8_t z);
std::optional<ElementParameters> lookup_am1_element(std::uint8_t z);
std::optional<ElementParameters> lookup_pm3_element(std::uint8_t z);
std::optional<ElementParameters> lookup_rm1_element(std::uint8_t z);
std::optional<ElementParameters> lookup_pm6_element(std::uint8_t z);
std::optional<ElementParameters> lookup_pm7_element(std::uint8_t z);

// Tabulated pairs only, keyed by (larger, smaller) atomic number.
std::optional<PairParameters> lookup_pm6_pair(std::uint8_t z_large, std::uint8_t z_small);
std::optional<PairParameters> lookup_pm7_pair(std::uint8_t z_large, std::uint8_t z_small);

// The six d-integral constants of an element: internal s, p, d exponents, F0sd, G2sd
// (each 0 where the Slater-function value is used) and the additive term of the core
// charge distribution (bohr; 0 where the s-s term serves).
struct DConstants {
    std::array<double, 6> values{};
};
std::optional<DConstants> lookup_pm6_d_constants(std::uint8_t z);
std::optional<DConstants> lookup_pm7_d_constants(std::uint8_t z);

} // namespace quelm
