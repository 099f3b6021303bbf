#pragma once
// The module function `polarizability`: finite-field α, β and γ of one molecule.

#include "toolkit/function_table.hpp"

namespace quelm {

extern const FunctionSpec polarizability_function;

} // namespace quelm
