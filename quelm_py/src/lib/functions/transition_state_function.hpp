#pragma once
// The module function `transition_state`: eigenvector-following saddle-point search.

#include "toolkit/function_table.hpp"

namespace quelm {

extern const FunctionSpec transition_state_function;

} // namespace quelm
