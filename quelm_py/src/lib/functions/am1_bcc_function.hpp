#pragma once
// The module function `am1_bcc`: Mulliken charges plus bond charge corrections.

#include "toolkit/function_table.hpp"

namespace quelm {

extern const FunctionSpec am1_bcc_function;

} // namespace quelm
