#include "device/sfnt/sfnt_outline.h"

#include <algorithm>
#include <cmath>

#include "device/sfnt/sfnt_tables.h"

namespace tolvane {

namespace {

// Point flags of a simple glyph. With a short coordinate the "same" bit
// says that the byte is positive.
constexpr uint8_t OnCurve = 0x01, ShortX = 0x02, ShortY = 0x04, Repeat = 0x08;
constexpr uint8_t SameX = 0x10, SameY = 0x20;

constexpr size_t GlyphHeader = 10;  // contours and bounding box
// Fonts nest accents a level or two deep; deeper is a glyph built from
// itself or a font made to stall the reader.
constexpr int MaxDepth = 8;
// Contour ends are 16-bit point numbers.
constexpr size_t MaxPoints = 0xFFFF;
constexpr size_t MaxContours = 0x7FFF;
// Components of empty glyphs add no points, yet nested they multiply the
// work: they are counted too.
constexpr size_t MaxComponents = 0xFFFF;

struct TFlattening {
  const TSfntGlyphData& Data;
  size_t Components = 0;
};

// The flags of a simple glyph's points, their repeats spelt out.
bool ReadPointFlags(std::string_view bytes, size_t& at, size_t points, std::vector<uint8_t>& flags) {
  while (flags.size() < points) {
    if (at >= bytes.size()) return false;
    uint8_t flag = uint8_t(bytes[at++]);
    size_t times = 1;
    if (flag & Repeat) {
      if (at >= bytes.size()) return false;
      times += uint8_t(bytes[at++]);
    }
    if (times > points - flags.size()) return false;
    flags.insert(flags.end(), times, flag);
  }
  return true;
}

// One axis of a simple glyph's points, stored as deltas from the point
// before.
bool ReadCoordinates(std::string_view bytes, size_t& at, const std::vector<uint8_t>& flags,
                     uint8_t shortBit, uint8_t sameBit, std::vector<int64_t>& values) {
  int64_t value = 0;
  for (uint8_t flag : flags) {
    if (flag & shortBit) {
      if (at + 1 > bytes.size()) return false;
      int64_t delta = uint8_t(bytes[at++]);
      value += flag & sameBit ? delta : -delta;
    } else if (!(flag & sameBit)) {
      if (at + 2 > bytes.size()) return false;
      value += int16_t(SfntRead16(bytes, at));
      at += 2;
    }
    values.push_back(value);
  }
  return true;
}

bool AppendSimplePoints(std::string_view bytes, TSfntOutline& outline) {
  size_t contours = SfntRead16(bytes, 0);
  size_t lengthAt = GlyphHeader + 2 * contours;
  if (lengthAt + 2 > bytes.size()) return false;
  size_t first = outline.Points.size(), points = 0;
  for (size_t i = 0; i < contours; ++i) {
    size_t end = SfntRead16(bytes, GlyphHeader + 2 * i);
    if (i > 0 && end < points) return false;  // each contour ends past the last
    points = end + 1;
    if (first + points > MaxPoints || outline.ContourEnds.size() >= MaxContours) return false;
    outline.ContourEnds.push_back(uint16_t(first + end));
  }
  size_t at = lengthAt + 2 + SfntRead16(bytes, lengthAt);
  std::vector<uint8_t> flags;
  std::vector<int64_t> xs, ys;
  if (!ReadPointFlags(bytes, at, points, flags) || !ReadCoordinates(bytes, at, flags, ShortX, SameX, xs) ||
      !ReadCoordinates(bytes, at, flags, ShortY, SameY, ys))
    return false;
  for (size_t i = 0; i < points; ++i)
    outline.Points.push_back({double(xs[i]), double(ys[i]), (flags[i] & OnCurve) != 0});
  return true;
}

double F2Dot14(std::string_view bytes, size_t at) { return int16_t(SfntRead16(bytes, at)) / 16384.0; }

bool AppendGlyphPoints(TFlattening& flattening, uint32_t glyph, int depth, TSfntOutline& outline);

// The components in turn, each flattened, transformed by its matrix and
// moved into place.
bool AppendCompositePoints(TFlattening& flattening, std::string_view bytes, int depth,
                           TSfntOutline& outline) {
  size_t start = outline.Points.size();
  for (size_t at = GlyphHeader;;) {
    if (at + 4 > bytes.size()) return false;
    uint16_t flags = SfntRead16(bytes, at);
    uint32_t part = SfntRead16(bytes, at + 2);
    at += 4;
    bool words = flags & ArgumentsAreWords, offsets = flags & ArgumentsAreOffsets;
    if (at + (words ? 4 : 2) > bytes.size()) return false;
    int32_t arg1, arg2;
    if (words) {
      arg1 = SfntRead16(bytes, at), arg2 = SfntRead16(bytes, at + 2);
      if (offsets) arg1 = int16_t(arg1), arg2 = int16_t(arg2);
    } else {
      arg1 = uint8_t(bytes[at]), arg2 = uint8_t(bytes[at + 1]);
      if (offsets) arg1 = int8_t(arg1), arg2 = int8_t(arg2);
    }
    at += words ? 4 : 2;
    // x goes to xx x + xy y, y to yx x + yy y.
    double xx = 1, xy = 0, yx = 0, yy = 1;
    size_t matrix = flags & HasScale ? 2 : flags & HasTwoScales ? 4 : flags & HasTwoByTwo ? 8 : 0;
    if (at + matrix > bytes.size()) return false;
    if (matrix == 2) xx = yy = F2Dot14(bytes, at);
    if (matrix == 4) xx = F2Dot14(bytes, at), yy = F2Dot14(bytes, at + 2);
    if (matrix == 8)
      xx = F2Dot14(bytes, at), yx = F2Dot14(bytes, at + 2), xy = F2Dot14(bytes, at + 4),
      yy = F2Dot14(bytes, at + 6);
    at += matrix;

    if (++flattening.Components > MaxComponents) return false;
    size_t childStart = outline.Points.size();
    if (!AppendGlyphPoints(flattening, part, depth + 1, outline)) return false;
    std::vector<TSfntPoint>& points = outline.Points;
    for (size_t i = childStart; i < points.size(); ++i) {
      TSfntPoint& point = points[i];
      point = {xx * point.X + xy * point.Y, yx * point.X + yy * point.Y, point.OnCurve};
    }
    double dx, dy;
    if (offsets && (flags & ScaledComponentOffset)) {
      dx = xx * arg1 + xy * arg2, dy = yx * arg1 + yy * arg2;
    } else if (offsets) {
      dx = arg1, dy = arg2;
    } else {
      // The child's point arg2 is laid on the point arg1 of the glyph so far.
      size_t parentPoint = start + size_t(arg1), childPoint = childStart + size_t(arg2);
      if (parentPoint >= childStart || childPoint >= points.size()) return false;
      dx = points[parentPoint].X - points[childPoint].X, dy = points[parentPoint].Y - points[childPoint].Y;
    }
    for (size_t i = childStart; i < points.size(); ++i) points[i].X += dx, points[i].Y += dy;
    if (!(flags & MoreComponents)) return true;
  }
}

bool AppendGlyphPoints(TFlattening& flattening, uint32_t glyph, int depth, TSfntOutline& outline) {
  if (depth > MaxDepth) return false;
  std::string_view bytes = flattening.Data(glyph);
  // Too short to hold a header draws nothing, as the untransformed subset
  // writes it.
  if (bytes.size() < GlyphHeader) return true;
  if (int16_t(SfntRead16(bytes, 0)) < 0) return AppendCompositePoints(flattening, bytes, depth, outline);
  return AppendSimplePoints(bytes, outline);
}

// The flag bits of one axis of a point, from its delta.
uint8_t AxisFlags(int32_t delta, uint8_t shortBit, uint8_t sameBit) {
  if (delta == 0) return sameBit;
  if (delta >= -255 && delta <= 255) return uint8_t(shortBit | (delta > 0 ? sameBit : 0));
  return 0;
}

void AppendDeltas(std::string& glyf, const std::vector<int32_t>& values, const std::vector<uint8_t>& flags,
                  uint8_t shortBit) {
  int32_t previous = 0;
  for (size_t i = 0; i < values.size(); ++i) {
    int32_t delta = values[i] - previous;
    previous = values[i];
    if (flags[i] & shortBit)
      glyf += char(std::abs(delta));
    else if (delta != 0)
      SfntPut16(glyf, uint16_t(int16_t(delta)));
  }
}

// Runs of equal flags are written once with their repeat count.
void AppendFlags(std::string& glyf, const std::vector<uint8_t>& flags) {
  constexpr size_t LongestRun = 256;
  for (size_t i = 0; i < flags.size();) {
    size_t run = 1;
    while (i + run < flags.size() && flags[i + run] == flags[i] && run < LongestRun) ++run;
    if (run > 1) {
      glyf += char(flags[i] | Repeat);
      glyf += char(run - 1);
    } else {
      glyf += char(flags[i]);
    }
    i += run;
  }
}

}  // namespace

bool FlattenGlyph(const TSfntGlyphData& data, uint32_t glyph, TSfntOutline& outline) {
  outline = {};
  TFlattening flattening{data};
  if (AppendGlyphPoints(flattening, glyph, 0, outline)) return true;
  outline = {};
  return false;
}

int32_t RoundToInt16(double value) {
  double rounded = std::round(value);
  if (rounded >= 32767) return 32767;
  return rounded >= -32768 ? int32_t(rounded) : -32768;  // a NaN as well
}

TSfntGlyphExtent AppendMappedGlyph(std::string& glyf, const TSfntOutline& outline,
                                   const TSfntTransform& transform) {
  const std::vector<TSfntPoint>& points = outline.Points;
  if (points.empty() || outline.ContourEnds.empty()) return {};
  std::vector<int32_t> xs, ys;
  std::vector<uint8_t> flags;
  for (const TSfntPoint& point : points) {
    xs.push_back(RoundToInt16(transform.XX * point.X + transform.XY * point.Y + transform.DX));
    ys.push_back(RoundToInt16(transform.YX * point.X + transform.YY * point.Y + transform.DY));
    int32_t dx = xs.size() > 1 ? xs.back() - xs[xs.size() - 2] : xs.back();
    int32_t dy = ys.size() > 1 ? ys.back() - ys[ys.size() - 2] : ys.back();
    // Points at both ends of the coordinate range lie further apart than
    // a delta can say.
    if (std::abs(dx) > 0x7FFF || std::abs(dy) > 0x7FFF) return {};
    flags.push_back(uint8_t((point.OnCurve ? OnCurve : 0) | AxisFlags(dx, ShortX, SameX) |
                            AxisFlags(dy, ShortY, SameY)));
  }
  TSfntGlyphExtent extent;
  extent.XMin = int16_t(*std::min_element(xs.begin(), xs.end()));
  extent.XMax = int16_t(*std::max_element(xs.begin(), xs.end()));
  extent.YMin = int16_t(*std::min_element(ys.begin(), ys.end()));
  extent.YMax = int16_t(*std::max_element(ys.begin(), ys.end()));
  extent.Points = uint16_t(points.size());
  extent.Contours = uint16_t(outline.ContourEnds.size());
  SfntPut16(glyf, extent.Contours);
  for (int16_t edge : {extent.XMin, extent.YMin, extent.XMax, extent.YMax})
    SfntPut16(glyf, uint16_t(edge));
  for (uint16_t end : outline.ContourEnds) SfntPut16(glyf, end);
  SfntPut16(glyf, 0);  // no instructions
  AppendFlags(glyf, flags);
  AppendDeltas(glyf, xs, flags, ShortX);
  AppendDeltas(glyf, ys, flags, ShortY);
  return extent;
}

}  // namespace tolvane
