#include "render/logo.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <new>

#include "os/dib_layout.h"
#include "render/logo_report.h"
#include "render/page.h"
#include "render/units.h"
#include "stream/fields.h"
#include "tolvane_state.h"

namespace tolvane {

static const char WarningCaption[] = "Figyelem!";
static const char MissingLogoText[] = "Logo k\xE9pf\xE1jl nincs meg!";
static const char LogoFailureText[] = "Hiba t\xF6rt\xE9nt a LOGO nyomtat\xE1sakor!";
static const size_t FileHeaderSize = 14;
static const size_t ReadChunk = 4096;
// Far beyond any letterhead, and small enough that a broken or hostile file
// cannot make the job ask for memory it will never get.
static const uint64_t MaxLogoBytes = uint64_t{256} << 20;

// The logo's memory block and open file, released on every path.
struct TLogoResources {
  std::FILE* File = nullptr;
  HGLOBAL Block = nullptr;
  uint8_t* Data = nullptr;
};

static void ReleaseLogo(TLogoResources& logo) {
  if (logo.File) std::fclose(logo.File);
  if (logo.Block) {
    GlobalUnlock(logo.Block);
    GlobalFree(logo.Block);
  }
  logo = TLogoResources{};
}

static void WarnLogo(const char* text) {
  MessageBoxA(nullptr, text, WarningCaption, MB_OK | MB_ICONWARNING);
}

static uint64_t FileLength(std::FILE* file) {
  struct stat info;
  if (fstat(fileno(file), &info) != 0) RaiseJobFailure("the logo file's size cannot be read");
  return static_cast<uint64_t>(info.st_size);
}

// Reads the file after its header into a block of its own, in chunks.
static void LoadLogo(TLogoResources& logo, uint32_t& bitsFileOffset, size_t& blockSize) {
  uint64_t size = FileLength(logo.File);
  uint8_t header[FileHeaderSize];
  if (size < FileHeaderSize || std::fread(header, 1, FileHeaderSize, logo.File) != FileHeaderSize)
    RaiseJobFailure("the logo file is shorter than its header");
  if (size - FileHeaderSize > MaxLogoBytes) RaiseJobFailure("the logo file is too large");
  blockSize = static_cast<size_t>(size - FileHeaderSize);
  logo.Block = GlobalAlloc(GMEM_MOVEABLE, blockSize);
  if (!logo.Block) RaiseJobFailure("no memory for the logo");
  logo.Data = static_cast<uint8_t*>(GlobalLock(logo.Block));
  for (size_t done = 0; done < blockSize; done += ReadChunk) {
    size_t wanted = blockSize - done < ReadChunk ? blockSize - done : ReadChunk;
    if (std::fread(logo.Data + done, 1, wanted, logo.File) != wanted)
      RaiseJobFailure("the logo file could not be read to its end");
  }
  std::fclose(logo.File);
  logo.File = nullptr;
  bitsFileOffset = ReadLittle32(header + 10);
}

// The rectangle is absolute on the page: no margin and no pen is added.
static void ReadLogoRectangle(int32_t& x, int32_t& y, int32_t& width, int32_t& height) {
  x = ToDeviceX(FieldToInt(NextField("", ',')));
  y = ToDeviceY(FieldToInt(NextField("", ',')));
  width = ToDeviceX(FieldToInt(NextField("", ',')));
  height = ToDeviceY(FieldToInt(NextField("", ',')));
}

static void PaintLogo(TLogoResources& logo) {
  uint32_t bitsFileOffset = 0;
  size_t blockSize = 0;
  LoadLogo(logo, bitsFileOffset, blockSize);
  // A broken file is refused before anything reads the block, upright or not.
  int64_t bitsOffset = int64_t(bitsFileOffset) - int64_t(FileHeaderSize);
  TDibLayout layout;
  std::string reason;
  if (!DescribeDib(logo.Data, blockSize, bitsOffset, layout, reason)) RaiseJobFailure(reason);
  int32_t sourceWidth = static_cast<int32_t>(ReadLittle32(logo.Data + 4));
  int32_t sourceHeight = static_cast<int32_t>(ReadLittle32(logo.Data + 8));
  int32_t x, y, width, height;
  ReadLogoRectangle(x, y, width, height);
  if (PrintState.Rotated != 0) return;
  StretchDIBits(PrintState.PrinterDC, x, y, width, height, 0, 0, sourceWidth, sourceHeight,
                logo.Data + bitsOffset, reinterpret_cast<const BITMAPINFO*>(logo.Data),
                DIB_RGB_COLORS, SRCCOPY);
}

void DrawLogo() {
  if (!PageInRange()) return;
  // The page is begun even when the logo then fails, so that it comes out.
  BeginPageIfPending();
  std::string name = NextField("", ',');
  TLogoResources logo;
  errno = 0;
  logo.File = IsRegularFile(name.c_str()) ? OpenForSharedRead(name.c_str()) : nullptr;
  if (!logo.File) {
    SetWarningDetail(MissingLogoDetail(name, errno));
    WarnLogo(MissingLogoText);
    return;
  }
  std::string failure;
  try {
    PaintLogo(logo);
  } catch (const TJobFailure& raised) {
    failure = raised.Message.empty() ? "the logo could not be drawn" : raised.Message;
  } catch (const std::bad_alloc&) {
    failure = "no memory for the logo";
  }
  ReleaseLogo(logo);
  if (failure.empty()) return;
  SetWarningDetail("drawing the logo '" + name + "': " + failure);
  WarnLogo(LogoFailureText);
}

}  // namespace tolvane
