#pragma once

namespace tolvane {

// Draws a BMP file into a rectangle of the page. Takes the file name and the
// rectangle (tenths of a millimetre) from the fields that follow; reports its
// own failures in a warning box and lets the job go on.
void DrawLogo();

}  // namespace tolvane
