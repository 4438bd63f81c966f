// Device contexts: creation by driver name, the document and page calls, and
// the registry that every handle is checked against. A job that passes a
// stale or made-up handle gets the Win32 error result, never a crash.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "device/device.h"

namespace tolvane {

namespace {

// What StartDocA, StartPage, EndPage, EndDoc and AbortDoc return on failure.
constexpr int SpError = -1;

std::vector<TDeviceContext*> Contexts;
int32_t ContextsCreated = 0;
int32_t DocumentsStarted = 0;

const char* OrEmpty(const char* text) { return text ? text : ""; }

char LowerAscii(char ch) { return ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch - 'A' + 'a') : ch; }

bool EqualNoCase(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b)
    if (LowerAscii(*a) != LowerAscii(*b)) return false;
  return *a == *b;
}

std::string KnownDriverNames() {
  std::string names;
  for (const TDeviceBackend* const* backend = DeviceBackends(); *backend; ++backend)
    if ((*backend)->Driver) names += (names.empty() ? "" : ", ") + std::string((*backend)->Driver);
  return names;
}

const TDeviceBackend* FindBackend(const char* driver) {
  for (const TDeviceBackend* const* backend = DeviceBackends(); *backend; ++backend) {
    if (!(*backend)->Driver) return *backend;
    if (*driver && EqualNoCase((*backend)->Driver, driver)) return *backend;
  }
  return nullptr;
}

int DeviceCapsValue(const TPrinterGeometry& geometry, int index) {
  switch (index) {
    case HORZSIZE: return geometry.HorzSize;
    case VERTSIZE: return geometry.VertSize;
    case HORZRES: return geometry.HorzRes;
    case VERTRES: return geometry.VertRes;
    case LOGPIXELSX: return geometry.DpiX;
    case LOGPIXELSY: return geometry.DpiY;
    case PHYSICALWIDTH: return MicrometresToPixels(geometry.PaperWidthMicro, geometry.DpiX);
    case PHYSICALHEIGHT: return MicrometresToPixels(geometry.PaperHeightMicro, geometry.DpiY);
    case PHYSICALOFFSETX: return MicrometresToPixels(geometry.MarginLeftMicro, geometry.DpiX);
    case PHYSICALOFFSETY: return MicrometresToPixels(geometry.MarginTopMicro, geometry.DpiY);
    default: return 0;
  }
}

// Ends the document (and its page) when one is open; the result of EndDoc
// and AbortDoc alike.
int CloseDocument(TDeviceContext* dc) {
  if (!dc->InDocument) return SpError;
  dc->InDocument = false;
  dc->InPage = false;
  return 1;
}

}  // namespace

const std::vector<TDeviceContext*>& LiveContexts() { return Contexts; }

HDC NewestContext = nullptr;

bool IsOlderLiveContext(HDC dc) {
  return std::find(Contexts.begin(), Contexts.end(), dc) != Contexts.end();
}

HDC CreateDCA(LPCSTR driver, LPCSTR device, LPCSTR port, const DEVMODEA* /*mode*/) {
  const TDeviceBackend* backend = FindBackend(OrEmpty(driver));
  if (!backend) {
    // An empty driver is a printer that no entry names; the caller says so.
    if (*OrEmpty(driver))
      Diagnose("printer '" + std::string(OrEmpty(device)) + "' has the driver '" + driver +
               "', which is none of " + KnownDriverNames());
    return nullptr;
  }
  auto dc = std::make_unique<TDeviceContext>();
  dc->Backend = backend;
  // The number is taken only when the output opens, so a failed creation
  // leaves no gap in the trace's DC1, DC2, ...
  dc->Number = ContextsCreated + 1;
  dc->Driver = OrEmpty(driver);
  dc->Device = OrEmpty(device);
  dc->Port = OrEmpty(port);
  dc->Geometry = ReadPrinterGeometry(dc->Device);
  dc->SelectedFont = StockFont();
  dc->BkMode = OPAQUE;
  if (!backend->Open(dc.get())) return nullptr;
  ++ContextsCreated;
  Contexts.push_back(dc.get());
  NewestContext = dc.get();
  return dc.release();
}

int GetDeviceCaps(HDC dc, int index) {
  if (!IsLiveContext(dc)) return 0;
  int result = DeviceCapsValue(dc->Geometry, index);
  dc->Backend->DeviceCaps(dc, index, result);
  return result;
}

int StartDocA(HDC dc, const DOCINFOA* info) {
  if (!IsLiveContext(dc) || !info) return SpError;
  dc->Backend->StartDocument(dc, OrEmpty(info->lpszDocName));
  if (dc->InDocument) return SpError;
  dc->InDocument = true;
  // A job identifier: positive, different for every document of the run.
  if (DocumentsStarted == INT32_MAX) DocumentsStarted = 0;
  return ++DocumentsStarted;
}

int StartPage(HDC dc) {
  if (!IsLiveContext(dc)) return SpError;
  dc->Backend->StartPage(dc);
  if (!dc->InDocument || dc->InPage) return SpError;
  dc->InPage = true;
  return 1;
}

int EndPage(HDC dc) {
  if (!IsLiveContext(dc)) return SpError;
  dc->Backend->EndPage(dc);
  if (!dc->InPage) return SpError;
  dc->InPage = false;
  return 1;
}

int EndDoc(HDC dc) {
  if (!IsLiveContext(dc)) return SpError;
  dc->Backend->EndDoc(dc);
  return CloseDocument(dc);
}

int AbortDoc(HDC dc) {
  if (!IsLiveContext(dc)) return SpError;
  dc->Backend->AbortDoc(dc);
  return CloseDocument(dc);
}

BOOL DeleteDC(HDC dc) {
  if (!IsLiveContext(dc)) return 0;
  Contexts.erase(std::find(Contexts.begin(), Contexts.end(), dc));
  NewestContext = Contexts.empty() ? nullptr : Contexts.back();
  // The backend closes while the selected font is still there to look at;
  // a font deleted while selected goes only after that.
  dc->Backend->Close(dc);
  ReleaseFontSelection(dc->SelectedFont);
  delete dc;
  return 1;
}

void ResetDeviceLayer() {
  while (!Contexts.empty()) DeleteDC(Contexts.back());
  ResetFontObjects();
  ContextsCreated = 0;
  DocumentsStarted = 0;
}

}  // namespace tolvane
