// Which face the Windows font mapper gives for a font name. The mapper
// answers per device (a printer may have faces of its own), so the font is
// made as a job makes it and selected into the printer's own context; a
// printer that this program draws itself (TRACE, and the PDF, PS and
// Preview writers, which read their faces in a context of the screen's
// kind), or one that gives no context, is asked through the screen's
// context, and the answer says so.
#include <string>

#include "ini_scan.h"
#include "os/win32.h"
#include "os/windows/system_error.h"
#include "os/windows/windows_api.h"

namespace tolvane {

namespace {

struct TFaceContext {
  ::HDC Dc = nullptr;
  bool FromGetDC = false;  // released with ReleaseDC, not deleted
  std::string Where;
};

TFaceContext ScreenContext(const std::string& why) {
  TFaceContext context;
  context.Where = "in the screen's context (" + why + ")";
  context.Dc = ::CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
  if (context.Dc) return context;
  context.Dc = ::GetDC(nullptr);
  context.FromGetDC = true;
  return context;
}

bool DrawnByThisProgram(const std::string& driver) {
  for (const char* own : {"TRACE", "PDF", "PS", "Preview"})
    if (SameIniName(driver, own)) return true;
  return false;
}

TFaceContext AskingContext(const std::string& driver, const std::string& device,
                           const std::string& port) {
  if (driver.empty()) return ScreenContext("there is no printer");
  if (DrawnByThisProgram(driver))
    return ScreenContext("printer '" + device + "' is drawn by this program");
  TFaceContext context;
  context.Dc = ::CreateDCA(driver.c_str(), device.c_str(), port.c_str(), nullptr);
  if (context.Dc) {
    context.Where = "in the context of printer '" + device + "'";
    return context;
  }
  return ScreenContext("printer '" + device + "' gives none: " +
                       SystemErrorText(::GetLastError()));
}

void ReleaseContext(const TFaceContext& context) {
  if (context.FromGetDC)
    ::ReleaseDC(nullptr, context.Dc);
  else
    ::DeleteDC(context.Dc);
}

// The face a font of the job's kind gets in the context: ANSI characters,
// default precision and pitch, ten points high.
std::string MappedFace(::HDC dc, const std::string& face) {
  ::LOGFONTA font{};
  font.lfHeight = -::MulDiv(10, ::GetDeviceCaps(dc, LOGPIXELSY), 72);
  face.copy(font.lfFaceName, sizeof font.lfFaceName - 1);
  ::HFONT handle = ::CreateFontIndirectA(&font);
  if (!handle) return "";
  ::HGDIOBJ previous = ::SelectObject(dc, handle);
  char given[LF_FACESIZE] = {};
  int length = ::GetTextFaceA(dc, sizeof given, given);
  ::SelectObject(dc, previous);
  ::DeleteObject(handle);
  return length > 0 ? std::string(given) : std::string();
}

}  // namespace

std::string DescribeFontFace(const std::string& face, const std::string& driver,
                             const std::string& device, const std::string& port) {
  std::string asked = face.substr(0, LF_FACESIZE - 1);
  TFaceContext context = AskingContext(driver, device, port);
  if (!context.Dc) {
    Diagnose("the font mapper cannot be asked for '" + asked + "': not even the screen gives a "
             "device context (" + SystemErrorText(::GetLastError()) + ")");
    return "unknown: no device context to ask the font mapper in";
  }
  std::string given = MappedFace(context.Dc, asked);
  ReleaseContext(context);
  std::string where = ", as the Windows font mapper gives it " + context.Where;
  if (given.empty()) return "none: the font mapper gives no face for '" + asked + "'" + where;
  if (asked.empty()) return given + ", the face for a font= that names none" + where;
  if (SameIniName(given, asked)) return given + where;
  return given + ", a substitute for " + asked + where;
}

}  // namespace tolvane
