#pragma once
// The module function `calculate`: one single point returning a CalculationResult.

#include "toolkit/function_table.hpp"

namespace quelm {

extern const FunctionSpec calculate_function;

} // namespace quelm
