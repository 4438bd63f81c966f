// Extended-precision arithmetic for lengths. Sums, products and quotients of
// lengths are formed with a 64-bit mantissa and stored as doubles, as the
// printer layout expects; a result that overflows, a division by zero or an
// invalid operation is a job failure, never a silent infinity or NaN.
// Integers of the job wrap around at 32 bits.
//
// Every character drawn passes through these several times, so the checks
// are inline and only the failures are calls.
#pragma once

#include <cmath>
#include <cstdint>

namespace tolvane {

typedef long double TExtended;

[[noreturn]] void RaiseOverflow();
[[noreturn]] void RaiseInvalidOperation();
[[noreturn]] void RaiseZeroDivide();

// The value itself; fails when it is an infinity (overflow) or not a number
// (invalid operation).
inline TExtended CheckExtended(TExtended value) {
  if (__builtin_expect(!std::isfinite(value), 0)) {
    if (std::isnan(value)) RaiseInvalidOperation();
    RaiseOverflow();
  }
  return value;
}

// The value rounded to double; fails when the rounding overflows.
inline double StoreDouble(TExtended value) {
  double stored = static_cast<double>(CheckExtended(value));
  if (__builtin_expect(std::isinf(stored), 0)) RaiseOverflow();
  return stored;
}

// dividend / divisor; fails on a zero divisor (0/0 is an invalid operation).
inline TExtended DivideExtended(TExtended dividend, TExtended divisor) {
  if (__builtin_expect(divisor == 0, 0)) {
    if (dividend == 0 || std::isnan(dividend)) RaiseInvalidOperation();
    RaiseZeroDivide();
  }
  return CheckExtended(dividend / divisor);
}

// Truncated toward zero; fails when the value is not a number or its whole
// part lies outside the signed 64-bit range. 2^63 and 2^63 + 1 are exact in
// extended precision.
inline int64_t TruncateToInt64(TExtended value) {
  const TExtended limit = 9223372036854775808.0L;
  if (__builtin_expect(!(value > -limit - 1 && value < limit), 0)) RaiseInvalidOperation();
  return static_cast<int64_t>(value);  // the conversion truncates toward zero
}

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
