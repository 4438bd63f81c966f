// Extended-precision arithmetic for lengths. Sums, products and quotients of
// lengths are formed with a 64-bit mantissa and stored as doubles, as the
// printer layout expects; a result that overflows, a division by zero or an
// invalid operation is a job failure, never a silent infinity or NaN.
// Integers of the job wrap around at 32 bits.
#pragma once

#include <cstdint>

namespace tolvane {

typedef long double TExtended;

// The value itself; fails when it is an infinity (overflow) or not a number
// (invalid operation).
TExtended CheckExtended(TExtended value);

// The value rounded to double; fails when the rounding overflows.
double StoreDouble(TExtended value);

// dividend / divisor; fails on a zero divisor.
TExtended DivideExtended(TExtended dividend, TExtended divisor);

// Truncated toward zero; fails when the value is not a number or lies
// outside the signed 64-bit range.
int64_t TruncateToInt64(TExtended value);

// 32-bit two's-complement arithmetic, wrapping instead of overflowing.
inline int32_t WrapTo32(int64_t value) {
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(value)));
}
inline int32_t AddWrapped(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
inline int32_t SubtractWrapped(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}
inline int32_t MultiplyWrapped(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}

}  // namespace tolvane
