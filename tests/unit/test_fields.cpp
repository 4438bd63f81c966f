#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "stream/fields.h"
#include "tolvane_state.h"

using namespace tolvane;

namespace {

struct SeparatorScope {
  char saved = LocaleDecimalSeparator;
  explicit SeparatorScope(char separator) { LocaleDecimalSeparator = separator; }
  ~SeparatorScope() { LocaleDecimalSeparator = saved; }
};

std::string IntFailure(const char* field) {
  try {
    FieldToInt(field);
  } catch (const TJobFailure& failure) {
    return failure.Message;
  }
  return "no failure";
}

std::string FloatFailure(const char* field) {
  try {
    FieldToFloat(field);
  } catch (const TJobFailure& failure) {
    return failure.Message;
  }
  return "no failure";
}

}  // namespace

TEST(NextField, CutsFieldsOffOneSharedRemainder) {
  struct Step {
    const char* source;
    char delimiter;
    const char* field;
    const char* remainder;
  } steps[] = {
      {"FSIZ:36,24", ':', "FSIZ", "36,24"},
      {"", ',', "36", "24"},
      {"", ',', "24", "24"},  // the last field comes back again and again
      {"", ',', "24", "24"},
      {"VERT", ':', "VERT", "VERT"},
      {"a,,b", ',', "a", ",b"},
      {"", ',', "", "b"},
      {"", ',', "b", "b"},
      {",,,", ',', "", ",,"},
      {"", ',', "", ","},
      {"", ',', "", ""},
      {"", ',', "", ""},
      {" x , y", ',', " x ", " y"},  // blanks belong to the field
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(std::string("source '") + step.source + "'");
    EXPECT_EQ(NextField(step.source, step.delimiter), step.field);
    EXPECT_EQ(FieldRemainder(), step.remainder);
  }
}

TEST(FieldToInt, KeepsTheLeadingRunOfSignsAndDigits) {
  struct Case {
    const char* field;
    int32_t value;
  } cases[] = {
      {"36", 36},         {"36mm", 36},   {"12 34", 12},
      {" 36", 0},         {"", 0},        {"abc", 0},
      {"x5", 0},          {"+7", 7},      {"007", 7},
      {"-12", -12},       {"4.5", 4},     {"4,5", 4},
      {"5.", 5},          {".5", 0},      {".", 0},
      {"3e2", 3},         {"12abc99", 12}, {"2147483647", 2147483647},
      {"-2147483648", INT32_MIN},          {"-0", 0},
      {"0000000000000000000000000042", 42},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.field);
    EXPECT_EQ(FieldToInt(c.field), c.value);
  }
}

TEST(FieldToInt, FailsOnMalformedRunsNamingTheRun) {
  struct Case {
    const char* field;
    const char* message;
  } cases[] = {
      {"+", "'+' is not a valid integer value"},
      {"-", "'-' is not a valid integer value"},
      {"1-2", "'1-2' is not a valid integer value"},
      {"1-2abc", "'1-2' is not a valid integer value"},
      {"--1", "'--1' is not a valid integer value"},
      {"+-1", "'+-1' is not a valid integer value"},
      {"2147483648", "'2147483648' is not a valid integer value"},
      {"-2147483649", "'-2147483649' is not a valid integer value"},
      {"99999999999999999999999", "'99999999999999999999999' is not a valid integer value"},
  };
  for (const Case& c : cases) EXPECT_EQ(IntFailure(c.field), c.message) << c.field;
}

TEST(FieldToFloat, ReadsFractionsWithEitherSeparatorInTheUsualLocales) {
  struct Case {
    char separator;
    const char* field;
    double value;
  } cases[] = {
      {'.', "36", 36.0},   {'.', "36mm", 36.0}, {'.', " 36", 0.0},  {'.', "", 0.0},
      {'.', "abc", 0.0},   {'.', "+7", 7.0},    {'.', "-12", -12.0}, {'.', "4.5", 4.5},
      {'.', "4,5", 4.5},   {'.', "5.", 5.0},    {'.', ".5", 0.5},   {'.', ".", 0.0},
      {'.', "+.", 0.0},    {'.', "3e2", 3.0},   {'.', "2147483648", 2147483648.0},
      {',', "4.5", 4.5},   {',', "4,5", 4.5},   {',', ",25", 0.25},
      {'\'', "12", 12.0},  {'\'', "-3", -3.0},
  };
  for (const Case& c : cases) {
    SeparatorScope scope(c.separator);
    SCOPED_TRACE(std::string(c.field) + " separator " + c.separator);
    EXPECT_EQ(FieldToFloat(c.field), c.value);
  }
}

TEST(FieldToFloat, FailsOnMalformedRunsAfterTheSeparatorSwap) {
  struct Case {
    char separator;
    const char* field;
    const char* message;
  } cases[] = {
      {'.', "1.2.3", "'1.2.3' is not a valid floating point value"},
      {'.', "1,2,3", "'1.2.3' is not a valid floating point value"},
      {',', "1.2.3", "'1,2,3' is not a valid floating point value"},
      {'.', "+", "'+' is not a valid floating point value"},
      {'.', "-", "'-' is not a valid floating point value"},
      {'.', "1-2", "'1-2' is not a valid floating point value"},
      {'\'', "4.5", "'4.5' is not a valid floating point value"},
  };
  for (const Case& c : cases) {
    SeparatorScope scope(c.separator);
    EXPECT_EQ(FloatFailure(c.field), c.message) << c.field;
  }
}

TEST(FieldToFloat, RoundsThroughExtendedPrecisionAndRefusesInfinity) {
  SeparatorScope scope('.');
  EXPECT_EQ(FieldToFloat("0.1"), 0.1);
  std::string largest = "17976931348623157" + std::string(292, '0');
  EXPECT_EQ(FieldToFloat(largest), 1.7976931348623157e308);
  std::string huge(400, '9');
  EXPECT_EQ(FloatFailure(huge.c_str()), "'" + huge + "' is not a valid floating point value");
  std::string tiny = "0." + std::string(5000, '0') + "1";
  EXPECT_EQ(FieldToFloat(tiny), 0.0);
}
