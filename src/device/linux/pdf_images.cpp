#include "device/linux/pdf_images.h"

#include <libdeflate.h>

#include <algorithm>
#include <cstdlib>

#include "device/linux/dib_decode.h"

namespace tolvane {

namespace {

// A bitmap is known by its bytes: their checksum, their length and where
// its pixels begin.
std::string Fingerprint(const TBitmapBlock& block) {
  uint32_t sum = libdeflate_crc32(0, block.Data, block.Size);
  std::string key;
  AppendInteger(key, sum);
  key += ':';
  AppendInteger(key, int64_t(block.Size));
  key += ':';
  AppendInteger(key, block.BitsOffset);
  return key;
}

std::string ImageEntries(const TDecodedBitmap& bitmap) {
  std::string entries = "/Type/XObject/Subtype/Image/Width ";
  AppendInteger(entries, bitmap.Width);
  entries += "/Height ";
  AppendInteger(entries, bitmap.Height);
  return entries + "/ColorSpace/DeviceRGB/BitsPerComponent 8";
}

// One axis of a stretch: device = scale * source + offset, for the
// destination interval [d0, d0 + dSize) showing [s0, s0 + sSize).
void AxisMapping(double d0, double dSize, double s0, double sSize, bool mirror, double& scale,
                 double& offset) {
  scale = dSize / sSize;
  offset = mirror ? d0 + (s0 + sSize) * scale : d0 - s0 * scale;
  if (mirror) scale = -scale;
}

}  // namespace

const TPdfImage* PdfImageFor(TPdfImages& images, TPdfWriter& writer, const TBitmapBlock& block) {
  if (!block.Located || !block.Data) return nullptr;
  std::string key = Fingerprint(block);
  auto found = images.Known.find(key);
  if (found != images.Known.end()) return &images.Images[found->second];
  TDecodedBitmap bitmap;
  std::string reason;
  if (!DecodeDib(block, bitmap, reason)) return nullptr;
  TPdfImage image{ReserveObject(writer), int(images.Images.size()) + 1, bitmap.Width,
                  bitmap.Height, bitmap.BottomUp};
  std::string_view pixels(reinterpret_cast<const char*>(bitmap.Rgb.data()), bitmap.Rgb.size());
  WriteStream(writer, image.Number, ImageEntries(bitmap), pixels);
  images.Known.emplace(key, images.Images.size());
  images.Images.push_back(image);
  return &images.Images.back();
}

void AppendImageDrawing(std::string& content, const TPdfImage& image, const TStretchCall& call,
                        double printableWidth, double printableHeight) {
  int64_t destWidth = std::abs(int64_t{call.DestWidth});
  int64_t destHeight = std::abs(int64_t{call.DestHeight});
  int64_t srcWidth = std::abs(int64_t{call.SrcWidth});
  int64_t srcHeight = std::abs(int64_t{call.SrcHeight});
  if (destWidth == 0 || destHeight == 0 || srcWidth == 0 || srcHeight == 0) return;
  double dx0 = call.DestWidth < 0 ? double(call.XDest) + call.DestWidth : call.XDest;
  double dy0 = call.DestHeight < 0 ? double(call.YDest) + call.DestHeight : call.YDest;
  double left = std::max(dx0, 0.0), top = std::max(dy0, 0.0);
  double right = std::min(dx0 + double(destWidth), printableWidth);
  double bottom = std::min(dy0 + double(destHeight), printableHeight);
  if (right <= left || bottom <= top) return;
  // A bottom-up bitmap counts its source rows from the bottom, a top-down
  // one from the top; a top-down bitmap's source height may carry the
  // header's own negative sign, and only its size counts then.
  double sy0 = image.BottomUp ? double(image.Height - call.YSrc - srcHeight) : call.YSrc;
  bool mirrorX = (call.SrcWidth < 0) != (call.DestWidth < 0);
  bool mirrorY = (call.DestHeight < 0) != (image.BottomUp && call.SrcHeight < 0);
  double sx, ox, sy, oy;
  AxisMapping(dx0, double(destWidth), call.XSrc, double(srcWidth), mirrorX, sx, ox);
  AxisMapping(dy0, double(destHeight), sy0, double(srcHeight), mirrorY, sy, oy);
  // The image fills the unit square, its top row at y = 1: pixel column u
  // lies at u / Width, row v at 1 - v / Height.
  content += "q ";
  for (double value : {left, top, right - left, bottom - top}) {
    AppendNumber(content, value);
    content += ' ';
  }
  content += "re W n ";
  for (double value : {sx * image.Width, 0.0, 0.0, -sy * image.Height, ox, oy + sy * image.Height}) {
    AppendNumber(content, value);
    content += ' ';
  }
  content += "cm /Im";
  AppendInteger(content, image.Name);
  content += " Do Q\n";
}

}  // namespace tolvane
