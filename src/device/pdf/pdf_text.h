// The text layer of a PDF page: the glyphs that a line's calls draw one by
// one become runs of text in reading order, one run for as long as the
// glyphs follow one another on one baseline in one font, each glyph put
// where the device pixels say by small adjustments between glyphs.
#pragma once

#include <cstdint>
#include <string>

#include "device/fonts/code_page.h"
#include "device/fonts/font_face.h"
#include "device/fonts/font_layout.h"
#include "device/pdf/pdf_fonts.h"

namespace tolvane {

// A font description made ready for drawing on one document.
struct TPdfTextFont {
  LOGFONTA Key{};
  const TFontFace* Face = nullptr;  // null: nothing can be drawn with it
  const TFaceGlyphs* Glyphs = nullptr;
  const TCodePageTable* CodePage = nullptr;
  TFontLayout Layout{};
  TPdfFont* Font = nullptr;
  int16_t Codes[256] = {};   // by byte, the font's code plus 1; 0 until first drawn
  int32_t Widths[256] = {};  // by byte, thousandths of an em
  double Reach = 0;          // how far ink may lie from a glyph's origin, in pixels
  double Scale = 0;          // pixels per em along the text
  double EmsPerPixel = 0;    // its inverse
  double UnitX = 1, UnitY = 0;  // the direction of the text
  double AdvanceEms[256] = {};  // by byte, Widths in ems
  double BoldWidth = 0;      // the outline's stroke for synthetic bold, in pixels
};

// Makes font ready for a device of the geometry; Face stays null when no
// face answers.
void PreparePdfTextFont(TPdfTextFont& font, const LOGFONTA& description,
                        const TPrinterGeometry& geometry);

// The text of one page's content on its way out.
struct TPdfText {
  bool InText = false;  // a text object is open
  bool InRun = false;   // a TJ array is open
  bool InString = false;  // a string of codes is open in it
  const TPdfTextFont* RunFont = nullptr;
  double StartX = 0, StartY = 0;  // the run's first glyph origin, in pixels
  double Pen = 0;  // where the next glyph lands unadjusted, in ems from the start
  // The text state of the page as set so far.
  int StateFont = 0;
  double StateBold = -1;
};

// The glyph of byte in font with its origin at x, y (device pixels) joins
// the page's text. Glyphs wholly outside the area width by height are
// left out.
void AddPdfGlyph(std::string& content, TPdfText& text, TPdfTextFont& font, unsigned char byte,
                 double x, double y, double width, double height);

// Ends the text object (before other drawing, and at the page's end).
void EndPdfText(std::string& content, TPdfText& text);

// Starts a page's text anew: nothing of its state is set yet.
void ResetPdfText(TPdfText& text);

}  // namespace tolvane
