#include "job/job.h"
#include "stream/fields.h"
#include "tolvane_state.h"
#ifndef _WIN32
#include "job/cups_filter.h"
#endif

int main(int argc, char** argv) {
  tolvane::InitializePlatform();
  tolvane::LocaleDecimalSeparator = tolvane::GetUserDecimalSeparator();
#ifndef _WIN32
  if (tolvane::StartedAsCupsFilter(argc, argv)) return tolvane::CupsFilterMain(argc, argv);
#endif
  return tolvane::TolvaneMain(tolvane::GetArguments(argc, argv));
}
