// The device layer behind the Win32 drawing calls: device contexts, font
// objects and the interface that every output kind implements. The calls of
// win32.h keep the handles and the Win32 results; a backend only receives
// what happens, each call with the values it needs, so a new output kind is
// one new file with one backend table.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "os/win32.h"

namespace tolvane {

// The printable area and resolution of a printer, and how its drawn bytes
// become characters.
struct TPrinterGeometry {
  int64_t PaperWidthMicro;   // sheet size in micrometres
  int64_t PaperHeightMicro;
  int32_t DpiX;
  int32_t DpiY;
  int64_t MarginLeftMicro;   // unprintable margins in micrometres
  int64_t MarginTopMicro;
  int64_t MarginRightMicro;
  int64_t MarginBottomMicro;
  // What GetDeviceCaps reports; derived from the above unless overridden.
  int32_t HorzSize;  // printable area in whole millimetres
  int32_t VertSize;
  int32_t HorzRes;   // printable area in whole device pixels
  int32_t VertRes;
  int32_t CodePage;
};

// A font object: the description it was created from, numbered in the order
// of creation (0 for the stock font that a new context holds).
struct TGdiObject {
  int32_t Id;
  LOGFONTA Font;
  int32_t SelectCount;  // contexts that hold it selected
  bool DeletePending;   // deleted while selected: freed when deselected
};

// A bitmap handed to StretchDIBits, located inside the memory block that
// holds it, so that nothing reads past the block.
// The job allocates one block and puts the bitmap information at its start,
// so Size is the block's length; should the information lie further inside
// a block, Data and Size cover only the part from it to the block's end.
struct TBitmapBlock {
  const uint8_t* Data;  // the bitmap information (null when not located)
  size_t Size;          // bytes from Data to the block's end (0 when unknown)
  int64_t BitsOffset;   // the pixel bits, from Data; may lie outside the block
  bool Located;         // false: the information lies in no known block
};

struct TStretchCall {
  int XDest, YDest, DestWidth, DestHeight;
  int XSrc, YSrc, SrcWidth, SrcHeight;
  TBitmapBlock Block;
  UINT Usage;
  DWORD Rop;
};

struct TDeviceBackend;

// The context's fields hold the state before a call while its backend hears
// it (except for DeleteDC, below); the Win32 call changes them afterwards.
struct TDeviceContext {
  const TDeviceBackend* Backend;
  void* Data;     // the backend's own state
  int32_t Number;  // contexts in the order of creation, from 1
  std::string Driver;
  std::string Device;
  std::string Port;
  TPrinterGeometry Geometry;
  HGDIOBJ SelectedFont;
  int BkMode;
  bool InDocument;
  bool InPage;
};

// One output kind. Every entry must be set; a backend that has nothing to do
// for a call uses an empty function.
//
// A backend hears every call made on a live context, in call order, so that
// the trace shows what the job really did. That includes calls that Win32
// refuses because they come out of order (StartPage outside a document,
// EndPage outside a page, a second StartDocA, EndDoc or AbortDoc outside a
// document): InDocument and InPage still tell the state before the call, and
// a backend that draws ignores what that state does not allow. Calls with
// arguments that cannot be passed on (a bad handle, a null DOCINFOA, a
// TextOutA with a negative count or null text) are refused before any
// backend hears them, except where a null font is said below.
// Entry names keep clear of the Win32 names that <windows.h> turns into
// macros (StartDoc, TextOut), so the table reads the same in every build.
struct TDeviceBackend {
  // Matched without regard to case. Null: takes every driver name that no
  // backend before it in the list takes, the empty one included (the
  // system's own printer drivers on Windows).
  const char* Driver;
  // Opens the output named by dc->Port. False: no context is made.
  // Context, driver, device and port are filled in, and the geometry from
  // the printer's profile section; a backend may replace the geometry.
  bool (*Open)(TDeviceContext* dc);
  void (*DeviceCaps)(TDeviceContext* dc, int index, int result);
  void (*StartDocument)(TDeviceContext* dc, const char* docName);
  void (*StartPage)(TDeviceContext* dc);
  void (*EndPage)(TDeviceContext* dc);
  void (*EndDoc)(TDeviceContext* dc);
  void (*AbortDoc)(TDeviceContext* dc);
  // DeleteDC: releases everything the backend holds; dc->Data is freed here.
  void (*Close)(TDeviceContext* dc);
  void (*SetBkMode)(TDeviceContext* dc, int mode);
  // Font objects are not tied to a context; every open context hears of
  // them. A null font is a creation that failed.
  void (*FontCreated)(TDeviceContext* dc, const TGdiObject* font);
  // font is the object selected, previous what SelectObject returns (the
  // font it displaced); both null when the object was refused, and the
  // selection then stays as it was. previous may be freed right after this
  // call (a font deleted while selected), so a backend keeps no pointer to it.
  void (*FontSelected)(TDeviceContext* dc, const TGdiObject* font, const TGdiObject* previous);
  // Every DeleteObject call: the font deleted, the stock font (which stays),
  // or null for an object that is unknown. A deleted font can still be the
  // one selected in a context until that context selects another or is
  // deleted; only then is its memory freed, without further notice.
  void (*FontDeleted)(TDeviceContext* dc, const TGdiObject* font);
  void (*TextOutput)(TDeviceContext* dc, int x, int y, const char* text, int count);
  // Returns the number of scan lines drawn, 0 when the bitmap is refused.
  int (*StretchDIBits)(TDeviceContext* dc, const TStretchCall& call);
};

// The backends that CreateDCA can choose from, ending with a null entry.
const TDeviceBackend* const* DeviceBackends();

// Before an output file is written at path: settles what killed jobs left
// in its folder, where the platform's outputs can leave anything.
void TidyFolderOfOutput(const std::string& path);

// The contexts made by CreateDCA and not yet deleted, oldest first. A handle
// is checked against them before it is ever dereferenced.
const std::vector<TDeviceContext*>& LiveContexts();
// The context made last (null when none is live), which a job draws on: a
// drawing call on it is checked without a search or a call.
extern HDC NewestContext;
bool IsOlderLiveContext(HDC dc);
inline bool IsLiveContext(HDC dc) { return dc && (dc == NewestContext || IsOlderLiveContext(dc)); }

// The font that every new context holds (F0); never freed.
TGdiObject* StockFont();

// A context no longer holds font selected: a font deleted while selected is
// freed once no context holds it. Nothing happens for null or the stock font.
void ReleaseFontSelection(TGdiObject* font);

// Frees every font object and restarts the numbering of fonts at F1.
void ResetFontObjects();

// Deletes every live context and font object and restarts the numbering of
// contexts and fonts, as at program start (tests run many jobs in one
// process).
void ResetDeviceLayer();

// A length in micrometres as whole device pixels at dpi, cut down; 0 for a
// negative length or resolution, the largest int32_t when it does not fit.
int32_t MicrometresToPixels(int64_t micro, int32_t dpi);

// Reads the geometry of the printer named device from its section of the
// system printer profile.
TPrinterGeometry ReadPrinterGeometry(const std::string& device);

// The same for a printer that reports its own sheet, resolution and margins
// (a CUPS queue): where the section sets none of them, the printer's stand
// in for the built-in defaults (a code page of 0 means the default). The
// printable area is then derived and overridden as above.
TPrinterGeometry ReadPrinterGeometry(const std::string& device, const TPrinterGeometry& printer);

// The name a handle has in a trace: F0, F1, ... or 0.
std::string FontHandleName(const TGdiObject* font);

// Opens the stream that a trace to a file writes to. A harness that runs
// many jobs in one process gives an opener of its own (a stream in memory)
// so that no job touches the disk; null puts back the file named by the
// port. The trace's bytes and its checks stay the same either way.
using TTraceOpener = std::FILE* (*)(const std::string& port);
void UseTraceOpener(TTraceOpener opener);

}  // namespace tolvane
