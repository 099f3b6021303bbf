#pragma once
// The module function `esp_charges`: Merz–Singh–Kollman charges of one molecule.

#include "toolkit/function_table.hpp"

namespace quelm {

extern const FunctionSpec esp_charges_function;

} // namespace quelm
