#pragma once
// The module function `saddle`: a transition state between two structures, by SADDLE.

#include "toolkit/function_table.hpp"

namespace quelm {

extern const FunctionSpec saddle_function;

} // namespace quelm
