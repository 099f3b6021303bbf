#pragma once
// The module function `irc`: the intrinsic reaction coordinate from a transition state.

#include "toolkit/function_table.hpp"

namespace quelm {

extern const FunctionSpec irc_function;

} // namespace quelm
