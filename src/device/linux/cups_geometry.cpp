// A CUPS queue's default sheet and resolution as a printer geometry.
#include "device/linux/cups_geometry.h"

#include <cups/cups.h>

#include <cstdint>

#include "device/device.h"

namespace tolvane {

namespace {

// The bounds that the profile's own values have, so that a queue cannot
// report what the profile could not say.
constexpr int64_t MaxDpi = 100000;
constexpr int MaxHundredths = 10000000;  // 100 m

bool UsableLength(int hundredths) { return hundredths >= 0 && hundredths <= MaxHundredths; }

int64_t Micrometres(int hundredths) { return int64_t{hundredths} * 10; }

// The media the queue prints on when a job asks for none.
bool DefaultMedia(http_t* http, cups_dest_t* dest, cups_dinfo_t* info, cups_size_t& size) {
  // cupsGetDestMediaDefault looks only at the destination's "media" option
  // (the user's lpoptions) and otherwise takes Letter, whatever the queue's
  // own default; so the queue's media-default is asked for in between.
  const char* name = cupsGetOption("media", dest->num_options, dest->options);
  if (name == nullptr) {
    ipp_attribute_t* media = cupsFindDestDefault(http, dest, info, "media");
    if (media != nullptr) name = ippGetString(media, 0, nullptr);
  }
  if (name != nullptr && cupsGetDestMediaByName(http, dest, info, name, CUPS_MEDIA_FLAGS_DEFAULT,
                                                &size))
    return true;
  return cupsGetDestMediaDefault(http, dest, info, CUPS_MEDIA_FLAGS_DEFAULT, &size) != 0;
}

void DefaultResolution(http_t* http, cups_dest_t* dest, cups_dinfo_t* info, int32_t& x,
                       int32_t& y) {
  ipp_attribute_t* resolution = cupsFindDestDefault(http, dest, info, "printer-resolution");
  if (resolution == nullptr || ippGetValueTag(resolution) != IPP_TAG_RESOLUTION) return;
  int yValue = 0;
  ipp_res_t units = IPP_RES_PER_INCH;
  int xValue = ippGetResolution(resolution, 0, &yValue, &units);
  x = DotsPerInch(xValue, units);
  y = DotsPerInch(yValue, units);
}

}  // namespace

int32_t DotsPerInch(int value, ipp_res_t units) {
  if (value <= 0) return 0;
  int64_t dpi = value;
  if (units == IPP_RES_PER_CM)
    dpi = (int64_t{value} * 254 + 50) / 100;
  else if (units != IPP_RES_PER_INCH)
    return 0;
  return dpi <= MaxDpi ? static_cast<int32_t>(dpi) : 0;
}

TPrinterGeometry CupsMediaGeometry(const cups_size_t* media, int32_t dpiX, int32_t dpiY) {
  TPrinterGeometry geometry{};
  // The program's own default sheet, for a queue that names none.
  geometry.PaperWidthMicro = 210000;
  geometry.PaperHeightMicro = 297000;
  if (media != nullptr && media->width > 0 && media->length > 0 &&
      UsableLength(media->width) && UsableLength(media->length)) {
    geometry.PaperWidthMicro = Micrometres(media->width);
    geometry.PaperHeightMicro = Micrometres(media->length);
    if (UsableLength(media->left) && UsableLength(media->top) && UsableLength(media->right) &&
        UsableLength(media->bottom)) {
      geometry.MarginLeftMicro = Micrometres(media->left);
      geometry.MarginTopMicro = Micrometres(media->top);
      geometry.MarginRightMicro = Micrometres(media->right);
      geometry.MarginBottomMicro = Micrometres(media->bottom);
    }
  }
  if (dpiX <= 0 || dpiY <= 0 || dpiX > MaxDpi || dpiY > MaxDpi) dpiX = dpiY = CupsDefaultDpi;
  geometry.DpiX = dpiX;
  geometry.DpiY = dpiY;
  return geometry;  // code page 0: the profile's, else the program's default
}

TPrinterGeometry ReadCupsQueueGeometry(http_t* http, cups_dest_t* dest) {
  cups_dinfo_t* info = cupsCopyDestInfo(http, dest);
  if (info == nullptr) return CupsMediaGeometry(nullptr, 0, 0);
  cups_size_t size{};
  bool haveMedia = DefaultMedia(http, dest, info, size);
  int32_t x = 0, y = 0;
  DefaultResolution(http, dest, info, x, y);
  cupsFreeDestInfo(info);
  return CupsMediaGeometry(haveMedia ? &size : nullptr, x, y);
}

}  // namespace tolvane
