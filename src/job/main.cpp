#include "job/job.h"
#include "job/job_log.h"
#include "job/options.h"
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
  std::vector<std::string> arguments = tolvane::GetArguments(argc, argv);
  int code = tolvane::TolvaneMain(arguments);
  // A call with too few arguments is logged too: a host that passes no page
  // would otherwise learn nothing from its exit code 0.
  if (!tolvane::AskedForInformation(arguments)) tolvane::LogJob(arguments, code);
  return code;
}
