#include "tolvane_state.h"

namespace tolvane {

TPrintState PrintState;
TConversionTable ConversionTable;
std::string ProgramDir;
std::string ConfigPath;
std::string PrintFileName;
char ProfileBuffer[111];

void RaiseJobFailure(const std::string& message) { throw TJobFailure{message}; }

void ResetJobState() {
  PrintState = TPrintState{};
  for (auto& entry : ConversionTable) entry = 0;
  ProgramDir.clear();
  ConfigPath.clear();
  PrintFileName.clear();
  for (auto& c : ProfileBuffer) c = 0;
}

}  // namespace tolvane
