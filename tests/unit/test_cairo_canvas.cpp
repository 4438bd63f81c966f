// The drawing core shared by the file drivers: where text lands in the
// cell, upright, turned and near the margins, and what becomes of a
// document whose output fails, is aborted or has no sheets.
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include <cairo-ps.h>
#include <gtest/gtest.h>
#include <stb_image.h>

#include "device/device.h"
#include "device_scratch.h"
#include "device/linux/cairo_device.h"
#include "device/linux/paged_sheets.h"
#include "tolvane_state.h"

namespace tolvane {
namespace {

// What a document on one surface did: bytes written, commits, discards.
struct TRecord {
  std::string Bytes;
  int Surfaces = 0, Commits = 0, Discards = 0;
  bool FailWrites = false, FailCommit = false;
};

TRecord& Recorded(const TPagedSheets& sheets) { return *static_cast<TRecord*>(sheets.Output); }

cairo_surface_t* RecordSurface(TPagedSheets& sheets, cairo_write_func_t write, void* closure) {
  ++Recorded(sheets).Surfaces;
  TSheetFrame frame = SheetFrame(sheets.Geometry, true);
  return cairo_ps_surface_create_for_stream(write, closure, frame.Width, frame.Height);
}

bool RecordBytes(TPagedSheets& sheets, const unsigned char* data, unsigned int length) {
  TRecord& record = Recorded(sheets);
  if (record.FailWrites) return false;
  record.Bytes.append(reinterpret_cast<const char*>(data), length);
  return true;
}

bool RecordCommit(TPagedSheets& sheets, std::string& failure) {
  TRecord& record = Recorded(sheets);
  ++record.Commits;
  if (record.FailCommit) failure = "the queue went away";
  return !record.FailCommit;
}

void RecordDiscard(TPagedSheets& sheets) { ++Recorded(sheets).Discards; }

std::string RecordFailure(const TPagedSheets&) { return "the disk is full"; }

// The record belongs to the test.
void KeepRecord(TPagedSheets&) {}

const TPagedOutput RecordingOutput = {
    NoPreparation, RecordSurface, RecordBytes,   RecordCommit,
    RecordDiscard, RecordFailure, KeepRecord,
};

TPrinterGeometry A4(int32_t dpi) {
  TPrinterGeometry geometry{};
  geometry.PaperWidthMicro = 210000;
  geometry.PaperHeightMicro = 297000;
  geometry.DpiX = geometry.DpiY = dpi;
  geometry.CodePage = 1252;
  return geometry;
}

// A context on the recording sheets, driven call by call as the Win32 layer
// drives a backend: the state flags tell what came before.
struct TRecordedContext {
  TDeviceContext Dc{};
  TRecord Record;
  explicit TRecordedContext(int32_t dpi = 300) {
    Dc.Geometry = A4(dpi);
    Dc.SelectedFont = StockFont();
    Dc.BkMode = OPAQUE;
    AttachCairoCanvas(&Dc, NewPagedSheets(Dc.Geometry, &RecordingOutput, &Record));
  }
  ~TRecordedContext() {
    if (Dc.Data) CairoClose(&Dc);
  }
  void StartDoc() {
    CairoStartDocument(&Dc, "Job");
    Dc.InDocument = true;
  }
  void Sheet(const char* text) {
    CairoStartPage(&Dc);
    Dc.InPage = true;
    CairoTextOutput(&Dc, 100, 100, text, int(std::strlen(text)));
    CairoEndPage(&Dc);
    Dc.InPage = false;
  }
  void EndDoc() {
    CairoEndDoc(&Dc);
    Dc.InDocument = false;
  }
  void AbortDoc() {
    CairoAbortDoc(&Dc);
    Dc.InDocument = Dc.InPage = false;
  }
};

TEST(CairoCanvas, DocumentsEndWhereTheirOutputTakesThem) {
  {
    SCOPED_TRACE("two sheets, ended");
    TRecordedContext context;
    context.StartDoc();
    context.Sheet("page one");
    context.Sheet("page two");
    context.EndDoc();
    EXPECT_EQ(context.Record.Surfaces, 1);
    EXPECT_EQ(context.Record.Commits, 1);
    EXPECT_EQ(context.Record.Bytes.rfind("%!PS", 0), 0u);
    EXPECT_NE(context.Record.Bytes.find("%%Pages: 2"), std::string::npos);
  }
  {
    SCOPED_TRACE("no sheets: no surface, nothing committed");
    TRecordedContext context;
    context.StartDoc();
    context.EndDoc();
    EXPECT_EQ(context.Record.Surfaces, 0);
    EXPECT_EQ(context.Record.Commits, 0);
    EXPECT_TRUE(context.Record.Bytes.empty());
  }
  {
    SCOPED_TRACE("aborted: dropped, and the trailer written on the way goes nowhere");
    TRecordedContext context;
    context.StartDoc();
    context.Sheet("page one");
    size_t written = context.Record.Bytes.size();
    context.AbortDoc();
    EXPECT_EQ(context.Record.Commits, 0);
    EXPECT_GE(context.Record.Discards, 1);
    EXPECT_EQ(context.Record.Bytes.size(), written);
  }
  {
    SCOPED_TRACE("the context deleted inside its document");
    TRecordedContext context;
    context.StartDoc();
    context.Sheet("page one");
    CairoClose(&context.Dc);
    EXPECT_EQ(context.Record.Commits, 0);
    EXPECT_GE(context.Record.Discards, 1);
  }
}

TEST(CairoCanvas, AFailingOutputFailsTheJob) {
  {
    // PostScript holds its pages until the document ends.
    SCOPED_TRACE("writes fail: the sheet's or the document's end raises the failure");
    TRecordedContext context;
    context.Record.FailWrites = true;
    context.StartDoc();
    try {
      context.Sheet("page one");
      context.EndDoc();
      ADD_FAILURE() << "EndDoc went on";
    } catch (const TJobFailure& failure) {
      EXPECT_EQ(failure.Message, "the disk is full");
    }
    context.AbortDoc();
    EXPECT_EQ(context.Record.Commits, 0);
  }
  {
    SCOPED_TRACE("the output refuses the finished document");
    TRecordedContext context;
    context.Record.FailCommit = true;
    context.StartDoc();
    context.Sheet("page one");
    try {
      context.EndDoc();
      ADD_FAILURE() << "EndDoc went on";
    } catch (const TJobFailure& failure) {
      EXPECT_EQ(failure.Message, "the queue went away");
    }
  }
}

// Text drawn on sheets of the PNG driver, 60 x 60 mm at 10 pixels to the
// millimetre, with a cell of 100 pixels (Liberation Mono: ascent 73.5, cap
// height 58) and characters 60 pixels wide.
class CairoText : public DeviceScratchTest {
 protected:
  void SetUp() override {
    EnterScratch("tolvane_text", "[Text]\npaper=60x60\nresolution=254\n"
                                   "[Margins]\npaper=60x60\nresolution=254\nmargins=5\n");
  }

  struct TInk {
    int Left = 1 << 30, Top = 1 << 30, Right = -1, Bottom = -1;
    long Pixels = 0;
  };

  // Draws text with a font of the weight and escapement; the ink it left.
  TInk Draw(LONG weight, LONG escapement, int x, int y, const char* text,
            const char* printer = "Text") {
    HDC dc = CreateDCA("PNG", printer, "text.png", nullptr);
    EXPECT_NE(dc, nullptr);
    LOGFONTA description{};
    description.lfHeight = 100;
    description.lfWidth = 60;
    description.lfWeight = weight;
    description.lfEscapement = escapement;
    std::strcpy(description.lfFaceName, "Courier New");
    HFONT font = CreateFontIndirectA(&description);
    HGDIOBJ previous = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    DOCINFOA info{sizeof(DOCINFOA), "Text", nullptr, nullptr, 0};
    StartDocA(dc, &info);
    StartPage(dc);
    for (size_t i = 0; text[i]; ++i) {
      int step = int(i) * 60;
      TextOutA(dc, escapement ? x : x + step, escapement ? y - step : y, text + i, 1);
    }
    EndPage(dc);
    EndDoc(dc);
    SelectObject(dc, previous);
    DeleteObject(font);
    DeleteDC(dc);
    TInk ink;
    int width = 0, height = 0, channels = 0;
    stbi_uc* pixels = stbi_load("text-1.png", &width, &height, &channels, 1);
    EXPECT_NE(pixels, nullptr);
    if (!pixels) return ink;
    for (int row = 0; row < height; ++row)
      for (int column = 0; column < width; ++column) {
        if (pixels[row * width + column] >= 128) continue;
        ++ink.Pixels;
        ink.Left = std::min(ink.Left, column), ink.Right = std::max(ink.Right, column);
        ink.Top = std::min(ink.Top, row), ink.Bottom = std::max(ink.Bottom, row);
      }
    stbi_image_free(pixels);
    return ink;
  }

};

TEST_F(CairoText, UprightTextHangsFromTheCellsTopLeftCorner) {
  TInk ink = Draw(0, 0, 50, 40, "HHH");
  EXPECT_NEAR(ink.Bottom, 40 + 73.5, 1.5);         // the baseline, one ascent down
  EXPECT_NEAR(ink.Top, 40 + 73.5 - 58, 1.5);       // the top of a capital
  EXPECT_GE(ink.Left, 50);
  EXPECT_LE(ink.Right, 50 + 3 * 60);
  EXPECT_GT(ink.Right, 50 + 2 * 60);
}

TEST_F(CairoText, TurnedTextRunsUpwardWithItsBaselineToTheRight) {
  TInk ink = Draw(0, 900, 100, 500, "HHH");
  EXPECT_NEAR(ink.Right, 100 + 73.5, 1.5);         // the baseline, one ascent across
  EXPECT_NEAR(ink.Left, 100 + 73.5 - 58, 1.5);
  EXPECT_LE(ink.Bottom, 500);
  EXPECT_GE(ink.Top, 500 - 3 * 60);
  EXPECT_LT(ink.Top, 500 - 2 * 60);
}

// The printable area begins 5 mm (50 pixels) in: text that starts in the
// margin shows only from there on, at the bottom as at the left.
TEST_F(CairoText, NothingLandsInTheMargins) {
  TInk left = Draw(0, 0, -100, 100, "HHHHH", "Margins");
  EXPECT_GE(left.Left, 50);
  EXPECT_LE(left.Left, 50 + 25);
  TInk bottom = Draw(0, 0, 100, 430, "HHH", "Margins");
  EXPECT_EQ(bottom.Bottom, 50 + 500 - 1);  // the H's cut at the printable area's foot
  TInk inside = Draw(0, 0, 100, 100, "HHH", "Margins");
  EXPECT_NEAR(inside.Bottom, 150 + 73.5, 1.5);
}

}  // namespace
}  // namespace tolvane
