// The bitmaps of a document: each distinct bitmap is one image, handed to
// the document's format when it is first drawn (a PDF writes its object
// then) and referred to by every later drawing of it, however many sheets
// repeat it.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "device/device.h"
#include "device/pdf/pdf_writer.h"

namespace tolvane {

struct TPdfDocument;

struct TPdfImage {
  int Number = 0;  // its object in a PDF
  int Name = 0;    // its resource name is /Im<Name>
  int32_t Width = 0, Height = 0;
  bool BottomUp = true;
};

struct TPdfImages {
  std::vector<TPdfImage> Images;
  std::unordered_map<std::string, size_t> Known;  // a bitmap's fingerprint to its image
};

// The image of a bitmap, added to the document now when it is new; null
// when the bitmap cannot be decoded.
const TPdfImage* PdfImageFor(TPdfDocument& document, const TBitmapBlock& block);

// What a StretchDIBits of image adds to a page whose user space is device
// pixels: the source rectangle stretched onto the destination, mirrored
// where the signs say, cut to the destination and the printable area.
// Nothing when they do not meet.
void AppendImageDrawing(std::string& content, const TPdfImage& image, const TStretchCall& call,
                        double printableWidth, double printableHeight);

}  // namespace tolvane
