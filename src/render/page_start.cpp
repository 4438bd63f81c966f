#include "render/page.h"
#include "tolvane_state.h"

namespace tolvane {

int64_t SheetsBegun = 0;

void BeginPageIfPending() {
  TPrintState& state = PrintState;
  if (state.PageStartPending == 0) return;
  StartPage(state.PrinterDC);
  SheetsBegun++;
  // An edit of tolvane.ini during the job is seen from the next sheet on.
  RevalidateProfiles();
  SetBkMode(state.PrinterDC, TRANSPARENT);
  // Some devices reset the context at a page start, so the font is built anew.
  SelectJobFont();
  // Where the pen got to while nothing was drawn is discarded.
  state.Column = 0;
  state.PenX = 0.0;
  state.PenY = 0.0;
  state.PageStartPending = 0;
}

}  // namespace tolvane
