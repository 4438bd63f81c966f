#include "arithmetic.h"

#include "tolvane_state.h"

namespace tolvane {

void RaiseOverflow() { RaiseJobFailure("Floating point overflow"); }

void RaiseInvalidOperation() { RaiseJobFailure("Invalid floating point operation"); }

void RaiseZeroDivide() { RaiseJobFailure("Floating point division by zero"); }

}  // namespace tolvane
