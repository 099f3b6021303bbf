#pragma once
// The module function `frequencies`: Hessian, normal modes and thermochemistry.

#include "toolkit/function_table.hpp"

namespace quelm {

extern const FunctionSpec frequencies_function;

} // namespace quelm
