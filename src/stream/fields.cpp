#include "stream/fields.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "arithmetic.h"
#include "tolvane_state.h"

namespace tolvane {

namespace {

// The source as given and how much of it has been cut: a field is cut by
// moving the start on, so the fields handed out stay where they are and
// nothing is copied.
std::string FieldSource;
size_t FieldStart = 0;

}  // namespace

char LocaleDecimalSeparator = '.';

std::string_view FieldRemainder() { return std::string_view(FieldSource).substr(FieldStart); }

void ForgetFields() {
  FieldSource.clear();
  FieldStart = 0;
}

std::string_view NextFieldView(std::string_view source, char delimiter) {
  if (!source.empty()) {
    FieldSource.assign(source);
    FieldStart = 0;
  }
  std::string_view rest = FieldRemainder();
  // Fields are a few characters long: a plain loop beats a library call.
  for (size_t at = 0; at < rest.size(); ++at) {
    if (rest[at] != delimiter) continue;
    FieldStart += at + 1;
    return rest.substr(0, at);
  }
  return rest;
}

std::string NextField(std::string_view source, char delimiter) {
  return std::string(NextFieldView(source, delimiter));
}

static bool IsDigit(char c) { return c >= '0' && c <= '9'; }
static bool IsSign(char c) { return c == '+' || c == '-'; }
static bool IsIntegerCharacter(char c) { return IsDigit(c) || IsSign(c); }
static bool IsFloatCharacter(char c) { return IsIntegerCharacter(c) || c == ',' || c == '.'; }

// The field's leading run of characters that belong to the number.
static std::string_view LeadingRun(std::string_view field, bool (*belongs)(char)) {
  size_t length = 0;
  while (length < field.size() && belongs(field[length])) length++;
  return field.substr(0, length);
}

[[noreturn]] static void FailInteger(std::string_view run) {
  std::string message = "'";
  message.append(run);
  RaiseJobFailure(message + "' is not a valid integer value");
}

[[noreturn]] static void FailFloat(const std::string& run) {
  RaiseJobFailure("'" + run + "' is not a valid floating point value");
}

int32_t FieldToInt(std::string_view field) {
  std::string_view run = LeadingRun(field, IsIntegerCharacter);
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
  std::string run(LeadingRun(field, IsFloatCharacter));
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
