#include "device/pdf/pdf_images.h"

#include "device/bitmaps/dib_decode.h"
#include "device/pdf/compression.h"
#include "device/pdf/pdf_format.h"
#include "device/bitmaps/stretch_placement.h"

namespace tolvane {

namespace {

// A bitmap is known by its bytes: their checksum, their length and where
// its pixels begin.
std::string Fingerprint(const TBitmapBlock& block) {
  uint32_t sum = Crc32(block.Data, block.Size);
  std::string key;
  AppendInteger(key, sum);
  key += ':';
  AppendInteger(key, int64_t(block.Size));
  key += ':';
  AppendInteger(key, block.BitsOffset);
  return key;
}

}  // namespace

const TPdfImage* PdfImageFor(TPdfDocument& document, const TBitmapBlock& block) {
  if (!block.Located || !block.Data) return nullptr;
  TPdfImages& images = document.Images;
  std::string key = Fingerprint(block);
  auto found = images.Known.find(key);
  if (found != images.Known.end()) return &images.Images[found->second];
  TDecodedBitmap bitmap;
  std::string reason;
  if (!DecodeDib(block, bitmap, reason)) return nullptr;
  TPdfImage image{0, int(images.Images.size()) + 1, bitmap.Width, bitmap.Height,
                  bitmap.BottomUp};
  std::string_view pixels(reinterpret_cast<const char*>(bitmap.Rgb.data()), bitmap.Rgb.size());
  document.Format->AddImage(document, image, pixels);
  images.Known.emplace(key, images.Images.size());
  images.Images.push_back(image);
  return &images.Images.back();
}

void AppendImageDrawing(std::string& content, const TPdfImage& image, const TStretchCall& call,
                        double printableWidth, double printableHeight) {
  TStretchPlacement place;
  if (!PlaceStretch(call, image.Height, image.BottomUp, printableWidth, printableHeight, place))
    return;
  content += "q ";
  for (double value : {place.Left, place.Top, place.Right - place.Left, place.Bottom - place.Top}) {
    AppendNumber(content, value);
    content += ' ';
  }
  // The image fills the unit square, its top row at y = 1: source pixel
  // column u lies at u / Width, row v at 1 - v / Height.
  double width = image.Width, height = image.Height;
  content += "re W n ";
  for (double value : {width / place.ScaleX, 0.0, 0.0, -height / place.ScaleY,
                       -place.OffsetX / place.ScaleX, (height - place.OffsetY) / place.ScaleY}) {
    AppendNumber(content, value);
    content += ' ';
  }
  content += "cm /Im";
  AppendInteger(content, image.Name);
  content += " Do Q\n";
}

}  // namespace tolvane
