#include "stream/fields.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "arithmetic.h"
#include "tolvane_state.h"

namespace tolvane {

std::string FieldRemainder;
char LocaleDecimalSeparator = '.';

std::string NextField(std::string_view source, char delimiter) {
  if (!source.empty()) FieldRemainder.assign(source);
  size_t at = FieldRemainder.find(delimiter);
  if (at == std::string::npos) return FieldRemainder;
  std::string field = FieldRemainder.substr(0, at);
  FieldRemainder.erase(0, at + 1);
  return field;
}

static bool IsDigit(char c) { return c >= '0' && c <= '9'; }
static bool IsSign(char c) { return c == '+' || c == '-'; }

// The field's leading run of characters from the given set.
static std::string LeadingRun(std::string_view field, std::string_view set) {
  size_t length = 0;
  while (length < field.size() && set.find(field[length]) != std::string_view::npos) length++;
  return std::string(field.substr(0, length));
}

[[noreturn]] static void FailInteger(const std::string& run) {
  RaiseJobFailure("'" + run + "' is not a valid integer value");
}

[[noreturn]] static void FailFloat(const std::string& run) {
  RaiseJobFailure("'" + run + "' is not a valid floating point value");
}

int32_t FieldToInt(std::string_view field) {
  std::string run = LeadingRun(field, "+-0123456789");
  if (run.empty()) return 0;
  size_t at = IsSign(run[0]) ? 1 : 0;
  bool negative = run[0] == '-';
  if (at == run.size()) FailInteger(run);
  // The magnitude may reach 2^31 for a negative value; past that it fails,
  // so the accumulation never leaves the 64-bit range.
  const int64_t limit = negative ? 2147483648LL : 2147483647LL;
  int64_t magnitude = 0;
  for (; at < run.size(); at++) {
    if (!IsDigit(run[at])) FailInteger(run);
    magnitude = magnitude * 10 + (run[at] - '0');
    if (magnitude > limit) FailInteger(run);
  }
  return static_cast<int32_t>(negative ? -magnitude : magnitude);
}

// Swaps '.' and ',' so that a fraction may be written with either in the two
// usual locales.
static void SwapSeparator(std::string& run) {
  char from = 0;
  if (LocaleDecimalSeparator == '.') from = ',';
  if (LocaleDecimalSeparator == ',') from = '.';
  if (from == 0) return;
  for (char& c : run)
    if (c == from) c = LocaleDecimalSeparator;
}

double FieldToFloat(std::string_view field) {
  std::string run = LeadingRun(field, "+,-.0123456789");
  SwapSeparator(run);
  if (run.empty()) return 0.0;
  size_t at = 0;
  std::string canonical;
  if (IsSign(run[0])) canonical += run[at++];
  if (at == run.size()) FailFloat(run);
  size_t wholeStart = at;
  while (at < run.size() && IsDigit(run[at])) at++;
  std::string whole = run.substr(wholeStart, at - wholeStart);
  std::string fraction;
  if (at < run.size() && run[at] == LocaleDecimalSeparator) {
    size_t fractionStart = ++at;
    while (at < run.size() && IsDigit(run[at])) at++;
    fraction = run.substr(fractionStart, at - fractionStart);
  }
  if (at != run.size()) FailFloat(run);
  // The C library reads the value with a 64-bit mantissa; the process works
  // in the C locale, so the separator it knows is '.'.
  canonical += (whole.empty() ? "0" : whole) + "." + (fraction.empty() ? "0" : fraction);
  errno = 0;
  TExtended value = std::strtold(canonical.c_str(), nullptr);
  double stored = static_cast<double>(value);
  if (std::isinf(value) || std::isinf(stored)) FailFloat(run);
  return stored;
}

}  // namespace tolvane
