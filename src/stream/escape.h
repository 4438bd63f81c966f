#pragma once

#include <cstddef>

namespace tolvane {

// Reads the escape sequence that starts at the ESC of text (the rest of the
// line; a NUL byte ends it as the line's end does), runs the command that the
// configuration gives its letter, with any inline arguments appended, and
// returns how many bytes of the line the sequence took (at least 1).
size_t ExpandSequence(const char* text, size_t length);

}  // namespace tolvane
