#pragma once
// The module function `karvel`: the localized-orbital (linear-scaling) SCF.

#include "toolkit/function_table.hpp"

namespace quelm {

extern const FunctionSpec karvel_function;

} // namespace quelm
