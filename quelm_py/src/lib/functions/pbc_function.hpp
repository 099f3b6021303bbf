#pragma once
// The module function `pbc`: a periodic Bloch SCF returning a PbcResultPy.

#include "toolkit/function_table.hpp"

namespace quelm {

extern const FunctionSpec pbc_function;

} // namespace quelm
