// Driver PNG: one picture per sheet at the printer's resolution, named from
// the port's pattern. One image is kept for the context and cleared for
// every sheet, so a long document costs one sheet's memory.
#include <zlib.h>

#include <cstdint>
#include <cstring>

#include "device/linux/file_sheets.h"

namespace tolvane {

namespace {

// The context's image (FormatData), made at the first sheet.
cairo_surface_t* Image(const TSheetFiles& files) {
  return static_cast<cairo_surface_t*>(files.FormatData);
}

cairo_surface_t* MakeImage(const TPrinterGeometry& geometry) {
  TSheetFrame frame = SheetFrame(geometry, false);
  cairo_surface_t* image = cairo_image_surface_create(
      CAIRO_FORMAT_RGB24, static_cast<int>(frame.Width), static_cast<int>(frame.Height));
  if (cairo_surface_status(image) == CAIRO_STATUS_SUCCESS) return image;
  cairo_surface_destroy(image);
  return nullptr;
}

cairo_surface_t* StartPng(TSheetFiles& files, cairo_write_func_t, void*) {
  if (!Image(files)) files.FormatData = MakeImage(files.Geometry);
  cairo_surface_t* image = Image(files);
  if (!image) return nullptr;
  cairo_t* cr = cairo_create(image);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_paint(cr);
  cairo_destroy(cr);
  return image;
}

// cairo writes no resolution into its PNG files, so other programs would
// print the sheet at 72 or 96 dpi, several times its size. The pHYs chunk is
// put in after the header chunk, which the PNG format requires to come first.
constexpr size_t SignatureAndHeader = 8 + 4 + 4 + 13 + 4;

struct TPngWithResolution {
  cairo_write_func_t Write;
  void* Closure;
  size_t Passed;  // bytes of cairo's stream passed on so far
  unsigned char Chunk[21];
};

void PutBigEndian32(unsigned char* at, uint32_t value) {
  at[0] = static_cast<unsigned char>(value >> 24);
  at[1] = static_cast<unsigned char>(value >> 16);
  at[2] = static_cast<unsigned char>(value >> 8);
  at[3] = static_cast<unsigned char>(value);
}

uint32_t PixelsPerMetre(int32_t dpi) {
  return dpi > 0 ? static_cast<uint32_t>((static_cast<int64_t>(dpi) * 10000 + 127) / 254) : 0;
}

// Length 9, "pHYs", pixels per metre across and down, unit 1 (the metre),
// and the CRC of type and data.
void BuildResolutionChunk(const TPrinterGeometry& geometry, unsigned char* chunk) {
  PutBigEndian32(chunk, 9);
  std::memcpy(chunk + 4, "pHYs", 4);
  PutBigEndian32(chunk + 8, PixelsPerMetre(geometry.DpiX));
  PutBigEndian32(chunk + 12, PixelsPerMetre(geometry.DpiY));
  chunk[16] = 1;
  PutBigEndian32(chunk + 17, static_cast<uint32_t>(crc32(crc32(0, nullptr, 0), chunk + 4, 13)));
}

cairo_status_t WriteWithResolution(void* closure, const unsigned char* data, unsigned int length) {
  auto* png = static_cast<TPngWithResolution*>(closure);
  if (png->Passed < SignatureAndHeader && png->Passed + length >= SignatureAndHeader) {
    unsigned int head = static_cast<unsigned int>(SignatureAndHeader - png->Passed);
    png->Passed += length;
    if (png->Write(png->Closure, data, head) != CAIRO_STATUS_SUCCESS ||
        png->Write(png->Closure, png->Chunk, sizeof png->Chunk) != CAIRO_STATUS_SUCCESS)
      return CAIRO_STATUS_WRITE_ERROR;
    return length > head ? png->Write(png->Closure, data + head, length - head)
                         : CAIRO_STATUS_SUCCESS;
  }
  png->Passed += length;
  return png->Write(png->Closure, data, length);
}

bool FinishPng(TSheetFiles& files, cairo_surface_t* surface, cairo_write_func_t write,
               void* closure) {
  cairo_surface_flush(surface);
  TPngWithResolution png{write, closure, 0, {}};
  BuildResolutionChunk(files.Geometry, png.Chunk);
  return cairo_surface_write_to_png_stream(surface, WriteWithResolution, &png) ==
         CAIRO_STATUS_SUCCESS;
}

// The image outlives its sheets; it goes with the context.
void KeepPng(TSheetFiles&, cairo_surface_t*) {}

void ReleasePng(TSheetFiles& files) {
  if (Image(files)) cairo_surface_destroy(Image(files));
  files.FormatData = nullptr;
}

const TSheetFormat PngFormat = {false, StartPng, FinishPng, KeepPng, ReleasePng};

bool PngOpen(TDeviceContext* dc) { return OpenSheetFiles(dc, &PngFormat); }

}  // namespace

extern const TDeviceBackend PngDeviceBackend = CairoBackend("PNG", PngOpen);

}  // namespace tolvane
