#include "job/job.h"
#include "stream/fields.h"
#include "tolvane_state.h"

int main(int argc, char** argv) {
  tolvane::InitializePlatform();
  tolvane::LocaleDecimalSeparator = tolvane::GetUserDecimalSeparator();
  return tolvane::TolvaneMain(tolvane::GetArguments(argc, argv));
}
