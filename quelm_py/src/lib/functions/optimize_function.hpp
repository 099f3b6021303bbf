#pragma once
// The module function `optimize`: L-BFGS geometry optimisation returning an
// OptimizationPyResult.

#include "toolkit/function_table.hpp"

namespace quelm {

extern const FunctionSpec optimize_function;

} // namespace quelm
