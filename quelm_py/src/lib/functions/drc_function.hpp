#pragma once
// The module function `drc`: Born–Oppenheimer molecular dynamics returning a DrcPyResult.

#include "toolkit/function_table.hpp"

namespace quelm {

extern const FunctionSpec drc_function;

} // namespace quelm
