// The operating-system facilities that the print job uses, under their Win32
// names and signatures. On Windows they forward to the real API; on Linux the
// project provides them (profiles, memory blocks, warning box, the device
// calls). Job code includes this header and nothing platform-specific.
#pragma once

// <windows.h> turns many of the names below (HORZSIZE, TRANSPARENT, MB_OK,
// SRCCOPY, ...) into macros. A file that needs both includes this header
// first; the macros that follow carry the same values.
#if defined(_WINDOWS_) || defined(_WINGDI_)
#error "os/win32.h must come before <windows.h>"
#endif

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

namespace tolvane {

typedef int32_t BOOL;
typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef int32_t INT;
typedef uint32_t UINT;
typedef size_t SIZE_T;
typedef char CHAR;
typedef const char* LPCSTR;
typedef char* LPSTR;
typedef void* LPVOID;
typedef const void* LPCVOID;

// Handles are opaque pointers to objects of the device layer and the memory
// layer; the job only stores and passes them.
struct TDeviceContext;
struct TGdiObject;
struct TGlobalBlock;
typedef TDeviceContext* HDC;
typedef TGdiObject* HGDIOBJ;
typedef TGdiObject* HFONT;
typedef TGlobalBlock* HGLOBAL;
typedef void* HWND;
struct DEVMODEA;

enum : int {
  HORZSIZE = 4,
  VERTSIZE = 6,
  HORZRES = 8,
  VERTRES = 10,
  LOGPIXELSX = 88,
  LOGPIXELSY = 90,
  PHYSICALWIDTH = 110,
  PHYSICALHEIGHT = 111,
  PHYSICALOFFSETX = 112,
  PHYSICALOFFSETY = 113,
};

enum : int { TRANSPARENT = 1, OPAQUE = 2 };
enum : UINT { MB_OK = 0x0, MB_ICONWARNING = 0x30 };
enum : UINT { DIB_RGB_COLORS = 0 };
enum : DWORD { SRCCOPY = 0x00CC0020 };
enum : UINT { GMEM_MOVEABLE = 0x2 };
enum : LONG { FW_DONTCARE = 0, FW_NORMAL = 400, FW_BOLD = 700 };
enum : DWORD { BI_RGB = 0, BI_RLE8 = 1, BI_RLE4 = 2, BI_BITFIELDS = 3, BI_JPEG = 4, BI_PNG = 5 };

enum { LF_FACESIZE = 32 };

struct LOGFONTA {
  LONG lfHeight;
  LONG lfWidth;
  LONG lfEscapement;
  LONG lfOrientation;
  LONG lfWeight;
  BYTE lfItalic;
  BYTE lfUnderline;
  BYTE lfStrikeOut;
  BYTE lfCharSet;
  BYTE lfOutPrecision;
  BYTE lfClipPrecision;
  BYTE lfQuality;
  BYTE lfPitchAndFamily;
  CHAR lfFaceName[LF_FACESIZE];
};
static_assert(sizeof(LOGFONTA) == 60, "LOGFONTA must keep the Win32 layout");

struct DOCINFOA {
  int cbSize;
  LPCSTR lpszDocName;
  LPCSTR lpszOutput;
  LPCSTR lpszDatatype;
  DWORD fwType;
};

#pragma pack(push, 2)
struct BITMAPINFOHEADER {
  DWORD biSize;
  LONG biWidth;
  LONG biHeight;
  WORD biPlanes;
  WORD biBitCount;
  DWORD biCompression;
  DWORD biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  DWORD biClrUsed;
  DWORD biClrImportant;
};
#pragma pack(pop)
static_assert(sizeof(BITMAPINFOHEADER) == 40, "BITMAPINFOHEADER must keep the Win32 layout");

struct RGBQUAD {
  BYTE rgbBlue;
  BYTE rgbGreen;
  BYTE rgbRed;
  BYTE rgbReserved;
};

struct BITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[1];
};

// Device context, document, pages, fonts, drawing.
HDC CreateDCA(LPCSTR driver, LPCSTR device, LPCSTR port, const DEVMODEA* mode);
int GetDeviceCaps(HDC dc, int index);
int StartDocA(HDC dc, const DOCINFOA* info);
int StartPage(HDC dc);
int EndPage(HDC dc);
int EndDoc(HDC dc);
int AbortDoc(HDC dc);
BOOL DeleteDC(HDC dc);
int SetBkMode(HDC dc, int mode);
HFONT CreateFontIndirectA(const LOGFONTA* font);
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
BOOL DeleteObject(HGDIOBJ object);
BOOL TextOutA(HDC dc, int x, int y, LPCSTR text, int count);
int StretchDIBits(HDC dc, int xDest, int yDest, int destWidth, int destHeight, int xSrc,
                  int ySrc, int srcWidth, int srcHeight, const void* bits,
                  const BITMAPINFO* info, UINT usage, DWORD rop);

// Profiles.
DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue,
                               LPSTR buffer, DWORD size, LPCSTR fileName);
UINT GetPrivateProfileIntA(LPCSTR section, LPCSTR key, INT defaultValue, LPCSTR fileName);
DWORD GetProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR buffer,
                        DWORD size);
// Called when a job starts and when a sheet begins: the private profiles
// read after it are checked against their files again. Until the first
// call every read checks its file; after it, a file is checked at most once
// between two calls, or again after a tenth of a second. Windows' own
// profile calls need no help, so there it does nothing.
void RevalidateProfiles();

// The warning box.
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT style);

// Movable memory blocks; GlobalHandle and GlobalSize let a device find the
// whole block that a pointer into it belongs to.
HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes);
LPVOID GlobalLock(HGLOBAL block);
BOOL GlobalUnlock(HGLOBAL block);
HGLOBAL GlobalFree(HGLOBAL block);
HGLOBAL GlobalHandle(LPCVOID pointer);
SIZE_T GlobalSize(HGLOBAL block);

// Facilities that have no single Win32 call of their own.

// Reads what the program takes from its environment once, at start (the
// decimal separator, the console's character set), and leaves the process
// in the C locale.
void InitializePlatform();

// The user's decimal separator, read once when the program starts.
char GetUserDecimalSeparator();

// The full path of the running program file.
std::string GetProgramPath();

// What separates a directory from a file name in a path ('\\' or '/').
char PathSeparator();

// The program's arguments after its own name, split the platform's way.
std::vector<std::string> GetArguments(int argc, char** argv);

// Opens a file for reading as bytes, letting other programs read it but not
// write it while it is open. Null when it cannot be opened or is no file.
std::FILE* OpenForSharedRead(const char* name);

// Whether name is a regular file (a link to one counts). A pipe, a device,
// a socket or a directory is not: opening one to read could wait forever.
bool IsRegularFile(const char* name);

// When the last warning box went to the console, writes the failure's own
// message below it, so that the cause is not lost. Does nothing otherwise.
void ReportFailureDetail(const std::string& message);

// The failure's own message, shown below the text of the next warning box:
// in the dialog, or as the line after it on the console. Nothing on Windows,
// whose box keeps its fixed text.
void SetWarningDetail(const std::string& detail);

// The job log's file where the platform keeps it for the user (empty when
// the environment names no such place), and the variables it is made from.
std::string DefaultJobLogPath();
std::string DefaultJobLogPlaces();
// Appends one line to the job log, under a lock that parallel jobs share;
// first moves a file of rotateAt bytes or more to PATH.1. False, with why,
// when the line could not be written.
bool AppendJobLogLine(const std::string& path, const std::string& line, uint64_t rotateAt,
                      std::string& why);
// Makes the directories that a file's path names, as far as they are
// missing; false with why when one cannot be made.
bool CreateDirectoriesFor(const std::string& file, std::string& why);
// The moment both as local time and as universal time.
bool LocalAndUniversalTime(std::time_t when, std::tm& local, std::tm& universal);
// A file name as a full path: relative names are taken from the current
// directory.
std::string FullPathName(const std::string& name);
// Previews: documents written to the user's temporary folder and shown in
// the user's PDF viewer. NewPreviewPath names a new document there;
// RemoveOldPreviews removes the user's previews there older than a day.
std::string PreviewFolder();
std::string NewPreviewPath(const std::string& folder);
void RemoveOldPreviews(const std::string& folder);
// Whether a viewer can be started here (a graphical session, a program for
// PDF documents); why not when not.
bool PdfViewerAvailable(std::string& why);
// Starts the viewer on the document and does not wait for it.
bool OpenInPdfViewer(const std::string& path, std::string& why);
// Where the printers are looked for, for a diagnostic about a printer name
// that none of them answers: "the system printer profile /etc/...".
std::string PrinterSearchPlaces();

// A printer that a job could name, with its entry ("DRIVER,PORT") and where
// the entry comes from.
struct TKnownPrinter {
  std::string Name;
  std::string Entry;
  std::string Source;
};
// The printers in the order their sources are asked; defaultName is the
// default printer (empty when none is named anywhere) and defaultSource
// where it is named.
std::vector<TKnownPrinter> ListKnownPrinters(std::string& defaultName, std::string& defaultSource);

// The installed face that a font name gives on the job's printer, as the
// user would look it up ("Liberation Mono Regular, /usr/share/fonts/..."),
// and whether it stands in for the face asked. Windows asks the font mapper
// in the printer's own context, so it needs the printer's names; Linux
// fonts are the same for every printer.
std::string DescribeFontFace(const std::string& face, const std::string& driver,
                             const std::string& device, const std::string& port);

// Whether a person watches standard error (a terminal), and one line there
// that is written over in place; an empty line clears it. Never on Windows.
bool StandardErrorIsTerminal();
void ShowProgressLine(const std::string& line);

// Where the device put the document, in the words its own tools use (a
// CUPS job id: "request id TolvaneTest-42"), for the summary of a job; empty
// where the device names nothing better than its port.
void NoteDocumentPlace(const std::string& place);
std::string DocumentPlace();

// Says why something failed or fell back, for a person: one line
// "tolvane: MESSAGE" on standard error, with control bytes masked (on
// Windows whenever standard error leads to a console, a pipe or a file), and
// kept for the job log. The message says what was asked and where it was
// looked for.
void Diagnose(const std::string& message);
// Writes one whole diagnostic line where this platform shows them.
void WriteDiagnosticLine(const std::string& line);
// How many diagnostics this run has given, so that a check can count the
// fallbacks it met.
int DiagnosticsGiven();
// A warning box was shown (in a dialog or on the console), with the
// failure's own message when there is one: the job log says so.
void NoteWarningShown(const std::string& caption, const std::string& detail);
// The diagnostics and warnings of this run, in order, for the job log; a
// process that runs several jobs forgets them when a job is logged.
const std::vector<std::string>& RunNotes();
void ForgetRunNotes();

}  // namespace tolvane
