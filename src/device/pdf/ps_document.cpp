// The PostScript format of the canvas's documents: a DSC-conforming
// program of language level 3 whose prolog defines the content operators
// of the canvas, so that each sheet is its content as the PDF format has
// it, compressed and in ASCII base-85, run between save and restore. A
// sheet is written when it ends; the fonts and images that it is the first
// to draw are defined before it in global VM, so that they outlast its
// restore and serve every later sheet.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "device/pdf/pdf_format.h"
#include "device/pdf/ps_resources.h"

namespace tolvane {

namespace {

// Bytes of compressed image data in one PostScript string, which holds at
// most 65,535.
constexpr size_t ImagePiece = 65000;
constexpr size_t Ascii85Line = 75;

struct TPsDocument {
  int Sheets = 0;
  std::string Resources;           // what the next sheet defines before it
  std::vector<std::string> Fonts;  // the PostScript names of the fonts defined
  std::string Media;               // the sheet's size as a media name
};

TPsDocument& PsDocument(TPdfDocument& document) {
  return *static_cast<TPsDocument*>(document.State);
}

// Document comments are plain text lines: a title is kept to printable
// ASCII so that it cannot break out of its line.
std::string DscText(const std::string& text) {
  std::string result;
  for (char ch : text) result += ch >= 0x20 && ch <= 0x7e ? ch : '?';
  return result;
}

// The usual name of a sheet of that size in points, or its size in
// millimetres.
std::string MediaName(const TSheetFrame& frame) {
  struct Size {
    const char* Name;
    int Width, Height;
  } sizes[] = {{"A3", 842, 1191}, {"A4", 595, 842},   {"A5", 420, 595},
               {"Letter", 612, 792}, {"Legal", 612, 1008}};
  long width = std::lround(frame.Width), height = std::lround(frame.Height);
  for (const Size& size : sizes)
    if (width == size.Width && height == size.Height) return size.Name;
  std::string name;
  AppendInteger(name, std::lround(frame.Width * 25.4 / 72));
  name += 'x';
  AppendInteger(name, std::lround(frame.Height * 25.4 / 72));
  return name + "mm";
}

std::string SheetSize(const TSheetFrame& frame) {
  std::string size;
  AppendNumber(size, frame.Width);
  size += ' ';
  AppendNumber(size, frame.Height);
  return size;
}

void BeginPs(TPdfDocument& document, TPdfSink sink, void* closure) {
  StartWriter(document.Writer, sink, closure);
  auto* ps = new TPsDocument;
  document.State = ps;
  ps->Media = MediaName(document.Frame);
  std::string box;
  AppendInteger(box, std::lround(std::ceil(document.Frame.Width)));
  box += ' ';
  AppendInteger(box, std::lround(std::ceil(document.Frame.Height)));
  std::string head = "%!PS-Adobe-3.0\n%%Title: " + DscText(document.Name) +
                     "\n%%Creator: Tolvane " TOLVANE_VERSION
                     "\n%%LanguageLevel: 3\n%%DocumentData: Clean7Bit\n%%Pages: (atend)\n"
                     "%%BoundingBox: 0 0 " + box + "\n%%DocumentMedia: " + ps->Media + ' ' +
                     SheetSize(document.Frame) +
                     " 0 () ()\n%%DocumentSuppliedResources: (atend)\n%%EndComments\n"
                     "%%BeginProlog\n";
  WriteBytes(document.Writer, head + PsProcSet + "%%EndProlog\n");
}

// Every code of the font's code page takes its code now: the font is
// defined before the sheet that first draws with it, and no later sheet
// can add a glyph to it.
void AddPsFont(TPdfDocument& document, TPdfFont& font, const TPdfTextFont& drawn) {
  for (int byte = 0; byte < 256; ++byte)
    PdfCode(font, drawn.Glyphs->Glyph[byte], drawn.CodePage->Character[byte],
            drawn.Glyphs->Advance[byte]);
  TPsDocument& ps = PsDocument(document);
  std::string name;
  ps.Resources += Type42Resource(font, name);
  if (!name.empty()) ps.Fonts.push_back(name);
}

// Data as the decoding filters of the prolog read it. A document that
// cannot be compressed (no memory for the compressor) cannot be written.
std::string_view Packed(TPdfDocument& document, std::string_view data) {
  std::string_view packed = Deflate(document.Writer, data);
  if (packed.empty()) document.Writer.Failed = true;
  return packed;
}

// The pixels compressed, in strings that a procedure hands to the image's
// FlateDecode filter one after the other.
void AddPsImage(TPdfDocument& document, TPdfImage& image, std::string_view rgb) {
  std::string_view packed = Packed(document, rgb);
  std::string& text = PsDocument(document).Resources;
  text += "/Im";
  AppendInteger(text, image.Name);
  text += ' ';
  AppendInteger(text, image.Width);
  text += ' ';
  AppendInteger(text, image.Height);
  text += " [\n";
  for (size_t at = 0; at < packed.size(); at += ImagePiece) {
    text += "<~";
    AppendAscii85(text, packed.substr(at, ImagePiece));
    text += '\n';
  }
  text += "] 3 R\n";
}

// Each size of a face maps its codes to the face's and gives their widths
// and the map of its outlines (in ems) into the frame it is drawn in; a
// sheet that drew with codes new to it defines it again before it.
void AddPsSizedFonts(TPdfDocument& document) {
  std::string& text = PsDocument(document).Resources;
  for (auto& sized : document.Fonts.Sized) {
    if (sized->Count == sized->Announced) continue;
    sized->Announced = sized->Count;
    text += "/S";
    AppendInteger(text, sized->Name);
    text += " /F";
    AppendInteger(text, sized->Base->Name);
    text += " [";
    for (int code = 0; code < 256; ++code) {
      AppendInteger(text, sized->BaseCodes[code]);
      text += code % 32 == 31 ? '\n' : ' ';
    }
    text += "] [";
    for (int code = 0; code < 256; ++code) {
      AppendNumber(text, sized->Widths[code]);
      text += code % 32 == 31 ? '\n' : ' ';
    }
    const TSfntTransform& map = sized->Transform;
    double upem = sized->Base->Face->Metrics.UnitsPerEm;
    text += "] [";
    for (double value : {map.XX, map.YX, map.XY, map.YY, map.DX / upem, map.DY / upem}) {
      char number[32];
      text.append(number, size_t(std::snprintf(number, sizeof number, "%.9g ", value)));
    }
    text += "] Sd\n";
  }
}

void WritePsSheet(TPdfDocument& document, const std::string& content) {
  TPsDocument& ps = PsDocument(document);
  AddPsSizedFonts(document);
  std::string text = "%%Page: ";
  AppendInteger(text, ++ps.Sheets);
  text += ' ';
  AppendInteger(text, ps.Sheets);
  text += "\n%%PageMedia: " + ps.Media + "\n%%BeginPageSetup\nTolvaneDict begin " +
          SheetSize(document.Frame) + " Sz\n";
  if (!ps.Resources.empty()) {
    text += "currentglobal true setglobal\n" + ps.Resources + "setglobal\n";
    ps.Resources.clear();
  }
  text += "%%EndPageSetup\nsave P\n";
  AppendAscii85(text, Packed(document, content));
  text += "\nrestore showpage end\n%%PageTrailer\n";
  WriteBytes(document.Writer, text);
}

void FinishPs(TPdfDocument& document) {
  TPsDocument& ps = PsDocument(document);
  std::string text = "%%Trailer\n%%Pages: ";
  AppendInteger(text, ps.Sheets);
  text += "\n%%DocumentSuppliedResources: procset Tolvane 1 0\n";
  for (const std::string& font : ps.Fonts) text += "%%+ font " + font + '\n';
  WriteBytes(document.Writer, text + "%%EOF\n");
}

void ForgetPs(TPdfDocument& document) { delete static_cast<TPsDocument*>(document.State); }

}  // namespace

// Five digits for every four bytes ("z" for four zeros), cut into lines,
// a line that would begin with '%' (a comment to a spooler) set in by a
// space. The digits are made in one pass and cut in another: every
// sheet's content passes through here.
void AppendAscii85(std::string& text, std::string_view bytes) {
  std::string digits(bytes.size() / 4 * 5 + 5, '\0');
  char* out = digits.data();
  auto put = [&out](uint32_t group, size_t count) {
    char five[5];
    for (int i = 4; i >= 0; --i, group /= 85) five[i] = char('!' + group % 85);
    for (size_t i = 0; i <= count; ++i) *out++ = five[i];
  };
  const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
  size_t at = 0;
  for (; at + 4 <= bytes.size(); at += 4) {
    uint32_t group = uint32_t(in[at]) << 24 | uint32_t(in[at + 1]) << 16 |
                     uint32_t(in[at + 2]) << 8 | uint32_t(in[at + 3]);
    if (group == 0)
      *out++ = 'z';
    else
      put(group, 4);
  }
  if (at < bytes.size()) {
    uint32_t group = 0;
    for (size_t i = 0; i < 4; ++i) group = group << 8 | (at + i < bytes.size() ? in[at + i] : 0);
    put(group, bytes.size() - at);
  }
  size_t length = size_t(out - digits.data());
  text.reserve(text.size() + length + length / (Ascii85Line - 1) + 4);
  for (size_t next = 0; next < length;) {
    size_t room = Ascii85Line;
    if (digits[next] == '%') text += ' ', --room;
    size_t take = std::min(room, length - next);
    text.append(digits, next, take);
    next += take;
    if (take == room) text += '\n';
  }
  text += "~>";
}

extern const TPdfFormat PsDocumentFormat = {
    BeginPs, AddPsFont, AddPsImage, WritePsSheet, FinishPs, ForgetPs,
};

}  // namespace tolvane
