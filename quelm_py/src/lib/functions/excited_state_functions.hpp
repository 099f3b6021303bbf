#pragma once
// The module functions `meci` and `uv_vis_spectrum`.

#include "toolkit/function_table.hpp"

namespace quelm {

extern const FunctionSpec meci_function;
extern const FunctionSpec uv_vis_spectrum_function;

} // namespace quelm
