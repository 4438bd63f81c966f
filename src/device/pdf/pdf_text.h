// The text layer of a PDF page: the glyphs that a line's calls draw one by
// one become one text object of lines in reading order, each line placed
// once and the pen carried on across a change of font, each glyph drawn
// under the code whose width is the step to the next glyph, so that numbers
// between glyphs are needed only where a line jumps.
#pragma once

#include <cstdint>
#include <string>

#include "device/fonts/code_page.h"
#include "device/fonts/font_face.h"
#include "device/fonts/font_layout.h"
#include "device/pdf/pdf_fonts.h"
#include "device/sfnt/sfnt_subset.h"

namespace tolvane {

// A font description made ready for drawing on one document.
struct TPdfTextFont {
  LOGFONTA Key{};
  const TFontFace* Face = nullptr;  // null: nothing can be drawn with it
  const TFaceGlyphs* Glyphs = nullptr;
  const TCodePageTable* CodePage = nullptr;
  TFontLayout Layout{};
  TPdfFont* Font = nullptr;
  TPdfSizedFont* Sized = nullptr;  // the face at this size; set before drawing
  TPdfFonts* Fonts = nullptr;      // the document's, where a new size is made
  int16_t BaseCodes[256] = {};  // by byte, the face's code plus 1; 0 until first drawn
  double Reach = 0;          // how far ink may lie from a glyph's origin, in pixels
  // From the cell's top-left corner to where a glyph is placed: its own
  // origin, or that of the font whose frame it draws in.
  double OriginX = 0, OriginY = 0;
  // A face drawn in the frame of another font (its size, width and
  // baseline) has its outlines mapped into that frame, so that a change
  // between the two writes no more than the font's name.
  bool Framed = false;
  TSfntTransform Transform{};
  double Scale = 0;          // pixels per em along the text, as a reader has it
  double Vertical = 0;       // pixels per em across it
  double Width = 100;        // the width in percent, as Tz writes it
  double UnitX = 1, UnitY = 0;  // the direction of the text
  double RiseAcross = 0;  // pixels across the line a rise of 1 moves; 0: it moves along too
  // The text matrix of a line: a pixel along the text, a pixel up its
  // glyphs; the size goes to Tf and the width to Tz.
  double Matrix[4] = {1, 0, 0, -1};
  double Advance[256] = {};  // by byte, the glyph's advance in pixels along the text
  double BoldWidth = 0;      // the outline's stroke for synthetic bold, in pixels
  std::string Selection;     // its Tf, once drawn with
  std::string WidthText;     // its Tz, once drawn with
};

// Makes font ready for a device of the geometry; Face stays null when no
// face answers.
void PreparePdfTextFont(TPdfTextFont& font, const LOGFONTA& description,
                        const TPrinterGeometry& geometry);

// Sets what drawing needs from font's layout: its scales, text matrix
// and advances.
void SetPdfTextGeometry(TPdfTextFont& font);

// Lets font draw in the frame of frame: the same text matrix, size and
// width, the glyph origin at frame's, its outlines mapped to make up for
// it. False, and font unchanged, where the two are too unlike for that
// (another direction, a size far off) or font's outlines cannot be mapped.
bool FramePdfTextFont(TPdfTextFont& font, const TPdfTextFont& frame);

// The map of font's outlines into its frame; null for a font drawn in its own.
inline const TSfntTransform* FrameMap(const TPdfTextFont& font) {
  return font.Framed ? &font.Transform : nullptr;
}

// The text of one page's content on its way out.
struct TPdfText {
  bool InText = false;    // a text object is open
  bool InLine = false;    // a line is placed and a run of it open
  bool InString = false;  // a string of codes is open in it
  bool RunArray = false;  // the open run is a TJ array, not one Tj string
  size_t RunStart = 0;    // where the open run begins in the content
  const TPdfTextFont* RunFont = nullptr;  // the font of the open array
  double Matrix[4] = {};  // the line's text matrix as written
  double LineX = 0, LineY = 0;  // the line's origin as a viewer has it, in pixels
  double BaseX = 0, BaseY = 0;  // the line's first glyph origin
  // A run that sits off the line's baseline (a bold face whose ascent
  // differs) goes on with a rise: as written, and its pixels across the line.
  double Rise = 0, RiseAcross = 0;
  double Pen = 0;  // where the next glyph lands, in pixels along the line
  // The glyph waiting for the next one to tell its step.
  bool Waiting = false;
  TPdfTextFont* WaitingFont = nullptr;
  unsigned char WaitingByte = 0;
  double WaitingAlong = 0;
  // The leading (T*) as set so far, the last move down from line to line,
  // and room for the numbers of the next.
  double Leading = 0, LastMove = 0;
  std::string Move;
  struct TRiseText {
    double Rise = 0;
    std::string Text;  // " <rise> Ts"; empty until made
  } RiseTexts[2];
  int NextRiseText = 0;
  // The text state of the page as set so far.
  int StateFont = 0;
  double StateSize = -1, StateWidth = -1, StateBold = -1;  // Tf, Tz, w
  double StateRise = 0;                                    // Ts
};

// The glyph of byte in font with its origin at x, y (device pixels) joins
// the page's text. Glyphs wholly outside the area width by height are
// left out.
void AddPdfGlyph(std::string& content, TPdfText& text, TPdfTextFont& font, unsigned char byte,
                 double x, double y, double width, double height);

// The glyphs of count bytes in font, the first with its origin at x, y,
// each next one an advance on: AddPdfGlyph for each, with the common glyph
// (the next of the open run, on its pixel) kept out of any call.
void AddPdfGlyphs(std::string& content, TPdfText& text, TPdfTextFont& font, const char* bytes,
                  int count, double x, double y, double width, double height);

// Ends the text object (before other drawing, and at the page's end).
void EndPdfText(std::string& content, TPdfText& text);

// Starts a page's text anew: nothing of its state is set yet.
void ResetPdfText(TPdfText& text);

}  // namespace tolvane
