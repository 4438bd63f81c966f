#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "job_state_fixture.h"
#include "render/page.h"
#include "render/units.h"

using namespace tolvane;

using Units = JobStateTest;

TEST_F(Units, ConvertersTruncateTowardZero) {
  struct Case {
    double tenths;
    int32_t x, y;
  } cases[] = {
      {0.5, 0, 0},       {-0.5, 0, 0},       {24.5, 28, 28},     {40.5, 47, 47},
      {2869.5, 3392, 3389}, {2845.5, 3364, 3361}, {192.5, 227, 227}, {2677.5, 3165, 3162},
      {-24.5, -28, -28}, {-0.59, 0, 0},      {0.0, 0, 0},        {10.0, 11, 11},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tenths);
    EXPECT_EQ(ToDeviceX(c.tenths), c.x);
    EXPECT_EQ(ToDeviceY(c.tenths), c.y);
    EXPECT_EQ(ToDeviceX(-c.tenths), -c.x);
  }
}

TEST_F(Units, FineDevicesTruncateNegativeHalvesToMinusOne) {
  UseDevice(4800, 203, 6780, 287);
  EXPECT_EQ(ToDeviceX(-0.5), -1);
  EXPECT_EQ(ToDeviceY(-0.5), -1);
  EXPECT_EQ(PrintState.PixelsPerMmX, 23.645320197044335);
}

TEST_F(Units, MarginOffsetsAreWholeTensOfPixels) {
  struct Case {
    int32_t millimetres;
    int32_t x, y;
  } cases[] = {{10, 110, 110}, {5, 50, 50}, {0, 0, 0}, {-5, -50, -50}, {1, 10, 10}, {25, 290, 290}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.millimetres);
    EXPECT_EQ(MarginOffsetX(c.millimetres), c.x);
    EXPECT_EQ(MarginOffsetY(c.millimetres), c.y);
  }
}

TEST_F(Units, ResultsKeepTheLow32BitsAndOutOfRangeQuotientsFail) {
  PrintState.PixelsPerMmX = 10.0;
  EXPECT_EQ(ToDeviceX(42949672960.0), 0);  // 2^32 pixels wrap to 0
  EXPECT_EQ(ToDeviceX(2147483648.0), INT32_MIN);
  EXPECT_THROW(ToDeviceX(1e300), TJobFailure);
  EXPECT_THROW(ToDeviceX(std::numeric_limits<double>::quiet_NaN()), TJobFailure);
  EXPECT_THROW(ToDeviceX(std::numeric_limits<double>::infinity()), TJobFailure);
}

TEST_F(Units, PageRangeIncludesBothEnds) {
  struct Case {
    int32_t first, last, current;
    bool inRange;
  } cases[] = {
      {3, 3, 3, true},   {3, 3, 2, false}, {3, 3, 4, false},     {1, 32767, 1, true},
      {3, 2, 2, false},  {3, 2, 3, false}, {-5, 0, -1, true},    {INT32_MIN, INT32_MAX, 0, true},
  };
  for (const Case& c : cases) {
    PrintState.FirstPage = c.first;
    PrintState.LastPage = c.last;
    PrintState.CurrentPage = c.current;
    EXPECT_EQ(PageInRange(), c.inRange) << c.first << ".." << c.last << " at " << c.current;
  }
}

TEST_F(Units, JobFontSizeFollowsCellWeightAndOrientation) {
  struct Case {
    double cellHeight, cellWidth;
    int32_t weight, rotated;
    int32_t height, width, escapement;
  } cases[] = {
      {36, 24, 0, 0, 43, 28, 0},    {36, 24, 400, 0, 43, 28, 0}, {36, 24, 700, 0, 47, 28, 0},
      {36, 24, 600, 0, 43, 28, 0},  {36, 24, 0, 1, 43, 28, 900}, {36, 24, 700, 2, 47, 28, 900},
      {0, 0, 0, 0, 0, 0, 0},        {-36, -24, 0, 0, -41, -28, 0},
  };
  for (const Case& c : cases) {
    PrintState.CellHeight = c.cellHeight;
    PrintState.CellWidth = c.cellWidth;
    PrintState.JobLogFont.lfWeight = c.weight;
    PrintState.Rotated = c.rotated;
    SelectJobFont();
    SCOPED_TRACE(testing::Message() << c.cellHeight << "x" << c.cellWidth << " weight "
                                    << c.weight << " rotated " << c.rotated);
    EXPECT_EQ(PrintState.JobLogFont.lfHeight, c.height);
    EXPECT_EQ(PrintState.JobLogFont.lfWidth, c.width);
    EXPECT_EQ(PrintState.JobLogFont.lfEscapement, c.escapement);
    EXPECT_EQ(PrintState.JobLogFont.lfOrientation, 0);
  }
}

// Sizes converted once are taken again on a switch back: each must still be
// what the converters give for the state as it stands.
TEST_F(Units, JobFontSizesRepeatWhatTheConvertersGive) {
  struct Step {
    double pixelsX, pixelsY, cellHeight, cellWidth;
    int32_t weight, rotated;
  } steps[] = {
      {23.645, 11.8118, 36, 24, 700, 0}, {23.645, 11.8118, 36, 24, 400, 0},
      {23.645, 11.8118, 36, 24, 700, 0}, {23.645, 11.8118, 36, 24, 700, 1},
      {23.645, 11.8118, 36, 24, 400, 1}, {23.645, 11.8118, 36, 24, 700, 0},
      {23.645, 11.8118, 24, 36, 700, 0}, {11.8118, 23.645, 36, 24, 700, 0},
      {11.8118, 23.645, 36, 24, 700, 1}, {23.645, 11.8118, 36, 24, 600, 0},
      {23.645, 11.8118, 36, 24, 700, 0}, {23.645, 11.8118, 36, 24, 700, 0},
  };
  for (const Step& step : steps) {
    PrintState.PixelsPerMmX = step.pixelsX;
    PrintState.PixelsPerMmY = step.pixelsY;
    PrintState.CellHeight = step.cellHeight;
    PrintState.CellWidth = step.cellWidth;
    PrintState.JobLogFont.lfWeight = step.weight;
    PrintState.Rotated = step.rotated;
    SelectJobFont();
    double height = step.cellHeight + (step.weight == 700 ? 4.0 : 0.0) + 0.5;
    bool upright = step.rotated == 0;
    SCOPED_TRACE(testing::Message() << step.pixelsX << "/" << step.pixelsY << " "
                                    << step.cellHeight << "x" << step.cellWidth << " weight "
                                    << step.weight << " rotated " << step.rotated);
    EXPECT_EQ(PrintState.JobLogFont.lfHeight, upright ? ToDeviceY(height) : ToDeviceX(height));
    EXPECT_EQ(PrintState.JobLogFont.lfWidth,
              upright ? ToDeviceX(step.cellWidth) : ToDeviceY(step.cellWidth));
    EXPECT_EQ(PrintState.JobLogFont.lfEscapement, upright ? 0 : 900);
  }
}

TEST_F(Units, PageStartResetsThePenOnlyWhenPending) {
  PrintState.PenX = 120;
  PrintState.PenY = -41;
  PrintState.Column = 5;
  BeginPageIfPending();
  EXPECT_EQ(PrintState.Column, 5);
  EXPECT_EQ(PrintState.PenX, 120);
  PrintState.PageStartPending = 1;
  BeginPageIfPending();
  EXPECT_EQ(PrintState.Column, 0);
  EXPECT_EQ(PrintState.PenX, 0.0);
  EXPECT_EQ(PrintState.PenY, 0.0);
  EXPECT_EQ(PrintState.PageStartPending, 0);
}
