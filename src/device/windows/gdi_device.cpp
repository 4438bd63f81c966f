// The system's printers (every driver name but TRACE): each device call is
// passed on to the real graphics device interface. The context's geometry
// is what the printer itself reports, so GetDeviceCaps answers as the
// system would; fonts become real fonts when a context first selects them.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "device/device.h"
#include "os/dib_layout.h"
#include "os/windows/system_error.h"
#include "os/windows/windows_api.h"

namespace tolvane {

namespace {

static_assert(sizeof(LOGFONTA) == sizeof(::LOGFONTA), "LOGFONTA must match the system's");
static_assert(sizeof(BITMAPINFOHEADER) == sizeof(::BITMAPINFOHEADER),
              "BITMAPINFOHEADER must match the system's");

constexpr int64_t MicrometresPerInch = 25400;

// A font object of the device layer and the system font made from it. Fonts
// are known by number: the device layer may free an object right after it
// is deselected, and a later one may then get its address.
struct TRealFont {
  int32_t Id;
  ::HFONT Handle;
  bool Deleted;  // the object is gone; the system font goes once deselected
};

struct TGdiContext {
  ::HDC Dc;
  ::HGDIOBJ StockFont;  // what the context held when it was made (F0)
  int32_t SelectedId;
  std::vector<TRealFont> Fonts;
};

TGdiContext& Context(TDeviceContext* dc) { return *static_cast<TGdiContext*>(dc->Data); }

// Pixels at dpi as micrometres, rounded up, so that converting back with
// MicrometresToPixels gives the same pixels.
int64_t PixelsToMicrometres(int pixels, int dpi) {
  if (pixels <= 0 || dpi <= 0) return 0;
  return (int64_t{pixels} * MicrometresPerInch + dpi - 1) / dpi;
}

TPrinterGeometry RealGeometry(::HDC real, const TPrinterGeometry& read) {
  TPrinterGeometry geometry = read;
  geometry.HorzSize = ::GetDeviceCaps(real, HORZSIZE);
  geometry.VertSize = ::GetDeviceCaps(real, VERTSIZE);
  geometry.HorzRes = ::GetDeviceCaps(real, HORZRES);
  geometry.VertRes = ::GetDeviceCaps(real, VERTRES);
  geometry.DpiX = ::GetDeviceCaps(real, LOGPIXELSX);
  geometry.DpiY = ::GetDeviceCaps(real, LOGPIXELSY);
  geometry.PaperWidthMicro = PixelsToMicrometres(::GetDeviceCaps(real, PHYSICALWIDTH), geometry.DpiX);
  geometry.PaperHeightMicro =
      PixelsToMicrometres(::GetDeviceCaps(real, PHYSICALHEIGHT), geometry.DpiY);
  geometry.MarginLeftMicro =
      PixelsToMicrometres(::GetDeviceCaps(real, PHYSICALOFFSETX), geometry.DpiX);
  geometry.MarginTopMicro =
      PixelsToMicrometres(::GetDeviceCaps(real, PHYSICALOFFSETY), geometry.DpiY);
  int64_t right = geometry.PaperWidthMicro - geometry.MarginLeftMicro -
                  PixelsToMicrometres(geometry.HorzRes, geometry.DpiX);
  int64_t bottom = geometry.PaperHeightMicro - geometry.MarginTopMicro -
                   PixelsToMicrometres(geometry.VertRes, geometry.DpiY);
  geometry.MarginRightMicro = std::max<int64_t>(right, 0);
  geometry.MarginBottomMicro = std::max<int64_t>(bottom, 0);
  return geometry;
}

TRealFont* FindFont(TGdiContext& context, int32_t id) {
  for (TRealFont& font : context.Fonts)
    if (font.Id == id) return &font;
  return nullptr;
}

// The system font of a font object, made on its first selection here.
::HGDIOBJ RealFont(TGdiContext& context, const TGdiObject* font) {
  if (font->Id == 0) return context.StockFont;
  if (TRealFont* known = FindFont(context, font->Id)) return known->Handle;
  ::LOGFONTA description;
  std::memcpy(&description, &font->Font, sizeof description);
  ::HFONT handle = ::CreateFontIndirectA(&description);
  if (handle) context.Fonts.push_back({font->Id, handle, false});
  return handle;
}

// System fonts whose objects were deleted, once no longer selected.
void DropDeletedFonts(TGdiContext& context) {
  auto gone = [&](const TRealFont& font) {
    if (!font.Deleted || font.Id == context.SelectedId) return false;
    ::DeleteObject(font.Handle);
    return true;
  };
  context.Fonts.erase(std::remove_if(context.Fonts.begin(), context.Fonts.end(), gone),
                      context.Fonts.end());
}

bool GdiOpen(TDeviceContext* dc) {
  ::HDC real = ::CreateDCA(dc->Driver.c_str(), dc->Device.c_str(), dc->Port.c_str(), nullptr);
  if (!real) {
    // An empty driver is a printer that no entry names; the caller says so.
    if (!dc->Driver.empty())
      Diagnose("printer '" + dc->Device + "' (driver " + dc->Driver + ", port " + dc->Port +
               ") gives no device context: " + SystemErrorText(::GetLastError()));
    return false;
  }
  dc->Data = new TGdiContext{real, ::GetCurrentObject(real, OBJ_FONT), 0, {}};
  dc->Geometry = RealGeometry(real, dc->Geometry);
  return true;
}

// GetDeviceCaps answers from the geometry that Open took from the device.
void GdiDeviceCaps(TDeviceContext*, int, int) {}

void GdiStartDocument(TDeviceContext* dc, const char* docName) {
  if (dc->InDocument) return;
  ::DOCINFOA info{};
  info.cbSize = sizeof info;
  info.lpszDocName = docName;
  ::StartDocA(Context(dc).Dc, &info);
}

void GdiStartPage(TDeviceContext* dc) {
  if (dc->InDocument && !dc->InPage) ::StartPage(Context(dc).Dc);
}

void GdiEndPage(TDeviceContext* dc) {
  if (dc->InPage) ::EndPage(Context(dc).Dc);
}

void GdiEndDoc(TDeviceContext* dc) {
  if (dc->InDocument) ::EndDoc(Context(dc).Dc);
}

void GdiAbortDoc(TDeviceContext* dc) {
  if (dc->InDocument) ::AbortDoc(Context(dc).Dc);
}

// A document still open when the context goes is given up, as the system
// does with a context deleted in the middle of one.
void GdiClose(TDeviceContext* dc) {
  TGdiContext* context = static_cast<TGdiContext*>(dc->Data);
  if (dc->InDocument) ::AbortDoc(context->Dc);
  ::SelectObject(context->Dc, context->StockFont);
  for (const TRealFont& font : context->Fonts) ::DeleteObject(font.Handle);
  ::DeleteDC(context->Dc);
  delete context;
  dc->Data = nullptr;
}

void GdiSetBkMode(TDeviceContext* dc, int mode) { ::SetBkMode(Context(dc).Dc, mode); }

void GdiFontCreated(TDeviceContext*, const TGdiObject*) {}

void GdiFontSelected(TDeviceContext* dc, const TGdiObject* font, const TGdiObject*) {
  if (!font) return;
  TGdiContext& context = Context(dc);
  ::HGDIOBJ real = RealFont(context, font);
  if (!real) return;
  ::SelectObject(context.Dc, real);
  context.SelectedId = font->Id;
  DropDeletedFonts(context);
}

void GdiFontDeleted(TDeviceContext* dc, const TGdiObject* font) {
  if (!font || font->Id == 0) return;
  TGdiContext& context = Context(dc);
  if (TRealFont* known = FindFont(context, font->Id)) known->Deleted = true;
  DropDeletedFonts(context);
}

void GdiTextOutput(TDeviceContext* dc, int x, int y, const char* text, int count) {
  ::TextOutA(Context(dc).Dc, x, y, text, count);
}

// Only a bitmap that lies wholly inside its memory block is handed on: the
// system would read as far as the header says.
int GdiStretchDIBits(TDeviceContext* dc, const TStretchCall& call) {
  if (!call.Block.Located) return 0;
  TDibLayout layout;
  std::string reason;
  if (!DescribeDib(call.Block.Data, call.Block.Size, call.Block.BitsOffset, layout, reason))
    return 0;
  return ::StretchDIBits(Context(dc).Dc, call.XDest, call.YDest, call.DestWidth, call.DestHeight,
                         call.XSrc, call.YSrc, call.SrcWidth, call.SrcHeight,
                         call.Block.Data + call.Block.BitsOffset,
                         reinterpret_cast<const ::BITMAPINFO*>(call.Block.Data), call.Usage,
                         call.Rop);
}

}  // namespace

extern const TDeviceBackend GdiDeviceBackend = {
    nullptr,          GdiOpen,       GdiDeviceCaps,   GdiStartDocument,
    GdiStartPage,     GdiEndPage,    GdiEndDoc,       GdiAbortDoc,
    GdiClose,         GdiSetBkMode,  GdiFontCreated,  GdiFontSelected,
    GdiFontDeleted,   GdiTextOutput, GdiStretchDIBits,
};

}  // namespace tolvane
