#include "job/configuration.h"

#include <cstring>
#include <string>

#include "stream/failure_place.h"
#include "stream/fields.h"
#include "tolvane_state.h"

namespace tolvane {

static int32_t ReadConversionValue(const std::string& key) {
  SetFailureSource(ConfigPath + ", [conversion] " + key + "=" + ProfileBuffer);
  return FieldToInt(ProfileBuffer);
}

// Each byte maps to the byte its entry names; without an entry it stays
// itself. Keys are plain decimal: "65" is looked up, never "065".
static void ReadConversionTable() {
  const char* file = ConfigPath.c_str();
  for (int byte = 0; byte < 256; byte++) {
    std::string key = std::to_string(byte);
    GetPrivateProfileStringA("conversion", key.c_str(), "", ProfileBuffer, sizeof ProfileBuffer,
                             file);
    if (ProfileBuffer[0] == 0)
      ConversionTable[byte] = static_cast<uint8_t>(byte);
    else
      ConversionTable[byte] = static_cast<uint8_t>(ReadConversionValue(key) & 0xFF);
  }
}

void ReadConfiguration() {
  const char* file = ConfigPath.c_str();
  LOGFONTA& font = PrintState.JobLogFont;
  std::memset(&font, 0, sizeof font);
  GetPrivateProfileStringA("preferences", "font", "", font.lfFaceName, sizeof font.lfFaceName,
                           file);
  PrintState.LeftMargin = static_cast<int32_t>(GetPrivateProfileIntA("preferences", "leftmargin", 0, file));
  PrintState.UpperMargin = static_cast<int32_t>(GetPrivateProfileIntA("preferences", "uppermargin", 0, file));
  ReadConversionTable();
}

}  // namespace tolvane
