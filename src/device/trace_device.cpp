// The recording device (driver TRACE): one line of text per device call, so
// that a job can be checked without looking at paper. Its output is kept
// whatever happens to the job, an aborted one included, because the trace of
// a failure is what one wants to read.
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>

#include <zlib.h>

#include "device/device.h"
#include "tolvane_state.h"

namespace tolvane {

namespace {

struct TTrace {
  std::FILE* File;
  bool Shared;  // standard output: flushed at the end, never closed
};

TTraceOpener TraceOpener = nullptr;

// A trace runs to a hundred bytes a glyph; the stream's own few kilobytes
// would make a write call of every few lines.
const size_t TraceBufferSize = 64 * 1024;

std::FILE* OpenTraceFile(const std::string& port) {
  if (TraceOpener) return TraceOpener(port);
  std::FILE* file = std::fopen(port.c_str(), "wb");
  if (file) std::setvbuf(file, nullptr, _IOFBF, TraceBufferSize);
  return file;
}

std::FILE* TraceFile(TDeviceContext* dc) { return static_cast<TTrace*>(dc->Data)->File; }

void WriteLine(TDeviceContext* dc, const std::string& line) {
  std::FILE* file = TraceFile(dc);
  std::fwrite(line.data(), 1, line.size(), file);
  std::fputc('\n', file);
}

// Quotes and backslashes are escaped too, so that a text always reads back
// unambiguously up to its closing quote.
std::string Quoted(const char* text, size_t count) {
  std::string result = "\"";
  for (size_t i = 0; i < count; ++i) {
    unsigned char ch = static_cast<unsigned char>(text[i]);
    if (ch < 0x20 || ch > 0x7e || ch == '"' || ch == '\\') {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\x%02x", ch);
      result += escape;
    } else {
      result += static_cast<char>(ch);
    }
  }
  return result + "\"";
}

std::string Quoted(const std::string& text) { return Quoted(text.data(), text.size()); }

std::string CapsName(int index) {
  switch (index) {
    case HORZSIZE: return "HORZSIZE";
    case VERTSIZE: return "VERTSIZE";
    case HORZRES: return "HORZRES";
    case VERTRES: return "VERTRES";
    case LOGPIXELSX: return "LOGPIXELSX";
    case LOGPIXELSY: return "LOGPIXELSY";
    case PHYSICALWIDTH: return "PHYSICALWIDTH";
    case PHYSICALHEIGHT: return "PHYSICALHEIGHT";
    case PHYSICALOFFSETX: return "PHYSICALOFFSETX";
    case PHYSICALOFFSETY: return "PHYSICALOFFSETY";
    default: return std::to_string(index);
  }
}

std::string Field(const char* name, long value) { return std::string(" ") + name + "=" + std::to_string(value); }

std::string FontDescription(const LOGFONTA& font) {
  return Field("height", font.lfHeight) + Field("width", font.lfWidth) +
         Field("escapement", font.lfEscapement) + Field("orientation", font.lfOrientation) +
         Field("weight", font.lfWeight) + Field("italic", font.lfItalic) +
         Field("underline", font.lfUnderline) + Field("strikeout", font.lfStrikeOut) +
         Field("charset", font.lfCharSet) + Field("outprecision", font.lfOutPrecision) +
         Field("clipprecision", font.lfClipPrecision) + Field("quality", font.lfQuality) +
         Field("pitchandfamily", font.lfPitchAndFamily) + " face=" +
         Quoted(font.lfFaceName, strnlen(font.lfFaceName, LF_FACESIZE));
}

bool TraceOpen(TDeviceContext* dc) {
  bool shared = dc->Port == "-";
  TidyFolderOfOutput(dc->Port);
  std::FILE* file = shared ? stdout : OpenTraceFile(dc->Port);
  if (!file) {
    Diagnose("printer '" + dc->Device + "' (driver TRACE): cannot write the trace '" + dc->Port +
             "': " + std::strerror(errno));
    return false;
  }
  dc->Data = new TTrace{file, shared};
  WriteLine(dc, "CreateDCA " + Quoted(dc->Driver) + " " + Quoted(dc->Device) + " " +
                    Quoted(dc->Port) + " -> DC" + std::to_string(dc->Number));
  return true;
}

void TraceDeviceCaps(TDeviceContext* dc, int index, int result) {
  WriteLine(dc, "GetDeviceCaps " + CapsName(index) + " -> " + std::to_string(result));
}

void TraceStartDoc(TDeviceContext* dc, const char* docName) {
  WriteLine(dc, "StartDocA " + Quoted(docName, std::strlen(docName)));
}

// A trace cut short (a full disk) fails the job like any output: checked at
// every page, and written out in full when the document ends.
void CheckTraceWritten(TDeviceContext* dc, bool flush) {
  std::FILE* file = TraceFile(dc);
  if ((!flush || std::fflush(file) == 0) && !std::ferror(file)) return;
  int error = errno;
  std::string where = dc->Port == "-" ? std::string("standard output") : dc->Port;
  std::string failure = "cannot write the trace " + where + ": " + std::strerror(error);
  std::clearerr(file);
  RaiseJobFailure(failure);
}

void TraceStartPage(TDeviceContext* dc) { WriteLine(dc, "StartPage"); }

void TraceEndPage(TDeviceContext* dc) {
  WriteLine(dc, "EndPage");
  CheckTraceWritten(dc, false);
}

void TraceEndDoc(TDeviceContext* dc) {
  WriteLine(dc, "EndDoc");
  CheckTraceWritten(dc, true);
}
void TraceAbortDoc(TDeviceContext* dc) { WriteLine(dc, "AbortDoc"); }

void TraceClose(TDeviceContext* dc) {
  WriteLine(dc, "DeleteDC");
  auto* trace = static_cast<TTrace*>(dc->Data);
  // The job has its outcome by now; a last line that cannot be written is
  // only said.
  bool written = trace->Shared ? std::fflush(trace->File) == 0 && !std::ferror(trace->File)
                               : std::fclose(trace->File) == 0;
  if (!written) Diagnose("cannot write the end of the trace " + dc->Port + ": " + std::strerror(errno));
  delete trace;
  dc->Data = nullptr;
}

void TraceSetBkMode(TDeviceContext* dc, int mode) {
  WriteLine(dc, "SetBkMode " + std::to_string(mode));
}

void TraceFontCreated(TDeviceContext* dc, const TGdiObject* font) {
  std::string description = font ? FontDescription(font->Font) : "";
  WriteLine(dc, "CreateFontIndirectA" + description + " -> " + FontHandleName(font));
}

void TraceFontSelected(TDeviceContext* dc, const TGdiObject* font, const TGdiObject* previous) {
  WriteLine(dc, "SelectObject " + FontHandleName(font) + " -> " + FontHandleName(previous));
}

void TraceFontDeleted(TDeviceContext* dc, const TGdiObject* font) {
  WriteLine(dc, "DeleteObject " + FontHandleName(font));
}

// Writes a decimal integer ending at `end`, returning where it starts: the
// glyph's coordinates are the most written numbers of a trace.
char* DecimalBefore(char* end, int value) {
  uint32_t magnitude = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
  do {
    *--end = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) *--end = '-';
  return end;
}

bool PlainByte(char ch) { return ch >= 0x20 && ch <= 0x7e && ch != '"' && ch != '\\'; }

// The one call made for every character: one line put together in place and
// handed to the stream in one piece.
void TraceTextOut(TDeviceContext* dc, int x, int y, const char* text, int count) {
  std::FILE* file = TraceFile(dc);
  if (count == 1 && PlainByte(text[0])) {
    char line[48];
    char* const stop = line + sizeof line;
    char* end = stop;
    *--end = '\n';
    *--end = '"';
    *--end = text[0];
    *--end = '"';
    *--end = ' ';
    char* start = DecimalBefore(end, y);
    *--start = ' ';
    start = DecimalBefore(start, x);
    static const char Call[] = "TextOutA ";
    start -= sizeof Call - 1;
    std::memcpy(start, Call, sizeof Call - 1);
    std::fwrite(start, 1, static_cast<size_t>(stop - start), file);
    return;
  }
  char head[40];
  int length = std::snprintf(head, sizeof head, "TextOutA %d %d ", x, y);
  std::fwrite(head, 1, static_cast<size_t>(length), file);
  std::string quoted = Quoted(text, static_cast<size_t>(count));
  std::fwrite(quoted.data(), 1, quoted.size(), file);
  std::fputc('\n', file);
}

uint32_t BlockCrc(const TBitmapBlock& block) {
  uLong crc = crc32_z(0L, Z_NULL, 0);
  if (block.Located) crc = crc32_z(crc, block.Data, block.Size);
  return static_cast<uint32_t>(crc);
}

int TraceStretchDIBits(TDeviceContext* dc, const TStretchCall& call) {
  char line[320];
  std::snprintf(line, sizeof line,
                "StretchDIBits %d %d %d %d %d %d %d %d size=%zu bits=%+" PRId64
                " crc32=%08" PRIx32 " usage=%u rop=0x%08" PRIx32,
                call.XDest, call.YDest, call.DestWidth, call.DestHeight, call.XSrc, call.YSrc,
                call.SrcWidth, call.SrcHeight, call.Block.Located ? call.Block.Size : size_t{0},
                call.Block.BitsOffset, BlockCrc(call.Block), call.Usage,
                static_cast<uint32_t>(call.Rop));
  WriteLine(dc, line);
  // The lines a printer would draw: every source line, whichever way up.
  int64_t lines = call.SrcHeight < 0 ? -int64_t{call.SrcHeight} : call.SrcHeight;
  return lines > INT32_MAX ? INT32_MAX : static_cast<int>(lines);
}

}  // namespace

void UseTraceOpener(TTraceOpener opener) { TraceOpener = opener; }

extern const TDeviceBackend TraceDeviceBackend = {
    "TRACE",          TraceOpen,         TraceDeviceCaps,  TraceStartDoc,
    TraceStartPage,   TraceEndPage,      TraceEndDoc,      TraceAbortDoc,
    TraceClose,       TraceSetBkMode,    TraceFontCreated, TraceFontSelected,
    TraceFontDeleted, TraceTextOut,      TraceStretchDIBits,
};

}  // namespace tolvane
