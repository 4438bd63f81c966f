// Puts the shared job state back to program start around each test, on the
// device of the worked examples (2400 x 3390 pixels on 203 x 287 mm), with no
// device context: drawing calls are refused and change nothing.
#pragma once

#include <gtest/gtest.h>

#include "tolvane_state.h"

class JobStateTest : public ::testing::Test {
 protected:
  void SetUp() override { UseDevice(2400, 203, 3390, 287); }
  void TearDown() override {
    if (tolvane::PrintState.JobFont) tolvane::DeleteObject(tolvane::PrintState.JobFont);
    tolvane::ResetJobState();
  }

  static void UseDevice(int horzRes, int horzSize, int vertRes, int vertSize) {
    if (tolvane::PrintState.JobFont) tolvane::DeleteObject(tolvane::PrintState.JobFont);
    tolvane::ResetJobState();
    tolvane::PrintState.PixelsPerMmX = double(horzRes) / horzSize;
    tolvane::PrintState.PixelsPerMmY = double(vertRes) / vertSize;
    tolvane::PrintState.PageWidth = horzSize * 10;
    tolvane::PrintState.PageHeight = vertSize * 10;
    tolvane::PrintState.FirstPage = 1;
    tolvane::PrintState.LastPage = 32767;
    tolvane::PrintState.CurrentPage = 1;
    for (int byte = 0; byte < 256; byte++) tolvane::ConversionTable[byte] = uint8_t(byte);
  }
};
