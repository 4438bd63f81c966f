#include "arithmetic.h"

#include <cfloat>
#include <cmath>

#include "tolvane_state.h"

namespace tolvane {

TExtended CheckExtended(TExtended value) {
  if (std::isnan(value)) RaiseJobFailure("Invalid floating point operation");
  if (std::isinf(value)) RaiseJobFailure("Floating point overflow");
  return value;
}

double StoreDouble(TExtended value) {
  double stored = static_cast<double>(CheckExtended(value));
  if (std::isinf(stored)) RaiseJobFailure("Floating point overflow");
  return stored;
}

TExtended DivideExtended(TExtended dividend, TExtended divisor) {
  if (divisor == 0) {
    // 0/0 is an invalid operation; anything else over zero a zero divide.
    if (dividend == 0 || std::isnan(dividend)) RaiseJobFailure("Invalid floating point operation");
    RaiseJobFailure("Floating point division by zero");
  }
  return CheckExtended(dividend / divisor);
}

int64_t TruncateToInt64(TExtended value) {
  // 2^63 is exact in extended precision; the valid range is [-2^63, 2^63).
  const TExtended limit = 9223372036854775808.0L;
  TExtended whole = std::trunc(value);
  if (std::isnan(whole) || whole >= limit || whole < -limit)
    RaiseJobFailure("Invalid floating point operation");
  return static_cast<int64_t>(whole);
}

}  // namespace tolvane
