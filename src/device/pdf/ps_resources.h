// The pieces of a PostScript document that ps_document.cpp puts together:
// the procedure set that runs a sheet's content as it is, Type 42 fonts,
// and data in ASCII base-85.
#pragma once

#include <string>
#include <string_view>

#include "device/pdf/pdf_fonts.h"

namespace tolvane {

// The prolog's procedure set: TolvaneDict, which defines the content
// operators of the canvas (q Q cm re W n m l h f g w Tr BT ET Tf Tm TJ Do),
// P to run a sheet's compressed content from the file, Sz to set the page
// size, and R to register a font or image in global VM for every later
// sheet.
extern const char PsProcSet[];

// Defines the font as a Type 42 font of the glyphs of all its codes, in
// global VM, and registers it as /F<Name> with its codes' widths; name is
// the font's PostScript name. A face that cannot be subset is diagnosed and
// stands in as the printer's Courier, so that its text still takes its
// places.
std::string Type42Resource(const TPdfFont& font, std::string& name);

// ASCII base-85 as PostScript's filter and string syntax read it, ended by
// "~>", in lines of at most 75 characters, none of which starts with a
// percent sign (a document comment to anything that reads the file's
// structure).
void AppendAscii85(std::string& text, std::string_view bytes);

}  // namespace tolvane
