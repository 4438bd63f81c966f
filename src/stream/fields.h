// Splitting lists of values into fields, and reading fields as numbers.
// The readers are lenient: they keep the field's leading run of number
// characters, so a trailing unit is ignored and text without a number reads
// as zero; only a run that is not a well-formed number fails.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tolvane {

// The unread rest of the text that NextField cuts; one for all callers.
std::string_view FieldRemainder();

// Drops the text NextField was cutting, so that nothing of one job's
// fields is left for the next.
void ForgetFields();

// The user's decimal separator, read once when the program starts.
extern char LocaleDecimalSeparator;

// Cuts the next field, up to delimiter, off FieldRemainder. A non-empty
// source replaces FieldRemainder first; an empty one continues on it. Once the
// last field has been taken, it is returned again on every further call.
std::string NextField(std::string_view source, char delimiter);

// NextField without a copy: the field stays valid until the next call
// with a non-empty source.
std::string_view NextFieldView(std::string_view source, char delimiter);

// Fails with "'run' is not a valid integer value".
int32_t FieldToInt(std::string_view field);

// Fails with "'run' is not a valid floating point value".
double FieldToFloat(std::string_view field);

}  // namespace tolvane
