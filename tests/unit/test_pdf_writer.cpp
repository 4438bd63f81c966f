// The pieces of the PDF writer: numbers and strings as content streams
// want them, a font file's character map replaced, and a document's course
// through an output that may fail.
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <ft2build.h>
#include FT_FREETYPE_H
#include <gtest/gtest.h>

#include "device/device.h"
#include "device/linux/cairo_fonts.h"
#include "device/pdf/pdf_canvas.h"
#include "device/pdf/pdf_format.h"
#include "device/sfnt/sfnt_embed.h"
#include "device/pdf/pdf_writer.h"
#include "tolvane_state.h"

namespace tolvane {
namespace {

TEST(PdfWriter, NumbersAndStringsKeepTheirValue) {
  struct Case {
    double value;
    const char* text;
  } numbers[] = {
      {0, "0"},           {-0.00001, "0"},       {12, "12"},          {-12, "-12"},
      {0.5, "0.5"},       {-0.5, "-0.5"},        {1.23456, "1.2346"}, {-1.00004, "-1"},
      {0.0001, "0.0001"}, {2.99999, "3"},        {1e300, "0"},        {-1e300, "0"},
      {7015.9, "7015.9"}, {-0.04999, "-0.05"},
  };
  for (const Case& c : numbers) {
    std::string text;
    AppendNumber(text, c.value);
    EXPECT_EQ(text, c.text) << c.value;
  }
  struct Literal {
    std::string bytes;
    const char* text;
  } literals[] = {
      {"Tolvane_drv", "(Tolvane_drv)"},
      {"a(b)c\\", "(a\\(b\\)c\\\\)"},
      {std::string("\r\n\0\xff", 4), "(\\015\\012\\000\\377)"},
  };
  for (const Literal& c : literals) {
    std::string text;
    AppendLiteral(text, c.bytes);
    EXPECT_EQ(text, c.text);
  }
}

std::string ReadWhole(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

uint32_t WholeChecksum(const std::string& font) {
  uint32_t sum = 0;
  for (size_t at = 0; at + 3 < font.size(); at += 4)
    sum += uint32_t(uint8_t(font[at])) << 24 | uint32_t(uint8_t(font[at + 1])) << 16 |
           uint32_t(uint8_t(font[at + 2])) << 8 | uint8_t(font[at + 3]);
  return sum;
}

TEST(PdfWriter, TheCharacterMapIsReplacedByTheCharactersDrawn) {
  const TFontFace* face = FindFontFace("Liberation Mono", 0, false);
  ASSERT_NE(face, nullptr);
  std::string font = ReadWhole(face->File);
  ASSERT_FALSE(font.empty());
  // A character listed twice keeps its first glyph; 0xFFFF cannot be mapped.
  std::vector<TCharacterGlyph> pairs = {
      {'B', 37}, {0x0151, 400}, {'A', 36}, {'A', 99}, {0xFFFF, 5}, {0x00A0, 3}};
  ASSERT_TRUE(ReplaceCharacterMap(font, pairs));
  EXPECT_EQ(WholeChecksum(font), 0xB1B0AFBAu);
  FT_Library library;
  ASSERT_EQ(FT_Init_FreeType(&library), 0);
  FT_Face loaded;
  ASSERT_EQ(FT_New_Memory_Face(library, reinterpret_cast<const FT_Byte*>(font.data()),
                               FT_Long(font.size()), 0, &loaded),
            0);
  ASSERT_EQ(FT_Select_Charmap(loaded, FT_ENCODING_UNICODE), 0);
  struct Case {
    FT_ULong character;
    FT_UInt glyph;
  } cases[] = {{'A', 36}, {'B', 37}, {0x0151, 400}, {0x00A0, 3}, {'C', 0}, {0xFFFF, 0}, {0x20, 0}};
  for (const Case& c : cases) EXPECT_EQ(FT_Get_Char_Index(loaded, c.character), c.glyph) << c.character;
  FT_Done_Face(loaded);
  FT_Done_FreeType(library);
}

TEST(PdfWriter, WhatIsNoFontIsLeftAsItWas) {
  std::string header("\0\1\0\0\0\1", 6);
  std::string record = std::string("cmap") + std::string("\0\0\0\0\0\0\0\x1c\0\0\1\0", 12);
  for (const std::string& bytes : {std::string(), std::string("true"), header,
                                   header + std::string(6, '\0') + record}) {
    std::string font = bytes;
    EXPECT_FALSE(ReplaceCharacterMap(font, {{'A', 1}})) << bytes.size() << " bytes";
    EXPECT_EQ(font, bytes);
  }
}

// A document on an output that records what reaches it, driven call by
// call as the Win32 layer drives a backend.
struct TRecord {
  std::string Bytes;
  int Begins = 0, Commits = 0, Discards = 0;
  bool FailWrites = false, FailCommit = false;
};

TRecord& Recorded(void* output) { return *static_cast<TRecord*>(output); }

bool RecordBegin(void* output, const std::string&, std::string&) {
  ++Recorded(output).Begins;
  return true;
}

bool RecordBytes(void* output, const void* data, size_t size) {
  if (Recorded(output).FailWrites) return false;
  Recorded(output).Bytes.append(static_cast<const char*>(data), size);
  return true;
}

bool RecordCommit(void* output, std::string& failure) {
  ++Recorded(output).Commits;
  if (Recorded(output).FailCommit) failure = "the queue went away";
  return !Recorded(output).FailCommit;
}

void RecordDiscard(void* output) { ++Recorded(output).Discards; }
std::string RecordFailure(const void*) { return "the disk is full"; }
void KeepRecord(void*) {}

const TPdfOutput RecordingOutput = {
    NoPdfPreparation, RecordBegin,   RecordBytes, RecordCommit,
    RecordDiscard,    RecordFailure, KeepRecord,
};

struct TRecordedContext {
  TDeviceContext Dc{};
  TRecord Record;
  explicit TRecordedContext(const TPdfFormat* format = &PdfDocumentFormat,
                            int bkMode = TRANSPARENT) {
    Dc.Geometry.PaperWidthMicro = 210000;
    Dc.Geometry.PaperHeightMicro = 297000;
    Dc.Geometry.DpiX = Dc.Geometry.DpiY = 300;
    Dc.Geometry.CodePage = 1252;
    Dc.SelectedFont = StockFont();
    Dc.BkMode = bkMode;
    AttachPdfCanvas(&Dc, &RecordingOutput, &Record, format);
  }
  ~TRecordedContext() {
    if (Dc.Data) PdfClose(&Dc);
  }
  void StartDoc() {
    PdfStartDocument(&Dc, "Job");
    Dc.InDocument = true;
  }
  void Sheet(const char* text) {
    PdfStartPage(&Dc);
    Dc.InPage = true;
    PdfTextOutput(&Dc, 100, 100, text, int(std::strlen(text)));
    PdfEndPage(&Dc);
    Dc.InPage = false;
  }
  void EndDoc() {
    PdfEndDoc(&Dc);
    Dc.InDocument = false;
  }
};

// What a failure raised on the way says; empty when none was.
template <typename Step>
std::string FailureOf(Step step) {
  try {
    step();
  } catch (const TJobFailure& failure) {
    return failure.Message;
  }
  return "";
}

TEST(PdfWriter, DocumentsEndWhereTheirOutputTakesThem) {
  struct Case {
    const char* why;
    int sheets;
    bool failWrites, failCommit, abort;
    const char* failure;
    int begins, commits;
  } cases[] = {
      {"two sheets, ended", 2, false, false, false, "", 1, 1},
      {"no sheets: nothing begins", 0, false, false, false, "", 0, 0},
      {"aborted", 1, false, false, true, "", 1, 0},
      {"writes fail: the sheet's end says so", 1, true, false, false, "the disk is full", 1, 0},
      {"the output refuses the document", 1, false, true, false, "the queue went away", 1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    TRecordedContext context;
    context.Record.FailWrites = c.failWrites;
    context.Record.FailCommit = c.failCommit;
    context.StartDoc();
    std::string failure = FailureOf([&] {
      for (int i = 0; i < c.sheets; ++i) context.Sheet("a sheet");
      if (c.abort) {
        PdfAbortDoc(&context.Dc);
        context.Dc.InDocument = false;
      } else {
        context.EndDoc();
      }
    });
    // A failed job aborts its document.
    if (context.Dc.InDocument) PdfAbortDoc(&context.Dc);
    EXPECT_EQ(failure, c.failure);
    EXPECT_EQ(context.Record.Begins, c.begins);
    EXPECT_EQ(context.Record.Commits, c.commits);
    bool kept = c.commits && !c.failCommit;
    if (kept) {
      EXPECT_EQ(context.Record.Bytes.rfind("%PDF-1.7", 0), 0u);
      EXPECT_NE(context.Record.Bytes.find("/Count 2"), std::string::npos);
      EXPECT_EQ(context.Record.Bytes.substr(context.Record.Bytes.size() - 6), "%%EOF\n");
      EXPECT_EQ(context.Record.Discards, 0) << "a committed document was discarded";
    } else {
      EXPECT_GE(context.Record.Discards, 1);
    }
  }
}

// A PostScript document on the same output, each sheet's cells painted
// white first where the background is opaque: Ghostscript runs it.
TEST(PdfWriter, PostScriptDocumentsRunWhateverTheBackground) {
  std::string path = testing::TempDir() + "tolvane-recorded.ps";
  for (int bkMode : {TRANSPARENT, OPAQUE}) {
    TRecordedContext context(&PsDocumentFormat, bkMode);
    context.StartDoc();
    context.Sheet("one");
    context.Sheet("two");
    context.EndDoc();
    std::ofstream(path, std::ios::binary) << context.Record.Bytes;
    std::string command = "gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=nullpage '" + path + "' 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char said[512] = "";
    size_t got = std::fread(said, 1, sizeof said - 1, pipe);
    EXPECT_EQ(pclose(pipe), 0) << said;
    EXPECT_EQ(got, 0u) << bkMode << ": " << said;
    EXPECT_NE(context.Record.Bytes.find("\n%%Pages: 2\n"), std::string::npos);
  }
  std::remove(path.c_str());
}

}  // namespace
}  // namespace tolvane
